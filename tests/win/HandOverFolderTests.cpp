// The folder the installed copy of the setup hands its run to: the access
// list it is made with, read back entry by entry (this Wine takes a folder's
// list but does not keep it, so the list is read as built and as the folder
// maker is handed it), its random name, and a name someone took first.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

#include "TestSupport.h"
#include "portable/SystemText.h"
#include "run/HandOverFolder.h"

namespace
{
// Hands every folder on to the system, and keeps what it was given. Before
// the first one, someone else takes its name (a folder, or a file).
class CRecordingFolderMaker : public IFolderMaker
{
public:
    bool MakeFolder(const std::string& path, SECURITY_ATTRIBUTES* security) override
    {
        paths.push_back(path);
        BOOL present = FALSE, defaulted = FALSE;
        PACL list = nullptr;
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ::GetSecurityDescriptorDacl(security->lpSecurityDescriptor, &present, &list, &defaulted);
        ::GetSecurityDescriptorControl(security->lpSecurityDescriptor, &control, &revision);
        lists.push_back(present ? AclEntries(list) : std::vector<AclEntry>());
        controls.push_back(control);
        if (paths.size() == 1 && plantFile)
            WriteTextFile(path, "planted by someone else");
        else if (paths.size() == 1 && plantFolder)
            ::CreateDirectoryA(path.c_str(), nullptr);
        return system.MakeFolder(path, security);
    }

    bool plantFile = false;
    bool plantFolder = false;
    std::vector<std::string> paths;
    std::vector<std::vector<AclEntry>> lists;
    std::vector<SECURITY_DESCRIPTOR_CONTROL> controls;
    CSystemFolderMaker system;
};

constexpr BYTE INHERITED_BY_ALL = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The running user's SID as text.
std::string UserSid()
{
    CHandOverFolderSecurity security;
    return security.Build() ? SidText(security.User()) : "";
}

void ExpectOnlyTheUserSystemAndAdministrators(const std::vector<AclEntry>& entries)
{
    const std::vector<std::string> expected = {UserSid(), "S-1-5-18", "S-1-5-32-544"};
    ASSERT_EQ(3u, entries.size());
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(expected[i], entries[i].sid);
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, entries[i].type);
        EXPECT_EQ(INHERITED_BY_ALL, entries[i].flags);
        EXPECT_EQ(DWORD(GENERIC_ALL), entries[i].mask);
    }
}

const std::regex FOLDER_NAME(R"(.*\\LumiroSetup-[0-9a-f]{32})");
} // namespace

TEST(HandOverFolder, ItsListGrantsTheUserSystemAndAdministratorsAloneAndInheritsNothingFromAbove)
{
    CHandOverFolderSecurity security;
    ASSERT_TRUE(security.Build());
    EXPECT_FALSE(UserSid().empty());
    ExpectOnlyTheUserSystemAndAdministrators(AclEntries(security.Dacl()));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(security.Attributes()->lpSecurityDescriptor, &control, &revision));
    EXPECT_EQ(SE_DACL_PROTECTED | SE_DACL_PRESENT, control & (SE_DACL_PROTECTED | SE_DACL_PRESENT));
    EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), security.Attributes()->nLength);
    EXPECT_FALSE(security.Attributes()->bInheritHandle);
}

TEST(HandOverFolder, IsMadeWithThatListUnderARandomNameEachTime)
{
    CScratchFolder scratch("hand-over");
    CRecordingFolderMaker maker;
    std::string first, second;
    ASSERT_TRUE(MakeHandOverFolder(scratch.Path(), maker, first));
    ASSERT_TRUE(MakeHandOverFolder(scratch.Path(), maker, second));
    EXPECT_TRUE(std::regex_match(first, FOLDER_NAME)) << first;
    EXPECT_NE(first, second);
    EXPECT_TRUE(IsFolderU(first));
    ASSERT_EQ(2u, maker.lists.size());
    ExpectOnlyTheUserSystemAndAdministrators(maker.lists[0]);
    EXPECT_TRUE(maker.controls[0] & SE_DACL_PROTECTED);
}

TEST(HandOverFolder, ANameSomeoneElseTookIsNeverUsed)
{
    for (const bool file : {true, false})
    {
        SCOPED_TRACE(file ? "a file planted" : "a folder planted");
        CScratchFolder scratch("hand-over-taken");
        CRecordingFolderMaker maker;
        maker.plantFile = file;
        maker.plantFolder = !file;
        std::string folder;
        ASSERT_TRUE(MakeHandOverFolder(scratch.Path(), maker, folder));
        ASSERT_EQ(2u, maker.paths.size());
        EXPECT_NE(maker.paths[0], folder);
        EXPECT_EQ(maker.paths[1], folder);
        EXPECT_TRUE(std::regex_match(folder, FOLDER_NAME)) << folder;
        // What was planted stays as it was, and nothing went into it.
        if (file)
            EXPECT_EQ("planted by someone else", ReadTextFile(maker.paths[0]));
        else
            for (const std::string& name : FilesMatching(maker.paths[0], "*"))
                EXPECT_TRUE(name == "." || name == "..") << name;
    }
}

TEST(HandOverFolder, AFolderThatCannotBeMadeFailsWithTheSystemsReason)
{
    CScratchFolder scratch("hand-over-missing");
    CRecordingFolderMaker maker;
    std::string folder;
    EXPECT_FALSE(MakeHandOverFolder(scratch / "missing\\deeper", maker, folder));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), ::GetLastError());
    EXPECT_EQ(1u, maker.paths.size());
}
