#pragma once
#include <windows.h>

#include <string>

// An entry's UTF-16 name as a path in the code page given (the setup passes
// CP_ACP), with '/' turned into '\'. Characters the code page lacks become
// its default character; no "best fit" look-alike is taken, so that a
// full-width dot or backslash cannot become a path step. A code page that
// refuses that choice (UTF-8, UTF-7: ERROR_INVALID_FLAGS) converts without
// it, as it has no look-alikes to take. False, with the reason as the last
// error, when the name cannot be converted or converts to nothing.
bool EntryNameToPath(const WCHAR* name, UINT codePage, std::string& path);
