#include "account_dialog.h"

#include "account.h"
#include "keyring.h"
#include "text_util.h"
#include "ui_common.h"
#include "ui_text.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <thread>

namespace mailsys {

namespace {

// The security choice's entries, in this order.
const SmtpSecurity kSecurities[] = {SmtpSecurity::StartTls, SmtpSecurity::Tls, SmtpSecurity::None};

int SecurityIndex(SmtpSecurity s)
{
    for (int i = 0; i < 3; ++i)
        if (kSecurities[i] == s)
            return i;
    return 0;
}

std::string OneLine(const wxString &s)
{
    std::string t = Trim(S(s));
    for (auto &c : t)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return t;
}

wxTextCtrl *Field(wxWindow *parent, const std::string &value, const char *name, int width = 280, long style = 0)
{
    return new wxTextCtrl(parent, wxID_ANY, U(value), wxDefaultPosition, wxSize(width, -1), style,
                          wxDefaultValidator, name);
}

void Row(wxWindow *parent, wxFlexGridSizer *grid, const wxString &label, wxWindow *field)
{
    grid->Add(new wxStaticText(parent, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(field, 1, wxEXPAND);
}

// The text broken into lines no wider than `width` pixels in `w`'s font:
// at a blank (which the break takes), or between two characters that are
// not ASCII, as Japanese text breaks (wx's own wrapping breaks at blanks
// only, which leaves a Japanese sentence one line however long). A closing
// mark stays on the line it closes.
wxString Wrapped(const wxString &text, const wxWindow *w, int width)
{
    const wxString closing = wxString::FromUTF8("\xE3\x80\x82\xE3\x80\x81\xEF\xBC\x89\xE3\x80\x8D)");  // 。、）」)
    auto may_break = [&](wxUniChar before, wxUniChar after) {
        return before == ' ' || (!before.IsAscii() && !after.IsAscii() && closing.Find(after) == wxNOT_FOUND);
    };
    wxString out, line;
    for (wxUniChar c : text) {
        if (c == '\n' || (c == ' ' && !line.empty() && w->GetTextExtent(line + c).x > width)) {
            out += line + "\n";
            line.clear();
            continue;
        }
        if (line.empty() || w->GetTextExtent(line + c).x <= width) {
            line += c;
            continue;
        }
        // The last place in the line where it may break (before index `at`).
        size_t at = line.size();
        while (at > 0 && !may_break(line[at - 1], at < line.size() ? wxUniChar(line[at]) : c))
            --at;
        if (at == 0) {
            out += line + "\n";
            line = c;
        } else {
            out += line.Left(line[at - 1] == ' ' ? at - 1 : at) + "\n";
            line = line.Mid(at) + c;
        }
    }
    return out + line;
}

wxString KeyringNote(bool keyring, const UiText &T)
{
    return keyring ? T("The password is kept in the desktop keyring, in no file.")
                   : T("No keyring answers on this desktop: the password is not saved\n"
                       "and is asked for at each logon.");
}

}  // namespace

wxString ProbeMessage(const ProbeResult &r, bool with_login, const UiText &T)
{
    switch (r.failure) {
    case ProbeFailure::None:
        return with_login ? T("The connection works: the server accepted the login.")
                          : T("The connection works.");
    case ProbeFailure::NameResolution:
        return T("The server's name was not found. Check the server name and the network connection.");
    case ProbeFailure::Connection:
        return T("No connection to the server at this port. Check the port number, and that no firewall "
                 "blocks it.");
    case ProbeFailure::TlsCertificate:
        return T("The server's certificate is not trusted, or is not for this server name. The connection "
                 "was not used.");
    case ProbeFailure::Tls:
        return T("No encrypted connection could be made. This port may need the other security setting "
                 "(STARTTLS usually 587, TLS 465).");
    case ProbeFailure::NoStartTls:
        return T("The server does not offer STARTTLS at this port.");
    case ProbeFailure::Authentication:
        return T("The server refused the user name or the password.");
    case ProbeFailure::NoAuthMethod:
        return T("The server offers no login method that can be used (PLAIN or LOGIN).");
    case ProbeFailure::Broken:
        return T("The server broke off the connection before the test was done.");
    case ProbeFailure::Timeout:
        return T("The server did not answer in time. Check the port number and the security setting: a port "
                 "that expects the other one may stay silent.");
    case ProbeFailure::Stopped:
        return T("The test was stopped.");
    case ProbeFailure::Protocol:
        break;
    }
    return T("The server did not answer as a mail (SMTP) server.");
}

wxString AccountProblemMessage(AccountProblem problem, const UiText &T)
{
    switch (problem) {
    case AccountProblem::None:
    case AccountProblem::NoServer:
        return "";
    case AccountProblem::BadServer:
        return T("The server name is not valid.");
    case AccountProblem::BadPort:
        return T("The port is a number from 1 to 65535.");
    case AccountProblem::UnprotectedRemote:
        return T("Without encryption only a server on this computer can be used.");
    case AccountProblem::BadUser:
        return T("The user name is too long or holds a control character.");
    case AccountProblem::BadCaFile:
        break;
    }
    return T("The certificate file (a path beginning with /) cannot be read.");
}

AccountDialog::AccountDialog(wxWindow *parent, const Profile &profile, Mode mode, bool keyring, bool password_saved,
                             const UiText &text)
    : wxDialog(parent, wxID_ANY,
               mode == Mode::FirstLogon ? text("Mail system: set up the sender") : text("Mail account settings"),
               wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE),
      m_profile(profile), T(text), m_timer(this)
{
    auto *top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY,
                              T("Mail you send is signed with this name and address.\n"
                                "It is kept in the outbox folder of the mail system.")),
             0, wxALL, 10);
    auto *sender = new wxFlexGridSizer(2, 6, 8);
    sender->AddGrowableCol(1);
    m_name = Field(this, profile.sender_name, "sender_name");
    m_address = Field(this, profile.sender_address, "sender_address");
    Row(this, sender, T("Your name:"), m_name);
    Row(this, sender, T("Mail address:"), m_address);
    top->Add(sender, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);

    auto *box = new wxStaticBoxSizer(wxVERTICAL, this, T("Sending (SMTP server)"));
    wxWindow *b = box->GetStaticBox();
    box->Add(new wxStaticText(b, wxID_ANY, T("Leave the server empty to keep mail in the outbox.")), 0,
             wxALL, 6);
    auto *grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    const SmtpAccount &a = profile.account;
    m_server = Field(b, a.server, "smtp_server");
    Row(b, grid, T("Server:"), m_server);
    auto *port_row = new wxBoxSizer(wxHORIZONTAL);
    m_port = Field(b, a.server.empty() ? std::to_string(DefaultPort(a.security)) : std::to_string(a.port),
                   "smtp_port", 80);
    port_row->Add(m_port, 0, wxALIGN_CENTER_VERTICAL);
    port_row->Add(new wxStaticText(b, wxID_ANY, T("Security:")), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 16);
    wxArrayString securities;
    securities.Add("STARTTLS");
    securities.Add(T("TLS"));
    securities.Add(T("None (this computer only)"));
    m_security = new wxChoice(b, wxID_ANY, wxDefaultPosition, wxDefaultSize, securities, 0, wxDefaultValidator,
                              "smtp_security");
    m_last_security = SecurityIndex(a.security);
    m_security->SetSelection(m_last_security);
    port_row->Add(m_security, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 6);
    grid->Add(new wxStaticText(b, wxID_ANY, T("Port:")), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(port_row, 1, wxEXPAND);
    m_user = Field(b, a.user, "smtp_user");
    Row(b, grid, T("User name:"), m_user);
    m_password = Field(b, "", "smtp_password", 280, wxTE_PASSWORD);
    if (password_saved)
        m_password->SetHint(T("(saved; type to change)"));
    Row(b, grid, T("Password:"), m_password);
    box->Add(grid, 0, wxEXPAND | wxALL, 6);
    box->Add(new wxStaticText(b, wxID_ANY, KeyringNote(keyring, T), wxDefaultPosition, wxDefaultSize, 0,
                              "keyring_note"),
             0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
    auto *test_row = new wxBoxSizer(wxHORIZONTAL);
    m_test = new wxButton(b, wxID_ANY, T("Test connection"), wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                          "smtp_test");
    test_row->Add(m_test, 0, wxALIGN_TOP);
    m_status = new wxStaticText(b, wxID_ANY, "", wxDefaultPosition, wxSize(380, -1), 0, "smtp_status");
    test_row->Add(m_status, 1, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
    box->Add(test_row, 0, wxEXPAND | wxALL, 6);
    top->Add(box, 0, wxEXPAND | wxALL, 10);

    top->Add(new wxStaticText(this, wxID_ANY, T("Folders and a send command can be set later in") + "\n" +
                                                  U(ProfilePath())),
             0, wxLEFT | wxRIGHT, 10);
    top->Add(Buttons(this, T), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);

    // OK, Cancel and closing work while a test runs: ending the dialog
    // stops the test.
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent &e) { e.Enable(Acceptable()); }, wxID_OK);
    m_test->Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent &e) {
        e.Enable(Testing() || CheckAccount(Account()) == AccountProblem::None);
    });
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
        if (Acceptable())
            EndModal(wxID_OK);
    }, wxID_OK);
    m_security->Bind(wxEVT_CHOICE, [this](wxCommandEvent &) { OnSecurity(); });
    m_test->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnTest(); });
    for (wxTextCtrl *t : {m_server, m_port, m_user})
        t->Bind(wxEVT_TEXT, [this](wxCommandEvent &) { UpdateStatus(); });
    Bind(wxEVT_TIMER, &AccountDialog::OnTimer, this);
    UpdateStatus();
    (mode == Mode::FirstLogon || profile.sender_address.empty() ? m_name : m_server)->SetFocus();
}

AccountDialog::~AccountDialog()
{
    m_timer.Stop();
    if (Testing())
        m_run->stop.Stop();
}

void AccountDialog::EndModal(int code)
{
    if (Testing())
        m_run->stop.Stop();
    wxDialog::EndModal(code);
}

SmtpAccount AccountDialog::Account() const
{
    SmtpAccount a = m_profile.account;
    a.server = OneLine(m_server->GetValue());
    std::string port = OneLine(m_port->GetValue());
    a.port = port.empty() || port.size() > 6 || port.find_first_not_of("0123456789") != std::string::npos
                 ? 0
                 : atoi(port.c_str());
    a.security = kSecurities[m_security->GetSelection() < 0 ? 0 : m_security->GetSelection()];
    a.user = OneLine(m_user->GetValue());
    return a;
}

std::string AccountDialog::Address() const { return Trim(S(m_address->GetValue())); }

bool AccountDialog::Acceptable() const
{
    if (!IsPlainAddress(Address()))
        return false;
    SmtpAccount a = Account();
    return a.server.empty() || CheckAccount(a) == AccountProblem::None;
}

Profile AccountDialog::Result() const
{
    Profile p = m_profile;
    p.sender_name = OneLine(m_name->GetValue());
    p.sender_address = Address();
    p.account = Account();
    if (p.account.server.empty())
        p.account = SmtpAccount();
    return p;
}

std::string AccountDialog::Password() const { return S(m_password->GetValue()); }

void AccountDialog::OnSecurity()
{
    // A port still at the old security's usual number follows the new one.
    int now = m_security->GetSelection();
    if (now < 0)
        return;
    if (OneLine(m_port->GetValue()) == std::to_string(DefaultPort(kSecurities[m_last_security])))
        m_port->ChangeValue(std::to_string(DefaultPort(kSecurities[now])));
    m_last_security = now;
    UpdateStatus();
}

void AccountDialog::UpdateStatus()
{
    if (Testing())
        return;
    m_status->SetForegroundColour(*wxRED);
    SmtpAccount a = Account();
    m_status->SetLabel(a.server.empty() ? wxString() : AccountProblemMessage(CheckAccount(a), T));
}

void AccountDialog::OnTest()
{
    if (Testing()) {  // the button reads "Stop test" meanwhile
        m_run->stop.Stop();
        return;
    }
    SmtpAccount account = Account();
    if (CheckAccount(account) != AccountProblem::None)
        return;
    std::string password = Password();
    m_probe_login = !account.user.empty();
    m_status->SetForegroundColour(GetForegroundColour());
    m_status->SetLabel(T("Testing the connection..."));
    m_status->UnsetToolTip();
    m_test->SetLabel(T("Stop test"));
    auto run = std::make_shared<ProbeRun>();
    // The keyring is asked on the test's thread too: no wait in the window.
    auto work = [run, account, password, deadline = m_deadline]() mutable {
        if (password.empty() && !account.user.empty())
            LookupSmtpPassword(account.server, account.user, &password);  // the saved one, if any
        ProbeResult r = ProbeAccount(account, password, deadline, &run->stop);
        ForgetSecret(&password);
        std::lock_guard<std::mutex> lock(run->mutex);
        run->result = std::move(r);
        run->done = true;
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error &e) {
        run->result = {ProbeFailure::Connection, e.what()};
        run->done = true;
    }
    ForgetSecret(&password);
    m_run = run;
    m_timer.Start(50);
    Layout();
}

void AccountDialog::OnTimer(wxTimerEvent &)
{
    if (!Testing())
        return;
    ProbeResult r;
    {
        std::lock_guard<std::mutex> lock(m_run->mutex);
        if (!m_run->done)
            return;
        r = m_run->result;
    }
    m_run.reset();
    m_timer.Stop();
    m_test->SetLabel(T("Test connection"));
    m_status->SetForegroundColour(r.failure == ProbeFailure::None      ? wxColour(0, 110, 0)
                                  : r.failure == ProbeFailure::Stopped ? GetForegroundColour()
                                                                       : *wxRED);
    m_status->SetLabel(Wrapped(ProbeMessage(r, m_probe_login, T), m_status, 380));
    m_status->SetToolTip(U(r.detail));
    Layout();
    Fit();
}

PasswordDialog::PasswordDialog(wxWindow *parent, const Profile &profile, bool keyring, const UiText &T)
    : wxDialog(parent, wxID_ANY, T("Mail system: password"))
{
    auto *top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY,
                              T("Password of the mail account") + "\n" +
                                  U(profile.account.user + " @ " + profile.account.server)),
             0, wxALL, 10);
    m_password = Field(this, "", "smtp_password", 280, wxTE_PASSWORD);
    top->Add(m_password, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    top->Add(new wxStaticText(this, wxID_ANY, KeyringNote(keyring, T), wxDefaultPosition, wxDefaultSize, 0,
                              "keyring_note"),
             0, wxALL, 10);
    top->Add(new wxStaticText(this, wxID_ANY, T("Without it, mail waits in the outbox.")), 0,
             wxLEFT | wxRIGHT, 10);
    top->Add(Buttons(this, T), 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);
    m_password->SetFocus();
}

std::string PasswordDialog::Password() const { return S(m_password->GetValue()); }

SettingsResult EditAccountSettings(wxWindow *parent, Profile *profile, Credentials *credentials)
{
    UiText text;
    bool keyring = true;
    Credentials found = CredentialsAtLogon(*profile, &keyring);
    bool saved = AccountNeedsPassword(*profile) && found.kind == Credentials::Keyring;
    AccountDialog dialog(parent, *profile, AccountDialog::Mode::Settings, keyring, saved, text);
    if (dialog.ShowModal() != wxID_OK)
        return SettingsResult::Cancelled;
    Profile changed = dialog.Result();
    if (!SaveProfile(changed))
        return SettingsResult::NotSaved;
    WriteMsmtpConfig(changed);
    std::string password = dialog.Password();
    bool same_login = changed.account.server == profile->account.server && changed.account.user == profile->account.user;
    // Left empty for the same login, a password the session was given stays.
    if (!(password.empty() && same_login && credentials->kind == Credentials::Given))
        *credentials = KeepPassword(changed, password);
    ForgetSecret(&password);
    *profile = changed;
    return SettingsResult::Saved;
}

}  // namespace mailsys
