#pragma once
#include <string>

class CSetupContext;

// The product's entry in Windows' list of installed programs (Settings >
// Apps, Programs and Features, Add/Remove Programs on Windows 9x), which
// deployment tools also read to find and remove what is installed.
constexpr char UNINSTALL_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumiro";
constexpr char UNINSTALL_PARENT_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char UNINSTALL_SUBKEY[] = "Lumiro";

// The installed copy of the setup program, below the install folder: the
// entry's commands start it, and a removal needs no packages.
constexpr char INSTALLED_SETUP_FOLDER[] = "\\Setup";
constexpr char INSTALLED_SETUP_PROGRAM[] = "\\Setup\\setup.exe";

// Writes the entry for the context's installation: name, the setup's own
// version, publisher, folder, the reader's icon, the date, the size of the
// files installed, and the commands that remove it (with /S for deployment
// tools), the earlier entry kept for an undo. Registry failures are not
// reported, as for the product's records; only a journal that cannot be
// written fails it (its message shown).
bool WriteUninstallEntry(CSetupContext& context);
// Removes the entry (emptied first); reports nothing.
void RemoveUninstallEntry(CSetupContext& context);
// The setup's own version from its version resource ("1.0.2093.0"); "" when
// it has none.
std::string SetupVersionText();
