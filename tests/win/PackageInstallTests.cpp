// Installing packages from a scratch "medium" folder into scratch system and
// install folders (NT family): package names, build check, entry kinds,
// subfolders, status lines and entry names that would leave the destination.
#include <gtest/gtest.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/PackageInstall.h"
#include "install/EntryNameText.h"
#include "package/PackageCatalog.h"

namespace
{
class PackageInstallTest : public ::testing::Test
{
protected:
    PackageInstallTest() : scratch("packages")
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
        ::CreateDirectoryA((scratch / "media").c_str(), nullptr);
        ::CreateDirectoryA((scratch / "system").c_str(), nullptr);
        ::CreateDirectoryA((scratch / "Lumiro").c_str(), nullptr);
        ::CreateDirectoryA((scratch / "Lumiro\\Programs").c_str(), nullptr);
        context.m_strSourceDir = scratch / "media\\";
        context.m_strSystemDir = scratch / "system";
        context.m_strInstallPath = scratch / "Lumiro";
    }

    void Package(const std::string& name, const std::vector<TestEntry>& entries, LONG build = 2093)
    {
        ASSERT_TRUE(WriteTestPackage(scratch / ("media\\" + name), true, entries, build));
    }

    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (const auto& item : prompts.shown)
            texts.push_back(item.text);
        return texts;
    }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
};
} // namespace

TEST_F(PackageInstallTest, NtPackagesGoToTheSystemFolderAndToPrograms)
{
    Package("RTDLL_NT.PKG", {FileEntry(L"LumRtl.dll", "runtime")});
    Package("APPS_NT.PKG", {FileEntry(L"ReaderNT.exe", "reader")});
    Package("RTDLL_95.PKG", {FileEntry(L"wrong.dll", "95")});

    EXPECT_TRUE(InstallPackages(context));
    EXPECT_EQ(ReadTextFile(scratch / "system\\LumRtl.dll"), "runtime");
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\ReaderNT.exe"), "reader");
    EXPECT_FALSE(FileExists(scratch / "system\\wrong.dll"));
    EXPECT_EQ(progress.stages, std::vector<std::string>{"Installing files"});
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"", "LumRtl.dll", "ReaderNT.exe"}));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PackageInstallTest, MissingRuntimePackageIsReportedAndNothingIsInstalled)
{
    Package("APPS_NT.PKG", {FileEntry(L"ReaderNT.exe", "reader")});
    EXPECT_FALSE(InstallPackages(context));
    EXPECT_EQ(Shown(), std::vector<std::string>{"Failed to open the package \"RTDLL_NT.PKG\" - " +
                                                SystemErrorText(ERROR_FILE_NOT_FOUND)});
    EXPECT_FALSE(FileExists(scratch / "Lumiro\\Programs\\ReaderNT.exe"));
}

TEST_F(PackageInstallTest, FileThatIsNoPackageIsReportedAsCorrupt)
{
    ASSERT_TRUE(WriteTextFile(scratch / "media\\RTDLL_NT.PKG", std::string(300, 'x')));
    EXPECT_FALSE(InstallPackage(context, "RTDLL_NT.PKG", context.m_strSystemDir));
    EXPECT_EQ(Shown(), std::vector<std::string>{"Failed to open the package \"RTDLL_NT.PKG\" - " +
                                                SystemErrorText(ERROR_FILE_CORRUPT)});
}

TEST_F(PackageInstallTest, PackageOfAnotherBuildIsRefusedBeforeAnythingIsWritten)
{
    for (const LONG build : {2092L, 2094L})
    {
        SCOPED_TRACE(build);
        prompts.shown.clear();
        Package("RTDLL_NT.PKG", {FileEntry(L"LumRtl.dll", "runtime")}, build);
        EXPECT_FALSE(InstallPackage(context, "RTDLL_NT.PKG", context.m_strSystemDir));
        EXPECT_EQ(Shown(), std::vector<std::string>{"The package file \"RTDLL_NT.PKG\" is from a different build."});
        EXPECT_FALSE(FileExists(scratch / "system\\LumRtl.dll"));
    }
}

TEST_F(PackageInstallTest, ConfigObjAfterThreeFilesKeepsTheThreeAndStops)
{
    for (const LONG kind : {LONG(entryConfigObj), LONG(entryLexiconSeg)})
    {
        SCOPED_TRACE(kind);
        prompts.shown.clear();
        for (const char* name : {"a.dll", "b.dll", "c.dll"})
            ::DeleteFileA((scratch / "Lumiro\\Programs\\" + name).c_str());
        Package("APPS_NT.PKG", {FileEntry(L"a.dll", "a"), FileEntry(L"b.dll", "b"), FileEntry(L"c.dll", "c"),
                                KindEntry(L"settings", kind), FileEntry(L"d.dll", "d")});
        EXPECT_FALSE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
        EXPECT_EQ(Shown(), std::vector<std::string>{"The package file \"APPS_NT.PKG\" is corrupt."});
        for (const char* name : {"a.dll", "b.dll", "c.dll"})
            EXPECT_TRUE(FileExists(scratch / "Lumiro\\Programs\\" + name)) << name;
        EXPECT_FALSE(FileExists(scratch / "Lumiro\\Programs\\d.dll"));
        EXPECT_EQ(progress.status, "settings");
    }
}

TEST_F(PackageInstallTest, EmptyCatalogSucceedsWithoutInstallingAnything)
{
    Package("APPS_NT.PKG", {});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_TRUE(progress.statuses.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PackageInstallTest, DirectoryEntryShowsItsNameAndMakesItsFolder)
{
    Package("APPS_NT.PKG", {KindEntry(L"Help", entryDirectory), KindEntry(L"Docs\\en\\empty", entryDirectory)});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"Help", "Docs\\en\\empty"}));
    EXPECT_TRUE(FolderExists(scratch / "Lumiro\\Programs\\Help"));
    EXPECT_TRUE(FolderExists(scratch / "Lumiro\\Programs\\Docs\\en\\empty"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(PackageInstallTest, FoldersOfNestedEntriesAreMadeAsNeededAndAFileInTheWayStopsWithItsName)
{
    Package("APPS_NT.PKG", {FileEntry(L"Help\\en\\index.txt", "index"), FileEntry(L"Help/en/more.txt", "more"),
                            FileEntry(L"Help\\de\\index.txt", "Inhalt")});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Help\\en\\index.txt"), "index");
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Help\\en\\more.txt"), "more");
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Help\\de\\index.txt"), "Inhalt");
    EXPECT_TRUE(prompts.shown.empty());

    ASSERT_TRUE(WriteTextFile(scratch / "Lumiro\\Programs\\Notes", "a file, not a folder"));
    Package("APPS_NT.PKG", {FileEntry(L"Notes\\a.txt", "a")});
    EXPECT_FALSE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_EQ(Shown().back(), "Failed to create the directory \"" + scratch / "Lumiro\\Programs\\Notes" +
                                  "\" because " + SystemErrorText(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Notes"), "a file, not a folder");
}

TEST_F(PackageInstallTest, TargetsThatWouldNotFitMaxPathOrAreFoldersAreRefusedBeforeAnythingIsWritten)
{
    const std::string programs = scratch / "Lumiro\\Programs";
    // A name that makes the full path exactly MAX_PATH characters, and one
    // shorter that fits.
    const std::wstring longName(MAX_PATH - programs.size() - 1, L'n');
    const std::string longTarget = programs + "\\" + std::string(longName.begin(), longName.end());
    Package("APPS_NT.PKG", {FileEntry(longName.substr(1), "fits"), FileEntry(longName, "too long")});
    EXPECT_FALSE(InstallPackage(context, "APPS_NT.PKG", programs));
    EXPECT_EQ(Shown(), std::vector<std::string>{"The file \"" + longTarget +
                                                "\" cannot be installed because its full path is longer than Windows allows."});
    EXPECT_EQ(ReadTextFile(programs + "\\" + std::string(longName.begin() + 1, longName.end())), "fits");
    EXPECT_FALSE(FileExists(longTarget));
    EXPECT_TRUE(TemporaryFiles(programs).empty());

    // A folder (holding a person's file) where a file entry goes.
    prompts.shown.clear();
    ASSERT_TRUE(::CreateDirectoryA((programs + "\\ZZDir").c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(programs + "\\ZZDir\\inner.txt", "kept"));
    Package("APPS_NT.PKG", {FileEntry(L"ZZDir", "file")});
    EXPECT_FALSE(InstallPackage(context, "APPS_NT.PKG", programs));
    EXPECT_EQ(Shown(), std::vector<std::string>{"The file \"" + programs +
                                                "\\ZZDir\" cannot be installed because a folder of that name is in its place."});
    EXPECT_EQ(ReadTextFile(programs + "\\ZZDir\\inner.txt"), "kept");
    EXPECT_TRUE(TemporaryFiles(programs).empty());
    EXPECT_TRUE(prompts.replaceQuestions.empty());
    EXPECT_FALSE(context.m_bRebootNeeded);
    EXPECT_TRUE(ReadPendingRenames().empty());
}

TEST_F(PackageInstallTest, SubfolderEntryIsWrittenBelowTheDestinationAndShowsItsOwnName)
{
    Package("APPS_NT.PKG", {FileEntry(L"Help\\reader.hlp", "help")});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Help\\reader.hlp"), "help");
    EXPECT_EQ(progress.statuses, std::vector<std::string>{"Help\\reader.hlp"});
}

TEST_F(PackageInstallTest, DestinationEndingInABackslashGetsNoSecondOne)
{
    // The folder does not exist, so the writer names the file it wanted:
    // built from the target path, it shows the single backslash.
    Package("RTDLL_NT.PKG", {FileEntry(L"LumRtl.dll", "runtime")});
    EXPECT_FALSE(InstallPackage(context, "RTDLL_NT.PKG", scratch / "root\\"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text.rfind("Failed to create the file \"" + scratch / "root\\LumRtl.dll\"", 0), 0u)
        << prompts.shown[0].text;
}

TEST_F(PackageInstallTest, EntryNameThatWouldLeaveTheDestinationMakesThePackageCorrupt)
{
    ::CreateDirectoryA((scratch / "Lumiro\\Programs\\sub").c_str(), nullptr);
    const std::wstring unsafe[] = {
        L"..\\evil.dll", L"sub\\..\\..\\evil.dll", L"../evil.dll", L"\\evil.dll", L"/evil.dll", L"C:evil.dll",
        L"C:\\evil.dll", L"evil.dll:stream", L"", L"...\\evil.dll", L". .\\evil.dll", L"sub\\\\evil.dll",
        L"evil.dll\\", L"sub\\.", L"CON", L"sub\\nul.txt", L"Com1.dll", L"lpt9", L"AUX .log", L"sub/PRN",
        // Full-width dots and backslash: no "best fit" turns them into a step up.
        L"\xFF0E\xFF0E\xFF3C" L"evil.dll",
    };
    for (const std::wstring& name : unsafe)
    {
        prompts.shown.clear();
        ::DeleteFileA((scratch / "Lumiro\\Programs\\good.dll").c_str());
        Package("APPS_NT.PKG", {FileEntry(L"good.dll", "good"), FileEntry(name, "evil")});
        const bool installed = InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs");
        if (name[0] == 0xFF0E)
        {
            // Ordinary characters, no step up: the file takes exactly that
            // name inside the destination.
            EXPECT_TRUE(installed);
            EXPECT_TRUE(FileExists(scratch / "Lumiro\\Programs\\\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBC" "evil.dll"));
            EXPECT_FALSE(FileExists(scratch / "Lumiro\\evil.dll"));
            continue;
        }
        EXPECT_FALSE(installed) << progress.status;
        EXPECT_EQ(Shown(), std::vector<std::string>{"The package file \"APPS_NT.PKG\" is corrupt."}) << progress.status;
        EXPECT_TRUE(FileExists(scratch / "Lumiro\\Programs\\good.dll"));
        for (const char* escaped : {"Lumiro\\evil.dll", "evil.dll", "Lumiro\\Programs\\evil.dll"})
            EXPECT_FALSE(FileExists(scratch / escaped)) << progress.status;
    }
    EXPECT_FALSE(FileExists("C:\\evil.dll"));
}

TEST_F(PackageInstallTest, NamesWithDotsInsideThemAreOrdinaryNames)
{
    ::CreateDirectoryA((scratch / "Lumiro\\Programs\\v1.2").c_str(), nullptr);
    Package("APPS_NT.PKG", {FileEntry(L"..hidden", "a"), FileEntry(L"v1.2\\a..b.dll", "b")});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_TRUE(FileExists(scratch / "Lumiro\\Programs\\..hidden"));
    EXPECT_TRUE(FileExists(scratch / "Lumiro\\Programs\\v1.2\\a..b.dll"));
}

TEST_F(PackageInstallTest, SlashSeparatesFoldersAsTheBackslashDoes)
{
    ::CreateDirectoryA((scratch / "Lumiro\\Programs\\Help").c_str(), nullptr);
    Package("APPS_NT.PKG", {FileEntry(L"Help/reader.hlp", "help")});
    EXPECT_TRUE(InstallPackage(context, "APPS_NT.PKG", scratch / "Lumiro\\Programs"));
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Programs\\Help\\reader.hlp"), "help");
    EXPECT_EQ(progress.statuses, std::vector<std::string>{"Help\\reader.hlp"});
    EXPECT_TRUE(TemporaryFiles(scratch / "Lumiro\\Programs").empty());
}

// An entry's name becomes its path in UTF-8 exactly, whatever the code page;
// a name that is no text (a lone surrogate) or nothing at all is refused.
TEST(EntryNameToPath, GivesTheNameInUtf8ExactlyOrRefusesIt)
{
    const struct
    {
        const wchar_t* name;
        const char* path;
        DWORD error;
    } cases[] = {
        {L"sub/a.dll", "sub\\a.dll", 0},
        {L"\u8bf4\u660e.txt", "\xe8\xaf\xb4\xe6\x98\x8e.txt", 0},
        {L"\u039f\u03b4\u03b7\u03b3\u03af\u03b5\u03c2\\\u03bf\u03b4\u03b7\u03b3\u03cc\u03c2.txt",
         "\xce\x9f\xce\xb4\xce\xb7\xce\xb3\xce\xaf\xce\xb5\xcf\x82\\\xce\xbf\xce\xb4\xce\xb7\xce\xb3\xcf\x8c\xcf\x82.txt", 0},
        {L"\U0001F3AC.txt", "\xf0\x9f\x8e\xac.txt", 0},
        {L"", "", ERROR_INVALID_NAME},
        {L"a\xd800.txt", "", ERROR_NO_UNICODE_TRANSLATION},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        std::string path = "stale";
        ::SetLastError(0);
        EXPECT_EQ(EntryNameToPath(c.name, path), c.error == 0);
        EXPECT_EQ(path, c.path);
        if (c.error)
        {
            EXPECT_EQ(::GetLastError(), c.error);
        }
    }
}
