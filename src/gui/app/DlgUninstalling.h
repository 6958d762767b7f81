#pragma once
#include <string>

#include "framework/Dialog.h"
#include "run/UninstallSequence.h"

// The uninstall window: a modeless window with a running log of the three
// stages. It opens with the first stage's text; each stage's end appends its
// outcome and a line feed, then the next stage's text.
class DLG_Uninstalling : public CDialogBase, public IUninstallLog
{
public:
    DLG_Uninstalling();

    BOOL OnInitDialog() override;
    // The uninstall cannot be cancelled once it runs: Esc and Enter do
    // nothing.
    void OnOK() override {}
    void OnCancel() override {}

    // Ends stage (1 to STAGE_COUNT) with "done.".
    void MarkStageDone(int stage);
    // Ends stage with the given outcome instead, for a stage that left its
    // work undone on purpose.
    void MarkStageEnded(int stage, const std::string& outcome) override;

    std::string m_strLog;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
