#pragma once
#include <string>

class CSetupContext;
class CPackageFile;
class CPackageCatalogEntry;

// How writing one file ended.
enum class FileWriteResult
{
    Written,      // the target holds the new contents
    Queued,       // the target is in use: replaced at the next start of Windows
    Failed,       // not written; the message was shown
    TargetExists, // (a new file only) the target appeared before the rename
};

// Writes package entries to files: the data go into a new temporary file in
// the target's own folder, which takes the entry's time stamps and only then
// the target's name. A target that cannot be replaced (in use) is queued for
// the next start of Windows through the context's boot-time queue. Every
// failure is shown through the context's prompts, and no temporary file of a
// failed write stays.
class CFileWriter
{
public:
    explicit CFileWriter(CSetupContext& context) : m_context(context) {}

    // Writes the entry over whatever the target is.
    FileWriteResult WriteFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                         const std::string& targetPath);
    // Writes a file whose target was found absent: as WriteFileFromPackage,
    // but a target that exists by the time of the rename is left alone and
    // reported, so that the replace decision is made for it.
    FileWriteResult WriteNewFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                            const std::string& targetPath);
    // Queues the temporary file to replace the target at the next start of
    // Windows. When the system refuses, the temporary file is deleted, the
    // reason shown (message 20027), and the result is false.
    bool ScheduleBootReplacement(const std::string& sourcePath, const std::string& targetPath);

    // The message shown for the last failure.
    const std::string& LastFailure() const { return m_strLastFailure; }

private:
    FileWriteResult Write(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                          const std::string& targetPath, bool mayReplace);
    // Shows a failure and keeps its text.
    void ShowFailure(const std::string& text);

    CSetupContext& m_context;
    std::string m_strLastFailure;
};
