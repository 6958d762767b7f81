#include "install/DurableWrites.h"

#include "framework/SlimSync.h"
#include "framework/SystemCalls.h"

namespace
{
// The device name of the volume that holds path ("\\.\C:"), where it has a
// drive letter; "" elsewhere (a share, a volume mounted at a folder).
std::string VolumeDeviceOf(const std::string& path)
{
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\')
        return std::string();
    return std::string("\\\\.\\") + path.substr(0, 2);
}
} // namespace

CDurableWrites::~CDurableWrites() { Finish(); }

CDurableWrites::Volume& CDurableWrites::VolumeOf(const std::string& path)
{
    const std::string device = VolumeDeviceOf(path);
    std::string key = device;
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const auto found = m_volumes.find(key);
    if (found != m_volumes.end())
        return found->second;
    Volume& volume = m_volumes[key];
    // One flush tells whether the system flushes this volume whole for us;
    // the NT family does for an administrator, Windows 9x and Wine do not.
    if (!device.empty() && !SystemUsesCodePage())
    {
        unique_hfile handle(CreateFileU(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        if (handle && ::FlushFileBuffers(handle.get()))
            volume.handle = std::move(handle);
    }
    return volume;
}

void CDurableWrites::Fail(DWORD error, const std::string& path)
{
    if (m_nError != 0)
        return;
    m_nError = error ? error : ERROR_WRITE_FAULT;
    m_strFailedPath = path;
}

void CDurableWrites::FlushAndClose(HANDLE file, const std::string& path, bool close)
{
    const bool flushed = ::FlushFileBuffers(file) != FALSE;
    const DWORD error = ::GetLastError();
    if (close)
        ::CloseHandle(file);
    if (!flushed && CSlimSync::Available())
    {
        CSlimSync::CLock lock(m_lock);
        Fail(error, path);
    }
    else if (!flushed)
    {
        Fail(error, path);
    }
}

void CDurableWrites::Hand(unique_hfile file, const std::string& path)
{
    if (!file)
        return;
    Volume& volume = VolumeOf(path);
    if (volume.handle)
    {
        volume.dirty = true;
        return; // closed here; the volume's flush takes it to the disk
    }
    if (!StartThreads())
    {
        FlushAndClose(file.release(), path);
        return;
    }
    {
        CSlimSync::CLock lock(m_lock);
        m_queue.push_back({file.release(), path, true});
    }
    CSlimSync::WakeOne(m_queued);
}

bool CDurableWrites::StartThreads()
{
    if (!m_threads.empty())
        return true;
    if (m_bThreadsFailed || !CSlimSync::Available())
        return false;
    for (int i = 0; i < FLUSH_THREADS; ++i)
    {
        unique_handle thread(
            ::CreateThread(nullptr, 64 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!thread)
            break;
        m_threads.push_back(std::move(thread));
    }
    m_bThreadsFailed = m_threads.empty();
    return !m_bThreadsFailed;
}

DWORD WINAPI CDurableWrites::ThreadProc(void* context)
{
    static_cast<CDurableWrites*>(context)->FlushLoop();
    return 0;
}

void CDurableWrites::FlushLoop()
{
    for (;;)
    {
        Item item;
        {
            CSlimSync::CLock lock(m_lock);
            while (m_queue.empty() && !m_bStopping)
                lock.Wait(m_queued);
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        FlushAndClose(item.file, item.path, item.close);
    }
}

bool CDurableWrites::Finish(const std::function<void()>& idle)
{
    // The volumes flushed whole are flushed last, after the files still
    // waiting; by the threads, where there are some, so that the caller can
    // keep its window answering meanwhile.
    std::vector<Item> volumes;
    for (auto& entry : m_volumes)
    {
        if (entry.second.handle && entry.second.dirty)
            volumes.push_back({entry.second.handle.get(), entry.first, false});
        entry.second.dirty = false;
    }
    if (!m_threads.empty() || (!volumes.empty() && StartThreads()))
    {
        {
            CSlimSync::CLock lock(m_lock);
            m_queue.insert(m_queue.end(), volumes.begin(), volumes.end());
            m_bStopping = true;
        }
        volumes.clear();
        CSlimSync::WakeAll(m_queued);
        std::vector<HANDLE> threads;
        for (const unique_handle& thread : m_threads)
            threads.push_back(thread.get());
        while (::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, idle ? 50 : INFINITE) ==
               WAIT_TIMEOUT)
            idle();
        m_threads.clear();
        m_bStopping = false;
    }
    for (const Item& volume : volumes)
        FlushAndClose(volume.file, volume.path, false);
    if (m_nError == 0)
        return true;
    ::SetLastError(m_nError);
    return false;
}
