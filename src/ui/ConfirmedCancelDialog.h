#pragma once
#include "framework/Dialog.h"

class CSetupVantrelApp;

// A dialog of the installation's way in (licence, install path) whose Cancel
// (its cancel button or Esc) first asks whether Setup is to be cancelled:
// Yes ends the dialog with IDCANCEL, No keeps it open as it was.
class CConfirmedCancelDialog : public CDialogBase
{
public:
    CConfirmedCancelDialog(UINT templateId, CSetupVantrelApp& app) : CDialogBase(templateId), m_app(app) {}

    void OnCancel() override;

protected:
    CSetupVantrelApp& m_app;
};
