#pragma once
#include <string>

class CSetupContext;

// Removes a folder tree depth first, every item that stays reported in its
// own message (20044 for a file, 20043 for a folder) through the context's
// prompts, never stopping early. With force a read-only file is made
// writable and deleted. A junction or symbolic link is removed as a link and
// never followed. True when every item is gone.
bool RemoveFolderTree(CSetupContext& context, const std::string& path, bool force);
// Deletes one file as the tree removal does; true when it is gone.
bool DeleteOneFile(CSetupContext& context, const std::string& path, bool force);
