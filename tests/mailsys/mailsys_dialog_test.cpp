// The mail system's dialogs inside a wx program, as Tegamiya uses them:
// the logon dialog that creates the profile, and the address book dialog.
// Each modal dialog is scripted through wxModalDialogHook: its widgets are
// found by name and driven with the events a user's input would send.
#include "book_fixture.h"
#include "test_support.h"
#include "dialog_script.h"
#include "ui_text.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/srchctrl.h>
#include <wx/textctrl.h>

#include <functional>
#include <optional>
#include <iconv.h>

using namespace mailsys_test;

namespace {

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteText(home.book, kTestBook);
        frame = new wxFrame(nullptr, wxID_ANY, "Main", wxDefaultPosition, wxSize(500, 400));
        frame->Show();
        wxTheApp->SetTopWindow(frame);
        for (int i = 0; i < 10; ++i)
            wxYield();
    }
    void TearDown() override
    {
        frame->Destroy();
        wxYield();
    }
    ULONG_PTR Window() const { return reinterpret_cast<ULONG_PTR>(frame->GetHandle()); }

    TempHome home;
    wxFrame *frame = nullptr;
};

TEST_F(Dialogs, LogonDialogCreatesProfile)
{
    TempHome fresh(false);
    DialogScript script([](wxDialog *d) {
        Type(Find<wxTextCtrl>(d, "sender_name"), wxString::FromUTF8("鈴木 花子"));
        Type(Find<wxTextCtrl>(d, "sender_address"), "no address");
        ClickId(d, wxID_OK);  // refused: the dialog stays
        Type(Find<wxTextCtrl>(d, "sender_address"), " hanako@example.jp ");
        Shot("logon");
        ClickId(d, wxID_OK);
    });
    LHANDLE h = 0;
    // As Tegamiya logs on: no window, empty profile name and password.
    ASSERT_EQ(MAPILogon(0, const_cast<char *>(""), const_cast<char *>(""), MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &h),
              0u);
    EXPECT_EQ(script.shown, 1);
    EXPECT_NE(h, 0u);
    std::string profile = ReadText(fresh.root + "/config/tegamiya-mail/profile.conf");
    EXPECT_NE(profile.find("name = 鈴木 花子\n"), std::string::npos);
    EXPECT_NE(profile.find("address = hanako@example.jp\n"), std::string::npos);
    EXPECT_NE(profile.find("outbox = " + fresh.outbox + "\n"), std::string::npos);
    EXPECT_NE(profile.find("addressbook = " + fresh.root + "/data/contacts\n"), std::string::npos);
    // The sender now signs the mail.
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "x@example.com")}), 0u);
    auto m = ReadMail(fresh.outbox + "/new/" + fresh.NewMail()[0]);
    EXPECT_EQ(m["from"], "hanako@example.jp");
    EXPECT_EQ(m["from_names"], "鈴木 花子");
    EXPECT_EQ(MAPILogoff(h, 0, 0, 0), 0u);

    // With the profile in place no dialog is shown any more.
    ASSERT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h), 0u);
    EXPECT_EQ(script.shown, 1);
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(Dialogs, CancelledLogonWritesNothing)
{
    TempHome fresh(false);
    DialogScript script([](wxDialog *d) { ClickId(d, wxID_CANCEL); });
    LHANDLE h = 0;
    EXPECT_EQ(MAPILogon(Window(), nullptr, nullptr, MAPI_LOGON_UI, 0, &h), ULONG(MAPI_USER_ABORT));
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(script.parent, frame);
    EXPECT_FALSE(FileExists(fresh.root + "/config/tegamiya-mail/profile.conf"));
}

// A profile whose [pictographs] line names no form: the logon says which
// line, fails, and leaves the user's file as it is (no logon dialog).
TEST_F(Dialogs, RefusedProfileIsToldAndKept)
{
    TempHome home(false);
    const std::string text = "address = taro@example.jp\n[pictographs]\nezweb.ne.jp = emoji\n";
    home.WriteProfile(text);
    struct Answer : wxModalDialogHook {
        int Enter(wxDialog *d) override
        {
            ++shown;
            if (auto *m = dynamic_cast<wxMessageDialog *>(d))
                message = m->GetMessage() + m->GetExtendedMessage();
            return wxID_OK;  // answered without being shown
        }
        void Exit(wxDialog *) override {}
        int shown = 0;
        wxString message;
    } answer;
    answer.Register();
    LHANDLE h = 0;
    EXPECT_EQ(MAPILogon(Window(), nullptr, nullptr, MAPI_LOGON_UI, 0, &h), ULONG(MAPI_E_LOGIN_FAILURE));
    answer.Unregister();
    EXPECT_EQ(answer.shown, 1);
    EXPECT_TRUE(answer.message.Contains("profile.conf:3: [pictographs] \"ezweb.ne.jp = emoji\"")) << answer.message;
    EXPECT_EQ(ReadText(home.root + "/config/tegamiya-mail/profile.conf"), text);
}

TEST_F(Dialogs, AddressBookWithThreeWells)
{
    LHANDLE h = Logon();
    std::string ichiro = Cp932("鈴木 一郎");
    std::vector<MapiRecipDesc> preset = {Recip(MAPI_TO, "Hanako Suzuki"), Recip(MAPI_CC, "cc@example.com"),
                                         Recip(MAPI_BCC, ichiro.data())};
    std::string caption = Cp932("アドレス張");
    std::vector<long> counts;
    DialogScript script([&](wxDialog *d) {
        auto *search = Find<wxSearchCtrl>(d, "search");
        auto *list = Find<wxListCtrl>(d, "contacts");
        auto *to = Find<wxListBox>(d, "well0");
        auto *cc = Find<wxListBox>(d, "well1");
        auto *bcc = Find<wxListBox>(d, "well2");
        // Preset from the recipients passed, each in its class's well.
        EXPECT_EQ(to->GetStrings(), wxArrayString(1, {wxString("Hanako Suzuki <hanako@docomo.ne.jp>")}));
        EXPECT_EQ(cc->GetStrings(), wxArrayString(1, {wxString("cc@example.com")}));
        EXPECT_EQ(bcc->GetString(0), wxString::FromUTF8("鈴木 一郎 <ichiro@ezweb.ne.jp>"));
        counts.push_back(list->GetItemCount());
        search->SetValue("tar");  // names, ignoring case
        counts.push_back(list->GetItemCount());
        search->SetValue("ezweb");  // addresses too
        counts.push_back(list->GetItemCount());
        search->SetValue("fam");
        counts.push_back(list->GetItemCount());
        SelectOnly(list, 0);
        Click(Find<wxButton>(d, "add0"));
        search->SetValue("new@example.org");  // no contact: the typed address is taken
        counts.push_back(list->GetItemCount());
        Click(Find<wxButton>(d, "add1"));
        bcc->SetSelection(0);
        Click(Find<wxButton>(d, "remove"));
        search->SetValue("");
        Shot("address3");
        ClickId(d, wxID_OK);
    });
    ULONG n = 99;
    lpMapiRecipDesc out = nullptr;
    ASSERT_EQ(MAPIAddress(h, Window(), caption.data(), 3, nullptr, 3, preset.data(), 0, 0, &n, &out), 0u);
    EXPECT_EQ(script.title, wxString::FromUTF8("アドレス張"));
    EXPECT_EQ(script.parent, frame);
    EXPECT_EQ(counts, (std::vector<long>{7, 2, 1, 1, 0}));
    ASSERT_EQ(n, 4u);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out[0].ulRecipClass, ULONG(MAPI_TO));
    EXPECT_STREQ(out[0].lpszName, "Hanako Suzuki");
    EXPECT_STREQ(out[0].lpszAddress, "hanako@docomo.ne.jp");
    EXPECT_EQ(out[1].ulRecipClass, ULONG(MAPI_TO));
    EXPECT_STREQ(out[1].lpszName, "Family");
    EXPECT_EQ(out[1].lpszAddress, nullptr);
    EXPECT_EQ(out[2].ulRecipClass, ULONG(MAPI_CC));
    EXPECT_STREQ(out[2].lpszName, "cc@example.com");
    EXPECT_STREQ(out[2].lpszAddress, "cc@example.com");
    EXPECT_EQ(out[3].ulRecipClass, ULONG(MAPI_CC));
    EXPECT_STREQ(out[3].lpszName, "new@example.org");
    EXPECT_EQ(MAPIFreeBuffer(out), 0u);
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(Dialogs, AddressBookWithOneWellAndCancel)
{
    LHANDLE h = Logon();
    std::string caption = Cp932("アドレス張");
    ULONG n = 0;
    lpMapiRecipDesc out = nullptr;
    // Each script is unregistered before the next dialog: every registered
    // hook sees every dialog, and two scripts on one dialog race each other.
    {
        DialogScript script([&](wxDialog *d) {
            EXPECT_EQ(wxWindow::FindWindowByName("well1", d), nullptr);
            auto *list = Find<wxListCtrl>(d, "contacts");
            Find<wxSearchCtrl>(d, "search")->SetValue("ichiro");
            SelectOnly(list, 0);
            Click(Find<wxButton>(d, "add0"));
            Shot("address1");
            ClickId(d, wxID_OK);
        });
        ASSERT_EQ(MAPIAddress(h, Window(), caption.data(), 1, nullptr, 0, nullptr, 0, 0, &n, &out), 0u);
        EXPECT_EQ(script.shown, 1);
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(out[0].ulRecipClass, ULONG(MAPI_TO));
        EXPECT_EQ(std::string(out[0].lpszName), Cp932("鈴木 一郎"));
        EXPECT_EQ(MAPIFreeBuffer(out), 0u);
    }

    DialogScript cancel([](wxDialog *d) {
        Click(Find<wxButton>(d, "add0"));
        ClickId(d, wxID_CANCEL);
    });
    n = 5;
    out = reinterpret_cast<lpMapiRecipDesc>(0x1);
    EXPECT_EQ(MAPIAddress(h, Window(), caption.data(), 1, nullptr, 0, nullptr, 0, 0, &n, &out),
              ULONG(MAPI_USER_ABORT));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(out, nullptr);
    MAPILogoff(h, 0, 0, 0);
}

// The language of the dialogs follows the environment as gettext reads it.
TEST(DialogLanguage, WantedLanguagesFollowTheEnvironment)
{
    struct Case {
        const char *language, *lc_all, *lc_messages, *lang;
        std::vector<std::string> want;
    } cases[] = {
        {nullptr, nullptr, nullptr, "ja_JP.UTF-8", {"ja_JP", "ja"}},
        {nullptr, nullptr, "ja_JP.eucJP@x", "en_US.UTF-8", {"ja_JP", "ja"}},
        {nullptr, "en_GB.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", {"en_GB", "en"}},
        {"fr:ja", nullptr, nullptr, "de_DE.UTF-8", {"fr", "ja", "de_DE", "de"}},
        {"ja", nullptr, nullptr, "C.UTF-8", {}},  // LANGUAGE is ignored in the C locale
        {nullptr, nullptr, nullptr, "POSIX", {}},
        {nullptr, "", "", "", {}},
        {nullptr, nullptr, nullptr, "ja", {"ja"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mailsys::WantedLanguages(c.language, c.lc_all, c.lc_messages, c.lang), c.want)
            << (c.lang ? c.lang : "-");
}

// Sets the locale variables for the life of the object.

// The address book speaks Japanese in a Japanese locale (from the catalogue
// built beside the library) and English in any other.
TEST_F(Dialogs, AddressBookInTheUsersLanguage)
{
    LHANDLE h = Logon();
    struct Seen {
        wxString title, to, cancel, remove;
    };
    auto run = [&](const char *caption) {
        Seen seen;
        DialogScript script([&](wxDialog *d) {
            seen.to = Find<wxButton>(d, "add0")->GetLabel();
            seen.remove = Find<wxButton>(d, "remove")->GetLabel();
            seen.cancel = d->FindWindow(wxID_CANCEL)->GetLabel();
            if (caption)
                Shot("address_ja");
            ClickId(d, wxID_CANCEL);
        });
        std::vector<MapiRecipDesc> preset = {Recip(MAPI_TO, "Hanako Suzuki"), Recip(MAPI_BCC, "bcc@example.com")};
        ULONG n = 0;
        lpMapiRecipDesc out = nullptr;
        EXPECT_EQ(MAPIAddress(h, Window(), const_cast<char *>(caption), 3, nullptr, 2, preset.data(), 0, 0, &n,
                              &out),
                  ULONG(MAPI_USER_ABORT));
        seen.title = script.title;
        return seen;
    };
    {
        Language ja("ja_JP.UTF-8");
        Seen s = run(nullptr);
        EXPECT_EQ(s.title, wxString::FromUTF8("アドレス帳"));
        EXPECT_EQ(s.to, wxString::FromUTF8("宛先 ->"));
        EXPECT_EQ(s.remove, wxString::FromUTF8("削除"));
        EXPECT_EQ(s.cancel, wxString::FromUTF8("キャンセル"));
        std::string caption = Cp932("アドレス帳");
        EXPECT_EQ(run(caption.c_str()).title, wxString::FromUTF8("アドレス帳"));
    }
    {
        Language en("en_US.UTF-8");
        Seen s = run(nullptr);
        EXPECT_EQ(s.title, "Address Book");
        EXPECT_EQ(s.to, "To ->");
        EXPECT_EQ(s.cancel, "Cancel");
    }
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(Dialogs, LogonDialogInJapanese)
{
    TempHome fresh(false);
    Language ja("ja_JP.UTF-8");
    wxString ok;
    DialogScript script([&](wxDialog *d) {
        ok = d->FindWindow(wxID_CANCEL)->GetLabel();
        Type(Find<wxTextCtrl>(d, "sender_name"), wxString::FromUTF8("鈴木 花子"));
        Type(Find<wxTextCtrl>(d, "sender_address"), "hanako@example.jp");
        Shot("logon_ja");
        ClickId(d, wxID_CANCEL);
    });
    LHANDLE h = 0;
    EXPECT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &h), ULONG(MAPI_USER_ABORT));
    EXPECT_EQ(script.title, wxString::FromUTF8("メールシステム: 差出人の設定"));
    EXPECT_EQ(ok, wxString::FromUTF8("キャンセル"));
}

}  // namespace

int main(int argc, char **argv) { return RunWxTests(argc, argv); }
