// Sending, the recipient history and the address book through the real
// form, with the fake mail library recording every call and every message
// box scripted.
#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "compose/history_delete_dlg.h"
#include "compose/rich_edit.h"
#include "compose/sending.h"
#include "compose/sending_dlg.h"
#include "compose/tegamiya_view.h"
#include "compose/up_down.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/eventfilter.h>
#include <wx/listbox.h>
#include <wx/modalhook.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using testenv::DialogScript;
using testenv::Shot;
using testenv::Sjis;

namespace {

constexpr unsigned kErrorBox = MB_OK | MB_ICONERROR | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST;

std::string Kanji(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\x8A\xBF"; // 漢
    return s;
}

using testenv::WaitFor;

void Click(wxWindow *parent, int id, wxEventType type = wxEVT_BUTTON)
{
    wxWindow *w = parent->FindWindow(id);
    ASSERT_NE(w, nullptr) << id;
    wxCommandEvent e(type, id);
    e.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(e);
}

class Sending : public testenv::ProgramTest {
protected:
    fs::path picture;

    void SetUp() override
    {
        ProgramTest::SetUp();
        CSendingDlg::s_showMs = 30;
        // A carrier with a limit of 250 full-width characters.
        WriteIni("[Keitai Vender]\nPhone=250\nPC=10000\n[Default]\nVender=Phone\n");
        // A real baseline JPEG: the preview decodes what is attached.
        picture = home.Path() / "pic.jpg";
        fs::copy_file(JPEG_PATH, picture);
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        CSendingDlg::s_showMs = 1000;
    }
    void Start()
    {
        ASSERT_TRUE(app.InitInstance());
        testenv::Pump();
    }

    fs::path IniPath() { return home.Documents() / "Tegamiya/Tegamiya.ini"; }
    void WriteIni(std::string text)
    {
        std::string crlf;
        for (char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        testenv::WriteFile(IniPath(), crlf);
    }
    std::string Ini(const std::string &section, const std::string &key)
    {
        return ProfileFile(IniPath().string()).GetString(section, key, "<none>");
    }

    CTegamiyaView *View() { return app.MainFrame()->View(); }
    template <class T> T *Ctl(int id) { return dynamic_cast<T *>(View()->FindWindow(id)); }
    wxComboBox *To() { return Ctl<wxComboBox>(1035); }
    std::vector<std::string> History()
    {
        std::vector<std::string> items;
        for (unsigned i = 0; i < To()->GetCount(); ++i)
            items.push_back(To()->GetString(i).ToStdString(wxCSConv("CP932")));
        return items;
    }
    void Fill(const std::string &to, const std::string &cc, const std::string &bcc, const std::string &subject,
              const std::string &body)
    {
        To()->ChangeValue(wxString(to.c_str(), wxCSConv("CP932")));
        Ctl<wxTextCtrl>(1011)->ChangeValue(wxString(cc.c_str(), wxCSConv("CP932")));
        Ctl<wxTextCtrl>(1016)->ChangeValue(wxString(bcc.c_str(), wxCSConv("CP932")));
        View()->SubjectField()->SetTextBytes(subject);
        View()->BodyField()->SetTextBytes(body);
        testenv::Pump();
    }
    void Send() { Click(View(), 1001); testenv::Pump(); }
    std::string Text(int id) { return Ctl<wxTextCtrl>(id)->GetValue().ToStdString(wxCSConv("CP932")); }
    void ExpectBox(size_t i, const std::string &text, unsigned style)
    {
        ASSERT_LT(i, ui->boxes.size());
        EXPECT_EQ(ui->boxes[i].kind, BoxKind::Form);
        EXPECT_EQ(ui->boxes[i].text, text);
        EXPECT_EQ(ui->boxes[i].caption, "Tegamiya");
        EXPECT_EQ(ui->boxes[i].style, style);
    }
};

TEST_F(Sending, SplitNumberedMailsWithRecipientsAndPicture)
{
    Start();
    ASSERT_EQ(View()->Limit(), 250u);
    ASSERT_TRUE(View()->AttachPicture(picture.string()));
    std::string subject = Sjis("件名") + "\xF8\x9F";
    Fill("a@x.jp;b@y.jp", ",c@z.jp", "d@w.jp", subject, Kanji(600));
    ASSERT_EQ(View()->Mails(), 3u);
    // The notice shows while the form is emptied. It is looked for in every
    // event its windows get while shown (its Show and Update send some
    // before the send returns), not at a time that depends on how long the
    // hand-over's own event loop ran.
    struct NoticeWatch : wxEventFilter {
        bool seen = false;
        NoticeWatch() { wxEvtHandler::AddFilter(this); }
        ~NoticeWatch() override { wxEvtHandler::RemoveFilter(this); }
        int FilterEvent(wxEvent &event) override
        {
            auto *w = dynamic_cast<wxWindow *>(event.GetEventObject());
            auto *notice = w ? dynamic_cast<CSendingDlg *>(wxGetTopLevelParent(w)) : nullptr;
            if (notice && notice->IsShown())
                if (auto *text = dynamic_cast<wxStaticText *>(notice->FindWindow(wxID_STATIC)))
                    seen |= text->GetLabel() == wxString::FromUTF8("送信トレイにメールを送っています。");
            return Event_Skip;
        }
    } notice;
    Send();
    ASSERT_EQ(mapi.sent.size(), 3u);
    const size_t sizes[] = {498, 498, 204};
    for (size_t i = 0; i < 3; ++i) {
        const FakeMail &m = mapi.sent[i];
        EXPECT_EQ(m.subject, std::to_string(i + 1) + ")" + subject);
        EXPECT_EQ(m.noteText.size(), sizes[i]);
        EXPECT_EQ(m.flags, 0u);
        ASSERT_EQ(m.recips.size(), 4u);
        EXPECT_EQ(m.recips[0].recipClass, ULONG(MAPI_TO));
        EXPECT_EQ(m.recips[0].address, "a@x.jp");
        EXPECT_EQ(m.recips[1].name, "b@y.jp");
        EXPECT_EQ(m.recips[1].address, "b@y.jp");
        EXPECT_EQ(m.recips[2].recipClass, ULONG(MAPI_CC));
        EXPECT_EQ(m.recips[2].name, "c@z.jp");
        EXPECT_EQ(m.recips[2].address, "");
        EXPECT_EQ(m.recips[3].recipClass, ULONG(MAPI_BCC));
        EXPECT_EQ(m.files, std::vector<std::string>{picture.string()});
        EXPECT_EQ(m.filePositions, std::vector<ULONG>{0xFFFFFFFF});
    }
    EXPECT_EQ(mapi.sent[0].noteText + mapi.sent[1].noteText + mapi.sent[2].noteText, Kanji(600));
    EXPECT_TRUE(notice.seen);
    EXPECT_TRUE(ui->boxes.empty());
    // The form is emptied, the attachment dropped, the settings stored.
    EXPECT_EQ(To()->GetValue(), "");
    EXPECT_EQ(Text(1011), "");
    EXPECT_EQ(Text(1016), "");
    EXPECT_EQ(View()->SubjectField()->GetTextBytes(), "");
    EXPECT_EQ(View()->BodyField()->GetTextBytes(), "");
    EXPECT_EQ(View()->Count(), 0u);
    EXPECT_EQ(View()->Mails(), 1u);
    EXPECT_EQ(View()->AttachmentPath(), "");
    EXPECT_FALSE(Ctl<wxRadioButton>(1056)->IsEnabled());
    EXPECT_EQ(History(), std::vector<std::string>{"a@x.jp;b@y.jp"});
    EXPECT_EQ(Ini("Default", "MailTo1"), "a@x.jp;b@y.jp");
    EXPECT_EQ(Ini("Default", "MailTo2"), "<none>");
    EXPECT_EQ(Ini("Default", "Vender"), "Phone");
    EXPECT_EQ(Ini("Display Width", "a@x.jp;b@y.jp"), std::to_string(View()->WidthSpin()->GetValue()));
    EXPECT_TRUE(mapi.outstanding.empty());
}

TEST_F(Sending, PartsAndSubjects)
{
    Start();
    // 499 single bytes show as one mail's worth but go out as two.
    Fill("a@x.jp", "", "", "S", std::string(499, 'a'));
    Send();
    ASSERT_EQ(mapi.sent.size(), 2u);
    EXPECT_EQ(mapi.sent[0].noteText.size(), 498u);
    EXPECT_EQ(mapi.sent[1].noteText.size(), 1u);
    EXPECT_EQ(mapi.sent[0].subject, "1)S");
    EXPECT_EQ(mapi.sent[1].subject, "2)S");
    // Within one part the subject goes unchanged; an empty body is one mail.
    for (std::string body : {std::string(498, 'b'), std::string()}) {
        mapi.sent.clear();
        Fill("a@x.jp", "", "", "S", body);
        Send();
        ASSERT_EQ(mapi.sent.size(), 1u);
        EXPECT_EQ(mapi.sent[0].subject, "S");
        EXPECT_EQ(mapi.sent[0].noteText, body);
        EXPECT_TRUE(mapi.sent[0].files.empty());
    }
}

TEST_F(Sending, NobodyToSendTo)
{
    WriteIni("[Keitai Vender]\nPhone=250\n[Default]\nVender=Phone\nMailTo1=old@x.jp\nMailTo2=two@x.jp\n");
    Start();
    Fill("", "", "", "S", "body");
    Send();
    EXPECT_TRUE(mapi.sent.empty());
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, Sjis("宛先、CC、BCC のどれかを指定してください。"),
              MB_OK | MB_ICONWARNING | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST);
    // An empty To used to take the second history entry's place.
    EXPECT_EQ(History(), (std::vector<std::string>{"old@x.jp", "two@x.jp"}));
    EXPECT_EQ(View()->BodyField()->GetTextBytes(), "body");

    // Blanks only pass the check and give no recipient; the history and the
    // display widths are left alone.
    Fill("   ", "", "", "S", "body");
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    EXPECT_TRUE(mapi.sent[0].recips.empty());
    EXPECT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(History(), (std::vector<std::string>{"old@x.jp", "two@x.jp"}));
    EXPECT_EQ(Ini("Default", "MailTo1"), "old@x.jp");
    EXPECT_EQ(Ini("Default", "MailTo3"), "<none>");
    EXPECT_EQ(Ini("Display Width", "   "), "<none>");
    EXPECT_EQ(Ini("Display Width", ""), "<none>");
}

TEST_F(Sending, EachResultHasItsMessageAndKeepsTheForm)
{
    Start();
    for (ULONG code : {1u, 2u, 3u, 5u, 10u, 14u, 15u, 18u, 21u, 25u, 4u, 19u}) {
        ui->boxes.clear();
        mapi.sendResults = {code};
        ASSERT_TRUE(View()->AttachPicture(picture.string()));
        Fill("a@x.jp", "c@x.jp", "", "S", "body");
        Send();
        ASSERT_EQ(ui->boxes.size(), 1u) << code;
        ExpectBox(0, SendErrorText(code), kErrorBox);
        // Texts and the attachment stay for another try; nothing is saved.
        EXPECT_EQ(Text(1011), "c@x.jp");
        EXPECT_EQ(View()->BodyField()->GetTextBytes(), "body");
        EXPECT_EQ(View()->AttachmentPath(), picture.string()) << code;
        EXPECT_TRUE(Ctl<wxRadioButton>(1056)->IsEnabled());
        EXPECT_EQ(Ini("Default", "MailTo1"), "<none>");
    }
    // The other try sends the picture too.
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    EXPECT_EQ(mapi.sent[0].files, std::vector<std::string>{picture.string()});
    EXPECT_EQ(View()->AttachmentPath(), "");
}

// The loop used to go on after a failed part and report the last part's
// result: a failure of mail 2 of 3 was shown as success and the form
// emptied.
TEST_F(Sending, FirstFailureStopsAndSaysHowManyWentOut)
{
    Start();
    ASSERT_TRUE(View()->AttachPicture(picture.string()));
    Fill("a@x.jp", "", "", "S", Kanji(600));
    mapi.sendResults = {0, 14, 0};
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    EXPECT_EQ(mapi.sendResults.size(), 1u); // mail 3 was never tried
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, SendErrorText(14) + "\n\n1 of 3 mails had already been sent; mail 2 and the ones after it were not.",
              kErrorBox);
    EXPECT_EQ(View()->BodyField()->GetTextBytes(), Kanji(600));
    EXPECT_EQ(View()->AttachmentPath(), picture.string());
    EXPECT_EQ(Ini("Default", "MailTo1"), "<none>");
}

TEST_F(Sending, EachToRecipientGetsItsOwnAddress)
{
    Start();
    mapi.resolve["Taro"] = {0, {MAPI_TO, "Taro", "taro@ezweb.ne.jp"}};
    mapi.resolve["Hanako"] = {0, {MAPI_TO, "Hanako", "hanako@docomo.ne.jp"}};
    // The carrier selection took Taro's address for the To text "Taro".
    To()->ChangeValue("Taro");
    View()->OnKillfocusMailTo();
    EXPECT_EQ(View()->RecipientAddress(), "taro@ezweb.ne.jp");
    Fill("Taro", "", "", "S", "b");
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    EXPECT_EQ(mapi.sent[0].recips[0].address, "taro@ezweb.ne.jp");
    // Several pieces: each its own address; an unknown name goes without.
    mapi.sent.clear();
    Fill("Hanako;Nobody;x@y.jp", "", "", "S", "b");
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    ASSERT_EQ(mapi.sent[0].recips.size(), 3u);
    EXPECT_EQ(mapi.sent[0].recips[0].address, "hanako@docomo.ne.jp");
    EXPECT_EQ(mapi.sent[0].recips[1].address, "");
    EXPECT_EQ(mapi.sent[0].recips[2].address, "x@y.jp");
    // A name that no longer resolves leaves no address behind from before.
    To()->ChangeValue("Nobody");
    View()->OnKillfocusMailTo();
    EXPECT_EQ(View()->RecipientAddress(), "");
    EXPECT_TRUE(mapi.outstanding.empty());
}

TEST_F(Sending, HistoryOrderAfterSends)
{
    WriteIni("[Keitai Vender]\nPhone=250\n[Default]\nVender=Phone\nMailTo1=h1@x\nMailTo2=h2@x\nMailTo3=\n"
             "MailTo4=Taro@ezweb.ne.jp\nMailTo5=H1@X.JP\nMailTo6=h6@x\nMailTo7=h7@x\nMailTo8=h8@x\n");
    Start();
    // No gap for the empty MailTo3; "H1@X.JP" begins with... nothing taken
    // before begins with it, but "h1@x" is its beginning: it stays.
    EXPECT_EQ(History(), (std::vector<std::string>{"h1@x", "h2@x", "Taro@ezweb.ne.jp", "H1@X.JP", "h6@x",
                                                   "h7@x", "h8@x"}));
    Fill("TARO@", "", "", "S", "b");
    Send();
    EXPECT_EQ(History(), (std::vector<std::string>{"TARO@", "h1@x", "h2@x", "H1@X.JP", "h6@x", "h7@x", "h8@x"}));
    Fill("new1@x", "", "", "S", "b");
    Send();
    Fill("new2@x", "", "", "S", "b");
    Send();
    EXPECT_EQ(History(), (std::vector<std::string>{"new2@x", "new1@x", "TARO@", "h1@x", "h2@x", "H1@X.JP", "h6@x",
                                                   "h7@x"}));
    EXPECT_EQ(Ini("Default", "MailTo8"), "h7@x");
    // The first entry's beginning leaves the list as it is.
    Fill("NEW2", "", "", "S", "b");
    Send();
    EXPECT_EQ(History()[0], "new2@x");
    EXPECT_EQ(History().size(), 8u);
}

// History values used to be read into 256-byte buffers, so a long entry
// came back cut and was written back cut after the next send.
TEST_F(Sending, LongHistoryValuesStayWhole)
{
    std::string longTo = std::string(290, 'a') + "@x.jp";
    WriteIni("[Keitai Vender]\nPhone=250\n[Default]\nVender=Phone\nMailTo1=" + longTo + "\n");
    Start();
    EXPECT_EQ(History(), std::vector<std::string>{longTo});
    Fill("b@x.jp", "", "", "S", "b");
    Send();
    EXPECT_EQ(Ini("Default", "MailTo2"), longTo);
}

TEST_F(Sending, RefusedWritesCloseOnSendAndMailClient)
{
    // The mail client the OE button starts when none is stored: one that is
    // always there, whatever lies beside the test.
    struct MailClient {
        std::function<std::string()> saved = CTegamiyaView::s_findOutboxWindow;
        MailClient() { CTegamiyaView::s_findOutboxWindow = [] { return std::string("/usr/bin/true"); }; }
        ~MailClient() { CTegamiyaView::s_findOutboxWindow = saved; }
    } mailClient;
    Start();
    int oeClicks = 0;
    View()->Bind(wxEVT_BUTTON, [&](wxCommandEvent &e) {
        ++oeClicks;
        e.Skip();
    }, 1027);
    Click(View(), 1054, wxEVT_CHECKBOX); // "OE Start"
    Ctl<wxCheckBox>(1054)->SetValue(true);
    View()->OnOeStart();
    ASSERT_EQ(View()->OeStartWord(), "Yes");
    Fill("a@x.jp", "", "", "S", "b");
    Send();
    EXPECT_EQ(oeClicks, 1);

    // A settings file that refuses writes: told, and the later steps skipped.
    View()->OnCloseOnSend();
    ASSERT_TRUE(View()->CloseOnSend());
    fs::remove(IniPath());
    fs::create_directory(IniPath());
    Fill("b@x.jp", "", "", "S", "b");
    Send();
    ASSERT_EQ(mapi.sent.size(), 2u);
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, Sjis("設定値を保存できません。"), kErrorBox);
    EXPECT_EQ(oeClicks, 1);
    testenv::Pump();
    EXPECT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->IsShown());

    // Closing after a send.
    fs::remove(IniPath());
    Fill("c@x.jp", "", "", "S", "b");
    Send();
    EXPECT_EQ(oeClicks, 2);
    EXPECT_TRUE(WaitFor([&] { return mapi.logoffCalls == 1; }));
}

TEST_F(Sending, SlowHandOffShowsProgressAndDisablesTheForm)
{
    Start();
    // Each hand-off lasts until the test has seen the progress window show
    // its number, so what is seen does not hang on the machine's speed.
    mapi.sendGate.hold = true;
    Fill("a@x.jp", "", "", "S", Kanji(600));
    std::vector<wxString> counts;
    bool formDisabled = false;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent &) {
        formDisabled |= !app.MainFrame()->IsEnabled();
        for (wxWindow *w : wxTopLevelWindows)
            if (auto *p = dynamic_cast<CSendProgressDlg *>(w)) {
                if (counts.empty() || counts.back() != p->CountText())
                    counts.push_back(p->CountText());
                long shown = 0;
                if (p->CountText().BeforeFirst(' ').ToLong(&shown) && shown > mapi.sendGate.released)
                    mapi.sendGate.released = static_cast<int>(shown);
            }
    });
    timer.Start(20);
    Send();
    timer.Stop();
    EXPECT_EQ(mapi.sent.size(), 3u);
    EXPECT_TRUE(formDisabled);
    // Shown once the first hand-off took half a second, then each mail's
    // number as it is handed over.
    EXPECT_EQ(counts, (std::vector<wxString>{"1 / 3", "2 / 3", "3 / 3"}));
    EXPECT_TRUE(app.MainFrame()->IsEnabled());
    for (wxWindow *w : wxTopLevelWindows)
        EXPECT_EQ(dynamic_cast<CSendProgressDlg *>(w), nullptr);
}

// ------------------------------------------------------------ recipients

TEST_F(Sending, AddressBook)
{
    Start();
    mapi.resolve["Hanako"] = {0, {MAPI_TO, "Hanako", "hanako@docomo.ne.jp"}};
    Fill("Taro;x@y.jp", "c@x.jp", "Mama", "S", "b");
    // Cancelled: nothing changes.
    mapi.addressResult = MAPI_USER_ABORT;
    Click(View(), 1021);
    ASSERT_EQ(mapi.addressCalls.size(), 1u);
    const auto &call = mapi.addressCalls[0];
    EXPECT_EQ(call.caption, Sjis("アドレス帳"));
    EXPECT_EQ(call.editFields, 3u);
    EXPECT_EQ(call.uiParam, reinterpret_cast<ULONG_PTR>(app.MainFrame()->GetHandle()));
    ASSERT_EQ(call.preset.size(), 4u);
    EXPECT_EQ(call.preset[0].name, "Taro");
    EXPECT_EQ(call.preset[0].address, "");
    EXPECT_EQ(call.preset[1].name, "x@y.jp");
    EXPECT_EQ(call.preset[2].recipClass, ULONG(MAPI_CC));
    EXPECT_EQ(call.preset[3].recipClass, ULONG(MAPI_BCC));
    EXPECT_EQ(call.preset[3].name, "Mama");
    EXPECT_EQ(To()->GetValue(), "Taro;x@y.jp");
    EXPECT_TRUE(ui->boxes.empty());
    // Failed: told, nothing changes.
    mapi.addressResult = MAPI_E_FAILURE;
    Click(View(), 1022);
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, Sjis("アドレス帳にアクセスできません。"), kErrorBox);
    EXPECT_EQ(Text(1016), "Mama");
    // Two To names and one CC: joined by ";", BCC emptied, the carrier
    // follows the new To text.
    mapi.addressResult = 0;
    mapi.addressAnswer = {{MAPI_TO, "Hanako", "hanako@docomo.ne.jp"},
                          {MAPI_CC, "cc@x.jp", "cc@x.jp"},
                          {MAPI_TO, "x@y.jp", "x@y.jp"},
                          {MAPI_ORIG, "ignored", ""},
                          {MAPI_BCC, "", "nameless@x.jp"}};
    Ctl<wxChoice>(1023)->SetStringSelection("Phone");
    Click(View(), 1024);
    EXPECT_EQ(To()->GetValue(), "Hanako;x@y.jp");
    EXPECT_EQ(Text(1011), "cc@x.jp");
    EXPECT_EQ(Text(1016), "");
    EXPECT_EQ(Ctl<wxChoice>(1023)->GetStringSelection(), "PC");
    EXPECT_TRUE(mapi.outstanding.empty());
    EXPECT_EQ(mapi.badFrees, 0);

    // Names holding a separator (a vCard "Yamada\, Taro", a company) go in
    // between quotes and come back as one recipient each, by their names.
    mapi.resolve["Yamada, Taro"] = {0, {MAPI_TO, "Yamada, Taro", "taro@docomo.ne.jp"}};
    mapi.addressAnswer = {{MAPI_TO, "Yamada, Taro", "taro@docomo.ne.jp"},
                          {MAPI_CC, "Example, Inc.", "info@x.jp"},
                          {MAPI_BCC, "Q\"; R", "q@x.jp"}};
    Click(View(), 1024);
    EXPECT_EQ(To()->GetValue(), "\"Yamada, Taro\"");
    EXPECT_EQ(Text(1011), "\"Example, Inc.\"");
    EXPECT_EQ(Text(1016), "\"Q\\\"; R\"");
    EXPECT_EQ(View()->RecipientAddress(), "taro@docomo.ne.jp");
    View()->SubjectField()->SetTextBytes("S");
    View()->BodyField()->SetTextBytes("b");
    Send();
    ASSERT_EQ(mapi.sent.size(), 1u);
    ASSERT_EQ(mapi.sent[0].recips.size(), 3u);
    EXPECT_EQ(mapi.sent[0].recips[0].name, "Yamada, Taro");
    EXPECT_EQ(mapi.sent[0].recips[0].address, "taro@docomo.ne.jp");
    EXPECT_EQ(mapi.sent[0].recips[1].name, "Example, Inc.");
    EXPECT_EQ(mapi.sent[0].recips[2].name, "Q\"; R");
}

TEST_F(Sending, ToBoxLosingTheFocus)
{
    WriteIni("[Keitai Vender]\nPhone=250\nPC=10000\nDoCoMo i-mode=5000\n[Default]\nVender=Phone\n"
             "[Display Width]\nHanako=14\n");
    Start();
    mapi.resolve["Hanako"] = {0, {MAPI_TO, "Hanako", "hanako@docomo.ne.jp"}};
    // Empty: no reactions.
    To()->ChangeValue("");
    wxFocusEvent lost(wxEVT_KILL_FOCUS, To()->GetId());
    To()->ProcessWindowEvent(lost);
    EXPECT_TRUE(mapi.resolvedNames.empty());
    // With text: carrier and width, even when the text did not change.
    To()->ChangeValue("Hanako");
    To()->ProcessWindowEvent(lost);
    To()->ProcessWindowEvent(lost);
    EXPECT_EQ(mapi.resolvedNames.size(), 2u);
    EXPECT_EQ(Ctl<wxChoice>(1023)->GetStringSelection(), "DoCoMo i-mode");
    EXPECT_EQ(View()->WidthSpin()->GetValue(), 14);
    // Closing: nothing.
    g_bClosing = true;
    To()->ProcessWindowEvent(lost);
    g_bClosing = false;
    EXPECT_EQ(mapi.resolvedNames.size(), 2u);
}

TEST_F(Sending, HistoryDialog)
{
    WriteIni("[Keitai Vender]\nPhone=250\n[Default]\nVender=Phone\nMailTo1=zeta@x\nMailTo2=Alpha@x\n"
             "MailTo3=beta@x\nMailTo4=\nMailTo5=gamma@x\n");
    Start();
    // Sorted; two deletions (button and double click), reset brings them
    // back; Cancel writes nothing.
    std::vector<std::string> shown, afterDelete, afterReset;
    {
        DialogScript script([&](wxDialog *d) {
            auto *dlg = dynamic_cast<CHistoryDeleteDlg *>(d);
            auto *list = dynamic_cast<wxListBox *>(d->FindWindow(1048));
            shown = dlg->Entries();
            Click(d, 1049); // no selection: nothing
            list->SetSelection(0);
            Click(d, 1049);
            list->SetSelection(1);
            Click(d, 1048, wxEVT_LISTBOX_DCLICK);
            afterDelete = dlg->Entries();
            Click(d, 1051);
            afterReset = dlg->Entries();
            list->SetSelection(0);
            Click(d, 1049);
            Click(d, 1052);
        });
        View()->OnMenuHistoryDelete();
        EXPECT_EQ(script.title, wxString::FromUTF8("宛先履歴の削除"));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Alpha@x", "beta@x", "gamma@x", "zeta@x"}));
    EXPECT_EQ(afterDelete, (std::vector<std::string>{"beta@x", "zeta@x"}));
    EXPECT_EQ(afterReset, shown);
    EXPECT_EQ(Ini("Default", "MailTo1"), "zeta@x");
    EXPECT_EQ(History()[0], "zeta@x");

    // OK after a deletion writes the sorted list and empties the rest; the
    // To box's list follows.
    {
        DialogScript script([&](wxDialog *d) {
            dynamic_cast<wxListBox *>(d->FindWindow(1048))->SetSelection(2);
            Click(d, 1049);
            Shot("history_dialog");
            Click(d, 1050);
        });
        testenv::Pump();
        View()->OnMenuHistoryDelete();
    }
    EXPECT_EQ(Ini("Default", "MailTo1"), "Alpha@x");
    EXPECT_EQ(Ini("Default", "MailTo2"), "beta@x");
    EXPECT_EQ(Ini("Default", "MailTo3"), "zeta@x");
    for (int i = 4; i <= 8; ++i)
        EXPECT_EQ(Ini("Default", "MailTo" + std::to_string(i)), "");
    EXPECT_EQ(History(), (std::vector<std::string>{"Alpha@x", "beta@x", "zeta@x"}));

    // A refused write keeps the dialog open.
    fs::remove(IniPath());
    fs::create_directory(IniPath());
    bool stillOpen = false;
    {
        DialogScript script([&](wxDialog *d) {
            Click(d, 1050);
            stillOpen = d->IsModal();
            Click(d, 1052);
        });
        View()->OnMenuHistoryDelete();
    }
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Sjis("宛先履歴を保存できません。"));
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST));
}

} // namespace
