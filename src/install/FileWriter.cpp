// Writing one file of a package, with the entry's time stamps: a new file
// under its own name; a replacement into a new temporary file in the
// target's own folder, which takes the target's name once the target is set
// aside. A target that cannot be replaced (in use) is replaced at the next
// start of Windows.
#include "install/FileWriter.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "framework/SystemLibrary.h"
#include "core/BootReplacementQueue.h"
#include "install/DurableWrites.h"
#include "install/WriteBehind.h"
#include "package/PackageFile.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

namespace
{
// The target path up to, not including, its last separator.
std::string FolderOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string TemporaryName(const std::string& folder, unsigned counter)
{
    char name[32];
    ::wsprintfA(name, "\\$tmp%04u.tmp", counter);
    return folder + name;
}

bool IsDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

// The errors of a file that another program has open: a virus scanner or an
// indexer holds a freshly written file for a moment, an application for long.
bool IsHeldByAnotherProgram(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

constexpr int HELD_RETRIES = 10;
constexpr DWORD HELD_RETRY_INTERVAL_MS = 100;

// Repeats an operation on the target for about a second while another
// program holds it, so that a short-lived lock does not cost a restart.
// False with the last failure's reason when it still fails.
template <class Operation>
bool RetryWhileHeld(Operation operation)
{
    for (int attempt = 0;; ++attempt)
    {
        if (operation())
            return true;
        const DWORD error = ::GetLastError();
        if (attempt == HELD_RETRIES || !IsHeldByAnotherProgram(error))
        {
            ::SetLastError(error);
            return false;
        }
        ::Sleep(HELD_RETRY_INTERVAL_MS);
    }
}

// Entries from this size on are written by a second thread while the next
// pieces expand; below it the thread would cost more than it saves.
constexpr DWORD WRITE_BEHIND_MIN_SIZE = 4 * 1024 * 1024;

// Writes the entry's contents into the open file; false with the reason as
// the last error (ERROR_FILE_CORRUPT when the data disagree with the
// entry's recorded size).
bool ExtractEntry(CPackageFile& package, const CPackageCatalogEntry& entry, int index, HANDLE file)
{
    if (entry.GetUncompressedSize() < WRITE_BEHIND_MIN_SIZE)
        return package.ExtractContentsToFile(index, file) != FALSE;
    CWriteBehindSink sink(file);
    if (!sink.Start())
        return package.ExtractContentsToFile(index, file) != FALSE;
    const bool extracted = package.ExtractContents(index, sink) != FALSE;
    const DWORD error = ::GetLastError();
    const bool written = sink.Finish();
    if (!extracted)
        ::SetLastError(error);
    return extracted && written;
}

typedef BOOL(WINAPI* SetFileInformationByHandleProc)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

// The system's rename through an open handle, where it has one (NT 6 and
// later); null elsewhere.
SetFileInformationByHandleProc RenameThroughHandleFunction()
{
    static const auto proc = Kernel32Function<SetFileInformationByHandleProc>("SetFileInformationByHandle");
    return proc;
}

bool IsAbsoluteDrivePath(const std::string& path)
{
    return path.size() > 3 && path[1] == ':' && path[2] == '\\';
}

// Gives the open file the target's name unless a file of that name exists
// (then false with ERROR_ALREADY_EXISTS). Opens nothing by name, which under
// Wine saves a search of the folder for the source.
bool RenameOpenFile(SetFileInformationByHandleProc setInformation, HANDLE file, const std::string& targetPath)
{
    std::wstring name;
    if (!Widen(targetPath, name) || name.empty())
        return false;
    name = L"\\??\\" + name;
    const size_t nameBytes = name.size() * sizeof(WCHAR);
    std::unique_ptr<BYTE[]> buffer(new BYTE[sizeof(FILE_RENAME_INFO) + nameBytes]());
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(name.begin(), name.end(), info->FileName);
    return setInformation(file, FileRenameInfo, info, static_cast<DWORD>(sizeof(FILE_RENAME_INFO) + nameBytes)) !=
           FALSE;
}

// Opens a new, empty temporary file beside the target: the first free name of
// "$tmp0001.tmp", "$tmp0002.tmp", ... (at least four digits, no upper limit).
// CREATE_NEW refuses a name that exists, so the create itself is the test:
// under Wine a separate test for a free name costs a search of the folder.
// The journal notes each name before its create (a name another file has:
// the note is taken back) and, once made, that it is the run's temporary
// file, so that a run killed at any moment leaves no temporary file it does
// not know of. Returns an invalid handle, with the reason as the last error,
// on failure (the journal's own when journal.Failed()); tempPath holds the
// name tried last.
unique_hfile CreateTemporaryFile(IChangeJournal& journal, const std::string& targetPath, std::string& tempPath)
{
    const std::string folder = FolderOf(targetPath);
    for (unsigned counter = 1;; ++counter)
    {
        tempPath = TemporaryName(folder, counter);
        if (!journal.NoteCreate(tempPath))
            return unique_hfile();
        unique_hfile file(CreateFileU(tempPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (file)
        {
            if (journal.NoteTemporaryFile(tempPath))
                return file;
            file.reset();
            DeleteFileU(tempPath.c_str());
            return file;
        }
        const DWORD error = ::GetLastError();
        // A name taken by a file, or by a folder (refused as access denied),
        // moves on to the next number.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || PathExistsU(tempPath))
        {
            if (!journal.CancelNewFile(tempPath))
                return file;
            continue;
        }
        ::SetLastError(error);
        return file;
    }
}
} // namespace

void CFileWriter::ShowFailure(const std::string& text)
{
    m_strLastFailure = text;
    m_context.ShowMessage(text, MB_OK);
}

FileWriteResult CFileWriter::WriteFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry,
                                                  int index, const std::string& targetPath)
{
    return Write(package, entry, index, targetPath);
}

FileWriteResult CFileWriter::WriteNewFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry,
                                                     int index, const std::string& targetPath)
{
    IChangeJournal& journal = m_context.Journal();
    // Written under its own name, without a temporary file and its rename:
    // the journal knows of it before it exists (and, once it does, that it
    // is the run's), so an undo or the next start after a kill removes it,
    // half-written or whole.
    if (!journal.NoteCreate(targetPath))
    {
        ShowFailure(JournalFailureMessage(m_context));
        return FileWriteResult::Failed;
    }
    unique_hfile file(CreateFileU(targetPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
    {
        const DWORD error = ::GetLastError();
        // There after all (made since the caller looked): decided on again.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return FileWriteResult::TargetExists;
        const std::string reason = GetLastErrorText();
        ShowFailure(FormatResMessage(IDS_FILE_CREATE_FAILED, {targetPath.c_str(), reason.c_str()}));
        return FileWriteResult::Failed;
    }
    auto fail = [&](UINT messageId) {
        const std::string reason = GetLastErrorText();
        file.reset();
        // Nothing half-written stays.
        DeleteFileU(targetPath.c_str());
        ShowFailure(FormatResMessage(messageId, {reason.c_str()}));
        return FileWriteResult::Failed;
    };
    if (!journal.NoteCreated(targetPath))
    {
        file.reset();
        DeleteFileU(targetPath.c_str());
        ShowFailure(JournalFailureMessage(m_context));
        return FileWriteResult::Failed;
    }
    if (!ExtractEntry(package, entry, index, file.get()))
        return fail(IsDiskFull(::GetLastError()) ? IDS_FILE_WRITE_FAILED : IDS_PACKAGE_READ_FAILED);
    const PackageFileInfo info = entry.GetFileInfo();
    if (!::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite))
        return fail(IDS_FILE_WRITE_FAILED);
    Finished(std::move(file), targetPath);
    return FileWriteResult::Written;
}

void CFileWriter::Finished(unique_hfile file, const std::string& path)
{
    if (m_pDurable)
        m_pDurable->Hand(std::move(file), path);
}

FileWriteResult CFileWriter::Write(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                   const std::string& targetPath)
{
    IChangeJournal& journal = m_context.Journal();
    std::string tempPath;
    unique_hfile file = CreateTemporaryFile(journal, targetPath, tempPath);
    if (!file)
    {
        if (journal.Failed())
        {
            ShowFailure(JournalFailureMessage(m_context));
            return FileWriteResult::Failed;
        }
        const std::string reason = GetLastErrorText();
        ShowFailure(FormatResMessage(IDS_TEMP_FILE_FAILED, {tempPath.c_str(), reason.c_str()}));
        return FileWriteResult::Failed;
    }

    // The journal's note that the temporary file becomes the target, made
    // only where the target turns out to be gone; taken back if it does not
    // take the name: an undo must never delete a target that was there
    // before the run.
    bool newTargetNoted = false;
    auto dropNewTarget = [&] {
        if (newTargetNoted && journal.CancelNewFile(targetPath))
            newTargetNoted = false;
        return !newTargetNoted;
    };

    // Shows the failure with the reason of the call that just failed, then
    // removes the temporary file: no half-written file stays behind (unless
    // the journal refused to take back its note: then the temporary file
    // stays, and an undo removes it instead of the target).
    auto failWith = [&](const std::string& text) {
        file.reset();
        if (dropNewTarget())
            DeleteFileU(tempPath.c_str());
        ShowFailure(text);
        return FileWriteResult::Failed;
    };
    auto fail = [&](UINT messageId) {
        const std::string reason = GetLastErrorText();
        return failWith(FormatResMessage(messageId, {reason.c_str()}));
    };

    if (!ExtractEntry(package, entry, index, file.get()))
        return fail(IsDiskFull(::GetLastError()) ? IDS_FILE_WRITE_FAILED : IDS_PACKAGE_READ_FAILED);
    const PackageFileInfo info = entry.GetFileInfo();
    if (!::SetFileTime(file.get(), &info.ftCreation, nullptr, &info.ftLastWrite))
        return fail(IDS_FILE_WRITE_FAILED);

    // Gives the temporary file the target's name where no file has it, never
    // replacing one: through the open handle where the system can (under
    // Wine that saves a search of the folder for the source), else by name,
    // once it is on the disk. No flush is owed before: the earlier target
    // stays whole aside until the run ends, and a run cut short, even by a
    // power cut, is undone from the journal.
    const SetFileInformationByHandleProc renameThroughHandle =
        m_context.IsNT() && IsAbsoluteDrivePath(targetPath) ? RenameThroughHandleFunction() : nullptr;
    auto takeTargetName = [&] {
        if (renameThroughHandle)
        {
            if (!RenameOpenFile(renameThroughHandle, file.get(), targetPath))
                return false;
            Finished(std::move(file), targetPath);
            return true;
        }
        if (m_pDurable)
            ::FlushFileBuffers(file.get());
        file.reset();
        return MoveFileU(tempPath, targetPath) != FALSE;
    };

    // The existing target is set aside in its folder, where it stays until
    // the run ends (an undo puts it back), and the new file takes its name.
    // A target that another program holds is tried for about a second, then
    // replaced at the next start of Windows.
    std::string asidePath;
    if (RetryWhileHeld([&] { return journal.SetAside(targetPath, &asidePath); }))
    {
        if (takeTargetName())
            return FileWriteResult::Written;
        const DWORD error = ::GetLastError();
        MoveFileU(asidePath, targetPath);
        ::SetLastError(error);
        return fail(IDS_RENAME_FAILED);
    }
    const DWORD asideError = ::GetLastError();
    if (journal.Failed())
        return failWith(JournalFailureMessage(m_context));
    if (asideError == ERROR_FILE_NOT_FOUND)
    {
        // Gone since the caller found it: the file is a new one after all.
        if (!journal.NoteNewFile(targetPath, tempPath))
            return failWith(JournalFailureMessage(m_context));
        newTargetNoted = true;
        if (takeTargetName())
            return FileWriteResult::Written;
        return fail(IDS_RENAME_FAILED);
    }
    file.reset();
    ::SetLastError(asideError);
    if (!IsHeldByAnotherProgram(asideError))
        return fail(IDS_RENAME_FAILED);
    return ScheduleBootReplacement(tempPath, targetPath) ? FileWriteResult::Queued : FileWriteResult::Failed;
}

bool CFileWriter::ScheduleBootReplacement(const std::string& sourcePath, const std::string& targetPath)
{
    // What could not be queued is not installed: the temporary file goes,
    // the user is told why, and the installation stops.
    IBootReplacementQueue& bootQueue = m_context.BootQueue();
    if (!m_context.Journal().NoteBootReplacement(sourcePath, targetPath))
    {
        const std::string text = JournalFailureMessage(m_context);
        DeleteFileU(sourcePath.c_str());
        ShowFailure(text);
        return false;
    }
    if (!bootQueue.Queue(sourcePath, targetPath))
    {
        const std::string reason = GetLastErrorText();
        DeleteFileU(sourcePath.c_str());
        ShowFailure(FormatResMessage(IDS_BOOT_REPLACE_FAILED, {reason.c_str()}));
        return false;
    }
    // A replacement that waits for its package's end (WININIT.INI) asks for
    // the restart only once it is really queued.
    if (bootQueue.QueuesAtOnce())
        m_context.m_bRebootNeeded = true;
    return true;
}
