// Replacing small files in place with a group commit, creating new files
// under their own names, and putting them on the disk: what the journal keeps
// of each, and what the next start leaves after a kill (or a power cut) at
// each moment of a batch.
#include <gtest/gtest.h>

#include <windows.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "install/DurableWrites.h"
#include "install/ReplaceDecision.h"
#include "package/PackageFile.h"
#include "undo/UndoJournal.h"

namespace
{
FILETIME LastWriteOf(const std::string& path)
{
    FILETIME creation{}, lastWrite{};
    GetFileTimes(path, creation, lastWrite);
    return lastWrite;
}

unique_hfile OpenForWriting(const std::string& path, DWORD access = GENERIC_READ | GENERIC_WRITE)
{
    return unique_hfile(::CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool Overwrite(const std::string& path, const std::string& contents)
{
    return WriteTextFile(path, contents);
}

class InPlaceReplacementTest : public ::testing::Test
{
protected:
    InPlaceReplacementTest() : scratch("inplace") { context.SetEvents(&events); }

    // Three small files with contents and times of their own.
    void MakeFiles()
    {
        for (int i = 0; i < 3; ++i)
        {
            files[i] = scratch / ("file" + std::to_string(i) + ".txt");
            ASSERT_TRUE(WriteTextFile(files[i], "earlier " + std::to_string(i)));
            times[i] = LastWriteOf(files[i]);
        }
    }
    // The run of a killed setup: its journal kept on disk, the earlier
    // contents of the three files kept, then the object goes as the process
    // did (its files stay).
    void KilledRun(bool synced, int overwritten)
    {
        CUndoJournal journal(true);
        ASSERT_TRUE(journal.Begin(journalPath, {true, 2092, scratch.Path()}));
        for (const std::string& file : files)
        {
            const unique_hfile handle = OpenForWriting(file);
            ASSERT_TRUE(handle);
            FILETIME creation{}, lastWrite{};
            ASSERT_TRUE(::GetFileTime(handle.get(), &creation, nullptr, &lastWrite));
            ASSERT_TRUE(journal.SaveContents(file, handle.get(), 1024 * 1024, creation, lastWrite));
        }
        if (synced)
        {
            ASSERT_TRUE(journal.Sync());
        }
        for (int i = 0; i < overwritten; ++i)
            ASSERT_TRUE(Overwrite(files[i], "new contents"));
    }
    std::vector<std::string> NextStart()
    {
        CUndoJournal next(true);
        EXPECT_TRUE(next.Load(journalPath));
        return next.Rollback(context.Parts().Seams());
    }
    void ExpectEarlierFiles(const std::string& moment)
    {
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_EQ(ReadTextFile(files[i]), "earlier " + std::to_string(i)) << moment;
            EXPECT_EQ(FileTimeValue(LastWriteOf(files[i])), FileTimeValue(times[i])) << moment;
        }
        EXPECT_FALSE(FileExists(journalPath)) << moment;
        EXPECT_FALSE(FileExists(scratch / "run.undo")) << moment << ": the undo data goes with the journal";
    }

    CScratchFolder scratch;
    CTestContext context;
    CRecordingEvents events;
    const std::string journalPath = scratch / "run.journal";
    std::string files[3];
    FILETIME times[3]{};
};
} // namespace

// Killed at each moment of a batch, the next start leaves every file of it
// as it was: before the notes were flushed (nothing overwritten yet, and
// after a power cut perhaps not even the kept contents on the disk, which
// then must not be written back), and after the flush with the batch half
// written.
TEST_F(InPlaceReplacementTest, ABatchKilledAtAnyMomentIsUndoneToTheEarlierFiles)
{
    const struct
    {
        const char* moment;
        bool synced;
        int overwritten;
        bool powerCutLostTheUndoData;
    } moments[] = {
        {"notes written, not flushed", false, 0, false},
        {"notes written, a power cut took the kept contents", false, 0, true},
        {"flushed, nothing written", true, 0, false},
        {"flushed, the batch half written", true, 2, false},
        {"flushed, the batch written", true, 3, false},
    };
    for (const auto& m : moments)
    {
        MakeFiles();
        KilledRun(m.synced, m.overwritten);
        ASSERT_TRUE(FileExists(scratch / "run.undo")) << m.moment;
        if (m.powerCutLostTheUndoData)
        {
            ASSERT_TRUE(WriteTextFile(scratch / "run.undo", ""));
        }
        EXPECT_EQ(NextStart(), std::vector<std::string>{}) << m.moment;
        ExpectEarlierFiles(m.moment);
    }
}

// A run that ends well deletes its undo data with the journal; one that
// fails writes each file's earlier contents back in the same run.
TEST_F(InPlaceReplacementTest, TheInstallerReplacesSmallFilesInPlaceAndAnUndoWritesThemBack)
{
    MakeFiles();
    CUndoJournal& journal = context.UndoJournal();
    ASSERT_TRUE(journal.Begin(journalPath, {true, 2092, scratch.Path()}));
    std::vector<TestEntry> entries;
    for (int i = 0; i < 3; ++i)
        entries.push_back(FileEntry(L"file" + std::to_wstring(i) + L".txt", "new " + std::to_string(i)));
    ASSERT_TRUE(WriteTestPackage(scratch / "p.pkg", true, entries));
    CPackageFile package;
    ASSERT_TRUE(package.Open((scratch / "p.pkg").c_str(), FALSE));
    context.m_bAskReplace = FALSE; // "Yes To All" answered before
    {
        CFileInstaller installer(context);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(installer.InstallFileFromPackage(package, package.GetCatalog().GetAt(i), i, files[i]),
                      FileOutcome::Deferred);
        EXPECT_EQ(ReadTextFile(files[0]), "earlier 0") << "nothing is overwritten before its batch is flushed";
        ASSERT_TRUE(installer.FinishPackage());
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReadTextFile(files[i]), "new " + std::to_string(i));
    EXPECT_EQ(events.files.size(), 3u);
    EXPECT_EQ(events.files[0], "replaced: " + files[0]);
    EXPECT_TRUE(TemporaryFiles(scratch.Path()).empty()) << "no temporary file and no set-aside copy";
    EXPECT_TRUE(FilesMatching(scratch.Path(), "$old*.tmp").empty());
    EXPECT_EQ(context.Rollback(), std::vector<std::string>{});
    ExpectEarlierFiles("undone in the run");
}

// A new file is written under its own name; the journal knows of it before
// it exists, and an undo removes it, but never a file that another put there
// first, unless that is empty, as the run leaves its own right after making
// it.
TEST_F(InPlaceReplacementTest, AnUndoRemovesOnlyTheFilesTheRunCreatedItself)
{
    CUndoJournal& journal = context.UndoJournal();
    const std::string mine = scratch / "mine.txt", theirs = scratch / "theirs.txt", empty = scratch / "empty.txt";
    ASSERT_TRUE(journal.NoteCreate(mine));
    ASSERT_TRUE(WriteTextFile(mine, "new"));
    ASSERT_TRUE(journal.NoteCreated(mine));
    ASSERT_TRUE(journal.NoteCreate(theirs)); // CREATE_NEW found it there
    ASSERT_TRUE(WriteTextFile(theirs, "someone else's"));
    ASSERT_TRUE(journal.NoteCreate(empty)); // killed before its second note
    ASSERT_TRUE(WriteTextFile(empty, ""));
    EXPECT_TRUE(journal.MadeFile(mine));
    EXPECT_FALSE(journal.MadeFile(theirs));
    EXPECT_EQ(context.Rollback(), std::vector<std::string>{});
    EXPECT_FALSE(FileExists(mine));
    EXPECT_EQ(ReadTextFile(theirs), "someone else's");
    EXPECT_FALSE(FileExists(empty));
}

// An entry that names an installed file by its short (8.3) alias replaces
// that file under its long name: nothing is set aside or deleted under the
// alias, and the outcome names the real file.
TEST_F(InPlaceReplacementTest, AFileNamedByItsShortAliasIsReplacedUnderItsLongName)
{
    const std::string real = scratch / "ReaderResources.dll";
    ASSERT_TRUE(WriteTextFile(real, "earlier resources"));
    char shortPath[MAX_PATH];
    ASSERT_NE(::GetShortPathNameA(real.c_str(), shortPath, MAX_PATH), 0u);
    const std::string shortName = shortPath;
    const std::string aliasName = shortName.substr(shortName.find_last_of('\\') + 1);
    const std::string alias = scratch / aliasName;
    ASSERT_NE(aliasName, "ReaderResources.dll");
    ASSERT_TRUE(WriteTestPackage(scratch / "p.pkg", true,
                                 {FileEntry(std::wstring(aliasName.begin(), aliasName.end()), "new resources")}));
    CPackageFile package;
    ASSERT_TRUE(package.Open((scratch / "p.pkg").c_str(), FALSE));
    context.m_bAskReplace = FALSE;
    CFileInstaller installer(context);
    const FileOutcome outcome = installer.InstallFileFromPackage(package, package.GetCatalog().GetAt(0), 0, alias);
    EXPECT_TRUE(GoesOn(outcome));
    ASSERT_TRUE(installer.FinishPackage());
    EXPECT_EQ(ReadTextFile(real), "new resources");
    EXPECT_EQ(events.files, std::vector<std::string>{"replaced: " + real});
    WIN32_FIND_DATAA found;
    const HANDLE find = ::FindFirstFileA((scratch / "*.dll").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(found.cFileName, "ReaderResources.dll");
    EXPECT_FALSE(::FindNextFileA(find, &found)) << "one file, under its long name";
    ::FindClose(find);
    EXPECT_EQ(context.Rollback(), std::vector<std::string>{});
    EXPECT_EQ(ReadTextFile(real), "earlier resources");
}

// Every file handed over is flushed and closed by Finish; a file that cannot
// be flushed fails it, named.
TEST(DurableWritesTest, FlushesAndClosesEveryFileAndNamesOneThatCannotBeFlushed)
{
    CScratchFolder scratch("durable");
    CDurableWrites durable;
    for (int i = 0; i < 20; ++i)
    {
        const std::string path = scratch / ("f" + std::to_string(i));
        ASSERT_TRUE(WriteTextFile(path, "contents"));
        durable.Hand(OpenForWriting(path), path);
    }
    EXPECT_TRUE(durable.Finish());
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(::DeleteFileA((scratch / ("f" + std::to_string(i))).c_str())) << "closed";

    const std::string readOnly = scratch / "read-only handle";
    ASSERT_TRUE(WriteTextFile(readOnly, "contents"));
    durable.Hand(OpenForWriting(readOnly, GENERIC_READ), readOnly);
    EXPECT_FALSE(durable.Finish());
    EXPECT_EQ(durable.FailedPath(), readOnly);
}
