#pragma once
#include <string>

class CSetupContext;

// The platform's build of the application's OLE control, in the install
// folder's "\Programs": "UiCtlsU.ocx" on the NT family, "UiCtlsA.ocx" on
// Windows 9x.
const char* ControlFileName(const CSetupContext& context);

// Registers the platform's control; message 20079 and false when it does not
// register.
bool RegisterOleControls(CSetupContext& context);

// How a call of a control's self-registration function ended.
enum class ServerCallResult
{
    Done,     // the function answered exactly S_OK
    Declined, // it ran and answered anything else (S_FALSE too)
    NotRun,   // the module could not be loaded, has no such function, or the
              // process that would call it could not start: nothing changed
};

// Calls the module's DllRegisterServer or DllUnregisterServer. A module of
// this program's own kind is loaded here; one of the other kind (a 32-bit
// control on 64-bit Windows, a 64-bit one from the 32-bit build) by the
// system's regsvr32 of its kind, whose exit code tells how the call ended
// (which, as the system's tool does, counts every success code as done).
ServerCallResult RegisterServerModule(const std::string& modulePath);
ServerCallResult UnregisterServerModule(const std::string& modulePath);
