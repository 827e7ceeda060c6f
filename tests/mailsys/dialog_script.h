// Driving the mail system's modal dialogs in a wx test program: each one is
// scripted through wxModalDialogHook, its widgets found by name and driven
// with the events a user's input would send.
#pragma once

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mailsys_test {

// Runs `script` on the next modal dialog once it is shown.
class DialogScript : public wxModalDialogHook {
public:
    explicit DialogScript(std::function<void(wxDialog *)> script) : m_script(std::move(script)) { Register(); }
    ~DialogScript() override { Unregister(); }
    int Enter(wxDialog *dialog) override
    {
        ++shown;
        title = dialog->GetTitle();
        parent = dialog->GetParent();
        dialog->CallAfter([this, dialog] { m_script(dialog); });
        return wxID_NONE;
    }
    void Exit(wxDialog *) override {}

    int shown = 0;
    wxString title;
    wxWindow *parent = nullptr;

private:
    std::function<void(wxDialog *)> m_script;
};

template <typename T>
T *Find(wxDialog *d, const char *name)
{
    auto *w = dynamic_cast<T *>(wxWindow::FindWindowByName(name, d));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline void Click(wxWindow *w)
{
    wxCommandEvent e(wxEVT_BUTTON, w->GetId());
    e.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(e);
}

inline void ClickId(wxDialog *d, int id) { Click(d->FindWindow(id)); }

inline void Type(wxTextCtrl *t, const wxString &text) { t->SetValue(text); }  // sends wxEVT_TEXT as typing does

inline void SelectOnly(wxListCtrl *list, long row)
{
    for (long i = 0; i < list->GetItemCount(); ++i)
        list->SetItemState(i, i == row ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
}

// Leaves a picture of the dialog when MAILSYS_SCREENSHOTS names a folder.
inline void Shot(const char *name)
{
    const char *dir = getenv("MAILSYS_SCREENSHOTS");
    if (!dir)
        return;
    for (int i = 0; i < 30; ++i) {
        wxYield();
        wxMilliSleep(10);
    }
    std::string cmd = std::string("import -window root '") + dir + "/" + name + ".png'";
    if (system(cmd.c_str()) != 0)
        fprintf(stderr, "no screenshot\n");
}

// Sets the locale variables for the dialogs' language, restoring them after.
class Language {
public:
    explicit Language(const char *lang)
    {
        for (const char *v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char *old = getenv(v);
            m_saved.push_back({v, old ? std::optional<std::string>(old) : std::nullopt});
            unsetenv(v);
        }
        setenv("LANG", lang, 1);
    }
    ~Language()
    {
        for (auto &[name, value] : m_saved)
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }

private:
    std::vector<std::pair<const char *, std::optional<std::string>>> m_saved;
};

}  // namespace mailsys_test

namespace mailsys_test {

// Waits (turning the event loop) until `done` holds or `seconds` pass.
inline bool WaitFor(const std::function<bool()> &done, int seconds = 30)
{
    for (int i = 0; i < seconds * 50 && !done(); ++i) {
        wxYield();
        wxMilliSleep(20);
    }
    return done();
}

// main() of a wx test program: wx on the display, wx assertions as failures.
inline int RunWxTests(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))  // test discovery at build time has no display
        return RUN_ALL_TESTS();
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "no display\n");
        return 1;
    }
    wxSetAssertHandler([](const wxString &file, int line, const wxString &, const wxString &cond,
                          const wxString &msg) {
        ADD_FAILURE() << "wx assertion " << cond << " " << msg << " at " << file << ":" << line;
    });
    int rc = RUN_ALL_TESTS();
    wxEntryCleanup();
    return rc;
}

}  // namespace mailsys_test
