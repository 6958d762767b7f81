#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/InstallEvents.h"
#include "core/InstallProgress.h"
#include "core/UserPrompts.h"
#include "framework/Handles.h"
#include "run/UninstallSequence.h"

// The log of a run: UTF-8 text (a new file starts with the byte-order mark),
// one line per event, each after the local time
// ("2026-12-08 14:03:22  File written new: C:\Lumiro\Programs\a.dll").
// It hears the steps' events and a removal's stages itself; the prompts and
// the progress reach it through CLoggingPrompts and CLoggingProgress. The
// file is appended to, so a second run adds to it. The log never stops a
// run: a file that cannot be opened or written is told once to the failure
// reporter, and the run goes on without it.
class CInstallLog : public IInstallEvents, public IUninstallLog
{
public:
    using FailureReporter = std::function<void(const std::string& path, const std::string& reason)>;

    // Appends to path from now on (made when missing). False, with the
    // reason told to the reporter, when it cannot be opened.
    bool Open(const std::string& path);
    bool IsOpen() const { return static_cast<bool>(m_file); }
    const std::string& Path() const { return m_strPath; }
    void SetFailureReporter(FailureReporter reporter) { m_reporter = std::move(reporter); }

    // One line with the time stamp; line breaks in text become blanks.
    void Write(const std::string& text);

    // A message the run showed (or would have shown, unattended). The first
    // message that is no question is kept: when the run fails, it is why.
    void Message(const std::string& text, unsigned type, int answer, bool shown);
    const std::string& FirstFailure() const { return m_strFirstFailure; }
    // A failure that no message told (the run ends without one): written,
    // and kept as the first failure when it is.
    void Failure(const std::string& text);
    // The last line: the exit code, with the first failure's message when
    // the run failed (1603), found another run under way (1618) or refused
    // a damaged package (1620).
    void Exit(int exitCode);

    void FileDone(FileOutcome outcome, const std::string& target, const std::string& reason) override;
    void FolderMade(const std::string& path) override;
    void RecordWritten(const std::string& key, const std::string& value, const std::string& data) override;
    void RecordRemoved(const std::string& key) override;
    void LinkCreated(const std::string& path, const std::string& target) override;
    void LinkRemoved(const std::string& path) override;
    void ControlRegistered(const std::string& path) override;
    void FolderTreeRemoved(const std::string& path, bool everything) override;
    void ChangeUndone(const std::string& what) override;
    void UndoFailed(const std::string& what) override;
    void DeletionQueued(const std::string& path) override;
    void MarkStageEnded(int stage, const std::string& outcome) override;

private:
    void Fail(const std::string& reason);

    unique_hfile m_file;
    std::string m_strPath;
    FailureReporter m_reporter;
    std::string m_strFirstFailure;
};

// Prompts that write every message and question to the log, then let the
// inner prompts answer (real windows, or the default buttons when nobody
// sees them).
class CLoggingPrompts : public IUserPrompts
{
public:
    CLoggingPrompts(IUserPrompts& inner, CInstallLog& log, bool shown) : m_inner(inner), m_log(log), m_shown(shown) {}
    int ShowMessageBox(const std::string& text, unsigned type) override;
    ReplaceAnswer AskReplaceFile(const std::string& question) override;

private:
    IUserPrompts& m_inner;
    CInstallLog& m_log;
    bool m_shown;
};

// Progress that writes each stage to the log and passes everything on.
class CLoggingProgress : public IInstallProgress
{
public:
    CLoggingProgress(IInstallProgress& inner, CInstallLog& log) : m_inner(inner), m_log(log) {}
    void SetStage(unsigned stageId, unsigned statusId) override;
    void SetStatus(unsigned statusId) override { m_inner.SetStatus(statusId); }
    void SetStatusText(const std::string& text) override { m_inner.SetStatusText(text); }
    void SetStageText(const std::string& text) override;
    void SetProgressTotal(ULONGLONG total) override { m_inner.SetProgressTotal(total); }
    void AddProgress(ULONGLONG bytes) override { m_inner.AddProgress(bytes); }

private:
    IInstallProgress& m_inner;
    CInstallLog& m_log;
};

// The first lines of a run's log: the setup's build, the Windows version and
// the command line.
void LogStart(CInstallLog& log, const std::string& commandLine);

// Where the log goes when /S names none: "Lumiro Setup.log" in the
// temporary folder.
std::string DefaultLogPath();
