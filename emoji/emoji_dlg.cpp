#include "emoji/emoji_dlg.h"

#include "app/main_frame.h"
#include "app/resources_wx.h"
#include "app/tegamiya_app.h"
#include "app/window_placement.h"
#include "compose/tegamiya_view.h"
#include "emoji/emoji_table.h"
#include "emoji/hover_button.h"

#include <wx/display.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>

namespace {
constexpr const char *kTemplate = "145";
// Cells whose click reaches the view: the 252 pictographs and the two
// empty picture buttons (253, 254). Cell 255 has no handler.
constexpr int kClickCells = kPaletteHoverCells;
} // namespace

CEmojiDlg::CEmojiDlg() = default;

CEmojiDlg::~CEmojiDlg()
{
    // Deleted without Destroy (at the toolkit's clean-up): the placement is
    // still saved once.
    if (!m_placementSaved && GetHandle())
        SaveEmojiPos();
}

bool CEmojiDlg::Create()
{
    // The template's face; dialog units are measured with it, so it must be
    // in place before the template is loaded.
    SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                   "IPAPGothic"));
    RegisterOwnerDrawButtonXrc();
    if (!LoadXrcResource("emoji_palette.xrc") ||
        !wxXmlResource::Get()->LoadDialog(this, nullptr, kTemplate))
        return false;
    // Esc closes the palette like its close box; closing only hides it.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent &e) {
        if (e.GetKeyCode() == WXK_ESCAPE && !e.HasAnyModifiers())
            Close();
        else
            e.Skip();
    });
    Bind(wxEVT_CLOSE_WINDOW, &CEmojiDlg::OnCloseWindow, this);
    for (int k = 1; k <= kClickCells; ++k)
        Bind(wxEVT_BUTTON, [this, k](wxCommandEvent &) { OnEmojiButton(k); }, PaletteControlId(k));
    return OnInitDialog();
}

bool CEmojiDlg::Destroy()
{
    if (!m_placementSaved && GetHandle())
        SaveEmojiPos();
    return wxDialog::Destroy();
}

void CEmojiDlg::DoDataExchange()
{
    for (int k = 1; k <= kPaletteHoverCells; ++k)
        m_buttons[k - 1] = dynamic_cast<CHoverButton *>(FindWindow(PaletteControlId(k)));
}

bool CEmojiDlg::OnInitDialog()
{
    DoDataExchange();
    CTegamiyaApp *app = TheApp();
    m_pView = app && app->MainFrame() ? app->MainFrame()->View() : nullptr;
    // Each pictograph's button shows its picture, 16 x 18 pixels where the
    // template put it. Cells 253 and 254 keep their template size and draw
    // nothing.
    for (const EmojiInfo &e : g_emojiTable)
        if (CHoverButton *b = Button(e.index))
            b->LoadStrip(e.picture);
    ApplyEmojiTips();
    // Only the normal rectangle counts; a size that does not fit (a corrupt
    // value) leaves the size as it is.
    if (std::optional<WindowPlacement> wp = LoadEmojiPos()) {
        if (std::optional<PlacementSize> size = NormalSize(*wp))
            SetSize(wp->left, wp->top, size->width, size->height, wxSIZE_ALLOW_MINUS_ONE);
        else
            Move(wp->left, wp->top, wxSIZE_ALLOW_MINUS_ONE);
        Refresh();
    } else {
        PlaceBesideMainWindow();
    }
    // The first tab stop, button 1, has the focus when the palette shows.
    if (CHoverButton *first = Button(1))
        first->SetFocus();
    return true;
}

void CEmojiDlg::PlaceBesideMainWindow()
{
    // Nothing stored: beside the compose window rather than where a new
    // window would go (over the form's middle, hiding the body one writes
    // into): to its right, else to its left, else where it is.
    CTegamiyaApp *app = TheApp();
    wxWindow *frame = app ? app->MainFrame() : nullptr;
    if (!frame || !frame->IsShown())
        return;
    const wxRect main = frame->GetRect();
    const wxSize size = GetSize();
    int d = wxDisplay::GetFromWindow(frame);
    const wxRect screen = wxDisplay(d == wxNOT_FOUND ? 0u : static_cast<unsigned>(d)).GetClientArea();
    int y = std::max(screen.y, std::min(main.y, screen.GetBottom() + 1 - size.y));
    if (main.GetRight() + 1 + size.x <= screen.GetRight() + 1)
        Move(main.GetRight() + 1, y);
    else if (main.x - size.x >= screen.x)
        Move(main.x - size.x, y);
}

void CEmojiDlg::ApplyEmojiTips()
{
    for (const EmojiInfo &e : g_emojiTable) {
        if (CHoverButton *b = Button(e.index)) {
            std::string name = e.name;
            b->SetTip(&name, true);
        }
    }
}

CHoverButton *CEmojiDlg::Button(int k) const
{
    return k >= 1 && k <= kPaletteHoverCells ? m_buttons[k - 1] : nullptr;
}

void CEmojiDlg::OnEmojiButton(int k)
{
    if (m_pView)
        m_pView->OnInsertEmoji(static_cast<uintptr_t>(k), 0);
}

void CEmojiDlg::OnCloseWindow(wxCloseEvent &)
{
    // A modeless dialog that is ended is only hidden; the view destroys it
    // at program end.
    Hide();
}

std::optional<WindowPlacement> CEmojiDlg::LoadEmojiPos() const
{
    CTegamiyaApp *app = TheApp();
    if (!app)
        return std::nullopt;
    return StoredPalettePlacement(app->GetProfileString("Settings", "EmojiPos", ""));
}

WindowPlacement CEmojiDlg::GetWindowPlacement() const
{
    // X11 knows no minimised or maximised positions; the palette is neither.
    WindowPlacement wp;
    wp.showCmd = SW_SHOWNORMAL;
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    wxRect r = GetRect();
    SetNormalRect(wp, r.x, r.y, r.width, r.height);
    return wp;
}

void CEmojiDlg::SaveEmojiPos()
{
    m_placementSaved = true;
    if (CTegamiyaApp *app = TheApp())
        app->WriteProfileString("Settings", "EmojiPos", FormatPlacement(GetWindowPlacement()));
}
