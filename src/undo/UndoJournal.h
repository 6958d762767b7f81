#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "core/ChangeJournal.h"
#include "undo/JournalFile.h"
#include "undo/UndoData.h"

class IBootReplacementQueue;
class IControlRegistrar;
class IInstallEvents;
class IInstallProgress;

// What an undo needs beyond the file system and the registry: the seams
// through which a replacement queued for the restart is withdrawn (and an
// earlier copy in use queued for deletion), a control is unregistered and
// registered again, and each change undone is told and shown.
struct UndoSeams
{
    IBootReplacementQueue& queue;
    IControlRegistrar& controls;
    IInstallEvents& events;
    IInstallProgress& progress;
};

// What one installation run changes on the machine, each change noted before
// it is made, so that a run that fails, is cancelled or is killed can be
// undone and the machine left as it was:
//  - a small file the run replaces has its earlier contents kept in the
//    undo data (one file written sequentially beside the journal), written
//    back on undo; the file is overwritten in place only once a batch of
//    such notes is flushed (Sync);
//  - a large file, or one that cannot be opened for writing (a running
//    program), is renamed aside in its own folder ("$oldTTTTNNNN.tmp"), put
//    back on undo and deleted on success;
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
class CUndoJournal : public IChangeJournal
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
    const std::string& Path() const override { return m_file.Path(); }
    // Whether the loaded run had finished: its changes are all in place and
    // only the set-aside files were still to go.
    bool Committed() const;

    // ---- IChangeJournal: the notes, each made before its change ----
    bool NoteTemporaryFile(const std::string& temp) override;
    bool NoteNewFile(const std::string& target, const std::string& temp = std::string()) override;
    bool CancelNewFile(const std::string& target) override;
    bool SetAside(const std::string& target, std::string* aside = nullptr) override;
    bool PrepareToWrite(const std::string& target) override;
    bool NoteFolderToMake(const std::string& folder) override;
    bool SaveRegistryKey(const std::string& subKey) override;
    bool NoteBootReplacement(const std::string& temp, const std::string& target) override;
    bool NoteControlRegistration(const std::string& path) override;
    bool CancelControlRegistration(const std::string& path) override;
    bool NoteCreate(const std::string& target) override;
    bool NoteCreated(const std::string& target) override;
    bool SaveContents(const std::string& target, HANDLE file, DWORD limit, const FILETIME& creation,
                      const FILETIME& lastWrite) override;
    bool Sync() override;
    bool MadeFile(const std::string& path) const override;
    bool Failed() const override { return m_bFailed; }

    // ---- The ends ----
    // Success: every change stays. The set-aside files are deleted (one in
    // use at the next start of Windows, through the boot-time queue), and
    // the journal goes.
    void Commit(const UndoSeams& seams);
    // Undoes every change noted, the last first, and the journal goes. Each
    // change undone, and each one that could not be, is told to the events;
    // returns one line per change that could not be undone (which item, and
    // where it is now), empty when everything is as before.
    std::vector<std::string> Rollback(const UndoSeams& seams);

private:
    bool Note(JournalRecord record, bool durable);
    // A name of this run's own for a file set aside ("\\$oldTTTTNNNN.tmp").
    std::string AsideName();
    void Forget();

    bool m_bNT;
    RunInfo m_run;
    std::vector<JournalRecord> m_records;
    CJournalFile m_file;
    // The earlier contents of the files overwritten in place.
    CUndoData m_data;
    // Notes written since the last flush of the journal.
    bool m_bUnsynced = false;
    // A journal read from the disk (Load), deleted by path at its end.
    std::string m_strLoadedPath;
    // The registry keys kept so far (lower case).
    std::set<std::string> m_savedKeys;
    // The names of the files set aside: a tag of this run's and a count.
    unsigned m_nAsideTag;
    unsigned m_nextAside = 1;
    bool m_bFailed = false;
};
