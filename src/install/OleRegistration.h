#pragma once
#include <string>

class CSetupContext;

// Registers the application's OLE control for the platform (UiCtlsU.ocx on
// the NT family, UiCtlsA.ocx on Windows 9x) from the install folder's
// "\Programs"; message 20079 and false when it does not register.
bool RegisterOleControls(CSetupContext& context);
// Loads the module and calls its DllRegisterServer; true only when that
// returned exactly S_OK.
bool RegisterServerModule(const std::string& modulePath);
// Loads the module and calls its DllUnregisterServer; true only when that
// returned exactly S_OK.
bool UnregisterServerModule(const std::string& modulePath);
