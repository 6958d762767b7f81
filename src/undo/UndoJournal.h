#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "undo/JournalFile.h"

class CSetupContext;

// What one installation run changes on the machine, each change noted before
// it is made, so that a run that fails, is cancelled or is killed can be
// undone and the machine left as it was:
//  - a file the run replaces is renamed aside in its own folder
//    ("$oldTTTTNNNN.tmp", never copied), put back on undo and deleted on
//    success;
//  - a file, temporary file or folder it makes is removed on undo;
//  - a registry key it writes keeps its earlier tree, restored on undo;
//  - a replacement queued for the next start of Windows is withdrawn;
//  - the OLE control it registers is unregistered (and the earlier file
//    registered again).
// Until Begin the notes are kept in memory only (a step used on its own, as
// in a test); from Begin on, each is also written to the journal file before
// the change, so that the next start of the setup can undo a run that was
// killed. A note that takes away what was there before (a file set aside, a
// registry key, a queued replacement, a registration) is flushed to the disk
// before the change; a note of something new is only written, which a
// killed process cannot lose.
class CUndoJournal
{
public:
    // What the run is, for the words after an undo.
    struct RunInfo
    {
        bool upgrade = false;
        // The build that was installed before an upgrade; 0 when unknown.
        DWORD build = 0;
        std::string installPath;
    };

    explicit CUndoJournal(bool nt);
    CUndoJournal(const CUndoJournal&) = delete;
    CUndoJournal& operator=(const CUndoJournal&) = delete;

    // The journal of every run on this machine, in the Windows folder, where
    // every copy of the setup (the medium's, the installed one, a temporary
    // one; either build) looks for it.
    static std::string PathIn(const std::string& windowsDir);

    // From now on the notes also go into a new journal file at path. False,
    // with the reason as the last error, when it cannot be made (one is
    // there already, or the folder cannot be written).
    bool Begin(const std::string& path, const RunInfo& run);
    // Reads the journal a killed run left at path; false, with the reason as
    // the last error, when it cannot be read. Commit or Rollback then ends it.
    bool Load(const std::string& path);
    const RunInfo& Run() const { return m_run; }
    // The journal file ("" before Begin).
    const std::string& Path() const { return m_file.Path(); }
    // Whether the loaded run had finished: its changes are all in place and
    // only the set-aside files were still to go.
    bool Committed() const;

    // ---- Notes, each made before the change it describes ----
    // A temporary file the run made: deleted on undo.
    bool NoteTemporaryFile(const std::string& temp);
    // A file the run is about to make at target, by renaming temp there (or
    // directly, when temp is ""). On undo temp is deleted when it is still
    // there; otherwise target is, unless CancelNewFile followed.
    bool NoteNewFile(const std::string& target, const std::string& temp = std::string());
    // target was there after all: the rename did not happen, and the note of
    // NoteNewFile no longer stands.
    bool CancelNewFile(const std::string& target);
    // Renames the existing file target aside in its folder, where it stays
    // until the run ends (its new name in aside, when given); false, with the
    // reason as the last error, when it cannot be renamed (in use, for
    // instance): target is then untouched.
    bool SetAside(const std::string& target, std::string* aside = nullptr);
    // Before a file is written at target by a call that overwrites (the
    // shell's links, a copy): an existing file is set aside, a missing one
    // noted as new. False, with the reason as the last error, when it cannot
    // be set aside or a folder stands there.
    bool PrepareToWrite(const std::string& target);
    // A folder the run made (noted right after it was made).
    bool NoteFolderMade(const std::string& folder);
    // A registry key below HKEY_LOCAL_MACHINE that the run is about to write
    // or delete: its tree as it is now is kept, the first time in the run
    // (also for a key below one kept already). False, with the registry's
    // error as the last error, when it cannot be read.
    bool SaveRegistryKey(const std::string& subKey);
    // The replacement of target by temp that the run queues for the next
    // start of Windows: withdrawn on undo.
    bool NoteBootReplacement(const std::string& temp, const std::string& target);
    // The OLE control at path about to register itself: unregistered on
    // undo, and registered again once everything else is undone when its
    // file was there before the run.
    bool NoteControlRegistration(const std::string& path);
    // The registration noted last never ran (the control could not be
    // loaded): there is nothing of it to unregister.
    bool CancelControlRegistration(const std::string& path);

    // Whether the run made the file at path itself (noted as new).
    bool MadeFile(const std::string& path) const;
    // Whether a note could not be written to the journal file (the run then
    // stops: what it would change could not be undone).
    bool Failed() const { return m_bFailed; }

    // ---- The ends ----
    // Success: every change stays. The set-aside files are deleted (one in
    // use at the next start of Windows, through the context's boot-time
    // queue), and the journal goes.
    void Commit(CSetupContext& context);
    // Undoes every change noted, the last first, and the journal goes. Each
    // change undone, and each one that could not be, is told to the
    // context's events; returns one line per change that could not be undone
    // (which item, and where it is now), empty when everything is as before.
    std::vector<std::string> Rollback(CSetupContext& context);

private:
    bool Note(JournalRecord record, bool durable);
    void Forget();

    bool m_bNT;
    RunInfo m_run;
    std::vector<JournalRecord> m_records;
    CJournalFile m_file;
    // A journal read from the disk (Load), deleted by path at its end.
    std::string m_strLoadedPath;
    // The registry keys kept so far (lower case).
    std::set<std::string> m_savedKeys;
    // The names of the files set aside: a tag of this run's and a count.
    unsigned m_nAsideTag;
    unsigned m_nextAside = 1;
    bool m_bFailed = false;
};

// The message that a note could not be written to the journal (20174, with
// the reason of the last error); ShowJournalFailure shows it and gives false:
// the change the note was for is not made, and the installation stops.
std::string JournalFailureMessage(CSetupContext& context);
bool ShowJournalFailure(CSetupContext& context);

// After the run made a folder: notes it in the journal and tells the
// context's events. When the note cannot be written the folder goes again,
// the failure is shown, and the result is false.
bool NoteFolderMade(CSetupContext& context, const std::string& folder);
