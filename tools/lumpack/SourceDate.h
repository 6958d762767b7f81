#pragma once
// SOURCE_DATE_EPOCH, the time a reproducible build stands at: no time that
// lumpack records in a package is later than it, so that two builds of the
// same sources on two machines make the same bytes whenever their files were
// checked out or touched.
#include <string>

#include "portable/Win32Api.h"

struct SourceDate
{
    bool set = false;
    FILETIME limit{};
};

// Reads the variable's value (null or empty: not set). A value that is not a
// whole number of seconds since 1970-01-01 UTC that a FILETIME can hold is
// refused with the reason in error.
bool ParseSourceDateEpoch(const char* value, SourceDate& date, std::string& error);

// The time itself, or the limit where the time is later than it.
FILETIME ClampToSourceDate(const FILETIME& time, const SourceDate& date);
