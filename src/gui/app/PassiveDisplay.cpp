#include "app/PassiveDisplay.h"

#include "framework/MessageWait.h"
#include "framework/WinApp.h"

IInstallProgress* CPassiveDisplay::ShowInstallProgress()
{
    Close();
    m_progress = std::make_unique<DLG_Installing>();
    if (!m_progress->Create(nullptr))
    {
        m_progress.reset();
        return nullptr;
    }
    CWinAppBase::Current()->SetMainWindow(m_progress->GetSafeHwnd());
    return m_progress.get();
}

IUninstallLog* CPassiveDisplay::ShowRemoval()
{
    Close();
    m_removal = std::make_unique<DLG_Uninstalling>();
    if (!m_removal->Create(nullptr))
    {
        m_removal.reset();
        return nullptr;
    }
    CWinAppBase::Current()->SetMainWindow(m_removal->GetSafeHwnd());
    return m_removal.get();
}

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
