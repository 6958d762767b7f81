#pragma once
#include <string>

#include "ToolPlatform.h"

// The relative path, in UTF-8 and with the system's separators, under which
// an entry is written. Refused (false, with the reason) are the names the
// package library's entry-name rules refuse (package/EntryName.h) and names
// that are no text (a lone UTF-16 surrogate).
bool EntryNameToRelativePath(const WCHAR* name, std::string& relative, std::string& reason);

// The entry name for a path relative to a packed folder: backslashes between
// the components, as the setup expects.
bool RelativePathToEntryName(const std::string& relative, PackageName& name);

// An entry name for messages and listings in UTF-8, with '?' for a lone
// surrogate and for control characters (C0 and C1 alike, which a terminal
// would act on).
std::string DisplayName(const WCHAR* name);
