// SOURCE_DATE_EPOCH: which values are times, and how a recorded time is
// clamped to one.
#include <gtest/gtest.h>

#include "SourceDate.h"

namespace
{
constexpr ULONGLONG kUnixEpochTicks = 116444736000000000ULL; // 1970-01-01 as FILETIME

FILETIME At(ULONGLONG ticks)
{
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

TEST(SourceDateEpoch, WholeSecondsAreTimesFromNineteenSeventy)
{
    const struct
    {
        const char* value;
        ULONGLONG ticks;
    } cases[] = {
        {"0", kUnixEpochTicks},
        {"1", kUnixEpochTicks + 10000000ULL},
        {"1700000000", kUnixEpochTicks + 1700000000ULL * 10000000ULL},
        {"0001700000000", kUnixEpochTicks + 1700000000ULL * 10000000ULL},
        // The last second a FILETIME holds.
        {"1833029933770", 1833029933770ULL * 10000000ULL + kUnixEpochTicks},
    };
    for (const auto& c : cases)
    {
        SourceDate date;
        std::string error;
        ASSERT_TRUE(ParseSourceDateEpoch(c.value, date, error)) << c.value << ": " << error;
        EXPECT_TRUE(date.set) << c.value;
        EXPECT_EQ(c.ticks, Ticks(date.limit)) << c.value;
    }
}

TEST(SourceDateEpoch, UnsetOrEmptyLeavesTimesAlone)
{
    for (const char* value : {static_cast<const char*>(nullptr), ""})
    {
        SourceDate date;
        std::string error;
        ASSERT_TRUE(ParseSourceDateEpoch(value, date, error));
        EXPECT_FALSE(date.set);
        EXPECT_EQ(123456789ULL, Ticks(ClampToSourceDate(At(123456789ULL), date)));
    }
}

TEST(SourceDateEpoch, AnythingElseIsRefusedWithTheValueNamed)
{
    for (const char* value : {"-1", "+5", " 5", "5 ", "1.5", "12x", "0x10", "1833029933771", "99999999999999999999999"})
    {
        SourceDate date;
        std::string error;
        EXPECT_FALSE(ParseSourceDateEpoch(value, date, error)) << value;
        EXPECT_FALSE(date.set) << value;
        EXPECT_NE(std::string::npos, error.find(std::string("SOURCE_DATE_EPOCH=") + value)) << error;
    }
}

TEST(SourceDateEpoch, OnlyLaterTimesAreClamped)
{
    SourceDate date;
    std::string error;
    ASSERT_TRUE(ParseSourceDateEpoch("1700000000", date, error));
    const ULONGLONG limit = Ticks(date.limit);
    EXPECT_EQ(limit, Ticks(ClampToSourceDate(At(limit + 1), date)));
    EXPECT_EQ(limit, Ticks(ClampToSourceDate(At(~0ULL), date)));
    EXPECT_EQ(limit, Ticks(ClampToSourceDate(At(limit), date)));
    EXPECT_EQ(limit - 1, Ticks(ClampToSourceDate(At(limit - 1), date)));
    EXPECT_EQ(0ULL, Ticks(ClampToSourceDate(At(0), date)));
}
} // namespace
