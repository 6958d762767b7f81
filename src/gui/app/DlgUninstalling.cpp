#include "app/DlgUninstalling.h"

#include "framework/ResourceStrings.h"
#include "resources/resource.h"

DLG_Uninstalling::DLG_Uninstalling() : CDialogBase(IDD_UNINSTALLING) {}

BOOL DLG_Uninstalling::OnInitDialog()
{
    m_strLog = LoadResString(IDS_UNINSTALL_STAGE_BASE + 1);
    return CDialogBase::OnInitDialog();
}

void DLG_Uninstalling::DoDataExchange(CDataExchange& dx) { DDX_Text(dx, IDC_UNINSTALL_LOG, m_strLog); }

void DLG_Uninstalling::MarkStageDone(int stage) { MarkStageEnded(stage, LoadResString(IDS_UNINSTALL_DONE)); }

void DLG_Uninstalling::MarkStageEnded(int stage, const std::string& outcome)
{
    m_strLog += outcome + "\n";
    if (stage < STAGE_COUNT)
        m_strLog += LoadResString(IDS_UNINSTALL_STAGE_BASE + 1 + stage);
    // No forced repaint: the stages run without a message loop, and the log
    // is painted at the latest while the completion message is shown.
    UpdateData(false);
}
