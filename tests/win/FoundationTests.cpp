// The start-up services, messages, the progress window
// and the first install step, on the real Windows API of the test prefix.
#include <gtest/gtest.h>

#include <chrono>

#include <shlobj.h>

#include "TestSupport.h"
#include "app/DlgInstalling.h"
#include "app/WindowPrompts.h"
#include "core/Messages.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "framework/OleSession.h"
#include "framework/ResourceStrings.h"
#include "core/FolderDaclWriter.h"
#include "package/PackageFile.h"
#include "framework/RegistryKey.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "run/InstallSequence.h"
#include "run/StartUp.h"
#include "shell/InstallFolders.h"
#include "shell/Shortcuts.h"
#include "undo/UndoJournal.h"

TEST(ErrorText, KeepsTheSystemsTrailingLineBreak)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    const std::string text = GetLastErrorText();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text, SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(ErrorText, ReportsTheLatestOfTwoErrors)
{
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string first = GetLastErrorText();
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    const std::string second = GetLastErrorText();
    EXPECT_NE(first, second);
    EXPECT_EQ(second, SystemErrorText(ERROR_PATH_NOT_FOUND));
}

TEST(ErrorText, IsEmptyForACodeTheSystemHasNoTextFor)
{
    ::SetLastError(0x2FFFFFFF);
    EXPECT_EQ(GetLastErrorText(), "");
}

TEST(Messages, StringTableHoldsTheTextsAndTheApplicationTitle)
{
    EXPECT_EQ(LoadResString(IDS_APP_TITLE_STRING), "Setup");
    EXPECT_EQ(LoadResString(IDS_INSTALL_COMPLETE), "Installation is complete.  Thank you for installing Lumiro");
    EXPECT_EQ(LoadResString(IDS_CREATE_FOLDER_FAILED), "Failed to create the directory \"%1\" because %2");
    EXPECT_EQ(LoadResString(IDS_REPLACE_QUESTION),
              "Do you wish to replace the file \"%1\"\nOld file is version %4, modified %5\n"
              "New file is version %2, modified %3");
    EXPECT_EQ(LoadResString(IDS_UNINSTALL_FILES), "Removing Program Files... ");
    EXPECT_EQ(LoadResString(0), "");
}

TEST(Messages, FolderFailureNamesTheFolderAndEndsWithTheSystemsSentence)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    const std::string reason = GetLastErrorText();
    const std::string text = FormatResMessage(IDS_CREATE_FOLDER_FAILED, {"C:\\Lumiro", reason.c_str()});
    EXPECT_EQ(text, "Failed to create the directory \"C:\\Lumiro\" because " + SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(text.back(), '\n');
}

TEST(Messages, MissingArgumentShowsAQuestionMark)
{
    EXPECT_EQ(FormatResMessage(IDS_CREATE_FOLDER_FAILED, {"D:\\X"}), "Failed to create the directory \"D:\\X\" because ?");
}

TEST(Messages, BoxesThatNameNoIconGetTheExclamation)
{
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_OK), UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_OKCANCEL), UINT(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_YESNO), UINT(MB_YESNO | MB_ICONEXCLAMATION));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_YESNOCANCEL), UINT(MB_YESNOCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_YESNO | MB_ICONHAND), UINT(MB_YESNO | MB_ICONHAND));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_YESNO | MB_ICONQUESTION), UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(MessageBoxTypeWithIcon(MB_RETRYCANCEL), UINT(MB_RETRYCANCEL));
}

TEST(Platform, IsWindowsNtFollowsThePlatformTheSystemReports)
{
    const OSVERSIONINFOA info = SystemVersion();
    ASSERT_NE(info.dwPlatformId, 0xFFFFFFFFu);
    EXPECT_EQ(IsWindowsNT(), info.dwPlatformId == VER_PLATFORM_WIN32_NT);
}

TEST(Platform, FoldersAreTheProgramsOwnTheWindowsAndTheSystemFolder)
{
    CTestContext context;
    ASSERT_TRUE(DetermineFolders(context));
    char module[MAX_PATH];
    const std::string modulePath(module, ::GetModuleFileNameA(nullptr, module, MAX_PATH));
    EXPECT_EQ(context.m_strSourceDir, modulePath.substr(0, modulePath.rfind('\\') + 1));
    EXPECT_EQ(context.m_strSourceDir.back(), '\\');
    char folder[MAX_PATH];
    EXPECT_EQ(context.m_strSystemDir, std::string(folder, ::GetSystemDirectoryA(folder, MAX_PATH)));
    EXPECT_EQ(context.m_strWindowsDir, std::string(folder, ::GetWindowsDirectoryA(folder, MAX_PATH)));
    EXPECT_EQ(context.m_strInstallPath, "C:\\Lumiro");
}

// A folder that does not fit its buffer is no folder: the setup says so and
// ends, instead of looking for its packages in the current folder.
TEST(Platform, FolderThatDoesNotFitItsBufferEndsTheRunWithAMessage)
{
    // Room for every character but the terminator: the system cuts the
    // path short and fills the buffer.
    char module[MAX_PATH];
    const DWORD moduleLength = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    for (const DWORD bufferLength : {DWORD(3), moduleLength})
    {
        CTestContext context;
        CScriptedPrompts prompts;
        context.SetPrompts(&prompts);
        EXPECT_FALSE(DetermineFolders(context, bufferLength));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text,
                  "Setup cannot determine its own folder, the Windows folder or the system folder - " +
                      SystemErrorText(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_TRUE(context.m_strSourceDir.empty());
    }
}

class InstallFoldersTest : public ::testing::Test
{
protected:
    InstallFoldersTest() : scratch("folders")
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
    }

    CScratchFolder scratch;
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
};

TEST_F(InstallFoldersTest, CreatesTheSixFoldersInOrderAndShowsEachPath)
{
    context.m_strInstallPath = scratch / "Lumiro";
    ASSERT_TRUE(CreateInstallFolders(context));
    const std::string root = scratch / "Lumiro";
    const std::vector<std::string> expected = {root, root + "\\Programs", root + "\\Configuration",
                                               root + "\\Configuration\\Machine", root + "\\Logs",
                                               root + "\\Documents"};
    for (const std::string& folder : expected)
        EXPECT_TRUE(FolderExists(folder)) << folder;
    EXPECT_EQ(progress.stages, std::vector<std::string>{"Creating folders"});
    // The stage change blanks the status line, then each path in turn.
    ASSERT_EQ(progress.statuses.size(), 7u);
    EXPECT_EQ(progress.statuses[0], "");
    EXPECT_EQ(std::vector<std::string>(progress.statuses.begin() + 1, progress.statuses.end()), expected);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(InstallFoldersTest, AcceptsFoldersThatExistAndLeavesTheirContents)
{
    context.m_strInstallPath = scratch / "Lumiro";
    ASSERT_TRUE(CreateInstallFolders(context));
    ASSERT_TRUE(WriteTextFile(scratch / "Lumiro\\Logs\\keep.txt", "kept"));
    CRecordingProgress second;
    context.SetProgress(&second);
    EXPECT_TRUE(CreateInstallFolders(context));
    EXPECT_EQ(ReadTextFile(scratch / "Lumiro\\Logs\\keep.txt"), "kept");
    EXPECT_EQ(second.statuses.size(), 7u);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(InstallFoldersTest, MissingParentsAreMadeFirstEachShownInTurn)
{
    const std::string folder = scratch / "missing\\deeper\\Lumiro";
    context.m_strInstallPath = folder;
    EXPECT_TRUE(CreateInstallFolders(context));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(FolderExists(folder + "\\Configuration\\Machine"));
    ASSERT_EQ(progress.statuses.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(progress.statuses.begin(), progress.statuses.begin() + 4),
              (std::vector<std::string>{"", scratch / "missing", scratch / "missing\\deeper", folder}));
}

TEST_F(InstallFoldersTest, AFolderBelowAFileFailsAtTheInstallFolderWithPathNotFound)
{
    ASSERT_TRUE(WriteTextFile(scratch / "file", "not a folder"));
    const std::string folder = scratch / "file\\Lumiro";
    context.m_strInstallPath = folder;
    EXPECT_FALSE(CreateInstallFolders(context));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text,
              "Failed to create the directory \"" + folder + "\" because " + SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(prompts.shown[0].type, unsigned(MB_OK));
    EXPECT_EQ(progress.statuses.back(), folder);
    EXPECT_EQ(ReadTextFile(scratch / "file"), "not a folder");
}

TEST_F(InstallFoldersTest, AFileInTheWayCountsAsTheFolderThenTheNextFolderFails)
{
    const std::string blocker = scratch / "Lumiro";
    ASSERT_TRUE(WriteTextFile(blocker, "not a folder"));
    context.m_strInstallPath = blocker;
    EXPECT_FALSE(CreateInstallFolders(context));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text.rfind("Failed to create the directory \"" + blocker + "\\Programs\" because ", 0), 0u)
        << prompts.shown[0].text;
    EXPECT_EQ(ReadTextFile(blocker), "not a folder");
}

TEST_F(InstallFoldersTest, InstallSequenceStopsAtStepOneWhenAFolderFails)
{
    ASSERT_TRUE(WriteTextFile(scratch / "file", "not a folder"));
    const std::string folder = scratch / "file\\Lumiro";
    context.m_strInstallPath = folder;
    DetermineFolders(context);
    EXPECT_FALSE(RunInstall(context, context.Parts()));
    EXPECT_EQ(progress.stage, "Creating folders");
    EXPECT_EQ(progress.stages, std::vector<std::string>{"Creating folders"});
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_NE(prompts.shown[0].text.find(SystemErrorText(ERROR_PATH_NOT_FOUND)), std::string::npos);
    EXPECT_EQ(prompts.shown[1].text, "Setup has undone its changes: nothing was left of the installation.");
}

TEST(ProgressWindow, ShowsItsCaptionAndBlankLinesThenTheTextsLiterally)
{
    DLG_Installing window;
    ASSERT_TRUE(window.Create(nullptr));
    const HWND hwnd = window.GetSafeHwnd();
    char caption[64];
    ::GetWindowTextA(hwnd, caption, sizeof caption);
    EXPECT_STREQ(caption, "Installing");
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(window.GetItemText(IDC_STAGE_TEXT), "");
    EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "");

    window.SetStage(IDS_STAGE_FILES, IDS_STATUS_CHARACTER_MAPS);
    EXPECT_EQ(window.GetItemText(IDC_STAGE_TEXT), "Installing files");
    EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "Configuring Unicode character maps");
    window.SetStage(IDS_STAGE_FOLDERS, 0);
    EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "");
    ::Sleep(DLG_Installing::STATUS_INTERVAL_MS + 5);
    window.SetStatusText("R&D\\file.dll");
    EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "R&D\\file.dll");
    // Ampersands are shown, not taken as mnemonics, on both lines.
    for (int id : {IDC_STAGE_TEXT, IDC_STATUS_TEXT})
        EXPECT_TRUE(::GetWindowLongA(window.GetItem(id), GWL_STYLE) & SS_NOPREFIX) << id;
    // No close box: the installation cannot be cancelled.
    EXPECT_FALSE(::GetWindowLongA(hwnd, GWL_STYLE) & WS_SYSMENU);
    window.OnCancel();
    EXPECT_TRUE(::IsWindow(hwnd));
    window.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(ProgressWindow, HoldsBackNamesWithinTheIntervalEndsOnTheLastAndFillsTheBar)
{
    DLG_Installing window;
    ASSERT_TRUE(window.Create(nullptr));
    window.SetStage(IDS_STAGE_FILES, 0);
    window.SetProgressTotal(4000);
    ::Sleep(DLG_Installing::STATUS_INTERVAL_MS + 5);

    const auto start = std::chrono::steady_clock::now();
    window.SetStatusText("first.dll");
    window.SetStatusText("second.dll");
    window.AddProgress(1000);
    window.SetStatusText("last.dll");
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(DLG_Installing::STATUS_INTERVAL_MS))
    {
        EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "first.dll");
        EXPECT_EQ(window.GetShownPermille(), 0u);
    }
    ::Sleep(DLG_Installing::STATUS_INTERVAL_MS + 5);
    window.PumpMessages();
    EXPECT_EQ(window.GetItemText(IDC_STATUS_TEXT), "last.dll");
    EXPECT_EQ(window.GetShownPermille(), 250u);

    // A stage change shows at once; the bar stops at its end.
    window.SetStageText("Configuring software.");
    EXPECT_EQ(window.GetItemText(IDC_STAGE_TEXT), "Configuring software.");
    window.AddProgress(1u << 30);
    ::Sleep(DLG_Installing::STATUS_INTERVAL_MS + 5);
    window.PumpMessages();
    EXPECT_EQ(window.GetShownPermille(), 1000u);

    // The bar lies under the status line, which keeps its place.
    RECT status, bar;
    ::GetWindowRect(window.GetItem(IDC_STATUS_TEXT), &status);
    ASSERT_TRUE(::GetWindowRect(window.GetItem(IDC_PROGRESS_BAR), &bar));
    EXPECT_GE(bar.top, status.bottom);
    EXPECT_EQ(bar.left, status.left);
    window.DestroyWindow();
}

namespace
{
// Refuses every new access-control list and counts the folders offered.
class CRefusingDaclWriter : public IFolderDaclWriter
{
public:
    DWORD SetFolderDacl(HANDLE, const std::string&, PACL) override
    {
        ++calls;
        return ERROR_ACCESS_DENIED;
    }
    int calls = 0;
};

// An install sequence in a scratch folder, with two packages without entries
// beside the "setup program"; the links and the control's class key it
// writes are removed afterwards.
class InstallSequenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
        context.SetDaclWriter(&rights);
        context.m_strInstallPath = scratch / "Lumiro";
        DetermineFolders(context);
        context.m_strSourceDir = scratch.Path() + "\\";
        for (const char* name : {"RTDLL_NT.PKG", "APPS_NT.PKG"})
        {
            CPackageFile package;
            ASSERT_TRUE(package.Create((scratch / name).c_str(), TRUE));
            ASSERT_TRUE(package.Commit());
        }
    }
    void TearDown() override
    {
        RemoveShortcuts(context);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, SAMPLE_CONTROL_U_CLASS_KEY);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    }

    COleSession ole;
    CScratchFolder scratch{"sequence"};
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
    CRefusingDaclWriter rights;
};
} // namespace

TEST_F(InstallSequenceTest, RunsTheStepsInOrderAndARefusedFolderRightDoesNotFailIt)
{
    ASSERT_TRUE(IsWindowsNT() && IsWindows7());
    // The platform's control already in place.
    ASSERT_TRUE(::CreateDirectoryA((scratch / "Lumiro").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((scratch / "Lumiro\\Programs").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileA(FixtureFile("payload\\APPS_NT\\UiCtlsU.ocx").c_str(),
                            (scratch / "Lumiro\\Programs\\UiCtlsU.ocx").c_str(), FALSE));

    ASSERT_TRUE(RunInstall(context, context.Parts()));
    EXPECT_EQ(progress.stages,
              (std::vector<std::string>{"Creating folders", "Installing files", "Configuring software.",
                                        "Creating shortcuts", "Registering components", "Registering OLE Controls"}));
    EXPECT_EQ(progress.status, "");
    EXPECT_TRUE(FolderExists(scratch / "Lumiro\\Documents"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(rights.calls, 7);
    // Last of all, the setup's own copy and the entry that starts it.
    EXPECT_TRUE(FileExists(scratch / "Lumiro\\Setup\\setup.exe"));
    CRegistryKey entry;
    std::string location;
    ASSERT_TRUE(entry.Open(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_READ));
    EXPECT_TRUE(entry.QueryString("InstallLocation", location));
    EXPECT_EQ(location, scratch / "Lumiro");
}

TEST_F(InstallSequenceTest, AControlThatFailsToRegisterEndsTheSequenceAfterItsMessageAndEverythingIsUndone)
{
    const std::string journal = CUndoJournal::PathIn(context.m_strWindowsDir);
    const std::string desktopLink = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Lumiro.lnk";
    ::DeleteFileA(desktopLink.c_str());
    EXPECT_FALSE(RunInstall(context, context.Parts()));
    EXPECT_FALSE(CRegistryKey().Open(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, KEY_READ)) << "no entry for a failed installation";
    EXPECT_EQ(progress.stage, "Registering OLE Controls");
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text,
              "Failed to register OLE control \"" + (scratch / "Lumiro\\Programs\\UiCtlsU.ocx") + "\"");
    EXPECT_EQ(prompts.shown[1].text, "Setup has undone its changes: nothing was left of the installation.");
    EXPECT_EQ(rights.calls, 0);
    // The folders and the links the run made went again, and so did its
    // journal.
    EXPECT_FALSE(FolderExists(scratch / "Lumiro"));
    EXPECT_FALSE(FileExists(desktopLink));
    EXPECT_FALSE(FileExists(journal));
}
