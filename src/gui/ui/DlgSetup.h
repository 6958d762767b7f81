#pragma once
#include <string>

#include "framework/BitmapButton.h"
#include "framework/Dialog.h"

class CSetupContext;

// The main dialog (template 133): shows the setup's build, looks for an
// installed copy through the registry and the default folder, and offers
// installing (or upgrading) and uninstalling with two picture buttons. It
// ends with IDOK when a picture button was pressed (m_bUninstall tells
// which) and with IDCANCEL on "&Exit Setup". While it initialises it sets
// the run's install path and, when no copy is installed, records the default
// folder in the registry.
class DLG_Setup : public CDialogBase
{
public:
    explicit DLG_Setup(CSetupContext& context);

    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    // Enter must not start an installation: only the picture buttons choose.
    void OnOK() override {}

    std::string m_strInstalledBuild;
    std::string m_strInstallLabel;
    CBitmapButton m_btnInstall;
    CBitmapButton m_btnUninstall;
    std::string m_strInstalledPath;
    BOOL m_bUninstall = FALSE;
    BOOL m_bUpgrade = FALSE;
    std::string m_strSetupBuild;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    CSetupContext& m_context;
};
