// Installing the two package files that lie beside the setup program: the
// runtime libraries into the system folder, the application into the install
// folder's "\Programs".
#include "app/SetupApp.h"

#include "app/InstallProgress.h"
#include "app/Messages.h"
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

bool IsSeparator(WCHAR c) { return c == L'\\' || c == L'/'; }

// An entry name stays inside the destination folder when it is a relative
// path whose components are all real names: not empty (which also refuses a
// leading or doubled separator and an empty name), not made of dots and
// spaces only (Windows reads "..", and "..." or ". ." after trimming, as a
// step up or as the folder itself), and without a colon (a drive, or a
// stream of another file). Checked on the UTF-16 name, before the ANSI
// conversion, so that no trail byte of a double-byte character is mistaken
// for a backslash.
bool IsSafeEntryName(const WCHAR* name)
{
    const WCHAR* component = name;
    for (;;)
    {
        const WCHAR* end = component;
        bool onlyDotsAndSpaces = true;
        while (*end && !IsSeparator(*end))
        {
            if (*end == L':')
                return false;
            if (*end != L'.' && *end != L' ')
                onlyDotsAndSpaces = false;
            ++end;
        }
        if (end == component || onlyDotsAndSpaces)
            return false;
        if (!*end)
            return true;
        component = end + 1;
    }
}

// The entry name in the system's ANSI code page. Characters the code page
// lacks become its default character; no "best fit" look-alike is taken, so
// a full-width dot or backslash cannot turn into a path step.
std::string ToAnsi(const WCHAR* name)
{
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}
} // namespace

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
        const std::string name = ToAnsi(entry.GetName());
        progress.SetStatusText(name);

        const LONG kind = entry.GetKind();
        if (!IsSafeEntryName(entry.GetName()) || (kind != entryFile && kind != entryDirectory))
        {
            // A name that would leave the destination folder is no more to
            // be trusted than an unknown kind: nothing of it is written.
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
