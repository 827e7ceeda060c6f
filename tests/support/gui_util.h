// Small helpers for driving real windows in tests.
#pragma once

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/utils.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace testenv {

// Lets pending events, idle handlers and delayed deletions run.
inline void Pump(int rounds = 3)
{
    for (int i = 0; i < rounds; ++i) {
        wxYield();
        if (wxTheApp)
            wxTheApp->ProcessIdle();
    }
}

// Lets events run until `done` holds or `seconds` have passed (what real
// windows, the X server and a window manager do arrives in its own time).
template <class Pred> bool WaitFor(Pred done, int seconds = 10)
{
    for (int i = 0; i < seconds * 100 && !done(); ++i) {
        Pump(1);
        wxMilliSleep(10);
    }
    return done();
}

// What a window shows on screen (tests that read it back run alone).
inline wxImage Capture(wxWindow *w)
{
    wxRect r = w->GetScreenRect();
    wxBitmap bmp(r.width, r.height, 24);
    wxMemoryDC mem(bmp);
    wxScreenDC screen;
    mem.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    mem.SelectObject(wxNullBitmap);
    return bmp.ConvertToImage();
}

// Runs `script` on each modal dialog once it is shown (the dialog's own
// event loop runs it), for the life of the object.
class DialogScript : public wxModalDialogHook {
public:
    explicit DialogScript(std::function<void(wxDialog *)> script) : m_script(std::move(script)) { Register(); }
    ~DialogScript() override { Unregister(); }
    int Enter(wxDialog *dialog) override
    {
        ++shown;
        title = dialog->GetTitle();
        dialog->CallAfter([this, dialog] { m_script(dialog); });
        return wxID_NONE;
    }
    void Exit(wxDialog *) override {}
    int shown = 0;
    wxString title; // of the last dialog shown

private:
    std::function<void(wxDialog *)> m_script;
};

// Leaves a picture of the screen as <name>.png when TEGAMIYA_SCREENSHOTS
// names a folder.
inline void Shot(const char *name)
{
    const char *dir = std::getenv("TEGAMIYA_SCREENSHOTS");
    if (!dir)
        return;
    for (int i = 0; i < 30; ++i) {
        Pump(1);
        wxMilliSleep(10);
    }
    std::string cmd = std::string("import -window root '") + dir + "/" + name + ".png'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "no screenshot\n");
}

} // namespace testenv
