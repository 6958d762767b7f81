#include "shell/InstallPathCheck.h"

#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "framework/SystemCalls.h"
#include "resources/resource.h"

namespace
{
// Each problem with the message that refuses a chosen folder and the one
// that refuses a recorded folder.
struct Refusal
{
    InstallPathProblem problem;
    unsigned chosen;
    unsigned recorded;
};
constexpr Refusal REFUSALS[] = {
    {InstallPathProblem::Empty, IDS_PATH_EMPTY, IDS_UNINSTALL_PATH_EMPTY},
    {InstallPathProblem::NotAbsolute, IDS_PATH_NOT_ABSOLUTE, IDS_UNINSTALL_PATH_NOT_ABSOLUTE},
    {InstallPathProblem::DriveRoot, IDS_PATH_DRIVE_ROOT, IDS_UNINSTALL_PATH_DRIVE_ROOT},
    {InstallPathProblem::WellKnownFolder, IDS_PATH_WELL_KNOWN, IDS_UNINSTALL_PATH_WELL_KNOWN},
    // A recorded folder came from the system's own text, so it can always
    // be spelled; read back, it names no folder of ours.
    {InstallPathProblem::NotSpellable, IDS_PATH_NOT_SPELLABLE, IDS_UNINSTALL_PATH_NOT_ABSOLUTE},
};

// The executables of the two platforms' builds, NT first.
constexpr const char* INSTALLED_EXECUTABLES[] = {"\\Programs\\ReaderNT.Exe", "\\Programs\\Reader95.Exe"};

// The shell's folders that hold the system's or the user's own files. A
// number the system does not know (Windows 9x has no profile folder, for
// example) is passed over.
constexpr int WELL_KNOWN_FOLDERS[] = {
    CSIDL_WINDOWS,
    CSIDL_SYSTEM,
    CSIDL_SYSTEMX86,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_PROFILE,
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_PERSONAL,
    CSIDL_COMMON_DOCUMENTS,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
    CSIDL_COMMON_APPDATA,
    CSIDL_STARTMENU,
    CSIDL_COMMON_STARTMENU,
    CSIDL_FONTS,
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "C:\..." or "\\server\share...", but not the device forms "\\?\" and
// "\\.\", which name no folder a user would choose.
bool IsAbsolute(const std::string& path)
{
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]))
        return true;
    if (path.size() >= 5 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]))
    {
        const size_t shareStart = path.find_first_of("\\/", 2);
        const bool deviceForm = path[2] == '?' || path[2] == '.';
        return !deviceForm && shareStart != std::string::npos && shareStart + 1 < path.size() &&
               !IsSeparator(path[shareStart + 1]);
    }
    return false;
}

// The full, long form of a path without trailing separators; the path itself
// when the system cannot give one.
std::string FullPath(const std::string& path)
{
    std::string full;
    if (!GetFullPathNameU(path, full))
        full = path;
    std::string longForm;
    if (GetLongPathNameU(full, longForm))
        full = longForm;
    return TrimTrailingSeparators(full);
}

bool IsRoot(const std::string& fullPath)
{
    if (fullPath.size() == 2 && fullPath[1] == ':')
        return true;
    // \\server\share: a separator after the server name and none after it.
    if (fullPath.size() > 2 && IsSeparator(fullPath[0]) && IsSeparator(fullPath[1]))
    {
        const size_t shareStart = fullPath.find_first_of("\\/", 2);
        return shareStart == std::string::npos || fullPath.find_first_of("\\/", shareStart + 1) == std::string::npos;
    }
    return false;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) { return CompareNamesU(a, b) == 0; }

// Whether the folder is the well-known folder or holds it.
bool IsOrHolds(const std::string& folder, const std::string& wellKnown)
{
    if (wellKnown.size() < folder.size())
        return false;
    if (wellKnown.size() > folder.size() && !IsSeparator(wellKnown[folder.size()]))
        return false;
    return EqualIgnoringCase(folder, wellKnown.substr(0, folder.size()));
}

std::vector<std::string> WellKnownFolderPaths()
{
    std::vector<std::string> paths;
    std::string path;
    for (int folder : WELL_KNOWN_FOLDERS)
    {
        if (GetSpecialFolderPathU(folder, path) && !path.empty())
            paths.push_back(FullPath(path));
    }
    // Asked of the kernel as well: the shell of an old system may not know
    // these numbers.
    DWORD length = GetWindowsDirectoryU(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        paths.push_back(FullPath(path));
    length = GetSystemDirectoryU(path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        paths.push_back(FullPath(path));
    return paths;
}
} // namespace

std::string TrimTrailingSeparators(const std::string& path)
{
    size_t end = path.size();
    while (end > 0 && IsSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

InstallPathProblem CheckInstallPath(const std::string& path)
{
    if (TrimTrailingSeparators(path).empty())
        return path.empty() ? InstallPathProblem::Empty : InstallPathProblem::NotAbsolute;
    if (!IsAbsolute(path))
        return InstallPathProblem::NotAbsolute;
    // Windows 9x names folders in its code page only: a name it cannot spell
    // exactly would become a look-alike folder.
    std::string spelled;
    if (SystemUsesCodePage() && !ToCodePage(path, spelled))
        return InstallPathProblem::NotSpellable;

    const std::string full = FullPath(path);
    if (IsRoot(full))
        return InstallPathProblem::DriveRoot;
    for (const std::string& wellKnown : WellKnownFolderPaths())
    {
        if (IsOrHolds(full, wellKnown))
            return InstallPathProblem::WellKnownFolder;
    }
    return InstallPathProblem::None;
}

unsigned ChosenPathRefusal(InstallPathProblem problem)
{
    for (const Refusal& refusal : REFUSALS)
        if (refusal.problem == problem)
            return refusal.chosen;
    return 0;
}

unsigned RecordedPathRefusal(InstallPathProblem problem)
{
    for (const Refusal& refusal : REFUSALS)
        if (refusal.problem == problem)
            return refusal.recorded;
    return 0;
}

bool HoldsInstalledCopy(const std::string& folder)
{
    if (folder.empty())
        return false;
    for (const char* executable : INSTALLED_EXECUTABLES)
    {
        const DWORD attributes = GetFileAttributesU((folder + executable));
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
    }
    return false;
}
