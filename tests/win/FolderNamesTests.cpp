// Folder listings that answer the existence test for new files.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "install/FolderNames.h"

TEST(FolderNames, AnswersAbsentOnlyForPlainNamesTheListingLacks)
{
    CScratchFolder scratch("foldernames");
    ASSERT_TRUE(WriteTextFile(scratch / "Existing.TXT", "x"));
    ASSERT_TRUE(WriteTextFile(scratch / "a rather long file name.txt", "x"));
    ASSERT_TRUE(::CreateDirectoryA((scratch / "Sub").c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(scratch / "Sub\\inner.dll", "x"));
    char shortPath[MAX_PATH];
    ASSERT_NE(::GetShortPathNameA((scratch / "a rather long file name.txt").c_str(), shortPath, MAX_PATH), 0u);

    CFolderNames names;
    EXPECT_FALSE(names.MayExist(scratch / "new.dll"));
    EXPECT_TRUE(names.MayExist(scratch / "existing.txt")) << "names compare without case";
    EXPECT_TRUE(names.MayExist(shortPath)) << "a short name is a name of the folder";
    EXPECT_TRUE(names.MayExist(scratch / "sub"));
    EXPECT_TRUE(names.MayExist(scratch / "Sub\\INNER.dll"));
    EXPECT_FALSE(names.MayExist(scratch / "Sub\\other.dll"));
    // Names the system may read as other names are left to the disk.
    for (const char* name : {"new.dll.", "new.dll ", "NEWDLL~1.DLL", "n*.dll", "n\xC3\xA9w.dll"})
        EXPECT_TRUE(names.MayExist(scratch / name)) << name;
    EXPECT_TRUE(names.MayExist(scratch / "missing folder\\new.dll"));

    // A listing is read once: a file made behind its back stays unknown
    // until it is added or the listings are cleared.
    ASSERT_TRUE(WriteTextFile(scratch / "later.dll", "x"));
    EXPECT_FALSE(names.MayExist(scratch / "later.dll"));
    names.Add(scratch / "LATER.dll");
    EXPECT_TRUE(names.MayExist(scratch / "later.dll"));
    ASSERT_TRUE(WriteTextFile(scratch / "third.dll", "x"));
    names.Clear();
    EXPECT_TRUE(names.MayExist(scratch / "third.dll"));
}

TEST(FolderNames, LeavesAFolderWithNamesBeyondAsciiToTheDisk)
{
    CScratchFolder scratch("foldernames8bit");
    ASSERT_TRUE(WriteTextFile(scratch / "caf\xC3\xA9.txt", "x"));
    CFolderNames names;
    EXPECT_TRUE(names.MayExist(scratch / "new.dll"));
}
