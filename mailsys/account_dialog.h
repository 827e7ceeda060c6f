// The mail account dialogs: the sender and the SMTP account (first logon
// and settings), with a connection test, and the password asked at logon
// when the keyring has none.
#pragma once

#include "account.h"
#include "delivery.h"
#include "profile.h"
#include "smtp_probe.h"

#include <chrono>
#include <mutex>
#include <memory>
#include <wx/dialog.h>
#include <wx/timer.h>

class wxButton;
class wxChoice;
class wxStaticText;
class wxTextCtrl;

namespace mailsys {

class UiText;

// The user's words for a connection test's result.
wxString ProbeMessage(const ProbeResult &result, bool with_login, const UiText &T);

// The user's words for what is wrong with an account ("" when nothing).
wxString AccountProblemMessage(AccountProblem problem, const UiText &T);

class AccountDialog : public wxDialog {
public:
    enum class Mode { FirstLogon, Settings };
    // `keyring`: whether a keyring answers (else the password is not kept);
    // `password_saved`: the keyring already holds the account's password.
    AccountDialog(wxWindow *parent, const Profile &profile, Mode mode, bool keyring, bool password_saved,
                  const UiText &T);
    ~AccountDialog() override;

    // The profile given, with the fields' sender and account.
    Profile Result() const;
    // The password typed ("" when left empty).
    std::string Password() const;

    // The connection test's deadline (tests shorten it).
    void SetProbeDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }

    // Ending the dialog stops a connection test that still runs.
    void EndModal(int code) override;

private:
    SmtpAccount Account() const;
    std::string Address() const;
    bool Acceptable() const;
    void OnSecurity();
    void OnTest();
    void StopTest();
    void OnTimer(wxTimerEvent &);
    void UpdateStatus();

    Profile m_profile;
    const UiText &T;
    wxTextCtrl *m_name, *m_address, *m_server, *m_port, *m_user, *m_password;
    wxChoice *m_security;
    wxButton *m_test;
    wxStaticText *m_status;
    int m_last_security = 0;
    // A connection test on a thread of its own, so that no wait of it holds
    // the window. The dialog never waits for it: stopped, it ends at once
    // and drops its run with the last reference.
    struct ProbeRun {
        ProbeStop stop;
        std::mutex mutex;
        bool done = false;
        ProbeResult result;
    };
    bool Testing() const { return m_run != nullptr; }
    std::shared_ptr<ProbeRun> m_run;
    std::chrono::milliseconds m_deadline = kProbeDeadline;
    bool m_probe_login = false;
    wxTimer m_timer;
};

class PasswordDialog : public wxDialog {
public:
    PasswordDialog(wxWindow *parent, const Profile &profile, bool keyring, const UiText &T);
    std::string Password() const;

private:
    wxTextCtrl *m_password;
};

// The settings dialog of the outbox window: on OK the profile is saved, with
// msmtp's configuration, and the password kept (keyring or *credentials).
// Cancelled, nothing changes. False when the profile could not be saved.
enum class SettingsResult { Saved, Cancelled, NotSaved };
SettingsResult EditAccountSettings(wxWindow *parent, Profile *profile, Credentials *credentials);

}  // namespace mailsys
