// Room on the drives before an installation writes anything, on a drive
// that is small for real: X: is a 1 MiB tmpfs (made by the small_drive_mount
// test). A destination without room stops the installation with the folder,
// the space needed and the space free, before any folder is made; files are
// counted in whole clusters; destinations on one volume add up; a folder
// that does not exist yet is judged by its nearest existing parent.
#include <gtest/gtest.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "framework/MessageFormat.h"
#include "install/FreeSpace.h"
#include "install/PackageInstall.h"
#include "install/SetupProgramCopy.h"
#include "run/InstallSequence.h"

namespace
{
// The packages of a run in the scratch folder: the application package with
// two files and a folder, the runtime package with one file.
class SpaceTest : public ::testing::Test
{
protected:
    SpaceTest() : scratch("free-space")
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
    }

    void SetUp() override
    {
        context.m_strSourceDir = scratch.Path() + "\\";
        context.m_strSystemDir = scratch / "system";
        context.m_strInstallPath = scratch / "Lumiro";
        ASSERT_TRUE(WriteApplicationPackage({FileEntry(L"Reader.exe", std::string(300000, 'r')),
                                             KindEntry(L"Help", 1), FileEntry(L"Help\\a.txt", "abc")}));
        ASSERT_TRUE(WriteRuntimePackage({FileEntry(L"LumRtl.dll", std::string(5000, 'l'))}));
    }

    bool WriteApplicationPackage(const std::vector<TestEntry>& entries)
    {
        return WriteTestPackage(context.m_strSourceDir + ApplicationPackageName(context), true, entries);
    }
    bool WriteRuntimePackage(const std::vector<TestEntry>& entries)
    {
        return WriteTestPackage(context.m_strSourceDir + RuntimePackageName(context), true, entries);
    }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
};

// The same on the small drive, whose folder X:\space each test makes anew.
class SmallDriveTest : public SpaceTest
{
protected:
    void SetUp() override
    {
        if (!FolderExists("X:\\"))
            GTEST_SKIP() << "no small drive X: (mounting a tmpfs needs root); see small_drive_mount";
        DeleteTree(folder);
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
        SpaceTest::SetUp();
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
        ASSERT_TRUE(::GetDiskFreeSpaceA("X:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
        cluster = ULONGLONG(sectorsPerCluster) * bytesPerSector;
        ULARGE_INTEGER available{}, total{}, free{};
        ASSERT_TRUE(::GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free));
        freeBytes = available.QuadPart;
        ASSERT_GE(cluster, 512u);
        ASSERT_GT(freeBytes, 100 * cluster) << "X: is nearly full";
    }
    void TearDown() override { DeleteTree(folder); }

    ULONGLONG Clusters(ULONGLONG bytes) const { return (bytes + cluster - 1) / cluster * cluster; }

    std::string RefusalText(const std::string& shownFolder, ULONGLONG needed) const
    {
        return "There is not enough free space for Lumiro on the drive of \"" + shownFolder + "\": " +
               FormatByteSize(needed, SizeRounding::Up) + " are needed there, and " +
               FormatByteSize(freeBytes, SizeRounding::Down) + " are free.";
    }

    const std::string folder = "X:\\space";
    ULONGLONG cluster = 0;
    ULONGLONG freeBytes = 0;
};
} // namespace

TEST_F(SpaceTest, AnInstallationAddsThePackagesFilesAndTheSetupProgram)
{
    const std::string program = RunningProgramPath();
    const std::vector<FolderDemand> demands = InstallationDemands(context);
    ASSERT_EQ(demands.size(), 3u);
    EXPECT_EQ(demands[0].folder, scratch / "Lumiro\\Programs");
    EXPECT_EQ(demands[0].shownFolder, scratch / "Lumiro");
    EXPECT_EQ(demands[0].fileSizes, (std::vector<ULONGLONG>{300000, 3})) << "File entries only";
    EXPECT_EQ(demands[1].folder, scratch / "Lumiro\\Setup");
    EXPECT_EQ(demands[1].shownFolder, scratch / "Lumiro");
    EXPECT_EQ(demands[1].fileSizes, std::vector<ULONGLONG>{FileSize(program)});
    EXPECT_GT(FileSize(program), 0u);
    EXPECT_EQ(demands[2].folder, scratch / "system");
    EXPECT_EQ(demands[2].shownFolder, scratch / "system");
    EXPECT_EQ(demands[2].fileSizes, std::vector<ULONGLONG>{5000});
}

TEST_F(SpaceTest, APackageThatCannotBeReadAddsNothing)
{
    ASSERT_TRUE(::DeleteFileA((context.m_strSourceDir + RuntimePackageName(context)).c_str()));
    ASSERT_TRUE(WriteTextFile(context.m_strSourceDir + ApplicationPackageName(context), "not a package"));
    const std::vector<FolderDemand> demands = InstallationDemands(context);
    ASSERT_EQ(demands.size(), 3u);
    EXPECT_TRUE(demands[0].fileSizes.empty());
    EXPECT_TRUE(demands[2].fileSizes.empty());
}

TEST_F(SpaceTest, FilesTakeWholeClusters)
{
    EXPECT_EQ(SpaceTaken({}, 4096), 0u);
    EXPECT_EQ(SpaceTaken({0, 1, 4096, 4097}, 4096), 0u + 4096 + 4096 + 8192);
    EXPECT_EQ(SpaceTaken({5000000000ULL}, 512), 5000000000ULL) << "beyond 4 GiB, a whole number of clusters";
}

TEST_F(SmallDriveTest, ADestinationWithoutRoomStopsTheInstallationBeforeAnythingIsMade)
{
    // Each destination in turn on X:, the other where there is room: the
    // install folder (with the setup's copy), then the system folder.
    struct Case
    {
        const char* name;
        std::string installPath;
        std::string systemDir;
    };
    const Case cases[] = {
        {"install folder", folder + "\\Apps\\Lumiro", scratch / "system"},
        {"system folder", scratch / "Lumiro", folder + "\\system32"},
    };
    const ULONGLONG large = 2 * freeBytes;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        prompts.shown.clear();
        progress.stages.clear();
        context.m_strInstallPath = c.installPath;
        context.m_strSystemDir = c.systemDir;
        ASSERT_TRUE(WriteApplicationPackage({FileEntry(L"Reader.exe", std::string(large, 'r')),
                                             FileEntry(L"a.txt", "abc")}));
        ASSERT_TRUE(WriteRuntimePackage({FileEntry(L"LumRtl.dll", std::string(large, 'l'))}));
        const bool onInstallFolder = c.installPath.compare(0, 2, "X:") == 0;
        const ULONGLONG program = FileSize(RunningProgramPath());
        const ULONGLONG needed =
            onInstallFolder ? Clusters(large) + Clusters(3) + Clusters(program) : Clusters(large);

        EXPECT_FALSE(RunInstall(context, context.Parts()));

        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, RefusalText(onInstallFolder ? c.installPath : c.systemDir, needed));
        EXPECT_TRUE(progress.stages.empty()) << "no stage began";
        EXPECT_FALSE(FolderExists(folder + "\\Apps"));
        EXPECT_FALSE(FolderExists(folder + "\\system32"));
        EXPECT_FALSE(FolderExists(scratch / "Lumiro"));
    }
}

TEST_F(SmallDriveTest, FilesThatFitInWholeClustersPassAndOneClusterMoreDoesNot)
{
    const std::string destination = folder + "\\Lumiro";
    const ULONGLONG fitting = freeBytes / cluster;
    // One byte each: the clusters, not the bytes, decide.
    EXPECT_TRUE(CheckRoomFor(context, {{destination, destination, std::vector<ULONGLONG>(fitting, 1)}}));
    EXPECT_TRUE(prompts.shown.empty());

    EXPECT_FALSE(CheckRoomFor(context, {{destination, destination, std::vector<ULONGLONG>(fitting + 1, 1)}}));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, RefusalText(destination, (fitting + 1) * cluster));
}

TEST_F(SmallDriveTest, DestinationsOnOneVolumeAddUpAndTheFirstOneIsNamed)
{
    // Each fits alone; the two together do not.
    const FolderDemand programs{folder + "\\Lumiro\\Programs", folder + "\\Lumiro", {freeBytes / 2 + cluster}};
    const FolderDemand system{folder + "\\system32", folder + "\\system32", {freeBytes / 2 + cluster}};
    const FolderDemand elsewhere{scratch / "other", scratch / "other", {freeBytes}};
    EXPECT_TRUE(CheckRoomFor(context, {programs, elsewhere}));
    EXPECT_TRUE(CheckRoomFor(context, {system, elsewhere}));
    EXPECT_TRUE(prompts.shown.empty());

    EXPECT_FALSE(CheckRoomFor(context, {programs, elsewhere, system}));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, RefusalText(folder + "\\Lumiro", 2 * Clusters(freeBytes / 2 + cluster)));
}

TEST_F(SmallDriveTest, AFolderNotMadeYetIsOnTheVolumeOfItsNearestExistingParent)
{
    VolumeSpace volume;
    ASSERT_TRUE(QueryVolumeSpace(folder + "\\not\\made\\yet", volume));
    EXPECT_EQ(volume.root, "X:\\");
    EXPECT_EQ(volume.clusterSize, cluster);
    EXPECT_EQ(volume.freeBytes, freeBytes);

    // Unlike the drive that holds the scratch folder.
    VolumeSpace scratchVolume;
    ASSERT_TRUE(QueryVolumeSpace(scratch / "not\\made", scratchVolume));
    EXPECT_NE(scratchVolume.root, "X:\\");
    EXPECT_GT(scratchVolume.freeBytes, freeBytes);
}

TEST_F(SpaceTest, AVolumeThatCannotBeToldIsLeftToTheStepThatWritesThere)
{
    // A drive letter no drive has, and a relative path.
    char missing[] = "?:\\";
    for (char letter = 'Q'; letter <= 'W' && missing[0] == '?'; ++letter)
    {
        const char root[] = {letter, ':', '\\', '\0'};
        if (::GetDriveTypeA(root) == DRIVE_NO_ROOT_DIR)
            missing[0] = letter;
    }
    ASSERT_NE(missing[0], '?') << "every drive letter from Q: to W: is in use";
    for (const std::string& path : {std::string(missing) + "Lumiro", std::string("Lumiro\\Programs")})
    {
        VolumeSpace volume;
        EXPECT_FALSE(QueryVolumeSpace(path, volume)) << path;
        EXPECT_TRUE(CheckRoomFor(context, {{path, path, {1}}})) << path;
    }
    EXPECT_TRUE(prompts.shown.empty());
}
