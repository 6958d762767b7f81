// The folder access rights. This Wine takes new access-control lists but does
// not keep them on folders, so the tests read the list each step hands to the
// folder, entry by entry. The program runs under the Windows version that
// its test names (WindowsVersionUnderTest, with Wine's per-application
// version set by its ctest fixture): winxp and win7 take all seven steps,
// win10 and win98 none.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>

#include "TestSupport.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "install/FolderRights.h"

namespace
{
struct WindowsVersion
{
    const char* name;
    DWORD major;
    DWORD minor;
    bool takesRights;
};
constexpr WindowsVersion VERSIONS[] = {
    {"winxp", 5, 1, true}, {"win7", 6, 1, true}, {"win10", 10, 0, false}, {"win98", 4, 10, false}};

const WindowsVersion& ExpectedVersion()
{
    const std::string name = WindowsVersionUnderTest();
    for (const WindowsVersion& version : VERSIONS)
        if (name == version.name)
            return version;
    throw std::logic_error("no folder rights known for " + name);
}

using Entry = AclEntry;

// Keeps a copy of every list a step hands to a folder, then lets the system
// apply it.
class CRecordingDaclWriter : public IFolderDaclWriter
{
public:
    DWORD SetFolderDacl(HANDLE folder, const std::string& path, PACL dacl) override
    {
        paths.push_back(path);
        lists.push_back(AclEntries(dacl));
        return system.SetFolderDacl(folder, path, dacl);
    }

    std::vector<std::string> paths;
    std::vector<std::vector<Entry>> lists;
    CSystemDaclWriter system;
};

constexpr BYTE INHERITED_BY_ALL = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
const char USERS[] = "S-1-5-32-545";
const char ADMINISTRATORS[] = "S-1-5-32-544";
const char LOCAL_SYSTEM[] = "S-1-5-18";

// The entries of the list for the trustee.
std::vector<Entry> EntriesFor(const std::vector<Entry>& list, const std::string& sid)
{
    std::vector<Entry> found;
    for (const Entry& entry : list)
        if (entry.sid == sid)
            found.push_back(entry);
    return found;
}

class FolderRightsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        context.SetDaclWriter(&writer);
        context.m_strInstallPath = scratch / "Lumiro";
        for (const char* suffix : {"", "\\Configuration", "\\Configuration\\Machine", "\\Documents", "\\Logs"})
            ::CreateDirectoryA((context.m_strInstallPath + suffix).c_str(), nullptr);
    }

    CScratchFolder scratch{"rights"};
    CTestContext context;
    CRecordingDaclWriter writer;
};
} // namespace

TEST(FolderRightsVersion, TheSystemReportsTheVersionThisProgramIsRunAs)
{
    const OSVERSIONINFOA version = SystemVersion();
    EXPECT_EQ(version.dwMajorVersion, ExpectedVersion().major);
    EXPECT_EQ(version.dwMinorVersion, ExpectedVersion().minor);
    EXPECT_EQ(IsWindowsXP() || IsWindows7(), ExpectedVersion().takesRights);
}

TEST_F(FolderRightsTest, TakesTheSevenStepsInOrderWithInheritedEntriesOnlyOnWindows51And61)
{
    SetFolderAccessRights(context);
    if (!ExpectedVersion().takesRights)
    {
        EXPECT_TRUE(writer.paths.empty());
        return;
    }
    const std::string& root = context.m_strInstallPath;
    struct Step
    {
        std::string path;
        const char* sid;
        DWORD mask;
    };
    const Step steps[] = {
        {root, USERS, 0x00020019},
        {root + "\\Configuration", USERS, GENERIC_ALL},
        {root + "\\Configuration\\Machine", USERS, GENERIC_ALL},
        {root + "\\Documents", USERS, GENERIC_ALL},
        {root + "\\Logs", USERS, GENERIC_ALL},
        {root, ADMINISTRATORS, GENERIC_ALL},
        {root, LOCAL_SYSTEM, GENERIC_ALL},
    };
    ASSERT_EQ(writer.paths.size(), 7u);
    for (size_t i = 0; i < 7; ++i)
    {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(writer.paths[i], steps[i].path);
        bool found = false;
        for (const Entry& entry : EntriesFor(writer.lists[i], steps[i].sid))
            found = found || (entry.type == ACCESS_ALLOWED_ACE_TYPE && entry.mask == steps[i].mask &&
                              entry.flags == INHERITED_BY_ALL);
        EXPECT_TRUE(found);
    }
}

TEST_F(FolderRightsTest, AMissingLogsFolderDoesNotStopTheOtherSteps)
{
    ASSERT_TRUE(::RemoveDirectoryA((context.m_strInstallPath + "\\Logs").c_str()));
    SetFolderAccessRights(context);
    const size_t expected = ExpectedVersion().takesRights ? 6u : 0u;
    ASSERT_EQ(writer.paths.size(), expected);
    for (const std::string& path : writer.paths)
        EXPECT_EQ(path.find("\\Logs"), std::string::npos);
}
