// The record of the medium's packages in setup.exe and the check of the
// packages against it (or against their own checks) before an installation,
// on packages the tests write into a scratch medium folder.
#include <gtest/gtest.h>

#include <cstring>

#include "TestPackages.h"
#include "TestSupport.h"
#include "core/SetupContext.h"
#include "install/PackageInstall.h"
#include "package/PackageCheck.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/MediumCheck.h"
#include "run/MediumRecord.h"

namespace
{
using Outcome = CMediumCheck::Outcome;

std::vector<BYTE> RecordBytes(const std::vector<RecordedPackage>& packages)
{
    std::vector<BYTE> record(MEDIUM_RECORD_SIZE, 0);
    std::memcpy(record.data(), "LUMIRO-MEDIUM-01", 16);
    record[16] = static_cast<BYTE>(packages.size());
    for (size_t i = 0; i < packages.size(); ++i)
    {
        BYTE* entry = record.data() + MEDIUM_RECORD_HEAD + MEDIUM_RECORD_ENTRY * i;
        std::memcpy(entry, packages[i].name.data(), packages[i].name.size());
        for (int b = 0; b < 8; ++b)
            entry[16 + b] = static_cast<BYTE>(packages[i].size >> (8 * b));
        std::memcpy(entry + 32, packages[i].sha256, SHA256_DIGEST_SIZE);
    }
    return record;
}

// The record a medium command would write of the file.
RecordedPackage RecordOf(const std::string& path, const std::string& name)
{
    RecordedPackage package;
    package.name = name;
    const std::string contents = ReadTextFile(path);
    package.size = contents.size();
    CSha256 hash;
    hash.Update(contents.data(), contents.size());
    hash.Final(package.sha256);
    return package;
}

class MediumCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.m_strSourceDir = scratch.Path() + "\\";
        context.SetPrompts(&prompts);
        runtime = scratch / RuntimePackageName(context);
        application = scratch / ApplicationPackageName(context);
        ASSERT_TRUE(WriteTestPackage(runtime, true, {FileEntry(L"LumRtl.dll", "runtime library")}));
        ASSERT_TRUE(WriteTestPackage(application, false, {FileEntry(L"readme.txt", "read me first")}));
        ASSERT_TRUE(log.Open(scratch / "check.log"));
    }

    // Checks against the record; returns the exit code (0 when it passed).
    int Check(const std::vector<RecordedPackage>& record)
    {
        CMediumCheck check;
        EXPECT_TRUE(check.Start(context, record));
        int exitCode = EXIT_DONE;
        const bool passed = check.Finish(context, log, exitCode);
        outcomes.clear();
        for (const CMediumCheck::Package& package : check.Packages())
            outcomes.push_back(package.outcome);
        return passed ? EXIT_DONE : exitCode;
    }

    std::vector<RecordedPackage> BothRecorded()
    {
        return {RecordOf(runtime, RuntimePackageName(context)), RecordOf(application, ApplicationPackageName(context))};
    }

    void ChangeByte(const std::string& path, size_t offset)
    {
        std::string contents = ReadTextFile(path);
        contents[offset] ^= 0x01;
        ASSERT_TRUE(WriteTextFile(path, contents));
    }

    CScratchFolder scratch{"medium-check"};
    CSetupContext context;
    CScriptedPrompts prompts;
    CInstallLog log;
    std::string runtime;
    std::string application;
    std::vector<Outcome> outcomes;
};
} // namespace

TEST(MediumRecord, ABuildRecordsNoPackageAndARecordReadsBackAsWritten)
{
    EXPECT_TRUE(ReadOwnMediumRecord().empty());
    RecordedPackage apps;
    apps.name = "APPS_NT.PKG";
    apps.size = 0x123456789ULL;
    apps.sha256[0] = 0xAB;
    apps.sha256[31] = 0xCD;
    const std::vector<BYTE> record = RecordBytes({apps});
    const std::vector<RecordedPackage> read = ParseMediumRecord(record.data());
    ASSERT_EQ(1u, read.size());
    EXPECT_EQ("APPS_NT.PKG", read[0].name);
    EXPECT_EQ(0x123456789ULL, read[0].size);
    EXPECT_EQ(0, std::memcmp(apps.sha256, read[0].sha256, SHA256_DIGEST_SIZE));
    EXPECT_NE(nullptr, FindRecordedPackage(read, "apps_nt.pkg"));
    EXPECT_EQ(nullptr, FindRecordedPackage(read, "APPS_95.PKG"));
}

TEST(MediumRecord, BytesThatAreNoRecordCountAsNone)
{
    RecordedPackage apps;
    apps.name = "APPS_NT.PKG";
    std::vector<BYTE> wrongMark = RecordBytes({apps});
    wrongMark[3] = 'x';
    std::vector<BYTE> tooMany = RecordBytes({apps});
    tooMany[16] = MEDIUM_RECORD_MAX + 1;
    std::vector<BYTE> unended = RecordBytes({apps});
    std::memset(unended.data() + MEDIUM_RECORD_HEAD, 'A', 16);
    std::vector<BYTE> unnamed = RecordBytes({apps});
    std::memset(unnamed.data() + MEDIUM_RECORD_HEAD, 0, 16);
    for (const std::vector<BYTE>* record : {&wrongMark, &tooMany, &unended, &unnamed})
        EXPECT_TRUE(ParseMediumRecord(record->data()).empty());
}

TEST_F(MediumCheckTest, PackagesAsRecordedPassAndAreLoggedWithTheirDigests)
{
    EXPECT_EQ(EXIT_DONE, Check(BothRecorded()));
    EXPECT_EQ((std::vector<Outcome>{Outcome::MatchesRecord, Outcome::MatchesRecord}), outcomes);
    EXPECT_TRUE(prompts.shown.empty());
    const std::string text = ReadTextFile(scratch / "check.log");
    EXPECT_NE(std::string::npos,
              text.find("Medium check: " + std::string(ApplicationPackageName(context)) +
                        " is the package the medium recorded in setup.exe"));
}

TEST_F(MediumCheckTest, OneByteChangedOrAnotherSizeIsRefusedWith1620AndTheMessageNamingThePackage)
{
    const std::vector<RecordedPackage> record = BothRecorded();
    const std::string expected = std::string("The package file \"") + ApplicationPackageName(context) +
                                 "\" of the installation medium is damaged or changed since the medium was made; "
                                 "obtain a new copy of the medium.  Setup has changed nothing.";
    ChangeByte(application, 300);
    EXPECT_EQ(EXIT_PACKAGE_INVALID, Check(record));
    EXPECT_EQ((std::vector<Outcome>{Outcome::MatchesRecord, Outcome::DiffersFromRecord}), outcomes);
    ASSERT_EQ(1u, prompts.shown.size());
    EXPECT_EQ(expected, prompts.shown[0].text);

    ChangeByte(application, 300);
    ASSERT_TRUE(WriteTextFile(application, ReadTextFile(application) + "x"));
    prompts.shown.clear();
    EXPECT_EQ(EXIT_PACKAGE_INVALID, Check(record));
    EXPECT_EQ(Outcome::DiffersFromRecord, outcomes[1]);
    EXPECT_EQ(expected, prompts.shown.at(0).text);
}

TEST_F(MediumCheckTest, WithoutARecordThePackagesOwnChecksCountAndAnOlderPackageIsNotChecked)
{
    EXPECT_EQ(EXIT_DONE, Check({}));
    EXPECT_EQ((std::vector<Outcome>{Outcome::OwnCheckHolds, Outcome::OwnCheckHolds}), outcomes);

    ChangeByte(application, 300);
    EXPECT_EQ(EXIT_PACKAGE_INVALID, Check({}));
    EXPECT_EQ(Outcome::OwnCheckFails, outcomes[1]);

    // A package of an older packer: zeros where its check is.
    std::string older = ReadTextFile(application);
    older.replace(HEADER_CHECK, PACKAGE_CHECK_SIZE, std::string(PACKAGE_CHECK_SIZE, '\0'));
    ASSERT_TRUE(WriteTextFile(application, older));
    prompts.shown.clear();
    EXPECT_EQ(EXIT_DONE, Check({}));
    EXPECT_EQ(Outcome::NotChecked, outcomes[1]);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_NE(std::string::npos, ReadTextFile(scratch / "check.log").find("was not checked"));
}

TEST_F(MediumCheckTest, AMissingPackageIsRefusedWith1603AndTheSystemsReason)
{
    const std::vector<RecordedPackage> record = BothRecorded();
    ASSERT_TRUE(::DeleteFileA(runtime.c_str()));
    EXPECT_EQ(EXIT_FAILED, Check(record));
    EXPECT_EQ(Outcome::Unreadable, outcomes[0]);
    EXPECT_EQ(std::string("Failed to open the package \"") + RuntimePackageName(context) + "\" - " +
                  SystemErrorText(ERROR_FILE_NOT_FOUND),
              prompts.shown.at(0).text);
}

TEST_F(MediumCheckTest, APackageCheckedIsHeldSoThatNobodyChangesItUntilTheCheckGoes)
{
    {
        CMediumCheck check;
        ASSERT_TRUE(check.Start(context, BothRecorded()));
        int exitCode = EXIT_DONE;
        ASSERT_TRUE(check.Finish(context, log, exitCode));
        const unique_hfile writer(::CreateFileA(application.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), ::GetLastError());
        EXPECT_FALSE(::MoveFileA(application.c_str(), (application + ".moved").c_str()));
        // The installation still reads it.
        const unique_hfile reader(::CreateFileA(application.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader);
    }
    const unique_hfile writer(
        ::CreateFileA(application.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer);
}

TEST_F(MediumCheckTest, ACheckStoppedBeforeItsEndNeitherPassesNorHangs)
{
    CMediumCheck check;
    ASSERT_TRUE(check.Start(context, BothRecorded()));
    check.Stop();
    for (const CMediumCheck::Package& package : check.Packages())
        EXPECT_TRUE(package.outcome == Outcome::MatchesRecord || package.outcome == Outcome::Stopped);
}
