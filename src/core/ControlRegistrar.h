#pragma once
#include <string>

// How a call of a control's self-registration function ended.
enum class ServerCallResult
{
    Done,     // the function answered exactly S_OK
    Declined, // it ran and answered anything else (S_FALSE too)
    NotRun,   // the module could not be loaded, has no such function, or the
              // process that would call it could not start: nothing changed
};

// Registers and unregisters OLE controls (DllRegisterServer and
// DllUnregisterServer), each in a process of its own kind. The steps and an
// undo see only this seam.
class IControlRegistrar
{
public:
    virtual ~IControlRegistrar() = default;
    virtual ServerCallResult Register(const std::string& modulePath) = 0;
    virtual ServerCallResult Unregister(const std::string& modulePath) = 0;
};
