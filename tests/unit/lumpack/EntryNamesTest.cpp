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

#ifdef _WIN32
// Code page 65000 (UTF-7) refuses the no-best-fit flag as the UTF-8 ANSI code
// page of Windows' "Use Unicode UTF-8" option does; the name still converts.
TEST(EntryNames, ACodePageThatRefusesTheNoBestFitFlagStillConverts)
{
    std::string text;
    ASSERT_TRUE(Utf16ToCodePage(N("notes-1.txt"), 65000, text)) << GetLastError();
    EXPECT_EQ("notes-1.txt", text);
    ASSERT_TRUE(Utf16ToCodePage(N("plain.txt"), CP_ACP, text));
    EXPECT_EQ("plain.txt", text);
}
#endif
