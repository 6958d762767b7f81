#include "framework/MessageWait.h"

#include "framework/SystemCalls.h"

void WaitTakingMessages(HANDLE object, DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    const DWORD count = object ? 1 : 0;
    for (;;)
    {
        DWORD remaining = INFINITE;
        if (milliseconds != INFINITE)
        {
            const DWORD waited = ::GetTickCount() - start;
            if (waited >= milliseconds)
                return;
            remaining = milliseconds - waited;
        }
        const DWORD woken = ::MsgWaitForMultipleObjects(count, object ? &object : nullptr, FALSE, remaining, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + count)
            return; // the object, the time, or a failure
        MSG message;
        while (PeekMessageU(message, PM_REMOVE))
        {
            if (message.message == WM_QUIT)
            {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                if (object)
                    ::WaitForSingleObject(object, remaining);
                return;
            }
            ::TranslateMessage(&message);
            DispatchMessageU(message);
        }
    }
}
