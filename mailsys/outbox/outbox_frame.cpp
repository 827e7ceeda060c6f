#include "outbox_frame.h"

#include "account_dialog.h"
#include "keyring.h"
#include "ui_common.h"

#include <fontconfig/fontconfig.h>

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <set>

namespace mailsys {

namespace {

// The face the lists are drawn in; the pictograph font is its fallback.
constexpr const char *kListFace = "IPAGothic";

const char *const kListNames[] = {"waiting_list", "failed_list", "sent_list"};

wxString SizeText(unsigned long long bytes)
{
    if (bytes < 1024)
        return wxString::Format("%llu B", bytes);
    return wxString::Format("%.1f KB", bytes / 1024.0);
}

}  // namespace

// A virtual list of one folder's rows: the window keeps a snapshot and
// answers each cell from it.
class MailListCtrl : public wxListCtrl {
public:
    MailListCtrl(wxWindow *parent, const char *name, const UiText &T, OutboxFolder folder,
                 const std::map<std::string, wxString> &results, MailListCache *cache)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL,
                     wxDefaultValidator, name),
          T(T), m_folder(folder), m_results(results), m_cache(cache)
    {
        SetFont(wxFont(wxFontInfo(10).FaceName(kListFace)));
        // The result is the widest column: a failure says why.
        AppendColumn(T("Date"), wxLIST_FORMAT_LEFT, 125);
        AppendColumn(T("To"), wxLIST_FORMAT_LEFT, 170);
        AppendColumn(T("Subject"), wxLIST_FORMAT_LEFT, 200);
        AppendColumn(T("Size"), wxLIST_FORMAT_RIGHT, 65);
        AppendColumn(T("Attachment"), wxLIST_FORMAT_LEFT, 110);
        AppendColumn(T("Result"), wxLIST_FORMAT_LEFT, 260);
        // The form the mail's pictographs travel in, as profile.conf names it
        // (the window is wide enough for it beside the result).
        AppendColumn(T("Pictographs"), wxLIST_FORMAT_LEFT, 75);
    }

    void SetRows(std::vector<MailRow> rows)
    {
        // The selection follows the mails, not the row numbers.
        std::set<std::string> selected;
        for (long r = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); r != -1;
             r = GetNextItem(r, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            if (static_cast<size_t>(r) < m_rows.size())
                selected.insert(m_rows[static_cast<size_t>(r)].id);
        SetItemState(-1, 0, wxLIST_STATE_SELECTED);
        m_rows = std::move(rows);
        m_wanted.clear();
        SetItemCount(static_cast<long>(m_rows.size()));
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (selected.count(m_rows[i].id))
                SetItemState(static_cast<long>(i), wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        Refresh();
    }

    const std::vector<MailRow> &Rows() const { return m_rows; }
    // The result column's text of a row, whole.
    wxString ResultText(long item) const { return OnGetItemText(item, 5); }

private:
    wxString OnGetItemText(long item, long column) const override
    {
        if (item < 0 || static_cast<size_t>(item) >= m_rows.size())
            return "";
        const MailRow &r = m_rows[static_cast<size_t>(item)];
        switch (column) {
        case 0:
            return U(FormatDate(r.date));
        case 1:
            return U(r.to);
        case 2:
            return U(r.subject);
        case 3:
            return SizeText(r.size);
        case 4:
            if (!r.attachments_known) {
                WantAttachments(item);
                return "...";
            }
            return U(r.attachments);
        case 6:
            return U(r.form);
        default: {
            auto it = m_results.find(r.id);
            return it == m_results.end() ? StateText(r) : it->second;
        }
        }
    }

    // Every mail's state follows from its folder, whoever sent it (the
    // compose program's MAPISendMail or this window); failed mail tells why
    // when the reason was kept.
    wxString StateText(const MailRow &r) const
    {
        switch (m_folder) {
        case OutboxFolder::Waiting:
            return T("Waiting");
        case OutboxFolder::Sent:
            return T("Sent");
        case OutboxFolder::Failed:
            break;
        }
        wxString text = T("Failed");
        if (!r.failure.empty())
            text += ": " + T(r.failure.c_str());
        if (!r.failure_detail.empty()) {
            // The send program's own words, as it wrote them.
            wxString detail = U(r.failure_detail);
            text += " (" + (detail.empty() ? wxString::From8BitData(r.failure_detail.c_str()) : detail) + ")";
        }
        return text;
    }

    // The attachment names of a multipart mail need its whole file: they
    // are read for the rows the list draws, a few at a time after the
    // drawing, so that a screenful of large mails never holds the window.
    void WantAttachments(long item) const
    {
        m_wanted.insert(static_cast<size_t>(item));
        if (!m_reading) {
            m_reading = true;
            const_cast<MailListCtrl *>(this)->CallAfter(&MailListCtrl::ReadWanted);
        }
    }

    void ReadWanted()
    {
        m_reading = false;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        while (!m_wanted.empty() && std::chrono::steady_clock::now() < until) {
            size_t i = *m_wanted.begin();
            m_wanted.erase(m_wanted.begin());
            if (i < m_rows.size() && !m_rows[i].attachments_known) {
                m_cache->ReadAttachments(&m_rows[i]);
                RefreshItem(static_cast<long>(i));
            }
        }
        if (!m_wanted.empty()) {
            m_reading = true;
            CallAfter(&MailListCtrl::ReadWanted);
        }
    }

    const UiText &T;
    OutboxFolder m_folder;
    std::vector<MailRow> m_rows;
    const std::map<std::string, wxString> &m_results;
    MailListCache *m_cache;
    mutable std::set<size_t> m_wanted;  // rows whose attachment names were asked for
    mutable bool m_reading = false;
};

namespace {

// Tells the window of each mail as it goes, on the window's thread.
class FrameSink : public SendSink {
public:
    FrameSink(wxWindow *window, std::function<void(size_t, size_t)> sending,
              std::function<void(size_t, HandOffResult)> done)
        : m_window(window), m_sending(std::move(sending)), m_done(std::move(done))
    {
    }
    void Sending(size_t index, size_t total) override
    {
        auto f = m_sending;
        m_window->CallAfter([f, index, total] { f(index, total); });
    }
    void Done(size_t index, HandOffResult result) override
    {
        auto f = m_done;
        m_window->CallAfter([f, index, result] { f(index, result); });
    }

private:
    wxWindow *m_window;
    std::function<void(size_t, size_t)> m_sending;
    std::function<void(size_t, HandOffResult)> m_done;
};

wxButton *MakeButton(wxWindow *parent, const wxString &label, const char *name)
{
    return new wxButton(parent, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator, name);
}

}  // namespace

OutboxFrame::OutboxFrame(const Profile &profile, const Credentials &credentials)
    : wxFrame(nullptr, wxID_ANY, "", wxDefaultPosition, wxSize(1040, 520)),
      m_profile(profile), m_credentials(credentials)
{
    SetTitle(T("Outbox - Tegamiya mail"));
    auto *panel = new wxPanel(this);
    auto *top = new wxBoxSizer(wxVERTICAL);
    auto *buttons = new wxBoxSizer(wxHORIZONTAL);
    m_send = MakeButton(panel, T("Send now"), "send_now");
    m_retry = MakeButton(panel, T("Send again"), "retry");
    m_delete = MakeButton(panel, T("Delete"), "delete");
    m_open = MakeButton(panel, T("Open text"), "open_text");
    m_settings = MakeButton(panel, T("Account settings..."), "settings");
    for (wxButton *b : {m_send, m_retry, m_delete, m_open})
        buttons->Add(b, 0, wxRIGHT, 6);
    buttons->AddStretchSpacer();
    buttons->Add(m_settings, 0);
    top->Add(buttons, 0, wxEXPAND | wxALL, 8);

    m_book = new wxNotebook(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, "folders");
    for (int i = 0; i < 3; ++i) {
        m_lists[i] = new MailListCtrl(m_book, kListNames[i], T, static_cast<OutboxFolder>(i), m_results, &m_caches[i]);
        m_book->AddPage(m_lists[i], "");
        m_lists[i]->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent &) { OpenText(); });
        // The chosen mail's state, whole, in the status line (a failure's
        // reason may be longer than its column).
        m_lists[i]->Bind(wxEVT_LIST_ITEM_SELECTED, [this, i](wxListEvent &e) {
            if (!m_sending)
                m_status->SetLabel(m_lists[i]->ResultText(e.GetIndex()));
        });
    }
    top->Add(m_book, 1, wxEXPAND | wxLEFT | wxRIGHT, 8);

    auto *bottom = new wxBoxSizer(wxHORIZONTAL);
    m_gauge = new wxGauge(panel, wxID_ANY, 1, wxDefaultPosition, wxSize(200, -1), wxGA_HORIZONTAL,
                          wxDefaultValidator, "progress");
    bottom->Add(m_gauge, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    m_status = new wxStaticText(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE,
                                "status");
    bottom->Add(m_status, 1, wxALIGN_CENTER_VERTICAL);
    top->Add(bottom, 0, wxEXPAND | wxALL, 8);
    panel->SetSizer(top);

    m_send->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { SendNow(); });
    m_retry->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { Retry(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { Delete(); });
    m_open->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OpenText(); });
    m_settings->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { Settings(); });
    auto selected = [this] { return CurrentList()->GetSelectedItemCount() > 0; };
    m_send->Bind(wxEVT_UPDATE_UI,
                 [this](wxUpdateUIEvent &e) { e.Enable(!m_sending && !List(OutboxFolder::Waiting)->Rows().empty()); });
    m_retry->Bind(wxEVT_UPDATE_UI, [this, selected](wxUpdateUIEvent &e) {
        e.Enable(!m_sending && CurrentList() == List(OutboxFolder::Failed) && selected());
    });
    m_delete->Bind(wxEVT_UPDATE_UI, [this, selected](wxUpdateUIEvent &e) { e.Enable(!m_sending && selected()); });
    m_open->Bind(wxEVT_UPDATE_UI, [selected](wxUpdateUIEvent &e) { e.Enable(selected()); });
    m_settings->Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent &e) { e.Enable(!m_sending); });
    // Mail that moved while the window stood open shows when the window is
    // turned to, and within a second while it is in view.
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent &e) {
        e.Skip();
        if (e.GetActive() && !m_sending)
            Reload();
    });
    m_watch.Bind(wxEVT_TIMER, [this](wxTimerEvent &) {
        if (m_sending || !IsShown() || IsIconized())
            return;
        bool changed = FoldersStamp(m_profile) != m_stamp;
        if (changed || m_settle)
            Reload();
        m_settle = changed;
    });
    m_watch.Start(1000);
    // The window stays while mail is being handed on: each hand-off ends
    // within the send timeout.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent &e) {
        if (m_sending && e.CanVeto()) {
            m_status->SetLabel(T("Sending: the window closes when it is done."));
            e.Veto();
            return;
        }
        e.Skip();
    });
    Reload();
}

OutboxFrame::~OutboxFrame()
{
    m_watch.Stop();
    if (m_worker.joinable())
        m_worker.join();
}

MailListCtrl *OutboxFrame::List(OutboxFolder folder) const { return m_lists[static_cast<int>(folder)]; }

MailListCtrl *OutboxFrame::CurrentList() const
{
    int page = m_book->GetSelection();
    return m_lists[page < 0 ? 0 : page];
}

void OutboxFrame::Reload()
{
    m_stamp = FoldersStamp(m_profile);
    for (int i = 0; i < 3; ++i)
        m_lists[i]->SetRows(ListFolder(m_profile, static_cast<OutboxFolder>(i), &m_caches[i]));
    UpdateTitles();
}

void OutboxFrame::UpdateTitles()
{
    const char *titles[] = {"Waiting (%zu)", "Failed (%zu)", "Sent (%zu)"};
    for (int i = 0; i < 3; ++i)
        m_book->SetPageText(static_cast<size_t>(i), wxString::Format(T(titles[i]), m_lists[i]->Rows().size()));
}

std::vector<std::string> OutboxFrame::SelectedPaths(MailListCtrl *list) const
{
    std::vector<std::string> paths;
    for (long r = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); r != -1;
         r = list->GetNextItem(r, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        if (static_cast<size_t>(r) < list->Rows().size())
            paths.push_back(list->Rows()[static_cast<size_t>(r)].path);
    return paths;
}

// Makes sure mail can be handed on: an account (or send command), and the
// password when the account needs one and no keyring holds it.
bool OutboxFrame::HavePassword()
{
    if (!m_profile.send_command.empty())
        return true;
    if (!UsesAccount(m_profile)) {
        m_status->SetLabel(T("No server to send through: set one in the account settings."));
        return false;
    }
    if (CanHandOff(m_profile, m_credentials))
        return true;
    bool keyring = true;
    m_credentials = CredentialsAtLogon(m_profile, &keyring);
    if (CanHandOff(m_profile, m_credentials))
        return true;
    PasswordDialog dialog(this, m_profile, keyring, T);
    std::string password;
    if (dialog.ShowModal() == wxID_OK)
        password = dialog.Password();
    if (!password.empty())
        m_credentials = KeepPassword(m_profile, password);
    ForgetSecret(&password);
    if (CanHandOff(m_profile, m_credentials))
        return true;
    m_status->SetLabel(T("Without the password nothing can be sent."));
    return false;
}

void OutboxFrame::SendNow()
{
    const auto &rows = List(OutboxFolder::Waiting)->Rows();
    if (m_sending || rows.empty() || !HavePassword())
        return;
    std::vector<std::string> files, ids;
    for (const auto &r : rows) {
        files.push_back(r.path);
        ids.push_back(r.id);
    }
    StartSending(files, ids);
}

void OutboxFrame::Retry()
{
    if (m_sending || CurrentList() != List(OutboxFolder::Failed))
        return;
    std::vector<std::string> chosen = SelectedPaths(CurrentList());
    if (chosen.empty() || !HavePassword())
        return;
    std::vector<std::string> files, ids;
    for (const auto &path : chosen) {
        std::string moved;
        if (ReturnToOutbox(m_profile, path, &moved) == 0) {
            files.push_back(moved);
            std::string name = moved.substr(moved.rfind('/') + 1);
            ids.push_back(name.substr(0, name.find(':')));
        }
    }
    Reload();
    m_book->SetSelection(0);
    StartSending(files, ids);
}

void OutboxFrame::StartSending(const std::vector<std::string> &files, const std::vector<std::string> &ids)
{
    if (files.empty())
        return;
    m_sending = true;
    m_gauge->SetRange(static_cast<int>(files.size()));
    m_gauge->SetValue(0);
    auto counts = std::make_shared<std::array<size_t, 4>>();
    auto sending = [this, ids](size_t i, size_t n) {
        m_results[ids[i]] = T("Sending...");
        m_status->SetLabel(wxString::Format(T("Sending %zu of %zu..."), i + 1, n));
        List(OutboxFolder::Waiting)->Refresh();
    };
    auto done = [this, ids, counts, n = files.size()](size_t i, HandOffResult r) {
        const char *words[] = {"Sent", "Failed", "Waiting", "Taken by another sender"};
        m_results[ids[i]] = T(words[static_cast<int>(r)]);
        ++(*counts)[static_cast<int>(r)];
        m_gauge->SetValue(static_cast<int>(i + 1));
        List(OutboxFolder::Waiting)->Refresh();
        if (i + 1 == n) {
            Finished((*counts)[0], (*counts)[1], (*counts)[2]);
            if ((*counts)[3])
                m_status->SetLabel(m_status->GetLabel() + " " +
                                   wxString::Format(T("%zu taken by another sender."), (*counts)[3]));
        }
    };
    if (m_worker.joinable())
        m_worker.join();
    Profile profile = m_profile;
    Credentials credentials = m_credentials;
    m_worker = std::thread([this, profile, credentials, files, sending, done]() mutable {
        FrameSink sink(this, sending, done);
        SendFiles(profile, credentials, files, sink);
        ForgetSecret(&credentials.password);
    });
}

void OutboxFrame::Finished(size_t sent, size_t failed, size_t waiting)
{
    if (m_worker.joinable())
        m_worker.join();
    m_sending = false;
    wxString text = wxString::Format(T("%zu sent."), sent);
    if (failed)
        text += " " + wxString::Format(T("%zu could not be sent (see Failed)."), failed);
    if (waiting)
        text += " " + wxString::Format(T("%zu still waiting."), waiting);
    m_status->SetLabel(text);
    // The mails are in their new folders now, which tell their state (and
    // a failure's reason) from here on.
    m_results.clear();
    Reload();
}

void OutboxFrame::Delete()
{
    std::vector<std::string> chosen = SelectedPaths(CurrentList());
    if (m_sending || chosen.empty())
        return;
    wxMessageDialog ask(this, wxString::Format(T("Delete the %zu mails chosen?"), chosen.size()),
                        T("Outbox - Tegamiya mail"), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    ask.SetYesNoLabels(T("Delete"), T("Cancel"));
    if (ask.ShowModal() != wxID_YES)
        return;
    for (const auto &path : chosen)
        DeleteMail(path);
    Reload();
}

void OutboxFrame::OpenText()
{
    std::vector<std::string> chosen = SelectedPaths(CurrentList());
    if (chosen.empty())
        return;
    wxDialog dialog(this, wxID_ANY, T("Mail text"), wxDefaultPosition, wxSize(620, 480),
                    wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    auto *sizer = new wxBoxSizer(wxVERTICAL);
    auto *text = new wxTextCtrl(&dialog, wxID_ANY, U(MailText(chosen.front())), wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_CHARWRAP, wxDefaultValidator, "mail_text");
    text->SetFont(wxFont(wxFontInfo(10).FaceName(kListFace)));
    sizer->Add(text, 1, wxEXPAND | wxALL, 8);
    auto *close = new wxButton(&dialog, wxID_CANCEL, T("Close"));
    sizer->Add(close, 0, wxALIGN_RIGHT | wxALL, 8);
    dialog.SetSizer(sizer);
    dialog.SetEscapeId(wxID_CANCEL);
    dialog.ShowModal();
}

void OutboxFrame::Settings()
{
    if (m_sending)
        return;
    switch (EditAccountSettings(this, &m_profile, &m_credentials)) {
    case SettingsResult::Saved:
        m_status->SetLabel(T("The account settings were saved."));
        break;
    case SettingsResult::NotSaved:
        m_status->SetLabel(T("The account settings could not be saved."));
        break;
    case SettingsResult::Cancelled:
        break;
    }
    Reload();
}

bool LoadPictographFont(const std::string &font_file)
{
    FcConfig *config = FcConfigGetCurrent();
    const FcChar8 *path = reinterpret_cast<const FcChar8 *>(font_file.c_str());
    if (!config || !FcConfigAppFontAddFile(config, path))
        return false;
    // The font's family right after the lists' face, so that it wins over
    // other fonts that cover the same private-use code points.
    int count = 0;
    FcPattern *pattern = FcFreeTypeQuery(path, 0, nullptr, &count);
    FcChar8 *family = nullptr;
    if (pattern && FcPatternGetString(pattern, FC_FAMILY, 0, &family) == FcResultMatch && family) {
        std::string rule = "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
                           "<match target=\"pattern\"><test name=\"family\"><string>" +
                           std::string(kListFace) +
                           "</string></test><edit name=\"family\" mode=\"append\" binding=\"strong\"><string>" +
                           reinterpret_cast<const char *>(family) + "</string></edit></match></fontconfig>";
        FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8 *>(rule.c_str()), FcFalse);
    }
    if (pattern)
        FcPatternDestroy(pattern);
    return true;
}

}  // namespace mailsys
