// tegamiya-outbox: the mail system's outbox window, a program of its own
// installed beside Tegamiya (its "OE" button starts it).
#include "account_dialog.h"
#include "outbox_frame.h"
#include "outbox_send.h"
#include "single_instance.h"
#include "ui_text.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/msgdlg.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// The folder of this program, where the pictograph font lies too.
std::string ProgramDir()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/'));
}

class OutboxApp : public wxApp {
public:
    bool OnInit() override
    {
        if (!OneWindowPerUser())
            return true;  // OnRun ends at once
        mailsys::LoadPictographFont(ProgramDir() + "/Tegamiya.tte");
        mailsys::UiText T;
        mailsys::Profile profile;
        mailsys::Credentials credentials;
        std::string refusal;
        mailsys::ProfileLoad load = mailsys::LoadProfile(&profile, &refusal);
        if (load == mailsys::ProfileLoad::Refused) {
            // A line of the user's profile to mend: said, and the profile left as it is.
            wxMessageBox(wxString::FromUTF8(refusal), T("Outbox - Tegamiya mail"), wxOK | wxICON_ERROR);
            return false;
        }
        if (load != mailsys::ProfileLoad::Ok) {
            // No sender yet: the account dialog first, as the first logon.
            switch (mailsys::EditAccountSettings(nullptr, &profile, &credentials)) {
            case mailsys::SettingsResult::Saved:
                break;
            case mailsys::SettingsResult::NotSaved:
                wxMessageBox(T("The account settings could not be saved."), T("Outbox - Tegamiya mail"),
                             wxOK | wxICON_ERROR);
                return false;
            case mailsys::SettingsResult::Cancelled:
                return false;
            }
        } else {
            credentials = mailsys::CredentialsAtLogon(profile);
        }
        auto *frame = new mailsys::OutboxFrame(profile, credentials);
        frame->Show();
        return true;
    }

    int OnRun() override { return m_instance ? wxApp::OnRun() : m_exit_code; }

private:
    // The first start shows the window; a later one brings that window (or
    // the dialog in front of it) forward and ends. False: end this start.
    bool OneWindowPerUser()
    {
        auto instance = std::make_unique<mailsys::SingleInstance>();
        switch (instance->Claim()) {
        case mailsys::SingleInstance::Start::First:
            break;
        case mailsys::SingleInstance::Start::HandedOver:
            return false;
        case mailsys::SingleInstance::Start::NoAnswer:
            fprintf(stderr, "tegamiya-outbox: another outbox window is starting but does not answer\n");
            m_exit_code = 1;
            return false;
        }
        instance->Listen([] {
            wxTopLevelWindow *front = nullptr;
            for (wxWindow *w : wxTopLevelWindows) {
                auto *top = dynamic_cast<wxTopLevelWindow *>(w);
                auto *dialog = dynamic_cast<wxDialog *>(w);
                if (top && (!front || (dialog && dialog->IsModal())))
                    front = top;
            }
            if (front)
                mailsys::PresentWindow(front);
        });
        m_instance = std::move(instance);
        return true;
    }

    std::unique_ptr<mailsys::SingleInstance> m_instance;
    int m_exit_code = 0;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(OutboxApp);

int main(int argc, char **argv)
{
    // --send: what waits goes out without a window (nor a display).
    if (argc == 2 && strcmp(argv[1], "--send") == 0)
        return mailsys::RunSendMode(stdout, stderr);
    return wxEntry(argc, argv);
}
