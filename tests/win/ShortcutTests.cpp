// The shortcuts to the installed reader, written through the shell into the
// special folders of the test prefix and read back through the shell. The
// same tests run as an NT-family program and under Windows 9x emulation.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "TestSupport.h"
#include "core/SetupContext.h"
#include "shell/Shortcuts.h"
#include "framework/OleSession.h"
#include "framework/Handles.h"

namespace
{
struct LinkInfo
{
    std::string target;
    std::string description;
    std::string iconFile;
    int iconIndex = -1;
};

// The link's properties as the shell reads them; false when it cannot load it.
bool ReadLink(const std::string& path, LinkInfo& info)
{
    unique_com<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(link.put()))))
        return false;
    unique_com<IPersistFile> file;
    if (FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))))
        return false;
    WCHAR widePath[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    if (FAILED(file.get()->Load(widePath, STGM_READ)))
        return false;
    char text[MAX_PATH] = "";
    link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.target = text;
    text[0] = '\0';
    link.get()->GetDescription(text, MAX_PATH);
    info.description = text;
    text[0] = '\0';
    link.get()->GetIconLocation(text, MAX_PATH, &info.iconIndex);
    info.iconFile = text;
    return true;
}

class ShortcutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.SetPrompts(&prompts);
        context.SetProgress(&progress);
        context.m_strInstallPath = scratch / "Lumiro";
        ::CreateDirectoryA(context.m_strInstallPath.c_str(), nullptr);
        ::CreateDirectoryA((context.m_strInstallPath + "\\Programs").c_str(), nullptr);
        const std::string reader = RunsAsNt() ? "payload\\APPS_NT\\ReaderNT.exe" : "payload\\APPS_95\\Reader95.exe";
        ASSERT_TRUE(::CopyFileA(FixtureFile(reader).c_str(), Target().c_str(), FALSE));
        const int common[] = {CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY};
        const int perUser[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY};
        for (int i = 0; i < 2; ++i)
        {
            const std::string used = ShellFolder(RunsAsNt() ? common[i] : perUser[i]);
            const std::string unused = ShellFolder(RunsAsNt() ? perUser[i] : common[i]);
            ASSERT_FALSE(used.empty());
            ASSERT_NE(used, unused);
            links.push_back(used + "\\Lumiro.lnk");
            otherLinks.push_back(unused + "\\Lumiro.lnk");
        }
        RemoveAllLinks();
    }
    void TearDown() override { RemoveAllLinks(); }

    void RemoveAllLinks()
    {
        for (const auto* list : {&links, &otherLinks})
            for (const std::string& link : *list)
                DeleteTree(link);
    }

    std::string Target() const
    {
        return context.m_strInstallPath + (RunsAsNt() ? "\\Programs\\ReaderNT.exe" : "\\Programs\\Reader95.exe");
    }

    COleSession ole;
    CScratchFolder scratch{"shortcuts"};
    CTestContext context;
    CScriptedPrompts prompts;
    CRecordingProgress progress;
    std::vector<std::string> links;      // Programs menu, desktop: where this platform keeps them
    std::vector<std::string> otherLinks; // the same folders of the other platform
};
} // namespace

TEST_F(ShortcutTest, WritesBothLinksToTheReaderWithTheSecondIconWhereThePlatformKeepsThem)
{
    ASSERT_TRUE(CreateShortcuts(context));
    EXPECT_EQ(progress.stages, std::vector<std::string>{"Creating shortcuts"});
    EXPECT_EQ(progress.status, "");
    EXPECT_TRUE(prompts.shown.empty());
    for (const std::string& link : links)
    {
        LinkInfo info;
        ASSERT_TRUE(ReadLink(link, info)) << link;
        EXPECT_EQ(info.target, Target()) << link;
        EXPECT_EQ(info.description, "Lumiro") << link;
        EXPECT_EQ(info.iconFile, Target()) << link;
        EXPECT_EQ(info.iconIndex, 1) << link;
    }
    for (const std::string& link : otherLinks)
        EXPECT_FALSE(FileExists(link)) << link;
}

TEST_F(ShortcutTest, InstallingAgainReplacesBothLinksWithoutAQuestion)
{
    ASSERT_TRUE(CreateShortcuts(context));
    context.m_strInstallPath = scratch / "Elsewhere";
    ASSERT_TRUE(CreateShortcuts(context));
    EXPECT_TRUE(prompts.shown.empty());
    for (const std::string& link : links)
    {
        LinkInfo info;
        ASSERT_TRUE(ReadLink(link, info)) << link;
        EXPECT_EQ(info.target, Target()) << link;
    }
}

TEST_F(ShortcutTest, RemovingDeletesBothLinksAndLinksAlreadyGoneAreNoError)
{
    ASSERT_TRUE(CreateShortcuts(context));
    RemoveShortcuts(context);
    for (const std::string& link : links)
        EXPECT_FALSE(FileExists(link)) << link;
    RemoveShortcuts(context);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ShortcutTest, ALinkThatCannotBeWrittenStopsTheStepBeforeTheDesktop)
{
    // A folder under the link's name: the shell cannot write the file.
    ASSERT_TRUE(::CreateDirectoryA(links[0].c_str(), nullptr));
    EXPECT_FALSE(CreateShortcuts(context));
    ASSERT_EQ(prompts.shown.size(), 1u);
    const std::string prefix = "Failed to create the required shortcut - ";
    EXPECT_EQ(prompts.shown[0].text.rfind(prefix, 0), 0u) << prompts.shown[0].text;
    EXPECT_GT(prompts.shown[0].text.size(), prefix.size()) << "the system's reason is given";
    EXPECT_EQ(prompts.shown[0].type, unsigned(MB_OK));
    EXPECT_FALSE(FileExists(links[1]));
}
