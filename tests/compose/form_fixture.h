// The compose form's test fixture: the real program on a virtual display
// with a temporary home, the fake mail library and scripted message boxes.
#pragma once

#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"
#include "compose/up_down.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <filesystem>

namespace fs = std::filesystem;
using testenv::Sjis;

namespace formtest {

inline constexpr unsigned kFormBoxStyle = MB_OK | MB_ICONERROR | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST;

inline std::string Kanji(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\x8A\xBF";
    return s;
}

// Settings text with CR LF line ends.
inline std::string Crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Lets events run until `done` holds or two seconds have passed (simulated
// keys arrive through the X server).
using testenv::WaitFor;

class Form : public testenv::ProgramTest {
protected:
    void TearDown() override
    {
        Stop();
        unsetenv("TEGAMIYA_MAPI_LIBRARY");
    }
    void Stop() { CloseProgram(); }
    void Start()
    {
        ASSERT_TRUE(app.InitInstance());
        testenv::Pump();
    }
    void Restart()
    {
        Stop();
        ui->boxes.clear();
        Start();
    }

    fs::path IniPath() { return home.Documents() / "Tegamiya/Tegamiya.ini"; }
    void WriteIni(const std::string &text) { testenv::WriteFile(IniPath(), Crlf(text)); }
    std::string Ini(const char *section, const char *key)
    {
        return ProfileFile(IniPath().string()).GetString(section, key, "<none>");
    }

    CTegamiyaView *View() { return app.MainFrame()->View(); }
    template <class T> T *Ctl(int id) { return dynamic_cast<T *>(View()->FindWindow(id)); }
    wxChoice *Carriers() { return Ctl<wxChoice>(1023); }
    std::string Field(int id) { return Ctl<wxTextCtrl>(id)->GetValue().utf8_string(); }
    std::string Carrier() { return Carriers()->GetStringSelection().utf8_string(); }
    bool CountIsRed() { return Ctl<wxTextCtrl>(1014)->GetForegroundColour() == wxColour(255, 0, 0); }

    // Chooses a carrier as the user does.
    void ChooseCarrier(const char *name)
    {
        wxChoice *c = Carriers();
        c->SetStringSelection(name);
        wxCommandEvent ev(wxEVT_CHOICE, 1023);
        ev.SetEventObject(c);
        ev.SetInt(c->GetSelection());
        c->ProcessWindowEvent(ev);
    }
    void Click(wxCheckBox *box)
    {
        box->SetValue(!box->GetValue());
        wxCommandEvent ev(wxEVT_CHECKBOX, box->GetId());
        ev.SetEventObject(box);
        ev.SetInt(box->GetValue());
        box->ProcessWindowEvent(ev);
    }
    void Command(int id)
    {
        wxCommandEvent ev(wxEVT_MENU, id);
        app.MainFrame()->ProcessWindowEvent(ev);
    }
    bool MenuChecked(int id)
    {
        wxMenuBar *bar = app.MainFrame()->GetMenuBar();
        for (size_t m = 0; m < bar->GetMenuCount(); ++m)
            bar->GetMenu(m)->UpdateUI(app.MainFrame());
        return bar->IsChecked(id);
    }
    void ExpectBox(size_t i, BoxKind kind, const std::string &text, unsigned style)
    {
        ASSERT_LT(i, ui->boxes.size());
        EXPECT_EQ(ui->boxes[i].kind, kind);
        EXPECT_EQ(ui->boxes[i].text, text);
        EXPECT_EQ(ui->boxes[i].caption, "Tegamiya");
        EXPECT_EQ(ui->boxes[i].style, style);
    }
};

} // namespace formtest
