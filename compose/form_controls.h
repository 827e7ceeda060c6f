// Controls of the compose form that the keyboard's Tab key passes over, as
// the form's template wants: the address-book buttons, the read-only count
// fields, and the picture area.
#pragma once

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/textctrl.h>

class CNoTabButton : public wxButton {
public:
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    wxDECLARE_DYNAMIC_CLASS(CNoTabButton);
};

class CNoTabField : public wxTextCtrl {
public:
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    wxDECLARE_DYNAMIC_CLASS(CNoTabField);
};

// The picture area (1030): a plain frame that never takes the focus.
class CPictureArea : public wxPanel {
public:
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    wxDECLARE_DYNAMIC_CLASS(CPictureArea);
};
