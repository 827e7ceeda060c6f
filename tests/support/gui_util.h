// Small helpers for driving real windows in tests.
#pragma once

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

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

// Lets events run until `done` holds or about `seconds` have passed; true
// when it holds. Tests wait for conditions, never for fixed times.
template <class Pred> bool WaitFor(Pred done, int seconds = 5)
{
    for (int i = 0; i < seconds * 100 && !done(); ++i) {
        Pump(1);
        wxMilliSleep(10);
    }
    return done();
}

} // namespace testenv
