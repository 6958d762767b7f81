// The uninstall window and the uninstall sequence on the real registry and
// file system of the test prefix. Each test starts and ends without
// "Software\Corvane".
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include "TestSupport.h"
#include "app/DlgUninstalling.h"
#include "app/SetupApp.h"
#include "app/UninstallFlow.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "resources/resource.h"

namespace
{
std::string WindowText(HWND window)
{
    char text[1024] = "";
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// Records with each message the uninstall log as the application's main
// window showed it at that moment.
class CLogReadingPrompts : public CScriptedPrompts
{
public:
    int ShowMessageBox(const std::string& text, unsigned type) override
    {
        const HWND main = CWinAppBase::Current()->MainWindow();
        logs.push_back(main ? WindowText(::GetDlgItem(main, IDC_UNINSTALL_LOG)) : "(no main window)");
        return CScriptedPrompts::ShowMessageBox(text, type);
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& message : shown)
            texts.push_back(message.text);
        return texts;
    }

    std::vector<std::string> logs;
};

bool KeyExists(const std::string& path) { return CRegistryKey().Open(HKEY_LOCAL_MACHINE, path.c_str(), KEY_READ); }

const std::string COMPLETION = "Uninstall completed successfully.";
const std::string STAGES_2_AND_3 = "Removing Registry Information... done.\nRemove Icons... done.\n";

class UninstallTest : public ::testing::Test
{
protected:
    UninstallTest() : scratch("uninstall")
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY);
        context.SetPrompts(&prompts);
    }
    ~UninstallTest() override { DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY); }

    void RecordInstallPath(const std::string& path)
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        ASSERT_EQ(key.SetString(VALUE_INSTALL_PATH, path.c_str()), ERROR_SUCCESS);
        ASSERT_EQ(key.SetDWORD(VALUE_BUILD_NUMBER, 2093u), ERROR_SUCCESS);
    }

    CScratchFolder scratch;
    // The application whose main window the uninstall window becomes.
    CSetupVantrelApp app;
    CTestContext context;
    CLogReadingPrompts prompts;
};
} // namespace

// The log's later lines are read by the sequence tests below.
TEST(UninstallWindow, OpensWithTheFirstStageAndCannotBeClosed)
{
    DLG_Uninstalling window;
    ASSERT_TRUE(window.Create(nullptr));
    const HWND hwnd = window.GetSafeHwnd();
    EXPECT_EQ(WindowText(hwnd), "Uninstalling");
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_FALSE(::GetWindowLongA(hwnd, GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(window.GetItemText(IDC_UNINSTALL_LOG), "Removing Program Files... ");
    window.OnCancel();
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(UninstallTest, NothingRecordedEndsAtOnceWithoutWindowOrMessage)
{
    EXPECT_EQ(RunUninstall(context), UninstallResult::NothingRecorded);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{});
    EXPECT_EQ(::FindWindowA(nullptr, "Uninstalling"), nullptr);
}

TEST_F(UninstallTest, RemovesTheInstalledTreeTheRecordsAndTheLinksAndConfirmsWithTheWindowAsOwner)
{
    // Recorded with a trailing backslash, as a hand-edited record may be.
    const std::string folder = scratch / "Lumiro";
    for (const char* sub : {"", "\\Programs", "\\Logs"})
        ASSERT_TRUE(::CreateDirectoryA((folder + sub).c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(folder + "\\Programs\\ReaderNT.exe", "program"));
    ASSERT_TRUE(::SetFileAttributesA((folder + "\\Programs\\ReaderNT.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteTextFile(folder + "\\Logs\\today.log", "log"));
    RecordInstallPath(folder + "\\");
    const std::string fontKey = std::string(PRODUCT_VENDOR_KEY) + "\\Unicode Support\\Font Mapping\\Arial";
    CRegistryKey().Create(HKEY_LOCAL_MACHINE, fontKey.c_str());
    CRegistryKey().Create(HKEY_LOCAL_MACHINE, (std::string(SIBLING_PRODUCT_KEY) + "\\Settings").c_str());
    const std::string links[] = {ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Lumiro.lnk",
                                 ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Lumiro.lnk"};
    for (const std::string& link : links)
        ASSERT_TRUE(WriteTextFile(link, "link")) << link;

    EXPECT_EQ(RunUninstall(context), UninstallResult::Done);

    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{COMPLETION});
    EXPECT_EQ(prompts.logs, std::vector<std::string>{"Removing Program Files... done.\n" + STAGES_2_AND_3});
    EXPECT_FALSE(FolderExists(folder));
    EXPECT_FALSE(KeyExists(PRODUCT_INSTALL_KEY));
    EXPECT_FALSE(KeyExists(SIBLING_PRODUCT_KEY));
    EXPECT_TRUE(KeyExists(fontKey));
    for (const std::string& link : links)
        EXPECT_FALSE(FileExists(link)) << link;
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(::FindWindowA(nullptr, "Uninstalling"), nullptr);
}

TEST_F(UninstallTest, UnsafeRecordedFoldersAreRefusedWithAMessageAndTheLaterStagesStillRun)
{
    char windows[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const struct
    {
        std::string path;
        std::string message;
    } cases[] = {
        {"", "No installation folder is recorded, so no program files are removed."},
        {"Lumiro", "The recorded installation folder \"Lumiro\" is not a full path, so no program files are removed."},
        {"C:\\", "The recorded installation folder \"C:\\\" is the root of a drive, so no program files are removed."},
        {windows, "The recorded installation folder \"" + std::string(windows) +
                      "\" is a folder of Windows or of the user's own files, so no program files are removed."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.path);
        prompts.shown.clear();
        prompts.logs.clear();
        RecordInstallPath(c.path);

        EXPECT_EQ(RunUninstall(context), UninstallResult::Done);

        EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{c.message, COMPLETION}));
        ASSERT_EQ(prompts.logs.size(), 2u);
        EXPECT_EQ(prompts.logs[1], "Removing Program Files... skipped.\n" + STAGES_2_AND_3);
        EXPECT_FALSE(KeyExists(PRODUCT_INSTALL_KEY));
    }
    EXPECT_TRUE(FolderExists(windows));
}

TEST_F(UninstallTest, FolderWithoutAnInstalledCopyIsLeftAndTheLogSaysSo)
{
    const std::string folder = scratch / "Papers";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((folder + "\\Programs").c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(folder + "\\Programs\\Other.exe", "another program"));
    ASSERT_TRUE(WriteTextFile(folder + "\\letter.txt", "the user's own"));
    RecordInstallPath(folder);

    EXPECT_EQ(RunUninstall(context), UninstallResult::Done);

    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{COMPLETION});
    EXPECT_EQ(prompts.logs, std::vector<std::string>{"Removing Program Files... skipped: no installed copy in \"" +
                                                     folder + "\".\n" + STAGES_2_AND_3});
    EXPECT_EQ(ReadTextFile(folder + "\\letter.txt"), "the user's own");
    EXPECT_TRUE(FileExists(folder + "\\Programs\\Other.exe"));
    EXPECT_FALSE(KeyExists(PRODUCT_INSTALL_KEY));
}

TEST_F(UninstallTest, ItemsThatStayAreReportedAndTheEndSaysSoInsteadOfSuccess)
{
    const std::string folder = scratch / "Lumiro";
    for (const char* sub : {"", "\\Programs"})
        ASSERT_TRUE(::CreateDirectoryA((folder + sub).c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(folder + "\\Programs\\ReaderNT.exe", "program"));
    const std::string held = folder + "\\Programs\\notes.txt";
    ASSERT_TRUE(WriteTextFile(held, "open in an editor"));
    RecordInstallPath(folder);
    {
        // Held without sharing, as a program holds a file it has open.
        const unique_hfile holder(
            ::CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_EQ(RunUninstall(context), UninstallResult::ItemsRemain);
    }

    const std::vector<std::string> texts = prompts.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].rfind("Unable to delete file \"" + held + "\"", 0), 0u) << texts[0];
    EXPECT_EQ(texts[3], "Uninstall finished, but some items could not be removed from \"" + folder +
                            "\".  You can delete them yourself.");
    EXPECT_EQ(prompts.logs.back(), "Removing Program Files... some items remain.\n" + STAGES_2_AND_3);
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(FileExists(folder + "\\Programs\\ReaderNT.exe"));
    EXPECT_FALSE(KeyExists(PRODUCT_INSTALL_KEY));
}
