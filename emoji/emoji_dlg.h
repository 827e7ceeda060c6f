// The pictograph palette: a modeless top-level window of its own, captioned
// "iモード絵文字", showing the 252 pictographs as a 16-column grid of hover
// buttons with their names as tips. A click hands the pictograph's index to
// the compose view, which inserts it. The view creates the palette on first
// use, shows it again on later uses and destroys it at program end; closing
// it (close box, Esc) only hides it. Its placement is kept in the registry
// profile ("Settings"/"EmojiPos"): read once when the window is created,
// written when it is destroyed.
#pragma once

#include "emoji/palette_layout.h"

#include <wx/dialog.h>

#include <array>
#include <optional>

class CHoverButton;
class CTegamiyaView;

class CEmojiDlg : public wxDialog {
public:
    CEmojiDlg();
    ~CEmojiDlg() override;

    // Creates the window from template 145 with no parent window (hidden)
    // and initialises it. False when the template cannot be loaded.
    bool Create();

    // Saves the placement, then destroys the window.
    bool Destroy() override;

    // Button of cell k (1-254), or nullptr.
    CHoverButton *Button(int k) const;

    // The view that receives the clicks (set at initialisation).
    CTegamiyaView *View() const { return m_pView; }

    // The stored placement, when "EmojiPos" holds one.
    std::optional<WindowPlacement> LoadEmojiPos() const;
    // Writes the window's placement to "EmojiPos".
    void SaveEmojiPos();
    // The window's placement as it is stored.
    WindowPlacement GetWindowPlacement() const;

private:
    // Finds the 254 picture buttons of the template.
    void DoDataExchange();
    bool OnInitDialog();
    void ApplyEmojiTips();
    // With no stored placement: beside the main window, where it fits.
    void PlaceBesideMainWindow();
    // Click on cell k (1-254): the view inserts pictograph k.
    void OnEmojiButton(int k);
    void OnCloseWindow(wxCloseEvent &event);

    CTegamiyaView *m_pView = nullptr;
    std::array<CHoverButton *, kPaletteHoverCells> m_buttons{};
    bool m_placementSaved = false;
};
