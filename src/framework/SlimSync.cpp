#include "framework/SlimSync.h"

#include "framework/SystemLibrary.h"

namespace
{
struct SyncFunctions
{
    void(WINAPI* acquire)(PSRWLOCK);
    void(WINAPI* release)(PSRWLOCK);
    BOOL(WINAPI* sleep)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG);
    void(WINAPI* wake)(PCONDITION_VARIABLE);
    void(WINAPI* wakeAll)(PCONDITION_VARIABLE);
};

const SyncFunctions& Functions()
{
    static const SyncFunctions functions = {
        Kernel32Function<void(WINAPI*)(PSRWLOCK)>("AcquireSRWLockExclusive"),
        Kernel32Function<void(WINAPI*)(PSRWLOCK)>("ReleaseSRWLockExclusive"),
        Kernel32Function<BOOL(WINAPI*)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG)>("SleepConditionVariableSRW"),
        Kernel32Function<void(WINAPI*)(PCONDITION_VARIABLE)>("WakeConditionVariable"),
        Kernel32Function<void(WINAPI*)(PCONDITION_VARIABLE)>("WakeAllConditionVariable"),
    };
    return functions;
}
} // namespace

bool CSlimSync::Available()
{
    const SyncFunctions& f = Functions();
    return f.acquire && f.release && f.sleep && f.wake && f.wakeAll;
}

CSlimSync::CLock::CLock(SRWLOCK& lock) : m_lock(lock) { Functions().acquire(&m_lock); }

CSlimSync::CLock::~CLock() { Functions().release(&m_lock); }

void CSlimSync::CLock::Wait(CONDITION_VARIABLE& condition) { Functions().sleep(&condition, &m_lock, INFINITE, 0); }

void CSlimSync::WakeOne(CONDITION_VARIABLE& condition) { Functions().wake(&condition); }

void CSlimSync::WakeAll(CONDITION_VARIABLE& condition) { Functions().wakeAll(&condition); }
