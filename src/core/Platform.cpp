#include "core/Platform.h"

#include "framework/SystemCalls.h"

OSVERSIONINFOA WindowsVersion()
{
    OSVERSIONINFOA info;
    ::ZeroMemory(&info, sizeof info);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA has the size the system expects");
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        ::ExitProcess(EXIT_CODE_NO_WINDOWS_VERSION);
#pragma GCC diagnostic pop
    return info;
}

bool IsWindowsNT() { return WindowsVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

namespace
{
bool IsVersion(DWORD major, DWORD minor)
{
    const OSVERSIONINFOA version = WindowsVersion();
    return version.dwMajorVersion == major && version.dwMinorVersion == minor;
}
} // namespace

bool IsWindowsXP() { return IsVersion(5, 1); }

bool IsWindows7() { return IsVersion(6, 1); }

std::string TemporaryFolder()
{
    std::string path;
    const DWORD length = GetTempPathU(path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

bool IsWindows64() { return RunningMachine() == ImageMachine::X64 || RunsUnderWow64(); }

bool WindowsRunsImagesOf(ImageMachine machine)
{
    return machine == RunningMachine() || (machine == ImageMachine::X86 && IsWindows64());
}

std::string SystemFolderFor(ImageMachine machine)
{
    if (!WindowsRunsImagesOf(machine) || machine == ImageMachine::NotAnImage)
        return std::string();
    std::string folder;
    // The 32-bit folder of 64-bit Windows has a name of its own; the native
    // one is what GetSystemDirectory names, which the file calls take as it
    // stands in either build (CRealFileNames).
    const bool wow64Folder = machine == ImageMachine::X86 && IsWindows64();
    const DWORD length =
        wow64Folder ? GetSystemWow64DirectoryU(folder, MAX_PATH + 1) : GetSystemDirectoryU(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return std::string();
    return folder;
}
