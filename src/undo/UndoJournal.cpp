#include "undo/UndoJournal.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "core/BootReplacementQueue.h"
#include "core/ControlRegistrar.h"
#include "core/InstallEvents.h"
#include "core/InstallProgress.h"
#include "core/Messages.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "undo/RegistrySnapshot.h"

namespace
{
// The kinds of notes, as the journal writes them.
constexpr char RUN[] = "run";
constexpr char TEMPORARY[] = "temp";
constexpr char NEW_FILE[] = "new";
constexpr char CANCEL_NEW[] = "cancel";
constexpr char ASIDE[] = "aside";
// A set-aside name that turned out to be another file's: its note is void.
constexpr char ASIDE_TAKEN[] = "aside-taken";
constexpr char FOLDER[] = "folder";
constexpr char KEY[] = "key";
constexpr char KEY_NOT_KEPT[] = "key-not-kept";
constexpr char BOOT[] = "boot";
constexpr char CONTROL[] = "control";
// A registration that never ran: nothing of it to unregister.
constexpr char CONTROL_NOT_RUN[] = "control-not-run";
constexpr char COMMIT[] = "commit";
// A file the run creates itself, before and after it has.
constexpr char CREATE[] = "create";
constexpr char CREATED[] = "created";
// The undo data file, and a file's earlier contents kept in it.
constexpr char DATA[] = "data";
constexpr char CONTENTS[] = "contents";

std::string TimeText(const FILETIME& time)
{
    return std::to_string((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME TimeOf(const std::string& text)
{
    const ULONGLONG value = std::strtoull(text.c_str(), nullptr, 10);
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

// The undo data's file beside the journal.
std::string DataPathOf(const std::string& journalPath)
{
    const std::string suffix = ".journal";
    if (journalPath.size() > suffix.size() &&
        journalPath.compare(journalPath.size() - suffix.size(), suffix.size(), suffix) == 0)
        return journalPath.substr(0, journalPath.size() - suffix.size()) + ".undo";
    return journalPath + ".undo";
}

// Writes bytes over the whole of the file at path (made when it is missing),
// with its times as they were.
bool WriteBack(const std::string& path, const std::string& bytes, const FILETIME& creation,
               const FILETIME& lastWrite)
{
    const unique_hfile file(CreateFileU(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    if (!bytes.empty() &&
        !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
    if (written != bytes.size())
    {
        ::SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return ::SetEndOfFile(file.get()) && ::SetFileTime(file.get(), &creation, nullptr, &lastWrite);
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Deletes a file, a read-only one too; one that is not there is no error.
bool RemoveFile(const std::string& path)
{
    if (DeleteFileU(path.c_str()) || IsGone(::GetLastError()))
        return true;
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    SetFileAttributesU(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileU(path.c_str()) != FALSE;
}

// The reason of the last failure on one line, for a list of them.
std::string ReasonText()
{
    std::string reason = GetLastErrorText();
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? std::string("error ") + std::to_string(::GetLastError()) : reason;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

std::string FolderOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

// What one rollback collects on its way back.
struct RollbackState
{
    RollbackState(const UndoSeams& undoSeams, bool isNT, const CUndoData& undoData,
                  std::function<std::string(const std::string&)> nameAside)
        : seams(undoSeams), nt(isNT), data(undoData), asideName(std::move(nameAside))
    {
    }

    const UndoSeams& seams;
    bool nt;
    // The undo data of the run, and how a file that cannot take its earlier
    // contents back gets a name beside it for them.
    const CUndoData& data;
    std::function<std::string(const std::string&)> asideName;
    // Targets whose note of a new file was cancelled later in the run.
    std::set<std::string> cancelled;
    // Set-aside names that were other files' (their notes are void).
    std::set<std::string> takenAsides;
    // Targets the run created itself.
    std::set<std::string> created;
    // Controls whose registration never ran.
    std::set<std::string> controlsNotRun;
    // Controls to register again once their earlier files are back.
    std::vector<std::string> reregister;
    std::vector<std::string> failures;

    void Undone(const std::string& what) { seams.events.ChangeUndone(what); }
    // The item that stays as the run left it: the line says which and where.
    void FailedWith(UINT messageId, const std::vector<const char*>& args)
    {
        failures.push_back(FormatResMessage(messageId, args));
        seams.events.UndoFailed(failures.back());
    }
    void Failed(UINT messageId, const std::string& item)
    {
        const std::string reason = ReasonText();
        FailedWith(messageId, {item.c_str(), reason.c_str()});
    }
    // Deletes a file the run made.
    void RemoveRunsFile(const std::string& target)
    {
        seams.progress.SetStatusText(target);
        if (RemoveFile(target))
            Undone("file removed: " + target);
        else
            Failed(IDS_UNDO_FILE_STAYS, target);
    }
};

// Puts the set-aside file back under its name, over the run's new file.
bool PutBack(const std::string& aside, const std::string& target, bool nt)
{
    if (nt)
        return MoveFileExU(aside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    // Windows 9x has no replacing rename.
    return RemoveFile(target) && MoveFileU(aside, target);
}

void UndoRecord(const JournalRecord& record, RollbackState& state)
{
    const std::vector<std::string>& f = record.fields;
    const std::string& kind = record.kind;
    if (kind == TEMPORARY && f.size() == 1)
    {
        if (!RemoveFile(f[0]))
            state.Failed(IDS_UNDO_FILE_STAYS, f[0]);
    }
    else if (kind == NEW_FILE && f.size() == 2)
    {
        const std::string& target = f[0];
        const std::string& temp = f[1];
        const bool cancelled = state.cancelled.erase(target) != 0;
        // A temporary file still there never took the target's name.
        if (!temp.empty() && PathExistsU(temp))
        {
            if (!RemoveFile(temp))
                state.Failed(IDS_UNDO_FILE_STAYS, temp);
        }
        else if (!cancelled && PathExistsU(target))
        {
            state.RemoveRunsFile(target);
        }
    }
    else if (kind == CREATED && f.size() == 1)
    {
        state.created.insert(f[0]);
    }
    else if (kind == CREATE && f.size() == 1)
    {
        const std::string& target = f[0];
        const bool cancelled = state.cancelled.erase(target) != 0;
        const bool created = state.created.erase(target) != 0;
        // Without its second note the file may be another's that turned up
        // first: only an empty one, as the run leaves it right after
        // creating it, is taken for the run's.
        WIN32_FILE_ATTRIBUTE_DATA info;
        const bool empty = GetFileAttributesExU(target, info) && info.nFileSizeHigh == 0 && info.nFileSizeLow == 0 &&
                           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!cancelled && (created ? PathExistsU(target) : empty))
            state.RemoveRunsFile(target);
    }
    else if (kind == CONTENTS && f.size() == 6)
    {
        const std::string& target = f[0];
        SavedBytes saved;
        saved.offset = std::strtoull(f[1].c_str(), nullptr, 10);
        saved.length = std::strtoul(f[2].c_str(), nullptr, 10);
        saved.crc = std::strtoul(f[3].c_str(), nullptr, 16);
        std::string bytes;
        // Contents a power cut took before they were flushed: the file was
        // never overwritten, since nothing is before its batch is flushed.
        if (!state.data.Read(saved, bytes))
            return;
        state.seams.progress.SetStatusText(target);
        if (WriteBack(target, bytes, TimeOf(f[4]), TimeOf(f[5])))
        {
            state.Undone("file put back: " + target);
            return;
        }
        const std::string reason = ReasonText();
        const std::string aside = state.asideName(target);
        if (WriteBack(aside, bytes, TimeOf(f[4]), TimeOf(f[5])))
            state.FailedWith(IDS_UNDO_ASIDE_KEPT, {target.c_str(), aside.c_str(), reason.c_str()});
        else
            state.FailedWith(IDS_UNDO_CONTENTS_LOST, {target.c_str(), reason.c_str()});
    }
    else if (kind == CANCEL_NEW && f.size() == 1)
    {
        state.cancelled.insert(f[0]);
    }
    else if (kind == ASIDE_TAKEN && f.size() == 1)
    {
        state.takenAsides.insert(f[0]);
    }
    else if (kind == ASIDE && f.size() == 3)
    {
        const std::string& target = f[0];
        const std::string& aside = f[1];
        // No set-aside file (the rename never happened), or another's.
        if (state.takenAsides.count(aside) || !PathExistsU(aside))
            return;
        state.seams.progress.SetStatusText(target);
        if (PutBack(aside, target, state.nt))
        {
            if (!f[2].empty())
                SetFileAttributesU(target, std::strtoul(f[2].c_str(), nullptr, 10));
            state.Undone("file put back: " + target);
        }
        else
        {
            const std::string reason = ReasonText();
            state.FailedWith(IDS_UNDO_ASIDE_KEPT, {target.c_str(), aside.c_str(), reason.c_str()});
        }
    }
    else if (kind == FOLDER && f.size() == 1)
    {
        // Taken back: the name was another's (also a folder there before).
        if (state.cancelled.erase(f[0]))
            return;
        if (RemoveDirectoryU(f[0]))
            state.Undone("folder removed: " + f[0]);
        else if (!IsGone(::GetLastError()))
            state.Failed(IDS_UNDO_FOLDER_STAYS, f[0]);
    }
    else if (kind == KEY && f.size() == 3)
    {
        CRegistrySnapshot snapshot;
        if (!snapshot.Parse(f[0], f[1] == "1", f[2]))
        {
            ::SetLastError(ERROR_FILE_CORRUPT);
            state.Failed(IDS_UNDO_KEY_STAYS, f[0]);
        }
        else if (snapshot.Restore())
            state.Undone(std::string(snapshot.Existed() ? "registry key put back: " : "registry key removed: ") +
                         "HKLM\\" + f[0]);
        else
            state.Failed(IDS_UNDO_KEY_STAYS, f[0]);
    }
    else if (kind == KEY_NOT_KEPT && f.size() == 2)
    {
        state.FailedWith(IDS_UNDO_KEY_NOT_KEPT, {f[0].c_str(), f[1].c_str()});
    }
    else if (kind == BOOT && f.size() == 2)
    {
        if (state.seams.queue.Withdraw(f[0], f[1]))
            state.Undone("replacement at the next start of Windows withdrawn: " + f[1]);
        else
            state.Failed(IDS_UNDO_REPLACEMENT_STAYS, f[1]);
    }
    else if (kind == CONTROL_NOT_RUN && f.size() == 1)
    {
        state.controlsNotRun.insert(f[0]);
    }
    else if (kind == CONTROL && f.size() == 2)
    {
        // A registration that never ran changed nothing: neither is there
        // anything to unregister nor an earlier registration to make again.
        if (state.controlsNotRun.count(f[0]))
            return;
        if (PathExistsU(f[0]))
        {
            if (state.seams.controls.Unregister(f[0]) == ServerCallResult::Done)
                state.Undone("OLE control unregistered: " + f[0]);
            else
                state.FailedWith(IDS_UNDO_CONTROL_STAYS, {f[0].c_str()});
        }
        if (f[1] == "1")
            state.reregister.push_back(f[0]);
    }
}
} // namespace

CUndoJournal::CUndoJournal(bool nt)
    : m_bNT(nt), m_nAsideTag((::GetTickCount() ^ (::GetCurrentProcessId() << 4)) & 0xFFFF)
{
}

std::string CUndoJournal::PathIn(const std::string& windowsDir) { return windowsDir + "\\Lumiro Setup.journal"; }

bool CUndoJournal::Begin(const std::string& path, const RunInfo& run)
{
    if (!m_file.Create(path))
        return false;
    m_run = run;
    // The notes made before (none in a run) go first.
    std::vector<JournalRecord> earlier;
    earlier.swap(m_records);
    if (!Note({RUN, {run.upgrade ? "upgrade" : "new", std::to_string(run.build), run.installPath}}, true))
        return false;
    for (JournalRecord& record : earlier)
        if (!Note(std::move(record), true))
            return false;
    return true;
}

bool CUndoJournal::Load(const std::string& path)
{
    Forget();
    if (!CJournalFile::Read(path, m_records))
        return false;
    m_strLoadedPath = path;
    for (const JournalRecord& record : m_records)
    {
        if (record.kind == RUN && record.fields.size() == 3)
        {
            m_run.upgrade = record.fields[0] == "upgrade";
            m_run.build = std::strtoul(record.fields[1].c_str(), nullptr, 10);
            m_run.installPath = record.fields[2];
        }
        else if (record.kind == DATA && record.fields.size() == 1 && !m_data.Open(record.fields[0]))
        {
            return false;
        }
    }
    return true;
}

bool CUndoJournal::Committed() const
{
    return std::any_of(m_records.begin(), m_records.end(),
                       [](const JournalRecord& record) { return record.kind == COMMIT; });
}

bool CUndoJournal::Note(JournalRecord record, bool durable)
{
    if (m_file.IsOpen())
    {
        // A durable note flushes what was written before it too.
        if (!m_file.Append(record, durable))
        {
            m_bFailed = true;
            return false;
        }
        m_bUnsynced = !durable;
    }
    m_records.push_back(std::move(record));
    return true;
}

bool CUndoJournal::NoteCreate(const std::string& target) { return Note({CREATE, {target}}, false); }

bool CUndoJournal::NoteCreated(const std::string& target) { return Note({CREATED, {target}}, false); }

bool CUndoJournal::SaveContents(const std::string& target, HANDLE file, DWORD limit, const FILETIME& creation,
                                const FILETIME& lastWrite)
{
    // The data file is made at the first file kept, beside the journal.
    if (m_file.IsOpen() && m_data.Path().empty())
    {
        const std::string path = DataPathOf(m_file.Path());
        if (!Note({DATA, {path}}, false))
            return false;
        if (!m_data.Create(path))
        {
            m_bFailed = true;
            return false;
        }
    }
    SavedBytes saved;
    if (!m_data.Append(file, limit, saved))
    {
        // A file that cannot be read is no failure of the journal's: the
        // caller replaces it another way.
        return false;
    }
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08lX", static_cast<unsigned long>(saved.crc));
    return Note({CONTENTS,
                 {target, std::to_string(saved.offset), std::to_string(saved.length), crc, TimeText(creation),
                  TimeText(lastWrite)}},
                false);
}

bool CUndoJournal::Sync()
{
    // The kept contents first: a note on the disk whose bytes are not would
    // be taken for a file never overwritten, which holds until Sync returns.
    if (!m_data.Flush() || (m_file.IsOpen() && m_bUnsynced && !m_file.Flush()))
    {
        m_bFailed = true;
        return false;
    }
    m_bUnsynced = false;
    return true;
}

bool CUndoJournal::NoteTemporaryFile(const std::string& temp) { return Note({TEMPORARY, {temp}}, false); }

bool CUndoJournal::NoteNewFile(const std::string& target, const std::string& temp)
{
    return Note({NEW_FILE, {target, temp}}, false);
}

bool CUndoJournal::CancelNewFile(const std::string& target) { return Note({CANCEL_NEW, {target}}, false); }

bool CUndoJournal::SetAside(const std::string& target, std::string* asideName)
{
    const std::string folder = FolderOf(target);
    const DWORD special = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    // The attributes cleared so that the system renames a read-only, hidden
    // or system file; the undo gives them back.
    DWORD cleared = 0;
    for (;;)
    {
        // A name of this run's own, "$oldTTTTNNNN.tmp" (a tag drawn for the
        // run and a count), which no other file is expected to have: no
        // search of the folder first, which under Wine costs as much as the
        // rename. Should one have it after all, the note is taken back and
        // the next name tried.
        const std::string aside = folder + AsideName();
        if (asideName)
            *asideName = aside;
        if (!Note({ASIDE, {target, aside, cleared ? std::to_string(cleared) : ""}}, true))
            return false;
        if (MoveFileU(target, aside))
            return true;
        const DWORD error = ::GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        {
            if (!Note({ASIDE_TAKEN, {aside}}, true))
                return false;
            continue;
        }
        if (!cleared && error == ERROR_ACCESS_DENIED)
        {
            const DWORD attributes = GetFileAttributesU(target);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                (attributes & special))
            {
                cleared = attributes;
                SetFileAttributesU(target, FILE_ATTRIBUTE_NORMAL);
                continue;
            }
        }
        if (cleared)
            SetFileAttributesU(target, cleared);
        ::SetLastError(error);
        return false;
    }
}

std::string CUndoJournal::AsideName()
{
    char name[32];
    std::snprintf(name, sizeof name, "\\$old%04X%04u.tmp", m_nAsideTag, m_nextAside++);
    return name;
}

bool CUndoJournal::PrepareToWrite(const std::string& target)
{
    const DWORD attributes = GetFileAttributesU(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return NoteNewFile(target);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return SetAside(target);
}

bool CUndoJournal::NoteFolderToMake(const std::string& folder) { return Note({FOLDER, {folder}}, false); }

bool CUndoJournal::SaveRegistryKey(const std::string& subKey)
{
    // A key kept already, or one below it, is restored with it.
    const std::string lower = Lower(subKey);
    for (std::string key = lower;; key = FolderOf(key))
    {
        if (m_savedKeys.count(key))
            return true;
        if (key.find('\\') == std::string::npos)
            break;
    }
    m_savedKeys.insert(lower);

    CRegistrySnapshot snapshot;
    if (!snapshot.Take(subKey))
    {
        // The run goes on (the writes may work where the read did not), but
        // an undo will say that this key is not as it was.
        const std::string reason = ReasonText();
        return Note({KEY_NOT_KEPT, {subKey, reason}}, true);
    }
    return Note({KEY, {snapshot.KeyPath(), snapshot.Existed() ? "1" : "0", snapshot.Serialize()}}, true);
}

bool CUndoJournal::NoteBootReplacement(const std::string& temp, const std::string& target)
{
    return Note({BOOT, {temp, target}}, true);
}

bool CUndoJournal::NoteControlRegistration(const std::string& path)
{
    // A control file that was there before the run is registered again
    // once it is back.
    const bool earlier = PathExistsU(path) && !MadeFile(path);
    return Note({CONTROL, {path, earlier ? "1" : "0"}}, true);
}

bool CUndoJournal::CancelControlRegistration(const std::string& path)
{
    return Note({CONTROL_NOT_RUN, {path}}, false);
}

bool CUndoJournal::MadeFile(const std::string& path) const
{
    bool made = false;
    for (const JournalRecord& record : m_records)
    {
        if (record.fields.empty() || record.fields[0] != path)
            continue;
        if (record.kind == NEW_FILE || record.kind == CREATED)
            made = true;
        else if (record.kind == CANCEL_NEW)
            made = false;
    }
    return made;
}

void CUndoJournal::Commit(const UndoSeams& seams)
{
    // From here on the run counts as done, also for a next start that finds
    // this journal: it only finishes the deletions below.
    Note({COMMIT, {}}, true);
    IBootReplacementQueue& queue = seams.queue;
    std::set<std::string> taken;
    for (const JournalRecord& record : m_records)
        if (record.kind == ASIDE_TAKEN && record.fields.size() == 1)
            taken.insert(record.fields[0]);
    for (const JournalRecord& record : m_records)
    {
        if (record.kind != ASIDE || record.fields.size() != 3 || taken.count(record.fields[1]) ||
            !PathExistsU(record.fields[1]))
            continue;
        const std::string& aside = record.fields[1];
        // A set-aside program that is still running (or a library still
        // loaded) goes at the next start of Windows.
        if (!RemoveFile(aside) && queue.QueueDeletion(aside))
            seams.events.DeletionQueued(aside);
    }
    // The earlier contents kept for an undo go with the journal.
    const std::string data = m_data.Path();
    if (!m_data.Remove() && queue.QueueDeletion(data))
        seams.events.DeletionQueued(data);
    if (queue.HasPending())
        queue.Commit();
    Forget();
}

std::vector<std::string> CUndoJournal::Rollback(const UndoSeams& seams)
{
    RollbackState state(seams, m_bNT, m_data, [this](const std::string& target) {
        return FolderOf(target) + AsideName();
    });
    for (auto record = m_records.rbegin(); record != m_records.rend(); ++record)
        UndoRecord(*record, state);
    for (const std::string& control : state.reregister)
    {
        if (!PathExistsU(control))
            continue;
        if (seams.controls.Register(control) == ServerCallResult::Done)
            state.Undone("OLE control registered again: " + control);
        else
            state.FailedWith(IDS_UNDO_CONTROL_NOT_REGISTERED, {control.c_str()});
    }
    Forget();
    return state.failures;
}

void CUndoJournal::Forget()
{
    // The undo data before the journal that names it: a journal whose data
    // went is one whose files all are as it leaves them.
    m_data.Remove();
    m_bUnsynced = false;
    if (m_file.IsOpen())
        m_file.Remove();
    else if (!m_strLoadedPath.empty())
        DeleteFileU(m_strLoadedPath.c_str());
    m_strLoadedPath.clear();
    m_records.clear();
    m_savedKeys.clear();
}
