#pragma once
#include "core/InstallProgress.h"
#include "framework/Dialog.h"

// The progress window: a modeless window with a stage line, a status line and
// a bar of the bytes installed. The install steps run on the GUI thread, so
// the window takes its pending messages itself whenever a step reports (paint,
// move, activation, and messages other programs send it) and so answers the
// system throughout. A stage change repaints at once; the status line and the
// bar change at most every STATUS_INTERVAL_MS (nobody reads 2,000 names a
// second), and a name held back is shown when the interval is over (by a
// timer, which also fires while a message box runs its own loop), so the
// line always ends on the last name.
class DLG_Installing : public CDialogBase, public IInstallProgress
{
public:
    static constexpr DWORD STATUS_INTERVAL_MS = 30;

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
    void SetProgressTotal(ULONGLONG total) override;
    void AddProgress(ULONGLONG bytes) override;

    // Takes the window's pending messages and shows a status text or bar
    // position that was held back once the interval is over.
    void PumpMessages();
    // The bar's filled share in thousandths, as last drawn.
    unsigned GetShownPermille() const { return m_nShownPermille; }

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Writes the held-back status text and bar position into the controls;
    // the caller repaints.
    void ShowPending();
    void DrawBar(const DRAWITEMSTRUCT& item) const;
    unsigned DonePermille() const;

    std::string m_strPendingStatus;
    bool m_bStatusPending = false;
    bool m_bTimerSet = false;
    DWORD m_nLastShown = 0;
    DWORD m_nLastPump = 0;
    ULONGLONG m_nTotal = 0;
    ULONGLONG m_nDone = 0;
    unsigned m_nShownPermille = 0;
};
