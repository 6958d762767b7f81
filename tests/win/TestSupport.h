#pragma once
// Helpers shared by the in-process Win32 tests: a progress recorder, scripted
// prompts, scratch folders and registry keys that each test makes anew.
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "core/InstallEvents.h"
#include "core/InstallProgress.h"
#include "core/UserPrompts.h"
#include "core/BootReplacementQueue.h"
#include "core/SetupContext.h"
#include "run/RunParts.h"

// Records every change of the progress window's two lines.
class CRecordingProgress : public IInstallProgress
{
public:
    void SetStage(unsigned stageId, unsigned statusId) override;
    void SetStatus(unsigned statusId) override;
    void SetStatusText(const std::string& text) override;
    void SetStageText(const std::string& text) override;

    std::string stage;
    std::string status;
    std::vector<std::string> stages;   // every stage text, in order
    std::vector<std::string> statuses; // every status text, in order
};

// Records every message box and replace question and answers from scripts:
// IDOK when the message box script is empty; a replace question with an
// empty script fails the test and answers Cancel.
class CScriptedPrompts : public IUserPrompts
{
public:
    struct Shown
    {
        std::string text;
        unsigned type;
    };

    int ShowMessageBox(const std::string& text, unsigned type) override;
    ReplaceAnswer AskReplaceFile(const std::string& question) override;

    std::deque<int> answers;
    std::vector<Shown> shown;
    std::deque<ReplaceAnswer> replaceAnswers;
    std::vector<std::string> replaceQuestions;
};

// Records each file's outcome as "<outcome>: <target>" (with ": <reason>"
// for a failure) and the other events by kind.
class CRecordingEvents : public IInstallEvents
{
public:
    void FileDone(FileOutcome outcome, const std::string& target, const std::string& reason) override;
    void FolderMade(const std::string& path) override { folders.push_back(path); }
    void RecordWritten(const std::string& key, const std::string& value, const std::string& data) override;
    void LinkCreated(const std::string& path, const std::string&) override { links.push_back(path); }
    void ControlRegistered(const std::string& path) override { controls.push_back(path); }
    void ChangeUndone(const std::string& what) override { undone.push_back(what); }
    void UndoFailed(const std::string& what) override { notUndone.push_back(what); }

    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<std::string> records; // "<value>=<data>"
    std::vector<std::string> links;
    std::vector<std::string> controls;
    std::vector<std::string> undone;
    std::vector<std::string> notUndone;
};

// A boot-time queue that stands in for the system's: it records each
// replacement it is given, and refuses them (with ERROR_ACCESS_DENIED) while
// refuse is set. atOnce chooses the NT family's behaviour (queued at once)
// or Windows 9x's (queued at Commit).
class CStandInBootQueue : public IBootReplacementQueue
{
public:
    explicit CStandInBootQueue(bool atOnce) : m_atOnce(atOnce) {}
    bool Queue(const std::string& source, const std::string& target) override;
    bool QueueDeletion(const std::string& path) override { return Queue("", path); }
    bool QueuesAtOnce() const override { return m_atOnce; }
    bool HasPending() const override { return !pending.empty(); }
    bool Commit() override;
    void Discard() override { pending.clear(); }
    // Drops the replacement from pending or committed.
    bool Withdraw(const std::string& source, const std::string& target) override;

    bool refuse = false;
    std::vector<std::string> pending;   // "<target>=<source>", waiting for Commit
    std::vector<std::string> committed; // queued for the restart

private:
    bool m_atOnce;
};

// The system's text for an error code, as GetLastErrorText gives it.
std::string SystemErrorText(DWORD code);

// One access-control entry as read back from a list: the trustee's SID as
// text (allowed entries only), the entry's type, flags and rights.
struct AclEntry
{
    std::string sid;
    BYTE type;
    BYTE flags;
    DWORD mask;
};
// The entries of a list, in order.
std::vector<AclEntry> AclEntries(PACL list);
// A SID as text ("S-1-5-18"), "" when it cannot be written.
std::string SidText(PSID sid);

// The test process's own number in text, for the names of scratch folders and
// keys: programs that use the same name (one program run under two Windows
// versions) may run at the same time in the one prefix.
std::string ProcessTag();

// A scratch folder under the prefix's temporary folder, named for the test and
// the process (lumiro-test-NAME-PID), deleted (with all it holds) before and
// after the test.
class CScratchFolder
{
public:
    explicit CScratchFolder(const std::string& name);
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "\\" + relative; }

private:
    std::string m_path;
};

// Deletes a folder tree (test clean-up; ignores failures).
void DeleteTree(const std::string& path);
// Deletes a registry key tree under HKEY_LOCAL_MACHINE (test clean-up).
void DeleteRegistryTree(HKEY root, const std::string& subKey);

// The names of the writer's temporary files ("$tmp*.tmp") in a folder.
std::vector<std::string> TemporaryFiles(const std::string& folder);
// The names of the files in a folder that match a wildcard pattern
// ("$old*.tmp": the earlier copies a run set aside).
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern);

// The Windows version the system reports to this program.
OSVERSIONINFOA SystemVersion();
// The Windows version this run of the test program is meant for (win98,
// winxp, win7 or win10), which its ctest test sets in LUMIRO_TEST_WINDOWS
// beside Wine's per-application version: one program is built and run under
// several versions. Throws when the test gives none, so that a program run
// without it fails rather than checking nothing.
std::string WindowsVersionUnderTest();
// Whether that version is of the NT family (the tests' own reading, beside
// the setup's IsWindowsNT).
inline bool RunsAsNt() { return SystemVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

// A file of the build's sample payload or controls, by its path below
// <build>\tests\fixtures (for instance "payload\\APPS_NT\\UiCtlsU.ocx").
std::string FixtureFile(const std::string& relative);

// The path of a special folder (a CSIDL number) as the shell gives it to
// the test; "" when it has none.
std::string ShellFolder(int csidl);

// The class keys (below HKEY_CLASSES_ROOT) the sample controls write when
// they register: UiCtlsU.ocx and UiCtlsA.ocx.
extern const char SAMPLE_CONTROL_U_CLASS_KEY[];
extern const char SAMPLE_CONTROL_A_CLASS_KEY[];
// The default value of a key; "" when the key or the value is missing.
// view: 0, or KEY_WOW64_32KEY / KEY_WOW64_64KEY for one of the two views.
std::string RegistryDefaultValue(HKEY root, const std::string& subKey, REGSAM view = 0);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Writes a file with the given contents; false on failure.
bool WriteTextFile(const std::string& path, const std::string& contents);
std::string ReadTextFile(const std::string& path);

// A run's context with the objects a run is put together with (the journal,
// the platform's queue, the folder-rights writer, the control registrar), for
// a test to run steps and sequences on; a test may set stand-ins over them.
class CTestContext : public CSetupContext
{
public:
    CTestContext() : m_parts(*this) {}

    CRunParts& Parts() { return m_parts; }
    CUndoJournal& UndoJournal() { return m_parts.Journal(); }
    std::vector<std::string> Rollback() { return m_parts.Journal().Rollback(m_parts.Seams()); }
    void Commit() { m_parts.Journal().Commit(m_parts.Seams()); }

private:
    CRunParts m_parts;
};
