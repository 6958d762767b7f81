#pragma once
#include <string>

#include "framework/Handles.h"

class CSetupContext;
class CPackageFile;
class CPackageCatalogEntry;
class CDurableWrites;

// How writing one file ended.
enum class FileWriteResult
{
    Written,      // the target holds the new contents
    Queued,       // the target is in use: replaced at the next start of Windows
    Failed,       // not written; the message was shown
    TargetExists, // (a new file only) the target appeared before the rename
};

// Writes package entries to files, each with the entry's time stamps: a new
// file under its own name, a replacement into a new temporary file in the
// target's own folder that takes the target's name once the target is set
// aside. A target that cannot be replaced (in use) is queued for
// the next start of Windows through the context's boot-time queue. Every
// failure is shown through the context's prompts, and no temporary file of a
// failed write stays.
class CFileWriter
{
public:
    // Each file written whole goes to durable, when given, to be on the disk
    // before the run is committed.
    explicit CFileWriter(CSetupContext& context, CDurableWrites* durable = nullptr)
        : m_context(context), m_pDurable(durable)
    {
    }

    // Writes the entry over whatever the target is: into a temporary file
    // that takes the target's name once the target is set aside.
    FileWriteResult WriteFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                         const std::string& targetPath);
    // Writes a file whose target was found absent, under the target's own
    // name (the journal notes it before it is made and once it is); a target
    // that exists by then is left alone and reported, so that the replace
    // decision is made for it.
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
                          const std::string& targetPath);
    // A file written whole: to be made durable, or closed.
    void Finished(unique_hfile file, const std::string& path);
    // Shows a failure and keeps its text.
    void ShowFailure(const std::string& text);

    CSetupContext& m_context;
    CDurableWrites* m_pDurable;
    std::string m_strLastFailure;
};
