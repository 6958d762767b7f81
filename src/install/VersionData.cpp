#include "install/VersionData.h"

#include <cstdio>
#include <cstring>

#include "framework/Handles.h"
#include "framework/SystemLibrary.h"

IMPLEMENT_DYNAMIC(CVersionData, CObject)

namespace
{
constexpr DWORD MODULE_NAME_LENGTH = 4096;
constexpr size_t QUERY_PATH_LENGTH = 1024;

// The three version functions of the system folder's version.dll, resolved
// once per process; the library stays loaded until the process ends.
struct CVersionApi
{
    using GetSizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using GetInfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    CVersionApi() : module(LoadSystemLibrary("version.dll"))
    {
        if (!module)
        {
            loadError = ::GetLastError();
            return;
        }
        getSize = reinterpret_cast<GetSizeFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "GetFileVersionInfoSizeA")));
        getInfo = reinterpret_cast<GetInfoFn>(
            reinterpret_cast<void*>(::GetProcAddress(module.get(), "GetFileVersionInfoA")));
        query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), "VerQueryValueA")));
        if (!getSize || !getInfo || !query)
            loadError = ERROR_PROC_NOT_FOUND;
    }

    bool Available() const
    {
        if (getSize && getInfo && query)
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
    GetSizeFn getSize = nullptr;
    GetInfoFn getInfo = nullptr;
    QueryFn query = nullptr;
    DWORD loadError = ERROR_SUCCESS;
};

// VerQueryValueA on a block; the value and its length, or false.
bool QueryValue(const BYTE* block, LPCSTR subBlock, void*& value, UINT& length)
{
    const CVersionApi& api = CVersionApi::Get();
    if (!block || !api.Available())
        return false;
    value = nullptr;
    length = 0;
    return api.query(block, subBlock, &value, &length) && value != nullptr;
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

    DWORD handle = 0;
    const DWORD size = api.getSize(pszPath, &handle);
    if (size == 0)
        return FALSE;

    std::unique_ptr<BYTE, CFreeBlock> block(static_cast<BYTE*>(std::malloc(size)));
    if (!block)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!api.getInfo(pszPath, 0, size, block.get()))
        return FALSE;

    void* table = nullptr;
    UINT tableLength = 0;
    if (!QueryValue(block.get(), "\\VarFileInfo\\Translation", table, tableLength))
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
    return TRUE;
}

BOOL CVersionData::LoadFromModule(HMODULE hModule)
{
    char name[MODULE_NAME_LENGTH];
    const DWORD length = ::GetModuleFileNameA(hModule, name, MODULE_NAME_LENGTH);
    // A name that filled the whole buffer was cut short.
    if (length == 0 || length >= MODULE_NAME_LENGTH)
    {
        if (length != 0)
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return LoadFromFile(name);
}

const VS_FIXEDFILEINFO* CVersionData::FixedInfo() const
{
    void* value = nullptr;
    UINT length = 0;
    if (!QueryValue(m_pVersionInfo.get(), "\\", value, length) || length < sizeof(VS_FIXEDFILEINFO))
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
    if (!QueryValue(m_pVersionInfo.get(), path, value, valueLength))
        return FALSE;
    // The value is zero-terminated; its length counts characters, the
    // terminator included, and bounds the copy.
    const char* text = static_cast<const char*>(value);
    strValue.assign(text, strnlen(text, valueLength));
    return TRUE;
}
