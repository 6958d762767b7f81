// The main dialog, the licence agreement and the install-path dialog, created
// modeless in this program with the setup's own templates, over real registry
// values and folders of the test prefix; messages go to scripted prompts.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/DlgInstalling.h"
#include "core/SetupContext.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "resources/resource.h"
#include "ui/DlgInstallPath.h"
#include "ui/DlgLicense.h"
#include "ui/DlgReplaceFile.h"
#include "ui/DlgSetup.h"

namespace
{
const std::string DEFAULT_FOLDER = "C:\\Lumiro";

std::string WindowText(HWND window)
{
    char text[1024];
    return std::string(text, static_cast<size_t>(::GetWindowTextA(window, text, sizeof text)));
}

bool Enabled(CDialogBase& dialog, int id)
{
    return ::IsWindowEnabled(dialog.GetItem(id)) != FALSE;
}
// The dialog itself is not shown: the control's own visibility.
bool Shown(CDialogBase& dialog, int id)
{
    return (::GetWindowLongA(dialog.GetItem(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// Whether a static control's text fits on one line of its width in the
// font it is drawn with (a label that wraps hides its last words).
bool FitsOnOneLine(HWND control)
{
    RECT client;
    ::GetClientRect(control, &client);
    const std::string text = WindowText(control);
    HDC dc = ::GetDC(control);
    const HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(control, dc);
    return size.cx <= client.right;
}

void Click(CDialogBase& dialog, int id)
{
    ::SendMessageA(dialog.GetItem(id), BM_CLICK, 0, 0);
}

struct BrowserWatch
{
    HWND owner;
    std::atomic<bool> seenTitle;
    std::atomic<bool> cancelled;
};

BOOL CALLBACK NoteTitle(HWND child, LPARAM param)
{
    if (WindowText(child) == "Browse For Path")
        reinterpret_cast<BrowserWatch*>(param)->seenTitle = true;
    return TRUE;
}

// Cancels the folder browser: the visible window the path dialog owns.
BOOL CALLBACK CancelBrowser(HWND window, LPARAM param)
{
    auto* watch = reinterpret_cast<BrowserWatch*>(param);
    if (::GetWindow(window, GW_OWNER) != watch->owner || !::IsWindowVisible(window) ||
        !::GetWindow(window, GW_CHILD))
        return TRUE;
    ::EnumChildWindows(window, NoteTitle, param);
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    watch->cancelled = true;
    return FALSE;
}

// A product key and a default folder made anew for each test and removed
// afterwards; the application object whose install path the dialogs set.
class SetupDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        DeleteTree(DEFAULT_FOLDER);
        context.SetPrompts(&prompts);
        context.m_strInstallPath = "unset";
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        DeleteTree(DEFAULT_FOLDER);
    }

    static void PlaceExecutable(const std::string& folder, const char* name)
    {
        ::CreateDirectoryA(folder.c_str(), nullptr);
        ::CreateDirectoryA((folder + "\\Programs").c_str(), nullptr);
        ASSERT_TRUE(WriteTextFile(folder + "\\Programs\\" + name, "MZ"));
    }

    CTestContext context;
    CScriptedPrompts prompts;
};

struct InstalledState
{
    const char* name;
    bool recordPath;        // "Install Path" names the scratch folder
    DWORD build;            // "Build Number"; 0: no value
    const char* scratchExe; // executable in the scratch folder's Programs
    const char* defaultExe; // executable in C:\Lumiro\Programs
    // What the dialog shows and decides.
    bool found;
    bool installOffered;
    const char* buildLabel;
    bool atDefault; // the copy is reported in C:\Lumiro
};
} // namespace

TEST_F(SetupDialogs, MainDialogReportsTheInstalledCopyAndOffersWhatFits)
{
    const InstalledState states[] = {
        {"fresh machine", false, 0, nullptr, nullptr, false, true, nullptr, false},
        {"build 2092 found", true, 2092, "ReaderNT.Exe", nullptr, true, true,
         "Installed software (Build 2092) found in:", false},
        {"build 2093 found", true, 2093, "Reader95.Exe", nullptr, true, false,
         "Installed software (Build 2093) found in:", false},
        {"build 2094 found", true, 2094, "ReaderNT.Exe", nullptr, true, false,
         "Installed software (Build 2094) found in:", false},
        {"no build number", true, 0, "ReaderNT.Exe", nullptr, true, true,
         "Installed software (Build n/a) found in:", false},
        {"recorded folder empty, copy in the default folder", true, 2092, nullptr, "ReaderNT.Exe", true, true,
         "Installed software (Build 2092) found in:", true},
    };
    for (const InstalledState& s : states)
    {
        SCOPED_TRACE(s.name);
        SetUp();
        CScratchFolder scratch("main-dialog");
        if (s.scratchExe)
            PlaceExecutable(scratch.Path(), s.scratchExe);
        if (s.defaultExe)
            PlaceExecutable(DEFAULT_FOLDER, s.defaultExe);
        {
            CRegistryKey key;
            key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
            if (s.recordPath)
                key.SetString(VALUE_INSTALL_PATH, scratch.Path().c_str());
            if (s.build)
                key.SetDWORD(VALUE_BUILD_NUMBER, s.build);
        }

        DLG_Setup dialog(context);
        ASSERT_TRUE(dialog.Create(nullptr));
        EXPECT_EQ(WindowText(dialog.GetSafeHwnd()), "Lumiro (Build 2093)");
        EXPECT_EQ(dialog.m_bUpgrade != FALSE, s.found);
        EXPECT_EQ(Enabled(dialog, IDC_INSTALL_BUTTON), s.installOffered);
        EXPECT_EQ(Enabled(dialog, IDC_INSTALL_LABEL), s.installOffered);
        EXPECT_EQ(Enabled(dialog, IDC_UNINSTALL_BUTTON), s.found);
        EXPECT_EQ(Enabled(dialog, IDC_UNINSTALL_LABEL), s.found);
        EXPECT_EQ(Shown(dialog, IDC_INSTALLED_BUILD), s.found);
        EXPECT_EQ(Shown(dialog, IDC_INSTALLED_PATH), s.found);
        EXPECT_EQ(dialog.GetItemText(IDC_INSTALL_LABEL), s.found ? "UPGRADE software" : "INSTALL software");
        const std::string folder = s.found && !s.atDefault ? scratch.Path() : DEFAULT_FOLDER;
        EXPECT_EQ(context.m_strInstallPath, folder);
        if (s.found)
        {
            EXPECT_EQ(dialog.GetItemText(IDC_INSTALLED_BUILD), s.buildLabel);
            EXPECT_TRUE(FitsOnOneLine(dialog.GetItem(IDC_INSTALLED_BUILD)));
            EXPECT_EQ(dialog.GetItemText(IDC_INSTALLED_PATH), folder);
        }

        // Leaving with "Exit Setup" keeps what the dialog recorded: on a
        // machine without a copy, the default folder.
        Click(dialog, IDCANCEL);
        EXPECT_EQ(dialog.GetResult(), IDCANCEL);
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        std::string recorded;
        key.QueryString(VALUE_INSTALL_PATH, recorded);
        EXPECT_EQ(recorded, s.recordPath ? scratch.Path() : DEFAULT_FOLDER);
        DeleteTree(DEFAULT_FOLDER);
    }
}

TEST_F(SetupDialogs, MainDialogEndsOnlyThroughItsButtons)
{
    {
        DLG_Setup dialog(context);
        ASSERT_TRUE(dialog.Create(nullptr));
        // Enter chooses nothing; a click posted to the disabled uninstall
        // button neither.
        ::SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        Click(dialog, IDC_UNINSTALL_BUTTON);
        ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd()));
        Click(dialog, IDC_INSTALL_BUTTON);
        EXPECT_EQ(dialog.GetResult(), IDOK);
        EXPECT_FALSE(dialog.m_bUninstall);
    }
    PlaceExecutable(DEFAULT_FOLDER, "ReaderNT.Exe");
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
        key.SetDWORD(VALUE_BUILD_NUMBER, 2093);
    }
    DLG_Setup dialog(context);
    ASSERT_TRUE(dialog.Create(nullptr));
    Click(dialog, IDC_INSTALL_BUTTON);
    ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd())) << "the same build cannot be installed again";
    Click(dialog, IDC_UNINSTALL_BUTTON);
    EXPECT_EQ(dialog.GetResult(), IDOK);
    EXPECT_TRUE(dialog.m_bUninstall);
}

TEST(LicenseAgreement, TextEndsBeforeTheFirstPairOfExclamationMarks)
{
    const struct
    {
        std::string data;
        std::string shown;
    } cases[] = {
        {"Terms!!after", "Terms"},      {"Terms! end!!", "Terms! end"},   {"!!", ""},
        {"no end mark", "no end mark"}, {"ends in one!", "ends in one!"}, {"a\nb\r\nc!!", "a\r\nb\r\nc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DLG_Main::AgreementText(c.data.data(), c.data.size()), c.shown) << c.data;
}

TEST_F(SetupDialogs, LicenseShowsTheAgreementAndInstallsOnlyOnceAccepted)
{
    DLG_Main dialog(context);
    ASSERT_TRUE(dialog.Create(nullptr));
    const std::string text = dialog.GetItemText(IDC_LICENSE_TEXT);
    EXPECT_EQ(text.rfind("LUMIRO LICENSE AGREEMENT\r\n", 0), 0u) << text;
    EXPECT_EQ(text.find('!'), std::string::npos);
    EXPECT_NE(::SendMessageA(dialog.GetSafeHwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageA(dialog.GetSafeHwnd(), WM_GETICON, ICON_SMALL, 0), 0);

    EXPECT_FALSE(Enabled(dialog, IDC_LICENSE_INSTALL));
    Click(dialog, IDC_LICENSE_ACCEPT);
    EXPECT_TRUE(Enabled(dialog, IDC_LICENSE_INSTALL));
    Click(dialog, IDC_LICENSE_ACCEPT);
    EXPECT_FALSE(Enabled(dialog, IDC_LICENSE_INSTALL));
    // Enter, or a click that reaches the disabled button, accepts nothing.
    ::SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    dialog.OnCommand(IDC_LICENSE_INSTALL, BN_CLICKED);
    ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd()));

    // Cancel answered No keeps the dialog and its tick.
    Click(dialog, IDC_LICENSE_ACCEPT);
    prompts.answers = {IDNO};
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd()));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Are you sure you wish to cancel Setup?");
    EXPECT_EQ(prompts.shown[0].type, static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(::IsDlgButtonChecked(dialog.GetSafeHwnd(), IDC_LICENSE_ACCEPT), BST_CHECKED);

    Click(dialog, IDC_LICENSE_INSTALL);
    EXPECT_EQ(dialog.GetResult(), IDOK);
}

TEST_F(SetupDialogs, LicenseWithoutItsResourceSaysSoAndStaysUsable)
{
    std::string text;
    EXPECT_FALSE(DLG_Main::LoadAgreement(::GetModuleHandleA("kernel32.dll"), text));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));

    DLG_Main dialog(context);
    dialog.m_hAgreementModule = ::GetModuleHandleA("kernel32.dll");
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(dialog.GetItemText(IDC_LICENSE_TEXT), "Error: Cannot load license agreement");
    Click(dialog, IDC_LICENSE_ACCEPT);
    prompts.answers = {IDYES};
    Click(dialog, IDCANCEL);
    EXPECT_EQ(dialog.GetResult(), IDCANCEL);
}

TEST_F(SetupDialogs, InstallPathEnablesOkWhileAPathIsTyped)
{
    DLG_InstallPath dialog(context);
    dialog.m_strPath = "C:\\Lumiro";
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(dialog.GetItemText(IDC_INSTALL_PATH_EDIT), "C:\\Lumiro");
    EXPECT_TRUE(Enabled(dialog, IDOK));
    dialog.SetItemText(IDC_INSTALL_PATH_EDIT, "");
    EXPECT_FALSE(Enabled(dialog, IDOK));
    dialog.SetItemText(IDC_INSTALL_PATH_EDIT, "D");
    EXPECT_TRUE(Enabled(dialog, IDOK));

    prompts.answers = {IDNO, IDYES};
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd()));
    EXPECT_EQ(dialog.GetItemText(IDC_INSTALL_PATH_EDIT), "D");
    Click(dialog, IDCANCEL);
    EXPECT_EQ(dialog.GetResult(), IDCANCEL);
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST_F(SetupDialogs, InstallPathRefusesFoldersTheUninstallMustNeverRemove)
{
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const struct
    {
        std::string typed;
        std::string message;
    } refused[] = {
        {"Lumiro",
         "The folder \"Lumiro\" is not a complete path.  Please enter a path that begins with a drive "
         "letter, such as C:\\Lumiro."},
        {"..\\x", "The folder \"..\\x\" is not a complete path.*"},
        {"C:\\",
         "Lumiro cannot be installed in \"C:\\\" because it is the root of a drive.  Please choose a folder "
         "of its own, such as C:\\Lumiro."},
        {windows,
         std::string("Lumiro cannot be installed in \"") + windows +
             "\" because that folder holds files of Windows or of a user.  Please choose a folder of its "
             "own, such as C:\\Lumiro."},
        {"   ", "The folder \"   \" is not a complete path.*"},
    };
    DLG_InstallPath dialog(context);
    ASSERT_TRUE(dialog.Create(nullptr));
    for (const auto& r : refused)
    {
        SCOPED_TRACE(r.typed);
        prompts.shown.clear();
        dialog.SetItemText(IDC_INSTALL_PATH_EDIT, r.typed);
        Click(dialog, IDOK);
        ASSERT_TRUE(::IsWindow(dialog.GetSafeHwnd()));
        ASSERT_EQ(prompts.shown.size(), 1u);
        const std::string& text = prompts.shown[0].text;
        if (r.message.back() == '*')
            EXPECT_EQ(text.compare(0, r.message.size() - 1, r.message, 0, r.message.size() - 1), 0) << text;
        else
            EXPECT_EQ(text, r.message);
        EXPECT_EQ(prompts.shown[0].type, static_cast<unsigned>(MB_OK));
    }
    prompts.shown.clear();
    dialog.SetItemText(IDC_INSTALL_PATH_EDIT, "D:\\Apps\\Lumiro\\\\");
    Click(dialog, IDOK);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dialog.GetResult(), IDOK);
    EXPECT_EQ(dialog.m_strPath, "D:\\Apps\\Lumiro");
}

TEST_F(SetupDialogs, CancelledFolderBrowserKeepsThePathAndShowsItsTitle)
{
    DLG_InstallPath dialog(context);
    dialog.m_strPath = "D:\\Typed";
    ASSERT_TRUE(dialog.Create(nullptr));
    const HWND owner = dialog.GetSafeHwnd();
    // The browser is modal: another thread finds it (the window the path
    // dialog owns), reads its title and cancels it as a user would.
    BrowserWatch watch{owner, false, false};
    std::thread user(
        [&watch]
        {
            for (int i = 0; i < 1000 && !watch.cancelled; ++i)
            {
                ::EnumWindows(CancelBrowser, reinterpret_cast<LPARAM>(&watch));
                ::Sleep(10);
            }
        });
    dialog.OnBrowse();
    watch.cancelled = true;
    user.join();
    EXPECT_TRUE(watch.seenTitle);
    EXPECT_EQ(dialog.GetItemText(IDC_INSTALL_PATH_EDIT), "D:\\Typed");
    EXPECT_EQ(dialog.m_strPath, "D:\\Typed");
}

TEST(WindowPlacement, WindowsWithoutAPositionAreCentredOnTheScreenOrOverTheirOwner)
{
    RECT area;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    DLG_Installing progress;
    ASSERT_TRUE(progress.Create(nullptr));
    RECT shown;
    ::GetWindowRect(progress.GetSafeHwnd(), &shown);
    EXPECT_NEAR((shown.left + shown.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((shown.top + shown.bottom) / 2, (area.top + area.bottom) / 2, 1);

    // Move the owner off-centre: the question follows it.
    ::SetWindowPos(progress.GetSafeHwnd(), nullptr, area.left + 10, area.top + 200, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    ::GetWindowRect(progress.GetSafeHwnd(), &shown);
    DLG_ReplaceFile question;
    ASSERT_TRUE(question.Create(progress.GetSafeHwnd()));
    RECT over;
    ::GetWindowRect(question.GetSafeHwnd(), &over);
    EXPECT_GE(over.left, area.left) << "kept on the screen";
    EXPECT_NEAR((over.top + over.bottom) / 2, (shown.top + shown.bottom) / 2, 1);
}
