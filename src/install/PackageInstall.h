#pragma once
#include <windows.h>

#include <string>
#include <vector>

class CSetupContext;

// The platform's two package files, looked for in the setup's own folder:
// the runtime libraries (RTDLL_NT.PKG, RTDLL_95.PKG), installed into the
// system folder, and the application (APPS_NT.PKG, APPS_95.PKG), installed
// into ApplicationFolder.
const char* RuntimePackageName(const CSetupContext& context);
const char* ApplicationPackageName(const CSetupContext& context);
// The install folder's "\Programs".
std::string ApplicationFolder(const CSetupContext& context);

// The size of a file (a package, the setup program); 0 when it cannot be
// read.
ULONGLONG FileSize(const std::string& path);

// Installs the runtime package into the system folder and the application
// package into the install folder's "\Programs", both chosen by platform and
// looked for in the setup's own folder. False when the installation is to
// stop: the reason was shown.
bool InstallPackages(CSetupContext& context);
// Where a package's entries go: one folder for all, or where the list has
// one for the entry's catalog index, that one.
struct PackageDestination
{
    std::string folder;
    std::vector<std::string> perEntry;
};
// Installs one package from the setup's folder into destination.
bool InstallPackage(CSetupContext& context, const std::string& packageName, const std::string& destination);
bool InstallPackage(CSetupContext& context, const std::string& packageName, const PackageDestination& destination);
// Makes the boot-time replacements that wait for their package's end take
// effect (WININIT.INI on Windows 9x) and asks for the restart; message 20026
// and false when they cannot be written.
bool CommitBootReplacements(CSetupContext& context);
