#include "registry/UninstallEntry.h"

#include <windows.h>

#include <cstdio>

#include "core/SetupContext.h"
#include "core/VersionData.h"
#include "registry/ProductRecords.h"
#include "framework/RegistryKey.h"
#include "core/ChangeJournal.h"

namespace
{
constexpr char PRODUCT_NAME[] = "Lumiro";
constexpr char PUBLISHER[] = "Corvane";

std::string Today()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}
} // namespace

std::string SetupVersionText()
{
    CVersionData version;
    ULONGLONG number = 0;
    if (!version.LoadFromModule(nullptr) || !version.GetFileVersion(number))
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(number >> 48),
                  static_cast<unsigned>((number >> 32) & 0xFFFF), static_cast<unsigned>((number >> 16) & 0xFFFF),
                  static_cast<unsigned>(number & 0xFFFF));
    return text;
}

bool WriteUninstallEntry(CSetupContext& context)
{
    // An earlier entry (or none) is kept for an undo.
    if (!context.Journal().SaveRegistryKey(UNINSTALL_KEY))
        return ShowJournalFailure(context);

    const std::string& folder = context.m_strInstallPath;
    const std::string program = "\"" + folder + INSTALLED_SETUP_PROGRAM + "\" /UNINSTALL";
    const std::string reader = folder + "\\Programs\\Reader" + (context.IsNT() ? "NT" : "95") + ".exe";

    CRegistryKey key;
    key.Create(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    SetReportedValue(context, key, UNINSTALL_KEY, "DisplayName", PRODUCT_NAME);
    SetReportedValue(context, key, UNINSTALL_KEY, "DisplayVersion", SetupVersionText());
    SetReportedValue(context, key, UNINSTALL_KEY, "Publisher", PUBLISHER);
    SetReportedValue(context, key, UNINSTALL_KEY, "InstallLocation", folder);
    SetReportedValue(context, key, UNINSTALL_KEY, "DisplayIcon", reader + ",0");
    SetReportedValue(context, key, UNINSTALL_KEY, "InstallDate", Today());
    // KiB, rounded up.
    SetReportedValue(context, key, UNINSTALL_KEY, "EstimatedSize", static_cast<DWORD>((context.m_nBytesInstalled + 1023) / 1024));
    SetReportedValue(context, key, UNINSTALL_KEY, "NoModify", DWORD{1});
    SetReportedValue(context, key, UNINSTALL_KEY, "NoRepair", DWORD{1});
    SetReportedValue(context, key, UNINSTALL_KEY, "UninstallString", program);
    SetReportedValue(context, key, UNINSTALL_KEY, "QuietUninstallString", program + " /S");
    ::RegFlushKey(key.GetKey());
    return true;
}

void RemoveUninstallEntry(CSetupContext& context)
{
    CRegistryKey parent;
    if (!parent.Open(HKEY_LOCAL_MACHINE, UNINSTALL_PARENT_KEY))
        return;
    CRegistryKey entry;
    if (!entry.Open(HKEY_LOCAL_MACHINE, UNINSTALL_KEY))
        return;
    entry.DeleteContents();
    entry.Close();
    if (parent.DeleteSubKey(UNINSTALL_SUBKEY) == ERROR_SUCCESS)
        context.Events().RecordRemoved(UNINSTALL_KEY);
}
