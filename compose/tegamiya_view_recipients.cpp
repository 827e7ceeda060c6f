// CTegamiyaView: the recipient history in the To box, the To box's
// reactions, the address book buttons and the history dialog.
#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/history.h"
#include "compose/history_delete_dlg.h"
#include "compose/sending.h"
#include "mapi/mapi_binding.h"

#include <wx/combobox.h>
#include <wx/textctrl.h>

namespace {
enum : int { IDC_CC = 1011, IDC_BCC = 1016 };

wxTextCtrl *TextField(const wxWindow *form, int id)
{
    return dynamic_cast<wxTextCtrl *>(form->FindWindow(id));
}
} // namespace

void CTegamiyaView::FillMailToHistory()
{
    ProfileFile ini(m_strIniPath);
    std::vector<std::string> values;
    // Whole values: a cut one would be written back cut after the next send.
    for (size_t i = 1; i <= kHistorySize; ++i)
        values.push_back(ini.GetString("Default", HistoryKey(i), ""));
    SetMailToItems(HistoryFromValues(values));
}

void CTegamiyaView::RunToRecipientReactions(const std::string &to)
{
    SelectCarrierByAddress(to);
    ShowRecipientPicture(to);
    ApplyRecipientWidth(to);
}

void CTegamiyaView::OnKillfocusMailTo()
{
    // Nothing while the window closes (the mail session is going away) or
    // while mails are handed over.
    if (g_bClosing || m_bSending || !m_pMailTo)
        return;
    std::string to = FromWx(m_pMailTo->GetValue());
    if (!to.empty())
        RunToRecipientReactions(to);
}

void CTegamiyaView::OnButtonTo()
{
    if (!g_mapi.MAPIAddress)
        return;
    wxTextCtrl *ccField = TextField(this, IDC_CC);
    wxTextCtrl *bccField = TextField(this, IDC_BCC);
    std::string to = m_pMailTo ? FromWx(m_pMailTo->GetValue()) : std::string();
    std::string cc = ccField ? FromWx(ccField->GetValue()) : std::string();
    std::string bcc = bccField ? FromWx(bccField->GetValue()) : std::string();
    // 1. The fields' recipients, split as the send splits them.
    std::vector<MailRecipient> preset = BuildPresetList(to, cc, bcc);
    MapiMessageRecord presetRecord(preset, "", "", "");
    MapiMessage *m = presetRecord.Get();
    // 2. The address book, over the main window.
    std::string caption = Sjis("アドレス帳");
    ULONG_PTR window = reinterpret_cast<ULONG_PTR>(m_pFrame ? m_pFrame->GetHandle() : GetHandle());
    ULONG count = 0;
    lpMapiRecipDesc chosen = nullptr;
    ULONG rc = g_mapi.MAPIAddress(g_mapi.session, window, caption.data(), 3, nullptr, m->nRecipCount,
                                  m->lpRecips, 0, 0, &count, &chosen);
    // 3. Cancelled, or failed: nothing changes.
    if (rc == MAPI_USER_ABORT)
        return;
    if (rc != SUCCESS_SUCCESS) {
        FormErrorBox(this, Sjis("アドレス帳にアクセスできません。"));
        return;
    }
    // 4. The names chosen, by class, joined by ";"; a name holding a
    // separator goes between quotes, so that the field splits back into it.
    std::string fields[3];
    for (ULONG i = 0; chosen && i < count; ++i) {
        const MapiRecipDesc &r = chosen[i];
        if (r.ulRecipClass < MAPI_TO || r.ulRecipClass > MAPI_BCC || !r.lpszName || !*r.lpszName)
            continue;
        std::string &field = fields[r.ulRecipClass - MAPI_TO];
        if (!field.empty())
            field += ";";
        field += RecipientFieldForm(r.lpszName);
    }
    // 6. The library's list goes back to it.
    if (chosen && g_mapi.MAPIFreeBuffer)
        g_mapi.MAPIFreeBuffer(chosen);
    // 5. The fields are replaced; the To reactions follow the new To text.
    if (m_pMailTo) {
        m_pMailTo->ChangeValue(ToWx(fields[0]));
        m_pMailTo->Refresh();
    }
    RunToRecipientReactions(fields[0]);
    if (ccField) {
        ccField->ChangeValue(ToWx(fields[1]));
        ccField->Refresh();
    }
    if (bccField) {
        bccField->ChangeValue(ToWx(fields[2]));
        bccField->Refresh();
    }
}

void CTegamiyaView::OnMenuHistoryDelete()
{
    CHistoryDeleteDlg dialog(m_pFrame ? static_cast<wxWindow *>(m_pFrame) : this, m_strIniPath);
    if (dialog.ShowModal() == wxID_OK)
        FillMailToHistory();
}
