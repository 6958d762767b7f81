#include "app/DlgInstalling.h"

#include "framework/ResourceStrings.h"
#include "resources/resource.h"

DLG_Installing::DLG_Installing() : CDialogBase(IDD_INSTALLING) {}

BOOL DLG_Installing::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    // The template's placeholder texts are not shown.
    SetItemText(IDC_STAGE_TEXT, "");
    SetItemText(IDC_STATUS_TEXT, "");
    return TRUE;
}

void DLG_Installing::SetStage(unsigned stageId, unsigned statusId)
{
    SetStageText(LoadResString(stageId));
    SetStatusText(LoadResString(statusId));
}

void DLG_Installing::SetStatus(unsigned statusId) { SetStatusText(LoadResString(statusId)); }

void DLG_Installing::SetStatusText(const std::string& text)
{
    SetItemText(IDC_STATUS_TEXT, text);
    ::UpdateWindow(m_hWnd);
}

void DLG_Installing::SetStageText(const std::string& text)
{
    SetItemText(IDC_STAGE_TEXT, text);
    ::UpdateWindow(m_hWnd);
}
