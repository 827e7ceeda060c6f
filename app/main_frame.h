// The main window: menu, toolbar, accelerators, the compose form as its
// only view, window placement, and shutdown with mail-system log-off.
#pragma once

#include "app/window_placement.h"

#include <wx/frame.h>

#include <set>

class CTegamiyaView;

// The command identifiers of the menu, toolbar and accelerators are the
// program's fixed numbers. wx accepts window and menu identifiers only below
// 32767, so inside wx the numbers 0x8000-0xDFFF are carried at
// 0x5000 + (n - 0x8000) and those from 0xE000 up at 0x6000 + (n - 0xE000);
// WxCommandId gives the wx value and DesignCommandId turns it back.
constexpr int WxCommandId(int id)
{
    return id >= 0xE000 ? 0x6000 + (id - 0xE000) : id >= 0x8000 ? 0x5000 + (id - 0x8000) : id;
}
constexpr int DesignCommandId(int wxId)
{
    return wxId >= 0x6000 && wxId < 0x7000   ? 0xE000 + (wxId - 0x6000)
           : wxId >= 0x5000 && wxId < 0x6000 ? 0x8000 + (wxId - 0x5000)
                                             : wxId;
}

enum {
    ID_SEND_MAIL = 1001,
    ID_HELP_CONTENTS = WxCommandId(32771),
    ID_EDIT_STRIP_BLANKS = WxCommandId(32776),
    ID_SETUP_PICTURES = WxCommandId(32778),
    ID_SETUP_TOOLS = WxCommandId(32779),
    ID_DELETE_HISTORY = WxCommandId(32780),
    ID_DELETE_ATTACHMENT = WxCommandId(32784),
    ID_CLOSE_ON_SEND = WxCommandId(32785),
    ID_WEB_SITE = WxCommandId(32787),
    ID_EDIT_COPY = WxCommandId(57634),
    ID_EDIT_CUT = WxCommandId(57635),
    ID_EDIT_PASTE = WxCommandId(57637),
    ID_EDIT_SELECT_ALL = WxCommandId(57642),
    ID_EDIT_UNDO = WxCommandId(57643),
    ID_APP_ABOUT = WxCommandId(57664),
    ID_APP_EXIT = WxCommandId(57665),
    ID_TOOLBAR = WxCommandId(59392),
};

// Commands that have a handler somewhere; a menu item or toolbar button
// whose command is not among them shows disabled. Handlers register their
// command when they bind it.
void RegisterCommandHandler(int id);
bool HasCommandHandler(int id);

class CMainFrame : public wxFrame {
public:
    CMainFrame();

    // Creates the window (hidden), its toolbar and menu, restores the stored
    // placement and sets up the compose form. False when creation is refused.
    bool Create();

    CTegamiyaView *View() const { return m_pView; }

    // The toolkit's answer, asked once: it builds a window each time it is
    // asked, and every redraw of the form asks for the frame's colours.
    wxVisualAttributes GetDefaultAttributes() const override;

    // The stored placement ("Settings"/"TegamiyaPos"), when there is one of
    // exactly ten numbers.
    bool ReadWindowPlacement(WindowPlacement &wp);
    void WriteWindowPlacement(const WindowPlacement &wp);

    // The window's placement now, as it would be stored.
    WindowPlacement GetWindowPlacement() const;
    // Moves and shows the window as the record says.
    void SetWindowPlacement(const WindowPlacement &wp);

    // Resizes the frame so that its client area fits the form exactly.
    void FitToView();

    void OnClose(wxCloseEvent &event);
    void OnHelpContents();
    void OnWebSite();

protected:
    // Commands go to the view first, then to the frame, as in a document
    // window: the view handles most of them.
    bool TryBefore(wxEvent &event) override;

private:
    bool OnCreate();
    void OnUpdateCommand(wxUpdateUIEvent &event);
    void OnMoveOrSize(wxEvent &event);

    CTegamiyaView *m_pView = nullptr;
    wxRect m_normalRect; // the last position and size while neither maximised nor minimised
    bool m_forwarding = false;
};
