// Installing onto a drive that is full, for real: drive X: is a 1 MiB tmpfs
// (made by the small_drive_mount test), filled up before each write. The
// user is told why, nothing of ours is left behind, and what was there
// before stays byte for byte.
#include <gtest/gtest.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/FileWriter.h"
#include "install/PackageInstall.h"
#include "install/WininitRenames.h"
#include "package/PackageFile.h"

namespace
{
// Bytes that no compression makes smaller than the free space on X:.
std::string Incompressible(size_t size, unsigned seed)
{
    std::string data(size, '\0');
    for (char& c : data)
    {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return data;
}

class DiskFullTest : public ::testing::Test
{
protected:
    DiskFullTest() : scratch("disk-full") { context.SetPrompts(&prompts); }

    void SetUp() override
    {
        if (!FolderExists("X:\\"))
            GTEST_SKIP() << "no small drive X: (mounting a tmpfs needs root); see small_drive_mount";
        DeleteTree(folder);
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    }

    void TearDown() override { DeleteTree(folder); }

    // Grows a filler file until the system reports the disk full.
    void FillDrive()
    {
        unique_hfile filler(::CreateFileA((folder + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          0, nullptr));
        ASSERT_TRUE(filler.valid());
        const std::string block(4096, 'f');
        for (const size_t piece : {size_t(4096), size_t(1)})
        {
            DWORD written = 0;
            while (::WriteFile(filler.get(), block.data(), DWORD(piece), &written, nullptr) && written == piece)
                ;
        }
        ASSERT_EQ(::GetLastError(), DWORD(ERROR_DISK_FULL));
    }

    CScratchFolder scratch;
    const std::string folder = "X:\\lumiro";
    CTestContext context;
    CScriptedPrompts prompts;
};
} // namespace

TEST_F(DiskFullTest, FileThatDoesNotFitIsReportedAndTheOlderCopyStays)
{
    const std::string target = folder + "\\Reader.dll";
    const std::string oldCopy = Incompressible(100000, 1);
    for (const auto& version : {std::make_pair(1, oldCopy), std::make_pair(2, Incompressible(200000, 2))})
    {
        CPackageFile package;
        const std::string path = scratch / ("v" + std::to_string(version.first) + ".pkg");
        ASSERT_TRUE(WriteTestPackage(path, true, {FileEntry(L"Reader.dll", version.second)}));
        ASSERT_TRUE(package.Open(path.c_str(), FALSE));
        if (version.first == 2)
            FillDrive();
        const bool written = CFileWriter(context).WriteFileFromPackage(package, package.GetCatalog().GetAt(0), 0, target) !=
                             FileWriteResult::Failed;
        package.Close();
        EXPECT_EQ(written, version.first == 1);
    }

    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Write to file failed - " + SystemErrorText(ERROR_DISK_FULL));
    EXPECT_TRUE(TemporaryFiles(folder).empty());
    EXPECT_TRUE(ReadTextFile(target) == oldCopy);
}

TEST_F(DiskFullTest, WininitThatDoesNotFitIsReportedAndLeftAsItWas)
{
    CWininitQueue queue(folder);
    context.SetBootQueue(&queue);
    const std::string original = "[rename]\r\nNUL=C:\\OTHER.DLL\r\n\r\n[boot]\r\nshell=x\r\n";
    ASSERT_TRUE(WriteTextFile(folder + "\\WININIT.INI", original));
    const std::string temporary = folder + "\\$tmp0001.tmp";
    ASSERT_TRUE(WriteTextFile(temporary, ""));
    queue.m_arrBootRenames = {"NUL=" + folder + "\\A.DLL", folder + "\\A.DLL=" + temporary};
    FillDrive();

    EXPECT_FALSE(CommitBootReplacements(context));

    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Failed to create WININIT.INI system file - " + SystemErrorText(ERROR_DISK_FULL));
    EXPECT_EQ(ReadTextFile(folder + "\\WININIT.INI"), original);
    EXPECT_FALSE(FileExists(folder + "\\WININIT.$NW"));
    EXPECT_FALSE(FileExists(temporary));
    EXPECT_TRUE(queue.m_arrBootRenames.empty());
    EXPECT_FALSE(context.m_bRebootNeeded);
}

TEST_F(DiskFullTest, LargeFileWrittenByTheSecondThreadReportsTheFullDisk)
{
    // Large enough to be written behind the expansion, far larger than X:.
    const std::string target = folder + "\\Large.dat";
    const std::string path = scratch / "large.pkg";
    ASSERT_TRUE(WriteTestPackage(path, true, {FileEntry(L"Large.dat", Incompressible(6 * 1024 * 1024, 3))}));
    CPackageFile package;
    ASSERT_TRUE(package.Open(path.c_str(), FALSE));
    EXPECT_EQ(CFileWriter(context).WriteFileFromPackage(package, package.GetCatalog().GetAt(0), 0, target),
              FileWriteResult::Failed);
    package.Close();

    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Write to file failed - " + SystemErrorText(ERROR_DISK_FULL));
    EXPECT_TRUE(TemporaryFiles(folder).empty());
    EXPECT_FALSE(FileExists(target));
}
