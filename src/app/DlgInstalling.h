#pragma once
#include "app/InstallProgress.h"
#include "framework/Dialog.h"

// The progress window: a modeless window with a stage line and a status line.
// The install steps run on the GUI thread without a message loop between
// them, so every change repaints the window at once.
class DLG_Installing : public CDialogBase, public IInstallProgress
{
public:
    DLG_Installing();

    BOOL OnInitDialog() override;
    // The installation cannot be cancelled once it runs: Esc and Enter do
    // nothing.
    void OnOK() override {}
    void OnCancel() override {}

    void SetStage(unsigned stageId, unsigned statusId) override;
    void SetStatus(unsigned statusId) override;
    void SetStatusText(const std::string& text) override;
    void SetStageText(const std::string& text) override;
};
