#include "core/SetupContext.h"

#include "core/DefaultAnswerPrompts.h"
#include "core/Platform.h"
#include "framework/ResourceStrings.h"
#include "install/BootReplacementQueue.h"
#include "install/FolderDaclWriter.h"
#include "undo/UndoJournal.h"

namespace
{
CDefaultAnswerPrompts g_defaultPrompts;
CNoProgress g_noProgress;
IInstallEvents g_noEvents;
} // namespace

CSetupContext::CSetupContext() : m_bNT(IsWindowsNT()) {}

CSetupContext::~CSetupContext() = default;

IUserPrompts& CSetupContext::Prompts() const { return m_pPrompts ? *m_pPrompts : g_defaultPrompts; }

IInstallProgress& CSetupContext::Progress() const { return m_pProgress ? *m_pProgress : g_noProgress; }

IInstallEvents& CSetupContext::Events() const { return m_pEvents ? *m_pEvents : g_noEvents; }

IBootReplacementQueue& CSetupContext::BootQueue()
{
    if (m_pBootQueue)
        return *m_pBootQueue;
    // Made at its first use: by then the run knows the Windows folder.
    if (!m_pPlatformQueue)
        m_pPlatformQueue = MakeBootReplacementQueue(m_bNT, m_strWindowsDir);
    return *m_pPlatformQueue;
}

CUndoJournal& CSetupContext::Journal()
{
    if (!m_pJournal)
        m_pJournal = std::make_unique<CUndoJournal>(m_bNT);
    return *m_pJournal;
}

IFolderDaclWriter& CSetupContext::DaclWriter() const { return m_pDaclWriter ? *m_pDaclWriter : SystemDaclWriter(); }

int CSetupContext::ShowMessage(const std::string& text, UINT type) { return Prompts().ShowMessageBox(text, type); }

int CSetupContext::ShowMessage(UINT stringId, UINT type) { return ShowMessage(LoadResString(stringId), type); }
