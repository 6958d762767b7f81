#pragma once
#include <windows.h>

#include <string>
#include <vector>

class CSetupContext;

// Room on the drives an installation writes to, checked before it writes
// anything: the files of each destination, each rounded up to whole clusters
// of its volume, summed over the destinations that share a volume, against
// the space free there. Files the installation replaces count in full (the
// old copies stay until it has succeeded).

// What an installation puts into one folder.
struct FolderDemand
{
    std::string folder;               // where the files go; it may not exist yet
    std::string shownFolder;          // the folder a message names for it
    std::vector<ULONGLONG> fileSizes; // the files' sizes in bytes
};

// The volume that holds a folder, or will hold it once made: for a folder
// that does not exist yet, the volume of its nearest existing parent.
struct VolumeSpace
{
    std::string root;          // the volume's root ("C:\", or the folder it is mounted at)
    ULONGLONG clusterSize = 0; // the unit of space a file takes
    ULONGLONG freeBytes = 0;   // the space free for this user
};
// False with the system's reason as the last error when the volume cannot
// be told (no part of the path exists, or the system does not answer).
bool QueryVolumeSpace(const std::string& folder, VolumeSpace& volume);

// The space files of these sizes take on a volume: each rounded up to whole
// clusters (an empty file takes none).
ULONGLONG SpaceTaken(const std::vector<ULONGLONG>& fileSizes, ULONGLONG clusterSize);

// What an installation from the context's folders adds: the File entries of
// the runtime package into the system folder, those of the application
// package into ApplicationFolder, the setup program into "<install>\Setup";
// the install folder's demands first, each shown as the install folder. A
// package that cannot be read adds nothing here: the package step reports it.
std::vector<FolderDemand> InstallationDemands(const CSetupContext& context);

// Whether every volume has room for the demands on it. Message 20162 naming
// the first demand's shown folder of the first volume that lacks room, with
// the space needed and free, and false. A volume that cannot be told is not
// checked: the step that writes there reports what is wrong with it.
bool CheckRoomFor(CSetupContext& context, const std::vector<FolderDemand>& demands);

// The first step of an installation: CheckRoomFor(InstallationDemands).
bool CheckFreeSpace(CSetupContext& context);
