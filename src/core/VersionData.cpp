#include "core/VersionData.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "framework/SystemLibrary.h"

IMPLEMENT_DYNAMIC(CVersionData, CObject)

namespace
{
constexpr size_t QUERY_PATH_LENGTH = 1024;

// The version functions of the system folder's version.dll, wide and ANSI,
// resolved once per process; the library stays loaded until the process
// ends.
struct CVersionApi
{
    template <class Char>
    struct Functions
    {
        using GetSizeFn = DWORD(WINAPI*)(const Char*, LPDWORD);
        using GetInfoFn = BOOL(WINAPI*)(const Char*, DWORD, DWORD, LPVOID);
        using QueryFn = BOOL(WINAPI*)(LPCVOID, const Char*, LPVOID*, PUINT);
        GetSizeFn getSize = nullptr;
        GetInfoFn getInfo = nullptr;
        QueryFn query = nullptr;

        void Resolve(HMODULE module, const char* size, const char* info, const char* query)
        {
            getSize = reinterpret_cast<GetSizeFn>(reinterpret_cast<void*>(::GetProcAddress(module, size)));
            getInfo = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(::GetProcAddress(module, info)));
            this->query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(::GetProcAddress(module, query)));
        }
        bool Complete() const { return getSize && getInfo && query; }
    };

    CVersionApi() : module(LoadSystemLibrary("version.dll"))
    {
        if (!module)
        {
            loadError = ::GetLastError();
            return;
        }
        wide.Resolve(module.get(), "GetFileVersionInfoSizeW", "GetFileVersionInfoW", "VerQueryValueW");
        ansi.Resolve(module.get(), "GetFileVersionInfoSizeA", "GetFileVersionInfoA", "VerQueryValueA");
        if (!wide.Complete() || !ansi.Complete())
            loadError = ERROR_PROC_NOT_FOUND;
    }

    bool Available() const
    {
        if (wide.Complete() && ansi.Complete())
            return true;
        ::SetLastError(loadError);
        return false;
    }

    static const CVersionApi& Get()
    {
        static const CVersionApi api;
        return api;
    }

    unique_hmodule module;
    Functions<wchar_t> wide;
    Functions<char> ansi;
    DWORD loadError = ERROR_SUCCESS;
};

// VerQueryValue on a block (of the wide calls or the ANSI ones); the value
// and its length, or false.
bool QueryValue(const BYTE* block, bool wideBlock, const std::string& subBlock, void*& value, UINT& length)
{
    const CVersionApi& api = CVersionApi::Get();
    if (!block || !api.Available())
        return false;
    value = nullptr;
    length = 0;
    if (!wideBlock)
        return api.ansi.query(block, subBlock.c_str(), &value, &length) && value != nullptr;
    std::wstring wideSubBlock;
    Widen(subBlock, wideSubBlock);
    return api.wide.query(block, wideSubBlock.c_str(), &value, &length) && value != nullptr;
}
} // namespace

CVersionData::CVersionData() = default;

CVersionData::~CVersionData() = default;

BOOL CVersionData::LoadFromFile(LPCSTR pszPath)
{
    if (m_pVersionInfo)
    {
        ::SetLastError(ERROR_ALREADY_INITIALIZED);
        return FALSE;
    }
    const CVersionApi& api = CVersionApi::Get();
    if (!api.Available())
        return FALSE;

    CSystemText name;
    if (!name.Set(pszPath ? pszPath : ""))
        return FALSE;
    // A file of the 64-bit system folder is read there, also by the 32-bit
    // build.
    const CRealFileNames real;
    DWORD handle = 0;
    const DWORD size = name.Wide() ? api.wide.getSize(name.W(), &handle) : api.ansi.getSize(name.A(), &handle);
    if (size == 0)
        return FALSE;

    std::unique_ptr<BYTE, CFreeBlock> block(static_cast<BYTE*>(std::malloc(size)));
    if (!block)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!(name.Wide() ? api.wide.getInfo(name.W(), 0, size, block.get())
                      : api.ansi.getInfo(name.A(), 0, size, block.get())))
        return FALSE;

    void* table = nullptr;
    UINT tableLength = 0;
    if (!QueryValue(block.get(), name.Wide(), "\\VarFileInfo\\Translation", table, tableLength))
        return FALSE;
    // An empty table names no string block at all; reading its "first entry"
    // would read past it.
    if (tableLength < sizeof(DWORD))
    {
        ::SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }

    // Language in the low half, code page in the high half; the string
    // blocks are named language first.
    DWORD first;
    std::memcpy(&first, table, sizeof first);
    char text[9];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>((first << 16) | (first >> 16)));
    m_strTranslation = text;
    m_pVersionInfo = std::move(block);
    m_bWide = name.Wide();
    return TRUE;
}

BOOL CVersionData::LoadFromModule(HMODULE hModule)
{
    std::string name;
    if (!GetModuleFileNameU(hModule, name))
        return FALSE;
    return LoadFromFile(name.c_str());
}

const VS_FIXEDFILEINFO* CVersionData::FixedInfo() const
{
    void* value = nullptr;
    UINT length = 0;
    if (!QueryValue(m_pVersionInfo.get(), m_bWide, "\\", value, length) || length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
}

BOOL CVersionData::GetFileVersion(ULONGLONG& nVersion) const
{
    const VS_FIXEDFILEINFO* info = FixedInfo();
    if (!info)
        return FALSE;
    nVersion = MakeVersion64(info->dwFileVersionMS, info->dwFileVersionLS);
    return TRUE;
}

BOOL CVersionData::GetProductVersion(ULONGLONG& nVersion) const
{
    const VS_FIXEDFILEINFO* info = FixedInfo();
    if (!info)
        return FALSE;
    nVersion = MakeVersion64(info->dwProductVersionMS, info->dwProductVersionLS);
    return TRUE;
}

BOOL CVersionData::GetStringValue(LPCSTR pszName, std::string& strValue) const
{
    if (!m_pVersionInfo || !pszName)
        return FALSE;
    char path[QUERY_PATH_LENGTH];
    const int length =
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%s\\%s", m_strTranslation.c_str(), pszName);
    // A name too long for the query path is not looked up cut short.
    if (length < 0 || static_cast<size_t>(length) >= sizeof path)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    void* value = nullptr;
    UINT valueLength = 0;
    if (!QueryValue(m_pVersionInfo.get(), m_bWide, path, value, valueLength))
        return FALSE;
    // The value is zero-terminated; its length counts characters, the
    // terminator included, and bounds the copy.
    if (m_bWide)
    {
        const wchar_t* text = static_cast<const wchar_t*>(value);
        strValue = Narrow(text, wcsnlen(text, valueLength));
        return TRUE;
    }
    const char* text = static_cast<const char*>(value);
    strValue = FromCodePage(text, strnlen(text, valueLength));
    return TRUE;
}
