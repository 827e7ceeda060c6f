// After the font link is made, a text field in the form's face draws the
// pictographs with our font: the same ink as a field set in our font itself,
// also when other installed fonts cover the same private-use code points.
#include "app/emoji_font.h"

#include "gui_util.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/fontenum.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

namespace {

// The dark pixels of an image, cut to their bounding box, as a text grid.
std::string Ink(const wxImage &img, int inset)
{
    int x0 = img.GetWidth(), y0 = img.GetHeight(), x1 = -1, y1 = -1;
    auto dark = [&](int x, int y) { return img.GetRed(x, y) + img.GetGreen(x, y) + img.GetBlue(x, y) < 3 * 100; };
    for (int y = inset; y < img.GetHeight() - inset; ++y)
        for (int x = inset; x < img.GetWidth() - inset; ++x)
            if (dark(x, y)) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    std::string grid;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x)
            grid += dark(x, y) ? '#' : '.';
        grid += '\n';
    }
    return grid;
}

TEST(EmojiFontOnScreen, TheFormsFaceShowsOurGlyphs)
{
    testenv::TempHome home;
    testenv::ScriptUi ui;
    ASSERT_TRUE(RegisterEmojiFontWith(EmojiFontPath(), SystemEudc())) << EmojiFontPath();
    EXPECT_TRUE(ui->boxes.empty());

    auto *frame = new wxFrame(nullptr, wxID_ANY, "font", wxPoint(0, 0), wxSize(960, 200));
    auto make = [&](const wxString &face) {
        auto *t = new wxTextCtrl(frame, wxID_ANY, wxString(), wxDefaultPosition, wxSize(280, 80),
                                 wxTE_MULTILINE | wxTE_RICH2 | wxTE_NO_VSCROLL | wxBORDER_NONE);
        t->SetFont(wxFont(wxFontInfo(24).FaceName(face)));
        // Sun, cloud, umbrella.
        t->SetValue(wxString::FromUTF8("\xEE\x98\xBE\xEE\x98\xBF\xEE\x99\x80"));
        return t;
    };
    wxTextCtrl *form = make("IPAGothic");
    wxTextCtrl *ours = make("Tegamiya Pictographs");
    // Another font with glyphs at the same code points, when installed.
    const bool otherInstalled = wxFontEnumerator::IsValidFacename("Unifont CSUR");
    wxTextCtrl *other = make("Unifont CSUR");
    auto *sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(form, 0, wxALL, 10);
    sizer->Add(ours, 0, wxALL, 10);
    sizer->Add(other, 0, wxALL, 10);
    frame->SetSizer(sizer);
    frame->Show();
    // A field is drawn once it shows ink on its light background (before
    // that the screen there is dark); the other font's too, when installed.
    auto inked = [&](wxTextCtrl *t) {
        std::string ink = Ink(testenv::Capture(t), 2);
        return ink.find('#') != std::string::npos && ink.find('.') != std::string::npos;
    };
    testenv::WaitFor([&] {
        return inked(form) && inked(ours) && (!otherInstalled || inked(other)) &&
               Ink(testenv::Capture(form), 2) == Ink(testenv::Capture(ours), 2);
    });

    std::string formInk = Ink(testenv::Capture(form), 2);
    std::string ourInk = Ink(testenv::Capture(ours), 2);
    ASSERT_FALSE(ourInk.empty());
    // Three glyphs of a 16-pixel design at 24 points fill more than a line.
    EXPECT_GT(std::count(ourInk.begin(), ourInk.end(), '#'), 60);
    EXPECT_EQ(formInk, ourInk);
    if (otherInstalled) {
        // The comparison means something: the other font draws differently.
        EXPECT_NE(Ink(testenv::Capture(other), 2), ourInk);
    } else {
        std::printf("note: Unifont CSUR is not installed; checked without a competing font\n");
    }
    frame->Destroy();
    testenv::Pump();
}

} // namespace
