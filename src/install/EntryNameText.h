#pragma once
#include <windows.h>

#include <string>

// An entry's UTF-16 name as a relative path in UTF-8, with '/' turned into
// '\'. False, with the reason as the last error, for a name that is no text
// (a lone surrogate: ERROR_NO_UNICODE_TRANSLATION) or that is empty
// (ERROR_INVALID_NAME): such an entry names no file the setup could write.
bool EntryNameToPath(const WCHAR* name, std::string& path);
