#include "registry/ProductRecords.h"

#include <string>

#include "core/SetupContext.h"
#include "package/PackageFormat.h"
#include "registry/FontMappingWriter.h"
#include "framework/RegistryKey.h"
#include "registry/UninstallEntry.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

void SetReportedValue(CSetupContext& context, CRegistryKey& key, const char* keyPath, const char* value,
                      const std::string& text)
{
    key.SetString(value, text.c_str());
    context.Events().RecordWritten(keyPath, value, text);
}

void SetReportedValue(CSetupContext& context, CRegistryKey& key, const char* keyPath, const char* value,
                      DWORD number)
{
    key.SetDWORD(value, number);
    context.Events().RecordWritten(keyPath, value, std::to_string(number));
}

bool ConfigureSoftware(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_CONFIGURING, 0);
    return WriteFontMappings(context);
}

bool WriteProductRecords(CSetupContext& context)
{
    // The records as they were are kept for an undo.
    if (!context.Journal().SaveRegistryKey(PRODUCT_INSTALL_KEY))
        return ShowJournalFailure(context);

    // An existing key is opened and its other values stay. Registry failures
    // are not reported: without write access the records are simply missing.
    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, PRODUCT_INSTALL_KEY);
    SetReportedValue(context, key, PRODUCT_INSTALL_KEY, VALUE_INSTALL_PATH, context.m_strInstallPath);
    SetReportedValue(context, key, PRODUCT_INSTALL_KEY, VALUE_BUILD_NUMBER, static_cast<DWORD>(PACKAGE_BUILD));

    SYSTEMTIME now;
    ::GetSystemTime(&now);
    FILETIME installed = {};
    ::SystemTimeToFileTime(&now, &installed);
    SetReportedValue(context, key, PRODUCT_INSTALL_KEY, VALUE_INSTALLED_LOW, installed.dwLowDateTime);
    SetReportedValue(context, key, PRODUCT_INSTALL_KEY, VALUE_INSTALLED_HIGH, installed.dwHighDateTime);
    // The records are what tells that Lumiro is installed: they go to the
    // disk before the run counts as done.
    ::RegFlushKey(key.GetKey());
    return true;
}

void RemoveRegistryRecords(CSetupContext& context)
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
    context.Events().RecordRemoved(PRODUCT_INSTALL_KEY);

    // The entry in Windows' list of programs goes with the records.
    RemoveUninstallEntry(context);
}
