#include "Progress.h"

#include <cstdio>

#include "ToolPlatform.h"

namespace
{
constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr size_t kWidth = 79;
} // namespace

CProgress::CProgress(ULONGLONG total)
    : m_enabled(StandardErrorIsTerminal()), m_total(total), m_start(std::chrono::steady_clock::now()),
      m_lastDraw(m_start)
{
}

void CProgress::Callback(DWORD bytes, void* context)
{
    static_cast<CProgress*>(context)->Advance(bytes);
}

void CProgress::SetItem(const std::string& name)
{
    m_item = name;
    Draw(false);
}

void CProgress::Advance(ULONGLONG bytes)
{
    m_done += bytes;
    Draw(false);
}

void CProgress::Draw(bool force)
{
    if (!m_enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && (now - m_start < kDelay || now - m_lastDraw < kInterval))
        return;
    m_lastDraw = now;
    const unsigned percent = m_total == 0 ? 100 : static_cast<unsigned>(m_done * 100 / m_total);
    char head[64];
    std::snprintf(head, sizeof head, "%3u%% %8.1f MiB ", percent > 100 ? 100 : percent, m_done / 1048576.0);
    std::string line = head + m_item;
    if (line.size() > kWidth)
        line = line.substr(0, kWidth - 3) + "...";
    line.resize(kWidth, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    m_shown = true;
}

void CProgress::Finish()
{
    if (m_shown)
    {
        std::fprintf(stderr, "\r%s\r", std::string(kWidth, ' ').c_str());
        std::fflush(stderr);
        m_shown = false;
    }
}
