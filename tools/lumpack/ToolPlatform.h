#pragma once
// What lumpack needs of the system beyond the Win32 file calls: walking a
// folder tree, its command line, and a few facts about files and the
// console. One implementation per platform. Names are UTF-8 on both.
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

// The program's arguments in UTF-8, the program's name first: on Windows
// read from the wide command line, so that a name in any language arrives
// whole; elsewhere as given. Also makes the console show UTF-8 where it needs
// telling.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

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
