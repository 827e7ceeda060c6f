// Small helpers for driving real windows in tests.
#pragma once

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/modalhook.h>
#include <wx/utils.h>

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

// Runs `script` on the next modal dialogs once each is shown (the dialog is
// really shown; the script ends it, e.g. by clicking a button).
class DialogScript : public wxModalDialogHook {
public:
    explicit DialogScript(std::function<void(wxDialog *)> script) : m_script(std::move(script)) { Register(); }
    ~DialogScript() override { Unregister(); }
    int Enter(wxDialog *dialog) override
    {
        ++shown;
        title = dialog->GetTitle().utf8_string();
        dialog->CallAfter([this, dialog] { m_script(dialog); });
        return wxID_NONE;
    }
    void Exit(wxDialog *) override {}

    int shown = 0;
    std::string title; // UTF-8, of the last dialog shown

private:
    std::function<void(wxDialog *)> m_script;
};

} // namespace testenv
