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
