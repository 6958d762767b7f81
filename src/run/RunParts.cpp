#include "run/RunParts.h"

#include "core/SetupContext.h"
#include "install/DelayedMoveQueue.h"
#include "install/FolderRights.h"

// The platform's queue, made at its first use: by then the run knows the
// Windows folder, where Windows 9x keeps WININIT.INI.
class CRunParts::CPlatformBootQueue : public IBootReplacementQueue
{
public:
    explicit CPlatformBootQueue(const CSetupContext& context) : m_context(context) {}

    bool Queue(const std::string& source, const std::string& target) override
    {
        return Real().Queue(source, target);
    }
    bool QueueDeletion(const std::string& path) override { return Real().QueueDeletion(path); }
    bool QueuesAtOnce() const override { return m_context.IsNT(); }
    bool HasPending() const override { return m_pQueue && m_pQueue->HasPending(); }
    bool Commit() override { return Real().Commit(); }
    void Discard() override
    {
        if (m_pQueue)
            m_pQueue->Discard();
    }
    bool Withdraw(const std::string& source, const std::string& target) override
    {
        return Real().Withdraw(source, target);
    }

private:
    IBootReplacementQueue& Real()
    {
        if (!m_pQueue)
            m_pQueue = MakeBootReplacementQueue(m_context.IsNT(), m_context.m_strWindowsDir);
        return *m_pQueue;
    }

    const CSetupContext& m_context;
    std::unique_ptr<IBootReplacementQueue> m_pQueue;
};

CRunParts::CRunParts(CSetupContext& context)
    : m_context(context), m_journal(context.IsNT()), m_pBootQueue(std::make_unique<CPlatformBootQueue>(context))
{
    context.SetJournal(&m_journal);
    context.SetBootQueue(m_pBootQueue.get());
    context.SetDaclWriter(&SystemDaclWriter());
    context.SetControls(&m_controls);
}

CRunParts::~CRunParts()
{
    if (&m_context.Journal() == &m_journal)
        m_context.SetJournal(nullptr);
    if (&m_context.BootQueue() == m_pBootQueue.get())
        m_context.SetBootQueue(nullptr);
    if (&m_context.DaclWriter() == &SystemDaclWriter())
        m_context.SetDaclWriter(nullptr);
    if (&m_context.Controls() == &m_controls)
        m_context.SetControls(nullptr);
}

UndoSeams CRunParts::Seams() const
{
    return UndoSeams{m_context.BootQueue(), m_context.Controls(), m_context.Events(), m_context.Progress()};
}
