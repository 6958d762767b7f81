#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Handles.h"

// Puts the files an installation writes on the disk before the run is
// committed, as cheaply as the system allows. Where the volume can be
// flushed whole (an administrator on the NT family), each file is closed at
// once and the volume flushed once at the end. Elsewhere (Windows 9x, and
// Wine, which flushes no volume) each file is flushed and closed by a few
// threads of this object's while the installation goes on; a system without
// slim locks (before NT 6) flushes each file as it comes. Nothing waits for
// a flush before Finish.
class CDurableWrites
{
public:
    CDurableWrites() = default;
    // Finishes, whatever the result.
    ~CDurableWrites();
    CDurableWrites(const CDurableWrites&) = delete;
    CDurableWrites& operator=(const CDurableWrites&) = delete;

    // A file written completely (open for writing), at path: flushed and
    // closed by the time Finish returns.
    void Hand(unique_hfile file, const std::string& path);
    // Waits until every file handed so far is on the disk, calling idle
    // (when given) about every 50 ms meanwhile, so that a window keeps
    // answering. False, with the reason as the last error, when a flush
    // failed; FailedPath names it.
    bool Finish(const std::function<void()>& idle = nullptr);
    const std::string& FailedPath() const { return m_strFailedPath; }

private:
    static constexpr int FLUSH_THREADS = 4;

    struct Volume
    {
        unique_hfile handle; // valid: the volume is flushed whole
        bool dirty = false;
    };
    struct Item
    {
        HANDLE file;
        std::string path;
        bool close; // false: a volume's handle, which stays open
    };

    Volume& VolumeOf(const std::string& path);
    void FlushAndClose(HANDLE file, const std::string& path, bool close = true);
    void Fail(DWORD error, const std::string& path);
    bool StartThreads();
    static DWORD WINAPI ThreadProc(void* context);
    void FlushLoop();

    std::map<std::string, Volume> m_volumes;
    std::vector<unique_handle> m_threads;
    bool m_bThreadsFailed = false;
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_queued = CONDITION_VARIABLE_INIT;
    std::deque<Item> m_queue;
    bool m_bStopping = false;
    DWORD m_nError = 0;
    std::string m_strFailedPath;
};
