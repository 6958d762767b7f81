// Merging the pending boot-time renames into WININIT.INI over real files: the
// section is found in any case, blank lines inside it go, the new lines come
// before the next section, and every other byte is written back as it was.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/PackageInstall.h"
#include "install/WininitRenames.h"
#include "framework/Handles.h"

namespace
{
class WininitMergeTest : public ::testing::Test
{
protected:
    WininitMergeTest() : windows("wininit"), queue(windows.Path())
    {
        context.SetPrompts(&prompts);
        context.SetBootQueue(&queue);
        queue.m_arrBootRenames = {"NUL=C:\\LUMIRO\\PROGRA~1\\A.DLL", "C:\\LUMIRO\\PROGRA~1\\A.DLL=C:\\LUMIRO\\PROGRA~1\\$TMP0001.TMP"};
    }

    std::string Wininit() const { return ReadTextFile(windows / "WININIT.INI"); }

    // The files in the Windows folder: the merge leaves no file of its own.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        unique_hfind find(::FindFirstFileA((windows / "*").c_str(), &data));
        if (find)
            do
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    names.push_back(data.cFileName);
            while (::FindNextFileA(find.get(), &data));
        return names;
    }

    CScratchFolder windows;
    // Windows 9x's queue on the scratch Windows folder.
    CWininitQueue queue;
    CTestContext context;
    CScriptedPrompts prompts;
};

const std::string PENDING = "NUL=C:\\LUMIRO\\PROGRA~1\\A.DLL\r\n"
                            "C:\\LUMIRO\\PROGRA~1\\A.DLL=C:\\LUMIRO\\PROGRA~1\\$TMP0001.TMP\r\n";
} // namespace

TEST_F(WininitMergeTest, WithoutAFileCreatesTheSectionWithThePendingLines)
{
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "[rename]\r\n" + PENDING);
    EXPECT_TRUE(queue.m_arrBootRenames.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(WininitMergeTest, LinesGoBeforeTheNextSectionAndBlankLinesInsideTheSectionGo)
{
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "; kept\r\n\r\n  [Rename]  \r\n\r\n \t\r\n[other]\r\nx=1\r\n\r\n"));
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "; kept\r\n\r\n  [Rename]  \r\n" + PENDING + "[other]\r\nx=1\r\n\r\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"WININIT.INI"});
    EXPECT_TRUE(context.m_bRebootNeeded);
}

TEST_F(WininitMergeTest, ExistingRenamesStayAndTheFirstSectionIsTheOneUsed)
{
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "[RENAME]\r\nNUL=C:\\OLD.DLL\r\n\r\n[rename]\r\nb=c\r\n"));
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "[RENAME]\r\nNUL=C:\\OLD.DLL\r\n" + PENDING + "[rename]\r\nb=c\r\n");
}

TEST_F(WininitMergeTest, WithoutASectionAppendsOneAtTheEnd)
{
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "[boot]\r\nshell=x\r\n"));
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "[boot]\r\nshell=x\r\n[rename]\r\n" + PENDING);
}

TEST_F(WininitMergeTest, SecondPackagesLinesFollowTheFirstOnes)
{
    EXPECT_TRUE(CommitBootReplacements(context));
    queue.m_arrBootRenames = {"NUL=C:\\B.DLL", "C:\\B.DLL=C:\\$TMP0001.TMP"};
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "[rename]\r\n" + PENDING + "NUL=C:\\B.DLL\r\nC:\\B.DLL=C:\\$TMP0001.TMP\r\n");
}

TEST_F(WininitMergeTest, LinesLongerThanTheLineBufferComeBackUnchanged)
{
    const std::string longOther = "k=" + std::string(3000, 'x');
    const std::string longRename = "C:\\" + std::string(1021, 'y') + "=C:\\Z";
    ASSERT_EQ(longRename.size(), 1029u);
    const std::string exact = std::string(1023, 'e');
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", "[a]\r\n" + longOther + "\r\n" + exact + "\r\n[rename]\r\n" +
                                                           longRename + "\r\n[b]\r\n" + longOther));
    EXPECT_TRUE(CommitBootReplacements(context));
    EXPECT_EQ(Wininit(), "[a]\r\n" + longOther + "\r\n" + exact + "\r\n[rename]\r\n" + longRename + "\r\n" + PENDING +
                             "[b]\r\n" + longOther + "\r\n");
}

TEST_F(WininitMergeTest, FileThatCannotBeWrittenIsReportedAndThePendingLinesAreDropped)
{
    CWininitQueue missing(windows / "missing");
    missing.m_arrBootRenames = queue.m_arrBootRenames;
    context.SetBootQueue(&missing);
    EXPECT_FALSE(CommitBootReplacements(context));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to create WININIT.INI system file - " + SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(missing.m_arrBootRenames.empty());
}

TEST_F(WininitMergeTest, FileHeldByAnotherOpenIsLeftUnchanged)
{
    const std::string original = "[rename]\r\nNUL=C:\\OLD.DLL\r\n";
    ASSERT_TRUE(WriteTextFile(windows / "WININIT.INI", original));
    {
        // Held without sharing: neither the read nor the write gets in.
        unique_hfile held(::CreateFileA((windows / "WININIT.INI").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(CommitBootReplacements(context));
    }
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to create WININIT.INI system file - " + SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Wininit(), original);
    EXPECT_EQ(Files(), std::vector<std::string>{"WININIT.INI"});
    EXPECT_FALSE(context.m_bRebootNeeded);
}
