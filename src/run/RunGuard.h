#pragma once
#include <windows.h>

#include <string>

#include "framework/Handles.h"

// One run of the setup at a time on the machine, whatever copy is started
// (the medium's, the installed Setup\setup.exe, its temporary hand-over copy)
// and in whatever mode. The guard is a named mutex that every running setup
// holds open for its whole run: its existence, not its ownership, tells that
// a run is under way, so it goes when the last run holding it ends, also when
// that run is killed.
class CRunGuard
{
public:
    // Takes the guard. True when no other run holds it, or when the run that
    // holds it handed its run over to this process (CHandOverPermit). False
    // with ERROR_INSTALL_ALREADY_RUNNING as the last error when another run
    // holds it, with the system's reason when the system cannot tell.
    bool Acquire();
    // Lets the guard go (also at destruction).
    void Release() { m_mutex.reset(); }

private:
    unique_handle m_mutex;
};

// A running setup's permission for the one process it starts to take the
// guard it holds and do the run in its place: a named event that names the
// process, held until the permission is withdrawn (or at destruction).
class CHandOverPermit
{
public:
    // False with the system's reason as the last error when it cannot be
    // given.
    bool Grant(DWORD processId);
    void Withdraw() { m_event.reset(); }

private:
    unique_handle m_event;
};

// The name of a kernel object that all sessions of the machine share:
// "Global\<name>" on Windows 2000 and later, the plain name where the
// system does not know that prefix (Windows 9x, NT 4.0).
std::string MachineWideName(const std::string& name);
