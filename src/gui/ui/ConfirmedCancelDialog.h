#pragma once
#include "framework/Dialog.h"

class CSetupContext;

// A dialog of the installation's way in (licence, install path) whose Cancel
// (its cancel button or Esc) first asks whether Setup is to be cancelled:
// Yes ends the dialog with IDCANCEL, No keeps it open as it was.
class CConfirmedCancelDialog : public CDialogBase
{
public:
    CConfirmedCancelDialog(UINT templateId, CSetupContext& context) : CDialogBase(templateId), m_context(context) {}

    void OnCancel() override;

protected:
    // The run the dialog belongs to: its messages go through its prompts.
    CSetupContext& m_context;
};
