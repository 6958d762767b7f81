#include "portable/VectorState.h"

#include <windows.h>

#ifndef PF_XMMI64_INSTRUCTIONS_AVAILABLE
#define PF_XMMI64_INSTRUCTIONS_AVAILABLE 10
#endif

bool SystemSavesVectorRegisters()
{
    // The system says that SSE2 may be used only when it saves the
    // registers. The call itself is looked up at run time: Windows 95 lacks
    // it, and a static import would keep the program from starting there.
    using Query = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto query = kernel ? reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
                                    ::GetProcAddress(kernel, "IsProcessorFeaturePresent")))
                              : nullptr;
    return query && query(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
}
