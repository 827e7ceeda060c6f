// The hover button on its own, in a test window on the virtual display: its
// size from the strip, the cell it draws as the real pointer moves, presses
// and leaves (read back from the screen), and its one tool tip.
#include "app/wx_ui.h"
#include "emoji/hover_button.h"
#include "gui_util.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/panel.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include <algorithm>

namespace {

const wxColour kNormal(0, 160, 0), kPressed(0, 0, 200), kHovered(255, 0, 0);

// A strip of three plain cells, each `cellWidth` wide: green, blue, red.
// The normal cell's top left pixel is the light grey that takes the face
// colour.
wxImage Strip(int width, int height)
{
    wxImage img(width, height);
    const int cell = width / 3;
    for (int x = 0; x < width; ++x) {
        const wxColour &c = x < cell ? kNormal : x < 2 * cell ? kPressed : kHovered;
        for (int y = 0; y < height; ++y)
            img.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
    }
    img.SetRGB(0, 0, 192, 192, 192);
    return img;
}

// What the window shows on screen, read back from its top-level window's
// pixels on the X server.
wxImage Capture(wxWindow *w)
{
    wxWindow *top = wxGetTopLevelParent(w);
    GdkWindow *gw = gtk_widget_get_window(top->GetHandle());
    wxPoint at = top->ScreenToClient(w->GetScreenPosition());
    wxSize size = w->GetSize();
    wxImage img(size.x, size.y);
    GdkPixbuf *pb = gdk_pixbuf_get_from_window(gw, at.x, at.y, size.x, size.y);
    if (!pb)
        return img;
    const int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const guchar *px = gdk_pixbuf_get_pixels(pb);
    for (int y = 0; y < size.y; ++y)
        for (int x = 0; x < size.x; ++x) {
            const guchar *p = px + y * stride + x * n;
            img.SetRGB(x, y, p[0], p[1], p[2]);
        }
    g_object_unref(pb);
    return img;
}

wxColour Pixel(const wxImage &img, int x, int y)
{
    return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

using testenv::WaitFor;

class HoverButtonTest : public ::testing::Test {
protected:
    wxFrame *frame = nullptr;
    wxPanel *panel = nullptr;
    // The template's place and size of a palette cell (9 x 12 dialog units
    // of the palette's face).
    const wxPoint templatePos{30, 20};
    const wxSize templateSize{16, 20};

    void SetUp() override
    {
        frame = new wxFrame(nullptr, wxID_ANY, "hover", wxPoint(0, 0), wxSize(200, 120));
        panel = new wxPanel(frame);
        frame->Show();
        testenv::Pump();
    }
    void TearDown() override
    {
        frame->Destroy();
        testenv::Pump();
    }
    CHoverButton *MakeButton(wxPoint pos, int id = 1039)
    {
        auto *b = new CHoverButton();
        b->Create(panel, id, pos, templateSize);
        return b;
    }
};

struct StripCase {
    int width, height;
    wxSize cell;
};

class StripSize : public HoverButtonTest, public ::testing::WithParamInterface<StripCase> {};

TEST_P(StripSize, TheButtonTakesOneCellAtItsTemplatePlace)
{
    const StripCase &c = GetParam();
    CHoverButton *b = MakeButton(templatePos);
    ASSERT_TRUE(b->LoadStripImage(Strip(c.width, c.height)));
    EXPECT_EQ(b->CellSize(), c.cell);
    EXPECT_EQ(b->GetRect(), wxRect(templatePos, c.cell));
}

// 48 x 18 is the palette's strip; one pixel less or more than a multiple of
// three leaves the remainder out.
INSTANTIATE_TEST_SUITE_P(Widths, StripSize,
                         ::testing::Values(StripCase{48, 18, {16, 18}}, StripCase{47, 18, {15, 18}},
                                           StripCase{49, 18, {16, 18}}, StripCase{50, 18, {16, 18}},
                                           StripCase{51, 18, {17, 18}}, StripCase{30, 12, {10, 12}}));

TEST_F(HoverButtonTest, WithoutAStripItKeepsItsSizeAndDrawsNothing)
{
    CHoverButton *b = MakeButton(templatePos);
    EXPECT_FALSE(b->LoadStrip(9999)); // no such picture
    EXPECT_FALSE(b->LoadStripFile("/nonexistent/strip.bmp"));
    EXPECT_FALSE(b->HasStrip());
    EXPECT_EQ(b->GetRect(), wxRect(templatePos, templateSize));
    // What the panel shows beside the button is what shows through it.
    CHoverButton *probe = MakeButton(wxPoint(80, 20), 1040);
    probe->Hide();
    ASSERT_TRUE(WaitFor([&] {
        wxImage img = Capture(b), beside = Capture(probe);
        return std::equal(img.GetData(), img.GetData() + 3 * 16 * 20, beside.GetData()) &&
               Pixel(img, 0, 0) == Pixel(img, 15, 19);
    }));
}

TEST_F(HoverButtonTest, APictureFromTheProgramsFolderLoads)
{
    CHoverButton *b = MakeButton(templatePos);
    // Picture 148 is the first pictograph's strip beside the program.
    ASSERT_TRUE(b->LoadStrip(148));
    EXPECT_EQ(b->GetSize(), wxSize(16, 18));
}

TEST_F(HoverButtonTest, DrawsTheCellOfItsStateAsThePointerMovesPressesAndLeaves)
{
    CHoverButton *b = MakeButton(templatePos);
    CHoverButton *other = MakeButton(wxPoint(120, 20), 1040);
    ASSERT_TRUE(b->LoadStripImage(Strip(48, 18)));
    ASSERT_TRUE(other->LoadStripImage(Strip(48, 18)));
    int clicks = 0;
    panel->Bind(wxEVT_BUTTON, [&](wxCommandEvent &e) { clicks += e.GetId() == 1039; });
    const wxColour face = panel->GetBackgroundColour();
    auto shows = [&](const wxColour &c) {
        return WaitFor([&] {
            wxImage img = Capture(b);
            return Pixel(img, 8, 9) == c && Pixel(img, 15, 17) == c;
        });
    };
    // At rest: the normal cell, with its light grey in the face's colour.
    ASSERT_TRUE(shows(kNormal));
    EXPECT_EQ(Pixel(Capture(b), 0, 0), face);

    wxUIActionSimulator sim;
    sim.MouseMove(b->GetScreenPosition() + wxPoint(8, 9));
    ASSERT_TRUE(WaitFor([&] { return b->Hovering(); }));
    EXPECT_TRUE(shows(kHovered));
    // Moving inside after the hover changes nothing.
    sim.MouseMove(b->GetScreenPosition() + wxPoint(4, 4));
    testenv::Pump();
    EXPECT_TRUE(b->Hovering());
    EXPECT_TRUE(shows(kHovered));

    // Held down: pressed wins over hovered.
    sim.MouseDown();
    ASSERT_TRUE(WaitFor([&] { return b->IsPressed(); }));
    EXPECT_EQ(b->CurrentCell(), StripCell::Pressed);
    EXPECT_TRUE(shows(kPressed));
    EXPECT_EQ(clicks, 0);
    // Released over the button: one click, and the hover cell again.
    sim.MouseUp();
    ASSERT_TRUE(WaitFor([&] { return !b->IsPressed(); }));
    EXPECT_TRUE(WaitFor([&] { return clicks == 1; }));
    EXPECT_TRUE(shows(kHovered));

    // Off the button: the normal cell; the other button now hovers.
    sim.MouseMove(other->GetScreenPosition() + wxPoint(8, 9));
    ASSERT_TRUE(WaitFor([&] { return !b->Hovering() && other->Hovering(); }));
    EXPECT_FALSE(b->TrackRequested());
    EXPECT_TRUE(shows(kNormal));

    // Pressed, then dragged off and released elsewhere: no click, and the
    // normal cell as soon as the pointer is off, held or released, also
    // after it crossed another cell.
    sim.MouseMove(b->GetScreenPosition() + wxPoint(8, 9));
    ASSERT_TRUE(WaitFor([&] { return b->Hovering(); }));
    sim.MouseDown();
    ASSERT_TRUE(WaitFor([&] { return b->IsPressed(); }));
    sim.MouseMove(b->GetScreenPosition() + wxPoint(60, 60));
    ASSERT_TRUE(WaitFor([&] { return !b->IsPressed(); }));
    EXPECT_TRUE(WaitFor([&] { return !b->Hovering(); }));
    EXPECT_TRUE(shows(kNormal));
    sim.MouseUp();
    sim.MouseMove(other->GetScreenPosition() + wxPoint(8, 9));
    ASSERT_TRUE(WaitFor([&] { return other->Hovering(); }));
    sim.MouseMove(wxPoint(190, 110));
    EXPECT_TRUE(WaitFor([&] { return !other->Hovering(); }));
    EXPECT_FALSE(b->Hovering());
    EXPECT_TRUE(shows(kNormal));
    EXPECT_EQ(clicks, 1);

    // Held and hovering while the pointer is elsewhere, then the capture is
    // taken away: nothing tells the cell the pointer left but the loss.
    wxMouseEvent down(wxEVT_LEFT_DOWN), move(wxEVT_MOTION);
    down.SetPosition(wxPoint(8, 9));
    move.SetPosition(wxPoint(8, 9));
    b->ProcessWindowEvent(move);
    b->ProcessWindowEvent(down);
    ASSERT_TRUE(WaitFor([&] { return b->Hovering() && b->IsPressed(); }));
    if (b->HasCapture())
        b->ReleaseMouse();
    wxMouseCaptureLostEvent lost(b->GetId());
    b->ProcessWindowEvent(lost);
    EXPECT_FALSE(b->IsPressed());
    EXPECT_FALSE(b->Hovering());
    EXPECT_TRUE(shows(kNormal));
    EXPECT_EQ(clicks, 1);
}

TEST_F(HoverButtonTest, OneToolWhoseTextAndActivationLaterCallsChange)
{
    CHoverButton *b = MakeButton(templatePos);
    EXPECT_FALSE(b->TipCreated());
    // No tool yet: activation and a null text change nothing.
    b->EnableTip(true);
    b->SetTip(nullptr, true);
    EXPECT_EQ(b->TipToolCount(), 0);
    EXPECT_EQ(b->GetToolTip(), nullptr);
    b->EnsureTip();
    EXPECT_TRUE(b->TipCreated());
    EXPECT_FALSE(b->TipActive());
    EXPECT_EQ(b->TipToolCount(), 0);

    const std::string first = Sjis("晴れ"), second = Sjis("レジスタードトレードマーク");
    b->SetTip(&first, true);
    b->SetTip(&second, true);
    EXPECT_EQ(b->TipToolCount(), 1);
    EXPECT_EQ(b->TipText(), second);
    EXPECT_EQ(b->GetToolTipText(), wxString::FromUTF8("レジスタードトレードマーク"));

    // Deactivated, the tip shows no more but keeps its text; a null text
    // leaves it as it is.
    b->EnableTip(false);
    EXPECT_EQ(b->GetToolTip(), nullptr);
    b->SetTip(nullptr, true);
    EXPECT_FALSE(b->TipActive());
    b->EnableTip(true);
    EXPECT_EQ(b->GetToolTipText(), wxString::FromUTF8("レジスタードトレードマーク"));
    // A string the program's table lacks changes nothing either.
    b->SetTipFromResource(61000, false);
    EXPECT_TRUE(b->TipActive());
    EXPECT_EQ(b->TipText(), second);
    EXPECT_EQ(b->TipToolCount(), 1);
}

} // namespace
