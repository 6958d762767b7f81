#pragma once
#include <string>

class CSetupContext;

// Where a removal shows its three stages: the uninstall window's log, or an
// unattended run's log file.
class IUninstallLog
{
public:
    static constexpr int STAGE_COUNT = 3;

    virtual ~IUninstallLog() = default;
    // Ends stage (1 to STAGE_COUNT) with its outcome ("done.", "skipped.",
    // ...); the next stage begins.
    virtual void MarkStageEnded(int stage, const std::string& outcome) = 0;
};

// A removal's stages told to one log and, when given, a second (a window and
// the run's log file).
class CBothUninstallLogs : public IUninstallLog
{
public:
    CBothUninstallLogs(IUninstallLog& first, IUninstallLog* second) : m_first(first), m_second(second) {}
    void MarkStageEnded(int stage, const std::string& outcome) override
    {
        m_first.MarkStageEnded(stage, outcome);
        if (m_second)
            m_second->MarkStageEnded(stage, outcome);
    }

private:
    IUninstallLog& m_first;
    IUninstallLog* m_second;
};

// How a removal ended.
enum class UninstallResult
{
    Done,            // the stages ran, and nothing they were to remove stayed
    ItemsRemain,     // items of the install folder stayed (each was reported)
    NothingRecorded, // no installation is recorded: nothing was done
    NotRun,          // the removal could not begin (its window could not be made)
};

// The recorded installation folder ("Install Path" of the product key, which
// is created when missing); false when none is recorded: there is then no
// installation to remove.
bool ReadRecordedInstallPath(std::string& installPath);

// The three stages of a removal (the folder tree, the registry records, the
// shortcuts), each run whatever the one before left, then the closing message
// through the context's prompts: success, or which folder keeps items.
UninstallResult RunUninstallStages(CSetupContext& context, const std::string& installPath, IUninstallLog& log);

// Stage 1: removes the recorded installation folder's tree when it is a
// folder of an installed copy (never a drive root or a folder of Windows or
// of a user: a refusal is shown). Gives the text that ends the stage's log
// line; itemsRemain tells whether anything of the tree stayed.
std::string RemoveProgramFiles(CSetupContext& context, const std::string& installPath, bool& itemsRemain);
