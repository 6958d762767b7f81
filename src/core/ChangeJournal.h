#pragma once
#include <windows.h>

#include <string>

class CSetupContext;

// What a run changes on the machine, noted before each change is made, so
// that a run that fails, is cancelled or is killed can be undone. The steps
// note their changes through this seam; the undo journal (src/undo) keeps
// the notes and undoes them.
class IChangeJournal
{
public:
    virtual ~IChangeJournal() = default;

    // A temporary file the run made: deleted on undo.
    virtual bool NoteTemporaryFile(const std::string& temp) = 0;
    // A file the run is about to make at target, by renaming temp there (or
    // directly, when temp is ""). On undo temp is deleted when it is still
    // there; otherwise target is, unless CancelNewFile followed.
    virtual bool NoteNewFile(const std::string& target, const std::string& temp = std::string()) = 0;
    // target was there after all: the rename did not happen, and the note of
    // NoteNewFile no longer stands.
    virtual bool CancelNewFile(const std::string& target) = 0;
    // Renames the existing file target aside in its folder, where it stays
    // until the run ends (its new name in aside, when given); false, with the
    // reason as the last error, when it cannot be renamed (in use, for
    // instance): target is then untouched.
    virtual bool SetAside(const std::string& target, std::string* aside = nullptr) = 0;
    // Before a file is written at target by a call that overwrites (the
    // shell's links, a copy): an existing file is set aside, a missing one
    // noted as new. False, with the reason as the last error, when it cannot
    // be set aside or a folder stands there.
    virtual bool PrepareToWrite(const std::string& target) = 0;
    // A folder the run is about to make (noted before it is made, and
    // followed by CancelNewFile(folder) when the name turned out taken):
    // removed on undo when it is there and empty.
    virtual bool NoteFolderToMake(const std::string& folder) = 0;
    // A registry key below HKEY_LOCAL_MACHINE that the run is about to write
    // or delete: its tree as it is now is kept, the first time in the run
    // (also for a key below one kept already). False, with the registry's
    // error as the last error, when it cannot be read.
    virtual bool SaveRegistryKey(const std::string& subKey) = 0;
    // The replacement of target by temp that the run queues for the next
    // start of Windows: withdrawn on undo.
    virtual bool NoteBootReplacement(const std::string& temp, const std::string& target) = 0;
    // The OLE control at path about to register itself: unregistered on
    // undo, and registered again once everything else is undone when its
    // file was there before the run.
    virtual bool NoteControlRegistration(const std::string& path) = 0;
    // The registration noted last never ran (the control could not be
    // loaded): there is nothing of it to unregister.
    virtual bool CancelControlRegistration(const std::string& path) = 0;

    // Whether the run made the file at path itself (noted as new).
    virtual bool MadeFile(const std::string& path) const = 0;
    // Whether a note could not be written to the journal file (the run then
    // stops: what it would change could not be undone).
    virtual bool Failed() const = 0;

    // ---- Files the run writes itself ----
    // A new file the run is about to create at target (refusing a file that
    // is there), and then, once it has, that the file is the run's own: an
    // undo deletes it (and one left empty by a run killed in between).
    virtual bool NoteCreate(const std::string& target) = 0;
    virtual bool NoteCreated(const std::string& target) = 0;
    // Keeps the earlier contents of the existing small file at target, open
    // as file (for reading; from its start, at most limit bytes), with its
    // times, to be written back over it on undo. Not flushed: nothing may
    // overwrite the file before Sync has made the kept contents durable.
    virtual bool SaveContents(const std::string& target, HANDLE file, DWORD limit, const FILETIME& creation,
                              const FILETIME& lastWrite) = 0;
    // Makes every note and every kept contents so far durable, with one
    // flush of each file: the group commit of a batch of changes.
    virtual bool Sync() = 0;

    // The journal's file, for messages ("" while it is kept in memory).
    virtual const std::string& Path() const = 0;
};

// The message that a note could not be written to the journal (20174, with
// the reason of the last error); ShowJournalFailure shows it and gives false:
// the change the note was for is not made, and the installation stops.
std::string JournalFailureMessage(CSetupContext& context);
bool ShowJournalFailure(CSetupContext& context);

// Makes a folder, noted in the journal before it is made, so that a run
// killed at any moment leaves no folder its journal does not know of, and
// tells the context's events. A name that something has already takes the
// note back (AlreadyThere: a folder, or a file in the way); Failed leaves
// the reason as the last error; Stopped: a note could not be written, which
// was shown, and the installation stops.
enum class FolderMaking
{
    Made,
    AlreadyThere,
    Failed,
    Stopped,
};
FolderMaking MakeFolder(CSetupContext& context, const std::string& folder);
