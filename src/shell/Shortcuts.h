#pragma once
#include <string>

class CSetupContext;

// The two links to the installed reader, named after the product: in the
// Start menu's Programs folder and on the desktop (the all-users folders on
// the NT family, the user's own on Windows 9x).
bool CreateShortcuts(CSetupContext& context);
bool CreateShortcut(CSetupContext& context, const std::string& folder);
// Removes both links; a link that is already gone is no error.
void RemoveShortcuts(CSetupContext& context);
void RemoveShortcut(CSetupContext& context, const std::string& folder);

// The path of a special folder (a CSIDL number; the all-users numbers stand
// for the user's own folders on Windows 9x); "" after the system's reason was
// shown.
std::string GetSpecialFolderPath(CSetupContext& context, int folder);
// The per-user CSIDL number for an all-users one; others unchanged.
int MapCommonFolder(int folder);
