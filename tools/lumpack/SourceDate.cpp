#include "SourceDate.h"

namespace
{
constexpr ULONGLONG kTicksPerSecond = 10000000ULL;
// Seconds from 1601-01-01 (FILETIME's start) to 1970-01-01.
constexpr ULONGLONG kUnixEpochSeconds = 11644473600ULL;
// The last second whose FILETIME still fits in 64 bits.
constexpr ULONGLONG kLastSecond = ~0ULL / kTicksPerSecond - kUnixEpochSeconds;

ULONGLONG Ticks(const FILETIME& time)
{
    return (ULONGLONG(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
} // namespace

bool ParseSourceDateEpoch(const char* value, SourceDate& date, std::string& error)
{
    date = SourceDate();
    if (value == nullptr || *value == 0)
        return true;
    ULONGLONG seconds = 0;
    for (const char* p = value; *p != 0; ++p)
    {
        if (*p < '0' || *p > '9' || seconds > (kLastSecond - (*p - '0')) / 10)
        {
            error = std::string("SOURCE_DATE_EPOCH=") + value +
                    " is not a whole number of seconds since 1970-01-01 UTC (0 to " +
                    std::to_string(kLastSecond) + ")";
            return false;
        }
        seconds = seconds * 10 + static_cast<ULONGLONG>(*p - '0');
    }
    const ULONGLONG ticks = (seconds + kUnixEpochSeconds) * kTicksPerSecond;
    date.set = true;
    date.limit.dwLowDateTime = static_cast<DWORD>(ticks);
    date.limit.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

FILETIME ClampToSourceDate(const FILETIME& time, const SourceDate& date)
{
    return date.set && Ticks(time) > Ticks(date.limit) ? date.limit : time;
}
