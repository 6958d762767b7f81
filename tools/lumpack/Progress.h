#pragma once
#include <chrono>
#include <string>

#include "portable/Win32Api.h"

// A one-line progress display on standard error, shown only when standard
// error is a terminal and only once the work has taken more than a moment.
class CProgress
{
public:
    explicit CProgress(ULONGLONG total);
    ~CProgress() { Finish(); }

    void SetItem(const std::string& name);
    void Advance(ULONGLONG bytes);
    // Removes the line.
    void Finish();

    // For CPackageFile::SetProgressProc.
    static void Callback(DWORD bytes, void* context);

private:
    void Draw(bool force);

    bool m_enabled;
    bool m_shown = false;
    ULONGLONG m_total;
    ULONGLONG m_done = 0;
    std::string m_item;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};
