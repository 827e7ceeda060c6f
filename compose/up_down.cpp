#include "compose/up_down.h"

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>

#include <algorithm>

wxDEFINE_EVENT(EVT_UPDOWN_SETTLED, wxSpinEvent);

CUpDownCtrl::CUpDownCtrl(wxWindow *parent, int id, const wxPoint &pos, const wxSize &size)
    : wxControl(parent, id, pos, size, wxBORDER_NONE | wxWANTS_CHARS), m_repeat(this)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CUpDownCtrl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CUpDownCtrl::OnMouseDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CUpDownCtrl::OnMouseDown, this);
    Bind(wxEVT_LEFT_UP, &CUpDownCtrl::OnMouseUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent &) { Release(); });
    Bind(wxEVT_KEY_DOWN, &CUpDownCtrl::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &CUpDownCtrl::OnKeyUp, this);
    Bind(wxEVT_TIMER, &CUpDownCtrl::OnRepeat, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent &e) { Refresh(); e.Skip(); });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent &e) {
        // A key let go elsewhere is never seen here: the value settles now.
        if (m_keyHeld) {
            m_keyHeld = false;
            Settle();
        }
        Refresh();
        e.Skip();
    });
}

wxSize CUpDownCtrl::DoGetBestSize() const
{
    return wxSize(16, 20);
}

void CUpDownCtrl::SetRange(int lowest, int highest)
{
    m_min = std::min(lowest, highest);
    m_max = std::max(lowest, highest);
    SetValue(m_pos);
}

void CUpDownCtrl::SetValue(int pos)
{
    m_pos = std::clamp(pos, m_min, m_max);
    Refresh();
}

void CUpDownCtrl::Step(int delta)
{
    int pos = std::clamp(m_pos + delta, m_min, m_max);
    if (pos == m_pos)
        return;
    m_pos = pos;
    if (IsHeld())
        m_movedWhileHeld = true;
    Refresh();
    wxSpinEvent event(wxEVT_SPIN, GetId());
    event.SetEventObject(this);
    event.SetPosition(m_pos);
    HandleWindowEvent(event);
}

void CUpDownCtrl::OnPaint(wxPaintEvent &)
{
    wxAutoBufferedPaintDC dc(this);
    wxSize sz = GetClientSize();
    dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
    dc.Clear();
    int half = sz.y / 2;
    wxRendererNative &r = wxRendererNative::Get();
    int flags = IsEnabled() ? 0 : int(wxCONTROL_DISABLED);
    r.DrawPushButton(this, dc, wxRect(0, 0, sz.x, half), flags | (m_pressed > 0 ? int(wxCONTROL_PRESSED) : 0));
    r.DrawPushButton(this, dc, wxRect(0, half, sz.x, sz.y - half),
                     flags | (m_pressed < 0 ? int(wxCONTROL_PRESSED) : 0));
    // The arrows.
    wxColour ink = wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT);
    dc.SetPen(wxPen(ink));
    dc.SetBrush(wxBrush(ink));
    int cx = sz.x / 2, w = std::max(2, std::min(sz.x / 2 - 2, 4));
    int upY = half / 2, downY = half + (sz.y - half) / 2;
    wxPoint up[] = {{cx - w, upY + w / 2}, {cx + w, upY + w / 2}, {cx, upY - w / 2 - 1}};
    wxPoint down[] = {{cx - w, downY - w / 2}, {cx + w, downY - w / 2}, {cx, downY + w / 2 + 1}};
    dc.DrawPolygon(3, up);
    dc.DrawPolygon(3, down);
    if (HasFocus())
        r.DrawFocusRect(this, dc, wxRect(sz).Deflate(1));
}

void CUpDownCtrl::OnMouseDown(wxMouseEvent &event)
{
    if (!IsEnabled())
        return;
    SetFocus();
    if (!HasCapture())
        CaptureMouse();
    Press(event.GetY() < GetClientSize().y / 2 ? 1 : -1);
}

void CUpDownCtrl::OnMouseUp(wxMouseEvent &)
{
    if (HasCapture())
        ReleaseMouse();
    Release();
}

void CUpDownCtrl::Press(int direction)
{
    m_pressed = direction > 0 ? 1 : -1;
    Step(m_pressed);
    m_repeat.StartOnce(400);
    Refresh();
}

void CUpDownCtrl::Release()
{
    bool wasPressed = m_pressed != 0;
    m_pressed = 0;
    m_repeat.Stop();
    Refresh();
    if (wasPressed)
        Settle();
}

void CUpDownCtrl::Settle()
{
    if (!m_movedWhileHeld || IsHeld())
        return;
    m_movedWhileHeld = false;
    wxSpinEvent event(EVT_UPDOWN_SETTLED, GetId());
    event.SetEventObject(this);
    event.SetPosition(m_pos);
    HandleWindowEvent(event);
}

void CUpDownCtrl::OnRepeat(wxTimerEvent &)
{
    if (m_pressed == 0)
        return;
    Step(m_pressed);
    m_repeat.StartOnce(60);
}

void CUpDownCtrl::OnKeyDown(wxKeyEvent &event)
{
    switch (event.GetKeyCode()) {
    case WXK_UP:
    case WXK_NUMPAD_UP:
        m_keyHeld = true;
        Step(1);
        break;
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
        m_keyHeld = true;
        Step(-1);
        break;
    case WXK_TAB:
        Navigate(event.ShiftDown() ? wxNavigationKeyEvent::IsBackward : wxNavigationKeyEvent::IsForward);
        break;
    default:
        event.Skip();
    }
}

void CUpDownCtrl::OnKeyUp(wxKeyEvent &event)
{
    switch (event.GetKeyCode()) {
    case WXK_UP:
    case WXK_NUMPAD_UP:
    case WXK_DOWN:
    case WXK_NUMPAD_DOWN:
        if (m_keyHeld) {
            m_keyHeld = false;
            Settle();
        }
        break;
    default:
        event.Skip();
    }
}
