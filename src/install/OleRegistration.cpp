// Registration of the application's OLE control: the build for the running
// platform registers itself from the install folder's "\Programs", in a
// process of its own kind.
#include "install/OleRegistration.h"

#include <windows.h>

#include "core/ImageMachine.h"
#include "core/Messages.h"
#include "core/Platform.h"
#include "core/SetupContext.h"
#include "framework/Handles.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"
#include "core/ChangeJournal.h"

const char* ControlFileName(const CSetupContext& context) { return context.IsNT() ? "UiCtlsU.ocx" : "UiCtlsA.ocx"; }

bool RegisterOleControls(CSetupContext& context)
{
    context.Progress().SetStage(IDS_STAGE_OLE_CONTROLS, 0);
    const std::string control = context.m_strInstallPath + "\\Programs\\" + ControlFileName(context);
    IChangeJournal& journal = context.Journal();
    if (!journal.NoteControlRegistration(control))
        return ShowJournalFailure(context);
    switch (context.Controls().Register(control))
    {
    case ServerCallResult::Done:
        context.Events().ControlRegistered(control);
        return true;
    case ServerCallResult::NotRun:
        // Nothing of it was registered: an undo has nothing to unregister.
        if (!journal.CancelControlRegistration(control))
            return ShowJournalFailure(context);
        break;
    case ServerCallResult::Declined:
        break;
    }
    context.ShowMessage(FormatResMessage(IDS_OLE_REGISTER_FAILED, {control.c_str()}), MB_OK);
    return false;
}

namespace
{
// Loads the module with the libraries it depends on looked up in its own
// folder first, and calls one of its self-registration functions.
ServerCallResult CallInProcess(const std::string& modulePath, const char* function)
{
    const unique_hmodule module(LoadLibraryExU(modulePath, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module)
        return ServerCallResult::NotRun;
    using ServerFn = HRESULT(STDAPICALLTYPE*)();
    const auto call =
        reinterpret_cast<ServerFn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), function)));
    if (!call)
        return ServerCallResult::NotRun;
    // S_FALSE and every other success code count as failure.
    return call() == S_OK ? ServerCallResult::Done : ServerCallResult::Declined;
}

// regsvr32's exit codes: 0 done, 1 bad arguments, 2 OLE not started, 3 the
// module not loaded, 4 no such function, 5 the function failed.
ServerCallResult ResultOfRegsvr32(DWORD exitCode)
{
    switch (exitCode)
    {
    case 0:
        return ServerCallResult::Done;
    case 1:
    case 2:
    case 3:
    case 4:
        return ServerCallResult::NotRun;
    default:
        return ServerCallResult::Declined;
    }
}

// Has the system's regsvr32 of the module's kind call the function, without
// a window of its own, and waits for it.
ServerCallResult CallThroughRegsvr32(const std::string& modulePath, ImageMachine machine, bool unregister)
{
    const std::string folder = SystemFolderFor(machine);
    if (folder.empty())
        return ServerCallResult::NotRun;
    const std::string program = folder + "\\regsvr32.exe";
    const std::string commandLine =
        "\"" + program + "\" /s " + (unregister ? "/u " : "") + "\"" + modulePath + "\"";
    PROCESS_INFORMATION started{};
    if (!CreateProcessU(program, commandLine, CREATE_NO_WINDOW, folder, started))
        return ServerCallResult::NotRun;
    const unique_handle process(started.hProcess);
    const unique_handle thread(started.hThread);
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.get(), &exitCode))
        return ServerCallResult::Declined;
    return ResultOfRegsvr32(exitCode);
}

ServerCallResult CallServerFunction(const std::string& modulePath, const char* function, bool unregister)
{
    const ImageMachine machine = ImageMachineOfFile(modulePath);
    if (machine == ImageMachine::NotAnImage || machine == RunningMachine())
        return CallInProcess(modulePath, function);
    return CallThroughRegsvr32(modulePath, machine, unregister);
}
} // namespace

ServerCallResult RegisterServerModule(const std::string& modulePath)
{
    return CallServerFunction(modulePath, "DllRegisterServer", false);
}

ServerCallResult UnregisterServerModule(const std::string& modulePath)
{
    return CallServerFunction(modulePath, "DllUnregisterServer", true);
}
