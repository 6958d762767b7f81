#include "portable/SystemText.h"

#include "portable/Utf8.h"

bool SystemUsesCodePage() { return (::GetVersion() & 0x80000000u) != 0; }

bool Widen(const std::string& text, std::wstring& out) { return Utf8ToUtf16(text, out); }

std::string Narrow(const wchar_t* text, size_t length) { return Utf16ToUtf8Lossy(text, length); }

bool ToCodePage(const std::string& text, std::string& out)
{
    out.clear();
    std::wstring wide;
    if (!Widen(text, wide))
        return false;
    if (wide.empty())
        return true;
    const int wideLength = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int length = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
    if (length == 0 && ::GetLastError() == ERROR_INVALID_FLAGS)
    {
        // Systems without the flag (Windows 9x): the check below catches a
        // look-alike.
        flags = 0;
        length = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
    }
    if (length <= 0)
        return false;
    out.resize(static_cast<size_t>(length));
    if (::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, &out[0], length, nullptr, &usedDefault) !=
        length)
        return false;
    // A default character, or text that does not come back the same, is not
    // what was asked for: it would name another file.
    std::wstring back;
    back.resize(wide.size() * 2 + 1);
    const int backLength =
        ::MultiByteToWideChar(CP_ACP, 0, out.data(), length, &back[0], static_cast<int>(back.size()));
    back.resize(backLength > 0 ? static_cast<size_t>(backLength) : 0);
    if (usedDefault || back != wide)
    {
        out.clear();
        ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    return true;
}

std::string FromCodePage(const char* text, size_t length)
{
    if (length == 0)
        return std::string();
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &wide[0], wideLength);
    return Narrow(wide);
}

namespace
{
using SwitchRedirectionFn = BOOL(WINAPI*)(PVOID*);
using RestoreRedirectionFn = BOOL(WINAPI*)(PVOID);

// kernel32's function of that name where the system has it (Windows XP x64
// and later); null elsewhere.
template <class Function>
Function Kernel32Export(const char* name)
{
    const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    return kernel32 ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, name)))
                    : nullptr;
}

// The two redirection switches, only in a WOW64 process.
struct RedirectionSwitches
{
    SwitchRedirectionFn off = nullptr;
    RestoreRedirectionFn restore = nullptr;

    RedirectionSwitches()
    {
        if (!RunsUnderWow64())
            return;
        off = Kernel32Export<SwitchRedirectionFn>("Wow64DisableWow64FsRedirection");
        restore = Kernel32Export<RestoreRedirectionFn>("Wow64RevertWow64FsRedirection");
        if (!off || !restore)
            off = nullptr;
    }

    static const RedirectionSwitches& Get()
    {
        static const RedirectionSwitches switches;
        return switches;
    }
};
} // namespace

bool RunsUnderWow64()
{
    static const bool wow64 = [] {
        if (sizeof(void*) == 8)
            return false;
        using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto isWow64 = Kernel32Export<IsWow64ProcessFn>("IsWow64Process");
        BOOL answer = FALSE;
        return isWow64 && isWow64(::GetCurrentProcess(), &answer) && answer;
    }();
    return wow64;
}

CRealFileNames::CRealFileNames()
{
    const RedirectionSwitches& switches = RedirectionSwitches::Get();
    if (!switches.off)
        return;
    const DWORD error = ::GetLastError();
    m_bSwitchedOff = switches.off(&m_pEarlier) != FALSE;
    ::SetLastError(error);
}

CRealFileNames::~CRealFileNames()
{
    if (!m_bSwitchedOff)
        return;
    const DWORD error = ::GetLastError();
    RedirectionSwitches::Get().restore(m_pEarlier);
    ::SetLastError(error);
}

bool CSystemText::Set(const std::string& text)
{
    m_bWide = !SystemUsesCodePage();
    m_w.clear();
    m_a.clear();
    return m_bWide ? Widen(text, m_w) : ToCodePage(text, m_a);
}

namespace
{
// A name for the system's call from a pointer that may be null.
bool SetName(CSystemText& name, LPCSTR text) { return name.Set(text ? text : ""); }
} // namespace

HANDLE CreateFileU(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    const CRealFileNames real;
    CSystemText name;
    if (!SetName(name, path))
        return INVALID_HANDLE_VALUE;
    return name.Wide() ? ::CreateFileW(name.W(), access, share, security, disposition, flags, templateFile)
                       : ::CreateFileA(name.A(), access, share, security, disposition, flags, templateFile);
}

BOOL DeleteFileU(LPCSTR path)
{
    const CRealFileNames real;
    CSystemText name;
    if (!SetName(name, path))
        return FALSE;
    return name.Wide() ? ::DeleteFileW(name.W()) : ::DeleteFileA(name.A());
}

BOOL CreateDirectoryU(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    const CRealFileNames real;
    CSystemText name;
    if (!SetName(name, path))
        return FALSE;
    return name.Wide() ? ::CreateDirectoryW(name.W(), security) : ::CreateDirectoryA(name.A(), security);
}

BOOL MoveFileExU(LPCSTR existingPath, LPCSTR newPath, DWORD flags)
{
    const CRealFileNames real;
    CSystemText from;
    CSystemText to;
    if (!SetName(from, existingPath) || (newPath && !SetName(to, newPath)))
        return FALSE;
    if (from.Wide())
        return ::MoveFileExW(from.W(), newPath ? to.W() : nullptr, flags);
    return ::MoveFileExA(from.A(), newPath ? to.A() : nullptr, flags);
}

namespace
{
// Converts the record of a directory search, with the name in UTF-8.
template <class Data>
void FillFindData(const Data& from, FindDataU& to)
{
    to.attributes = from.dwFileAttributes;
    to.creation = from.ftCreationTime;
    to.lastAccess = from.ftLastAccessTime;
    to.lastWrite = from.ftLastWriteTime;
    to.size = (static_cast<ULONGLONG>(from.nFileSizeHigh) << 32) | from.nFileSizeLow;
}

void SetFoundNames(const WIN32_FIND_DATAW& found, FindDataU& to)
{
    const size_t length = ::lstrlenW(found.cFileName);
    to.exact = Utf16ToUtf8(found.cFileName, length, to.name);
    if (!to.exact)
        to.name = Narrow(found.cFileName, length);
    to.shortName = Narrow(found.cAlternateFileName, ::lstrlenW(found.cAlternateFileName));
}

void SetFoundNames(const WIN32_FIND_DATAA& found, FindDataU& to)
{
    to.name = FromCodePage(found.cFileName, ::lstrlenA(found.cFileName));
    to.shortName = FromCodePage(found.cAlternateFileName, ::lstrlenA(found.cAlternateFileName));
    to.exact = true;
}

} // namespace

DWORD GetFileAttributesU(const std::string& path)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return INVALID_FILE_ATTRIBUTES;
    return name.Wide() ? ::GetFileAttributesW(name.W()) : ::GetFileAttributesA(name.A());
}

BOOL SetFileAttributesU(const std::string& path, DWORD attributes)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return FALSE;
    return name.Wide() ? ::SetFileAttributesW(name.W(), attributes) : ::SetFileAttributesA(name.A(), attributes);
}

BOOL GetFileAttributesExU(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return FALSE;
    return name.Wide() ? ::GetFileAttributesExW(name.W(), GetFileExInfoStandard, &data)
                       : ::GetFileAttributesExA(name.A(), GetFileExInfoStandard, &data);
}

BOOL MoveFileU(const std::string& from, const std::string& to)
{
    const CRealFileNames real;
    CSystemText source;
    CSystemText target;
    if (!source.Set(from) || !target.Set(to))
        return FALSE;
    return source.Wide() ? ::MoveFileW(source.W(), target.W()) : ::MoveFileA(source.A(), target.A());
}

BOOL RemoveDirectoryU(const std::string& path)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return FALSE;
    return name.Wide() ? ::RemoveDirectoryW(name.W()) : ::RemoveDirectoryA(name.A());
}

BOOL CopyFileU(const std::string& from, const std::string& to, BOOL failIfExists)
{
    const CRealFileNames real;
    CSystemText source;
    CSystemText target;
    if (!source.Set(from) || !target.Set(to))
        return FALSE;
    return source.Wide() ? ::CopyFileW(source.W(), target.W(), failIfExists)
                         : ::CopyFileA(source.A(), target.A(), failIfExists);
}

HANDLE FindFirstFileU(const std::string& pattern, FindDataU& data)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(pattern))
        return INVALID_HANDLE_VALUE;
    if (name.Wide())
    {
        WIN32_FIND_DATAW found;
        const HANDLE find = ::FindFirstFileW(name.W(), &found);
        if (find != INVALID_HANDLE_VALUE)
        {
            FillFindData(found, data);
            SetFoundNames(found, data);
        }
        return find;
    }
    WIN32_FIND_DATAA found;
    const HANDLE find = ::FindFirstFileA(name.A(), &found);
    if (find != INVALID_HANDLE_VALUE)
    {
        FillFindData(found, data);
        SetFoundNames(found, data);
    }
    return find;
}

BOOL FindNextFileU(HANDLE find, FindDataU& data)
{
    const CRealFileNames real;
    if (!SystemUsesCodePage())
    {
        WIN32_FIND_DATAW found;
        if (!::FindNextFileW(find, &found))
            return FALSE;
        FillFindData(found, data);
        SetFoundNames(found, data);
        return TRUE;
    }
    WIN32_FIND_DATAA found;
    if (!::FindNextFileA(find, &found))
        return FALSE;
    FillFindData(found, data);
    SetFoundNames(found, data);
    return TRUE;
}
