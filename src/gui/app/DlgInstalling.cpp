#include "app/DlgInstalling.h"

#include "framework/ResourceStrings.h"
#include "framework/SystemCalls.h"
#include "resources/resource.h"

namespace
{
// Pending messages are looked for at most this often: under Wine every look
// is a call to the server, and a long file reports every 64 KiB.
constexpr DWORD PUMP_INTERVAL_MS = 10;
constexpr unsigned PERMILLE = 1000;
constexpr UINT_PTR PENDING_STATUS_TIMER = 1;

// Milliseconds of the performance counter. Under Wine GetTickCount is only
// brought up to date when the process talks to the server, so a run of
// busy work reads a stale tick.
DWORD Milliseconds()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<DWORD>(now.QuadPart * 1000 / frequency);
}
} // namespace

DLG_Installing::DLG_Installing() : CDialogBase(IDD_INSTALLING) {}

BOOL DLG_Installing::OnInitDialog()
{
    CDialogBase::OnInitDialog();
    // The template's placeholder texts are not shown.
    SetItemText(IDC_STAGE_TEXT, "");
    SetItemText(IDC_STATUS_TEXT, "");
    m_nLastShown = Milliseconds() - STATUS_INTERVAL_MS;
    m_nLastPump = m_nLastShown;
    return TRUE;
}

void DLG_Installing::SetStage(unsigned stageId, unsigned statusId)
{
    // Both lines change together and at once: the new stage never shows
    // beside the previous stage's object.
    m_bStatusPending = false;
    SetItemText(IDC_STAGE_TEXT, LoadResString(stageId));
    SetItemText(IDC_STATUS_TEXT, LoadResString(statusId));
    m_nLastShown = Milliseconds();
    ::UpdateWindow(m_hWnd);
}

void DLG_Installing::SetStatus(unsigned statusId) { SetStatusText(LoadResString(statusId)); }

void DLG_Installing::SetStatusText(const std::string& text)
{
    m_strPendingStatus = text;
    m_bStatusPending = true;
    // Shows the held-back name when the interval is over even if no further
    // report comes, as when a step waits in a message box.
    if (!m_bTimerSet && Milliseconds() - m_nLastShown < STATUS_INTERVAL_MS)
        m_bTimerSet = ::SetTimer(m_hWnd, PENDING_STATUS_TIMER, STATUS_INTERVAL_MS, nullptr) != 0;
    // Shows the name at once when the interval is already over.
    PumpMessages();
}

void DLG_Installing::SetStageText(const std::string& text)
{
    ShowPending();
    SetItemText(IDC_STAGE_TEXT, text);
    ::UpdateWindow(m_hWnd);
}

void DLG_Installing::SetProgressTotal(ULONGLONG total)
{
    m_nTotal = total;
    m_nDone = 0;
    PumpMessages();
}

void DLG_Installing::AddProgress(ULONGLONG bytes)
{
    m_nDone = bytes < m_nTotal - m_nDone ? m_nDone + bytes : m_nTotal;
    PumpMessages();
}

void DLG_Installing::PumpMessages()
{
    const DWORD now = Milliseconds();
    if ((m_bStatusPending || DonePermille() != m_nShownPermille) && now - m_nLastShown >= STATUS_INTERVAL_MS)
    {
        ShowPending();
        ::UpdateWindow(m_hWnd);
    }
    if (now - m_nLastPump < PUMP_INTERVAL_MS)
        return;
    m_nLastPump = now;
    MSG message;
    while (PeekMessageU(message, PM_REMOVE))
    {
        if (message.message == WM_QUIT)
        {
            // Not ours to act on in the middle of a step: left for the
            // loop that owns the thread.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!IsDialogMessageU(m_hWnd, message))
        {
            ::TranslateMessage(&message);
            DispatchMessageU(message);
        }
    }
}

void DLG_Installing::ShowPending()
{
    if (m_bStatusPending)
    {
        SetItemText(IDC_STATUS_TEXT, m_strPendingStatus);
        m_bStatusPending = false;
    }
    const unsigned permille = DonePermille();
    if (permille != m_nShownPermille)
    {
        m_nShownPermille = permille;
        ::InvalidateRect(GetItem(IDC_PROGRESS_BAR), nullptr, FALSE);
    }
    m_nLastShown = Milliseconds();
}

unsigned DLG_Installing::DonePermille() const
{
    if (m_nTotal == 0)
        return 0;
    return static_cast<unsigned>(m_nDone * PERMILLE / m_nTotal);
}

INT_PTR DLG_Installing::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (message == WM_TIMER && wParam == PENDING_STATUS_TIMER)
    {
        ::KillTimer(m_hWnd, PENDING_STATUS_TIMER);
        m_bTimerSet = false;
        if (m_bStatusPending)
        {
            ShowPending();
            ::UpdateWindow(m_hWnd);
        }
        handled = true;
        return 0;
    }
    if (message == WM_DRAWITEM && wParam == IDC_PROGRESS_BAR)
    {
        DrawBar(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        handled = true;
        return TRUE;
    }
    return CDialogBase::OnMessage(message, wParam, lParam, handled);
}

// The bar: the share done in the selection colour, the rest in the window's
// face colour.
void DLG_Installing::DrawBar(const DRAWITEMSTRUCT& item) const
{
    RECT done = item.rcItem;
    const LONG width = item.rcItem.right - item.rcItem.left;
    done.right = item.rcItem.left + static_cast<LONG>(static_cast<ULONGLONG>(width) * m_nShownPermille / PERMILLE);
    RECT rest = item.rcItem;
    rest.left = done.right;
    ::FillRect(item.hDC, &done, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    ::FillRect(item.hDC, &rest, ::GetSysColorBrush(COLOR_BTNFACE));
}
