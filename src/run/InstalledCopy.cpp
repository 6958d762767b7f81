#include "run/InstalledCopy.h"

#include "core/SetupContext.h"
#include "package/PackageFormat.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "shell/InstallPathCheck.h"

bool FindInstalledCopyFolder(std::string& path)
{
    if (!path.empty())
    {
        if (HoldsInstalledCopy(path))
            return true;
        path.clear();
    }
    if (HoldsInstalledCopy(CSetupContext::DEFAULT_INSTALL_PATH))
    {
        path = CSetupContext::DEFAULT_INSTALL_PATH;
        return true;
    }
    return false;
}

InstalledCopy FindInstalledCopy()
{
    InstalledCopy copy;
    // Registry failures are silent: a missing key or value counts as no
    // recorded installation. Looking makes nothing: a run that then installs
    // nothing leaves no key behind.
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY, KEY_READ);
    key.QueryString(VALUE_INSTALL_PATH, copy.path);
    key.QueryDWORD(VALUE_BUILD_NUMBER, copy.build);

    copy.found = FindInstalledCopyFolder(copy.path);
    if (!copy.found)
        copy.offer = InstallOffer::Install;
    else if (copy.build >= static_cast<DWORD>(PACKAGE_BUILD))
        copy.offer = InstallOffer::UninstallOnly;
    else
        copy.offer = InstallOffer::Upgrade;
    return copy;
}
