#pragma once
#include <windows.h>

#include "framework/Handles.h"

// An owner-drawn push button that draws one of four bitmaps by its state:
// normal, pressed, focused and disabled. The dialog passes its WM_DRAWITEM
// for the button to DrawItem.
class CBitmapButton
{
public:
    // Loads the four bitmap resources; false when one is missing.
    bool LoadBitmaps(UINT normalId, UINT pressedId, UINT focusedId, UINT disabledId);
    // Attaches to the owner-drawn button controlId of dialog.
    void Attach(HWND dialog, int controlId);

    // True when item was this button and has been drawn.
    bool DrawItem(const DRAWITEMSTRUCT& item) const;

    HWND GetSafeHwnd() const { return m_hButton; }

private:
    HBITMAP BitmapFor(UINT state) const;

    HWND m_hButton = nullptr;
    int m_nControlId = 0;
    unique_hbitmap m_normal, m_pressed, m_focused, m_disabled;
};
