#pragma once
#include <windows.h>

#include <string>

#include "core/InstallEvents.h"
#include "framework/Handles.h"
#include "install/DurableWrites.h"
#include "install/FileWriter.h"
#include "install/FolderNames.h"
#include "install/ReplacementBatch.h"

class CSetupContext;
class CPackageFile;
class CPackageCatalogEntry;

// The replace decision over the file writer, for the files of one run:
// whether each file entry goes to disk over what is there, by version, by
// name, or by asking (the context's prompts; the answers are remembered in
// the context for the whole run). Each file's outcome is reported through the
// context's events.
class CFileInstaller
{
public:
    explicit CFileInstaller(CSetupContext& context)
        : m_context(context), m_writer(context, &m_durable), m_batch(context, m_durable)
    {
    }

    // Installs the entry at the target path, or keeps what is there; the
    // outcome says which (Deferred: it is replaced with its batch, which
    // reports it). The installation goes on unless it is Failed (the reason
    // was shown) or KeptCancelled.
    FileOutcome InstallFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                       const std::string& targetPath);
    // Asks whether an existing file without version information (last
    // written at lastWrite) is replaced by the entry; true to replace. False
    // keeps the file; the installation stops when the context's
    // m_bReplaceCancelled has been set.
    bool AskReplaceFile(const CPackageCatalogEntry& entry, const std::string& targetPath, const FILETIME& lastWrite);
    // The same, the last-write time read from the disk (a failure to read it
    // is shown, and the question asked with the zero date).
    bool AskReplaceFile(const CPackageCatalogEntry& entry, const std::string& targetPath);

    // A new package: the listings of its folders are read afresh.
    void StartPackage() { m_folderNames.Clear(); }
    // Records that a folder now exists, for a listing already read.
    void NoteFolder(const std::string& path) { m_folderNames.Add(path); }
    // The end of a package: the replacements waiting are written and every
    // file written is on the disk. False, after its message, when not.
    bool FinishPackage();

    CFileWriter& Writer() { return m_writer; }

private:
    FileOutcome Decide(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                       const std::string& requestedPath);
    // Writes over the existing target (open as file, when it could be opened
    // for writing): in place with a batch, or set aside by the writer.
    FileOutcome Replace(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                        const std::string& targetPath, unique_hfile file, const ListedFile& existing);
    // What the disk says of a path the listing cannot answer for.
    CFolderNames::Answer LookOnDisk(const std::string& path, ListedFile& file);
    bool FailWith(const std::string& message);

    CSetupContext& m_context;
    CDurableWrites m_durable;
    CFileWriter m_writer;
    CReplacementBatch m_batch;
    // Listings of the destination folders for the existence test; emptied
    // at the start of every package.
    CFolderNames m_folderNames;
    // The target as the disk names it (its long name), for the outcome.
    std::string m_strTarget;
    // The message shown for a failure the decision itself found.
    std::string m_strFailure;
    // Whether the outcome was reported already (by the batch).
    bool m_bReported = false;
};

// Whether the installation goes on after a file's outcome.
inline bool GoesOn(FileOutcome outcome) { return outcome != FileOutcome::Failed && outcome != FileOutcome::KeptCancelled; }

// What the replace decision knows of an existing file: the fields of the
// system's directory search record, of which it uses the last-write time.
struct ExistingFileInfo
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};

// Fills info from the directory entry of path; false (with the system's
// reason as the last error) when no file of that name can be found. The path
// names one file: wildcards are refused with ERROR_INVALID_NAME rather than
// matched against other files.
bool GetExistingFileInfo(const std::string& path, ExistingFileInfo& info);

// "dd/mm/yyyy hh:mm:ss" of a FILETIME in UTC (no conversion to local time).
// A value the system cannot convert (one with the top bit set) reads
// "00/00/0000 00:00:00".
std::string FormatFileTime(const FILETIME& time);

// "major.minor.build.revision" of a 64-bit version; 0 reads
// "(No version info)".
std::string FormatVersionText(ULONGLONG version);

// The libraries treated specially, matched as case-sensitive substrings of
// the full target path. List A: kept up to date even when the package's
// version is not newer. List B: replaced without a question when the dates
// of the existing file and the entry are equal to the second.
bool PathHasAlwaysUpdateName(const std::string& targetPath);
bool PathHasSameDateReplaceName(const std::string& targetPath);
