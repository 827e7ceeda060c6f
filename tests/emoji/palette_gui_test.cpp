// The pictograph palette with the real program on the virtual display (the
// fake mail library, message boxes scripted): opening, hiding and showing,
// its cells, its stored placement, and the insertion of pictographs into
// the subject and body.
#include "app/emoji_font.h"
#include "app/main_frame.h"
#include "app/paths.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "app/wx_ui.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"
#include "emoji/emoji_dlg.h"
#include "emoji/emoji_table.h"
#include "emoji/hover_button.h"
#include "emoji/palette_layout.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using testenv::Sjis;

namespace {

using testenv::WaitFor;

std::string Code(int index) { return FindEmoji(index)->code.text(); }

class Palette : public testenv::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        // As right after the program's start: neither field has had the focus.
        g_bSubjectFocus = false;
    }
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
        // The main window is active at start, as on a desktop.
        app.MainFrame()->Raise();
        WaitFor([&] { return app.MainFrame()->IsActive(); });
    }
    // Ends the program the user's way: the main window's close box.
    void Quit()
    {
        app.MainFrame()->Close();
        testenv::Pump();
        Stop();
    }

    CTegamiyaView *View() { return app.MainFrame()->View(); }
    CEmojiDlg *Dlg() { return View()->EmojiDlg(); }
    CRichEdit *Body() { return reinterpret_cast<CRichEdit *>(View()->BodyField()); }
    CRichEdit *Subject() { return reinterpret_cast<CRichEdit *>(View()->SubjectField()); }
    int Palettes()
    {
        int n = 0;
        for (wxWindow *w : wxTopLevelWindows)
            n += dynamic_cast<CEmojiDlg *>(w) != nullptr && !w->IsBeingDeleted();
        return n;
    }

    // A click on the form's "絵文字" button.
    void ClickEmoji()
    {
        auto *b = dynamic_cast<wxButton *>(View()->FindWindow(1025));
        ASSERT_TRUE(b);
        wxCommandEvent ev(wxEVT_BUTTON, 1025);
        ev.SetEventObject(b);
        b->ProcessWindowEvent(ev);
        testenv::Pump();
    }
    // A click on palette cell k, as the button reports it.
    void ClickCell(int k)
    {
        wxWindow *b = Dlg()->FindWindow(PaletteControlId(k));
        ASSERT_TRUE(b) << k;
        wxCommandEvent ev(wxEVT_BUTTON, b->GetId());
        ev.SetEventObject(b);
        b->ProcessWindowEvent(ev);
        testenv::Pump();
    }
    // Focus into a window as the user gives it, waiting until it has it.
    bool Focus(wxWindow *w)
    {
        w->SetFocus();
        return WaitFor([&] { return wxWindow::FindFocus() == w; });
    }

    std::string StoredPos()
    {
        return ProfileFile(paths::RegistryProfilePath()).GetString("Settings", "EmojiPos", "<none>");
    }
    void StorePos(const std::string &text)
    {
        ASSERT_TRUE(ProfileFile(paths::RegistryProfilePath(), true).WriteString("Settings", "EmojiPos", text));
    }
};

TEST_F(Palette, OpensOnTheFirstClickAndIsShownAgainNeverToggled)
{
    Start();
    EXPECT_EQ(Dlg(), nullptr);
    EXPECT_EQ(Palettes(), 0);
    // The compose window where a new window would go.
    app.MainFrame()->Move(0, 0);
    testenv::Pump();
    ClickEmoji();
    CEmojiDlg *dlg = Dlg();
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(dlg->GetTitle(), wxString::FromUTF8("iモード絵文字"));
    // Nothing stored: beside the compose window, not over the form.
    EXPECT_FALSE(dlg->GetRect().Intersects(app.MainFrame()->GetRect())) << dlg->GetRect().x << "," << dlg->GetRect().y;
    // A top-level window of its own, belonging to no other window.
    EXPECT_EQ(dlg->GetParent(), nullptr);
    EXPECT_EQ(dlg->View(), View());
    EXPECT_TRUE(ui->boxes.empty());

    // A second click leaves it open: no second palette, no toggling.
    ClickEmoji();
    EXPECT_EQ(Dlg(), dlg);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(Palettes(), 1);

    // Closed by its close box, it is only hidden; the next click shows it
    // where it was.
    dlg->Move(700, 40);
    testenv::Pump();
    const wxPoint where = dlg->GetPosition();
    dlg->Close();
    testenv::Pump();
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_EQ(Palettes(), 1);
    ClickEmoji();
    EXPECT_EQ(Dlg(), dlg);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(dlg->GetPosition(), where);

    // Esc hides it as well.
    wxKeyEvent esc(wxEVT_CHAR_HOOK);
    esc.m_keyCode = WXK_ESCAPE;
    esc.SetEventObject(dlg);
    dlg->ProcessWindowEvent(esc);
    testenv::Pump();
    EXPECT_FALSE(dlg->IsShown());
    ClickEmoji();
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(dlg->GetPosition(), where);
    EXPECT_EQ(Palettes(), 1);
}

TEST_F(Palette, CellsCarryTheirPicturesAndNamesAtTheTemplatesPlaces)
{
    Start();
    ClickEmoji();
    CEmojiDlg *dlg = Dlg();
    ASSERT_TRUE(dlg);
    const wxSize templateSize = dlg->ConvertDialogToPixels(wxSize(kPaletteCellWidthDu, kPaletteCellHeightDu));
    for (int k = 1; k <= kPaletteCells; ++k) {
        const PaletteCellPlace place = *PaletteCellAt(k);
        wxWindow *w = dlg->FindWindow(PaletteControlId(k));
        ASSERT_TRUE(w) << k;
        EXPECT_EQ(w->GetPosition(), dlg->ConvertDialogToPixels(wxPoint(place.xDu, place.yDu))) << k;
        auto *b = dynamic_cast<CHoverButton *>(w);
        if (k <= kEmojiCount) {
            ASSERT_TRUE(b) << k;
            EXPECT_EQ(b, dlg->Button(k));
            EXPECT_TRUE(b->HasStrip()) << k;
            EXPECT_EQ(b->GetSize(), wxSize(16, 18)) << k;
            EXPECT_EQ(b->TipText(), FindEmoji(k)->name) << k;
            EXPECT_TRUE(b->TipActive()) << k;
            EXPECT_EQ(b->GetToolTipText(), ToWx(FindEmoji(k)->name)) << k;
        } else if (k <= kPaletteHoverCells) {
            // 253 and 254: picture buttons without picture or tip.
            ASSERT_TRUE(b) << k;
            EXPECT_FALSE(b->HasStrip()) << k;
            EXPECT_EQ(b->GetSize(), templateSize) << k;
            EXPECT_EQ(b->TipToolCount(), 0) << k;
            EXPECT_TRUE(b->GetToolTipText().empty()) << k;
        } else {
            // 255: a plain owner-drawn button.
            EXPECT_EQ(b, nullptr);
            EXPECT_TRUE(dynamic_cast<COwnerDrawButton *>(w));
            EXPECT_EQ(w->GetSize(), templateSize);
            EXPECT_TRUE(w->GetToolTipText().empty());
        }
    }
    // The 16th place of the last row is empty space.
    const wxPoint last = dlg->ConvertDialogToPixels(wxPoint(7 + 9 * 15, 4 + 12 * 15)) + wxPoint(4, 4);
    for (wxWindow *w : dlg->GetChildren())
        EXPECT_FALSE(w->GetRect().Contains(last)) << w->GetId();
    EXPECT_EQ(dlg->GetChildren().size(), size_t(kPaletteCells));
    EXPECT_EQ(dlg->GetClientSize(), dlg->ConvertDialogToPixels(wxSize(159, 201)));
}

TEST_F(Palette, RefusedFontLinkKeepsThePaletteClosed)
{
    // Another font is linked to the form's face; the user declines to
    // replace it, at start and at the click.
    ProfileFile(EudcRecordPath(), true).WriteString("EUDC", EudcFaceKey(), "/usr/share/fonts/other.tte");
    Start();
    const size_t atStart = ui->boxes.size();
    ClickEmoji();
    ASSERT_GT(ui->boxes.size(), atStart);
    EXPECT_EQ(ui->boxes.back().kind, BoxKind::Japanese);
    EXPECT_EQ(Dlg(), nullptr);
    EXPECT_EQ(Palettes(), 0);
}

TEST_F(Palette, NeverOpenedLeavesTheStoredPlacementAlone)
{
    StorePos("1:2:3:4:5:6:7:8:9:10");
    Start();
    Quit();
    EXPECT_EQ(StoredPos(), "1:2:3:4:5:6:7:8:9:10");
}

TEST_F(Palette, HiddenBeforeQuittingStoresWhereItWasHidden)
{
    Start();
    ClickEmoji();
    CEmojiDlg *dlg = Dlg();
    ASSERT_TRUE(dlg);
    dlg->Move(640, 10);
    testenv::Pump();
    const wxRect r = dlg->GetRect();
    ASSERT_EQ(r.GetPosition(), wxPoint(640, 10));
    dlg->Close();
    testenv::Pump();
    ASSERT_FALSE(dlg->IsShown());
    Quit();
    EXPECT_EQ(StoredPos(), "0:1:-1:-1:-1:-1:640:10:" + std::to_string(640 + r.width) + ":" +
                               std::to_string(10 + r.height));
}

struct PosCase {
    const char *stored;
    bool moves;
    wxPoint at;
};

class StoredPlacement : public Palette, public ::testing::WithParamInterface<PosCase> {};

TEST_P(StoredPlacement, MovesThePaletteOrIsIgnored)
{
    // Where a palette shows without a stored placement.
    Start();
    ClickEmoji();
    ASSERT_TRUE(Dlg());
    const wxRect unplaced = Dlg()->GetRect();
    Stop();

    const PosCase &c = GetParam();
    std::string text = c.stored;
    // The stored size is the palette's own.
    const std::string size = std::to_string(unplaced.width) + ":" + std::to_string(unplaced.height);
    if (size_t at = text.find("W:H"); at != std::string::npos)
        text.replace(at, 3, std::to_string(c.at.x + unplaced.width) + ":" + std::to_string(c.at.y + unplaced.height));
    StorePos(text);
    Start();
    ClickEmoji();
    ASSERT_TRUE(Dlg());
    EXPECT_TRUE(ui->boxes.empty());
    if (c.moves)
        EXPECT_EQ(Dlg()->GetRect(), wxRect(c.at, unplaced.GetSize())) << text;
    else
        EXPECT_EQ(Dlg()->GetRect(), unplaced) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredPlacement,
    ::testing::Values(PosCase{"0:1:-1:-1:-1:-1:300:200:W:H", true, {300, 200}},
                      // Off the screen: taken as stored.
                      PosCase{"0:1:-1:-1:-1:-1:-2000:-1500:W:H", true, {-2000, -1500}},
                      // More than ten numbers: the first ten count.
                      PosCase{"0:1:-1:-1:-1:-1:0x12c:0310:W:H:77:88", true, {300, 200}},
                      // A rectangle with no size: moved, the size kept.
                      PosCase{"0:1:-1:-1:-1:-1:300:200:100:100", true, {300, 200}},
                      // Nine numbers, or text that is no number: ignored.
                      PosCase{"0:1:-1:-1:-1:-1:300:200:900", false, {}},
                      PosCase{"left:top:right:bottom", false, {}}));

// ------------------------------------------------------------------ insertion

TEST_F(Palette, RightAfterStartAPictographGoesIntoTheBody)
{
    Start();
    ClickEmoji();
    ClickCell(1);
    EXPECT_EQ(Body()->GetTextBytes(), Code(1));
    EXPECT_EQ(Subject()->GetTextBytes(), "");
    EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == Body(); }));
    long from = -1, to = -1;
    Body()->GetSel(from, to);
    EXPECT_EQ(from, 2);
    EXPECT_EQ(to, 2);
    // The palette stays open.
    EXPECT_TRUE(Dlg()->IsShown());
}

TEST_F(Palette, TheFieldFocusedLastTakesItEvenAfterTheToField)
{
    Start();
    ASSERT_TRUE(Focus(Subject()));
    EXPECT_TRUE(g_bSubjectFocus);
    auto *to = dynamic_cast<wxComboBox *>(View()->FindWindow(1035));
    to->SetFocus();
    ASSERT_TRUE(WaitFor([&] { return wxWindow::FindFocus() != Subject(); }));
    ClickEmoji();
    ClickCell(2);
    EXPECT_EQ(Subject()->GetTextBytes(), Code(2));
    EXPECT_EQ(Body()->GetTextBytes(), "");
    EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == Subject(); }));

    // Focusing the body after the subject: the next one goes into the body.
    ASSERT_TRUE(Focus(Body()));
    ClickCell(3);
    EXPECT_EQ(Body()->GetTextBytes(), Code(3));
    EXPECT_EQ(Subject()->GetTextBytes(), Code(2));
}

TEST_F(Palette, ReplacesTheSelectionInClickOrderAndCannotBeUndone)
{
    Start();
    ASSERT_TRUE(Focus(Body()));
    Body()->SetTextBytes("abcdef");
    Body()->SetSel(1, 4);
    Body()->ReplaceSel("x", true);
    Body()->SetSel(1, 2);
    ASSERT_TRUE(Body()->CanUndoEdit());
    ClickEmoji();
    for (int k : {1, 2, 3}) {
        ClickCell(k);
        // The compose window is active again, the caret behind the new one.
        EXPECT_TRUE(WaitFor([&] { return app.MainFrame()->IsActive() && wxWindow::FindFocus() == Body(); })) << k;
        long from = -1, to = -1;
        Body()->GetSel(from, to);
        EXPECT_EQ(from, 1 + 2 * k) << k;
        EXPECT_EQ(to, from) << k;
    }
    EXPECT_EQ(Body()->GetTextBytes(), "a" + Code(1) + Code(2) + Code(3) + "ef");
    EXPECT_FALSE(Body()->CanUndoEdit());
}

TEST_F(Palette, CellsWithoutPictographFocusTheBodyAndInsertNothing)
{
    Start();
    ClickEmoji();
    for (int k : {253, 254}) {
        ASSERT_TRUE(Focus(Subject()));
        ClickCell(k);
        EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == Body(); })) << k;
        EXPECT_EQ(Body()->GetTextBytes(), "") << k;
        EXPECT_EQ(Subject()->GetTextBytes(), "") << k;
    }
    // Anything else the view is handed inserts nothing either.
    for (uintptr_t index : {uintptr_t(0), uintptr_t(255), uintptr_t(0x10001), ~uintptr_t(0)}) {
        ASSERT_TRUE(Focus(Subject()));
        EXPECT_EQ(View()->OnInsertEmoji(index, 0), 0);
        EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == Body(); })) << index;
    }
    EXPECT_EQ(Body()->GetTextBytes(), "");
    EXPECT_EQ(Subject()->GetTextBytes(), "");
    // Cell 255 does nothing at all.
    ASSERT_TRUE(Focus(Subject()));
    ClickCell(255);
    EXPECT_EQ(wxWindow::FindFocus(), Subject());
    EXPECT_EQ(Subject()->GetTextBytes(), "");
}

TEST_F(Palette, AnInsertedPictographIsColouredAndCountedAsIfTyped)
{
    Start();
    ClickEmoji();
    // Body: "晴れ" is red, "曇り" blue; two full-width characters.
    ClickCell(1);
    ClickCell(2);
    EXPECT_EQ(Body()->GetCharColour(0), wxColour(255, 0, 0));
    EXPECT_EQ(Body()->GetCharColour(2), wxColour(0, 0, 255));
    EXPECT_EQ(View()->Count(), 2u);
    EXPECT_EQ(dynamic_cast<wxTextCtrl *>(View()->FindWindow(1014))->GetValue(), "2");
    // Subject: coloured too, and the body's count stays.
    ASSERT_TRUE(Focus(Subject()));
    ClickCell(1);
    EXPECT_EQ(Subject()->GetCharColour(0), wxColour(255, 0, 0));
    EXPECT_EQ(View()->Count(), 2u);
}

} // namespace
