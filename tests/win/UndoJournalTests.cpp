// The undo journal: its file as a killed run leaves it, registry trees kept
// and put back, and a journal read back from the disk that undoes (or
// finishes) the run that wrote it.
#include <gtest/gtest.h>

#include <windows.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/ChangeJournal.h"
#include "core/SetupContext.h"
#include "framework/RegistryKey.h"
#include "undo/JournalFile.h"
#include "undo/RegistrySnapshot.h"
#include "undo/UndoJournal.h"

namespace
{
constexpr char SCRATCH_KEY[] = "Software\\Corvane Journal Test";

bool KeyExists(const std::string& subKey)
{
    CRegistryKey key;
    return key.Open(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_READ) != FALSE;
}

// Every value of a key tree as "path|name|type|bytes", in order.
std::vector<std::string> TreeContents(const std::string& subKey)
{
    std::vector<std::string> lines;
    CRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_READ))
        return lines;
    lines.push_back(subKey);
    for (const std::string& name : key.ValueNames())
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        key.QueryRaw(name.c_str(), type, data);
        lines.push_back(subKey + "|" + name + "|" + std::to_string(type) + "|" + std::string(data.begin(), data.end()));
    }
    for (const std::string& child : key.SubKeyNames())
    {
        const std::vector<std::string> below = TreeContents(subKey + "\\" + child);
        lines.insert(lines.end(), below.begin(), below.end());
    }
    return lines;
}

void SetValue(const std::string& subKey, const char* name, DWORD type, const std::string& bytes)
{
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, subKey.c_str());
    key.SetRaw(name, type, std::vector<BYTE>(bytes.begin(), bytes.end()));
}

void SetString(const std::string& subKey, const char* name, const char* text)
{
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, subKey.c_str());
    key.SetString(name, text);
}

class UndoJournalTest : public ::testing::Test
{
protected:
    UndoJournalTest() : scratch("journal")
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH_KEY);
        context.SetEvents(&events);
    }
    ~UndoJournalTest() override { DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH_KEY); }

    CScratchFolder scratch;
    CTestContext context;
    CRecordingEvents events;
};
} // namespace

// A field keeps every byte through the file; a last line that a kill cut off
// is no record; a first line that is not the format's is no journal, and one
// cut off inside it holds nothing to undo.
TEST_F(UndoJournalTest, TheFileKeepsEveryFieldAndIgnoresWhatAKillCutOff)
{
    const std::string path = scratch / "j.journal";
    const JournalRecord awkward{"new", {"C:\\a\tb\\100%\r\nname", "", "\x01\xC3\xA9%09"}};
    {
        CJournalFile file;
        ASSERT_TRUE(file.Create(path));
        ASSERT_TRUE(file.Append(awkward, false));
        ASSERT_TRUE(file.Append({"commit", {}}, true));
        CJournalFile second;
        EXPECT_FALSE(second.Create(path)) << "a journal is never made over another";
        EXPECT_EQ(::GetLastError(), DWORD(ERROR_FILE_EXISTS));
    }
    std::string text = ReadTextFile(path);
    EXPECT_NE(text.find("C:\\a%09b\\100%25%0D%0Aname"), std::string::npos) << "paths stay readable";
    ASSERT_TRUE(WriteTextFile(path, text + "aside\tC:\\half"));

    std::vector<JournalRecord> records;
    ASSERT_TRUE(CJournalFile::Read(path, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, awkward.kind);
    EXPECT_EQ(records[0].fields, awkward.fields);
    EXPECT_EQ(records[1].kind, "commit");

    const struct
    {
        const char* contents;
        bool read;
        size_t records;
    } files[] = {
        {"Lumiro Setup jour", true, 0},
        {"", true, 0},
        {"Some other file\r\nnew\tC:\\x\t\r\n", false, 0},
    };
    for (const auto& file : files)
    {
        SCOPED_TRACE(file.contents);
        ASSERT_TRUE(WriteTextFile(path, file.contents));
        ::SetLastError(0);
        EXPECT_EQ(CJournalFile::Read(path, records), file.read);
        EXPECT_EQ(records.size(), file.records);
        if (!file.read)
        {
            EXPECT_EQ(::GetLastError(), DWORD(ERROR_FILE_CORRUPT));
        }
    }
}

// A snapshot puts a tree back exactly: every value of every type (the
// default value and empty data too) and every subkey, whatever the run did
// to it; one of a missing key removes what the run made from its first
// missing ancestor on, and leaves the parent that was there.
TEST_F(UndoJournalTest, ARegistrySnapshotPutsATreeBackExactlyAndRemovesWhatWasMissing)
{
    const std::string root = SCRATCH_KEY;
    SetValue(root + "\\Kept", "", REG_SZ, std::string("default\0", 8));
    SetValue(root + "\\Kept", "Text", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 10));
    SetValue(root + "\\Kept", "List", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    SetValue(root + "\\Kept", "Number", REG_DWORD, std::string("\x2d\x08\0\0", 4));
    SetValue(root + "\\Kept", "Empty", REG_BINARY, "");
    SetValue(root + "\\Kept\\Deeper\\Deepest", "Bytes", REG_BINARY, std::string("\0\xff\x10", 3));
    const std::vector<std::string> before = TreeContents(root + "\\Kept");

    CRegistrySnapshot kept;
    ASSERT_TRUE(kept.Take(root + "\\Kept"));
    CRegistrySnapshot missing;
    ASSERT_TRUE(missing.Take(root + "\\New\\Below\\Lowest"));
    EXPECT_EQ(missing.KeyPath(), root + "\\New");
    EXPECT_FALSE(missing.Existed());

    // What a run might do: change, add, delete, and make new keys.
    SetValue(root + "\\Kept", "Number", REG_DWORD, std::string("\1\0\0\0", 4));
    SetValue(root + "\\Kept", "Added", REG_SZ, std::string("x\0", 2));
    SetValue(root + "\\Kept\\Added\\Key", "v", REG_SZ, std::string("y\0", 2));
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, root + "\\Kept\\Deeper\\Deepest");
    SetValue(root + "\\New\\Below\\Lowest", "v", REG_SZ, std::string("z\0", 2));

    // Through the journal's text, as a next start reads it.
    CRegistrySnapshot read;
    ASSERT_TRUE(read.Parse(kept.KeyPath(), kept.Existed(), kept.Serialize()));
    ASSERT_TRUE(read.Restore());
    ASSERT_TRUE(missing.Restore());
    EXPECT_EQ(TreeContents(root + "\\Kept"), before);
    EXPECT_FALSE(KeyExists(root + "\\New"));
    EXPECT_TRUE(KeyExists(root));
    EXPECT_FALSE(read.Parse(root, true, "v\tonly two\n"));
}

// A run that was killed: its journal, read back by the next start, undoes
// the folders, files and registry keys it had changed; the same journal
// with its commit only deletes what the run had set aside.
TEST_F(UndoJournalTest, AJournalReadBackUndoesAKilledRunOrFinishesACommittedOne)
{
    for (const bool committed : {false, true})
    {
        SCOPED_TRACE(committed ? "committed" : "killed");
        const std::string folder = scratch / "Made";
        const std::string replaced = scratch / "replaced.txt";
        const std::string journalPath = scratch / "run.journal";
        const std::string earlierFolder = scratch / "Earlier";
        ASSERT_TRUE(WriteTextFile(replaced, "earlier"));
        ASSERT_TRUE(::CreateDirectoryA(earlierFolder.c_str(), nullptr) || FolderExists(earlierFolder));
        SetString(SCRATCH_KEY, "Kept", "earlier");
        {
            CTestContext run;
            CUndoJournal& journal = run.UndoJournal();
            ASSERT_TRUE(journal.Begin(journalPath, {true, 2092, "C:\\Lumiro"}));
            ASSERT_EQ(MakeFolder(run, folder), FolderMaking::Made);
            // A folder there before is the run's no more than one it was
            // killed before making.
            ASSERT_EQ(MakeFolder(run, earlierFolder), FolderMaking::AlreadyThere);
            ASSERT_TRUE(journal.NoteFolderToMake(scratch / "Never"));
            ASSERT_TRUE(journal.NoteNewFile(folder + "\\new.txt"));
            ASSERT_TRUE(WriteTextFile(folder + "\\new.txt", "new"));
            ASSERT_TRUE(journal.SetAside(replaced));
            ASSERT_TRUE(WriteTextFile(replaced, "replaced"));
            ASSERT_TRUE(journal.SaveRegistryKey(SCRATCH_KEY));
            ASSERT_TRUE(journal.SaveRegistryKey(std::string(SCRATCH_KEY) + "\\Below")) << "kept with its parent";
            SetString(SCRATCH_KEY, "Kept", "changed");
            SetString(std::string(SCRATCH_KEY) + "\\Below", "New", "new");
            if (committed)
                journal.Commit(run.Parts().Seams());
            else
                ASSERT_TRUE(CopyFileA(journalPath.c_str(), (journalPath + ".left").c_str(), FALSE));
        }
        if (!committed)
        {
            // The run's own object went with its process; the file stays.
            ASSERT_TRUE(MoveFileExA((journalPath + ".left").c_str(), journalPath.c_str(), MOVEFILE_REPLACE_EXISTING));
            CUndoJournal next(true);
            ASSERT_TRUE(next.Load(journalPath));
            EXPECT_FALSE(next.Committed());
            EXPECT_TRUE(next.Run().upgrade);
            EXPECT_EQ(next.Run().build, 2092u);
            EXPECT_EQ(next.Rollback(context.Parts().Seams()), std::vector<std::string>{});
            EXPECT_FALSE(FolderExists(folder));
            EXPECT_TRUE(FolderExists(earlierFolder));
            EXPECT_EQ(ReadTextFile(replaced), "earlier");
            CRegistryKey key;
            ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, SCRATCH_KEY, KEY_READ));
            std::string value;
            EXPECT_TRUE(key.QueryString("Kept", value));
            EXPECT_EQ(value, "earlier");
            EXPECT_FALSE(KeyExists(std::string(SCRATCH_KEY) + "\\Below"));
        }
        else
        {
            EXPECT_EQ(ReadTextFile(folder + "\\new.txt"), "new");
            EXPECT_EQ(ReadTextFile(replaced), "replaced");
            DeleteTree(folder);
        }
        EXPECT_TRUE(FilesMatching(scratch.Path(), "$old*.tmp").empty());
        EXPECT_FALSE(FileExists(journalPath));
    }
}

// An undo that cannot put an item back says which item and where it is now,
// and still undoes the rest.
TEST_F(UndoJournalTest, AnItemThatCannotBeUndoneIsNamedWithWhereItIsAndTheRestIsUndone)
{
    const std::string replaced = scratch / "replaced.txt";
    const std::string made = scratch / "made.txt";
    ASSERT_TRUE(WriteTextFile(replaced, "earlier"));
    CUndoJournal& journal = context.UndoJournal();
    ASSERT_TRUE(journal.NoteNewFile(made));
    ASSERT_TRUE(WriteTextFile(made, "new"));
    std::string aside;
    ASSERT_TRUE(journal.SetAside(replaced, &aside));
    ASSERT_TRUE(WriteTextFile(replaced, "replaced"));
    // The new file is held by another program, which lets nobody delete it.
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(replaced));

    const std::vector<std::string> failures = journal.Rollback(context.Parts().Seams());
    holder.Release();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("\"" + replaced + "\" could not be put back; its earlier version is kept as \"" +
                                    aside + "\" - ",
                                0),
              0u)
        << failures[0];
    EXPECT_EQ(events.notUndone, failures);
    EXPECT_EQ(ReadTextFile(aside), "earlier");
    EXPECT_FALSE(FileExists(made));
}
