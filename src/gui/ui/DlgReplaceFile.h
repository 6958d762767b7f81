#pragma once
#include <string>

#include "core/UserPrompts.h"
#include "framework/Dialog.h"

// The "Replace File" question (template 137): shows a question prepared by
// the caller and reports which of its four buttons ended it. What the answer
// means for the installation is the replace decision's business.
//
//   button         result     m_bYesToAll  m_bNo
//   Yes (default)  IDOK       FALSE        FALSE
//   Yes To All     IDOK       TRUE         FALSE
//   No             IDCANCEL   FALSE        TRUE
//   Cancel / Esc   IDCANCEL   FALSE        FALSE
//
// Constructed afresh for every question, so no flag carries over.
class DLG_ReplaceFile : public CDialogBase
{
public:
    DLG_ReplaceFile();

    bool OnCommand(int controlId, int notifyCode) override;

    // The answer that a result and the two flags stand for; a dialog that
    // could not be shown (-1) counts as Cancel.
    static ReplaceAnswer AnswerFor(INT_PTR result, BOOL bYesToAll, BOOL bNo);
    ReplaceAnswer Answer() const { return AnswerFor(GetResult(), m_bYesToAll, m_bNo); }

    std::string m_strQuestion;
    BOOL m_bYesToAll = FALSE;
    BOOL m_bNo = FALSE;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
