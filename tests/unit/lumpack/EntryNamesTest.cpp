// Which entry names lumpack writes, where, and which it refuses.
#include <gtest/gtest.h>

#include "EntryNames.h"

namespace
{
PackageName N(const std::string& ascii)
{
    return PackageName(ascii.begin(), ascii.end());
}

std::string Native(const std::string& path)
{
    std::string out = path;
    for (char& c : out)
        if (c == '/')
            c = kNativeSeparator;
    return out;
}
} // namespace

TEST(EntryNames, NamesBelowTheFolderBecomeNativeRelativePaths)
{
    std::string relative, reason;
    ASSERT_TRUE(EntryNameToRelativePath(N("bin\\tool.exe").c_str(), relative, reason));
    EXPECT_EQ(Native("bin/tool.exe"), relative);
    ASSERT_TRUE(EntryNameToRelativePath(N("a/b\\...x").c_str(), relative, reason));
    EXPECT_EQ(Native("a/b/...x"), relative);
    ASSERT_TRUE(EntryNameToRelativePath(N(".hidden").c_str(), relative, reason));
}

TEST(EntryNames, NamesThatWouldLeaveTheFolderAreRefused)
{
    const char* const refused[] = {"",          "..",       "..\\evil",   "a\\..\\..\\up", "a/../../up",
                                   "\\abs",     "/abs",     "C:\\x",      "C:x",           "file:stream",
                                   "a\\\\b",    "a\\",      "a\\.\\b",    "a\\. .\\b",     ".. \\x",
                                   "tab\there", "\\\\host\\share\\x", "sub\\CON.txt", "lpt1"};
    for (const char* name : refused)
    {
        std::string relative, reason;
        EXPECT_FALSE(EntryNameToRelativePath(N(name).c_str(), relative, reason)) << "name: " << name;
        EXPECT_FALSE(reason.empty());
    }
    const PackageName loneSurrogate = {'a', 0xD800, 'b'};
    std::string relative, reason;
    EXPECT_FALSE(EntryNameToRelativePath(loneSurrogate.c_str(), relative, reason));
}

TEST(EntryNames, RelativePathsBecomeBackslashedNames)
{
    PackageName name;
    ASSERT_TRUE(RelativePathToEntryName(Native("sub/deeper/file.txt"), name));
    EXPECT_EQ(N("sub\\deeper\\file.txt"), name);
    EXPECT_EQ("sub\\deeper\\file.txt", DisplayName(name.c_str()));
}

// Names in any language become paths in UTF-8 and come back the same, on
// every system.
TEST(EntryNames, NamesInAnyLanguageBecomeUtf8PathsAndComeBackTheSame)
{
    const struct
    {
        PackageName name;
        std::string relative;
    } cases[] = {
        {{0x8BF4, 0x660E, '.', 't', 'x', 't'}, "\xe8\xaf\xb4\xe6\x98\x8e.txt"},
        {{0x39F, 0x3B4, '\\', 0x3BF, 0x3B4, '.', 't', 'x', 't'}, Native("\xce\x9f\xce\xb4/\xce\xbf\xce\xb4.txt")},
        {{0xD83C, 0xDFAC}, "\xf0\x9f\x8e\xac"},
    };
    for (const auto& c : cases)
    {
        std::string relative, reason;
        ASSERT_TRUE(EntryNameToRelativePath(c.name.c_str(), relative, reason)) << reason;
        EXPECT_EQ(relative, c.relative);
        PackageName back;
        ASSERT_TRUE(RelativePathToEntryName(relative, back));
        EXPECT_EQ(back, c.name);
    }
    EXPECT_EQ(DisplayName(PackageName{0x39F, 0xD800, 0x1B, 'x'}.c_str()), "\xce\x9f??x");
}
