#include "ui/DlgInstallPath.h"

#include <shlobj.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/ResourceStrings.h"
#include "resources/resource.h"
#include "framework/SystemCalls.h"
#include "shell/InstallPathCheck.h"

DLG_InstallPath::DLG_InstallPath(CSetupContext& context) : CConfirmedCancelDialog(IDD_INSTALL_PATH, context) {}

void DLG_InstallPath::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_INSTALL_PATH_EDIT, m_strPath);
}

BOOL DLG_InstallPath::OnInitDialog()
{
    CConfirmedCancelDialog::OnInitDialog();
    EnableOk();
    return TRUE;
}

void DLG_InstallPath::EnableOk()
{
    EnableItem(IDOK, !m_strPath.empty());
}

bool DLG_InstallPath::OnCommand(int controlId, int notifyCode)
{
    if (controlId == IDC_INSTALL_PATH_EDIT && notifyCode == EN_CHANGE)
    {
        UpdateData(true);
        EnableOk();
        return true;
    }
    if (controlId == IDC_INSTALL_PATH_BROWSE && notifyCode == BN_CLICKED)
    {
        OnBrowse();
        return true;
    }
    return false;
}

void DLG_InstallPath::OnBrowse()
{
    const std::string chosen =
        BrowseForFolderU(m_hWnd, LoadResString(IDS_BROWSE_FOR_PATH), BIF_RETURNONLYFSDIRS, nullptr);
    if (chosen.empty())
        return;
    m_strPath = chosen;
    UpdateData(false);
    EnableOk();
}

void DLG_InstallPath::OnOK()
{
    UpdateData(true);
    const UINT refusal = ChosenPathRefusal(CheckInstallPath(m_strPath));
    if (refusal != 0)
    {
        m_context.ShowMessage(FormatResMessage(refusal, {m_strPath.c_str()}), MB_OK);
        ::SetFocus(GetItem(IDC_INSTALL_PATH_EDIT));
        return;
    }
    m_strPath = TrimTrailingSeparators(m_strPath);
    EndDialog(IDOK);
}
