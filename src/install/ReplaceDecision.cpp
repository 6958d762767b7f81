// The replace decision: whether a file entry of a package goes to disk over
// an existing file, by version, by name, or by asking the user.
#include "install/ReplaceDecision.h"

#include <cstdio>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "core/VersionData.h"
#include "package/PackageCatalog.h"
#include "resources/resource.h"

namespace
{
// List A: always updated when the package's version is not newer.
const char* const ALWAYS_UPDATE_NAMES[] = {"PI_W32.DLL", "pi_w32.dll"};
// List B: replaced without a question when the dates match.
const char* const SAME_DATE_REPLACE_NAMES[] = {"pi_w32.dll", "Phidget21.dll", "psiglueVC6.dll"};

template <size_t N>
bool PathContainsAny(const std::string& path, const char* const (&names)[N])
{
    for (const char* name : names)
        if (path.find(name) != std::string::npos)
            return true;
    return false;
}

// The existing file's fixed file version; 0 when it has none or it cannot be
// read.
ULONGLONG ExistingFileVersion(const std::string& path)
{
    CVersionData versionData;
    ULONGLONG version = 0;
    if (!versionData.LoadFromFile(path.c_str()) || !versionData.GetFileVersion(version))
        return 0;
    return version;
}

ULONGLONG EntryVersion(const PackageFileInfo& info) { return MakeVersion64(info.dwVersionMS, info.dwVersionLS); }
} // namespace

bool PathHasAlwaysUpdateName(const std::string& targetPath)
{
    return PathContainsAny(targetPath, ALWAYS_UPDATE_NAMES);
}

bool PathHasSameDateReplaceName(const std::string& targetPath)
{
    return PathContainsAny(targetPath, SAME_DATE_REPLACE_NAMES);
}

bool GetExistingFileInfo(const std::string& path, ExistingFileInfo& info)
{
    if (path.find_first_of("*?") != std::string::npos)
    {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    FindDataU data;
    unique_hfind find(FindFirstFileU(path, data));
    if (!find)
        return false;
    info.dwFileAttributes = data.attributes;
    info.ftCreationTime = data.creation;
    info.ftLastAccessTime = data.lastAccess;
    info.ftLastWriteTime = data.lastWrite;
    info.nFileSizeHigh = static_cast<DWORD>(data.size >> 32);
    info.nFileSizeLow = static_cast<DWORD>(data.size);
    return true;
}

std::string FormatFileTime(const FILETIME& time)
{
    SYSTEMTIME st{};
    if (!::FileTimeToSystemTime(&time, &st))
        st = SYSTEMTIME{};
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", st.wDay, st.wMonth, st.wYear, st.wHour,
                  st.wMinute, st.wSecond);
    return text;
}

std::string FormatVersionText(ULONGLONG version)
{
    if (version == 0)
        return LoadResString(IDS_NO_VERSION_INFO);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((version >> 48) & 0xFFFF),
                  static_cast<int>((version >> 32) & 0xFFFF), static_cast<int>((version >> 16) & 0xFFFF),
                  static_cast<int>(version & 0xFFFF));
    return text;
}

FileOutcome CFileInstaller::InstallFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry,
                                                   int index, const std::string& targetPath)
{
    m_strFailure.clear();
    m_strTarget = targetPath;
    m_bReported = false;
    const FileOutcome outcome = Decide(package, entry, index, targetPath);
    if (outcome == FileOutcome::Deferred || m_bReported)
        return outcome;
    // A failure's reason is the message shown for it: the decision's own,
    // or else the writer's.
    std::string reason;
    if (outcome == FileOutcome::Failed)
        reason = m_strFailure.empty() ? m_writer.LastFailure() : m_strFailure;
    m_context.Events().FileDone(outcome, m_strTarget, reason);
    return outcome;
}

bool CFileInstaller::FinishPackage()
{
    if (!m_batch.Flush())
        return false;
    // The progress window keeps answering while the last files go to the disk.
    if (m_durable.Finish([this] { m_context.Progress().AddProgress(0); }))
        return true;
    const std::string reason = GetLastErrorText();
    m_context.ShowMessage(FormatResMessage(IDS_FILE_FLUSH_FAILED, {m_durable.FailedPath().c_str(), reason.c_str()}),
                          MB_OK);
    return false;
}

bool CFileInstaller::FailWith(const std::string& message)
{
    m_strFailure = message;
    m_context.ShowMessage(m_strFailure, MB_OK);
    return false;
}

CFolderNames::Answer CFileInstaller::LookOnDisk(const std::string& path, ListedFile& file)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExU(path, data))
        return CFolderNames::Answer::Absent;
    file.attributes = data.dwFileAttributes;
    file.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file.creation = data.ftCreationTime;
    file.lastWrite = data.ftLastWriteTime;
    // The name as the folder holds it, also for a short alias.
    std::string longPath;
    const std::string& named = GetLongPathNameU(path, longPath) ? longPath : path;
    file.name = named.substr(named.find_last_of("\\/") + 1);
    return CFolderNames::Answer::Present;
}

namespace
{
// Whether the open file begins as an executable image does ("MZ"); only
// those have version information worth a read.
bool StartsAsImage(HANDLE file)
{
    char head[2] = {};
    DWORD read = 0;
    return ::ReadFile(file, head, sizeof head, &read, nullptr) && read == 2 && head[0] == 'M' && head[1] == 'Z';
}

std::string FolderOf(const std::string& path)
{
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

// The existing file opened to be overwritten in place; invalid when another
// program holds it, it is read-only, or the system refuses.
unique_hfile OpenForOverwrite(const std::string& path)
{
    return unique_hfile(CreateFileU(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}
} // namespace

FileOutcome CFileInstaller::Decide(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                   const std::string& requestedPath)
{
    // A target that is absent is written without a decision. The folder's
    // listing answers for most names without a test on the disk; a target
    // that turns up before it is made is decided on as any other.
    ListedFile existing;
    CFolderNames::Answer answer = m_folderNames.Look(requestedPath, existing);
    if (answer == CFolderNames::Answer::Unknown)
        answer = LookOnDisk(requestedPath, existing);
    if (answer == CFolderNames::Answer::Absent)
    {
        switch (m_writer.WriteNewFileFromPackage(package, entry, index, requestedPath))
        {
        case FileWriteResult::Written:
            m_folderNames.Add(requestedPath);
            return FileOutcome::WrittenNew;
        case FileWriteResult::Queued:
            return FileOutcome::QueuedForRestart;
        case FileWriteResult::Failed:
            return FileOutcome::Failed;
        case FileWriteResult::TargetExists:
            // Made since the listing: decided on as a file that was there.
            if (LookOnDisk(requestedPath, existing) == CFolderNames::Answer::Present)
                break;
            ::SetLastError(ERROR_FILE_EXISTS);
            {
                const std::string reason = GetLastErrorText();
                FailWith(FormatResMessage(IDS_FILE_CREATE_FAILED, {requestedPath.c_str(), reason.c_str()}));
            }
            return FileOutcome::Failed;
        }
    }

    // The file is known by its real name, as the folder holds it, also where
    // the package names it by its short alias: that one name is replaced,
    // noted, set aside and put back.
    if (!existing.name.empty())
        m_strTarget = FolderOf(requestedPath) + "\\" + existing.name;
    const std::string& targetPath = m_strTarget;

    // A folder in the file's place is never replaced, neither now nor at a
    // restart: it may hold a person's own files.
    if (existing.attributes & FILE_ATTRIBUTE_DIRECTORY)
    {
        FailWith(FormatResMessage(IDS_TARGET_IS_FOLDER, {targetPath.c_str()}));
        return FileOutcome::Failed;
    }
    // The same file twice in a package: the first write comes first.
    if (m_batch.Holds(targetPath) && !m_batch.Flush())
    {
        m_bReported = true;
        return FileOutcome::Failed;
    }

    // Opened once: its first bytes tell whether it can have a version at
    // all, and the same handle overwrites it. An image is read for its
    // version by name (and opened again to be replaced).
    unique_hfile file = OpenForOverwrite(targetPath);
    ULONGLONG existingVersion = 0;
    if (!file || StartsAsImage(file.get()))
    {
        file.reset();
        existingVersion = ExistingFileVersion(targetPath);
    }
    const ULONGLONG packageVersion = EntryVersion(entry.GetFileInfo());

    if (packageVersion != 0 && packageVersion == existingVersion)
        return FileOutcome::KeptSameVersion;

    if (existingVersion != 0)
    {
        // Only a newer version replaces a versioned file, except for the
        // libraries that are always brought to the package's copy.
        if (packageVersion > existingVersion || PathHasAlwaysUpdateName(targetPath))
            return Replace(package, entry, index, targetPath, std::move(file), existing);
        return FileOutcome::KeptInstalledNewer;
    }

    // The existing file has no version information: the user decides, unless
    // "Yes To All" was chosen earlier in this run.
    if (m_context.m_bAskReplace && !AskReplaceFile(entry, targetPath, existing.lastWrite))
        return m_context.m_bReplaceCancelled ? FileOutcome::KeptCancelled : FileOutcome::KeptAnsweredNo;
    if (m_context.m_bReplaceCancelled)
        return FileOutcome::KeptCancelled;
    return Replace(package, entry, index, targetPath, std::move(file), existing);
}

FileOutcome CFileInstaller::Replace(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                    const std::string& targetPath, unique_hfile file, const ListedFile& existing)
{
    // A small file is overwritten in place with its batch, its earlier
    // contents kept in the journal; a large one, or one that cannot be
    // opened for writing (in use, read-only), is set aside by rename.
    if (existing.size <= CReplacementBatch::SMALL_FILE_LIMIT)
    {
        if (!file)
            file = OpenForOverwrite(targetPath);
        if (file)
        {
            switch (m_batch.Add(std::move(file), targetPath, package, entry, index))
            {
            case CReplacementBatch::AddResult::Added:
                return FileOutcome::Deferred;
            case CReplacementBatch::AddResult::Failed:
                m_bReported = true;
                return FileOutcome::Failed;
            case CReplacementBatch::AddResult::NotKept:
                break;
            }
        }
    }
    file.reset();
    switch (m_writer.WriteFileFromPackage(package, entry, index, targetPath))
    {
    case FileWriteResult::Written:
        return FileOutcome::Replaced;
    case FileWriteResult::Queued:
        return FileOutcome::QueuedForRestart;
    case FileWriteResult::Failed:
    case FileWriteResult::TargetExists:
        break;
    }
    return FileOutcome::Failed;
}

bool CFileInstaller::AskReplaceFile(const CPackageCatalogEntry& entry, const std::string& targetPath)
{
    ExistingFileInfo existing{};
    if (!GetExistingFileInfo(targetPath, existing))
    {
        const std::string reason = GetLastErrorText();
        m_context.ShowMessage(FormatResMessage(IDS_FILE_INFO_FAILED, {targetPath.c_str(), reason.c_str()}), MB_OK);
        existing = ExistingFileInfo{};
    }
    return AskReplaceFile(entry, targetPath, existing.ftLastWriteTime);
}

bool CFileInstaller::AskReplaceFile(const CPackageCatalogEntry& entry, const std::string& targetPath,
                                   const FILETIME& lastWrite)
{
    const PackageFileInfo entryInfo = entry.GetFileInfo();
    const std::string newDate = FormatFileTime(entryInfo.ftLastWrite);
    const std::string oldDate = FormatFileTime(lastWrite);
    if (newDate == oldDate && PathHasSameDateReplaceName(targetPath))
        return true;

    // Only files without version information are asked about.
    const std::string newVersion = FormatVersionText(EntryVersion(entryInfo));
    const std::string oldVersion = FormatVersionText(0);
    const std::string question = FormatResMessage(
        IDS_REPLACE_QUESTION,
        {targetPath.c_str(), newVersion.c_str(), newDate.c_str(), oldVersion.c_str(), oldDate.c_str()});

    switch (m_context.Prompts().AskReplaceFile(question))
    {
    case ReplaceAnswer::Yes:
        return true;
    case ReplaceAnswer::YesToAll:
        m_context.m_bAskReplace = FALSE;
        return true;
    case ReplaceAnswer::No:
        return false;
    case ReplaceAnswer::Cancel:
        break;
    }
    m_context.m_bReplaceCancelled = TRUE;
    return false;
}
