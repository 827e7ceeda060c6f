// The display width's up-down control (1020): a small pair of arrows beside
// its buddy field, as narrow as the form's template wants it. GTK's own spin
// button is an entry with two wide buttons side by side and does not fit.
// It keeps a position within its range, steps it by one with the mouse
// (held down, it repeats) or the up and down arrow keys, and reports each
// step as wxEVT_SPIN with the new position. Held down (mouse button or
// arrow key), it steps on its own; once let go after such steps it reports
// EVT_UPDOWN_SETTLED, so that work worth doing once per value (writing it to
// the settings) waits until the value settles.
#pragma once

#include <wx/control.h>
#include <wx/spinbutt.h>
#include <wx/timer.h>

wxDECLARE_EVENT(EVT_UPDOWN_SETTLED, wxSpinEvent);

class CUpDownCtrl : public wxControl {
public:
    CUpDownCtrl(wxWindow *parent, int id, const wxPoint &pos, const wxSize &size);

    void SetRange(int lowest, int highest);
    int GetMin() const { return m_min; }
    int GetMax() const { return m_max; }
    // Sets the position, held within the range; reports nothing.
    void SetValue(int pos);
    int GetValue() const { return m_pos; }

    // One step up (+1) or down (-1), reported when the position changed.
    void Step(int delta);

    // Pressing an arrow (+1 upper, -1 lower) steps once and then repeats
    // until it is released; the release reports EVT_UPDOWN_SETTLED when
    // the position changed meanwhile. The mouse and the arrow keys use these.
    void Press(int direction);
    void Release();
    // True while an arrow is held: the position is still moving.
    bool IsHeld() const { return m_pressed != 0 || m_keyHeld; }

    bool AcceptsFocus() const override { return IsEnabled(); }

protected:
    wxSize DoGetBestSize() const override;

private:
    void OnPaint(wxPaintEvent &event);
    void OnMouseDown(wxMouseEvent &event);
    void OnMouseUp(wxMouseEvent &event);
    void OnKeyDown(wxKeyEvent &event);
    void OnKeyUp(wxKeyEvent &event);
    void Settle();
    void OnRepeat(wxTimerEvent &event);

    int m_min = 0, m_max = 100, m_pos = 0;
    int m_pressed = 0; // +1 upper arrow held, -1 lower, 0 none
    bool m_keyHeld = false; // an arrow key is down
    bool m_movedWhileHeld = false;
    wxTimer m_repeat;
};
