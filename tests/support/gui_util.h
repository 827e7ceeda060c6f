// Small helpers for driving real windows in tests.
#pragma once

#include <gdk/gdk.h>
#include <wx/app.h>
#include <wx/evtloop.h>
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

// What the screen shows in `r`, read from the X server each time (the
// toolkit's screen context may hand back an older copy).
inline wxImage CaptureScreen(const wxRect &r)
{
    wxImage img(r.width, r.height);
    GdkPixbuf *pix = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), r.x, r.y, r.width, r.height);
    if (!pix) {
        std::fprintf(stderr, "the screen could not be read\n");
        return img;
    }
    const int channels = gdk_pixbuf_get_n_channels(pix), stride = gdk_pixbuf_get_rowstride(pix);
    const guchar *px = gdk_pixbuf_get_pixels(pix);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const guchar *p = px + y * stride + x * channels;
            img.SetRGB(x, y, p[0], p[1], p[2]);
        }
    g_object_unref(pix);
    return img;
}

// What a window shows on screen (tests that read it back run alone).
inline wxImage Capture(wxWindow *w) { return CaptureScreen(w->GetScreenRect()); }

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
