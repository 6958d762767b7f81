#pragma once
#include <string>

#include "ui/ConfirmedCancelDialog.h"

// The licence agreement (template 136; run-time class name "DLG_Main"):
// shows the text of the program's "LICENSE" resource and lets the user go on
// with "&Install" only while the acceptance box is ticked. Install ends the
// dialog with IDOK; cancelling is confirmed first.
class DLG_Main : public CConfirmedCancelDialog
{
public:
    explicit DLG_Main(CSetupContext& context);

    // Shows the agreement from its first line, focused; returns FALSE as the
    // focus is set.
    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    // Enter accepts nothing: the dialog ends with IDOK only as Install does,
    // while the box is ticked.
    void OnOK() override;

    // The agreement as shown: the bytes before the first "!!" (all of them
    // when there is none), with bare line feeds made CR LF, the line break
    // a multi-line edit control shows.
    static std::string AgreementText(const char* data, size_t size);
    // Reads the "LICENSE" resource of type "LICENSE" from module; false with
    // the last error set when it cannot be found, loaded or locked.
    static bool LoadAgreement(HMODULE module, std::string& text);

    BOOL m_bAccepted = FALSE;
    // The module whose agreement is shown: the program itself.
    HMODULE m_hAgreementModule;

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    void EnableInstall();

    HICON m_hIcon; // shared by the system: never destroyed
};
