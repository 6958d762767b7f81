// The replace decision on the real file system: existing files built with
// chosen versions, package entries written by the tests, the question
// answered through the prompts seam.
#include <gtest/gtest.h>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/PackageInstall.h"
#include "install/ReplaceDecision.h"
#include "package/PackageFile.h"

namespace
{
constexpr ULONGLONG V(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return (ULONGLONG(a) << 48) | (ULONGLONG(b) << 32) | (ULONGLONG(c) << 16) | d;
}

const char NEW_CONTENTS[] = "contents from the package";

std::string VersionFixture(const std::string& name) { return FixtureFile("versions\\" + name); }

// 7 March 2013 14:05:09 UTC, and a quarter second later.
FILETIME March2013(ULONGLONG extra100ns = 0)
{
    SYSTEMTIME st{};
    st.wYear = 2013;
    st.wMonth = 3;
    st.wDay = 7;
    st.wHour = 14;
    st.wMinute = 5;
    st.wSecond = 9;
    FILETIME ft;
    ::SystemTimeToFileTime(&st, &ft);
    const ULONGLONG value = FileTimeValue(ft) + extra100ns;
    return FILETIME{DWORD(value), DWORD(value >> 32)};
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time)
{
    unique_hfile file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    return file && ::SetFileTime(file.get(), nullptr, nullptr, &time);
}

class ReplaceDecisionTest : public ::testing::Test
{
protected:
    ReplaceDecisionTest() : scratch("replace") { context.SetPrompts(&prompts); }

    // An existing target: a copy of a fixture library, or a file without a
    // version resource.
    std::string ExistingCopy(const std::string& fixture, const std::string& name)
    {
        const std::string target = scratch / name;
        EXPECT_TRUE(::CopyFileA(VersionFixture(fixture).c_str(), target.c_str(), FALSE)) << fixture;
        return target;
    }
    std::string ExistingWithoutVersion(const std::string& name, const FILETIME& lastWrite = March2013())
    {
        const std::string target = scratch / name;
        EXPECT_TRUE(WriteTextFile(target, "old contents"));
        EXPECT_TRUE(SetLastWriteTime(target, lastWrite));
        return target;
    }

    // Installs one File entry with the given version and last-write time
    // over target through the decision; true when the installation goes on.
    // The outcome is kept in lastOutcome.
    bool Install(const std::string& target, ULONGLONG version, const FILETIME& lastWrite = March2013(2500000))
    {
        TestEntry entry = FileEntry(L"entry.dll", NEW_CONTENTS);
        entry.version = version;
        entry.lastWrite = lastWrite;
        const std::string packagePath = scratch / ("p" + std::to_string(++packages) + ".pkg");
        EXPECT_TRUE(WriteTestPackage(packagePath, true, {entry}));
        CPackageFile package;
        EXPECT_TRUE(package.Open(packagePath.c_str(), FALSE));
        CFileInstaller installer(context);
        lastOutcome = installer.InstallFileFromPackage(package, package.GetCatalog().GetAt(0), 0, target);
        // A replacement in place is written with its batch, at the package's end.
        if (lastOutcome == FileOutcome::Deferred)
            lastOutcome = installer.FinishPackage() ? FileOutcome::Replaced : FileOutcome::Failed;
        return GoesOn(lastOutcome);
    }

    static bool Written(const std::string& target) { return ReadTextFile(target) == NEW_CONTENTS; }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
    int packages = 0;
    FileOutcome lastOutcome = FileOutcome::Failed;
};
} // namespace

TEST_F(ReplaceDecisionTest, MissingTargetIsWrittenWhateverTheVersions)
{
    for (ULONGLONG version : {ULONGLONG(0), V(1, 0, 0, 0)})
    {
        const std::string target = scratch / ("new" + std::to_string(version) + ".dll");
        EXPECT_TRUE(Install(target, version));
        EXPECT_TRUE(Written(target));
    }
    EXPECT_TRUE(prompts.replaceQuestions.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ReplaceDecisionTest, VersionedFileIsReplacedOnlyByANewerVersionAndSilently)
{
    struct Case
    {
        const char* fixture;
        ULONGLONG packageVersion;
        bool written;
    } const cases[] = {
        {"v2000.dll", V(2, 0, 0, 0), false}, // equal
        {"v1234.dll", V(1, 2, 3, 5), true},  // newer revision
        {"v1300.dll", V(1, 2, 9, 9), false}, // older: minor outranks build and revision
        {"v1299.dll", V(1, 3, 0, 0), true},  // newer minor
        {"v1234.dll", 0, false},             // package without version
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.fixture) + " against " + std::to_string(c.packageVersion));
        const std::string target = ExistingCopy(c.fixture, "versioned.dll");
        EXPECT_TRUE(Install(target, c.packageVersion));
        EXPECT_EQ(Written(target), c.written);
    }
    EXPECT_TRUE(prompts.replaceQuestions.empty());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ReplaceDecisionTest, AlwaysUpdateNameIsWrittenOverANewerVersionOnlyWhenSpelledAsListed)
{
    struct Case
    {
        const char* name;
        ULONGLONG packageVersion;
        bool written;
    } const cases[] = {
        {"pi_w32.dll", V(2, 0, 0, 0), true},
        {"PI_W32.DLL", V(2, 0, 0, 0), true},
        {"pi_w32.dll", 0, true},
        {"Pi_W32.dll", V(2, 0, 0, 0), false}, // the match is case-sensitive
        {"pi_w32.dll", V(3, 0, 0, 0), false}, // equal versions are kept, whatever the name
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CScratchFolder folder("replace-listA");
        const std::string target = folder / c.name;
        ASSERT_TRUE(::CopyFileA(VersionFixture("v3000.dll").c_str(), target.c_str(), FALSE));
        EXPECT_TRUE(Install(target, c.packageVersion));
        EXPECT_EQ(Written(target), c.written);
    }
    EXPECT_TRUE(prompts.replaceQuestions.empty());
}

TEST_F(ReplaceDecisionTest, FileWithoutVersionIsAskedAboutWithBothDatesInUtc)
{
    const std::string target = ExistingWithoutVersion("plain.dll");
    prompts.replaceAnswers = {ReplaceAnswer::Yes};
    // The entry is a day and a second later than the existing file.
    EXPECT_TRUE(Install(target, 0, March2013(ULONGLONG(86401) * 10000000)));
    ASSERT_EQ(prompts.replaceQuestions.size(), 1u);
    EXPECT_EQ(prompts.replaceQuestions[0], "Do you wish to replace the file \"" + target +
                                               "\"\nOld file is version (No version info), modified 07/03/2013 "
                                               "14:05:09\nNew file is version (No version info), modified "
                                               "08/03/2013 14:05:10");
    EXPECT_TRUE(Written(target));

    // A package entry with a version shows it as the new version.
    const std::string second = ExistingWithoutVersion("plain2.dll");
    prompts.replaceAnswers = {ReplaceAnswer::No};
    EXPECT_TRUE(Install(second, V(1, 2, 3, 4)));
    ASSERT_EQ(prompts.replaceQuestions.size(), 2u);
    EXPECT_NE(prompts.replaceQuestions[1].find("\nNew file is version 1.2.3.4, modified 07/03/2013 14:05:09"),
              std::string::npos)
        << prompts.replaceQuestions[1];
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ReplaceDecisionTest, AnswersDecideTheFileAndTheRunsMemory)
{
    // Yes: replaced, and the next file is asked about again.
    const std::string yes = ExistingWithoutVersion("yes.dll");
    prompts.replaceAnswers = {ReplaceAnswer::Yes};
    EXPECT_TRUE(Install(yes, 0));
    EXPECT_TRUE(Written(yes));
    EXPECT_TRUE(context.m_bAskReplace);

    // No: kept, and the installation goes on.
    const std::string no = ExistingWithoutVersion("no.dll");
    prompts.replaceAnswers = {ReplaceAnswer::No};
    EXPECT_TRUE(Install(no, 0));
    EXPECT_EQ(ReadTextFile(no), "old contents");
    EXPECT_TRUE(context.m_bAskReplace);
    EXPECT_FALSE(context.m_bReplaceCancelled);

    // Cancel: kept, and the installation stops.
    const std::string cancel = ExistingWithoutVersion("cancel.dll");
    prompts.replaceAnswers = {ReplaceAnswer::Cancel};
    EXPECT_FALSE(Install(cancel, 0));
    EXPECT_EQ(ReadTextFile(cancel), "old contents");
    EXPECT_TRUE(context.m_bReplaceCancelled);
    EXPECT_EQ(prompts.replaceQuestions.size(), 3u);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ReplaceDecisionTest, YesToAllReplacesLaterUnversionedFilesWithoutAskingButNotVersionedOnes)
{
    const std::string first = ExistingWithoutVersion("first.dll");
    prompts.replaceAnswers = {ReplaceAnswer::YesToAll};
    EXPECT_TRUE(Install(first, 0));
    EXPECT_TRUE(Written(first));
    EXPECT_FALSE(context.m_bAskReplace);

    const std::string later = ExistingWithoutVersion("later.dll");
    EXPECT_TRUE(Install(later, V(1, 0, 0, 0)));
    EXPECT_TRUE(Written(later));
    const std::string older = ExistingCopy("v1300.dll", "older.dll");
    EXPECT_TRUE(Install(older, V(1, 2, 9, 9)));
    EXPECT_FALSE(Written(older));
    EXPECT_EQ(prompts.replaceQuestions.size(), 1u);
}

TEST_F(ReplaceDecisionTest, SameDateNameIsReplacedWithoutAQuestionOnlyWhenTheDatesMatchToTheSecond)
{
    // The entry's time has a fraction of a second more; the texts still match.
    const std::string same = ExistingWithoutVersion("Phidget21.dll");
    EXPECT_TRUE(Install(same, 0, March2013(2500000)));
    EXPECT_TRUE(Written(same));
    EXPECT_TRUE(prompts.replaceQuestions.empty());

    CScratchFolder other("replace-listB");
    const std::string apart = other / "Phidget21.dll";
    ASSERT_TRUE(WriteTextFile(apart, "old contents"));
    ASSERT_TRUE(SetLastWriteTime(apart, March2013()));
    prompts.replaceAnswers = {ReplaceAnswer::No};
    EXPECT_TRUE(Install(apart, 0, March2013(10000000)));
    EXPECT_EQ(prompts.replaceQuestions.size(), 1u);
    EXPECT_EQ(ReadTextFile(apart), "old contents");

    // The match is case-sensitive: another spelling is asked about.
    CScratchFolder third("replace-listB2");
    const std::string spelled = third / "PHIDGET21.DLL";
    ASSERT_TRUE(WriteTextFile(spelled, "old contents"));
    ASSERT_TRUE(SetLastWriteTime(spelled, March2013()));
    prompts.replaceAnswers = {ReplaceAnswer::No};
    EXPECT_TRUE(Install(spelled, 0, March2013()));
    EXPECT_EQ(prompts.replaceQuestions.size(), 2u);
}

TEST_F(ReplaceDecisionTest, UnreadableExistingFileIsReportedThenAskedAboutWithTheZeroDate)
{
    const std::string target = scratch / "vanished.dll";
    CPackageCatalogEntry entry;
    entry.SetFile(L"vanished.dll", March2013(), March2013(), 0);
    prompts.replaceAnswers = {ReplaceAnswer::No};
    EXPECT_FALSE(CFileInstaller(context).AskReplaceFile(entry, target));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text,
              "Failed retrieving file information for \"" + target + "\" - " + SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(prompts.shown[0].type, unsigned(MB_OK));
    ASSERT_EQ(prompts.replaceQuestions.size(), 1u);
    EXPECT_NE(prompts.replaceQuestions[0].find("Old file is version (No version info), modified 01/01/1601 00:00:00"),
              std::string::npos)
        << prompts.replaceQuestions[0];
}

TEST_F(ReplaceDecisionTest, CancelStopsThePackageAndYesToAllCarriesIntoTheNextPackage)
{
    context.m_strSourceDir = scratch.Path() + "\\";
    const std::string destination = scratch / "dest";
    ASSERT_TRUE(::CreateDirectoryA(destination.c_str(), nullptr));
    for (const char* name : {"a.dll", "b.dll", "c.dll", "d.dll", "e.dll"})
        ASSERT_TRUE(WriteTextFile(destination + "\\" + name, "old contents"));
    CRecordingProgress progress;

    // First package: Yes To All at its first file; the second is written
    // without a question.
    ASSERT_TRUE(WriteTestPackage(scratch / "ONE.PKG", true,
                                 {FileEntry(L"a.dll", NEW_CONTENTS), FileEntry(L"b.dll", NEW_CONTENTS)}));
    prompts.replaceAnswers = {ReplaceAnswer::YesToAll};
    EXPECT_TRUE(InstallPackage(context, "ONE.PKG", destination));
    EXPECT_TRUE(Written(destination + "\\a.dll"));
    EXPECT_TRUE(Written(destination + "\\b.dll"));
    // Second package: no question at all.
    ASSERT_TRUE(WriteTestPackage(scratch / "TWO.PKG", false, {FileEntry(L"c.dll", NEW_CONTENTS)}));
    EXPECT_TRUE(InstallPackage(context, "TWO.PKG", destination));
    EXPECT_TRUE(Written(destination + "\\c.dll"));
    EXPECT_EQ(prompts.replaceQuestions.size(), 1u);

    // A new run: No keeps d.dll and goes on, Cancel at e.dll ends the walk
    // before f.dll, which is never written.
    CTestContext run;
    CScriptedPrompts runPrompts;
    run.SetPrompts(&runPrompts);
    run.SetProgress(&progress);
    run.m_strSourceDir = context.m_strSourceDir;
    ASSERT_TRUE(WriteTestPackage(scratch / "THREE.PKG", true,
                                 {FileEntry(L"d.dll", NEW_CONTENTS), FileEntry(L"e.dll", NEW_CONTENTS),
                                  FileEntry(L"f.dll", NEW_CONTENTS)}));
    runPrompts.replaceAnswers = {ReplaceAnswer::No, ReplaceAnswer::Cancel};
    EXPECT_FALSE(InstallPackage(run, "THREE.PKG", destination));
    EXPECT_EQ(ReadTextFile(destination + "\\d.dll"), "old contents");
    EXPECT_EQ(ReadTextFile(destination + "\\e.dll"), "old contents");
    EXPECT_FALSE(FileExists(destination + "\\f.dll"));
    EXPECT_EQ(runPrompts.replaceQuestions.size(), 2u);
    EXPECT_TRUE(run.m_bReplaceCancelled);
    EXPECT_TRUE(runPrompts.shown.empty()) << "Cancel shows no message";
}

TEST(ReplaceDecisionTexts, DatesAreDayMonthYearInUtcAndVersionsDottedOrNoVersionInfo)
{
    EXPECT_EQ(FormatFileTime(March2013()), "07/03/2013 14:05:09");
    EXPECT_EQ(FormatFileTime(March2013(9999999)), "07/03/2013 14:05:09");
    EXPECT_EQ(FormatFileTime(FILETIME{0, 0}), "01/01/1601 00:00:00");
    // A time the system cannot convert.
    EXPECT_EQ(FormatFileTime(FILETIME{0, 0x80000000}), "00/00/0000 00:00:00");

    EXPECT_EQ(FormatVersionText(V(1, 2, 3, 4)), "1.2.3.4");
    EXPECT_EQ(FormatVersionText(V(65535, 0, 0, 65535)), "65535.0.0.65535");
    EXPECT_EQ(FormatVersionText(0), "(No version info)");
}

TEST(ReplaceDecisionTexts, ExistingFileInfoComesFromTheDirectoryEntryAndRefusesWildcards)
{
    CScratchFolder scratch("replace-info");
    const std::string path = scratch / "info.dll";
    ASSERT_TRUE(WriteTextFile(path, "12345"));
    ASSERT_TRUE(SetLastWriteTime(path, March2013()));
    ExistingFileInfo info{};
    ASSERT_TRUE(GetExistingFileInfo(path, info));
    EXPECT_EQ(FileTimeValue(info.ftLastWriteTime), FileTimeValue(March2013()));
    EXPECT_EQ(info.nFileSizeLow, 5u);
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_FALSE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(GetExistingFileInfo(scratch / "missing.dll", info));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    // A wildcard would find some other file.
    EXPECT_FALSE(GetExistingFileInfo(scratch / "info.*", info));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_NAME));
}

// Every file's outcome reaches the context's events, with the reason of a
// failure; a target in use is queued through the context's boot-time queue
// (a stand-in here, which takes or refuses it as the system would).
TEST_F(ReplaceDecisionTest, EachOutcomeIsReportedThroughTheEvents)
{
    CRecordingEvents events;
    CStandInBootQueue queue(true);
    context.SetEvents(&events);
    context.SetBootQueue(&queue);
    const std::string fresh = scratch / "fresh.dll";
    const std::string newer = ExistingCopy("v1234.dll", "newer.dll");
    const std::string same = ExistingCopy("v2000.dll", "same.dll");
    const std::string kept = ExistingCopy("v1300.dll", "kept.dll");
    const std::string no = ExistingWithoutVersion("no.dll");
    const std::string held = ExistingWithoutVersion("held.dll");
    const std::string refused = ExistingWithoutVersion("refused.dll");
    const std::string cancel = ExistingWithoutVersion("cancel.dll");
    prompts.replaceAnswers = {ReplaceAnswer::No, ReplaceAnswer::Yes, ReplaceAnswer::Yes, ReplaceAnswer::Cancel};

    EXPECT_TRUE(Install(fresh, V(1, 0, 0, 0)));
    EXPECT_TRUE(Install(newer, V(1, 2, 3, 5)));
    EXPECT_TRUE(Install(same, V(2, 0, 0, 0)));
    EXPECT_TRUE(Install(kept, V(1, 2, 9, 9)));
    EXPECT_TRUE(Install(no, 0));
    {
        CFileHolder holder;
        ASSERT_TRUE(holder.Hold(held));
        EXPECT_TRUE(Install(held, 0));
        ASSERT_TRUE(holder.Hold(refused));
        queue.refuse = true;
        EXPECT_FALSE(Install(refused, 0));
    }
    EXPECT_FALSE(Install(cancel, 0));

    const std::string refusal = "Failed to schedule a boot-time file replacement - " + SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(events.files, (std::vector<std::string>{
                                "written new: " + fresh, "replaced: " + newer, "kept (same version): " + same,
                                "kept (installed one newer): " + kept, "kept (answered No): " + no,
                                "queued for restart: " + held, "failed: " + refused + ": " + refusal,
                                "kept (answered Cancel): " + cancel}));
    ASSERT_EQ(queue.committed.size(), 1u);
    EXPECT_EQ(queue.committed[0].rfind(held + "=" + scratch / "$tmp", 0), 0u) << queue.committed[0];
    EXPECT_TRUE(context.m_bRebootNeeded);
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(TemporaryFiles(scratch.Path()).size() == 1u) << "only the queued replacement waits";
}
