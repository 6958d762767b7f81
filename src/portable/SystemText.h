#pragma once
// The one boundary between the programs' text and the system's on Windows.
// Inside, text is UTF-8 in std::string; it becomes UTF-16 only at a Win32
// call, here and in the setup's wrappers over these (framework/SystemCalls.h).
// Windows 9x takes text in the ANSI code page only: there a name goes
// through ToCodePage, which refuses what the code page cannot spell exactly
// rather than write a look-alike.
#include <windows.h>

#include <string>

// Whether the system takes text in the ANSI code page only (Windows 9x).
// Asked of the system at every call.
bool SystemUsesCodePage();

// UTF-8 to UTF-16 for a wide call; false, with ERROR_NO_UNICODE_TRANSLATION,
// for text that is no UTF-8.
bool Widen(const std::string& text, std::wstring& out);
// UTF-16 from the system to UTF-8; a lone surrogate (a name no text can
// hold) becomes U+FFFD, so use it for what is shown, not for names to open.
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

// UTF-8 to the ANSI code page exactly; false, with
// ERROR_NO_UNICODE_TRANSLATION, when a character has no exact counterpart
// there (checked by converting back, since Windows 9x substitutes look-alikes
// silently where it has no flag to forbid them).
bool ToCodePage(const std::string& text, std::string& out);
// ANSI code-page text from the system to UTF-8.
std::string FromCodePage(const char* text, size_t length);
inline std::string FromCodePage(const std::string& text) { return FromCodePage(text.data(), text.size()); }

// A name (or any text) ready for a system call: UTF-16 on the NT family, the
// code page on Windows 9x. Every wrapper over a call that takes text makes
// one and calls the wide or the ANSI function as Wide() says.
class CSystemText
{
public:
    CSystemText() = default;
    // False, with the reason as the last error, when the text has no exact
    // form for the system (no UTF-8, or beyond the code page).
    bool Set(const std::string& text);
    bool Wide() const { return m_bWide; }
    const wchar_t* W() const { return m_w.c_str(); }
    const char* A() const { return m_a.c_str(); }

private:
    bool m_bWide = true;
    std::wstring m_w;
    std::string m_a;
};

// Whether this is a 32-bit process on 64-bit Windows (WOW64), where the
// system takes the name of its own system folder (System32) for the 32-bit
// one (SysWOW64) in every file call. Asked of the system once.
bool RunsUnderWow64();

// Every file is named by the folder it really is in, the same from either
// build: while one of these lives, this thread's file calls take System32
// for System32, also in a WOW64 process. Each file call of the boundary makes
// one around itself and only around itself, since a library the system
// loads meanwhile would otherwise come from the 64-bit folder. Elsewhere it
// does nothing. The last error stays as the call left it.
class CRealFileNames
{
public:
    CRealFileNames();
    ~CRealFileNames();
    CRealFileNames(const CRealFileNames&) = delete;
    CRealFileNames& operator=(const CRealFileNames&) = delete;

private:
    void* m_pEarlier = nullptr;
    bool m_bSwitchedOff = false;
};

// The file calls with UTF-8 names that the package library, the packaging
// tool and the setup make: the wide calls on the NT family, the ANSI ones
// through ToCodePage on Windows 9x. These four the POSIX layer offers too.
HANDLE CreateFileU(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL DeleteFileU(LPCSTR path);
BOOL CreateDirectoryU(LPCSTR path, LPSECURITY_ATTRIBUTES security);
// newPath may be null (a deletion queued for the next start).
BOOL MoveFileExU(LPCSTR existingPath, LPCSTR newPath, DWORD flags);

// And the ones of the packaging tool and the setup on Windows.
DWORD GetFileAttributesU(const std::string& path);
BOOL SetFileAttributesU(const std::string& path, DWORD attributes);
BOOL GetFileAttributesExU(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data);
BOOL MoveFileU(const std::string& from, const std::string& to);
BOOL RemoveDirectoryU(const std::string& path);
BOOL CopyFileU(const std::string& from, const std::string& to, BOOL failIfExists);
// Whether anything (file or folder) has this name.
inline bool PathExistsU(const std::string& path) { return GetFileAttributesU(path) != INVALID_FILE_ATTRIBUTES; }
// Whether a folder has this name.
inline bool IsFolderU(const std::string& path)
{
    const DWORD attributes = GetFileAttributesU(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A directory search's record, with the name in UTF-8. A name that no text
// can hold (a lone UTF-16 surrogate, which only the NT family's file systems
// allow) comes with U+FFFD in its place and exact false.
struct FindDataU
{
    DWORD attributes = 0;
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
    ULONGLONG size = 0;
    std::string name;
    // The 8.3 alias the file system keeps for a long name; "" without one.
    std::string shortName;
    bool exact = true;
};
// As FindFirstFile; INVALID_HANDLE_VALUE on failure. Close with FindClose.
HANDLE FindFirstFileU(const std::string& pattern, FindDataU& data);
BOOL FindNextFileU(HANDLE find, FindDataU& data);
