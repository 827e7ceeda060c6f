// The fixture of tests that start the program for real: a home of their
// own, scripted message boxes and file dialogs, and the fake mail library.
#pragma once

#include <gtest/gtest.h>

#include "app/tegamiya_app.h"
#include "mapi/mapi_binding.h"
#include "fake_mapi_control.h"
#include "test_env.h"

#include <cstdlib>

namespace testenv {

class ProgramTest : public ::testing::Test {
protected:
    TempHome home;
    ScriptUi ui;
    FakeMapiState &mapi = UseFakeMapi();
    CTegamiyaApp &app = *TheApp();

    void SetUp() override
    {
        g_bClosing = false;
        app.SetCommandLineFile("");
    }
    void TearDown() override
    {
        CloseProgram();
        unsetenv("TEGAMIYA_MAPI_LIBRARY");
    }

    // Closes every window the program left open, accepting the log-off, and
    // lets the mail library go.
    void CloseProgram()
    {
        mapi.logoffResults.clear();
        for (wxWindow *w : wxTopLevelWindows)
            w->Destroy();
        Pump();
        ReleaseMapi();
    }
};

} // namespace testenv
