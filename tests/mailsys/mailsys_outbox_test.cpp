// The outbox window on real widgets: the three lists read from a prepared
// Maildir, "send now" handing the waiting mail to a local SMTP server and
// moving it to Sent, a failed mail sent again, a failure landing in Failed,
// deleting, and a mail's text.
#include "account_fixture.h"
#include "dialog_script.h"

#include "envelope.h"
#include "maildir.h"
#include "message_builder.h"
#include "outbox_frame.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/stattext.h>

using namespace mailsys_test;

namespace {

constexpr const char *kPassword = "pw-Outbox-3k";

// "件名" and the pictograph F8 9F (U+E63E) as the list shows them.
const char *const kPictographSubject = "\xE4\xBB\xB6\xE5\x90\x8D\xEE\x98\xBE";

std::string Put(const std::string &maildir, const std::string &subject, time_t when, bool picture = false,
                const std::string &cur_flags = "", const std::string &delivery_lines = "")
{
    mailsys::OutgoingMail m;
    m.from = {"Taro", "taro@example.jp"};
    m.to = {{"", "hanako@example.jp"}};
    m.subject = subject;
    m.body = Cp932("本文") + "\xF9\xFC";
    if (picture)
        m.attachments.push_back({"photo.jpg", "\xFF\xD8\xFF\xE0 picture", "image/jpeg"});
    std::string path;
    EXPECT_EQ(mailsys::DeliverToMaildir(maildir, delivery_lines + mailsys::BuildMessage(m, when, "x@example.jp"), &path), 0);
    if (!cur_flags.empty()) {
        std::string cur = maildir + "/cur/" + path.substr(path.rfind('/') + 1) + cur_flags;
        rename(path.c_str(), cur.c_str());
        path = cur;
    }
    return path;
}

class Outbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        NoKeyring(home.root);
        mkdir(received.c_str(), 0700);
        server = std::make_unique<AccountServer>(received, cert, "taro", kPassword, "plain");
        ASSERT_GT(server->port, 0);
        home.WriteProfile("name = Taro\naddress = taro@example.jp\n[account]\nsmtp_server = 127.0.0.1\n"
                          "smtp_port = " +
                          std::to_string(server->port) + "\nsmtp_security = none\nsmtp_user = taro\n");
        ASSERT_EQ(mailsys::LoadProfile(&profile), mailsys::ProfileLoad::Ok);
        Put(home.outbox, Cp932("件名") + "\xF8\x9F", 1800000000, true);
        // One of the mails written one per form: it goes to its envelope only.
        Put(home.outbox, "second", 1800000060, false, "",
            mailsys::DeliveryHeaders(mailsys::PictographForm::Unicode, {"jiro@ezweb.ne.jp"}));
        failed = Put(home.root + "/data/tegamiya-mail/failed", "failed one", 1799999000);
        Put(home.sent, "old one", 1700000000, false, ":2,S");
    }
    void TearDown() override
    {
        if (frame) {
            frame->Destroy();
            wxYield();
        }
    }
    void Open(const std::string &password = kPassword)
    {
        frame = new mailsys::OutboxFrame(profile, {mailsys::Credentials::Given, password});
        frame->Show();
        WaitFor([&] { return frame->IsShownOnScreen(); }, 5);
    }
    template <typename T>
    T *Get(const char *name)
    {
        auto *w = dynamic_cast<T *>(wxWindow::FindWindowByName(name, frame));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    wxListCtrl *List(int i) { return Get<wxListCtrl>(i == 0 ? "waiting_list" : i == 1 ? "failed_list" : "sent_list"); }
    void Press(const char *name)
    {
        frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        auto *b = Get<wxButton>(name);
        ASSERT_TRUE(b->IsEnabled()) << name;
        Click(b);
    }
    void SelectRow(int list, long row)
    {
        Get<wxNotebook>("folders")->SetSelection(static_cast<size_t>(list));
        List(list)->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    }
    wxString Status() { return Get<wxStaticText>("status")->GetLabel(); }
    void WaitSent() { ASSERT_TRUE(WaitFor([&] { return !frame->Sending(); }, 60)); }

    TempHome home{false};
    Language english{"C"};
    std::string received = home.root + "/received";
    TestCertificate cert{home.root};
    std::unique_ptr<AccountServer> server;
    mailsys::Profile profile;
    std::string failed;
    mailsys::OutboxFrame *frame = nullptr;
};

TEST_F(Outbox, ShowsTheThreeFolders)
{
    Open();
    EXPECT_EQ(List(0)->GetItemCount(), 2);
    EXPECT_EQ(List(1)->GetItemCount(), 1);
    EXPECT_EQ(List(2)->GetItemCount(), 1);
    auto *book = Get<wxNotebook>("folders");
    EXPECT_EQ(book->GetPageText(0), "Waiting (2)");
    EXPECT_EQ(book->GetPageText(1), "Failed (1)");
    EXPECT_EQ(book->GetPageText(2), "Sent (1)");
    // Oldest first: date, To, subject with its pictograph, size, attachment.
    EXPECT_EQ(List(0)->GetItemText(0, 0), wxString(mailsys::FormatDate(1800000000)));
    EXPECT_EQ(List(0)->GetItemText(0, 1), "hanako@example.jp");
    EXPECT_EQ(List(0)->GetItemText(0, 2), wxString::FromUTF8(kPictographSubject));
    EXPECT_TRUE(List(0)->GetItemText(0, 3).EndsWith(" KB") || List(0)->GetItemText(0, 3).EndsWith(" B"));
    // A multipart mail's attachment names are read after the list asks.
    EXPECT_TRUE(WaitFor([&] { return List(0)->GetItemText(0, 4) == "photo.jpg"; }, 10)) << List(0)->GetItemText(0, 4);
    EXPECT_EQ(List(0)->GetItemText(1, 2), "second");
    EXPECT_EQ(List(0)->GetItemText(1, 4), "");
    EXPECT_EQ(List(1)->GetItemText(0, 2), "failed one");
    EXPECT_EQ(List(2)->GetItemText(0, 2), "old one");
    // Every mail's state, though none was sent from this window: a failed
    // mail of before reasons were kept says only that it failed.
    EXPECT_EQ(List(0)->GetItemText(0, 5), "Waiting");
    EXPECT_EQ(List(0)->GetItemText(1, 5), "Waiting");
    EXPECT_EQ(List(1)->GetItemText(0, 5), "Failed");
    EXPECT_EQ(List(2)->GetItemText(0, 5), "Sent");
    // The form the pictographs travel in: mail written as before is docomo's.
    EXPECT_EQ(List(0)->GetItemText(0, 6), "docomo");
    EXPECT_EQ(List(0)->GetItemText(1, 6), "unicode");
    EXPECT_EQ(List(0)->GetItemText(1, 1), "jiro@ezweb.ne.jp");
    // Nothing chosen: no retry, delete or text.
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_TRUE(Get<wxButton>("send_now")->IsEnabled());
    EXPECT_FALSE(Get<wxButton>("retry")->IsEnabled());
    EXPECT_FALSE(Get<wxButton>("delete")->IsEnabled());
}

// A reading again (the window turned to) shows what changed and keeps the
// chosen mail chosen by its unique name, wherever its row went.
TEST_F(Outbox, ReadingAgainKeepsTheChosenMail)
{
    Open();
    SelectRow(0, 1);
    auto selected = [&] {
        std::vector<wxString> subjects;
        for (long r = List(0)->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); r != -1;
             r = List(0)->GetNextItem(r, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            subjects.push_back(List(0)->GetItemText(r, 2));
        return subjects;
    };
    ASSERT_EQ(selected(), std::vector<wxString>{"second"});
    // An older mail arrives (a row above), the chosen one is rewritten.
    Put(home.outbox, "older", 1700000000);
    std::string second = home.outbox + "/new/";
    for (const auto &name : home.NewMail())
        if (ReadText(second + name).find("Subject: second") != std::string::npos)
            second += name;
    std::string text = ReadText(second);
    text.replace(text.find("Subject: second"), 15, "Subject: changed!");
    WriteText(second, text);
    wxActivateEvent turned(wxEVT_ACTIVATE, true, frame->GetId());
    frame->GetEventHandler()->ProcessEvent(turned);
    ASSERT_EQ(List(0)->GetItemCount(), 3);
    EXPECT_EQ(List(0)->GetItemText(0, 2), "older");
    EXPECT_EQ(selected(), std::vector<wxString>{"changed!"});
    EXPECT_EQ(Get<wxNotebook>("folders")->GetPageText(0), "Waiting (3)");
}

// Mail another program hands on while the window stands in view shows
// without the window being turned to.
TEST_F(Outbox, ShowsWhatAnotherProgramMoved)
{
    Open();
    std::string waiting = home.outbox + "/new/" + home.NewMail().front();
    ASSERT_EQ(mailsys::HandOffQueued(profile, {mailsys::Credentials::Given, kPassword}, waiting),
              mailsys::HandOffResult::Sent);
    EXPECT_TRUE(WaitFor([&] { return List(0)->GetItemCount() == 1 && List(2)->GetItemCount() == 2; }, 10));
}

TEST_F(Outbox, SendNowMovesWaitingMailToSent)
{
    Open();
    Press("send_now");
    WaitSent();
    EXPECT_EQ(Status(), "2 sent.");
    EXPECT_EQ(Get<wxGauge>("progress")->GetValue(), 2);
    EXPECT_EQ(Get<wxGauge>("progress")->GetRange(), 2);
    EXPECT_EQ(List(0)->GetItemCount(), 0);
    ASSERT_EQ(List(2)->GetItemCount(), 3);
    // Each mail's result beside it.
    EXPECT_EQ(List(2)->GetItemText(0, 5), "Sent");  // sent before
    EXPECT_EQ(List(2)->GetItemText(1, 5), "Sent");
    EXPECT_EQ(List(2)->GetItemText(2, 5), "Sent");
    EXPECT_TRUE(FileExists(received + "/1.eml"));
    EXPECT_TRUE(FileExists(received + "/2.eml"));
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(home.sent + "/cur").size(), 3u);
    EXPECT_FALSE(AnyFileHolds(home.root, kPassword));
}

TEST_F(Outbox, RefusedPasswordMovesMailToFailed)
{
    Open("wrong");
    Press("send_now");
    WaitSent();
    EXPECT_EQ(Status(), "0 sent. 2 could not be sent (see Failed).");
    EXPECT_EQ(List(0)->GetItemCount(), 0);
    ASSERT_EQ(List(1)->GetItemCount(), 3);
    // Why, in the window's words, and the send program's own last line.
    EXPECT_TRUE(List(1)->GetItemText(1, 5).StartsWith("Failed: The server refused the login. (msmtp: "))
        << List(1)->GetItemText(1, 5);
    EXPECT_FALSE(FileExists(received + "/1.eml"));
}

// A mail the compose program handed over (MAPISendMail hands off as
// HandOffQueued does) that failed: the window opened afterwards tells why;
// sent again, it leaves no reason behind, and neither does a deleted one.
TEST_F(Outbox, TellsWhyAMailSentElsewhereFailed)
{
    std::string waiting = home.outbox + "/new/" + home.NewMail().front();
    ASSERT_EQ(mailsys::HandOffQueued(profile, {mailsys::Credentials::Given, "wrong"}, waiting),
              mailsys::HandOffResult::Failed);
    std::string reasons = home.root + "/data/tegamiya-mail/failed/reasons";
    ASSERT_EQ(Files(reasons).size(), 1u);
    Open();
    ASSERT_EQ(List(1)->GetItemCount(), 2);
    EXPECT_EQ(List(1)->GetItemText(0, 5), "Failed");  // an old one: no reason kept
    EXPECT_TRUE(List(1)->GetItemText(1, 5).StartsWith("Failed: The server refused the login. (")) << List(1)->GetItemText(1, 5);
    SelectRow(1, 1);
    Press("retry");
    WaitSent();
    EXPECT_EQ(Status(), "1 sent.");
    EXPECT_TRUE(Files(reasons).empty());
    EXPECT_EQ(List(2)->GetItemText(1, 5), "Sent");
}

TEST_F(Outbox, FailedMailIsSentAgain)
{
    Open();
    SelectRow(1, 0);
    Press("retry");
    WaitSent();
    EXPECT_EQ(Status(), "1 sent.");
    EXPECT_EQ(List(1)->GetItemCount(), 0);
    EXPECT_EQ(List(0)->GetItemCount(), 2);  // the waiting ones were not sent
    ASSERT_EQ(List(2)->GetItemCount(), 2);
    EXPECT_EQ(List(2)->GetItemText(1, 2), "failed one");
    EXPECT_FALSE(FileExists(failed));
    auto m = ReadMail(received + "/1.eml");
    EXPECT_EQ(m["subject_hex"], Hex("failed one"));
    EXPECT_FALSE(FileExists(received + "/2.eml"));
}

TEST_F(Outbox, DeleteAsksFirst)
{
    Open();
    SelectRow(1, 0);
    // The question is a native message box: answered from the hook.
    struct Answer : wxModalDialogHook {
        Answer() { Register(); }
        ~Answer() override { Unregister(); }
        int Enter(wxDialog *d) override
        {
            ++shown;
            question = static_cast<wxMessageDialog *>(d)->GetMessage();
            return answer;
        }
        void Exit(wxDialog *) override {}
        int shown = 0, answer = wxID_NO;
        wxString question;
    } script;
    Press("delete");
    EXPECT_EQ(script.shown, 1);
    EXPECT_TRUE(FileExists(failed));
    script.answer = wxID_YES;
    Press("delete");
    EXPECT_EQ(script.shown, 2);
    EXPECT_FALSE(FileExists(failed));
    EXPECT_EQ(List(1)->GetItemCount(), 0);
    EXPECT_EQ(script.question, "Delete the 1 mails chosen?");
}

TEST_F(Outbox, OpensAMailsText)
{
    Open();
    SelectRow(0, 0);
    wxString text;
    DialogScript script([&](wxDialog *d) {
        text = Find<wxTextCtrl>(d, "mail_text")->GetValue();
        ClickId(d, wxID_CANCEL);
    });
    Press("open_text");
    EXPECT_EQ(script.shown, 1);
    EXPECT_TRUE(text.Contains(wxString::FromUTF8("Subject: ") + wxString::FromUTF8(kPictographSubject)));
    // The body with its last pictograph (F9FC, U+E757).
    EXPECT_TRUE(text.EndsWith(wxString::FromUTF8("\xE6\x9C\xAC\xE6\x96\x87\xEE\x9D\x97"))) << text;
}

// The window in Japanese, for the docs (MAILSYS_SCREENSHOTS).
TEST_F(Outbox, InJapanese)
{
    Language ja("ja_JP.UTF-8");
    Open();
    Press("send_now");
    WaitSent();
    EXPECT_EQ(Status(), wxString::FromUTF8("2 通送信しました。"));
    Get<wxNotebook>("folders")->SetSelection(2);
    EXPECT_EQ(Get<wxButton>("send_now")->GetLabel(), wxString::FromUTF8("今すぐ送信"));
    EXPECT_EQ(Get<wxNotebook>("folders")->GetPageText(2), wxString::FromUTF8("送信済み (3)"));
    Shot("outbox_ja");
}

// The program that starts the window names its language: it wins over a
// locale that asks for none (C), so the window matches the program's own.
TEST_F(Outbox, TheProgramsLanguageWinsOverTheLocale)
{
    setenv("TEGAMIYA_MAIL_LANGUAGE", "ja", 1);
    Open();
    unsetenv("TEGAMIYA_MAIL_LANGUAGE");
    EXPECT_EQ(Get<wxButton>("send_now")->GetLabel(), wxString::FromUTF8("今すぐ送信"));
    EXPECT_EQ(List(0)->GetItemText(0, 5), wxString::FromUTF8("送信待ち"));
    EXPECT_EQ(List(1)->GetItemText(0, 5), wxString::FromUTF8("送れませんでした"));
}

}  // namespace

int main(int argc, char **argv)
{
    // The pictograph font, before any window exists, as the program does
    // (not for the listing of the tests at build time: fontconfig keeps it).
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::string(argv[i]) == "--gtest_list_tests";
    if (!listing)
        mailsys::LoadPictographFont(std::string(TEGAMIYA_OUT) + "/Tegamiya.tte");
    return RunWxTests(argc, argv);
}
