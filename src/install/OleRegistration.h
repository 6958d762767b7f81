#pragma once
#include <string>

#include "core/ControlRegistrar.h"

class CSetupContext;

// The platform's build of the application's OLE control, in the install
// folder's "\Programs": "UiCtlsU.ocx" on the NT family, "UiCtlsA.ocx" on
// Windows 9x.
const char* ControlFileName(const CSetupContext& context);

// Registers the platform's control through the context's registrar; message
// 20079 and false when it does not register.
bool RegisterOleControls(CSetupContext& context);

// Calls the module's DllRegisterServer or DllUnregisterServer. A module of
// this program's own kind is loaded here; one of the other kind (a 32-bit
// control on 64-bit Windows, a 64-bit one from the 32-bit build) by the
// system's regsvr32 of its kind, whose exit code tells how the call ended
// (which, as the system's tool does, counts every success code as done).
ServerCallResult RegisterServerModule(const std::string& modulePath);
ServerCallResult UnregisterServerModule(const std::string& modulePath);

// The system's way, through the two functions above.
class CSystemControlRegistrar : public IControlRegistrar
{
public:
    ServerCallResult Register(const std::string& modulePath) override { return RegisterServerModule(modulePath); }
    ServerCallResult Unregister(const std::string& modulePath) override
    {
        return UnregisterServerModule(modulePath);
    }
};
