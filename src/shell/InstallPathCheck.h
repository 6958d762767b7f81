#pragma once
#include <string>

// Why a folder cannot serve as the installation folder. The uninstall removes
// the installation folder's whole tree, so a folder that holds the system's or
// the user's own files must never be taken for one, neither when the user
// chooses the folder nor when the uninstall reads it back from the registry.
enum class InstallPathProblem
{
    None,
    Empty,
    // Neither a drive letter followed by a backslash nor a UNC path
    // (\\server\share\...): it would be taken relative to the current folder.
    NotAbsolute,
    // The root of a drive or of a network share.
    DriveRoot,
    // One of the shell's well-known folders (Windows, system, Program Files,
    // the user profile, desktop, documents, application data, Start menu, of
    // the user and of all users) or a folder that holds one of them.
    WellKnownFolder,
    // A name with characters that the system, taking names in its code page
    // only (Windows 9x), cannot spell exactly.
    NotSpellable,
};

// The path without trailing backslashes or slashes ("C:\Lumiro\\" gives
// "C:\Lumiro").
std::string TrimTrailingSeparators(const std::string& path);

// Checks a folder named by the user or by the registry. The path is made full
// (".." and "." resolved, short names made long where the folder exists)
// before it is compared, so "C:\Lumiro\.." is a drive root and
// "C:\PROGRA~1" is Program Files.
InstallPathProblem CheckInstallPath(const std::string& path);

// The messages that refuse a folder for its problem (0 for None): one for a
// folder chosen for a new installation (the install-path dialog, /DIR), one
// for a recorded folder the uninstall leaves alone.
unsigned ChosenPathRefusal(InstallPathProblem problem);
unsigned RecordedPathRefusal(InstallPathProblem problem);

// Whether the folder holds an installed copy of the application: a file
// "Programs\ReaderNT.Exe" or "Programs\Reader95.Exe" below it (existence
// only, on every platform). False for an empty path.
bool HoldsInstalledCopy(const std::string& folder);
