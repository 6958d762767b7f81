#pragma once
#include <windows.h>

#include <memory>

#include "framework/Handles.h"
#include "package/PackageFile.h"

// Writes a large entry on a second thread while the package expands the next
// pieces: the sink lends one of a few buffers, and the thread writes the
// filled ones to the file in order. Memory stays at SLOTS buffers whatever
// the entry's size. The hand-over uses a slim lock and condition variables,
// which wait without a call to the Wine server; a system without them (before
// NT 6) gets no thread, and Start fails.
class CWriteBehindSink : public CPackageSink
{
public:
    static constexpr int SLOTS = 4;
    static constexpr DWORD SLOT_SIZE = 1024 * 1024;

    explicit CWriteBehindSink(HANDLE hFile) : m_hFile(hFile) {}
    // Waits for the thread as Finish does.
    ~CWriteBehindSink() override;
    CWriteBehindSink(const CWriteBehindSink&) = delete;
    CWriteBehindSink& operator=(const CWriteBehindSink&) = delete;

    // Makes the buffers and starts the thread; false with the last error set.
    bool Start();
    BYTE* LendBuffer(DWORD& nSize) override;
    BOOL TakeBack(DWORD nCount) override;
    // Waits until every piece taken back is written and ends the thread;
    // false with the first failed write's reason as the last error.
    bool Finish();

private:
    static DWORD WINAPI ThreadProc(void* pContext);
    void WriteLoop();
    // Waits until a buffer is free to lend.
    void WaitForFreeSlot();
    // Hands the lent buffer, holding nCount bytes, to the thread.
    void HandOver(DWORD nCount);
    // The first write failure, or 0.
    DWORD WriteError() const { return static_cast<DWORD>(::InterlockedCompareExchange(&m_nError, 0, 0)); }

    HANDLE m_hFile;
    std::unique_ptr<BYTE[]> m_pBuffers;
    DWORD m_arrCounts[SLOTS] = {};
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_slotFilled = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE m_slotFreed = CONDITION_VARIABLE_INIT;
    int m_nFilled = 0;    // buffers handed over and not yet written (under m_lock)
    unique_handle m_hThread;
    int m_nSlot = 0;      // the buffer lent next (or lent now)
    bool m_bLent = false;
    mutable LONG m_nError = 0;
};
