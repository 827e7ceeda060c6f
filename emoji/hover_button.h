// Owner-drawn push buttons of the pictograph palette.
//
// COwnerDrawButton is a push button that draws itself: it reports a click
// (wxEVT_BUTTON with its identifier) like any button and leaves the drawing
// to DrawItem, which draws nothing here. Dialog templates (XRC) create it as
// class "COwnerDrawButton"; RegisterOwnerDrawButtonXrc() teaches XRC the
// class, and an object with subclass="CHoverButton" becomes a hover button.
//
// CHoverButton shows one cell of a strip picture (three cells side by side:
// normal, pressed, hovered), sizes itself to one cell and carries its own
// tool tip. It knows nothing of pictographs.
#pragma once

#include "emoji/hover_state.h"

#include <wx/bitmap.h>
#include <wx/control.h>

#include <string>

class COwnerDrawButton : public wxControl {
public:
    COwnerDrawButton();
    COwnerDrawButton(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size,
                     long style = 0, const wxString &name = "button");
    bool Create(wxWindow *parent, wxWindowID id, const wxPoint &pos, const wxSize &size,
                long style = 0, const wxString &name = "button");

    // Held down: the mouse button was pressed over it and the pointer is
    // still over it, or the space key is held while it has the focus.
    bool IsPressed() const { return m_pressed; }

    bool AcceptsFocus() const override { return true; }
    bool AcceptsFocusFromKeyboard() const override { return true; }

protected:
    // Draws the button's face. `pressed` is the held-down state; the focus,
    // disabled and default states are not drawn. Nothing is erased before:
    // what DrawItem leaves out shows the parent's face.
    virtual void DrawItem(wxDC &dc, bool pressed);
    // The mouse button held over it was released, or the mouse capture was
    // lost (after the pressed look is gone).
    virtual void MouseReleased() {}
    // The face the button stands on: its parent's background.
    wxColour FaceColour() const;
    wxSize DoGetBestSize() const override { return GetSize(); }

private:
    void Init();
    void OnPaint(wxPaintEvent &event);
    void OnLeftDown(wxMouseEvent &event);
    void OnLeftUp(wxMouseEvent &event);
    void OnDragMotion(wxMouseEvent &event);
    void OnCaptureLost(wxMouseCaptureLostEvent &event);
    void OnKeyDown(wxKeyEvent &event);
    void OnKeyUp(wxKeyEvent &event);
    void SetPressed(bool pressed);
    void Click();

    bool m_pressed = false;
    bool m_mouseDown = false; // the mouse button went down over it and is held
    bool m_spaceDown = false;

    wxDECLARE_DYNAMIC_CLASS(COwnerDrawButton);
};

// Lets XRC create "COwnerDrawButton" objects (once; later calls do nothing).
void RegisterOwnerDrawButtonXrc();

class CHoverButton : public COwnerDrawButton {
public:
    CHoverButton();
    ~CHoverButton() override;

    // Loads the strip picture with that bitmap resource id (the file
    // emoji/<id>.bmp beside the program) and sizes the button to one cell
    // without moving it. False when the picture cannot be loaded: the button
    // then keeps its size and draws nothing.
    bool LoadStrip(unsigned bitmapId);
    // The same from a picture file, or from an image.
    bool LoadStripFile(const std::string &path);
    bool LoadStripImage(const wxImage &image);

    // The tip: text in CP932. A null text changes nothing. The first call
    // registers the button's one tool; later calls change its text and
    // activation.
    void SetTip(const std::string *text, bool activate);
    // The tip from the program's string table; an empty or missing string
    // changes nothing.
    void SetTipFromResource(unsigned stringId, bool activate);
    // Activates or deactivates the tip when a tool is registered.
    void EnableTip(bool activate);
    // Creates the tip control (inactive, without a tool) on first use.
    void EnsureTip();

    // State, for the palette and for tests.
    wxSize CellSize() const { return m_cellSize; }
    bool HasStrip() const { return m_strip.IsOk(); }
    bool Hovering() const { return m_track.Hovering(); }
    bool TrackRequested() const { return m_track.TrackRequested(); }
    StripCell CurrentCell() const { return CellForState(IsPressed(), m_track.Hovering()); }
    bool TipCreated() const { return m_tipCreated; }
    int TipToolCount() const { return m_tipHasTool ? 1 : 0; }
    const std::string &TipText() const { return m_tipText; }
    bool TipActive() const { return m_tipActive; }

protected:
    void DrawItem(wxDC &dc, bool pressed) override;
    // Leaving however it happens: a release or a lost capture with the
    // pointer elsewhere draws the normal cell.
    void MouseReleased() override;

private:
    void OnMouseMove(wxMouseEvent &event);
    void OnMouseHover();
    void OnMouseLeave(wxMouseEvent &event);

    // Asks for one hover report for the pointer now over the button.
    bool RequestTracking();
    void ApplyTip();

    HoverTracker m_track;
    wxSize m_cellSize{0, 0};
    wxBitmap m_strip;
    bool m_tipCreated = false;
    bool m_tipHasTool = false;
    bool m_tipActive = false;
    std::string m_tipText; // CP932

    wxDECLARE_DYNAMIC_CLASS(CHoverButton);
};

// The program's string table: the text of a string resource, empty when
// there is none. The program's texts live in its window templates, so the
// table holds only what other windows look up by number.
std::string LoadStringResource(unsigned stringId);
