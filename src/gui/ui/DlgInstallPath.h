#pragma once
#include <string>

#include "ui/ConfirmedCancelDialog.h"

// The install-path dialog (template 132): shows the folder the application
// is installed into and lets the user type another or pick one with the
// shell's folder browser. OK is enabled exactly while the path is not empty.
// OK keeps the dialog open with a message when the folder is relative, a
// drive root or a folder of Windows or of a user (the uninstall removes the
// installation folder's whole tree); otherwise the path, without trailing
// backslashes, is in m_strPath when the dialog ends with IDOK.
class DLG_InstallPath : public CConfirmedCancelDialog
{
public:
    explicit DLG_InstallPath(CSetupContext& context);

    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    void OnOK() override;

    // Picks the folder with the browser; a cancelled browser leaves the
    // path as it was.
    void OnBrowse();

    std::string m_strPath;

protected:
    void DoDataExchange(CDataExchange& dx) override;

private:
    void EnableOk();
};
