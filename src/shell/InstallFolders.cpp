#include "app/SetupApp.h"

#include "app/InstallProgress.h"
#include "app/Messages.h"
#include "resources/resource.h"

namespace
{
// The installation's layout below the install folder, in the order of
// creation: only the last component of each is created, so a parent comes
// before its children.
constexpr const char* INSTALL_FOLDER_SUFFIXES[] = {
    "",
    "\\Programs",
    "\\Configuration",
    "\\Configuration\\Machine",
    "\\Logs",
    "\\Documents",
};
} // namespace

bool CSetupVantrelApp::CreateInstallFolders(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_FOLDERS, 0);
    for (const char* suffix : INSTALL_FOLDER_SUFFIXES)
    {
        if (!CreateFolder(progress, m_strInstallPath + suffix))
            return false;
    }
    return true;
}

bool CSetupVantrelApp::CreateFolder(IInstallProgress& progress, const std::string& path)
{
    progress.SetStatusText(path);
    if (::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    const std::string reason = GetLastErrorText();
    ShowMessage(FormatResMessage(IDS_CREATE_FOLDER_FAILED, {path.c_str(), reason.c_str()}), MB_OK);
    return false;
}
