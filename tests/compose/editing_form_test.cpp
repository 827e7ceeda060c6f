// The compose form's editing commands, right-button menus, file drops and
// external tools on real windows, with the fake mail library and every
// message box, file dialog and program start scripted.
#include "app/paths.h"
#include "app/web_site.h"
#include "form_fixture.h"
#include "lnk_writer.h"

#include <wx/dialog.h>
#include <wx/dnd.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/toolbar.h>

using namespace formtest;

void InstallWxUi(); // app/wx_ui.h (its Sjis would clash with the tests')

namespace {

const unsigned kAppBox = MB_OK | MB_ICONWARNING;
const char *const kRefused = "テキスト(.txt)、JPG(.jpg, .jpeg) ファイル以外のファイルはドロップできません。";
const char *const kCannotStart = "実行できません。パスが正しくない可能性があります。";

class Editing : public Form {
protected:
    void SetUp() override
    {
        Form::SetUp();
        CTegamiyaView::s_findOutboxWindow = [this] { return outbox; };
        CTegamiyaView::s_findDesktopMailClient = [this] { return desktop; };
    }
    void TearDown() override
    {
        Form::TearDown();
        CTegamiyaView::s_findOutboxWindow = m_savedOutbox;
        CTegamiyaView::s_findDesktopMailClient = m_savedDesktop;
    }
    std::string outbox, desktop;
    std::function<std::string()> m_savedOutbox = CTegamiyaView::s_findOutboxWindow;
    std::function<std::string()> m_savedDesktop = CTegamiyaView::s_findDesktopMailClient;

    // Starts the program and gives its window the display's focus with a
    // real click into the body, so that focus changes are reported.
    void Start()
    {
        Form::Start();
        wxUIActionSimulator sim;
        sim.MouseMove(Body()->GetScreenPosition() + wxPoint(10, 10));
        sim.MouseClick();
        Body()->SetFocus();
        ASSERT_TRUE(WaitFor([&] { return Body()->HasFocus() && !g_bSubjectFocus; }));
    }
    CBodyEdit *Body() { return View()->BodyField(); }
    CSubjectEdit *Subject() { return View()->SubjectField(); }

    bool Enabled(int id)
    {
        wxUpdateUIEvent ev(id);
        ev.SetEventObject(app.MainFrame());
        app.MainFrame()->ProcessWindowEvent(ev);
        return ev.GetSetEnabled() && ev.GetEnabled();
    }
    void Focus(wxWindow *w)
    {
        w->SetFocus();
        ASSERT_TRUE(WaitFor([&] { return w->HasFocus(); }));
    }
    void SetClipboard(const wxString &text)
    {
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->SetData(new wxTextDataObject(text));
        wxTheClipboard->Close();
        ASSERT_TRUE(WaitFor([] { return CTegamiyaView::ClipboardHasText(); }));
    }
    wxString Clipboard()
    {
        wxString text;
        if (wxTheClipboard->Open()) {
            wxTextDataObject data;
            if (wxTheClipboard->GetData(data))
                text = data.GetText();
            wxTheClipboard->Close();
        }
        return text;
    }
    // A drop through the form's drop target (or a field's), with real paths.
    void Drop(const std::vector<fs::path> &files, wxWindow *on = nullptr)
    {
        wxWindow *w = on ? on : View();
        auto *target = dynamic_cast<wxFileDropTarget *>(w->GetDropTarget());
        ASSERT_NE(target, nullptr);
        wxArrayString names;
        for (const fs::path &f : files)
            names.Add(wxString::FromUTF8(f.string()));
        ASSERT_TRUE(target->OnDropFiles(5, 5, names));
        testenv::Pump();
    }
    fs::path File(const std::string &name, const std::string &bytes)
    {
        fs::path p = home.Path() / name;
        testenv::WriteFile(p, bytes);
        return p;
    }
};

TEST_F(Editing, CommandsActOnTheFieldFocusedLastAndUndoFollowsTheBody)
{
    Start();
    Subject()->SetTextBytes("abc");
    Body()->SetTextBytes("body");
    Focus(Subject());
    Subject()->SetSel(0, 2);
    // The To box takes the focus; the subject stays the target.
    Focus(Ctl<wxComboBox>(1035));
    EXPECT_TRUE(g_bSubjectFocus);
    EXPECT_TRUE(Enabled(ID_EDIT_CUT));
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO)); // the body has nothing to undo
    Command(ID_EDIT_CUT);
    EXPECT_EQ(Subject()->GetTextBytes(), "c");
    EXPECT_EQ(Clipboard(), "ab");
    EXPECT_EQ(Ctl<wxComboBox>(1035)->GetValue(), "");
    EXPECT_TRUE(Subject()->HasFocus());
    // The subject can undo its cut, but the command follows the body.
    EXPECT_TRUE(Subject()->CanUndoEdit());
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    Body()->ReplaceSel("!", true);
    EXPECT_TRUE(Enabled(ID_EDIT_UNDO));
    Command(ID_EDIT_UNDO); // acts on the target: the subject
    EXPECT_EQ(Subject()->GetTextBytes(), "abc");
    EXPECT_EQ(Body()->GetTextBytes(), "!body");

    // Select all and copy on the subject, then on the body.
    Command(ID_EDIT_SELECT_ALL);
    Command(ID_EDIT_COPY);
    EXPECT_EQ(Clipboard(), "abc");
    Focus(Body());
    EXPECT_FALSE(g_bSubjectFocus);
    Command(ID_EDIT_SELECT_ALL);
    Command(ID_EDIT_CUT);
    EXPECT_EQ(Clipboard(), "!body");
    EXPECT_EQ(Field(1014), "0");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Body()->GetTextBytes(), "!body");
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Editing, EachCommandIsEnabledByItsRule)
{
    Start();
    struct State {
        const char *what;
        std::function<void()> make;
        bool cut, strip, selectAll, undo;
    };
    const State states[] = {
        {"empty body", [&] { Body()->SetTextBytes(""); }, false, false, false, false},
        {"body, no selection", [&] { Body()->SetTextBytes("ab"); }, false, false, true, false},
        {"body selection", [&] { Body()->SetTextBytes("ab"); Body()->SetSel(0, 1); }, true, true, true, false},
        {"undoable body", [&] { Body()->SetSel(0, 0); Body()->ReplaceSel("x", true); }, false, false, true, true},
        {"subject selection, body empty",
         [&] { Body()->SetTextBytes(""); Subject()->SetTextBytes("s"); Subject()->SetSel(0, 1); g_bSubjectFocus = true; },
         true, false, false, false},
        {"subject target without selection, body selection",
         [&] { Body()->SetTextBytes("ab"); Body()->SetSel(0, 2); Subject()->SetSel(0, 0); g_bSubjectFocus = true; },
         false, true, true, false},
    };
    for (const State &s : states) {
        g_bSubjectFocus = false;
        s.make();
        EXPECT_EQ(Enabled(ID_EDIT_CUT), s.cut) << s.what;
        EXPECT_EQ(Enabled(ID_EDIT_COPY), s.cut) << s.what;
        EXPECT_EQ(Enabled(ID_EDIT_STRIP_BLANKS), s.strip) << s.what;
        EXPECT_EQ(Enabled(ID_EDIT_SELECT_ALL), s.selectAll) << s.what;
        EXPECT_EQ(Enabled(ID_EDIT_UNDO), s.undo) << s.what;
        EXPECT_TRUE(Enabled(1124)) << s.what;
    }
    // Paste: exactly while the clipboard holds text.
    SetClipboard("t");
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->Clear();
    wxTheClipboard->Close();
    EXPECT_TRUE(WaitFor([&] { return !Enabled(ID_EDIT_PASTE); }));
    // The toolbar follows.
    SetClipboard("t");
    app.MainFrame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_TRUE(app.MainFrame()->GetToolBar()->GetToolEnabled(ID_EDIT_PASTE));
    EXPECT_FALSE(app.MainFrame()->GetToolBar()->GetToolEnabled(ID_EDIT_CUT));
}

TEST_F(Editing, PastedTextBeyondTwiceTheLimitTurnsRed)
{
    WriteIni("[Keitai Vender]\nShort=250\n[Default]\nVender=Short\n");
    Start();
    Focus(Body());
    SetClipboard(wxString(600, 'a'));
    Command(ID_EDIT_PASTE);
    ASSERT_EQ(Body()->GetTextLengthBytes(), 600);
    for (long at : {0L, 499L})
        EXPECT_EQ(Body()->GetCharColour(at), wxColour()) << at;
    for (long at : {500L, 599L})
        EXPECT_EQ(Body()->GetCharColour(at), wxColour(255, 0, 0)) << at;
    long s = 0, e = 0;
    Body()->GetSel(s, e);
    EXPECT_EQ(s, 600);
    EXPECT_EQ(e, 600);
    EXPECT_EQ(Field(1014), "300");
    // The paste is one step to undo.
    EXPECT_TRUE(Body()->CanUndoEdit());

    // 400 bytes: nothing red, and the text typed next is automatic.
    Body()->SetTextBytes("");
    Body()->SetCharColour(0, 0, wxColour(1, 2, 3));
    SetClipboard(wxString(400, 'b'));
    Command(ID_EDIT_PASTE);
    ASSERT_EQ(Body()->GetTextLengthBytes(), 400);
    EXPECT_EQ(Body()->GetCharColour(399), wxColour(1, 2, 3)); // pasted with the colour in force
    EXPECT_EQ(Body()->GetInsertColour(), wxColour());

    // Line breaks of other systems arrive as the body's own.
    Body()->SetTextBytes("");
    SetClipboard("a\r\nb\rc\nd");
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(Body()->GetTextBytes(), "a\r\nb\r\nc\r\nd");
}

TEST_F(Editing, PasteGoesToTheFocusedAddressField)
{
    Start();
    SetClipboard("taro@docomo.ne.jp");
    for (int id : {1035, 1011, 1016}) {
        wxWindow *w = View()->FindWindow(id);
        Focus(w);
        Command(ID_EDIT_PASTE);
        auto *entry = dynamic_cast<wxTextEntry *>(w);
        ASSERT_TRUE(WaitFor([&] { return entry->GetValue() == "taro@docomo.ne.jp"; })) << id;
    }
    EXPECT_EQ(Body()->GetTextBytes(), "");
    // Into the focused subject: its first line only, nothing red.
    SetClipboard("re\nmore");
    Focus(Subject());
    Command(ID_EDIT_PASTE);
    ASSERT_TRUE(WaitFor([&] { return Subject()->GetTextBytes() == "re"; })) << Subject()->GetTextBytes();
    EXPECT_EQ(Body()->GetTextBytes(), "");
}

TEST_F(Editing, RemovingBlanksKeepsTheSelectionOnTheClipboardAndCanBeUndone)
{
    Start();
    Focus(Body());
    std::string text = "Xa b\tc\r\n\x81\x40Y";
    Body()->SetTextBytes(text);
    Body()->SetSel(1, static_cast<long>(text.size()) - 1);
    ASSERT_TRUE(Enabled(ID_EDIT_STRIP_BLANKS));
    Command(ID_EDIT_STRIP_BLANKS);
    EXPECT_EQ(Body()->GetTextBytes(), "XabcY");
    EXPECT_EQ(View()->Body(), "XabcY");
    EXPECT_EQ(Field(1014), "2");
    EXPECT_EQ(Clipboard(), wxString::FromUTF8("a b\tc\n　"));
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Body()->GetTextBytes(), text);
}

TEST_F(Editing, ClearEmptiesTheBody)
{
    Start();
    Body()->SetTextBytes(Kanji(300));
    Command(1124);
    EXPECT_EQ(Body()->GetTextBytes(), "");
    EXPECT_EQ(Field(1014), "0");
    EXPECT_EQ(Field(1015), "1");
}

TEST_F(Editing, RightButtonShowsTheEditMenuInsteadOfGtksOwn)
{
    Start();
    Body()->SetTextBytes("ab");
    std::vector<std::pair<std::string, bool>> items;
    int opened = 0;
    int menuKey = WXK_ESCAPE; // what closes the menu once it is seen
    wxUIActionSimulator sim;
    auto onOpen = [&](wxMenuEvent &e) {
        wxMenu *menu = e.GetMenu();
        if (!menu || !e.IsPopup())
            return;
        // Once the menu has been brought up to date: its items, then it is
        // closed again.
        wxTheApp->CallAfter([&, menu] {
            items.clear();
            for (wxMenuItem *it : menu->GetMenuItems())
                items.emplace_back(it->IsSeparator() ? "-" : it->GetItemLabel().utf8_string(),
                                   !it->IsSeparator() && it->IsEnabled());
            ++opened;
            sim.Char(menuKey);
        });
    };
    app.MainFrame()->Bind(wxEVT_MENU_OPEN, onOpen);
    for (wxWindow *field : {static_cast<wxWindow *>(Body()), static_cast<wxWindow *>(Subject())}) {
        int before = opened;
        sim.MouseMove(field->GetScreenPosition() + wxPoint(6, 6));
        ASSERT_TRUE(WaitFor([&] { return true; }));
        sim.MouseClick(wxMOUSE_BTN_RIGHT);
        ASSERT_TRUE(WaitFor([&] { return opened > before; }));
        // The click gave the field the focus, and so the target.
        ASSERT_TRUE(WaitFor([&] { return field->HasFocus(); }));
        EXPECT_EQ(g_bSubjectFocus, field == Subject());
        const std::vector<std::pair<std::string, bool>> want = {
            {"すべて選択(L&)\tCtrl+A", true}, {"-", false},
            {"切り取り(&T)\tCtrl+X", false},  {"コピー(&C)\tCtrl+C", false},
            {"貼り付け(&P)\tCtrl+V", CTegamiyaView::ClipboardHasText()}, {"-", false},
            {"空白, タブ, 改行を削除(&D)\tCtrl+D", false}, {"-", false},
            {"元に戻す(&U)\tCtrl+Z", false},
        };
        EXPECT_EQ(items, want);
        testenv::Pump();
    }
    // The menu key and Shift+F10 open the same menu (GTK's never).
    for (wxWindow *field : {static_cast<wxWindow *>(Body()), static_cast<wxWindow *>(Subject())}) {
        Focus(field);
        for (int mods : {wxMOD_NONE, wxMOD_SHIFT}) {
            int before = opened;
            sim.Char(mods == wxMOD_SHIFT ? WXK_F10 : WXK_MENU, mods);
            EXPECT_TRUE(WaitFor([&] { return opened > before; })) << mods;
            ASSERT_FALSE(items.empty());
            EXPECT_EQ(items[0].first, "すべて選択(L&)\tCtrl+A");
            testenv::Pump();
        }
    }
    // Paste chosen from the subject's menu goes into the subject, not the
    // body (the menu has the focus while its command runs).
    SetClipboard("pp");
    Subject()->SetTextBytes("s");
    menuKey = 'p';
    sim.MouseMove(Subject()->GetScreenPosition() + wxPoint(6, 6));
    testenv::Pump();
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    EXPECT_TRUE(WaitFor([&] { return Subject()->GetTextBytes().size() == 3; })) << Subject()->GetTextBytes();
    EXPECT_EQ(Body()->GetTextBytes(), "ab");
    app.MainFrame()->Unbind(wxEVT_MENU_OPEN, onOpen);
    EXPECT_EQ(opened, 7);
}

// Real key presses through the X server: each accelerator acts once (ours,
// not also the focused field's own binding) and on the field its rule names.
TEST_F(Editing, RealAcceleratorsActOnceOnTheRightField)
{
    Start();
    wxUIActionSimulator sim;
    auto *cc = Ctl<wxTextCtrl>(1011);
    auto *to = Ctl<wxComboBox>(1035);
    // The To box's selected text (GetStringSelection is its list's).
    auto toSelected = [&] {
        long from = 0, end = 0;
        to->GetSelection(&from, &end);
        return to->GetValue().Mid(from, end - from);
    };
    auto HasSel = [](CRichEdit *field) {
        long from = 0, end = 0;
        field->GetSel(from, end);
        return from != end;
    };
    struct Case {
        const char *what;
        int key, mods;
        std::function<void()> before;
        std::function<bool()> done; // the state after one action
    };
    const Case cases[] = {
        {"Ctrl+V", 'V', wxMOD_CONTROL, [&] { Body()->SetTextBytes("ab"); Body()->SetSel(2, 2); SetClipboard("xy"); },
         [&] { return Body()->GetTextBytes() == "abxy"; }},
        {"Shift+Insert", WXK_INSERT, wxMOD_SHIFT,
         [&] { Body()->SetTextBytes("ab"); Body()->SetSel(2, 2); SetClipboard("xy"); },
         [&] { return Body()->GetTextBytes() == "abxy"; }},
        // A second undo would redo: twice is the same as not at all.
        {"Ctrl+Z", 'Z', wxMOD_CONTROL, [&] { Body()->SetTextBytes("ab"); Body()->SetSel(2, 2); Body()->ReplaceSel("!", true); },
         [&] { return Body()->GetTextBytes() == "ab"; }},
        // A word typed is one step, as the platform's rich edit has it.
        {"Ctrl+Z after typing", 'Z', wxMOD_CONTROL,
         [&] {
             Body()->SetTextBytes("ab");
             Body()->SetSel(2, 2);
             sim.Text("xyz");
             ASSERT_TRUE(WaitFor([&] { return Body()->GetTextBytes() == "abxyz"; }));
         },
         [&] { return Body()->GetTextBytes() == "ab"; }},
        {"Alt+Backspace", WXK_BACK, wxMOD_ALT,
         [&] { Body()->SetTextBytes("ab"); Body()->SetSel(2, 2); Body()->ReplaceSel("!", true); },
         [&] { return Body()->GetTextBytes() == "ab"; }},
        {"Ctrl+X", 'X', wxMOD_CONTROL, [&] { Body()->SetTextBytes("abc"); Body()->SetSel(0, 2); },
         [&] { return Body()->GetTextBytes() == "c" && Clipboard() == "ab"; }},
        {"Shift+Delete", WXK_DELETE, wxMOD_SHIFT, [&] { Body()->SetTextBytes("abc"); Body()->SetSel(1, 3); },
         [&] { return Body()->GetTextBytes() == "a" && Clipboard() == "bc"; }},
        {"Ctrl+Insert", WXK_INSERT, wxMOD_CONTROL, [&] { Body()->SetTextBytes("abc"); Body()->SetSel(1, 2); },
         [&] { return Body()->GetTextBytes() == "abc" && Clipboard() == "b"; }},
        // In CC: paste goes there.
        {"Ctrl+V in CC", 'V', wxMOD_CONTROL, [&] { Focus(cc); cc->SetValue("a@b"); cc->SetInsertionPointEnd(); SetClipboard("c"); },
         [&] { return cc->GetValue() == "a@bc" && Body()->GetTextBytes() == "abc"; }},
        // In a one-line box select-all is the box's own, as on the whole
        // desktop: the focus stays, the subject keeps its caret.
        {"Ctrl+A in CC", 'A', wxMOD_CONTROL,
         [&] { Subject()->SetTextBytes("subj"); Focus(Subject()); Subject()->SetSel(1, 1); Focus(cc); cc->SetValue("a@b"); cc->SetSelection(0, 0); },
         [&] { return cc->HasFocus() && cc->GetStringSelection() == "a@b" && !HasSel(Subject()); }},
        {"Ctrl+A in To", 'A', wxMOD_CONTROL,
         [&] { Body()->SetSel(0, 0); Focus(to); to->SetValue("t@z"); to->SetSelection(0, 0); },
         [&] { return to->HasFocus() && toSelected() == "t@z" && !HasSel(Body()); }},
        // From anywhere else it is the menu's: the target field.
        {"Ctrl+A on a button", 'A', wxMOD_CONTROL,
         [&] { Focus(Subject()); Focus(Body()); Body()->SetSel(0, 0); Focus(View()->FindWindow(1021)); },
         [&] { return HasSel(Body()); }},
    };
    for (const Case &c : cases) {
        Focus(Body());
        c.before();
        testenv::Pump();
        sim.Char(c.key, c.mods);
        EXPECT_TRUE(WaitFor(c.done)) << c.what << ": " << Body()->GetTextBytes();
        testenv::Pump();
        EXPECT_TRUE(c.done()) << c.what << " afterwards: " << Body()->GetTextBytes();
    }

    // Ctrl+A then typing in To replaces the To text; the body stays.
    Body()->SetTextBytes("body");
    Focus(to);
    to->SetValue("old@x");
    sim.Char('A', wxMOD_CONTROL);
    ASSERT_TRUE(WaitFor([&] { return toSelected() == "old@x"; }));
    sim.Text("n@y");
    EXPECT_TRUE(WaitFor([&] { return to->GetValue() == "n@y"; })) << to->GetValue();
    EXPECT_EQ(Body()->GetTextBytes(), "body");

    // The middle button pastes the selection: the subject takes its first
    // line only, as from the clipboard.
    Body()->SetTextBytes("one\r\ntwo");
    Focus(Body());
    Body()->SetSel(0, -1);
    Subject()->SetTextBytes("");
    sim.MouseMove(Subject()->GetScreenPosition() + wxPoint(6, 6));
    testenv::Pump();
    sim.MouseClick(wxMOUSE_BTN_MIDDLE);
    EXPECT_TRUE(WaitFor([&] { return Subject()->GetTextBytes() == "one"; })) << Subject()->GetTextBytes();
    testenv::Pump();
    EXPECT_EQ(Subject()->GetTextBytes(), "one");
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Editing, TextFilesDroppedAnywhereBecomeTheBody)
{
    WriteIni("[Default]\nEnable Width=OFF\n");
    Start();
    // The width was off at start: checked by hand, then a drop applies the
    // stored switch again.
    Click(Ctl<wxCheckBox>(1018));
    ProfileFile(IniPath().string()).WriteString("Default", "Enable Width", "OFF");
    fs::path lf = File("lf.txt", "one\ntwo\n");
    Drop({lf});
    EXPECT_EQ(View()->Body(), "one\r\ntwo\r\n");
    EXPECT_FALSE(Ctl<wxCheckBox>(1018)->GetValue());
    EXPECT_FALSE(Ctl<wxTextCtrl>(1019)->IsEnabled());
    EXPECT_FALSE(View()->WidthSpin()->IsEnabled());

    struct Case { const char *name; std::string bytes; std::string body; };
    const Case cases[] = {
        {"crlf.txt", "one\r\ntwo", "one\r\ntwo"},
        {"long.txt", std::string(20000, 'x'), std::string(10240, 'x')},
        {"utf8.txt", "\xE6\xBC\xA2\xE5\xAD\x97\n", "\x8A\xBF\x8E\x9A\r\n"},
        // Every byte a line break: the widened text is twice as long, whole.
        {"breaks.txt", std::string(10240, '\n'), [] {
             std::string s;
             for (int i = 0; i < 10240; ++i)
                 s += "\r\n";
             return s;
         }()},
    };
    ProfileFile(IniPath().string()).WriteString("Default", "Enable Width", "ON");
    for (const Case &c : cases) {
        Drop({File(c.name, c.bytes)});
        EXPECT_EQ(View()->Body(), c.body) << c.name;
    }
    EXPECT_TRUE(Ctl<wxCheckBox>(1018)->GetValue());
    EXPECT_TRUE(View()->WidthSpin()->IsEnabled());
    EXPECT_EQ(Field(1014), "10240");

    // Onto the fields: the same, never the file's address as text.
    for (int id : {1053, 1034, 1035, 1011, 1016}) {
        Drop({File("field.txt", "f")}, View()->FindWindow(id));
        EXPECT_EQ(View()->Body(), "f") << id;
        Body()->SetTextBytes("");
    }
    EXPECT_EQ(Subject()->GetTextBytes(), "");
    EXPECT_EQ(Ctl<wxComboBox>(1035)->GetValue(), "");
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Editing, OtherDropsAreRefusedOrAttached)
{
    Start();
    Body()->SetTextBytes("kept");
    // A real baseline JPEG: the preview decodes what is attached.
    fs::path photo = home.Path() / "photo.jpg";
    fs::copy_file(JPEG_PATH, photo);
    fs::path jpeg = home.Path() / "photo.jpeg";
    fs::copy_file(JPEG_PATH, jpeg);
    fs::path note = File("note.txt", "from the shortcut");
    fs::create_directory(home.Path() / "folder.txt");
    struct Case {
        std::vector<fs::path> files;
        const char *message; // nullptr: none
        std::string attached;
    };
    const Case cases[] = {
        {{File("UP.TXT", "x")}, kRefused, ""},
        {{File("p.Jpg", "x")}, kRefused, ""},
        {{File("p.bmp", "BM")}, kRefused, ""},
        {{File("a.bmp", "BM"), note, photo}, kRefused, ""}, // the first counts
        {{File("broken.lnk", "no shortcut")}, kRefused, ""},
        {{File("gone.lnk", lnktest::Shortcut("C:\\x\\gone.txt", "gone.txt"))}, kRefused, ""},
        {{home.Path() / "missing.txt"}, "ドロップしたファイルのオープンエラー。", ""},
        {{home.Path() / "folder.txt"}, "ドロップしたファイルのリードエラー。", ""},
        {{}, "ファイルのドロップに失敗しました。", ""},
        {{photo, note}, nullptr, photo.string()},
        {{File("pic.lnk", lnktest::Shortcut("C:\\Users\\x\\photo.jpeg", ""))}, nullptr, jpeg.string()},
    };
    for (const Case &c : cases) {
        ui->boxes.clear();
        Drop(c.files);
        std::string what = c.files.empty() ? "(none)" : c.files.front().filename().string();
        if (c.message) {
            ASSERT_EQ(ui->boxes.size(), 1u) << what;
            ExpectBox(0, BoxKind::Application, Sjis(c.message), kAppBox);
        } else {
            // Attached and shown: ".jpeg" too, by the one extension rule.
            EXPECT_TRUE(ui->boxes.empty()) << what;
        }
        if (!c.attached.empty()) {
            EXPECT_EQ(View()->AttachmentPath(), c.attached) << what;
            EXPECT_TRUE(Ctl<wxRadioButton>(1056)->GetValue());
        }
        EXPECT_EQ(View()->Body(), "kept") << what;
    }
    // A shortcut to a text file.
    ui->boxes.clear();
    Drop({File("note.lnk", lnktest::Shortcut("C:\\x\\note.txt", "note.txt"))});
    EXPECT_EQ(View()->Body(), "from the shortcut");
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Editing, MailClientStartsAndIsStoredAfterItsFirstStart)
{
    outbox = "/opt/tegamiya/tegamiya-outbox";
    desktop = "/usr/bin/mailer";
    Start();
    wxCommandEvent press(wxEVT_BUTTON, 1027);
    View()->ProcessWindowEvent(press);
    ASSERT_EQ(ui->started.size(), 1u);
    EXPECT_EQ(ui->started[0].program, outbox);
    EXPECT_EQ(ui->started[0].directory, "/opt/tegamiya/");
    EXPECT_EQ(ui->started[0].params, "");
    EXPECT_EQ(Ini("Program Tools", "Outlook Express"), outbox);
    // The stored path is started from then on.
    outbox.clear();
    View()->OnButtonOE();
    EXPECT_EQ(ui->started.back().program, "/opt/tegamiya/tegamiya-outbox");

    // Without the outbox window the desktop's mail client stands in.
    ProfileFile(IniPath().string()).WriteString("Program Tools", "Outlook Express", "");
    View()->OnButtonOE();
    EXPECT_EQ(ui->started.back().program, desktop);
    EXPECT_EQ(ui->started.back().directory, "/usr/bin/");
    EXPECT_EQ(Ini("Program Tools", "Outlook Express"), desktop);
    EXPECT_TRUE(ui->boxes.empty());

    // A start that fails stores nothing.
    ProfileFile(IniPath().string()).WriteString("Program Tools", "Outlook Express", "");
    ui->startResults = {2};
    View()->OnButtonOE();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application, Sjis(kCannotStart), kAppBox);
    EXPECT_EQ(Ini("Program Tools", "Outlook Express"), "");

    // Neither: the message, nothing started.
    desktop.clear();
    size_t starts = ui->started.size();
    View()->OnButtonOE();
    EXPECT_EQ(ui->started.size(), starts);
    ASSERT_EQ(ui->boxes.size(), 2u);
    ExpectBox(1, BoxKind::Application, Sjis(kCannotStart), kAppBox);
    EXPECT_EQ(Ini("Program Tools", "Outlook Express"), "");
}

TEST_F(Editing, FaceMarkToolIsAskedForAndKeptEvenWhenItFails)
{
    Start();
    const std::string prompt = Sjis("顔文字ツールのパスが設定されていません。\nOKを押すとファイルダイアログが表示されますから、"
                                    "顔文字ツールのパスを指定してください。");
    // Cancelled at the prompt, then in the file dialog.
    ui->answers = {IDCANCEL};
    View()->OnButtonKaoMoji();
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, prompt);
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Plain);
    EXPECT_EQ(ui->boxes[0].owner, nullptr);
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_TRUE(ui->fileRequests.empty());
    View()->OnButtonKaoMoji();
    ASSERT_EQ(ui->fileRequests.size(), 1u);
    EXPECT_EQ(ui->fileRequests[0].title, Sjis("顔文字ツールのパスを設定します。"));
    EXPECT_FALSE(ui->fileRequests[0].save);
    EXPECT_TRUE(ui->started.empty());
    EXPECT_EQ(Ini("Program Tools", "KaoMoji"), "<none>");

    // Chosen, fails to start: told, and stored all the same.
    ui->boxes.clear();
    ui->files = {std::string("/home/u/\xE9\xA1\x94/kao")};
    ui->startResults = {5};
    View()->OnButtonKaoMoji();
    ASSERT_EQ(ui->started.size(), 1u);
    EXPECT_EQ(ui->started[0].program, "/home/u/\xE9\xA1\x94/kao");
    EXPECT_EQ(ui->started[0].directory, "/home/u/\xE9\xA1\x94/");
    ASSERT_EQ(ui->boxes.size(), 2u);
    ExpectBox(1, BoxKind::Application, Sjis(kCannotStart), kAppBox);
    EXPECT_EQ(Ini("Program Tools", "KaoMoji"), "/home/u/\x8A\xE7/kao");
    // The next press starts it without asking.
    ui->boxes.clear();
    View()->OnButtonKaoMoji();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(ui->started.back().program, "/home/u/\xE9\xA1\x94/kao");
    EXPECT_EQ(ui->fileRequests.size(), 2u);
}

TEST_F(Editing, BrowserOpensTheStoredAddressOrTheBuiltInOne)
{
    Start();
    View()->OnButtonBrowser();
    ASSERT_EQ(ui->opened.size(), 1u);
    EXPECT_EQ(ui->opened[0], WebSiteAddress());
    EXPECT_EQ(ui->opened[0].find("example"), std::string::npos);
    Command(ID_WEB_SITE);
    EXPECT_EQ(ui->opened.back(), WebSiteAddress());
    ProfileFile(IniPath().string()).WriteString("Program Tools", "URL", "https://www.docomo.ne.jp/");
    ui->openResults = {42, 2};
    View()->OnButtonBrowser();
    EXPECT_EQ(ui->opened.back(), "https://www.docomo.ne.jp/");
    EXPECT_TRUE(ui->boxes.empty());
    View()->OnButtonBrowser();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application, Sjis("実行できません。URLが正しくない可能性があります。"), kAppBox);
    // Nothing is written back.
    EXPECT_EQ(Ini("Program Tools", "URL"), "https://www.docomo.ne.jp/");
}

// Answers the tools dialog: records what it shows, lets `act` change it,
// and returns `answer`.
struct ToolsHook : wxModalDialogHook {
    int answer = 1;
    std::function<void(wxDialog *)> act;
    std::string title;
    std::vector<std::string> edits; // 1043, 1046, 1044, 1045
    bool otherRowHidden = false;
    int Enter(wxDialog *dlg) override
    {
        title = dlg->GetTitle().utf8_string();
        for (int id : {1043, 1046, 1044, 1045})
            edits.push_back(dynamic_cast<wxTextCtrl *>(dlg->FindWindow(id))->GetValue().utf8_string());
        otherRowHidden = !dlg->FindWindow(1045)->IsShown() && !dlg->FindWindow(1028)->IsShown() &&
                         dlg->FindWindow(1043)->IsShown() && dlg->FindWindow(1027)->IsShown();
        if (act)
            act(dlg);
        return answer;
    }
    void Exit(wxDialog *) override {}
};

TEST_F(Editing, ToolsDialogWritesTheFourKeysOnOkOnly)
{
    outbox = "/opt/tegamiya/tegamiya-outbox";
    Start();
    ToolsHook hook;
    hook.Register();
    Command(ID_SETUP_TOOLS);
    EXPECT_EQ(hook.title, "外部ツールの登録/変更");
    EXPECT_EQ(hook.edits, (std::vector<std::string>{outbox, "", "", ""}));
    EXPECT_TRUE(hook.otherRowHidden);
    std::string file = testenv::ReadFile(IniPath());
    EXPECT_NE(file.find("[Program Tools]\r\nOutlook Express=/opt/tegamiya/tegamiya-outbox\r\nKaoMoji=\r\n"
                        "Other=\r\nURL=\r\n"),
              std::string::npos);

    // Cancel writes nothing, whatever was typed.
    hook.answer = 2;
    hook.act = [](wxDialog *d) { dynamic_cast<wxTextCtrl *>(d->FindWindow(1044))->SetValue("typed"); };
    std::string before = testenv::ReadFile(IniPath());
    Command(ID_SETUP_TOOLS);
    EXPECT_EQ(testenv::ReadFile(IniPath()), before);

    // A 200-character path is shown and written back whole; a pick fills its
    // row and keeps what was typed in the others.
    std::string longPath = "/" + std::string(199, 'p');
    ProfileFile(IniPath().string()).WriteString("Program Tools", "KaoMoji", longPath);
    hook.edits.clear();
    hook.answer = 1;
    ui->files = {std::string("/usr/bin/other")};
    hook.act = [](wxDialog *d) {
        dynamic_cast<wxTextCtrl *>(d->FindWindow(1044))->SetValue("https://x.jp/");
        wxCommandEvent browse(wxEVT_BUTTON, 1027);
        d->ProcessWindowEvent(browse);
    };
    Command(ID_SETUP_TOOLS);
    EXPECT_EQ(hook.edits[1], longPath);
    ASSERT_EQ(ui->fileRequests.size(), 1u);
    EXPECT_EQ(ui->fileRequests[0].title, Sjis("Outlook Express のパスを設定します。"));
    EXPECT_EQ(Ini("Program Tools", "Outlook Express"), "/usr/bin/other");
    EXPECT_EQ(Ini("Program Tools", "KaoMoji"), longPath);
    EXPECT_EQ(Ini("Program Tools", "URL"), "https://x.jp/");

    // Text the settings file cannot hold is refused, not stored damaged.
    hook.act = [](wxDialog *d) {
        dynamic_cast<wxTextCtrl *>(d->FindWindow(1044))->SetValue(wxString::FromUTF8("https://\xF0\x9F\x98\x80.jp/"));
    };
    Command(ID_SETUP_TOOLS);
    hook.Unregister();
    EXPECT_EQ(Ini("Program Tools", "URL"), "https://x.jp/");
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Form, Sjis("設定値を保存できません。"), kFormBoxStyle);

    // The same refusal in the real box: the form's boxes ask for the second
    // button as default on their lone OK, which wx must not be given as
    // "no" (a failed check, that is a failed test, before the box shows).
    struct RealBoxes : wxModalDialogHook {
        std::string message;
        int Enter(wxDialog *dlg) override
        {
            if (auto *box = dynamic_cast<wxMessageDialog *>(dlg)) {
                message = box->GetMessage().utf8_string();
                return wxID_OK;
            }
            dynamic_cast<wxTextCtrl *>(dlg->FindWindow(1044))->SetValue(wxString::FromUTF8("\xC3\xA9"));
            return 1;
        }
        void Exit(wxDialog *) override {}
    } real;
    std::unique_ptr<UiSeam> scripted = SetUi(nullptr);
    InstallWxUi();
    real.Register();
    Command(ID_SETUP_TOOLS);
    real.Unregister();
    SetUi(std::move(scripted));
    EXPECT_EQ(real.message, "設定値を保存できません。");
}

} // namespace
