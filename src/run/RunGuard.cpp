#include "run/RunGuard.h"

#include "core/Platform.h"
#include "framework/SystemCalls.h"

namespace
{
constexpr char GUARD_NAME[] = "Lumiro Setup";

std::string PermitName(DWORD processId)
{
    return MachineWideName(std::string(GUARD_NAME) + " hand-over " + std::to_string(processId));
}

// Whether the run holding the guard handed its run over to this process.
bool HandedOverToThisProcess()
{
    const unique_handle permit(OpenEventU(SYNCHRONIZE, PermitName(::GetCurrentProcessId())));
    return permit.valid();
}
} // namespace

std::string MachineWideName(const std::string& name)
{
    const OSVERSIONINFOA version = WindowsVersion();
    const bool knowsGlobal = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
    return knowsGlobal ? "Global\\" + name : name;
}

bool CRunGuard::Acquire()
{
    Release();
    const std::string name = MachineWideName(GUARD_NAME);
    ::SetLastError(ERROR_SUCCESS);
    m_mutex.reset(CreateMutexU(name));
    const DWORD error = ::GetLastError();
    if (m_mutex && error != ERROR_ALREADY_EXISTS)
        return true;
    // Access denied: the guard exists, made by a run of another user that
    // keeps it to itself.
    if (!m_mutex && error != ERROR_ACCESS_DENIED)
    {
        ::SetLastError(error);
        return false;
    }
    // Held by another run: this process goes on only when it is that run's
    // hand-over (which keeps holding the guard until this process ends).
    if (HandedOverToThisProcess())
        return true;
    m_mutex.reset();
    ::SetLastError(ERROR_INSTALL_ALREADY_RUNNING);
    return false;
}

bool CHandOverPermit::Grant(DWORD processId)
{
    m_event.reset(CreateEventU(PermitName(processId), TRUE, FALSE));
    return m_event.valid();
}
