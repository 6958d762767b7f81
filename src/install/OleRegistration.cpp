// Registration of the application's OLE control: the build for the running
// platform is loaded from the install folder's "\Programs" and registers
// itself.
#include "install/OleRegistration.h"

#include <windows.h>

#include "core/Messages.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "undo/UndoJournal.h"

namespace
{
constexpr char CONTROL_NT[] = "\\Programs\\UiCtlsU.ocx";
constexpr char CONTROL_9X[] = "\\Programs\\UiCtlsA.ocx";
} // namespace

bool RegisterOleControls(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_OLE_CONTROLS, 0);
    const std::string control = context.m_strInstallPath + (context.IsNT() ? CONTROL_NT : CONTROL_9X);
    if (!context.Journal().NoteControlRegistration(control))
        return ShowJournalFailure(context);
    if (RegisterServerModule(control))
    {
        context.Events().ControlRegistered(control);
        return true;
    }
    context.ShowMessage(FormatResMessage(IDS_OLE_REGISTER_FAILED, {control.c_str()}), MB_OK);
    return false;
}

namespace
{
// Loads the module with the libraries it depends on looked up in its own
// folder first, and calls one of its self-registration functions.
bool CallServerFunction(const std::string& modulePath, const char* function)
{
    const unique_hmodule module(LoadLibraryExU(modulePath, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module)
        return false;
    using ServerFn = HRESULT(STDAPICALLTYPE*)();
    const auto call =
        reinterpret_cast<ServerFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), function)));
    if (!call)
        return false;
    // S_FALSE and every other success code count as failure.
    return call() == S_OK;
}
} // namespace

bool RegisterServerModule(const std::string& modulePath) { return CallServerFunction(modulePath, "DllRegisterServer"); }

bool UnregisterServerModule(const std::string& modulePath)
{
    return CallServerFunction(modulePath, "DllUnregisterServer");
}
