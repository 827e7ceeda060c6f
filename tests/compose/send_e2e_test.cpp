// End to end: the program with the real mail library (libmapi32.so), a
// temporary profile, address book and Maildir. Recipients are picked in the
// library's address book, a Japanese subject and a body of 600 characters
// with pictographs go out at a limit of 250 with a JPEG attached, and the
// mails are read back with Python's email package: first from the outbox,
// then as an SMTP server received them through msmtp.
#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "child_process.h"
#include "compose/rich_edit.h"
#include "compose/sending_dlg.h"
#include "compose/tegamiya_view.h"
#include "gui_util.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/srchctrl.h>
#include <wx/textctrl.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using testenv::DialogScript;
using testenv::Shot;
using testenv::Sjis;

namespace {

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Each file as Python's email package reads it: key=value lines.
std::vector<std::map<std::string, std::string>> ReadMails(const std::vector<fs::path> &files)
{
    std::string cmd = std::string("/usr/bin/python3 '") + READ_MAIL_PY + "'";
    for (const auto &f : files)
        cmd += " '" + f.string() + "'";
    std::vector<std::map<std::string, std::string>> out(1);
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return {};
    char line[1 << 16];
    while (fgets(line, sizeof line, p)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        if (s == "--") {
            out.emplace_back();
            continue;
        }
        size_t eq = s.find('=');
        if (eq != std::string::npos)
            out.back()[s.substr(0, eq)] = s.substr(eq + 1);
    }
    pclose(p);
    out.pop_back();
    return out;
}

// Files of a folder, sorted by the number the SMTP sink or the Maildir
// gave them (Maildir names begin with the time, then a counter).
std::vector<fs::path> Files(const fs::path &dir, const std::string &ext = "")
{
    std::vector<fs::path> files;
    if (fs::exists(dir))
        for (const auto &e : fs::directory_iterator(dir))
            if (ext.empty() || e.path().extension() == ext)
                files.push_back(e.path());
    std::sort(files.begin(), files.end(), [](const fs::path &a, const fs::path &b) {
        std::string x = a.filename().string(), y = b.filename().string();
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    return files;
}

// The SMTP server of the mail system's tests (aiosmtpd on 127.0.0.1).
class SmtpServer : public testenv::ServerProgram {
public:
    explicit SmtpServer(const fs::path &folder) : ServerProgram({"/usr/bin/python3", SMTP_SINK_PY, folder.string()}) {}
};

void Click(wxWindow *w)
{
    wxCommandEvent e(wxEVT_BUTTON, w->GetId());
    e.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(e);
}

// 600 characters: kanji with a pictograph every tenth character.
std::string Body()
{
    std::string s;
    for (int i = 0; i < 600; ++i)
        s += i % 10 == 9 ? std::string(i % 20 == 9 ? "\xF8\x9F" : "\xF9\xFC") : std::string("\x8A\xBF");
    return s;
}

class EndToEnd : public ::testing::Test {
protected:
    testenv::TempHome home;
    testenv::ScriptUi ui;
    CTegamiyaApp &app = *TheApp();
    fs::path data = home.Path() / ".local/share";
    fs::path outbox = data / "tegamiya-mail/outbox";

    void SetUp() override
    {
        setenv("TEGAMIYA_MAPI_LIBRARY", MAPI32_PATH, 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        setenv("XDG_CONFIG_HOME", home.Config().c_str(), 1);
        setenv("LANG", "ja_JP.UTF-8", 1);
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        g_bClosing = false;
        CSendingDlg::s_showMs = 30;
        app.SetCommandLineFile("");
        // A carrier of 250 full-width characters for the recipients' domains.
        std::string ini = "[Keitai Vender]\r\nau=250\r\nDoCoMo i-mode=250\r\nPC=10000\r\n"
                          "[Default]\r\nVender=au\r\n";
        testenv::WriteFile(home.Documents() / "Tegamiya/Tegamiya.ini", ini);
        testenv::WriteFile(data / "contacts/hanako.vcf",
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 花子\r\nEMAIL:hanako@docomo.ne.jp\r\nEND:VCARD\r\n");
        // A name holding the field's separator.
        testenv::WriteFile(data / "contacts/example.vcf",
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Example\\, Inc.\r\nEMAIL:info@example.co.jp\r\nEND:VCARD\r\n");
        fs::copy_file(fs::path(JPEG_PATH), home.Path() / "写真.jpg");
    }
    void TearDown() override
    {
        for (wxWindow *w : wxTopLevelWindows)
            w->Destroy();
        testenv::Pump();
        ReleaseMapi();
        unsetenv("TEGAMIYA_MAPI_LIBRARY");
        unsetenv("LANG");
        CSendingDlg::s_showMs = 1000;
    }
    // The pictographs go to every domain as typed here (the mail system
    // tests the forms per recipient through msmtp on its own).
    void Profile(const std::string &extra)
    {
        testenv::WriteFile(home.Config() / "tegamiya-mail/profile.conf",
                           "name = 山田 太郎\naddress = taro@example.jp\n" + extra + "[pictographs]\n* = docomo\n");
    }
    CTegamiyaView *View() { return app.MainFrame()->View(); }
    template <class T> T *Ctl(int id) { return dynamic_cast<T *>(View()->FindWindow(id)); }

    // Picks the recipients in the mail system's address book and writes the
    // rest of the mail.
    void Compose()
    {
        DialogScript book([&](wxDialog *d) {
            auto *search = dynamic_cast<wxSearchCtrl *>(wxWindow::FindWindowByName("search", d));
            auto *list = dynamic_cast<wxListCtrl *>(wxWindow::FindWindowByName("contacts", d));
            auto *addTo = wxWindow::FindWindowByName("add0", d);
            ASSERT_TRUE(search && list && addTo);
            search->SetValue(wxString::FromUTF8("花子"));
            list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            Click(addTo);
            search->SetValue("ichiro@ezweb.ne.jp"); // no such contact: the address is taken as typed
            Click(addTo);
            search->SetValue("Example");
            list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            Click(wxWindow::FindWindowByName("add1", d));
            search->SetValue("");
            Shot("address_book");
            Click(d->FindWindow(wxID_OK));
        });
        Click(View()->FindWindow(1021));
        EXPECT_EQ(book.title, wxString::FromUTF8("アドレス帳"));
        EXPECT_EQ(Ctl<wxComboBox>(1035)->GetValue(), wxString::FromUTF8("山田 花子;ichiro@ezweb.ne.jp"));
        // The name goes in quoted and stays one recipient.
        EXPECT_EQ(Ctl<wxTextCtrl>(1011)->GetValue(), "\"Example, Inc.\"");
        Ctl<wxTextCtrl>(1011)->AppendText(";cc@example.com");
        Ctl<wxTextCtrl>(1016)->ChangeValue("hidden@example.com");
        View()->SubjectField()->SetTextBytes(Subject());
        View()->BodyField()->SetTextBytes(Body());
        ASSERT_TRUE(View()->AttachPicture((home.Path() / "写真.jpg").string()));
        testenv::Pump();
        ASSERT_EQ(View()->Limit(), 250u);
        ASSERT_EQ(View()->Mails(), 3u);
    }
    static std::string Subject() { return Sjis("夏休みの写真") + "\xF8\x9F"; }

    void ExpectThreeMails(const std::vector<std::map<std::string, std::string>> &mails)
    {
        ASSERT_EQ(mails.size(), 3u);
        std::string body = Body();
        const size_t sizes[] = {498, 498, 204};
        size_t at = 0;
        std::string jpeg = testenv::ReadFile(JPEG_PATH);
        for (size_t i = 0; i < 3; ++i) {
            auto m = mails[i];
            EXPECT_EQ(m["defects"], "0");
            EXPECT_EQ(m["subject_hex"], Hex(std::to_string(i + 1) + ")" + Subject())) << i;
            EXPECT_EQ(m["body_hex"], Hex(body.substr(at, sizes[i]))) << i;
            at += sizes[i];
            EXPECT_EQ(m["to"], "hanako@docomo.ne.jp,ichiro@ezweb.ne.jp");
            EXPECT_EQ(m["cc"], "info@example.co.jp,cc@example.com");
            EXPECT_EQ(m["attachments"], "1");
            EXPECT_EQ(m["att0_type"], "image/jpeg");
            EXPECT_EQ(m["att0_size"], std::to_string(jpeg.size()));
            EXPECT_EQ(m["att0_name_hex"], Hex("写真.jpg"));
            EXPECT_EQ(m["att0_ctname_hex"], Hex(Sjis("写真.jpg")));
        }
    }
};

TEST_F(EndToEnd, SplitMailsIntoTheOutbox)
{
    Profile("");
    ASSERT_TRUE(app.InitInstance());
    testenv::Pump();
    Compose();
    wxCommandEvent send(wxEVT_BUTTON, 1001);
    View()->FindWindow(1001)->GetEventHandler()->ProcessEvent(send);
    testenv::Pump();
    EXPECT_TRUE(ui->boxes.empty());
    for (const auto &b : ui->boxes)
        ADD_FAILURE() << b.text;
    auto files = Files(outbox / "new");
    auto mails = ReadMails(files);
    ExpectThreeMails(mails);
    // Waiting in the outbox, the mail keeps its Bcc for the hand-off.
    if (mails.size() == 3) {
        EXPECT_EQ(mails[0]["bcc"], "hidden@example.com");
    }
    EXPECT_EQ(View()->AttachmentPath(), "");
}

TEST_F(EndToEnd, ThroughMsmtpToAnSmtpServer)
{
    fs::path received = home.Path() / "received";
    fs::create_directories(received);
    SmtpServer server(received);
    ASSERT_GT(server.port, 0) << "the SMTP server did not start";
    Profile("send_command = msmtp --host=127.0.0.1 --port=" + std::to_string(server.port) +
            " --auth=off --tls=off --read-envelope-from -t\n");
    ASSERT_TRUE(app.InitInstance());
    testenv::Pump();
    Compose();
    wxCommandEvent send(wxEVT_BUTTON, 1001);
    View()->FindWindow(1001)->GetEventHandler()->ProcessEvent(send);
    testenv::Pump();
    for (const auto &b : ui->boxes)
        ADD_FAILURE() << b.text;
    auto mails = ReadMails(Files(received, ".eml"));
    ExpectThreeMails(mails);
    for (auto &m : mails)
        EXPECT_EQ(m["bcc"], ""); // never shown to the other recipients
    for (const auto &env : Files(received, ".env"))
        EXPECT_EQ(testenv::ReadFile(env),
                  "taro@example.jp\nhanako@docomo.ne.jp\nichiro@ezweb.ne.jp\ninfo@example.co.jp\ncc@example.com\nhidden@example.com\n");
    EXPECT_TRUE(Files(outbox / "new").empty());
    EXPECT_EQ(Files(data / "tegamiya-mail/sent/cur").size(), 3u);
}

} // namespace
