// Writing one file of a package onto the real file system of the test
// prefix (NT family): the temporary file, the entry's times, read-only and
// held targets, and every failure the writer reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <set>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "core/BootReplacementQueue.h"
#include "install/FileWriter.h"
#include "undo/UndoJournal.h"
#include "package/PackageFile.h"

namespace
{
// A run's context with scripted prompts and a package opened on a scratch
// folder.
class FileWriterTest : public ::testing::Test
{
protected:
    FileWriterTest() : scratch("writer") { context.SetPrompts(&prompts); }

    // Writes and opens a package; entry 0 is what most tests install.
    void OpenPackage(const std::vector<TestEntry>& entries, bool compressed = true)
    {
        packagePath = scratch / "test.pkg";
        ASSERT_TRUE(WriteTestPackage(packagePath, compressed, entries));
        ASSERT_TRUE(package.Open(packagePath.c_str(), FALSE));
    }

    // True when the file was written or queued for the restart.
    bool Write(int index, const std::string& target)
    {
        CFileWriter writer(context);
        return writer.WriteFileFromPackage(package, package.GetCatalog().GetAt(index), index, target) !=
               FileWriteResult::Failed;
    }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
    CPackageFile package;
    std::string packagePath;
};

const std::string NEW_CONTENTS = "new contents of the library\r\n";
} // namespace

TEST_F(FileWriterTest, NewTargetGetsTheContentsAndTheEntrysTimesFromEitherKindOfPackage)
{
    for (const bool compressed : {true, false})
    {
        SCOPED_TRACE(compressed ? "compressed" : "stored");
        package.Close();
        OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS, 13000000001ULL, 13100000002ULL)}, compressed);
        const std::string target = scratch / "a.dll";
        ::DeleteFileA(target.c_str());

        ASSERT_TRUE(Write(0, target));
        EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
        FILETIME creation, lastWrite;
        ASSERT_TRUE(GetFileTimes(target, creation, lastWrite));
        EXPECT_EQ(FileTimeValue(lastWrite), FileTimeValue(FileTimeFromSeconds(13100000002ULL)));
        // Wine on Linux cannot keep a creation time and reports the
        // last-write time in its place; a system that keeps it must show
        // the entry's.
        if (FileTimeValue(creation) != FileTimeValue(lastWrite))
        {
            EXPECT_EQ(FileTimeValue(creation), FileTimeValue(FileTimeFromSeconds(13000000001ULL)));
        }
        EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_FALSE(context.m_bRebootNeeded);
    }
}

TEST_F(FileWriterTest, TemporaryFilesAlreadyPresentAreLeftAlone)
{
    OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS)});
    ASSERT_TRUE(WriteTextFile(scratch / "$tmp0001.tmp", "one"));
    ASSERT_TRUE(WriteTextFile(scratch / "$tmp0002.tmp", "two"));

    ASSERT_TRUE(Write(0, scratch / "a.dll"));
    EXPECT_EQ(ReadTextFile(scratch / "a.dll"), NEW_CONTENTS);
    EXPECT_EQ(ReadTextFile(scratch / "$tmp0001.tmp"), "one");
    EXPECT_EQ(ReadTextFile(scratch / "$tmp0002.tmp"), "two");
    EXPECT_EQ(TemporaryFiles(scratch.Path()).size(), 2u);
}

namespace
{
// A journal that looks at the folder at each note of a file: every file there
// was there before the run or is named by an earlier note, so that a run
// killed between any two calls leaves nothing its journal does not know of.
class CWatchingJournal : public CUndoJournal
{
public:
    CWatchingJournal(const std::string& folder) : CUndoJournal(true), m_folder(folder)
    {
        for (const std::string& name : FilesMatching(folder, "*"))
            m_known.insert(name);
    }
    bool NoteCreate(const std::string& target) override { return Look(target) && CUndoJournal::NoteCreate(target); }
    bool NoteCreated(const std::string& target) override
    {
        return Look(target) && CUndoJournal::NoteCreated(target);
    }
    bool NoteTemporaryFile(const std::string& temp) override
    {
        return Look(temp) && CUndoJournal::NoteTemporaryFile(temp);
    }
    bool NoteNewFile(const std::string& target, const std::string& temp) override
    {
        return Look(target) && Look(temp) && CUndoJournal::NoteNewFile(target, temp);
    }
    bool SetAside(const std::string& target, std::string* aside) override
    {
        std::string name;
        if (!Look(target) || !CUndoJournal::SetAside(target, &name))
            return false;
        // Noted inside before its rename.
        m_known.insert(name.substr(name.find_last_of('\\') + 1));
        if (aside)
            *aside = name;
        return true;
    }

    // Files seen before an earlier note named them.
    std::set<std::string> strays;

private:
    // Notes name first, after a look at what is there so far.
    bool Look(const std::string& name)
    {
        for (const std::string& present : FilesMatching(m_folder, "*"))
            if (present != "." && present != ".." && !m_known.count(present))
                strays.insert(present);
        if (!name.empty())
            m_known.insert(name.substr(name.find_last_of('\\') + 1));
        return true;
    }

    std::string m_folder;
    std::set<std::string> m_known;
};
} // namespace

// The writer's temporary file is noted before it is made, also where other
// files have the first names; an undo then leaves the folder as it was.
TEST_F(FileWriterTest, EveryFileItMakesIsNotedBeforeItIsThere)
{
    const struct
    {
        const char* what;
        bool targetThere;
        bool namesTaken;
    } cases[] = {
        {"a new target", false, false},
        {"a target replaced", true, false},
        {"a target replaced beside others' temporary files", true, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        package.Close();
        DeleteTree(scratch.Path());
        ASSERT_TRUE(::CreateDirectoryA(scratch.Path().c_str(), nullptr));
        OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS)});
        const std::string target = scratch / "a.dll";
        if (c.targetThere)
        {
            ASSERT_TRUE(WriteTextFile(target, "earlier"));
        }
        if (c.namesTaken)
        {
            ASSERT_TRUE(WriteTextFile(scratch / "$tmp0001.tmp", "one"));
        }
        CWatchingJournal journal(scratch.Path());
        context.SetJournal(&journal);

        ASSERT_TRUE(Write(0, target));
        EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
        EXPECT_EQ(journal.strays, std::set<std::string>{});

        journal.Rollback(context.Parts().Seams());
        context.SetJournal(&context.UndoJournal());
        EXPECT_EQ(FileExists(target), c.targetThere);
        if (c.targetThere)
        {
            EXPECT_EQ(ReadTextFile(target), "earlier");
        }
        EXPECT_EQ(TemporaryFiles(scratch.Path()).size(), c.namesTaken ? 1u : 0u);
    }
}

TEST_F(FileWriterTest, ReadOnlyHiddenOrSystemTargetIsReplacedWithoutReboot)
{
    OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS)});
    const std::string target = scratch / "a.dll";
    for (const DWORD attributes : {DWORD(FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                   FILE_ATTRIBUTE_SYSTEM)})
    {
        ASSERT_TRUE(WriteTextFile(target, "old"));
        ASSERT_TRUE(::SetFileAttributesA(target.c_str(), attributes));

        ASSERT_TRUE(Write(0, target));
        EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
        EXPECT_EQ(::GetFileAttributesA(target.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
        EXPECT_FALSE(context.m_bRebootNeeded);
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
    }
}

TEST_F(FileWriterTest, DamagedEntryReportsTheCorruptFileAndLeavesNoTemporaryFile)
{
    for (const LONG delta : {+1, -1})
    {
        SCOPED_TRACE(delta);
        package.Close();
        packagePath = scratch / "test.pkg";
        ASSERT_TRUE(WriteTestPackage(packagePath, true, {FileEntry(L"a.dll", NEW_CONTENTS)}));
        ASSERT_TRUE(ChangeRecordedSize(packagePath, 0, delta));
        ASSERT_TRUE(package.Open(packagePath.c_str(), FALSE));
        ASSERT_TRUE(WriteTextFile(scratch / "a.dll", "old"));
        prompts.shown.clear();

        EXPECT_FALSE(Write(0, scratch / "a.dll"));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, "Read from package failed - " + SystemErrorText(ERROR_FILE_CORRUPT));
        EXPECT_EQ(prompts.shown[0].type, unsigned(MB_OK));
        EXPECT_EQ(ReadTextFile(scratch / "a.dll"), "old");
        EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
    }
}

TEST_F(FileWriterTest, EmptyEntryIsInstalledAsAnEmptyFileFromEitherKindOfPackage)
{
    for (const bool compressed : {true, false})
    {
        SCOPED_TRACE(compressed ? "compressed" : "stored");
        package.Close();
        OpenPackage({FileEntry(L"empty.dat", "")}, compressed);
        const std::string target = scratch / "empty.dat";
        ASSERT_TRUE(WriteTextFile(target, "old"));

        EXPECT_TRUE(Write(0, target));
        EXPECT_TRUE(FileExists(target));
        EXPECT_EQ(ReadTextFile(target), "");
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
    }
}

TEST_F(FileWriterTest, MissingTargetFolderReportsTheTemporaryFileItCouldNotCreate)
{
    OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS)});
    const std::string folder = scratch / "missing";
    EXPECT_FALSE(Write(0, folder + "\\a.dll"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to create the temporary file \"" + folder + "\\$tmp0001.tmp\" - " +
                                         SystemErrorText(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileWriterTest, RenameRefusedForAnotherReasonReportsItAndRemovesTheTemporaryFile)
{
    OpenPackage({FileEntry(L"a.dll", NEW_CONTENTS)});
    // The temporary file is made, but no file can take this name.
    EXPECT_FALSE(Write(0, scratch / "bad<name>.dll"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to rename a file - " + SystemErrorText(ERROR_INVALID_NAME));
    EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
}

// A target held open by another process without leave to rename it cannot
// be replaced: the writer queues one delayed move that replaces it at
// start-up, asks for a restart and reports success. The target is never
// touched before.
TEST_F(FileWriterTest, TargetInUseIsQueuedAsOneReplacingDelayedMoveAndKeptUntilThen)
{
    OpenPackage({FileEntry(L"held.dll", NEW_CONTENTS)});
    const std::string target = scratch / "held.dll";
    ASSERT_TRUE(WriteTextFile(target, "old"));
    ASSERT_TRUE(WriteTextFile(scratch / "$tmp0001.tmp", "one"));
    ASSERT_TRUE(WriteTextFile(scratch / "$tmp0002.tmp", "two"));
    const std::vector<std::string> before = ReadPendingRenames();
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target, CFileHolder::Sharing::None));

    const bool written = Write(0, target);
    const std::vector<std::string> after = ReadPendingRenames();
    WritePendingRenames(before);
    holder.Release();

    EXPECT_TRUE(written);
    EXPECT_TRUE(context.m_bRebootNeeded);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_FALSE(context.BootQueue().HasPending());
    EXPECT_EQ(ReadTextFile(target), "old");
    const std::string queued = scratch / "$tmp0003.tmp";
    EXPECT_EQ(ReadTextFile(queued), NEW_CONTENTS);
    ASSERT_EQ(after.size(), before.size() + 2);
    const std::vector<std::string> added(after.end() - 2, after.end());
    EXPECT_EQ(added, (std::vector<std::string>{"\\??\\" + queued, "!\\??\\" + target}));
}

// A program that holds the target but lets others rename it (as Windows does
// for a running program or a loaded library) does not cost a restart: the
// target is set aside under a name of its own and the new file takes its
// place at once. The earlier copy goes when the run ends: deleted, or, while
// it is still held without leave to delete it, at the next start of Windows.
TEST_F(FileWriterTest, TargetInUseThatMayBeRenamedIsSetAsideAndReplacedAtOnce)
{
    for (const bool deletable : {true, false})
    {
        SCOPED_TRACE(deletable ? "the earlier copy can be deleted" : "the earlier copy is held");
        package.Close();
        OpenPackage({FileEntry(L"running.dll", NEW_CONTENTS)});
        const std::string target = scratch / "running.dll";
        ASSERT_TRUE(WriteTextFile(target, "old"));
        const std::vector<std::string> before = ReadPendingRenames();
        CFileHolder holder;
        ASSERT_TRUE(holder.Hold(target, CFileHolder::Sharing::Delete));

        EXPECT_TRUE(Write(0, target));
        EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
        EXPECT_FALSE(context.m_bRebootNeeded);
        EXPECT_EQ(ReadPendingRenames(), before);
        const std::vector<std::string> aside = FilesMatching(scratch.Path(), "$old*.tmp");
        ASSERT_EQ(aside.size(), 1u);
        const std::string asidePath = scratch / aside[0];
        EXPECT_EQ(ReadTextFile(asidePath), "old");
        if (!deletable)
        {
            holder.Release();
            ASSERT_TRUE(holder.Hold(asidePath, CFileHolder::Sharing::None));
        }

        context.Commit();
        const std::vector<std::string> after = ReadPendingRenames();
        WritePendingRenames(before);
        holder.Release();
        if (deletable)
        {
            EXPECT_EQ(after, before);
            EXPECT_FALSE(FileExists(asidePath));
        }
        else
        {
            ASSERT_EQ(after.size(), before.size() + 2);
            EXPECT_EQ(std::vector<std::string>(after.end() - 2, after.end()),
                      (std::vector<std::string>{"\\??\\" + asidePath, ""}));
            ::DeleteFileA(asidePath.c_str());
        }
        EXPECT_TRUE(prompts.shown.empty());
    }
}

// An undo after the writer's three ways in: a new file goes, a replaced one
// (read-only, so set aside with plain attributes) comes back as it was, and a
// replacement queued for the restart is withdrawn with its temporary file.
TEST_F(FileWriterTest, AnUndoLeavesEveryTargetAsItWas)
{
    OpenPackage({FileEntry(L"new.dll", NEW_CONTENTS), FileEntry(L"replaced.dll", NEW_CONTENTS),
                 FileEntry(L"held.dll", NEW_CONTENTS)});
    const std::string created = scratch / "new.dll";
    const std::string replaced = scratch / "replaced.dll";
    const std::string held = scratch / "held.dll";
    ASSERT_TRUE(WriteTextFile(replaced, "old replaced"));
    ASSERT_TRUE(::SetFileAttributesA(replaced.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteTextFile(held, "old held"));
    const std::vector<std::string> before = ReadPendingRenames();
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(held, CFileHolder::Sharing::None));
    CRecordingEvents events;
    context.SetEvents(&events);

    ASSERT_TRUE(Write(0, created));
    ASSERT_TRUE(Write(1, replaced));
    ASSERT_TRUE(Write(2, held));
    ASSERT_EQ(ReadPendingRenames().size(), before.size() + 2);
    ASSERT_EQ(ReadTextFile(replaced), NEW_CONTENTS);
    const std::vector<std::string> failures = context.Rollback();
    const std::vector<std::string> after = ReadPendingRenames();
    WritePendingRenames(before);
    holder.Release();

    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_FALSE(FileExists(created));
    EXPECT_EQ(ReadTextFile(replaced), "old replaced");
    EXPECT_EQ(::GetFileAttributesA(replaced.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
    ::SetFileAttributesA(replaced.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadTextFile(held), "old held");
    EXPECT_EQ(after, before);
    EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
    EXPECT_TRUE(FilesMatching(scratch.Path(), "$old*.tmp").empty());
    EXPECT_EQ(events.undone, (std::vector<std::string>{"replacement at the next start of Windows withdrawn: " + held,
                                                       "file put back: " + replaced, "file removed: " + created}));
}

// A scanner or indexer holds a fresh file for a moment: a target let go
// within a second is replaced at once, without a restart.
TEST_F(FileWriterTest, TargetHeldForAMomentIsReplacedWithoutRestart)
{
    for (const auto sharing : {CFileHolder::Sharing::None, CFileHolder::Sharing::Delete})
    {
        package.Close();
        OpenPackage({FileEntry(L"scanned.dll", NEW_CONTENTS)});
        const std::string target = scratch / "scanned.dll";
        ASSERT_TRUE(WriteTextFile(target, "old"));
        const std::vector<std::string> before = ReadPendingRenames();
        CFileHolder holder;
        ASSERT_TRUE(holder.Hold(target, sharing, 300));

        EXPECT_TRUE(Write(0, target));
        const std::vector<std::string> after = ReadPendingRenames();
        WritePendingRenames(before);
        holder.Release();

        EXPECT_EQ(ReadTextFile(target), NEW_CONTENTS);
        EXPECT_FALSE(context.m_bRebootNeeded);
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_EQ(after, before);
        EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
    }
}

// Denies everyone the right to change the values of the key that holds the
// delayed moves, so that the system refuses to queue one, and puts the key's
// own access list back at the end.
class CDelayedMovesDenied
{
public:
    CDelayedMovesDenied()
    {
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                            READ_CONTROL | WRITE_DAC, m_key.put()) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof m_saved;
        PSECURITY_DESCRIPTOR denied = nullptr;
        m_denied = ::RegGetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, m_saved, &size) == ERROR_SUCCESS &&
                   ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;KW;;;WD)(A;;KA;;;WD)",
                                                                          SDDL_REVISION_1, &denied, nullptr) &&
                   ::RegSetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, denied) == ERROR_SUCCESS;
        ::LocalFree(denied);
    }
    ~CDelayedMovesDenied()
    {
        if (m_denied)
            ::RegSetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, m_saved);
    }
    bool Denied() const { return m_denied; }

private:
    unique_hkey m_key;
    alignas(8) BYTE m_saved[4096];
    bool m_denied = false;
};

// A delayed move the system refuses is no installed file: the user is told,
// the temporary file goes, nothing asks for a restart and the caller stops
// the installation.
TEST_F(FileWriterTest, RefusedDelayedMoveIsAFailureWithoutRestart)
{
    OpenPackage({FileEntry(L"held.dll", NEW_CONTENTS)});
    const std::string target = scratch / "held.dll";
    ASSERT_TRUE(WriteTextFile(target, "old"));
    const std::vector<std::string> before = ReadPendingRenames();
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(target));

    bool written = true;
    {
        CDelayedMovesDenied denied;
        ASSERT_TRUE(denied.Denied());
        written = Write(0, target);
    }
    holder.Release();

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadPendingRenames(), before);
    EXPECT_FALSE(context.m_bRebootNeeded);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text.rfind("Failed to schedule a boot-time file replacement - ", 0), 0u);
    EXPECT_EQ(ReadTextFile(target), "old");
    EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty());
}
