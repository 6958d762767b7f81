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

bool CSetupVantrelApp::InstallPackages(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_FILES, 0);
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
        if (kind == entryFile && !InstallFileFromPackage(package, entry, i, destination + name))
        {
            package.Close();
            DiscardBootRenames();
            return false;
        }
    }
    package.Close();

    // Windows 9x: the boot-time renames of this package go into WININIT.INI
    // now that all of it is installed.
    if (!IsWindowsNT() && !m_arrBootRenames.empty())
        return WriteWininitRenames();
    return true;
}
