#include "framework/SystemCalls.h"

#include <vector>

#include "framework/SystemLibrary.h"
#include "portable/Utf8.h"

namespace
{
// A query that fills a buffer of characters and returns the length of the
// answer (with the terminating zero when it does not fit), read into UTF-8
// with the same result.
template <class WideQuery, class AnsiQuery>
DWORD QueryText(WideQuery wide, AnsiQuery ansi, DWORD bufferLength, std::string& out)
{
    out.clear();
    if (SystemUsesCodePage())
    {
        std::vector<char> buffer(bufferLength + 1);
        const DWORD length = ansi(buffer.data(), bufferLength);
        if (length > 0 && length < bufferLength)
            out = FromCodePage(buffer.data(), length);
        return length;
    }
    std::vector<wchar_t> buffer(bufferLength + 1);
    const DWORD length = wide(buffer.data(), bufferLength);
    if (length > 0 && length < bufferLength)
        out = Narrow(buffer.data(), length);
    return length;
}

// A query as above whose answer may be of any length: the buffer grows
// until it fits.
template <class WideQuery, class AnsiQuery>
bool QueryWholeText(WideQuery wide, AnsiQuery ansi, std::string& out)
{
    for (DWORD bufferLength = MAX_PATH + 1; bufferLength <= 32768 * 2; bufferLength *= 2)
    {
        const DWORD length = QueryText(wide, ansi, bufferLength, out);
        if (length == 0)
            return false;
        if (length < bufferLength)
            return true;
    }
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}
} // namespace

FILE* OpenStreamU(const std::string& path, const char* mode, int share)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return nullptr;
    if (!name.Wide())
        return ::_fsopen(name.A(), mode, share);
    std::wstring wideMode;
    Widen(mode, wideMode);
    return ::_wfsopen(name.W(), wideMode.c_str(), share);
}

bool GetShortPathNameU(const std::string& path, std::string& shortPath)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return false;
    return QueryWholeText([&](wchar_t* buffer, DWORD length) { return ::GetShortPathNameW(name.W(), buffer, length); },
                          [&](char* buffer, DWORD length) { return ::GetShortPathNameA(name.A(), buffer, length); },
                          shortPath);
}

bool GetFullPathNameU(const std::string& path, std::string& fullPath)
{
    CSystemText name;
    if (!name.Set(path))
        return false;
    return QueryWholeText(
        [&](wchar_t* buffer, DWORD length) { return ::GetFullPathNameW(name.W(), length, buffer, nullptr); },
        [&](char* buffer, DWORD length) { return ::GetFullPathNameA(name.A(), length, buffer, nullptr); },
        fullPath);
}

bool GetLongPathNameU(const std::string& path, std::string& longPath)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(path))
        return false;
    return QueryWholeText([&](wchar_t* buffer, DWORD length) { return ::GetLongPathNameW(name.W(), buffer, length); },
                          [&](char* buffer, DWORD length) { return ::GetLongPathNameA(name.A(), buffer, length); },
                          longPath);
}

bool GetVolumePathNameU(const std::string& path, std::string& root)
{
    const CRealFileNames real;
    // Windows 2000 and later; elsewhere the caller takes the drive's root.
    using WideFn = BOOL(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
    using AnsiFn = BOOL(WINAPI*)(LPCSTR, LPSTR, DWORD);
    static const auto wide = Kernel32Function<WideFn>("GetVolumePathNameW");
    static const auto ansi = Kernel32Function<AnsiFn>("GetVolumePathNameA");
    CSystemText name;
    if (!name.Set(path))
        return false;
    if (name.Wide() ? !wide : !ansi)
    {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    // The answer is never longer than the path itself, with a separator.
    const DWORD bufferLength = static_cast<DWORD>(path.size()) + MAX_PATH;
    return QueryText(
               [&](wchar_t* buffer, DWORD length) -> DWORD {
                   return wide(name.W(), buffer, length) ? static_cast<DWORD>(::lstrlenW(buffer)) : 0;
               },
               [&](char* buffer, DWORD length) -> DWORD {
                   return ansi(name.A(), buffer, length) ? static_cast<DWORD>(::lstrlenA(buffer)) : 0;
               },
               bufferLength, root) != 0;
}

BOOL GetDiskFreeSpaceExU(const std::string& folder, ULARGE_INTEGER* freeToCaller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* totalFree)
{
    const CRealFileNames real;
    // Windows 95 before its second release lacks the call.
    using WideFn = BOOL(WINAPI*)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    using AnsiFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    static const auto wide = Kernel32Function<WideFn>("GetDiskFreeSpaceExW");
    static const auto ansi = Kernel32Function<AnsiFn>("GetDiskFreeSpaceExA");
    CSystemText name;
    if (!name.Set(folder))
        return FALSE;
    if (name.Wide() ? !wide : !ansi)
    {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return name.Wide() ? wide(name.W(), freeToCaller, total, totalFree)
                       : ansi(name.A(), freeToCaller, total, totalFree);
}

BOOL GetDiskFreeSpaceU(const std::string& root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters)
{
    const CRealFileNames real;
    CSystemText name;
    if (!name.Set(root))
        return FALSE;
    return name.Wide()
               ? ::GetDiskFreeSpaceW(name.W(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters)
               : ::GetDiskFreeSpaceA(name.A(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
}

HANDLE CreateMutexU(const std::string& name)
{
    CSystemText object;
    if (!object.Set(name))
        return nullptr;
    return object.Wide() ? ::CreateMutexW(nullptr, FALSE, object.W()) : ::CreateMutexA(nullptr, FALSE, object.A());
}

HANDLE CreateEventU(const std::string& name, BOOL manualReset, BOOL initialState)
{
    CSystemText object;
    if (!object.Set(name))
        return nullptr;
    return object.Wide() ? ::CreateEventW(nullptr, manualReset, initialState, object.W())
                         : ::CreateEventA(nullptr, manualReset, initialState, object.A());
}

HANDLE OpenEventU(DWORD access, const std::string& name)
{
    CSystemText object;
    if (!object.Set(name))
        return nullptr;
    return object.Wide() ? ::OpenEventW(access, FALSE, object.W()) : ::OpenEventA(access, FALSE, object.A());
}

HMODULE LoadLibraryExU(const std::string& path, DWORD flags)
{
    CSystemText name;
    if (!name.Set(path))
        return nullptr;
    return name.Wide() ? ::LoadLibraryExW(name.W(), nullptr, flags) : ::LoadLibraryExA(name.A(), nullptr, flags);
}

bool GetModuleFileNameU(HMODULE module, std::string& path)
{
    // A name that fills the buffer may be cut: the buffer grows until it
    // does not.
    auto fits = [](DWORD length, DWORD bufferLength) { return length < bufferLength ? length : bufferLength; };
    return QueryWholeText(
        [&](wchar_t* buffer, DWORD length) { return fits(::GetModuleFileNameW(module, buffer, length), length); },
        [&](char* buffer, DWORD length) { return fits(::GetModuleFileNameA(module, buffer, length), length); },
        path);
}

BOOL CreateProcessU(const std::string& application, const std::string& commandLine, DWORD creationFlags,
                    const std::string& currentFolder, PROCESS_INFORMATION& started)
{
    const CRealFileNames real;
    CSystemText program;
    CSystemText line;
    CSystemText folder;
    if (!program.Set(application) || !line.Set(commandLine) || !folder.Set(currentFolder))
        return FALSE;
    if (program.Wide())
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        // The system may write into the command line.
        std::wstring writable = line.W();
        return ::CreateProcessW(program.W(), &writable[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                                currentFolder.empty() ? nullptr : folder.W(), &startup, &started);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string writable = line.A();
    return ::CreateProcessA(program.A(), &writable[0], nullptr, nullptr, FALSE, creationFlags, nullptr,
                            currentFolder.empty() ? nullptr : folder.A(), &startup, &started);
}

std::string GetCommandLineU()
{
    // The wide command line on Windows 9x too, where the system keeps one:
    // a name the code page cannot spell must arrive as typed, to be refused
    // as typed rather than taken for a look-alike.
    if (const wchar_t* wide = ::GetCommandLineW())
    {
        if (*wide)
            return Narrow(wide, ::lstrlenW(wide));
    }
    return FromCodePage(::GetCommandLineA(), ::lstrlenA(::GetCommandLineA()));
}

DWORD GetWindowsDirectoryU(std::string& folder, DWORD bufferLength)
{
    return QueryText([](wchar_t* buffer, DWORD length) { return ::GetWindowsDirectoryW(buffer, length); },
                     [](char* buffer, DWORD length) { return ::GetWindowsDirectoryA(buffer, length); }, bufferLength,
                     folder);
}

DWORD GetSystemDirectoryU(std::string& folder, DWORD bufferLength)
{
    return QueryText([](wchar_t* buffer, DWORD length) { return ::GetSystemDirectoryW(buffer, length); },
                     [](char* buffer, DWORD length) { return ::GetSystemDirectoryA(buffer, length); }, bufferLength,
                     folder);
}

DWORD GetSystemWow64DirectoryU(std::string& folder, DWORD bufferLength)
{
    // Only 64-bit Windows has the folder, and Windows XP the call.
    using WideFn = UINT(WINAPI*)(LPWSTR, UINT);
    using AnsiFn = UINT(WINAPI*)(LPSTR, UINT);
    static const auto wide = Kernel32Function<WideFn>("GetSystemWow64DirectoryW");
    static const auto ansi = Kernel32Function<AnsiFn>("GetSystemWow64DirectoryA");
    if (!wide || !ansi)
    {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return QueryText([](wchar_t* buffer, DWORD length) { return wide(buffer, length); },
                     [](char* buffer, DWORD length) { return ansi(buffer, length); }, bufferLength, folder);
}

DWORD GetTempPathU(std::string& folder, DWORD bufferLength)
{
    return QueryText([](wchar_t* buffer, DWORD length) { return ::GetTempPathW(length, buffer); },
                     [](char* buffer, DWORD length) { return ::GetTempPathA(length, buffer); }, bufferLength, folder);
}

bool GetSpecialFolderPathU(int folder, std::string& path)
{
    path.clear();
    if (!SystemUsesCodePage())
    {
        wchar_t buffer[MAX_PATH + 1] = L"";
        if (!::SHGetSpecialFolderPathW(nullptr, buffer, folder, FALSE))
            return false;
        path = Narrow(buffer, ::lstrlenW(buffer));
        return true;
    }
    char buffer[MAX_PATH + 1] = "";
    if (!::SHGetSpecialFolderPathA(nullptr, buffer, folder, FALSE))
        return false;
    path = FromCodePage(buffer, ::lstrlenA(buffer));
    return true;
}

DWORD GetModuleFileNameU(std::string& path, DWORD bufferLength)
{
    return QueryText([](wchar_t* buffer, DWORD length) { return ::GetModuleFileNameW(nullptr, buffer, length); },
                     [](char* buffer, DWORD length) { return ::GetModuleFileNameA(nullptr, buffer, length); },
                     bufferLength, path);
}

bool GetPathFromIDListU(LPCITEMIDLIST items, std::string& path)
{
    path.clear();
    if (!SystemUsesCodePage())
    {
        wchar_t buffer[MAX_PATH + 1] = L"";
        if (!::SHGetPathFromIDListW(items, buffer))
            return false;
        path = Narrow(buffer, ::lstrlenW(buffer));
        return true;
    }
    char buffer[MAX_PATH + 1] = "";
    if (!::SHGetPathFromIDListA(items, buffer))
        return false;
    path = FromCodePage(buffer, ::lstrlenA(buffer));
    return true;
}

int CompareNamesU(const std::string& a, const std::string& b)
{
    // File names compare by the system's upper-case table, not by a
    // language's rules (Windows Vista and later); else as lstrcmpi does.
    using OrdinalFn = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const auto ordinal = Kernel32Function<OrdinalFn>("CompareStringOrdinal");
    CSystemText first;
    CSystemText second;
    if (!first.Set(a) || !second.Set(b))
        return a.compare(b);
    if (!first.Wide())
        return ::lstrcmpiA(first.A(), second.A());
    if (ordinal)
        return ordinal(first.W(), -1, second.W(), -1, TRUE) - CSTR_EQUAL;
    return ::lstrcmpiW(first.W(), second.W());
}

BOOL SetWindowTextU(HWND window, const std::string& text)
{
    CSystemText shown;
    if (!shown.Set(text))
    {
        // A name beyond the code page (Windows 9x): the wide call shows it
        // where the system has one; Windows 9x has none and leaves the window
        // as it was, which is better than a look-alike that a person might
        // then confirm.
        std::wstring wide;
        Widen(text, wide);
        return ::SetWindowTextW(window, wide.c_str());
    }
    return shown.Wide() ? ::SetWindowTextW(window, shown.W()) : ::SetWindowTextA(window, shown.A());
}

std::string GetWindowTextU(HWND window)
{
    if (!SystemUsesCodePage())
    {
        const int length = ::GetWindowTextLengthW(window);
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
        const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
        return Narrow(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
    }
    const int length = ::GetWindowTextLengthA(window);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(window, buffer.data(), length + 1);
    return FromCodePage(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

int MessageBoxU(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    // Wide on every system (Windows 9x has this one), so that a message
    // shows a name as it was typed even where the code page cannot.
    std::wstring wideText;
    std::wstring wideCaption;
    Widen(text, wideText);
    Widen(caption, wideCaption);
    return ::MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), type);
}

std::string LoadStringU(HINSTANCE module, UINT id)
{
    if (!SystemUsesCodePage())
    {
        // The string in the resource itself, without a copy.
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 && text ? Narrow(text, static_cast<size_t>(length)) : std::string();
    }
    char buffer[4096];
    const int length = ::LoadStringA(module, id, buffer, sizeof buffer);
    return length > 0 ? FromCodePage(buffer, static_cast<size_t>(length)) : std::string();
}

INT_PTR DialogBoxParamU(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure, LPARAM parameter)
{
    return SystemUsesCodePage()
               ? ::DialogBoxParamA(module, MAKEINTRESOURCEA(templateId), parent, procedure, parameter)
               : ::DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), parent, procedure, parameter);
}

HWND CreateDialogParamU(HINSTANCE module, UINT templateId, HWND parent, DLGPROC procedure, LPARAM parameter)
{
    return SystemUsesCodePage()
               ? ::CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), parent, procedure, parameter)
               : ::CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, procedure, parameter);
}

BOOL PeekMessageU(MSG& message, UINT removeFlags)
{
    return SystemUsesCodePage() ? ::PeekMessageA(&message, nullptr, 0, 0, removeFlags)
                                : ::PeekMessageW(&message, nullptr, 0, 0, removeFlags);
}

BOOL GetMessageU(MSG& message)
{
    return SystemUsesCodePage() ? ::GetMessageA(&message, nullptr, 0, 0) : ::GetMessageW(&message, nullptr, 0, 0);
}

BOOL IsDialogMessageU(HWND dialog, MSG& message)
{
    return SystemUsesCodePage() ? ::IsDialogMessageA(dialog, &message) : ::IsDialogMessageW(dialog, &message);
}

LRESULT DispatchMessageU(const MSG& message)
{
    return SystemUsesCodePage() ? ::DispatchMessageA(&message) : ::DispatchMessageW(&message);
}

std::string BrowseForFolderU(HWND owner, const std::string& title, UINT flags, LPCITEMIDLIST root)
{
    LPITEMIDLIST chosen = nullptr;
    CSystemText shownTitle;
    shownTitle.Set(title);
    if (shownTitle.Wide())
    {
        wchar_t displayName[MAX_PATH] = L"";
        BROWSEINFOW info{};
        info.hwndOwner = owner;
        info.pidlRoot = root;
        info.pszDisplayName = displayName;
        info.lpszTitle = shownTitle.W();
        info.ulFlags = flags;
        chosen = ::SHBrowseForFolderW(&info);
    }
    else
    {
        char displayName[MAX_PATH] = "";
        BROWSEINFOA info{};
        info.hwndOwner = owner;
        info.pidlRoot = root;
        info.pszDisplayName = displayName;
        info.lpszTitle = shownTitle.A();
        info.ulFlags = flags;
        chosen = ::SHBrowseForFolderA(&info);
    }
    if (!chosen)
        return std::string();
    std::string path;
    const bool converted = GetPathFromIDListU(chosen, path);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator)
    {
        allocator->Free(chosen);
        allocator->Release();
    }
    return converted ? path : std::string();
}
