// CTegamiyaView: the Send button. The mails are handed over one by one;
// the first failure stops the send and is reported, with how many mails
// went out before it.
#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "app/profile.h"
#include "app/profile_text.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/counting.h"
#include "compose/history.h"
#include "compose/rich_edit.h"
#include "compose/sending.h"
#include "compose/sending_dlg.h"
#include "compose/up_down.h"
#include "mapi/mapi_binding.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <future>

namespace {
enum : int {
    IDC_SEND = 1001,
    IDC_CC = 1011,
    IDC_BCC = 1016,
    IDC_OE = 1027,
    IDC_RECIPIENT_PICTURE = 1055,
    IDC_ATTACHED_PICTURE = 1056,
};

constexpr unsigned kFormBox = MB_OK | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST;

std::string FieldText(const wxWindow *form, int id)
{
    auto *field = dynamic_cast<wxTextCtrl *>(form->FindWindow(id));
    return field ? FromWx(field->GetValue()) : std::string();
}

// Lets the window repaint and handle what is not input: the form itself is
// disabled while mails are handed over.
void PumpEvents()
{
    if (wxTheApp)
        wxTheApp->Yield(true);
}

// The address of a name from the mail system's address book, when it has
// exactly one.
std::optional<std::string> ResolveThroughMailSystem(const std::string &name)
{
    if (!g_mapi.MAPIResolveName)
        return std::nullopt;
    std::string copy = name;
    lpMapiRecipDesc entry = nullptr;
    ULONG rc = g_mapi.MAPIResolveName(g_mapi.session, 0, copy.data(), 0, 0, &entry);
    std::optional<std::string> address;
    if (rc == SUCCESS_SUCCESS && entry && entry->lpszAddress && *entry->lpszAddress)
        address = entry->lpszAddress;
    if (entry && g_mapi.MAPIFreeBuffer)
        g_mapi.MAPIFreeBuffer(entry);
    return address;
}

// Passes the send's progress on to the progress window once it is shown.
class ProgressForward : public SendProgressSink {
public:
    explicit ProgressForward(CSendProgressDlg *const &window) : m_window(window) {}
    void PartSent(size_t done, size_t total) override
    {
        if (m_window)
            m_window->PartSent(done, total);
    }

private:
    CSendProgressDlg *const &m_window;
};
} // namespace

void CTegamiyaView::BindSendingHandlers()
{
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonSend(); }, IDC_SEND);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnButtonSend(); }, ID_SEND_MAIL);
    RegisterCommandHandler(ID_SEND_MAIL);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnMenuHistoryDelete(); }, ID_DELETE_HISTORY);
    RegisterCommandHandler(ID_DELETE_HISTORY);
    for (int id : {1021, 1022, 1024})
        Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonTo(); }, id);
    if (m_pMailTo)
        m_pMailTo->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent &e) {
            e.Skip();
            OnKillfocusMailTo();
        });
}

std::vector<std::string> CTegamiyaView::MailToItems() const
{
    std::vector<std::string> items;
    if (m_pMailTo)
        for (unsigned i = 0; i < m_pMailTo->GetCount(); ++i)
            items.push_back(FromWx(m_pMailTo->GetString(i)));
    return items;
}

void CTegamiyaView::SetMailToItems(const std::vector<std::string> &items)
{
    if (!m_pMailTo)
        return;
    // Replacing the list leaves the typed text as it was.
    wxString text = m_pMailTo->GetValue();
    m_pMailTo->Clear();
    for (const std::string &item : items)
        m_pMailTo->Append(ToWx(item));
    if (m_pMailTo->GetValue() != text)
        m_pMailTo->ChangeValue(text);
}

void CTegamiyaView::OnButtonSend()
{
    if (m_bSending)
        return;
    // 1. The wait cursor, until the handler returns.
    wxBusyCursor busy;
    // 2. The To text goes to the top of the history (a blank one does not).
    std::string to = m_pMailTo ? FromWx(m_pMailTo->GetValue()) : std::string();
    std::string cc = FieldText(this, IDC_CC);
    std::string bcc = FieldText(this, IDC_BCC);
    std::vector<std::string> history = MailToItems();
    if (InsertIntoHistory(history, to))
        SetMailToItems(history);
    // 3. Someone to send to.
    if (to.empty() && cc.empty() && bcc.empty()) {
        ShowMessageBox(BoxKind::Form, this, Sjis("宛先、CC、BCC のどれかを指定してください。"),
                       kFormBox | MB_ICONWARNING);
        return;
    }
    // 4. The recipients, each To piece with its own address.
    std::vector<MailRecipient> recipients =
        BuildRecipientList(to, cc, bcc, {m_strRecipAddressFor, m_strRecipAddress}, ResolveThroughMailSystem);
    std::string subject = m_pSubject ? m_pSubject->GetTextBytes() : std::string();
    std::string body = m_pBody ? m_pBody->GetTextBytes() : std::string();
    std::vector<std::string> parts = SplitBody(body, m_nLimit);

    // 5. The mails, one by one; the form takes no input meanwhile.
    SendOutcome outcome;
    {
        m_bSending = true;
        wxWindowDisabler disabler;
        m_sendStart = std::chrono::steady_clock::now();
        ProgressForward progress(m_pProgress);
        outcome = SendParts(parts, [&](size_t index, const std::string &part) {
            MapiMessageRecord record(recipients, PartSubject(subject, index + 1, parts.size()), part,
                                     m_strAttachPath);
            return HandOverMail(record.Get(), index + 1, parts.size());
        }, &progress);
        if (m_pProgress) {
            m_pProgress->Destroy();
            m_pProgress = nullptr;
        }
        m_bSending = false;
    }
    // 6, 7. A failure keeps the texts and the attachment for another try.
    if (!outcome.ok) {
        ShowMessageBox(BoxKind::Form, this, SendFailureMessage(outcome), kFormBox | MB_ICONERROR);
        return;
    }
    DropAttachmentAfterSend();
    // 8. The form is emptied and the notice shown for a second.
    if (m_pMailTo)
        m_pMailTo->ChangeValue("");
    for (int id : {IDC_CC, IDC_BCC})
        if (auto *field = dynamic_cast<wxTextCtrl *>(FindWindow(id)))
            field->ChangeValue("");
    if (m_pSubject)
        m_pSubject->SetTextBytes("");
    if (m_pBody)
        m_pBody->SetTextBytes("");
    OnChangeMailBody();
    {
        wxWindowDisabler disabler;
        CSendingDlg notice(this);
        notice.Show();
        notice.Update();
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(CSendingDlg::s_showMs);
        while (std::chrono::steady_clock::now() < until) {
            PumpEvents();
            wxMilliSleep(10);
        }
    }
    // 9. The counts.
    m_nCount = 0;
    m_nMails = 1;
    UpdateData(false);
    // 10-14.
    StoreAfterSend(to);
}

ULONG CTegamiyaView::HandOverMail(MapiMessage *message, size_t number, size_t total)
{
    if (!g_mapi.MAPISendMail)
        return MAPI_E_FAILURE;
    LHANDLE session = g_mapi.session;
    LPMAPISENDMAIL send = g_mapi.MAPISendMail;
    // The hand-off may run a send command that waits for a server: it runs
    // on a worker thread while this one keeps the window painted.
    std::future<ULONG> result = std::async(std::launch::async, [=] { return send(session, 0, message, 0, 0); });
    if (m_pProgress)
        m_pProgress->ShowCurrent(number);
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                             m_sendStart);
        if (!m_pProgress && ShouldShowSendProgress(elapsed, total - number + 1)) {
            m_pProgress = new CSendProgressDlg(this, total);
            m_pProgress->ShowCurrent(number);
            m_pProgress->Show();
        }
        PumpEvents();
    }
    return result.get();
}

void CTegamiyaView::DropAttachmentAfterSend()
{
    const bool attached = !m_strAttachPath.empty();
    m_strAttachPath.clear();
    // What the recipient-picture button does.
    if (auto *radio = dynamic_cast<wxRadioButton *>(FindWindow(IDC_RECIPIENT_PICTURE)))
        radio->SetValue(true);
    if (attached)
        ShowPictureWithoutAttachment(m_pMailTo ? FromWx(m_pMailTo->GetValue()) : std::string());
    else if (m_pMailTo && !m_pMailTo->GetValue().empty())
        ShowRecipientPicture(FromWx(m_pMailTo->GetValue()));
    if (auto *radio = dynamic_cast<wxRadioButton *>(FindWindow(IDC_ATTACHED_PICTURE)))
        radio->Enable(false);
}

bool CTegamiyaView::StoreAfterSend(const std::string &to)
{
    // 10.-12. The history (at most eight entries), the carrier and the
    // recipient's display width go in one rewrite of the settings file: a
    // failure leaves all of them as they were, never half a history.
    std::vector<ProfileFile::Entry> entries;
    std::vector<std::string> history = MailToItems();
    for (size_t i = 0; i < history.size() && i < kHistorySize; ++i)
        entries.push_back({"Default", HistoryKey(i + 1), history[i]});
    if (CarrierCombo && CarrierCombo->GetSelection() != wxNOT_FOUND)
        entries.push_back({"Default", "Vender", FromWx(CarrierCombo->GetStringSelection())});
    // A blank To names no recipient; a To the file cannot hold as a key is
    // left out without a word, as before.
    if (!IsBlankRecipient(to) && m_pWidthSpin && WritableKey(to))
        entries.push_back({"Display Width", to, std::to_string(m_pWidthSpin->GetValue())});
    if (!ProfileFile(m_strIniPath).WriteStrings(entries)) {
        SettingsSaveFailed();
        return false;
    }
    // 13. The mail client, as its button starts it.
    if (m_strOeStart == "Yes") {
        wxCommandEvent click(wxEVT_BUTTON, IDC_OE);
        click.SetEventObject(FindWindow(IDC_OE));
        ProcessWindowEvent(click);
    }
    // 14. Closing after sending.
    if (m_bCloseOnSend)
        OnAppExit();
    return true;
}
