#include "framework/BitmapButton.h"

#include "framework/WinApp.h"

namespace
{
HBITMAP LoadBitmapResource(UINT id)
{
    return static_cast<HBITMAP>(
        ::LoadImageA(CWinAppBase::ResourceInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}
} // namespace

bool CBitmapButton::LoadBitmaps(UINT normalId, UINT pressedId, UINT focusedId, UINT disabledId)
{
    m_normal.reset(LoadBitmapResource(normalId));
    m_pressed.reset(LoadBitmapResource(pressedId));
    m_focused.reset(LoadBitmapResource(focusedId));
    m_disabled.reset(LoadBitmapResource(disabledId));
    return m_normal && m_pressed && m_focused && m_disabled;
}

void CBitmapButton::Attach(HWND dialog, int controlId)
{
    m_hButton = ::GetDlgItem(dialog, controlId);
    m_nControlId = controlId;
}

HBITMAP CBitmapButton::BitmapFor(UINT state) const
{
    if ((state & ODS_DISABLED) && m_disabled)
        return m_disabled.get();
    if ((state & ODS_SELECTED) && m_pressed)
        return m_pressed.get();
    if ((state & ODS_FOCUS) && m_focused)
        return m_focused.get();
    return m_normal.get();
}

bool CBitmapButton::DrawItem(const DRAWITEMSTRUCT& item) const
{
    if (item.CtlType != ODT_BUTTON || static_cast<int>(item.CtlID) != m_nControlId)
        return false;
    const HBITMAP bitmap = BitmapFor(item.itemState);
    if (!bitmap)
        return true;
    const HDC memory = ::CreateCompatibleDC(item.hDC);
    if (!memory)
        return true;
    BITMAP info{};
    ::GetObjectA(bitmap, sizeof info, &info);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    const RECT& r = item.rcItem;
    ::StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, info.bmWidth,
                 info.bmHeight, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    return true;
}
