#pragma once
#include <windows.h>

#include <string>

// What the replace decision knows of an existing file: the fields of the
// system's directory search record, of which it uses the last-write time.
struct ExistingFileInfo
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};

// Fills info from the directory entry of path; false (with the system's
// reason as the last error) when no file of that name can be found. The path
// names one file: wildcards are refused with ERROR_INVALID_NAME rather than
// matched against other files.
bool GetExistingFileInfo(const std::string& path, ExistingFileInfo& info);

// "dd/mm/yyyy hh:mm:ss" of a FILETIME in UTC (no conversion to local time).
// A value the system cannot convert (one with the top bit set) reads
// "00/00/0000 00:00:00".
std::string FormatFileTime(const FILETIME& time);

// "major.minor.build.revision" of a 64-bit version; 0 reads
// "(No version info)".
std::string FormatVersionText(ULONGLONG version);

// The libraries treated specially, matched as case-sensitive substrings of
// the full target path. List A: kept up to date even when the package's
// version is not newer. List B: replaced without a question when the dates
// of the existing file and the entry are equal to the second.
bool PathHasAlwaysUpdateName(const std::string& targetPath);
bool PathHasSameDateReplaceName(const std::string& targetPath);
