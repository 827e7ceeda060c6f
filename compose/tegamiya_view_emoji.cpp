// The compose view's side of the pictograph palette: opening it from the
// "絵文字" button, inserting the pictograph a palette button hands over, and
// destroying the palette with the view.
#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "compose/rich_edit.h"
#include "emoji/emoji_dlg.h"
#include "emoji/emoji_table.h"

#include <wx/button.h>
#include <wx/utils.h>

namespace {
constexpr int IDC_BUTTON_EMOJI = 1025;
} // namespace

void CTegamiyaView::BindEmojiHandlers()
{
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonEmoji(); }, IDC_BUTTON_EMOJI);
}

void CTegamiyaView::OnButtonEmoji()
{
    // The font link is made anew on every click; without it pictographs
    // cannot be shown, and the palette stays closed.
    if (!RegisterEmojiFont())
        return;
    if (!m_pEmojiDlg) {
        // Making the 255 buttons and their pictures takes a moment (a few
        // tenths of a second, more on a loaded machine): the wait cursor
        // says the click was taken.
        wxBusyCursor busy;
        auto *dlg = new CEmojiDlg();
        if (!dlg->Create()) {
            dlg->Destroy();
            return;
        }
        m_pEmojiDlg = dlg;
    }
    // Shown (again) and active; a click never hides it.
    m_pEmojiDlg->Show();
    m_pEmojiDlg->Raise();
}

long CTegamiyaView::OnInsertEmoji(uintptr_t index, intptr_t)
{
    const EmojiInfo *emoji =
        index >= 1 && index <= static_cast<uintptr_t>(kEmojiCount) ? FindEmoji(static_cast<int>(index)) : nullptr;
    CRichEdit *field = emoji && g_bSubjectFocus ? static_cast<CRichEdit *>(m_pSubject)
                                                : static_cast<CRichEdit *>(m_pBody);
    if (!field)
        return 0;
    // The field's change notification colours the pictograph and, for the
    // body, recounts, as after typing it.
    if (emoji)
        field->ReplaceSel(emoji->code.text(), false);
    // The compose window becomes active again, with the caret in the field.
    m_pFrame->Raise();
    field->SetFocus();
    return 0;
}

void CTegamiyaView::DestroyEmojiDlg()
{
    if (m_pEmojiDlg)
        m_pEmojiDlg->Destroy();
    m_pEmojiDlg = nullptr;
}
