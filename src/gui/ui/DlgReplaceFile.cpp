#include "ui/DlgReplaceFile.h"

#include "resources/resource.h"

DLG_ReplaceFile::DLG_ReplaceFile() : CDialogBase(IDD_REPLACE_FILE) {}

void DLG_ReplaceFile::DoDataExchange(CDataExchange& dx) { DDX_Text(dx, IDC_REPLACE_QUESTION, m_strQuestion); }

bool DLG_ReplaceFile::OnCommand(int controlId, int notifyCode)
{
    if (notifyCode != BN_CLICKED)
        return false;
    // "Yes To All" and "No" end the dialog directly; "Yes" and "Cancel" are
    // the framework's OK and Cancel.
    if (controlId == IDC_REPLACE_YES_TO_ALL)
    {
        m_bYesToAll = TRUE;
        EndDialog(IDOK);
        return true;
    }
    if (controlId == IDC_REPLACE_NO)
    {
        m_bNo = TRUE;
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

ReplaceAnswer DLG_ReplaceFile::AnswerFor(INT_PTR result, BOOL bYesToAll, BOOL bNo)
{
    if (result == IDOK)
        return bYesToAll ? ReplaceAnswer::YesToAll : ReplaceAnswer::Yes;
    if (result == IDCANCEL && bNo)
        return ReplaceAnswer::No;
    return ReplaceAnswer::Cancel;
}
