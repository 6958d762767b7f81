#pragma once
#include <windows.h>

#include <shlobj.h>

#include <string>

// Lets the user pick a folder with the shell's folder browser, owned by
// owner (may be null), with title above the tree, the BIF_ flags and the
// root the tree starts at (null: the desktop). Gives the chosen folder's
// path, or "" when the user cancelled or the choice has no file-system path.
std::string BrowseForFolder(HWND owner, const std::string& title, UINT flags, LPCITEMIDLIST root);
