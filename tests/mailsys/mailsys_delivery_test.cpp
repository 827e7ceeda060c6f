// Delivery: a writer killed at any moment leaves whole mails or none, and
// the hand-off to a real SMTP server through msmtp (both started here).
#include "test_support.h"
#include "../support/child_process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>

using namespace mailsys_test;

namespace {

std::string Sha256(const std::string &file)
{
    FILE *p = popen(("sha256sum '" + file + "'").c_str(), "r");
    char buf[65] = {};
    if (!p || fread(buf, 1, 64, p) != 64)
        buf[0] = 0;
    if (p)
        pclose(p);
    return buf;
}

TEST(MailDelivery, KilledWriterLeavesWholeMailsOrNone)
{
    TempHome home;
    std::string attachment = home.root + "/big.jpg";
    std::mt19937 rng(7);
    std::string data = "\xFF\xD8\xFF";
    for (int i = 0; i < 1500000; ++i)
        data += static_cast<char>(rng());
    WriteText(attachment, data);
    std::string sha = Sha256(attachment);

    int kills = 0;
    for (int round = 0; round < 10; ++round) {
        int out = -1;
        pid_t pid = testenv::StartProgram({MAILSYS_SEND_LOOP, attachment}, &out);
        ASSERT_GT(pid, 0);
        // Let it finish 0 to 2 mails, then kill it at a random moment of
        // the next ones.
        for (int sent = 0; sent < round % 3; ++sent) {
            pollfd p{out, POLLIN, 0};
            char c;
            if (poll(&p, 1, 20000) != 1 || read(out, &c, 1) != 1)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(rng() % 150)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        close(out);
        if (WIFSIGNALED(status))
            ++kills;
    }
    EXPECT_EQ(kills, 10);
    auto files = home.NewMail();
    ASSERT_FALSE(files.empty());
    std::vector<std::string> paths;
    for (const auto &f : files)
        paths.push_back(home.outbox + "/new/" + f);
    auto mails = ReadMails(paths);
    ASSERT_EQ(mails.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(mails[i]["defects"], "0") << files[i];
        EXPECT_EQ(mails[i]["attachments"], "1") << files[i];
        EXPECT_EQ(mails[i]["att0_sha256"], sha) << files[i];
    }
    printf("%zu whole mails in new/, %zu unfinished files in tmp/\n", files.size(),
           Files(home.outbox + "/tmp").size());
}

// smtp_sink.py: stores each mail it receives in `folder` as N.eml and N.env.
class SmtpServer : public testenv::ServerProgram {
public:
    explicit SmtpServer(const std::string &folder)
        : ServerProgram({"/usr/bin/python3", std::string(MAILSYS_TEST_DIR) + "/smtp_sink.py", folder})
    {
    }
};

TEST(MailDelivery, HandOffThroughMsmtpToSmtpServer)
{
    const std::string kBody = "\x82\xA0\xF8\x9F\xF9\xFC\r\n.\r\nend";
    TempHome home(false);
    std::string received = home.root + "/received";
    mkdir(received.c_str(), 0700);
    SmtpServer server(received);
    ASSERT_GT(server.port, 0) << "the SMTP server did not start";
    std::string command = "msmtp --host=127.0.0.1 --port=" + std::to_string(server.port) +
                          " --auth=off --tls=off --read-envelope-from -t";
    home.WriteProfile("name = Taro\naddress = taro@example.jp\nsend_command = " + command + "\n" + kAllDocomo);
    LHANDLE h = Logon();
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com"), Recip(MAPI_CC, "cc@example.com"),
                       Recip(MAPI_BCC, "hidden@example.com")},
                   "hello", kBody),
              0u);
    // Sent: it left the outbox for the Sent folder.
    EXPECT_TRUE(home.NewMail().empty());
    auto sent = Files(home.sent + "/cur");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].find(":2,S"), std::string::npos);

    ASSERT_TRUE(FileExists(received + "/1.eml"));
    std::string envelope = ReadText(received + "/1.env");
    EXPECT_EQ(envelope, "taro@example.jp\nto@example.com\ncc@example.com\nhidden@example.com\n");
    auto m = ReadMail(received + "/1.eml");
    EXPECT_EQ(m["to"], "to@example.com");
    EXPECT_EQ(m["cc"], "cc@example.com");
    EXPECT_EQ(m["bcc"], "");  // never shown to the other recipients
    EXPECT_EQ(m["body_hex"], Hex(kBody));  // pictographs intact after SMTP
    // The copy under Sent keeps Bcc, as a sent-mail folder does.
    EXPECT_EQ(ReadMail(home.sent + "/cur/" + sent[0])["bcc"], "hidden@example.com");
    MAPILogoff(h, 0, 0, 0);
}

// One call to a docomo phone (To), an au phone (Cc) and a PC (Bcc) with a
// pictograph in subject and body, through the library's own msmtp account
// and the default [pictographs] rules: each recipient gets one delivery,
// in its form, with only itself in the envelope, and no Bcc line anywhere.
TEST(MailDelivery, EachRecipientGetsItsFormThroughMsmtp)
{
    TempHome home(false);
    std::string received = home.root + "/received";
    mkdir(received.c_str(), 0700);
    SmtpServer server(received);
    ASSERT_GT(server.port, 0) << "the SMTP server did not start";
    home.WriteProfile("name = Taro\naddress = taro@example.jp\n[account]\nsmtp_server = 127.0.0.1\nsmtp_port = " +
                      std::to_string(server.port) + "\nsmtp_security = none\n");
    const std::string subject = Cp932("件名") + "\xF8\x9F", body = Cp932("本文") + "\xF8\x9F\r\n";
    const std::string sun = "\xE2\x98\x80\xEF\xB8\x8F";  // U+2600 U+FE0F
    LHANDLE h = Logon();
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "d@docomo.ne.jp"), Recip(MAPI_CC, "au@ezweb.ne.jp"),
                       Recip(MAPI_BCC, "g@gmail.com")},
                   subject, body),
              0u);
    MAPILogoff(h, 0, 0, 0);
    ASSERT_TRUE(FileExists(received + "/3.eml"));
    EXPECT_FALSE(FileExists(received + "/4.eml"));
    std::map<std::string, std::map<std::string, std::string>> by_recipient;
    for (const std::string n : {"/1", "/2", "/3"}) {
        std::string env = ReadText(received + n + ".env"), raw = ReadText(received + n + ".eml");
        ASSERT_EQ(env.rfind("taro@example.jp\n", 0), 0u) << env;
        ASSERT_EQ(std::count(env.begin(), env.end(), '\n'), 2) << env;  // just its own recipient
        EXPECT_EQ(raw.find("Bcc:"), std::string::npos) << raw;
        EXPECT_EQ(raw.find("X-Tegamiya-"), std::string::npos) << raw;
        by_recipient[env.substr(16, env.size() - 17)] = ReadMail(received + n + ".eml");
    }
    ASSERT_EQ(by_recipient.size(), 3u);
    for (auto &[rcpt, m] : by_recipient) {
        SCOPED_TRACE(rcpt);
        EXPECT_EQ(m["to"], "d@docomo.ne.jp");
        EXPECT_EQ(m["cc"], "au@ezweb.ne.jp");
        EXPECT_EQ(m["bcc"], "");
        bool docomo = rcpt == "d@docomo.ne.jp";
        EXPECT_EQ(m["body_charset"], docomo ? "shift_jis" : "utf-8");
        EXPECT_EQ(m["body_hex"], Hex(docomo ? body : "本文" + sun + "\r\n"));
        EXPECT_EQ(m["subject_hex"], Hex(docomo ? subject : "件名" + sun));
    }
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(home.sent + "/cur").size(), 2u);  // two mails, one per form

    // A recipient the send program refuses: the mail keeps only the
    // recipients not reached yet, under failed/, so a second try reaches
    // each once.
    home.WriteProfile("address = taro@example.jp\nsend_command = f() { cat >/dev/null; test $1 != g@gmail.com; }; f\n");
    h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "d@docomo.ne.jp"), Recip(MAPI_CC, "au@ezweb.ne.jp"),
                       Recip(MAPI_BCC, "g@gmail.com")}),
              ULONG(MAPI_E_FAILURE));
    MAPILogoff(h, 0, 0, 0);
    std::string failed = home.root + "/data/tegamiya-mail/failed/new";
    auto kept = Files(failed);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadText(failed + "/" + kept[0]).rfind("X-Tegamiya-Pictographs: unicode\nX-Tegamiya-Envelope-To: g@gmail.com\nDate:", 0), 0u);
}

// A failed hand-off used to leave the mail in the outbox while the caller
// was told that nothing was sent; a retry then queued a second copy. The
// mail now moves to failed/ beside the outbox, and a retry sends one mail.
TEST(MailDelivery, FailedHandOffMovesMailToFailed)
{
    TempHome home(false);
    std::string failed = home.root + "/data/tegamiya-mail/failed";
    // A port nothing listens on: the server is gone.
    int port = 0;
    {
        std::string folder = home.root;
        SmtpServer server(folder);
        port = server.port;
    }
    ASSERT_GT(port, 0);
    home.WriteProfile("address = taro@example.jp\nsend_command = msmtp --host=127.0.0.1 --port=" +
                      std::to_string(port) + " --auth=off --tls=off --read-envelope-from -t\n");
    LHANDLE h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}, "first", "body"), ULONG(MAPI_E_FAILURE));
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_TRUE(Files(home.sent + "/cur").empty());
    auto kept = Files(failed + "/new");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadMail(failed + "/new/" + kept[0])["to"], "to@example.com");
    MAPILogoff(h, 0, 0, 0);

    // A command that hangs is stopped after the timeout; its mail goes the
    // same way.
    home.WriteProfile("address = taro@example.jp\nsend_command = sleep 30\nsend_timeout = 1\n");
    h = Logon();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}), ULONG(MAPI_E_FAILURE));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(failed + "/new").size(), 2u);
    MAPILogoff(h, 0, 0, 0);

    // Another try with a server that answers delivers exactly one mail.
    std::string received = home.root + "/received";
    mkdir(received.c_str(), 0700);
    SmtpServer server(received);
    ASSERT_GT(server.port, 0);
    home.WriteProfile("address = taro@example.jp\nsend_command = msmtp --host=127.0.0.1 --port=" +
                      std::to_string(server.port) + " --auth=off --tls=off --read-envelope-from -t\n");
    h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}, "first", "body"), 0u);
    EXPECT_TRUE(FileExists(received + "/1.eml"));
    EXPECT_FALSE(FileExists(received + "/2.eml"));
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(home.sent + "/cur").size(), 1u);
    MAPILogoff(h, 0, 0, 0);

    // Mail waiting without a send command stays in the outbox.
    home.WriteProfile("address = taro@example.jp\n");
    h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}), 0u);
    EXPECT_EQ(home.NewMail().size(), 1u);
    EXPECT_EQ(Files(failed + "/new").size(), 2u);
    MAPILogoff(h, 0, 0, 0);
}

}  // namespace
