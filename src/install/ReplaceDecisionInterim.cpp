// Stand-in for the replace decision until it lands: every file entry is
// written, whether or not a file of that name exists.
#include "app/SetupApp.h"

bool CSetupVantrelApp::InstallFileFromPackage(CPackageFile& package, const CPackageCatalogEntry& entry, int index,
                                              const std::string& targetPath)
{
    return WriteFileFromPackage(package, entry, index, targetPath);
}
