// What the subject, body and count fields draw and take in, read back from
// the widgets themselves: the body's drawn lines (no hyphen that is not in
// the text), the count fields' numbers whole, and text CP932 cannot hold
// shown as "?" as soon as it enters.
#include "app/main_frame.h"
#include "app/tegamiya_app.h"
#include "compose/field_text.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/image.h>
#include <wx/textctrl.h>

using testenv::Sjis;
using testenv::WaitFor;

namespace {

bool SameImage(const wxImage &a, const wxImage &b)
{
    return a.GetSize() == b.GetSize() &&
           std::equal(a.GetData(), a.GetData() + 3 * a.GetWidth() * a.GetHeight(), b.GetData());
}

class Fields : public testenv::ProgramTest {
protected:
    void Start(const std::string &ini = "")
    {
        if (!ini.empty())
            testenv::WriteFile(home.Documents() / "Tegamiya/Tegamiya.ini", ini);
        ASSERT_TRUE(app.InitInstance());
        testenv::Pump();
    }
    CTegamiyaView *View() { return app.MainFrame()->View(); }
    wxTextCtrl *Field(int id) { return dynamic_cast<wxTextCtrl *>(View()->FindWindow(id)); }
    void ChooseCarrier(const char *name)
    {
        auto *c = dynamic_cast<wxChoice *>(View()->FindWindow(1023));
        ASSERT_TRUE(c->SetStringSelection(name)) << name;
        wxCommandEvent ev(wxEVT_CHOICE, 1023);
        ev.SetEventObject(c);
        ev.SetInt(c->GetSelection());
        c->ProcessWindowEvent(ev);
    }
    // Lets the text view lay out and draw what it holds: waits until the
    // body's view has been drawn after the last change (GTK lays the shown
    // lines out before it draws them).
    void Settle()
    {
        GtkWidget *view = View()->BodyField()->GetConnectWidget();
        int draws = 0;
        gulong id = g_signal_connect(view, "draw", G_CALLBACK(+[](GtkWidget *, cairo_t *, gpointer count) {
            ++*static_cast<int *>(count);
            return FALSE;
        }), &draws);
        View()->BodyField()->Refresh();
        EXPECT_TRUE(WaitFor([&] { return draws > 0; })) << "the body was not drawn";
        g_signal_handler_disconnect(view, id);
        testenv::Pump();
    }
};

// With width 8, Pango drew "abcdefghijklmn-" and "opqrstuvwxyzab-": 14
// letters and a hyphen the text does not hold, where a phone shows 16.
TEST_F(Fields, BodyWrapsLettersSixteenALineWithoutHyphens)
{
    Start();
    app.MainFrame()->Move(0, 0);
    CBodyEdit *body = View()->BodyField();
    Field(1011)->SetFocus(); // no caret in the body while it is captured
    struct Case { const char *name; std::string text; };
    for (const Case &c : {Case{"letters", "abcdefghijklmnopqrstuvwxyz"},
                          Case{"capitals", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
                          Case{"digits", "12345678901234567890123456"}}) {
        body->SetTextBytes(c.text);
        Settle();
        // The drawn lines, from the widget's layout: 16, then 10.
        wxPoint first = body->PositionToCoords(0);
        for (long i = 1; i < 16; ++i)
            EXPECT_EQ(body->PositionToCoords(i).y, first.y) << c.name << " " << i;
        wxPoint second = body->PositionToCoords(16);
        EXPECT_GT(second.y, first.y) << c.name;
        EXPECT_EQ(second.x, first.x) << c.name;
        EXPECT_EQ(body->PositionToCoords(25).y, second.y) << c.name;
        wxImage wrapped = testenv::Capture(body);

        // The same pixels as the two lines broken by hand: nothing drawn
        // that the text does not hold.
        body->SetTextBytes(c.text.substr(0, 16) + "\r\n" + c.text.substr(16));
        Settle();
        EXPECT_TRUE(SameImage(testenv::Capture(body), wrapped)) << c.name;
    }
}

TEST_F(Fields, CountFieldsShowEveryNumberWhole)
{
    Start("[Keitai Vender]\r\nTwo=2\r\nPC=10000\r\nHuge=2147483647\r\n[Default]\r\nVender=PC\r\n");
    CBodyEdit *body = View()->BodyField();
    // Each field's number, measured in the font it is drawn with, against
    // the room the entry really gives its text, and the entry not scrolled.
    auto expectWhole = [&](int id, const std::string &what) {
        wxTextCtrl *f = Field(id);
        auto *entry = GTK_ENTRY(f->GetConnectWidget());
        PangoRectangle logical{};
        GdkRectangle area{};
        int x = 0, y = 0;
        auto measure = [&] {
            pango_layout_get_pixel_extents(gtk_entry_get_layout(entry), nullptr, &logical);
            gtk_entry_get_text_area(entry, &area);
            gtk_entry_get_layout_offsets(entry, &x, &y);
            return logical.width <= area.width && x >= area.x && x + logical.width <= area.x + area.width;
        };
        // GTK lays a changed entry out when it next draws it.
        WaitFor(measure);
        EXPECT_LE(logical.width, area.width) << id << " " << what;
        EXPECT_GE(x, area.x) << id << " " << what;
        EXPECT_LE(x + logical.width, area.x + area.width) << id << " " << what;
        int w = 0;
        f->GetTextExtent(f->GetValue(), &w, nullptr);
        EXPECT_LE(w, UsableTextWidth(f)) << id << " " << what;
    };
    Settle();
    EXPECT_EQ(Field(1013)->GetValue(), "10000");
    expectWhole(1013, "PC");
    // Up to five digits the numbers keep the form's font.
    EXPECT_EQ(Field(1013)->GetFont(), View()->GetFont());

    // Five-digit counts and mails: 20,000 bytes at limit 2 (parts of 2 bytes).
    ChooseCarrier("Two");
    body->SetTextBytes(std::string(20000, 'a'));
    Settle();
    EXPECT_EQ(Field(1014)->GetValue(), "10000");
    EXPECT_EQ(Field(1015)->GetValue(), "10000");
    for (int id : {1013, 1014, 1015})
        expectWhole(id, "limit 2");
    EXPECT_EQ(Field(1014)->GetFont(), View()->GetFont());
    EXPECT_EQ(Field(1015)->GetFont(), View()->GetFont());

    // The largest limit the settings can give: ten digits, whole in a
    // smaller size; back to the form's font for a short number.
    ChooseCarrier("Huge");
    Settle();
    EXPECT_EQ(Field(1013)->GetValue(), "2147483647");
    expectWhole(1013, "huge");
    EXPECT_LT(Field(1013)->GetFont().GetFractionalPointSize(), View()->GetFont().GetFractionalPointSize());
    ChooseCarrier("Two");
    Settle();
    EXPECT_EQ(Field(1013)->GetValue(), "2");
    EXPECT_EQ(Field(1013)->GetFont(), View()->GetFont());
}

TEST(EnteredText, ShowsAsCp932HoldsIt)
{
    const std::pair<const char *, const char *> cases[] = {
        {"abc", "abc"},
        {"漢字ｶﾅ\n", "漢字ｶﾅ\n"},
        {"é", "?"},
        {"a€b", "a?b"},
        {"😀", "?"},
        {"e\xCC\x81", "e?"},           // a combining accent
        {"〜", "～"},                   // the wave dash CP932 holds as the full-width tilde
        {"\xEE\x98\xBE", "\xEE\x98\xBE"}, // a pictograph (user-defined area)
        {"", ""},
    };
    for (auto [in, shown] : cases)
        EXPECT_EQ(AsCp932Shows(in), shown) << in;
}

TEST_F(Fields, TextCp932CannotHoldShowsAsQuestionMarks)
{
    Start();
    CBodyEdit *body = View()->BodyField();
    CSubjectEdit *subject = View()->SubjectField();
    auto caret = [](CRichEdit *f) {
        long s = 0, e = 0;
        f->GetSel(s, e);
        return s;
    };

    // Typed and committed by an input method: both insert at the caret.
    body->SetTextBytes("xy");
    body->SetSel(1, 1);
    g_signal_emit_by_name(body->GetConnectWidget(), "insert-at-cursor", "é€😀漢");
    EXPECT_EQ(body->GetValue().utf8_string(), "x???漢y");
    EXPECT_EQ(body->GetTextBytes(), "x???\x8A\xBFy");
    EXPECT_EQ(View()->Body(), "x???\x8A\xBFy");
    EXPECT_EQ(View()->Count(), 3u); // 7 bytes
    EXPECT_EQ(caret(body), 6);      // behind what was typed
    EXPECT_TRUE(body->CanUndoEdit());
    body->UndoEdit();
    EXPECT_EQ(body->GetTextBytes(), "xy");

    // Pasted into the body.
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8("1é2\n3😀")));
    wxTheClipboard->Close();
    body->SetTextBytes("");
    body->Paste();
    ASSERT_TRUE(WaitFor([&] { return !body->GetValue().empty(); }));
    EXPECT_EQ(body->GetValue().utf8_string(), "1?2\n3?");
    EXPECT_EQ(body->GetTextBytes(), "1?2\r\n3?");
    EXPECT_EQ(caret(body), 7);

    // The subject: typed, and pasted as one line.
    subject->SetTextBytes("re:");
    subject->SetSel(3, 3);
    g_signal_emit_by_name(subject->GetConnectWidget(), "insert-at-cursor", "café");
    EXPECT_EQ(subject->GetValue().utf8_string(), "re:caf?");
    EXPECT_EQ(caret(subject), 7);
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8("€5")));
    wxTheClipboard->Close();
    subject->Paste();
    ASSERT_TRUE(WaitFor([&] { return subject->GetValue().length() == 9; }));
    EXPECT_EQ(subject->GetTextBytes(), "re:caf??5");
    EXPECT_EQ(caret(subject), 9);
    EXPECT_TRUE(ui->boxes.empty());
}

} // namespace
