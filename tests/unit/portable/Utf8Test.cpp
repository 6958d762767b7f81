// The one pair of conversions between the programs' UTF-8 and UTF-16: every
// character comes back exactly, and whatever has no exact counterpart is
// refused rather than changed.
#include <gtest/gtest.h>

#include "portable/Utf8.h"

namespace
{
Utf16String Units(std::initializer_list<unsigned> units)
{
    Utf16String text;
    for (const unsigned unit : units)
        text += static_cast<WCHAR>(unit);
    return text;
}
} // namespace

TEST(Utf8, EveryCharacterGoesToUtf16AndComesBackExactly)
{
    const struct
    {
        const char* utf8;
        Utf16String utf16;
    } cases[] = {
        {"", Units({})},
        {"C:\\Lumiro", Units({'C', ':', '\\', 'L', 'u', 'm', 'i', 'r', 'o'})},
        {"\xc5\x81\xc3\xb3\x64\xc5\xba", Units({0x141, 0xF3, 'd', 0x17A})},               // Łódź
        {"\xd0\x9f\xd1\x80\xd0\xbe", Units({0x41F, 0x440, 0x43E})},                        // Про
        {"\xe6\x9d\x8e\xe6\x98\x8e", Units({0x674E, 0x660E})},                             // 李明
        {"\xf0\x9f\x8e\xac", Units({0xD83C, 0xDFAC})},                                     // U+1F3AC
        {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", Units({0xFFFF, 0xDBFF, 0xDFFF})},                 // the last ones
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.utf8);
        Utf16String wide;
        ASSERT_TRUE(Utf8ToUtf16(c.utf8, wide));
        EXPECT_EQ(wide, c.utf16);
        std::string back;
        ASSERT_TRUE(Utf16ToUtf8(wide, back));
        EXPECT_EQ(back, c.utf8);
        EXPECT_EQ(Utf16LengthOf(c.utf8), c.utf16.size());
    }
}

TEST(Utf8, WhatIsNoTextIsRefusedAndShownOnlyWithReplacements)
{
    const char* const malformed[] = {
        "\x80",             // a continuation byte alone
        "\xc5",             // a sequence cut short
        "\xe6\x9d",         // likewise
        "\xc0\xaf",         // an overlong '/', which would pass for a separator
        "\xe0\x80\xaf",     // likewise
        "\xed\xa0\x80",     // an encoded surrogate
        "\xf4\x90\x80\x80", // beyond U+10FFFF
        "\xff",             // no UTF-8 byte at all
        "a\xc3(",           // a sequence broken by ASCII
    };
    for (const char* text : malformed)
    {
        SCOPED_TRACE(text);
        Utf16String wide = Units({'x'});
        SetLastError(0);
        EXPECT_FALSE(Utf8ToUtf16(text, wide));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }

    // A lone surrogate, which only UTF-16 file names can hold.
    for (const Utf16String& lone : {Units({'a', 0xD800, 'b'}), Units({0xDC00}), Units({'a', 0xDBFF})})
    {
        std::string text = "stale";
        SetLastError(0);
        EXPECT_FALSE(Utf16ToUtf8(lone, text));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
        const std::string shown = Utf16ToUtf8Lossy(lone.data(), lone.size());
        EXPECT_NE(shown.find("\xef\xbf\xbd"), std::string::npos) << "U+FFFD in place of the surrogate";
    }
}
