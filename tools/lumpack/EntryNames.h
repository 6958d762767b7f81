#pragma once
#include <string>

#include "ToolPlatform.h"

// The relative path, in the system's text and with its separators, under
// which an entry is written. Refused (false, with the reason) are the names
// the package library's entry-name rules refuse (package/EntryName.h) and
// names the system's text cannot hold exactly.
bool EntryNameToRelativePath(const WCHAR* name, std::string& relative, std::string& reason);

// The entry name for a path relative to a packed folder: backslashes between
// the components, as the setup expects.
bool RelativePathToEntryName(const std::string& relative, PackageName& name);

// An entry name for messages and listings: the system's text where it can
// hold it, with '?' for anything it cannot and for control characters (C0
// and C1 alike, which a terminal would act on).
std::string DisplayName(const WCHAR* name);
