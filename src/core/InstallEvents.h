#pragma once
#include <string>

// What became of one file entry of a package.
enum class FileOutcome
{
    WrittenNew,         // the target did not exist
    Replaced,           // an existing file was replaced
    KeptSameVersion,    // the installed file has the package's version
    KeptInstalledNewer, // the installed file has a newer version (or the package's has none)
    KeptAnsweredNo,     // the person answered No to the replace question
    KeptCancelled,      // ... or Cancel: the installation stops
    QueuedForRestart,   // the target is in use: replaced at the next start of Windows
    Failed,             // not installed; the reason was shown
    Deferred,           // to be replaced with its batch: its outcome comes then
};

// The words for an outcome, as the log writes them ("written new", "kept
// (same version)", ...).
const char* DescribeFileOutcome(FileOutcome outcome);

// What the steps did, item by item: a log, a window or a test listens. Every
// operation has an empty default, so a listener takes only what it needs.
class IInstallEvents
{
public:
    virtual ~IInstallEvents() = default;

    // A file entry's outcome; reason is the message shown for a failure.
    virtual void FileDone(FileOutcome, const std::string& /*target*/, const std::string& /*reason*/) {}
    // A folder the installation made.
    virtual void FolderMade(const std::string& /*path*/) {}
    // A registry value written: key (below HKEY_LOCAL_MACHINE), value name
    // and the data as text.
    virtual void RecordWritten(const std::string& /*key*/, const std::string& /*value*/,
                               const std::string& /*data*/) {}
    // A registry key the uninstall removed.
    virtual void RecordRemoved(const std::string& /*key*/) {}
    virtual void LinkCreated(const std::string& /*path*/, const std::string& /*target*/) {}
    virtual void LinkRemoved(const std::string& /*path*/) {}
    virtual void ControlRegistered(const std::string& /*path*/) {}
    // The installation folder's tree that the uninstall removed (whole or
    // with items left, each of them reported as a message).
    virtual void FolderTreeRemoved(const std::string& /*path*/, bool /*everything*/) {}
    // A change of the run undone after a failure, a cancel or an interrupted
    // run ("file put back: C:\Lumiro\Programs\a.dll").
    virtual void ChangeUndone(const std::string& /*what*/) {}
    // A change that could not be undone: the line names the item and where it
    // is now.
    virtual void UndoFailed(const std::string& /*what*/) {}
    // A file that is deleted at the next start of Windows (an earlier copy
    // that was still in use when the run ended).
    virtual void DeletionQueued(const std::string& /*path*/) {}
};
