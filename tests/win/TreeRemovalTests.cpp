// Removing folder trees from the real file system of the test prefix: file
// attributes, a file held by another process, a missing folder, and links
// that lead out of the tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/TreeRemoval.h"

namespace
{
class TreeRemovalTest : public ::testing::Test
{
protected:
    TreeRemovalTest() : scratch("tree-removal") { context.SetPrompts(&prompts); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : prompts.shown)
        {
            EXPECT_EQ(shown.type, unsigned(MB_OK)) << shown.text;
            texts.push_back(shown.text);
        }
        return texts;
    }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
};

std::string FolderMessage(const std::string& path, DWORD error)
{
    return "Unable to delete folder \"" + path + "\" because " + SystemErrorText(error) + ".";
}

std::string FileMessage(const std::string& path, DWORD error)
{
    return "Unable to delete file \"" + path + "\" because " + SystemErrorText(error) + ".";
}

// Writes a file and gives it the attributes (0 for none); the test relies
// on the system keeping them.
void PlantFile(const std::string& path, DWORD attributes)
{
    ASSERT_TRUE(WriteTextFile(path, "contents"));
    if (!attributes)
        return;
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attributes));
    ASSERT_EQ(::GetFileAttributesA(path.c_str()) & attributes, attributes) << path;
}
} // namespace

TEST_F(TreeRemovalTest, ForcedRemovalTakesReadOnlyHiddenAndSystemFilesAndEmptyFolders)
{
    const std::string top = scratch / "Lumiro";
    for (const char* folder : {"", "\\Programs", "\\Configuration", "\\Configuration\\Machine", "\\Logs"})
        ASSERT_TRUE(::CreateDirectoryA((top + folder).c_str(), nullptr));
    PlantFile(top + "\\Programs\\ReaderNT.exe", FILE_ATTRIBUTE_READONLY);
    PlantFile(top + "\\Programs\\hidden.dat", FILE_ATTRIBUTE_HIDDEN);
    PlantFile(top + "\\Configuration\\Machine\\system.cfg", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    PlantFile(top + "\\notes.txt", 0);

    RemoveFolderTree(context, top, true);

    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_FALSE(FolderExists(top));
    EXPECT_TRUE(FolderExists(scratch.Path()));
}

TEST_F(TreeRemovalTest, WithoutForceAReadOnlyFileStaysAndIsReportedWithItsFolder)
{
    const std::string top = scratch / "Lumiro";
    ASSERT_TRUE(::CreateDirectoryA(top.c_str(), nullptr));
    PlantFile(top + "\\locked.txt", FILE_ATTRIBUTE_READONLY);
    PlantFile(top + "\\plain.txt", 0);

    RemoveFolderTree(context, top, false);

    EXPECT_EQ(Messages(), (std::vector<std::string>{FileMessage(top + "\\locked.txt", ERROR_ACCESS_DENIED),
                                                    FolderMessage(top, ERROR_DIR_NOT_EMPTY)}));
    EXPECT_TRUE(FileExists(top + "\\locked.txt"));
    EXPECT_FALSE(FileExists(top + "\\plain.txt"));
}

TEST_F(TreeRemovalTest, FileHeldByAnotherProgramIsReportedWithEveryFolderAboveItAndTheRestGoes)
{
    const std::string top = scratch / "Lumiro";
    for (const char* folder : {"", "\\Programs", "\\Programs\\Controls", "\\Logs"})
        ASSERT_TRUE(::CreateDirectoryA((top + folder).c_str(), nullptr));
    const std::string held = top + "\\Programs\\Controls\\UiCtlsU.ocx";
    PlantFile(held, 0);
    PlantFile(top + "\\Programs\\Controls\\other.dll", FILE_ATTRIBUTE_READONLY);
    PlantFile(top + "\\Logs\\today.log", 0);
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(held));

    EXPECT_FALSE(RemoveFolderTree(context, top, true)) << "an item stays";
    holder.Release();

    EXPECT_EQ(Messages(), (std::vector<std::string>{FileMessage(held, ERROR_SHARING_VIOLATION),
                                                    FolderMessage(top + "\\Programs\\Controls", ERROR_DIR_NOT_EMPTY),
                                                    FolderMessage(top + "\\Programs", ERROR_DIR_NOT_EMPTY),
                                                    FolderMessage(top, ERROR_DIR_NOT_EMPTY)}));
    // Nothing is queued for the next start of Windows: the held file stays.
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(FileExists(top + "\\Programs\\Controls\\other.dll"));
    EXPECT_FALSE(FolderExists(top + "\\Logs"));
}

TEST_F(TreeRemovalTest, NamesBeyondMaxPathOrTheCodePageAreRemovedOnTheNtFamily)
{
    if (!RunsAsNt())
        GTEST_SKIP() << "Windows 9x has no wide-character file calls";
    // Folders deep enough that the file's path passes MAX_PATH, and a name
    // the ANSI code page cannot spell: both made through the "\\?\" form, as
    // another program could have.
    const std::string top = scratch / "Lumiro";
    std::wstring path = L"\\\\?\\" + std::wstring(top.begin(), top.end());
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    while (path.size() < MAX_PATH + 20)
    {
        path += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    }
    for (const std::wstring& name : {std::wstring(L"deep.txt"), std::wstring(L"\x4E2D\x6587.txt")})
    {
        unique_hfile file(::CreateFileW((path + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_READONLY, nullptr));
        ASSERT_TRUE(file);
    }
    const std::wstring foreign = L"\\\\?\\" + std::wstring(top.begin(), top.end()) + L"\\\x4E2D\x6587";
    ASSERT_TRUE(::CreateDirectoryW(foreign.c_str(), nullptr));

    EXPECT_TRUE(RemoveFolderTree(context, top, true));

    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_FALSE(FolderExists(top));
}

TEST_F(TreeRemovalTest, MissingTopFolderIsReportedWithTheSystemsReason)
{
    const std::string top = scratch / "NoSuchFolder";

    RemoveFolderTree(context, top, true);

    EXPECT_EQ(Messages(), std::vector<std::string>{FolderMessage(top, ERROR_FILE_NOT_FOUND)});
}

TEST_F(TreeRemovalTest, FileThatIsAlreadyGoneIsPassedOverSilently)
{
    DeleteOneFile(context, scratch / "vanished.txt", true);
    DeleteOneFile(context, scratch / "vanished.txt", false);

    EXPECT_EQ(Messages(), std::vector<std::string>{});
}

// C:\lumiro-links is planted from outside Wine by a ctest fixture
// (plant_links.sh): tree\sub\file.txt, tree\link -> outside (with files),
// tree\emptylink -> emptyoutside (empty), tree\filelink ->
// outside\keep.txt, toplink -> outside. Wine shows a Unix link to a folder
// as a folder with FILE_ATTRIBUTE_REPARSE_POINT, one to a file as a plain
// file.
TEST_F(TreeRemovalTest, LinksOutOfTheTreeAreNeverFollowedAndTheirTargetsStay)
{
    const std::string root = "C:\\lumiro-links";
    for (const char* link : {"\\tree\\link", "\\tree\\emptylink", "\\toplink"})
    {
        const DWORD attributes = ::GetFileAttributesA((root + link).c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << link << ": run through ctest, which plants the links";
        ASSERT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << link;
    }

    RemoveFolderTree(context, root + "\\tree", true);
    RemoveFolderTree(context, root + "\\toplink", true);

    EXPECT_EQ(ReadTextFile(root + "\\outside\\keep.txt"), "keep\n");
    EXPECT_EQ(ReadTextFile(root + "\\outside\\inner\\deep.txt"), "deep\n");
    // Removing the link to an empty folder as a folder must not take the
    // folder it points to.
    EXPECT_TRUE(FolderExists(root + "\\emptyoutside"));
    EXPECT_FALSE(FolderExists(root + "\\tree\\sub"));

    // A link the system cannot remove without reaching its target (Wine
    // opens the target even when asked for the link) stays and is reported,
    // and so is the folder that therefore stays.
    std::vector<std::string> expected;
    for (const char* link : {"\\tree\\emptylink", "\\tree\\link"})
    {
        if (FolderExists(root + link))
            expected.push_back(FolderMessage(root + link, ERROR_NOT_SUPPORTED));
    }
    // A link to a file that the system does not mark as a link stays too.
    if (FileExists(root + "\\tree\\filelink"))
        expected.push_back(FileMessage(root + "\\tree\\filelink", ERROR_NOT_SUPPORTED));
    if (!expected.empty())
        expected.push_back(FolderMessage(root + "\\tree", ERROR_DIR_NOT_EMPTY));
    if (FolderExists(root + "\\toplink"))
        expected.push_back(FolderMessage(root + "\\toplink", ERROR_NOT_SUPPORTED));
    std::vector<std::string> messages = Messages();
    std::sort(messages.begin(), messages.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(messages, expected);
}
