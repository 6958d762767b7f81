// Installing the two package files that lie beside the setup program: the
// runtime libraries into the system folder, the application into the install
// folder's "\Programs".
#include "app/SetupApp.h"

#include "app/InstallProgress.h"
#include "app/Messages.h"
#include "install/EntryNameText.h"
#include "package/EntryName.h"
#include "package/PackageFile.h"
#include "resources/resource.h"

namespace
{
struct PackageNames
{
    const char* nt;
    const char* win9x;
};
constexpr PackageNames RUNTIME_PACKAGE = {"RTDLL_NT.PKG", "RTDLL_95.PKG"};
constexpr PackageNames APPLICATION_PACKAGE = {"APPS_NT.PKG", "APPS_95.PKG"};

const char* ForPlatform(const PackageNames& names) { return CSetupVantrelApp::IsWindowsNT() ? names.nt : names.win9x; }
} // namespace

bool EntryNameToPath(const WCHAR* name, UINT codePage, std::string& path)
{
    path.clear();
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int length = ::WideCharToMultiByte(codePage, flags, name, -1, nullptr, 0, nullptr, nullptr);
    if (length == 0 && ::GetLastError() == ERROR_INVALID_FLAGS)
    {
        flags = 0;
        length = ::WideCharToMultiByte(codePage, flags, name, -1, nullptr, 0, nullptr, nullptr);
    }
    if (length == 0)
        return false;
    std::string text(static_cast<size_t>(length), '\0');
    if (::WideCharToMultiByte(codePage, flags, name, -1, &text[0], length, nullptr, nullptr) != length)
        return false;
    text.resize(static_cast<size_t>(length) - 1);
    if (text.empty())
    {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // No trail byte of a double-byte character is below 0x40, so every '/'
    // byte is a real slash.
    for (char& c : text)
        if (c == '/')
            c = '\\';
    path = std::move(text);
    return true;
}

namespace
{
// The size of a package file, 0 when it cannot be read.
ULONGLONG PackageSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

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
} // namespace

bool CSetupVantrelApp::InstallPackages(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_FILES, 0);
    // The bar shows the share of both packages gone through.
    progress.SetProgressTotal(PackageSize(m_strSourceDir + ForPlatform(RUNTIME_PACKAGE)) +
                              PackageSize(m_strSourceDir + ForPlatform(APPLICATION_PACKAGE)));
    if (!InstallPackage(progress, ForPlatform(RUNTIME_PACKAGE), m_strSystemDir))
        return false;
    return InstallPackage(progress, ForPlatform(APPLICATION_PACKAGE), m_strInstallPath + "\\Programs");
}

bool CSetupVantrelApp::InstallPackage(IInstallProgress& progress, const std::string& packageName,
                                      std::string destination)
{
    const std::string path = m_strSourceDir + packageName;
    CPackageFile package(FALSE);
    if (!package.Open(path.c_str(), FALSE))
    {
        const std::string reason = GetLastErrorText();
        ShowMessage(FormatResMessage(IDS_PACKAGE_OPEN_FAILED, {packageName.c_str(), reason.c_str()}), MB_OK);
        return false;
    }

    const CPackageCatalog catalog = package.GetCatalog();
    if (package.GetBuild() != PACKAGE_BUILD)
    {
        package.Close();
        ShowMessage(FormatResMessage(IDS_PACKAGE_WRONG_BUILD, {packageName.c_str()}), MB_OK);
        return false;
    }

    if (destination.empty() || destination.back() != '\\')
        destination += '\\';

    // Listings of the destination, and the folders made in it, are read
    // afresh for every package.
    m_folderNames.Clear();
    m_entryFolders.clear();
    ProgressRelay relay{progress};
    package.SetProgressProc(ProgressRelay::Report, &relay);
    ULONGLONG entriesEnd = 0;

    for (int i = 0; i < catalog.GetCount(); ++i)
    {
        const CPackageCatalogEntry entry = catalog.GetAt(i);
        std::string name;
        const bool converted = EntryNameToPath(entry.GetName(), CP_ACP, name);
        progress.SetStatusText(name);

        const LONG kind = entry.GetKind();
        if (!converted || CheckEntryName(entry.GetName()) != EntryNameProblem::None ||
            (kind != entryFile && kind != entryDirectory))
        {
            // A name that would leave the destination folder, or that has no
            // form in the system's code page, is no more to be trusted than
            // an unknown kind: nothing of it is written.
            package.Close();
            DiscardBootRenames();
            ShowMessage(FormatResMessage(IDS_PACKAGE_CORRUPT, {packageName.c_str()}), MB_OK);
            return false;
        }
        const std::string target = destination + name;
        bool handled;
        if (target.size() >= MAX_PATH)
        {
            // Neither the file nor its removal could be done by name later:
            // refused before anything of it is written.
            ShowMessage(FormatResMessage(IDS_TARGET_PATH_TOO_LONG, {target.c_str()}), MB_OK);
            handled = false;
        }
        else
        {
            handled = CreateEntryFolders(destination, name, kind == entryDirectory) &&
                      (kind != entryFile || InstallFileFromPackage(package, entry, i, target));
        }
        if (!handled)
        {
            package.Close();
            DiscardBootRenames();
            return false;
        }
        entriesEnd += entry.GetStoredSize();
        relay.CatchUp(entriesEnd);
    }
    package.Close();
    relay.CatchUp(PackageSize(path));

    // Windows 9x: the boot-time renames of this package go into WININIT.INI
    // now that all of it is installed.
    if (!IsWindowsNT() && !m_arrBootRenames.empty())
        return WriteWininitRenames();
    return true;
}

bool CSetupVantrelApp::CreateEntryFolders(const std::string& destination, const std::string& name, bool wholeName)
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
            DWORD error = ::CreateDirectoryA(folder.c_str(), nullptr) ? ERROR_SUCCESS : ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS)
            {
                // A file of that name is in the way of the folder.
                const DWORD attributes = ::GetFileAttributesA(folder.c_str());
                if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                    error = ERROR_SUCCESS;
            }
            if (error != ERROR_SUCCESS)
            {
                m_entryFolders.erase(folder);
                ::SetLastError(error);
                const std::string reason = GetLastErrorText();
                ShowMessage(FormatResMessage(IDS_CREATE_FOLDER_FAILED, {folder.c_str(), reason.c_str()}), MB_OK);
                return false;
            }
            m_folderNames.Add(folder);
        }
        if (end == std::string::npos)
            return true;
    }
}
