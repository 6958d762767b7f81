// A package sink that writes on a second thread.
#include "install/WriteBehind.h"

#include <new>

#include "framework/SlimSync.h"
#include "package/FileIo.h"


CWriteBehindSink::~CWriteBehindSink() { Finish(); }

bool CWriteBehindSink::Start()
{
    if (!CSlimSync::Available())
    {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    m_pBuffers.reset(new (std::nothrow) BYTE[static_cast<size_t>(SLOTS) * SLOT_SIZE]);
    if (!m_pBuffers)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    m_hThread.reset(::CreateThread(nullptr, 64 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return m_hThread.valid();
}

void CWriteBehindSink::WaitForFreeSlot()
{
    CSlimSync::CLock lock(m_lock);
    while (m_nFilled == SLOTS)
        lock.Wait(m_slotFreed);
}

void CWriteBehindSink::HandOver(DWORD nCount)
{
    m_arrCounts[m_nSlot] = nCount;
    m_bLent = false;
    m_nSlot = (m_nSlot + 1) % SLOTS;
    {
        CSlimSync::CLock lock(m_lock);
        ++m_nFilled;
    }
    CSlimSync::WakeOne(m_slotFilled);
}

BYTE* CWriteBehindSink::LendBuffer(DWORD& nSize)
{
    if (!m_bLent)
    {
        WaitForFreeSlot();
        m_bLent = true;
    }
    if (const DWORD error = WriteError())
    {
        ::SetLastError(error);
        return nullptr;
    }
    nSize = SLOT_SIZE;
    return m_pBuffers.get() + static_cast<size_t>(m_nSlot) * SLOT_SIZE;
}

BOOL CWriteBehindSink::TakeBack(DWORD nCount)
{
    HandOver(nCount);
    if (const DWORD error = WriteError())
    {
        ::SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

bool CWriteBehindSink::Finish()
{
    if (m_hThread)
    {
        // A piece of no bytes tells the thread that nothing follows.
        if (!m_bLent)
            WaitForFreeSlot();
        HandOver(0);
        ::WaitForSingleObject(m_hThread.get(), INFINITE);
        m_hThread.reset();
    }
    if (const DWORD error = WriteError())
    {
        ::SetLastError(error);
        return false;
    }
    return true;
}

DWORD WINAPI CWriteBehindSink::ThreadProc(void* pContext)
{
    static_cast<CWriteBehindSink*>(pContext)->WriteLoop();
    return 0;
}

void CWriteBehindSink::WriteLoop()
{
    for (int slot = 0;; slot = (slot + 1) % SLOTS)
    {
        {
            CSlimSync::CLock lock(m_lock);
            while (m_nFilled == 0)
                lock.Wait(m_slotFilled);
        }
        const DWORD count = m_arrCounts[slot];
        if (count == 0)
            return;
        // After a failure the rest is not written, only given back.
        if (WriteError() == 0 && !WriteExact(m_hFile, m_pBuffers.get() + static_cast<size_t>(slot) * SLOT_SIZE, count))
        {
            const DWORD error = ::GetLastError();
            ::InterlockedExchange(&m_nError, static_cast<LONG>(error ? error : ERROR_WRITE_FAULT));
        }
        {
            CSlimSync::CLock lock(m_lock);
            --m_nFilled;
        }
        CSlimSync::WakeOne(m_slotFreed);
    }
}
