#include "ui/DlgSetup.h"

#include <string>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "package/PackageFormat.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "resources/resource.h"
#include "run/InstalledCopy.h"

DLG_Setup::DLG_Setup(CSetupContext& context) : CDialogBase(IDD_SETUP), m_context(context) {}

void DLG_Setup::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_INSTALLED_BUILD, m_strInstalledBuild);
    DDX_Text(dx, IDC_INSTALL_LABEL, m_strInstallLabel);
    DDX_Text(dx, IDC_INSTALLED_PATH, m_strInstalledPath);
}

BOOL DLG_Setup::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    m_strSetupBuild = std::to_string(PACKAGE_BUILD);

    m_btnInstall.LoadBitmaps(IDB_INSTALL, IDB_INSTALL_DOWN, IDB_INSTALL, IDB_INSTALL_DISABLED);
    m_btnInstall.Attach(m_hWnd, IDC_INSTALL_BUTTON);
    m_btnUninstall.LoadBitmaps(IDB_UNINSTALL, IDB_UNINSTALL_DOWN, IDB_UNINSTALL, IDB_UNINSTALL_DISABLED);
    m_btnUninstall.Attach(m_hWnd, IDC_UNINSTALL_BUTTON);

    const InstalledCopy copy = FindInstalledCopy();
    if (copy.found)
    {
        const std::string buildText = copy.build != 0 ? std::to_string(copy.build) : std::string("n/a");
        EnableItem(IDC_UNINSTALL_BUTTON, true);
        m_strInstalledBuild = FormatResMessage(IDS_INSTALLED_FOUND, {buildText.c_str()});
        m_strInstalledPath = copy.path;
        // A copy of this build or a newer one can only be removed.
        if (copy.offer == InstallOffer::UninstallOnly)
        {
            EnableItem(IDC_INSTALL_BUTTON, false);
            EnableItem(IDC_INSTALL_LABEL, false);
        }
        m_strInstallLabel = LoadResString(IDS_UPGRADE_SOFTWARE);
        m_context.m_strInstallPath = copy.path;
        m_context.m_bUpgrade = true;
        m_context.m_nInstalledBuild = copy.build;
        m_bUpgrade = TRUE;
    }
    else
    {
        EnableItem(IDC_UNINSTALL_BUTTON, false);
        EnableItem(IDC_UNINSTALL_LABEL, false);
        ShowItem(IDC_INSTALLED_PATH, false);
        ShowItem(IDC_INSTALLED_BUILD, false);
        m_strInstallLabel = LoadResString(IDS_INSTALL_SOFTWARE);
        m_context.m_strInstallPath = CSetupContext::DEFAULT_INSTALL_PATH;
        // Recorded even when the user then leaves with "Exit Setup".
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        key.SetString(VALUE_INSTALL_PATH, CSetupContext::DEFAULT_INSTALL_PATH);
    }

    SetWindowTextU(m_hWnd, FormatResMessage(IDS_MAIN_CAPTION, {m_strSetupBuild.c_str()}));
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
