// tegamiya-outbox: the mail system's outbox window, a program of its own
// installed beside Tegamiya (its "OE" button starts it).
#include "account_dialog.h"
#include "outbox_frame.h"
#include "outbox_send.h"
#include "ui_text.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include <climits>
#include <cstring>
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
