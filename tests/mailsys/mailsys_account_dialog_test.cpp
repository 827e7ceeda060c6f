// The account dialogs inside a wx program, as Tegamiya logs on: the first
// logon with the SMTP account and its connection test, the password kept in
// a real (private) keyring and found by msmtp, and, without a keyring, the
// password asked at each logon and kept in no file.
#include "account_fixture.h"
#include "dialog_script.h"

#include "account_dialog.h"
#include "keyring.h"
#include "ui_text.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/stattext.h>

using namespace mailsys_test;

namespace {

constexpr const char *kPassword = "pw-Dlg-4r8!";

wxString J(const char *utf8) { return wxString::FromUTF8(utf8); }

// The status line as said: the label breaks long texts at blanks (taking
// the blank) and between Japanese characters.
wxString Status(wxDialog *d)
{
    wxString label = Find<wxStaticText>(d, "smtp_status")->GetLabel(), s;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] != '\n')
            s += label[i];
        else if (i == 0 || i + 1 == label.size() || label[i - 1].IsAscii() || label[i + 1].IsAscii())
            s += ' ';
    }
    return s;
}

bool OkEnabled(wxDialog *d)
{
    d->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    return d->FindWindow(wxID_OK)->IsEnabled();
}

// Presses the connection test and waits for its answer.
wxString RunTest(wxDialog *d, const wxString &testing)
{
    d->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    Click(Find<wxButton>(d, "smtp_test"));
    WaitFor([&] { return Status(d) != testing; });
    return Status(d);
}

void SetSecurity(wxDialog *d, int index)
{
    auto *choice = Find<wxChoice>(d, "smtp_security");
    choice->SetSelection(index);
    wxCommandEvent e(wxEVT_CHOICE, choice->GetId());
    e.SetEventObject(choice);
    e.SetInt(index);
    choice->GetEventHandler()->ProcessEvent(e);
}

// A local account: the server of the tests on 127.0.0.1 without TLS (the
// one security that needs no certificate the system trusts).
struct LocalAccount {
    LocalAccount()
    {
        mkdir(received.c_str(), 0700);
        server = std::make_unique<AccountServer>(received, cert, "taro", kPassword, "plain");
    }
    TempHome home{false};
    std::string received = home.root + "/received";
    TestCertificate cert{home.root};
    std::unique_ptr<AccountServer> server;
};

TEST(AccountDialog, FirstLogonSetsUpTheAccountAndTheKeyring)
{
    LocalAccount a;
    ASSERT_GT(a.server->port, 0);
    PrivateKeyring keyring(a.home.root);
    ASSERT_TRUE(keyring.ready);
    Language ja("ja_JP.UTF-8");
    wxString test_label, note, refused, worked, wrong;
    bool ok_refused = true;
    DialogScript script([&](wxDialog *d) {
        test_label = Find<wxButton>(d, "smtp_test")->GetLabel();
        note = Find<wxStaticText>(d, "keyring_note")->GetLabel();
        Type(Find<wxTextCtrl>(d, "sender_name"), J("山田 太郎"));
        Type(Find<wxTextCtrl>(d, "sender_address"), "taro@example.jp");
        // No encryption to another machine: refused, said why.
        Type(Find<wxTextCtrl>(d, "smtp_server"), "smtp.example.jp");
        SetSecurity(d, 2);
        EXPECT_EQ(Find<wxTextCtrl>(d, "smtp_port")->GetValue(), "25");
        refused = Status(d);
        ok_refused = !OkEnabled(d);
        Type(Find<wxTextCtrl>(d, "smtp_server"), "127.0.0.1");
        Type(Find<wxTextCtrl>(d, "smtp_port"), std::to_string(a.server->port));
        Type(Find<wxTextCtrl>(d, "smtp_user"), "taro");
        Type(Find<wxTextCtrl>(d, "smtp_password"), "not-it");
        wrong = RunTest(d, J("接続をテストしています..."));
        Type(Find<wxTextCtrl>(d, "smtp_password"), kPassword);
        worked = RunTest(d, J("接続をテストしています..."));
        Shot("account_ja");
        EXPECT_TRUE(OkEnabled(d));
        ClickId(d, wxID_OK);
    });
    LHANDLE h = 0;
    ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &h), 0u);
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(script.title, J("メールシステム: 差出人の設定"));
    EXPECT_EQ(test_label, J("接続テスト"));
    EXPECT_EQ(note, J("パスワードはデスクトップのキーリングに保存します (ファイルには書きません)。"));
    EXPECT_EQ(refused, J("暗号化なしで使えるのは、このコンピューター上のサーバーだけです。"));
    EXPECT_TRUE(ok_refused);
    EXPECT_EQ(wrong, J("ユーザー名またはパスワードが違います。サーバーがログインを断りました。"));
    EXPECT_EQ(worked, J("接続できました。サーバーにログインできます。"));

    std::string profile = ReadText(a.home.root + "/config/tegamiya-mail/profile.conf");
    EXPECT_NE(profile.find("smtp_server = 127.0.0.1\nsmtp_port = " + std::to_string(a.server->port) +
                           "\nsmtp_security = none\nsmtp_user = taro\n"),
              std::string::npos)
        << profile;
    std::string stored;
    EXPECT_EQ(mailsys::LookupSmtpPassword("127.0.0.1", "taro", &stored), mailsys::KeyringResult::Ok);
    EXPECT_EQ(stored, kPassword);

    // One press of Send: the mail arrives, pictographs intact for a docomo
    // phone (the default the first logon writes), and is filed under Sent.
    const std::string subject = Cp932("件名") + "\xF8\x9F";
    const std::string body = Cp932("本文") + "\xF9\xFC";
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "hanako@docomo.ne.jp")}, subject, body), 0u);
    MAPILogoff(h, 0, 0, 0);
    EXPECT_EQ(ReadText(a.received + "/1.env"), "taro@example.jp\nhanako@docomo.ne.jp\n");
    auto m = ReadMail(a.received + "/1.eml");
    EXPECT_EQ(m["subject_hex"], Hex(subject));
    EXPECT_EQ(m["body_hex"], Hex(body));
    EXPECT_EQ(Files(a.home.sent + "/cur").size(), 1u);
    // The test logins and the hand-off's, and no file with the password.
    EXPECT_EQ(a.server->AuthLog(), "PLAIN taro bad\nPLAIN taro ok\nPLAIN taro ok\n");
    EXPECT_FALSE(AnyFileHolds(a.home.root, kPassword));
}

TEST(AccountDialog, WithoutKeyringThePasswordIsAskedAtEachLogon)
{
    LocalAccount a;
    NoKeyring(a.home.root);
    Language english("C");
    a.home.WriteProfile("name = Taro\naddress = taro@example.jp\n[account]\nsmtp_server = 127.0.0.1\nsmtp_port = " +
                        std::to_string(a.server->port) + "\nsmtp_security = none\nsmtp_user = taro\n");
    wxString note;
    DialogScript script([&](wxDialog *d) {
        note = Find<wxStaticText>(d, "keyring_note")->GetLabel();
        if (script.shown == 1) {
            Type(Find<wxTextCtrl>(d, "smtp_password"), kPassword);
            Shot("password");
            ClickId(d, wxID_OK);
        } else {
            ClickId(d, wxID_CANCEL);
        }
    });
    LHANDLE h = 0;
    ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h), 0u);
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(note, "No keyring answers on this desktop: the password is not saved\nand is asked for at each logon.");
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "hanako@example.jp")}), 0u);
    MAPILogoff(h, 0, 0, 0);
    EXPECT_TRUE(FileExists(a.received + "/1.eml"));

    // The next logon asks again; cancelled, mail waits in the outbox.
    ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h), 0u);
    EXPECT_EQ(script.shown, 2);
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "hanako@example.jp")}), 0u);
    MAPILogoff(h, 0, 0, 0);
    EXPECT_FALSE(FileExists(a.received + "/2.eml"));
    EXPECT_EQ(a.home.NewMail().size(), 1u);
    EXPECT_EQ(a.server->AuthLog(), "PLAIN taro ok\n");
    EXPECT_FALSE(AnyFileHolds(a.home.root, kPassword));
}

TEST(AccountDialog, ConnectionTestTellsACertificateNotTrusted)
{
    TempHome home(false);
    NoKeyring(home.root);
    Language english("C");
    TestCertificate cert(home.root);
    AccountServer server(home.root, cert, "taro", kPassword, "starttls");
    ASSERT_GT(server.port, 0);
    wxString said, note;
    DialogScript script([&](wxDialog *d) {
        note = Find<wxStaticText>(d, "keyring_note")->GetLabel();
        Type(Find<wxTextCtrl>(d, "smtp_server"), "127.0.0.1");
        EXPECT_EQ(Find<wxTextCtrl>(d, "smtp_port")->GetValue(), "587");
        Type(Find<wxTextCtrl>(d, "smtp_port"), std::to_string(server.port));
        Type(Find<wxTextCtrl>(d, "smtp_user"), "taro");
        said = RunTest(d, "Testing the connection...");
        ClickId(d, wxID_CANCEL);
    });
    LHANDLE h = 0;
    EXPECT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h), ULONG(MAPI_USER_ABORT));
    EXPECT_EQ(said, "The server's certificate is not trusted, or is not for this server name. The connection was "
                    "not used.");
    EXPECT_EQ(note, "No keyring answers on this desktop: the password is not saved\nand is asked for at each logon.");
    EXPECT_FALSE(FileExists(home.root + "/config/tegamiya-mail/profile.conf"));
}

// A connection test that waits on a silent server never holds the dialog:
// Cancel and the window's close box end it at once (the test stopped with
// it: the server sees the connection closed long before the test's
// deadline), "Stop test" stops the test alone, and at the deadline the user
// is told the server did not answer.
TEST(AccountDialog, AConnectionTestNeverHoldsTheDialog)
{
    using namespace std::chrono;
    TempHome home(false);
    NoKeyring(home.root);
    Language english("C");
    TestCertificate cert(home.root);
    const wxString testing = "Testing the connection...";
    enum class Act { Cancel, Close, StopTest, Wait };
    struct {
        const char *what;
        Act act;
        milliseconds deadline;
        const char *said;
    } cases[] = {
        {"Cancel", Act::Cancel, minutes(10), nullptr},
        {"close box", Act::Close, minutes(10), nullptr},
        {"Stop test", Act::StopTest, minutes(10), "The test was stopped."},
        {"deadline", Act::Wait, milliseconds(1500),
         "The server did not answer in time. Check the port number and the security setting: a port that expects "
         "the other one may stay silent."},
    };
    mailsys::UiText text;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptServer server(cert, "silent");
        ASSERT_GT(server.port, 0);
        mailsys::Profile profile;
        mailsys::AccountDialog dialog(nullptr, profile, mailsys::AccountDialog::Mode::FirstLogon, false, false, text);
        dialog.SetProbeDeadline(c.deadline);
        wxString said, stop_label, test_label;
        bool usable = false;
        DialogScript script([&](wxDialog *d) {
            Type(Find<wxTextCtrl>(d, "sender_address"), "taro@example.jp");
            Type(Find<wxTextCtrl>(d, "smtp_server"), "127.0.0.1");
            SetSecurity(d, 2);
            Type(Find<wxTextCtrl>(d, "smtp_port"), std::to_string(server.port));
            d->UpdateWindowUI(wxUPDATE_UI_RECURSE);
            Click(Find<wxButton>(d, "smtp_test"));
            EXPECT_TRUE(server.Said("accepted"));
            usable = OkEnabled(d) && d->FindWindow(wxID_CANCEL)->IsEnabled();
            stop_label = Find<wxButton>(d, "smtp_test")->GetLabel();
            if (c.act == Act::Cancel)
                Shot("account_testing");
            if (c.act == Act::StopTest)
                Click(Find<wxButton>(d, "smtp_test"));
            if (c.act == Act::StopTest || c.act == Act::Wait) {
                EXPECT_TRUE(WaitFor([&] { return Status(d) != testing; }, 120));
                said = Status(d);
                if (c.act == Act::Wait)
                    Shot("account_timeout");
                test_label = Find<wxButton>(d, "smtp_test")->GetLabel();
            }
            if (c.act == Act::Close)
                d->Close();
            else
                ClickId(d, wxID_CANCEL);
        });
        EXPECT_EQ(dialog.ShowModal(), wxID_CANCEL);
        EXPECT_TRUE(usable);
        EXPECT_EQ(stop_label, "Stop test");
        if (c.said) {
            EXPECT_EQ(said, c.said);
            EXPECT_EQ(test_label, "Test connection");
        }
        // The test has let go of the server (a stop, or its deadline).
        EXPECT_TRUE(server.Said("closed", 120));
    }
}

}  // namespace

int main(int argc, char **argv) { return RunWxTests(argc, argv); }
