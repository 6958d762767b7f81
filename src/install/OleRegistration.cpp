// Registration of the application's OLE control: the build for the running
// platform is loaded from the install folder's "\Programs" and registers
// itself.
#include "install/OleRegistration.h"

#include <windows.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "resources/resource.h"

namespace
{
constexpr char CONTROL_NT[] = "\\Programs\\UiCtlsU.ocx";
constexpr char CONTROL_9X[] = "\\Programs\\UiCtlsA.ocx";
} // namespace

bool RegisterOleControls(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_OLE_CONTROLS, 0);
    const std::string control = context.m_strInstallPath + (context.IsNT() ? CONTROL_NT : CONTROL_9X);
    if (RegisterServerModule(control))
    {
        context.Events().ControlRegistered(control);
        return true;
    }
    context.ShowMessage(FormatResMessage(IDS_OLE_REGISTER_FAILED, {control.c_str()}), MB_OK);
    return false;
}

bool RegisterServerModule(const std::string& modulePath)
{
    // The libraries the control depends on are looked up in its own folder
    // first.
    const unique_hmodule module(::LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module)
        return false;
    using RegisterServerFn = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = reinterpret_cast<RegisterServerFn>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllRegisterServer")));
    if (!registerServer)
        return false;
    // S_FALSE and every other success code count as failure.
    return registerServer() == S_OK;
}
