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

TEST(ByteSize, ShowsBytesBelowOneThousand)
{
    EXPECT_EQ(FormatByteSize(0, SizeRounding::Up), "0 bytes");
    EXPECT_EQ(FormatByteSize(999, SizeRounding::Down), "999 bytes");
}

TEST(ByteSize, ShowsThreeDigitsInTheLargestUnitBelowOneThousandRoundedAsAsked)
{
    struct Case
    {
        std::uint64_t bytes;
        const char* up;
        const char* down;
    };
    constexpr std::uint64_t MB = 1024 * 1024;
    const Case cases[] = {
        {1000, "1.0 KB", "0.9 KB"},
        {1024, "1.0 KB", "1.0 KB"},
        {1536, "1.5 KB", "1.5 KB"},
        {1537, "1.6 KB", "1.5 KB"},
        {99 * 1024 + 1000, "100 KB", "99.9 KB"},
        {100 * 1024, "100 KB", "100 KB"},
        {100 * 1024 + 1, "101 KB", "100 KB"},
        {999 * 1024 + 1, "1.0 MB", "999 KB"},
        {1023 * 1024, "1.0 MB", "0.9 MB"},
        {MB, "1.0 MB", "1.0 MB"},
        {12 * MB + MB / 3, "12.4 MB", "12.3 MB"},
        {140 * 1024 * MB, "140 GB", "140 GB"},
        {5ULL * 1024 * 1024 * 1024 * MB, "5.0 PB", "5.0 PB"},
        {~0ULL, "16.0 EB", "15.9 EB"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(FormatByteSize(c.bytes, SizeRounding::Up), c.up) << c.bytes;
        EXPECT_EQ(FormatByteSize(c.bytes, SizeRounding::Down), c.down) << c.bytes;
    }
}
