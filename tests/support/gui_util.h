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

} // namespace testenv
