#pragma once
// The installation's records under HKEY_LOCAL_MACHINE. The main dialog and
// the uninstall sequence read "Install Path" and "Build Number" from the
// install key.

constexpr char PRODUCT_VENDOR_KEY[] = "Software\\Corvane";
constexpr char PRODUCT_INSTALL_KEY[] = "Software\\Corvane\\Lumiro Install";
constexpr char PRODUCT_INSTALL_SUBKEY[] = "Lumiro Install";
// The maker's older sibling product: never written, removed at uninstall.
constexpr char SIBLING_PRODUCT_KEY[] = "Software\\Corvane\\Parlex";
constexpr char SIBLING_PRODUCT_SUBKEY[] = "Parlex";

constexpr char VALUE_INSTALL_PATH[] = "Install Path";
constexpr char VALUE_BUILD_NUMBER[] = "Build Number";
// The install time as a FILETIME in UTC, low and high 32 bits.
constexpr char VALUE_INSTALLED_LOW[] = "Installed L";
constexpr char VALUE_INSTALLED_HIGH[] = "Installed H";

#include <windows.h>

#include <string>

class CSetupContext;
class CRegistryKey;

// Writes a value into key (open at keyPath, below HKEY_LOCAL_MACHINE) and
// tells the context's listeners what was written. Failures are not reported.
void SetReportedValue(CSetupContext& context, CRegistryKey& key, const char* keyPath, const char* value,
                      const std::string& text);
void SetReportedValue(CSetupContext& context, CRegistryKey& key, const char* keyPath, const char* value,
                      DWORD number);

// The install sequence's third step, "Configuring software.": the
// font-mapping tables.
bool ConfigureSoftware(CSetupContext& context);
// The records that say Lumiro is installed: "Install Path" (the context's
// install folder), "Build Number" and the install time, written (and flushed)
// last, once everything else is in place, the earlier ones kept for an undo.
// Registry failures are not reported: without write access the records are
// simply missing, and the step still succeeds; only a journal that cannot be
// written fails it (its message shown).
bool WriteProductRecords(CSetupContext& context);
// Removes the install key, the sibling product's key and the entry in
// Windows' list of programs, each emptied first; the vendor key and the
// font-mapping tables stay. Reports nothing.
void RemoveRegistryRecords(CSetupContext& context);
