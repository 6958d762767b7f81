#include "framework/MessageFormat.h"

#include <gtest/gtest.h>

namespace
{
// A stand-in double-byte code page: bytes 0x81 to 0x9F start a character.
bool TestLeadByte(unsigned char c) { return c >= 0x81 && c <= 0x9F; }
} // namespace

TEST(MessageFormat, FillsPlaceholdersInAnyOrderAndRepeated)
{
    EXPECT_EQ(FormatMessageTemplate("%2-%1-%2", {"a", "b"}), "b-a-b");
    EXPECT_EQ(FormatMessageTemplate("file \"%1\"\nold %4, %5\nnew %2, %3", {"f", "2", "3", "4", "5"}),
              "file \"f\"\nold 4, 5\nnew 2, 3");
}

TEST(MessageFormat, ShowsQuestionMarkForMissingAndNothingForNullArguments)
{
    EXPECT_EQ(FormatMessageTemplate("x%1y%2z", {"A"}), "xAy?z");
    EXPECT_EQ(FormatMessageTemplate("x%1y%2z", {nullptr, "B"}), "xyBz");
    EXPECT_EQ(FormatMessageTemplate("%9", {}), "?");
}

TEST(MessageFormat, LettersStandForTheTenthArgumentOnward)
{
    std::vector<const char*> args = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten", "eleven"};
    EXPECT_EQ(FormatMessageTemplate("%A %B %C", args), "ten eleven ?");
    std::vector<const char*> many(35, "x");
    many[34] = "last";
    EXPECT_EQ(FormatMessageTemplate("%Z", many), "last");
}

TEST(MessageFormat, CopiesLonePercentSignsUnchanged)
{
    EXPECT_EQ(FormatMessageTemplate("100%", {"a"}), "100%");
    EXPECT_EQ(FormatMessageTemplate("%% %a %0 % %1", {"a"}), "%% %a %0 % a");
}

TEST(MessageFormat, HasNoLengthLimit)
{
    const std::string longArgument(100000, 'q');
    const std::string result = FormatMessageTemplate("[%1][%1]", {longArgument.c_str()});
    EXPECT_EQ(result.size(), 2 * longArgument.size() + 4);
}

TEST(MessageFormat, CopiesDoubleByteCharactersWhole)
{
    // The trail byte 0x25 is '%' in single-byte text: it must not start a
    // placeholder when it belongs to a double-byte character.
    const std::string templ = std::string("\x81%1 %1");
    EXPECT_EQ(FormatMessageTemplate(templ, {"X"}, &TestLeadByte), std::string("\x81%1 X"));
    EXPECT_EQ(FormatMessageTemplate(templ, {"X"}), std::string("\x81X X"));
    // A lead byte at the very end is copied alone.
    EXPECT_EQ(FormatMessageTemplate(std::string("a\x81"), {}, &TestLeadByte), std::string("a\x81"));
}
