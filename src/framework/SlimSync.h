#pragma once
#include <windows.h>

// The slim lock and condition variables of NT 6 and later, taken from
// kernel32 at run time (a static import would keep the setup from loading on
// Windows 9x and XP). Under Wine they wait without a call to the server,
// which a semaphore or an event costs at every hand-over.
class CSlimSync
{
public:
    // Whether the system has them; a caller without them does its work on
    // one thread.
    static bool Available();

    // Holds the lock for its lifetime.
    class CLock
    {
    public:
        explicit CLock(SRWLOCK& lock);
        ~CLock();
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;
        // Waits on the condition, the lock released meanwhile.
        void Wait(CONDITION_VARIABLE& condition);

    private:
        SRWLOCK& m_lock;
    };

    static void WakeOne(CONDITION_VARIABLE& condition);
    static void WakeAll(CONDITION_VARIABLE& condition);
};
