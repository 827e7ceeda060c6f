// Prints the CPU time the program spends per change of the body, beside the
// same figure for a bare multi-line text control holding the same text (the
// toolkit's own floor):
//   xvfb-run -a -s '-screen 0 1600x1200x24' ./body_bench [keys]   (default 200)
// Typing: real key presses at the end of a 10 KB body in 40-byte lines and
// of a 10 KB body that is one paragraph, each key waited for and drawn.
// Pasting 100 KB, and removing the blanks of a 100 KB selection.
// Figures are process CPU time (user + system) per change.
#include "app/main_frame.h"
#include "app/tegamiya_app.h"
#include "app/wx_ui.h"
#include "compose/editing.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "test_env.h"

#include <wx/clipbrd.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

namespace {

double CpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Lets the toolkit run until `done` holds, then draws what is due.
template <class Pred> void Settle(Pred done)
{
    for (int i = 0; i < 2000 && !done(); ++i) {
        testenv::Pump(1);
        if (!done())
            wxMilliSleep(1);
    }
    // The frame clock draws at most every 16 ms.
    for (int i = 0; i < 3; ++i) {
        wxMilliSleep(8);
        testenv::Pump(1);
    }
}

// 10 KB of kanji in lines of 40 bytes.
std::string Lines(size_t bytes)
{
    std::string line;
    for (int i = 0; i < 20; ++i)
        line += "\x8A\xBF";
    line += "\r\n";
    std::string s;
    while (s.size() + line.size() <= bytes)
        s += line;
    return s;
}

std::string Paragraph(size_t bytes)
{
    std::string s;
    while (s.size() + 2 <= bytes)
        s += "\x8A\xBF";
    return s;
}

// Japanese text with blanks, tabs and line breaks, about `bytes` long.
std::string Blanky(size_t bytes)
{
    std::string s;
    while (s.size() < bytes)
        s += "\x8A\xBF\x8E\x9A abc\tdef\x81\x40\r\n";
    return s;
}

struct Field {
    std::function<void(const std::string &)> set;    // CP932
    std::function<long()> length;                    // widget positions
    wxTextCtrl *widget;
    std::function<void()> paste;
    std::function<void()> deleteBlanks;               // of the selection
};

double TypeKeys(Field &f, const std::string &text, int keys)
{
    f.set(text);
    f.widget->SetFocus();
    f.widget->SetInsertionPointEnd();
    Settle([&] { return f.widget->HasFocus(); });
    wxUIActionSimulator sim;
    double start = CpuMs();
    for (int i = 0; i < keys; ++i) {
        long before = f.length();
        sim.Char('a');
        Settle([&] { return f.length() > before; });
    }
    return (CpuMs() - start) / keys;
}

double PasteTimes(Field &f, const std::string &cp932, int times)
{
    wxString text = ToWx(cp932);
    text.Replace("\r\n", "\n");
    if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(new wxTextDataObject(text));
        wxTheClipboard->Close();
    }
    double total = 0;
    for (int i = 0; i < times; ++i) {
        f.set("");
        f.widget->SetFocus();
        Settle([] { return true; });
        double start = CpuMs();
        f.paste();
        Settle([&] { return f.length() >= static_cast<long>(text.length()); });
        total += CpuMs() - start;
    }
    return total / times;
}

double DeleteBlanksTimes(Field &f, const std::string &cp932, int times)
{
    double total = 0;
    for (int i = 0; i < times; ++i) {
        f.set(cp932);
        f.widget->SetFocus();
        f.widget->SetSelection(-1, -1);
        Settle([] { return true; });
        long before = f.length();
        double start = CpuMs();
        f.deleteBlanks();
        Settle([&] { return f.length() < before; });
        total += CpuMs() - start;
    }
    return total / times;
}

void Row(const char *what, double program, double bare)
{
    std::printf("%-44s %9.3f ms %9.3f ms %6.2fx\n", what, program, bare, bare > 0 ? program / bare : 0.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    int keys = argc > 1 ? std::atoi(argv[1]) : 200;
    wxApp::SetInstance(new CTegamiyaApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wx (is there a display?)\n");
        return 1;
    }
    {
        testenv::TempHome home;
        testenv::ScriptUi ui;
        testenv::UseFakeMapi();
        CTegamiyaApp &app = *TheApp();
        if (!app.InitInstance()) {
            std::fprintf(stderr, "the program did not start\n");
            return 1;
        }
        testenv::Pump();
        CTegamiyaView *view = app.MainFrame()->View();
        CBodyEdit *body = view->BodyField();
        // Give the window the display's focus.
        wxUIActionSimulator sim;
        sim.MouseMove(body->GetScreenPosition() + wxPoint(10, 10));
        sim.MouseClick();
        Settle([&] { return body->HasFocus(); });

        // The bare control: same style, size and font as the body, in a
        // window of its own beside the program's.
        auto *frame = new wxFrame(nullptr, wxID_ANY, "bare", app.MainFrame()->GetPosition() + wxPoint(0, 400));
        auto *bare = new wxTextCtrl(frame, wxID_ANY, "", wxPoint(0, 0), body->GetSize(),
                                    wxTE_MULTILINE | wxTE_RICH2 | wxTE_CHARWRAP);
        bare->SetFont(body->GetFont());
        frame->SetClientSize(body->GetSize());
        frame->Show();
        Settle([] { return true; });

        Field program{[&](const std::string &t) { body->SetTextBytes(t); },
                      [&] { return body->GetLastPosition(); },
                      body,
                      [&] { view->OnEditPaste(); },
                      [&] { view->OnEditDeleteBlanks(); }};
        Field plain{[&](const std::string &t) {
                        wxString w = ToWx(t);
                        w.Replace("\r\n", "\n");
                        bare->SetValue(w);
                    },
                    [&] { return bare->GetLastPosition(); },
                    bare,
                    [&] { bare->Paste(); },
                    [&] {
                        // What the command does, on the bare control: the
                        // selection copied, stripped and put back.
                        bare->Copy();
                        long from = 0, to = 0;
                        bare->GetSelection(&from, &to);
                        wxString sel = bare->GetStringSelection();
                        sel.Replace("\n", "\r\n");
                        wxString stripped = ToWx(DeleteBlanks(FromWx(sel)));
                        bare->Replace(from, to, stripped);
                    }};

        std::printf("%-44s %12s %12s %7s\n", "CPU time per change", "program", "bare", "ratio");
        std::string lines = Lines(10240), paragraph = Paragraph(10240);
        Row("typing at the end, 10 KB in 40-byte lines", TypeKeys(program, lines, keys),
            TypeKeys(plain, lines, keys));
        Row("typing at the end, 10 KB in one paragraph", TypeKeys(program, paragraph, keys),
            TypeKeys(plain, paragraph, keys));
        std::string big = Lines(102400);
        Row("pasting 100 KB", PasteTimes(program, big, 5), PasteTimes(plain, big, 5));
        std::string blanky = Blanky(102400);
        Row("removing blanks from a 100 KB selection", DeleteBlanksTimes(program, blanky, 5),
            DeleteBlanksTimes(plain, blanky, 5));

        frame->Destroy();
        for (wxWindow *w : wxTopLevelWindows)
            w->Destroy();
        testenv::Pump();
    }
    wxEntryCleanup();
    return 0;
}
