// The display width's up-down control (1020): a small pair of arrows beside
// its buddy field, as narrow as the form's template wants it. GTK's own spin
// button is an entry with two wide buttons side by side and does not fit.
// It keeps a position within its range, steps it by one with the mouse
// (held down, it repeats) or the up and down arrow keys, and reports each
// step as wxEVT_SPIN with the new position.
#pragma once

#include <wx/control.h>
#include <wx/timer.h>

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

    bool AcceptsFocus() const override { return IsEnabled(); }

protected:
    wxSize DoGetBestSize() const override;

private:
    void OnPaint(wxPaintEvent &event);
    void OnMouseDown(wxMouseEvent &event);
    void OnMouseUp(wxMouseEvent &event);
    void OnKeyDown(wxKeyEvent &event);
    void OnRepeat(wxTimerEvent &event);

    int m_min = 0, m_max = 100, m_pos = 0;
    int m_pressed = 0; // +1 upper arrow held, -1 lower, 0 none
    wxTimer m_repeat;
};
