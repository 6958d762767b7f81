#include "app/PassiveDisplay.h"

#include "framework/MessageWait.h"
#include "framework/WinApp.h"

template <typename Window>
Window* CPassiveDisplay::Show(std::unique_ptr<Window>& window)
{
    Close();
    window = std::make_unique<Window>();
    if (!window->Create(nullptr))
    {
        window.reset();
        return nullptr;
    }
    // Its own window owns whatever the run might show.
    CWinAppBase::Current()->SetMainWindow(window->GetSafeHwnd());
    return window.get();
}

IInstallProgress* CPassiveDisplay::ShowInstallProgress() { return Show(m_progress); }

IUninstallLog* CPassiveDisplay::ShowRemoval() { return Show(m_removal); }

void CPassiveDisplay::ShowEnd(const std::string& text)
{
    if (m_progress)
    {
        m_progress->SetStatusText("");
        m_progress->SetStageText(text);
    }
    else if (m_removal)
    {
        // The log's last stage ended its line.
        std::string& log = m_removal->m_strLog;
        if (!log.empty() && log.back() != '\n')
            log += "\n";
        log += text;
        m_removal->UpdateData(false);
        ::UpdateWindow(m_removal->GetSafeHwnd());
    }
    else
    {
        return;
    }
    // Shown for a moment, answering the system meanwhile; then it goes.
    WaitTakingMessages(nullptr, END_SHOWN_MS);
    Close();
}

void CPassiveDisplay::Close()
{
    if (!m_progress && !m_removal)
        return;
    CWinAppBase::Current()->SetMainWindow(nullptr);
    if (m_progress)
        m_progress->DestroyWindow();
    if (m_removal)
        m_removal->DestroyWindow();
    m_progress.reset();
    m_removal.reset();
}
