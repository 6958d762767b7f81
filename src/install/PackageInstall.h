#pragma once
#include <string>

class CSetupContext;

// Installs the runtime package into the system folder and the application
// package into the install folder's "\Programs", both chosen by platform and
// looked for in the setup's own folder. False when the installation is to
// stop: the reason was shown.
bool InstallPackages(CSetupContext& context);
// Installs one package from the setup's folder into destination.
bool InstallPackage(CSetupContext& context, const std::string& packageName, std::string destination);
// Makes the boot-time replacements that wait for their package's end take
// effect (WININIT.INI on Windows 9x) and asks for the restart; message 20026
// and false when they cannot be written.
bool CommitBootReplacements(CSetupContext& context);
