#pragma once
#include <windows.h>

// Waits until object is signalled (null: for nothing) or milliseconds have
// passed (INFINITE: no limit), taking this thread's window messages
// meanwhile, so that its windows paint and answer the system. A WM_QUIT is
// left for the loop that owns the thread, and ends the taking of messages
// (not the wait for object).
void WaitTakingMessages(HANDLE object, DWORD milliseconds);
