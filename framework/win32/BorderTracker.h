// The resize border of a UI-active control on Windows, which no container lends here: the
// framework draws it itself, in the non-client area of the control's window.
//
// While shown, the window stands out by m_nHandleSize pixels on every side of the site's
// rectangle, so the client area keeps exactly the site's rectangle and the control's pixels.
// The band is hatched, with eight square handles of m_nHandleSize pixels; hit tests answer the
// sizing codes on the handles and HTBORDER between them. As the Qt container's tracker does,
// m_rect is kept m_nHandleSize - 1 up and left of the client rectangle, so the control's own
// rule (m_rect moved by its position plus m_nHandleSize - 1) reports the rectangle the mouse
// showed.
#pragma once

#include "framework/OleControl.h"
#include "framework/RectTracker.h"

class CBorderTracker final : public CRectTracker {
public:
    // owner: held while a press on the border is handled, so a container that lets go of the
    // control meanwhile does not delete the tracker under its own drag.
    explicit CBorderTracker(IUnknown& owner) : m_owner(owner) {}
    ~CBorderTracker() override { Detach(); }
    CBorderTracker(const CBorderTracker&) = delete;
    CBorderTracker& operator=(const CBorderTracker&) = delete;

    // Takes the window's non-client messages until Detach (or the window's end).
    void Attach(HWND hwnd);
    void Detach();

    // Shows the border with these styles (0 hides it) around the client area at pos, the site's
    // rectangle in the parent's client area, and moves the window accordingly.
    void Show(uint32_t style, const RECT& pos);
    BOOL IsShown() const { return m_hwnd != nullptr && m_nStyle != 0; }
    // After the window was placed at pos: stands it out by the border, when shown.
    void Place(const RECT& pos);
    // The rectangle a drag starts from, for a client area of this size.
    void Reset(int32_t width, int32_t height);

    // For a point of the window (0, 0 its top-left corner, border included).
    uint32_t HitTest(POINT windowPoint) const;

    // Follows the mouse messages, wherever they come from, until the left button is released
    // (TRUE) or the drag is given up: Escape, another button, a move without the button, or the
    // capture lost (FALSE, m_rect as before).
    BOOL Track(COleControl* wnd, CPoint point, BOOL allowInvert = FALSE,
               COleControl* wndClipTo = nullptr) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    int32_t Border() const { return m_nHandleSize; }
    SIZE ClientSize() const;
    // The band and handles into a device whose origin is the window's top-left corner.
    void Draw(HDC dc) const;
    // The handle's square in window coordinates; index as in the handle table.
    RECT HandleRect(int32_t handle) const;
    void Follow(POINT clientPoint);
    // The outline of the rectangle under way, drawn and undrawn by inversion on the parent.
    void InvertOutline() const;

    IUnknown& m_owner;
    HWND m_hwnd = nullptr;
    WNDPROC m_original = nullptr;
    // What the drag took hold of: a handle's index, or -1 for the band (a move).
    int32_t m_hit = -1;
    CRect m_start;
    POINT m_press{};
    bool m_allowInvert = false;
    bool m_tracking = false;
};
