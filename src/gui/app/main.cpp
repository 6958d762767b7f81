#include <windows.h>

#include "app/SetupApp.h"
#include "framework/SystemLibrary.h"

namespace
{
CSetupVantrelApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Before anything can load a DLL by name: only the system folder counts.
    ProtectDllSearchPath();
    return theApp.Run();
}
