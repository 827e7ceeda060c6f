// The main of GUI test programs: starts wx on the (virtual) display with the
// program's application object, then runs the tests. A failed wx assertion
// fails the test instead of opening a dialog that would hang a headless run.
#include "app/tegamiya_app.h"

#include <gtest/gtest.h>
#include <wx/init.h>

#include <cstdio>

namespace {
void OnWxAssert(const wxString &file, int line, const wxString &func, const wxString &cond,
                const wxString &msg)
{
    ADD_FAILURE() << "wx assertion at " << file << ":" << line << " in " << func << ": " << cond
                  << " " << msg;
}
} // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new CTegamiyaApp);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start wx (is there a display?)\n");
        return 1;
    }
    wxSetAssertHandler(OnWxAssert);
    int rc = RUN_ALL_TESTS();
    wxEntryCleanup();
    return rc;
}
