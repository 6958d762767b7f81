// Names in any language through the setup's calls with text: on the NT
// family every one reaches the system exactly (files, registry, windows) and
// compares without regard to case as Windows compares names; on Windows 9x
// (this program run a second time, under that emulation) a name the code
// page cannot spell is refused, and nothing of a look-alike is made.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "TestSupport.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "framework/RegistryKey.h"
#include "shell/InstallPathCheck.h"

namespace
{
// Łódź, Про and 李明: beyond the test prefix's code page 1252 all three.
const std::string POLISH = "\xc5\x81\xc3\xb3\x64\xc5\xba";
const std::string RUSSIAN = "\xd0\x9f\xd1\x80\xd0\xbe";
const std::string CHINESE = "\xe6\x9d\x8e\xe6\x98\x8e";
// Zoë: in code page 1252.
const std::string IN_CODE_PAGE = "Zo\xc3\xab";
// This program's own (it runs under two versions, maybe at the same time).
const std::string SCRATCH_KEY = "Software\\Corvane Text Test " + ProcessTag();

bool Emulates9x() { return !RunsAsNt(); }
} // namespace

TEST(SystemText, TheSystemIsTheOneThisProgramWasBuiltFor)
{
    EXPECT_EQ(SystemUsesCodePage(), WindowsVersionUnderTest() == "win98");
    EXPECT_EQ(Emulates9x(), SystemUsesCodePage());
}

// Every name the code page can spell goes through on both families; the
// others only where the system takes UTF-16.
TEST(SystemText, FilesOfEveryNameAreMadeFoundMovedAndDeletedExactlyOrRefused)
{
    CScratchFolder scratch("text");
    for (const std::string& name : {IN_CODE_PAGE, POLISH, RUSSIAN, CHINESE})
    {
        SCOPED_TRACE(name);
        const bool spellable = !Emulates9x() || name == IN_CODE_PAGE;
        const std::string path = scratch / (name + ".txt");
        const std::string moved = scratch / (name + "-moved.txt");
        ::SetLastError(0);
        EXPECT_EQ(WriteTextFile(path, name), spellable);
        if (!spellable)
        {
            EXPECT_EQ(::GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
            EXPECT_EQ(FilesMatching(scratch.Path(), "*.txt"), std::vector<std::string>{}) << "no look-alike";
            EXPECT_FALSE(CreateDirectoryU((scratch / name).c_str(), nullptr));
            continue;
        }
        FindDataU found;
        const unique_hfind find(FindFirstFileU(scratch / "*.txt", found));
        ASSERT_TRUE(find);
        EXPECT_EQ(found.name, name + ".txt");
        EXPECT_TRUE(found.exact);
        EXPECT_TRUE(MoveFileU(path, moved));
        EXPECT_TRUE(CopyFileU(moved, path, TRUE));
        EXPECT_EQ(ReadTextFile(path), name);
        EXPECT_TRUE(DeleteFileU(path.c_str()));
        EXPECT_TRUE(DeleteFileU(moved.c_str()));
        EXPECT_FALSE(PathExistsU(moved));
    }
}

// Windows compares names by its upper-case table, for every script.
TEST(SystemText, NamesCompareWithoutRegardToCaseInEveryScript)
{
    if (Emulates9x())
        GTEST_SKIP() << "Windows 9x compares in its code page only";
    const struct
    {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"C:\\" + POLISH, "c:\\\xc5\x82\xc3\x93\x44\xc5\xb9", true}, // łÓDŹ
        {RUSSIAN, "\xd0\xbf\xd0\xa0\xd0\x9e", true},                  // пРО
        {CHINESE, CHINESE, true},
        {RUSSIAN, POLISH, false},
        {"Setup", "SETUP", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareNamesU(c.a, c.b) == 0, c.equal) << c.a << " / " << c.b;
}

// The registry keeps key names, value names and texts exactly.
TEST(SystemText, RegistryNamesAndTextsComeBackExactly)
{
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH_KEY);
    const std::string text = Emulates9x() ? IN_CODE_PAGE : "C:\\" + POLISH + "\\" + RUSSIAN + "\\" + CHINESE;
    const std::string subKey = SCRATCH_KEY + "\\" + (Emulates9x() ? IN_CODE_PAGE : CHINESE);
    {
        CRegistryKey key;
        key.Create(HKEY_LOCAL_MACHINE, subKey.c_str());
        ASSERT_TRUE(key.GetKey());
        EXPECT_EQ(key.SetString(text.c_str(), text.c_str()), ERROR_SUCCESS);
        EXPECT_EQ(key.SetMultiString("List", {text, "", "b"}), ERROR_SUCCESS);
        EXPECT_EQ(key.SetString("Refused", (Emulates9x() ? POLISH : std::string("\xff")).c_str()),
                  LONG(ERROR_NO_UNICODE_TRANSLATION));
    }
    CRegistryKey key;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_READ));
    std::string value;
    EXPECT_TRUE(key.QueryString(text.c_str(), value));
    EXPECT_EQ(value, text);
    std::vector<std::string> list;
    EXPECT_TRUE(key.QueryMultiString("List", list));
    EXPECT_EQ(list, (std::vector<std::string>{text, "", "b", ""}));
    std::vector<std::string> names = key.ValueNames();
    std::vector<std::string> expected = {"List", text};
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    CRegistryKey parent;
    ASSERT_TRUE(parent.Open(HKEY_LOCAL_MACHINE, SCRATCH_KEY.c_str(), KEY_READ));
    EXPECT_EQ(parent.SubKeyNames(), std::vector<std::string>{subKey.substr(subKey.rfind('\\') + 1)});
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, SCRATCH_KEY);
}

// A window shows and gives back every text it is given.
TEST(SystemText, AWindowGivesBackTheTextItWasGiven)
{
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(edit);
    const std::string text = Emulates9x() ? IN_CODE_PAGE : POLISH + " " + RUSSIAN + " " + CHINESE;
    EXPECT_TRUE(SetWindowTextU(edit, text));
    EXPECT_EQ(GetWindowTextU(edit), text);
    ::DestroyWindow(edit);
}

// The folder checks take a Unicode folder as any other; Windows 9x refuses
// one it cannot spell before anything is made.
TEST(SystemText, InstallFolderChecksHoldForUnicodeFoldersAndRefuseWhatCannotBeSpelled)
{
    const std::string polish = "C:\\Programy\\" + POLISH + " Lumiro";
    EXPECT_EQ(CheckInstallPath(polish),
              Emulates9x() ? InstallPathProblem::NotSpellable : InstallPathProblem::None);
    EXPECT_EQ(CheckInstallPath("C:\\" + IN_CODE_PAGE + "\\Lumiro"), InstallPathProblem::None);
    // A well-known folder named again in other letters' case is still one.
    std::string windows;
    ASSERT_GT(GetWindowsDirectoryU(windows, MAX_PATH), 0u);
    for (char& c : windows)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    EXPECT_EQ(CheckInstallPath(windows), InstallPathProblem::WellKnownFolder);
}
