// Installing the two package files that lie beside the setup program: the
// runtime libraries into the system folder, the application into the install
// folder's "\Programs".
#include "install/PackageInstall.h"

#include <set>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/SystemCalls.h"
#include "core/BootReplacementQueue.h"
#include "install/EntryNameText.h"
#include "install/PayloadPlacement.h"
#include "install/ReplaceDecision.h"
#include "package/EntryName.h"
#include "package/PackageFile.h"
#include "portable/Utf8.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

const char* RuntimePackageName(const CSetupContext& context)
{
    return context.IsNT() ? "RTDLL_NT.PKG" : "RTDLL_95.PKG";
}

const char* ApplicationPackageName(const CSetupContext& context)
{
    return context.IsNT() ? "APPS_NT.PKG" : "APPS_95.PKG";
}

std::string ApplicationFolder(const CSetupContext& context) { return context.m_strInstallPath + "\\Programs"; }

bool EntryNameToPath(const WCHAR* name, std::string& path)
{
    path.clear();
    std::string text;
    if (!Utf16ToUtf8(name, ::lstrlenW(name), text))
        return false;
    if (text.empty())
    {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // No byte of a UTF-8 sequence beyond ASCII is a '/', so each is a real
    // slash.
    for (char& c : text)
        if (c == '/')
            c = '\\';
    path = std::move(text);
    return true;
}

ULONGLONG FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExU(path, data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace
{

// Passes the package's reports of data gone through on to the progress
// window, which also takes its messages then, and counts them.
struct ProgressRelay
{
    IInstallProgress& progress;
    ULONGLONG reported = 0;

    static void Report(DWORD bytes, void* context)
    {
        auto* relay = static_cast<ProgressRelay*>(context);
        relay->reported += bytes;
        relay->progress.AddProgress(bytes);
    }
    // Brings the count up to the given number of bytes: data of entries
    // that were not written, and the package's header and catalog.
    void CatchUp(ULONGLONG bytes)
    {
        if (bytes > reported)
            progress.AddProgress(bytes - reported);
        reported = bytes > reported ? bytes : reported;
    }
};


// One package's walk: its catalog in order, each entry's folders made and each
// file entry handed to the replace decision.
class CPackageWalk
{
public:
    CPackageWalk(CSetupContext& context, CPackageFile& package, const std::string& packageName)
        : m_context(context), m_package(package), m_strPackageName(packageName), m_installer(context)
    {
    }

    // Installs the entry below destination (with its trailing backslash).
    // False when the installation is to stop; the reason was shown.
    bool InstallEntry(int index, const CPackageCatalogEntry& entry, const std::string& destination);
    // The end of the package: the replacements waiting are written and
    // every file is on the disk; false after its message.
    bool Finish() { return m_installer.FinishPackage(); }

private:
    bool CreateEntryFolders(const std::string& destination, const std::string& name, bool wholeName);
    bool Refuse(const std::string& message);

    CSetupContext& m_context;
    CPackageFile& m_package;
    const std::string& m_strPackageName;
    CFileInstaller m_installer;
    // The folders of entries made (or found) in this package.
    std::set<std::string> m_entryFolders;
};

bool CPackageWalk::Refuse(const std::string& message)
{
    m_context.ShowMessage(message, MB_OK);
    return false;
}

bool CPackageWalk::InstallEntry(int index, const CPackageCatalogEntry& entry, const std::string& destination)
{
    std::string name;
    const bool converted = EntryNameToPath(entry.GetName(), name);
    m_context.Progress().SetStatusText(name);

    const LONG kind = entry.GetKind();
    if (!converted || CheckEntryName(entry.GetName()) != EntryNameProblem::None ||
        (kind != entryFile && kind != entryDirectory))
    {
        // A name that would leave the destination folder, or that is no
        // text, is no more to be trusted than an unknown kind: nothing of it
        // is written.
        return Refuse(FormatResMessage(IDS_PACKAGE_CORRUPT, {m_strPackageName.c_str()}));
    }
    const std::string target = destination + name;
    // Neither the file nor its removal could be done by name later: refused
    // before anything of it is written.
    if (Utf16LengthOf(target) >= MAX_PATH)
        return Refuse(FormatResMessage(IDS_TARGET_PATH_TOO_LONG, {target.c_str()}));
    // Windows 9x names files in its code page only: a name it cannot spell
    // exactly is refused rather than written as a look-alike.
    std::string spelled;
    if (SystemUsesCodePage() && !ToCodePage(target, spelled))
        return Refuse(FormatResMessage(IDS_TARGET_NAME_NOT_SPELLABLE, {target.c_str()}));
    if (!CreateEntryFolders(destination, name, kind == entryDirectory))
        return false;
    if (kind != entryFile)
        return true;
    if (!GoesOn(m_installer.InstallFileFromPackage(m_package, entry, index, target)))
        return false;
    m_context.m_nBytesInstalled += entry.GetUncompressedSize();
    return true;
}

bool CPackageWalk::CreateEntryFolders(const std::string& destination, const std::string& name, bool wholeName)
{
    // Every folder on the way to the entry, from the destination down: the
    // name's components up to its last one (a file's), or all of them (a
    // folder's). Names cannot leave the destination, so neither can these.
    for (size_t end = name.find('\\');; end = name.find('\\', end + 1))
    {
        if (end == std::string::npos && !wholeName)
            return true;
        const std::string folder = destination + name.substr(0, end);
        if (m_entryFolders.insert(folder).second)
        {
            const FolderMaking making = MakeFolder(m_context, folder);
            if (making == FolderMaking::Stopped)
                return false;
            DWORD error = making == FolderMaking::Made ? ERROR_SUCCESS : ::GetLastError();
            // Something of that name already: a folder, or a file in the way.
            if (making == FolderMaking::AlreadyThere && IsFolderU(folder))
                error = ERROR_SUCCESS;
            if (error != ERROR_SUCCESS)
            {
                m_entryFolders.erase(folder);
                ::SetLastError(error);
                const std::string reason = GetLastErrorText();
                return Refuse(FormatResMessage(IDS_CREATE_FOLDER_FAILED, {folder.c_str(), reason.c_str()}));
            }
            m_installer.NoteFolder(folder);
        }
        if (end == std::string::npos)
            return true;
    }
}
} // namespace

bool InstallPackages(CSetupContext& context)
{
    IInstallProgress& progress = context.Progress();
    progress.SetStage(IDS_STAGE_FILES, 0);
    // The bar shows the share of both packages gone through.
    progress.SetProgressTotal(FileSize(context.m_strSourceDir + RuntimePackageName(context)) +
                              FileSize(context.m_strSourceDir + ApplicationPackageName(context)));
    // Each runtime library goes into the system folder of its own kind.
    if (!context.m_bPayloadPlanned && !PlanPayload(context))
        return false;
    if (!InstallPackage(context, RuntimePackageName(context), PackageDestination{context.m_strSystemDir,
                                                                                 context.m_arrRuntimeFolders}))
        return false;
    return InstallPackage(context, ApplicationPackageName(context), ApplicationFolder(context));
}

bool InstallPackage(CSetupContext& context, const std::string& packageName, const std::string& destination)
{
    return InstallPackage(context, packageName, PackageDestination{destination, {}});
}

namespace
{
std::string WithSeparator(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}
} // namespace

bool InstallPackage(CSetupContext& context, const std::string& packageName, const PackageDestination& destination)
{
    const std::string path = context.m_strSourceDir + packageName;
    CPackageFile package(FALSE);
    if (!package.Open(path.c_str(), FALSE))
    {
        const std::string reason = GetLastErrorText();
        context.ShowMessage(FormatResMessage(IDS_PACKAGE_OPEN_FAILED, {packageName.c_str(), reason.c_str()}), MB_OK);
        return false;
    }

    const CPackageCatalog catalog = package.GetCatalog();
    if (package.GetBuild() != PACKAGE_BUILD)
    {
        package.Close();
        context.ShowMessage(FormatResMessage(IDS_PACKAGE_WRONG_BUILD, {packageName.c_str()}), MB_OK);
        return false;
    }

    const std::string commonFolder = WithSeparator(destination.folder);

    ProgressRelay relay{context.Progress()};
    package.SetProgressProc(ProgressRelay::Report, &relay);
    ULONGLONG entriesEnd = 0;
    CPackageWalk walk(context, package, packageName);
    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        const size_t index = static_cast<size_t>(i);
        const bool ownFolder = index < destination.perEntry.size() && !destination.perEntry[index].empty();
        if (!walk.InstallEntry(i, entry, ownFolder ? WithSeparator(destination.perEntry[index]) : commonFolder))
        {
            package.Close();
            // Replacements of this package waiting for its end are dropped.
            context.BootQueue().Discard();
            return false;
        }
        entriesEnd += entry.GetStoredSize();
        relay.CatchUp(entriesEnd);
    }
    package.Close();
    if (!walk.Finish())
    {
        context.BootQueue().Discard();
        return false;
    }
    relay.CatchUp(FileSize(path));

    // The package's replacements that wait for its end (WININIT.INI on
    // Windows 9x) are queued now that all of it is installed.
    return CommitBootReplacements(context);
}

bool CommitBootReplacements(CSetupContext& context)
{
    IBootReplacementQueue& queue = context.BootQueue();
    if (!queue.HasPending())
        return true;
    if (!queue.Commit())
    {
        // The replacements were not queued and their temporary files are
        // gone: the installation stops.
        const std::string reason = GetLastErrorText();
        context.ShowMessage(FormatResMessage(IDS_WININIT_FAILED, {reason.c_str()}), MB_OK);
        return false;
    }
    context.m_bRebootNeeded = true;
    return true;
}
