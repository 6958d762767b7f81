#include "framework/Dialog.h"

#include "framework/SystemCalls.h"
#include "framework/WinApp.h"


namespace
{
// Whether the dialog template gives the window a position of its own: a
// non-zero x or y, or DS_CENTER / DS_CENTERMOUSE, with which the system
// places it. Both the classic and the extended template are read.
bool TemplateGivesPosition(UINT templateId)
{
    const HINSTANCE module = CWinAppBase::ResourceInstance();
    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    if (!bytes)
        return false;
    auto word = [&](DWORD offset) { return static_cast<WORD>(bytes[offset] | (bytes[offset + 1] << 8)); };
    const bool extended = size >= 26 && word(0) == 1 && word(2) == 0xFFFF;
    const DWORD styleOffset = extended ? 12 : 0;
    const DWORD xOffset = extended ? 18 : 10;
    if (size < xOffset + 4)
        return false;
    const DWORD style = word(styleOffset) | (static_cast<DWORD>(word(styleOffset + 2)) << 16);
    return (style & (DS_CENTER | DS_CENTERMOUSE)) != 0 || word(xOffset) != 0 || word(xOffset + 2) != 0;
}

// Centres a window over its owner when the owner is shown, otherwise on the
// work area of the screen it is on, and keeps it inside that work area.
void CentreWindow(HWND window)
{
    RECT own;
    if (!::GetWindowRect(window, &own))
        return;
    const HWND owner = ::GetWindow(window, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTOPRIMARY), &monitor))
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    const RECT& area = monitor.rcWork;
    RECT over = area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &over);
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    LONG left = over.left + ((over.right - over.left) - width) / 2;
    LONG top = over.top + ((over.bottom - over.top) - height) / 2;
    left = left + width > area.right ? area.right - width : left;
    top = top + height > area.bottom ? area.bottom - height : top;
    left = left < area.left ? area.left : left;
    top = top < area.top ? area.top : top;
    ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

void DDX_Text(CDataExchange& dx, int controlId, std::string& value)
{
    const HWND control = ::GetDlgItem(dx.m_hDialog, controlId);
    if (dx.m_bSaveAndValidate)
        value = GetWindowTextU(control);
    else
        SetWindowTextU(control, value);
}

void DDX_Check(CDataExchange& dx, int controlId, int& value)
{
    if (dx.m_bSaveAndValidate)
        value = static_cast<int>(::IsDlgButtonChecked(dx.m_hDialog, controlId));
    else
        ::CheckDlgButton(dx.m_hDialog, controlId, static_cast<UINT>(value));
}

CDialogBase::~CDialogBase()
{
    // A modeless window must not outlive the object its procedure points to.
    if (m_hWnd && !m_bModal)
        DestroyWindow();
}

INT_PTR CDialogBase::DoModal(HWND parent)
{
    m_bModal = true;
    m_nResult = -1;
    const INT_PTR result = DialogBoxParamU(CWinAppBase::ResourceInstance(), m_nTemplateId, parent,
                                           &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    m_bModal = false;
    return result;
}

bool CDialogBase::Create(HWND parent)
{
    m_bModal = false;
    m_nResult = -1;
    const HWND window = CreateDialogParamU(CWinAppBase::ResourceInstance(), m_nTemplateId, parent,
                                           &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

void CDialogBase::DestroyWindow()
{
    if (!m_hWnd)
        return;
    const HWND window = m_hWnd;
    m_hWnd = nullptr;
    ::SetWindowLongPtrA(window, DWLP_USER, 0);
    ::DestroyWindow(window);
}

std::string CDialogBase::GetItemText(int controlId) const
{
    std::string text;
    CDataExchange dx(m_hWnd, true);
    DDX_Text(dx, controlId, text);
    return text;
}

void CDialogBase::SetItemText(int controlId, const std::string& text) { SetWindowTextU(GetItem(controlId), text); }

void CDialogBase::EnableItem(int controlId, bool enable) { ::EnableWindow(GetItem(controlId), enable ? TRUE : FALSE); }

void CDialogBase::ShowItem(int controlId, bool show) { ::ShowWindow(GetItem(controlId), show ? SW_SHOW : SW_HIDE); }

bool CDialogBase::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

void CDialogBase::EndDialog(INT_PTR result)
{
    m_nResult = result;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow();
}

BOOL CDialogBase::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

bool CDialogBase::OnCommand(int, int) { return false; }

void CDialogBase::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialogBase::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CDialogBase::OnMessage(UINT, WPARAM, LPARAM, bool& handled)
{
    handled = false;
    return 0;
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    if (message == WM_COMMAND)
    {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (OnCommand(id, code))
            return TRUE;
        if (id == IDOK && code == BN_CLICKED)
        {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL)
        {
            OnCancel();
            return TRUE;
        }
    }
    return OnMessage(message, wParam, lParam, handled);
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogBase* self = nullptr;
    if (message == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialogBase*>(lParam);
        self->m_hWnd = window;
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        // A window whose template gives no position would sit in the corner
        // of the screen; it appears centred, as users expect.
        if (!TemplateGivesPosition(self->m_nTemplateId))
            CentreWindow(window);
    }
    else
    {
        self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    // Nothing may unwind through the system's window procedure: a handler
    // that throws has its message treated as unhandled.
    try
    {
        bool handled = false;
        const INT_PTR result = self->Dispatch(message, wParam, lParam, handled);
        if (handled && message != WM_INITDIALOG && message != WM_COMMAND)
            ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return handled ? result : FALSE;
    }
    catch (...)
    {
        return FALSE;
    }
}
