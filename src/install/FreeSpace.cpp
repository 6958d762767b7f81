#include "install/FreeSpace.h"

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/MessageFormat.h"
#include "framework/SystemCalls.h"
#include "install/PackageInstall.h"
#include "install/SetupProgramCopy.h"
#include "package/PackageFile.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"

namespace
{
// The root of a full path, with its backslash: "C:\" or "\\server\share\";
// "" for a path that is neither.
std::string RootOf(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\')
        return path.substr(0, 3);
    if (path.compare(0, 2, "\\\\") != 0)
        return std::string();
    const size_t server = path.find('\\', 2);
    const size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    if (server == std::string::npos || server == 2)
        return std::string();
    return share == std::string::npos ? path + "\\" : path.substr(0, share + 1);
}

// The folder itself when it exists, else its nearest existing parent; ""
// when none does (the drive or share is missing too).
std::string NearestExistingFolder(const std::string& folder)
{
    const std::string root = RootOf(folder);
    if (root.empty())
        return std::string();
    std::string path = folder;
    while (path.size() > root.size() && !IsFolderU(path))
    {
        const size_t last = path.find_last_of('\\', path.size() - 2);
        path = last + 1 <= root.size() ? root : path.substr(0, last);
    }
    return IsFolderU(path) ? path : std::string();
}

// The root of the volume that holds an existing folder: the system's answer
// where it has one (a volume may be mounted at a folder), else the drive's or
// share's root.
std::string VolumeRoot(const std::string& existingFolder)
{
    std::string root;
    return GetVolumePathNameU(existingFolder, root) ? root : RootOf(existingFolder);
}

// The demands of a package's File entries, by the folder each goes into
// (folders[index] where the list names one, else folder, which a message
// names as shown); only folder's, without files, when it cannot be read.
void AddPackageDemands(const std::string& path, const std::string& folder, const std::string& shown,
                       const std::vector<std::string>& folders, std::vector<FolderDemand>& demands)
{
    // The package's own folder always has its demand, first.
    const size_t first = demands.size();
    demands.push_back({folder, shown, {}});
    CPackageFile package(FALSE);
    if (!package.Open(path.c_str(), FALSE))
        return;
    const CPackageCatalog catalog = package.GetCatalog();
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        if (entry.GetKind() != entryFile)
            continue;
        const size_t index = static_cast<size_t>(i);
        const std::string& target = index < folders.size() && !folders[index].empty() ? folders[index] : folder;
        size_t demand = first;
        while (demand < demands.size() && demands[demand].folder != target)
            ++demand;
        if (demand == demands.size())
            demands.push_back({target, target, {}});
        demands[demand].fileSizes.push_back(entry.GetUncompressedSize());
    }
    package.Close();
}

// The demands on one volume, summed.
struct VolumeDemand
{
    VolumeSpace volume;
    std::string shownFolder;
    ULONGLONG needed;
};
} // namespace

bool QueryVolumeSpace(const std::string& folder, VolumeSpace& volume)
{
    const std::string existing = NearestExistingFolder(folder);
    if (existing.empty())
    {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    volume.root = VolumeRoot(existing);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceU(volume.root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return false;
    volume.clusterSize = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
    // The space free for this user (disk quotas), where the system tells it
    // (not the first Windows 95); the free clusters are no more than that.
    ULARGE_INTEGER available{}, total{}, free{};
    if (GetDiskFreeSpaceExU(existing, &available, &total, &free))
        volume.freeBytes = available.QuadPart;
    else
        volume.freeBytes = static_cast<ULONGLONG>(freeClusters) * volume.clusterSize;
    return true;
}

ULONGLONG SpaceTaken(const std::vector<ULONGLONG>& fileSizes, ULONGLONG clusterSize)
{
    ULONGLONG taken = 0;
    for (const ULONGLONG size : fileSizes)
        taken += clusterSize ? (size + clusterSize - 1) / clusterSize * clusterSize : size;
    return taken;
}

std::vector<FolderDemand> InstallationDemands(const CSetupContext& context)
{
    const std::string& install = context.m_strInstallPath;
    std::vector<FolderDemand> demands;
    AddPackageDemands(context.m_strSourceDir + ApplicationPackageName(context), ApplicationFolder(context), install,
                      {}, demands);
    // The installed copy itself is not copied again (InstallSetupProgram).
    const std::string program = RunningProgramPath();
    if (CompareNamesU(program, install + INSTALLED_SETUP_PROGRAM) != 0)
        demands.push_back({install + INSTALLED_SETUP_FOLDER, install, {FileSize(program)}});
    // Each runtime library in the system folder of its kind.
    AddPackageDemands(context.m_strSourceDir + RuntimePackageName(context), context.m_strSystemDir,
                      context.m_strSystemDir, context.m_arrRuntimeFolders, demands);
    return demands;
}

bool CheckRoomFor(CSetupContext& context, const std::vector<FolderDemand>& demands)
{
    std::vector<VolumeDemand> volumes;
    for (const FolderDemand& demand : demands)
    {
        VolumeSpace volume;
        if (!QueryVolumeSpace(demand.folder, volume))
            continue;
        size_t same = 0;
        while (same < volumes.size() && CompareNamesU(volumes[same].volume.root, volume.root) != 0)
            ++same;
        if (same == volumes.size())
            volumes.push_back(VolumeDemand{volume, demand.shownFolder, 0});
        volumes[same].needed += SpaceTaken(demand.fileSizes, volume.clusterSize);
    }
    for (const VolumeDemand& volume : volumes)
    {
        if (volume.needed <= volume.volume.freeBytes)
            continue;
        const std::string needed = FormatByteSize(volume.needed, SizeRounding::Up);
        const std::string free = FormatByteSize(volume.volume.freeBytes, SizeRounding::Down);
        context.ShowMessage(
            FormatResMessage(IDS_NOT_ENOUGH_SPACE, {volume.shownFolder.c_str(), needed.c_str(), free.c_str()}),
            MB_OK);
        return false;
    }
    return true;
}

bool CheckFreeSpace(CSetupContext& context) { return CheckRoomFor(context, InstallationDemands(context)); }
