// The outbox window: the mails waiting, failed and sent, sending what waits
// now with a progress bar and each mail's result, a failed mail sent again
// or deleted, a mail's text, and the account settings.
#pragma once

#include "outbox_core.h"
#include "ui_text.h"

#include <map>
#include <thread>
#include <wx/frame.h>
#include <wx/timer.h>

class wxButton;
class wxGauge;
class wxNotebook;
class wxStaticText;

namespace mailsys {

class MailListCtrl;

class OutboxFrame : public wxFrame {
public:
    OutboxFrame(const Profile &profile, const Credentials &credentials);
    ~OutboxFrame() override;

    // Reads the three folders again; the selection is kept by mail.
    void Reload();
    // True while mail is being handed on.
    bool Sending() const { return m_sending; }

private:
    MailListCtrl *List(OutboxFolder folder) const;
    MailListCtrl *CurrentList() const;
    std::vector<std::string> SelectedPaths(MailListCtrl *list) const;
    bool HavePassword();
    void SendNow();
    void Retry();
    void Delete();
    void OpenText();
    void Settings();
    void StartSending(const std::vector<std::string> &files, const std::vector<std::string> &ids);
    void Finished(size_t sent, size_t failed, size_t waiting);
    void UpdateTitles();

    Profile m_profile;
    Credentials m_credentials;
    UiText T;
    wxNotebook *m_book;
    MailListCache m_caches[3];  // what each folder's mails showed, kept between readings
    MailListCtrl *m_lists[3];
    wxButton *m_send, *m_retry, *m_delete, *m_open, *m_settings;
    wxGauge *m_gauge;
    wxStaticText *m_status;
    std::map<std::string, wxString> m_results;  // mail id -> this run's result
    std::thread m_worker;
    bool m_sending = false;
    // Mail another program moves (the compose program's hand-off,
    // tegamiya-outbox --send from a timer) shows without the window being
    // turned to: the folders' stamp is looked at once a second.
    wxTimer m_watch;
    std::string m_stamp;
    bool m_settle = false;  // read once more after a change: two within one clock tick share a stamp
};

// Loads the pictograph font beside the program as the fallback of the
// lists' face, before any window exists. False when it is missing.
bool LoadPictographFont(const std::string &font_file);

}  // namespace mailsys
