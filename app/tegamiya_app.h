// The application object: start-up in order, the registry profile, and the
// version dialog command.
#pragma once

#include "app/profile.h"

#include <wx/app.h>

#include <string>

class CMainFrame;

// Set when the main window starts closing; the To field's reactions to
// losing the focus are off while it is set.
extern bool g_bClosing;

class CTegamiyaApp : public wxApp {
public:
    // wx's entry: installs the real UI seam and runs InitInstance.
    bool OnInit() override;

    // Start-up: creates the frame and the compose form, shows the window,
    // binds the mail library and logs on. Returns false (with the frame
    // destroyed again) when the program must end.
    bool InitInstance();

    // Command 57664: the version dialog, modally.
    void OnAppAbout();

    // The registry profile ("Settings" values of the program's profile).
    std::string GetProfileString(const std::string &section, const std::string &entry,
                                 const std::string &def = {}) const;
    bool WriteProfileString(const std::string &section, const std::string &entry,
                            const std::string &value);

    // The file named on the command line (file-system bytes), or empty.
    const std::string &CommandLineFile() const { return m_strCmdFile; }
    void SetCommandLineFile(std::string path) { m_strCmdFile = std::move(path); }

    // The show state the program was started with (replaces the stored one).
    int m_nCmdShow = 1; // SW_SHOWNORMAL

    CMainFrame *MainFrame() const { return m_pMainFrame; }

private:
    std::string m_strCmdFile;
    CMainFrame *m_pMainFrame = nullptr;
};


// The application object, or nullptr when the running wxApp is not one.
CTegamiyaApp *TheApp();
