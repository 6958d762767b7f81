// The command line's switches and the run's log file, in-process.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "framework/ResourceStrings.h"
#include "resources/resource.h"
#include "run/ExitCodes.h"
#include "run/InstallLog.h"
#include "run/SetupOptions.h"

TEST(CommandLine, SwitchesAreReadWithoutRegardToCaseOrTheirPrefix)
{
    // (/PASSIVE is an unattended run that shows its progress: silent too.)
    const struct
    {
        const char* line;
        bool silent, passive, uninstall, noRestart, help;
        const char* dir;
        const char* log;
        const char* unknown;
    } cases[] = {
        {"setup.exe", false, false, false, false, false, "", "", ""},
        {"\"C:\\media\\setup.exe\" /S", true, false, false, false, false, "", "", ""},
        {"setup -s -Uninstall /norestart", true, false, true, true, false, "", "", ""},
        {"setup /S /DIR=\"C:\\Program Files\\Lumiro\" /LOG=\"C:\\a b\\x.log\"", true, false, false, false, false,
         "C:\\Program Files\\Lumiro", "C:\\a b\\x.log", ""},
        // The quote may open before the switch, and a backslash before a
        // closing quote stays a backslash.
        {"setup \"/dir=C:\\Tools\\Lumiro\\\" /log=C:\\s.log", false, false, false, false, false,
         "C:\\Tools\\Lumiro\\", "C:\\s.log", ""},
        {"setup /?", false, false, false, false, true, "", "", ""},
        {"setup /S /BOGUS /X", true, false, false, false, false, "", "", "/BOGUS"},
        {"setup /S=1", false, false, false, false, false, "", "", "/S=1"},
        {"setup /DIR=", false, false, false, false, false, "", "", "/DIR="},
        {"setup install", false, false, false, false, false, "", "", "install"},
        {"setup /PASSIVE", true, true, false, false, false, "", "", ""},
        {"setup -passive /Uninstall", true, true, true, false, false, "", "", ""},
        {"setup /PASSIVE=1", false, false, false, false, false, "", "", "/PASSIVE=1"},
        {"setup /PASS", false, false, false, false, false, "", "", "/PASS"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        const SetupOptions o = ParseCommandLine(c.line);
        EXPECT_EQ(o.silent, c.silent);
        EXPECT_EQ(o.passive, c.passive);
        EXPECT_EQ(o.uninstall, c.uninstall);
        EXPECT_EQ(o.noRestart, c.noRestart);
        EXPECT_EQ(o.help, c.help);
        EXPECT_EQ(o.dir, c.dir);
        EXPECT_EQ(o.hasDir, *c.dir != '\0');
        EXPECT_EQ(o.log, c.log);
        EXPECT_EQ(o.unknown, c.unknown);
        EXPECT_EQ(o.Valid(), !c.help && *c.unknown == '\0');
    }
}

TEST(CommandLine, TheListOfSwitchesNamesPassiveAndTheExitCodeOfADamagedPackage)
{
    EXPECT_NE(std::string::npos, LoadResString(IDS_USAGE_SWITCHES).find("/PASSIVE\tthe same, showing the progress"));
    EXPECT_NE(std::string::npos, LoadResString(IDS_USAGE_EXIT_CODES).find("1620 a package of the medium is damaged"));
}

TEST(InstallLog, LinesAreStampedFoldedAndAppendedAndTheLastOneTellsTheFailure)
{
    CScratchFolder scratch("install-log");
    const std::string path = scratch / "setup.log";
    ASSERT_TRUE(WriteTextFile(path, "an earlier run\r\n"));
    {
        CInstallLog log;
        ASSERT_TRUE(log.Open(path));
        log.Message("Are you sure you wish to cancel Setup?", MB_YESNO, IDNO, true);
        log.Message("Read from package failed - File corrupt.\r\n", MB_OK, IDOK, false);
        log.Message("Write to file failed - Disk full.\r\n", MB_OK, IDOK, false);
        log.FileDone(FileOutcome::KeptInstalledNewer, "C:\\Lumiro\\Programs\\a.dll", "");
        log.Exit(EXIT_FAILED);
    }
    const std::string text = ReadTextFile(path);
    ASSERT_EQ(text.rfind("an earlier run\r\n", 0), 0u) << "appended, never overwritten";
    const std::vector<std::string> expected = {
        "Message: Are you sure you wish to cancel Setup? [No]",
        "Message (unattended): Read from package failed - File corrupt. [OK]",
        "Message (unattended): Write to file failed - Disk full. [OK]",
        "File kept (installed one newer): C:\\Lumiro\\Programs\\a.dll",
        "Exit code 1603: Read from package failed - File corrupt.",
    };
    size_t at = std::string("an earlier run\r\n").size();
    for (const std::string& line : expected)
    {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << line;
        const std::string written = text.substr(at, end - at);
        // "2026-12-08 14:03:22  " before each line.
        EXPECT_EQ(written.size(), line.size() + 21) << written;
        EXPECT_EQ(written.substr(21), line);
        EXPECT_TRUE(written[4] == '-' && written[13] == ':' && written[19] == ' ') << written;
        at = end + 2;
    }
    EXPECT_EQ(at, text.size());
}

TEST(InstallLog, AFileThatCannotBeOpenedIsReportedOnceAndTheRunGoesOn)
{
    CScratchFolder scratch("install-log-missing");
    std::vector<std::string> reports;
    CInstallLog log;
    log.SetFailureReporter([&](const std::string& path, const std::string& reason) { reports.push_back(path + "|" + reason); });
    EXPECT_FALSE(log.Open(scratch / "missing\\setup.log"));
    log.Write("nowhere to go");
    log.Exit(EXIT_DONE);
    EXPECT_FALSE(log.IsOpen());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], scratch / "missing\\setup.log" + "|" + SystemErrorText(ERROR_PATH_NOT_FOUND));
}
