#include "app/SetupApp.h"

#include "app/DlgInstalling.h"
#include "app/UninstallFlow.h"
#include "app/WindowPrompts.h"
#include "core/SetupContext.h"
#include "framework/OleSession.h"
#include "resources/resource.h"
#include "run/InstallSequence.h"
#include "run/StartUp.h"
#include "ui/DlgInstallPath.h"
#include "ui/DlgLicense.h"
#include "ui/DlgSetup.h"

CSetupVantrelApp::CSetupVantrelApp() = default;
CSetupVantrelApp::~CSetupVantrelApp() = default;

BOOL CSetupVantrelApp::InitInstance()
{
    COleSession ole;
    CSetupContext context;
    CWindowPrompts prompts;
    context.SetPrompts(&prompts);

    if (!CreateSecureKey(context))
        return FALSE;

    if (!DetermineFolders(context))
        return FALSE;

    const SetupChoice choice = ChooseInstallation(context);
    if (choice == SetupChoice::Leave)
        return FALSE;
    if (choice == SetupChoice::Uninstall)
        return RunUninstall(context) ? TRUE : FALSE;

    if (!InstallInProgressWindow(context))
        return FALSE;

    if (context.m_bRebootNeeded)
    {
        if (context.ShowMessage(IDS_RESTART_QUESTION, MB_YESNO | MB_ICONHAND) != IDNO)
            RestartWindows(context);
        return TRUE;
    }
    context.ShowMessage(IDS_INSTALL_COMPLETE, MB_OK);
    return FALSE;
}

CSetupVantrelApp::SetupChoice CSetupVantrelApp::ChooseInstallation(CSetupContext& context)
{
    // The main dialog sets the install path to the installed copy's folder or
    // to the default one.
    DLG_Setup choice(context);
    if (choice.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (choice.m_bUninstall)
        return SetupChoice::Uninstall;
    // Upgrading keeps the installed copy's folder and needs no agreement.
    if (choice.m_bUpgrade)
        return SetupChoice::Install;

    DLG_Main agreement(context);
    if (agreement.DoModal() != IDOK)
        return SetupChoice::Leave;
    DLG_InstallPath folder(context);
    folder.m_strPath = context.m_strInstallPath;
    if (folder.DoModal() != IDOK)
        return SetupChoice::Leave;
    if (!folder.m_strPath.empty())
        context.m_strInstallPath = folder.m_strPath;
    return SetupChoice::Install;
}

bool CSetupVantrelApp::InstallInProgressWindow(CSetupContext& context)
{
    DLG_Installing progress;
    if (!progress.Create(nullptr))
        return false;
    SetMainWindow(progress.GetSafeHwnd());
    context.SetProgress(&progress);

    const bool installed = RunInstall(context);

    // What follows (the completion message, the restart question) is owned
    // by the active window, not by the progress window that is going away.
    context.SetProgress(nullptr);
    SetMainWindow(nullptr);
    progress.DestroyWindow();
    return installed;
}
