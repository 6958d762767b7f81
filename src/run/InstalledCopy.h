#pragma once
#include <windows.h>

#include <string>

// What this setup may do with what is installed.
enum class InstallOffer
{
    Install,       // nothing installed: a new installation
    Upgrade,       // an older build (or one that recorded no build) is installed
    UninstallOnly, // this build or a newer one is installed
};

// An installed copy as the registry records it and the disk holds it.
struct InstalledCopy
{
    bool found = false;
    // The copy's folder: the recorded one, or the default folder when only
    // that holds a copy; "" when none is found.
    std::string path;
    // The recorded build; 0 when none is recorded.
    DWORD build = 0;
    InstallOffer offer = InstallOffer::Install;
};

// Looks for the installed copy: the product key's "Install Path" and "Build
// Number" (registry failures count as nothing recorded), then whether that
// folder, or else the default folder, holds the reader (Programs\ReaderNT.Exe
// or Programs\Reader95.Exe). The main dialog and the unattended run both
// decide from this.
InstalledCopy FindInstalledCopy();

// Whether an installed copy exists in path, or else in the default folder,
// which path is then set to. An empty path looks only in the default folder;
// path is emptied when neither holds a copy.
bool FindInstalledCopyFolder(std::string& path);
