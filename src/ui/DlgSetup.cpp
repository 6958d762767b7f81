#include "ui/DlgSetup.h"

#include <string>

#include "app/Messages.h"
#include "app/SetupApp.h"
#include "framework/ResourceStrings.h"
#include "package/PackageFormat.h"
#include "registry/ProductRecords.h"
#include "registry/RegistryKey.h"
#include "resources/resource.h"
#include "shell/InstallPathCheck.h"

DLG_Setup::DLG_Setup(CSetupVantrelApp& app) : CDialogBase(IDD_SETUP), m_app(app) {}

void DLG_Setup::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_INSTALLED_BUILD, m_strInstalledBuild);
    DDX_Text(dx, IDC_INSTALL_LABEL, m_strInstallLabel);
    DDX_Text(dx, IDC_INSTALLED_PATH, m_strInstalledPath);
}

bool DLG_Setup::FindInstalledCopy(std::string& path)
{
    if (!path.empty())
    {
        if (HoldsInstalledCopy(path))
            return true;
        path.clear();
    }
    if (HoldsInstalledCopy(CSetupVantrelApp::DEFAULT_INSTALL_PATH))
    {
        path = CSetupVantrelApp::DEFAULT_INSTALL_PATH;
        return true;
    }
    return false;
}

BOOL DLG_Setup::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    m_strSetupBuild = std::to_string(PACKAGE_BUILD);

    m_btnInstall.LoadBitmaps(IDB_INSTALL, IDB_INSTALL_DOWN, IDB_INSTALL, IDB_INSTALL_DISABLED);
    m_btnInstall.Attach(m_hWnd, IDC_INSTALL_BUTTON);
    m_btnUninstall.LoadBitmaps(IDB_UNINSTALL, IDB_UNINSTALL_DOWN, IDB_UNINSTALL, IDB_UNINSTALL_DISABLED);
    m_btnUninstall.Attach(m_hWnd, IDC_UNINSTALL_BUTTON);

    // Registry failures are silent: a missing key or value counts as no
    // recorded installation.
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    std::string path;
    DWORD installedBuild = 0;
    key.QueryString(VALUE_INSTALL_PATH, path);
    key.QueryDWORD(VALUE_BUILD_NUMBER, installedBuild);
    const std::string buildText = installedBuild != 0 ? std::to_string(installedBuild) : std::string("n/a");

    if (FindInstalledCopy(path))
    {
        EnableItem(IDC_UNINSTALL_BUTTON, true);
        m_strInstalledBuild = FormatResMessage(IDS_INSTALLED_FOUND, {buildText.c_str()});
        m_strInstalledPath = path;
        // A copy of this build or a newer one can only be removed.
        if (installedBuild >= static_cast<DWORD>(PACKAGE_BUILD))
        {
            EnableItem(IDC_INSTALL_BUTTON, false);
            EnableItem(IDC_INSTALL_LABEL, false);
        }
        m_strInstallLabel = LoadResString(IDS_UPGRADE_SOFTWARE);
        m_app.SetInstallPath(path);
        m_bUpgrade = TRUE;
    }
    else
    {
        EnableItem(IDC_UNINSTALL_BUTTON, false);
        EnableItem(IDC_UNINSTALL_LABEL, false);
        ShowItem(IDC_INSTALLED_PATH, false);
        ShowItem(IDC_INSTALLED_BUILD, false);
        m_strInstallLabel = LoadResString(IDS_INSTALL_SOFTWARE);
        m_app.SetInstallPath(CSetupVantrelApp::DEFAULT_INSTALL_PATH);
        // Recorded even when the user then leaves with "Exit Setup".
        key.SetString(VALUE_INSTALL_PATH, CSetupVantrelApp::DEFAULT_INSTALL_PATH);
    }

    ::SetWindowTextA(m_hWnd, FormatResMessage(IDS_MAIN_CAPTION, {m_strSetupBuild.c_str()}).c_str());
    UpdateData(false);
    return TRUE;
}

bool DLG_Setup::OnCommand(int controlId, int notifyCode)
{
    if (notifyCode != BN_CLICKED || (controlId != IDC_INSTALL_BUTTON && controlId != IDC_UNINSTALL_BUTTON))
        return false;
    // A click that reaches a disabled button (another program may post one)
    // chooses nothing.
    if (!::IsWindowEnabled(GetItem(controlId)))
        return true;
    m_bUninstall = controlId == IDC_UNINSTALL_BUTTON ? TRUE : FALSE;
    EndDialog(IDOK);
    return true;
}

INT_PTR DLG_Setup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (message == WM_DRAWITEM)
    {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        handled = m_btnInstall.DrawItem(item) || m_btnUninstall.DrawItem(item);
        return handled ? TRUE : FALSE;
    }
    return CDialogBase::OnMessage(message, wParam, lParam, handled);
}
