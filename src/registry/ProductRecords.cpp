#include "registry/ProductRecords.h"

#include "app/InstallProgress.h"
#include "app/SetupApp.h"
#include "registry/RegistryKey.h"
#include "resources/resource.h"

bool CSetupVantrelApp::WriteRegistryRecords(IInstallProgress& progress)
{
    progress.SetStage(IDS_STAGE_CONFIGURING, 0);
    if (!WriteFontMappings(progress))
        return false;

    // An existing key is opened and its other values stay. Registry failures
    // are not reported: without write access the records are simply missing.
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    key.SetString(VALUE_INSTALL_PATH, m_strInstallPath.c_str());
    key.SetDWORD(VALUE_BUILD_NUMBER, PACKAGE_BUILD);

    SYSTEMTIME now;
    ::GetSystemTime(&now);
    FILETIME installed = {};
    ::SystemTimeToFileTime(&now, &installed);
    key.SetDWORD(VALUE_INSTALLED_LOW, installed.dwLowDateTime);
    key.SetDWORD(VALUE_INSTALLED_HIGH, installed.dwHighDateTime);
    return true;
}

void CSetupVantrelApp::RemoveRegistryRecords()
{
    // NT-family systems delete only empty keys, so each child is emptied
    // through a wrapper of its own before the parent deletes it. A child that
    // did not exist is created and deleted again. The vendor key and the
    // font-mapping tree below it stay.
    CRegistryKey parent;
    parent.Create(HKEY_LOCAL_MACHINE, PRODUCT_VENDOR_KEY);

    CRegistryKey child;
    child.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    child.DeleteContents();
    child.Close();
    parent.DeleteSubKey(PRODUCT_INSTALL_SUBKEY);

    child.Create(HKEY_LOCAL_MACHINE, SIBLING_PRODUCT_KEY);
    child.DeleteContents();
    child.Close();
    parent.DeleteSubKey(SIBLING_PRODUCT_SUBKEY);
}
