#pragma once
// What lumpack needs of the system beyond the Win32 file calls: walking a
// folder tree, converting names between the system's text and UTF-16, and
// a few facts about files and the console. One implementation per platform.
#include <string>
#include <vector>

#include "portable/Win32Api.h"

typedef std::basic_string<WCHAR> PackageName;

struct TreeItem
{
    std::string relative; // below the root, joined with the native separator
    bool isDirectory;
    ULONGLONG size;
};

extern const char kNativeSeparator;

// Everything below root, depth first, names in byte order within a folder.
// Links to folders are not followed. On failure the last error is set and
// failedPath names the folder that could not be read.
bool ListTree(const std::string& root, std::vector<TreeItem>& items, std::string& failedPath);

// System text (UTF-8 on POSIX, the ANSI code page on Windows) to UTF-16 and
// back. Both fail with ERROR_NO_UNICODE_TRANSLATION for text that has no
// exact counterpart, so that no name changes on its way.
bool SystemToUtf16(const std::string& text, PackageName& name);
bool Utf16ToSystem(const PackageName& name, std::string& text);

#ifdef _WIN32
// UTF-16 to the given code page, as Utf16ToSystem does with the ANSI one.
bool Utf16ToCodePage(const PackageName& name, UINT codePage, std::string& text);
#endif

// Whether an existing path is a symbolic link, or on Windows any reparse
// point (a junction as well); false for a path that does not exist.
bool IsLink(const std::string& path);

// Whether anything has this name: a file, a folder, or a link (also one
// whose target is gone).
bool PathExists(const std::string& path);

// Whether two paths name the same existing file.
bool IsSameFile(const std::string& a, const std::string& b);

bool StandardErrorIsTerminal();

// A file that takes and discards any amount of output.
const char* NullDevicePath();
