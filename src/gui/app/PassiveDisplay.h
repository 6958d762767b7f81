#pragma once
#include <memory>
#include <string>

#include "app/DlgInstalling.h"
#include "app/DlgUninstalling.h"
#include "run/UnattendedRun.h"

// What a /PASSIVE run shows: the progress window of an installation or the
// uninstall window of a removal, made when the run begins its changes, and
// at the end the outcome in the window's first line (the uninstall window:
// at the end of its log) for END_SHOWN_MS; then the window closes by itself.
// No question is ever asked: the run's prompts are those of /S.
class CPassiveDisplay : public IRunDisplay
{
public:
    static constexpr DWORD END_SHOWN_MS = 3000;

    ~CPassiveDisplay() override { Close(); }

    IInstallProgress* ShowInstallProgress() override;
    IUninstallLog* ShowRemoval() override;
    void ShowEnd(const std::string& text) override;

private:
    // Makes the window, shows it and makes it the main window; null when it
    // cannot be made.
    template <typename Window>
    Window* Show(std::unique_ptr<Window>& window);
    void Close();

    std::unique_ptr<DLG_Installing> m_progress;
    std::unique_ptr<DLG_Uninstalling> m_removal;
};
