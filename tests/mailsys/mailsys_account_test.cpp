// The SMTP account: its checks and the msmtp configuration written from it,
// the connection test against a real server (STARTTLS/TLS with a certificate
// made here, AUTH PLAIN and LOGIN), delivery through msmtp with the password
// in a real keyring or handed over without one, and the Maildir rows of the
// outbox window.
#include "account_fixture.h"

#include "account.h"
#include "delivery.h"
#include "keyring.h"
#include "mail_list.h"
#include "maildir.h"
#include "message_builder.h"
#include "profile.h"
#include "smtp_probe.h"

#include <future>

using namespace mailsys_test;
using mailsys::AccountProblem;
using mailsys::ProbeFailure;
using mailsys::SmtpSecurity;

namespace {

mailsys::SmtpAccount Account(const std::string &server, int port, SmtpSecurity security, const std::string &user = "",
                             const std::string &ca = "")
{
    mailsys::SmtpAccount a;
    a.server = server;
    a.port = port;
    a.security = security;
    a.user = user;
    a.ca_file = ca;
    return a;
}

struct CheckCase {
    const char *server;
    int port;
    SmtpSecurity security;
    const char *user;
    AccountProblem expected;
};

class AccountCheck : public ::testing::TestWithParam<CheckCase> {};

// Server names at DNS's limits: 253 characters in all, 63 in a label.
const std::string kName253 = std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
                             std::string(61, 'd');
const std::string kName254 = kName253 + "d";
const std::string kLabel63 = std::string(63, 'a') + ".example.jp";
const std::string kLabel64 = std::string(64, 'a') + ".example.jp";

TEST_P(AccountCheck, JudgesTheAccount)
{
    const CheckCase &c = GetParam();
    EXPECT_EQ(mailsys::CheckAccount(Account(c.server, c.port, c.security, c.user)), c.expected)
        << c.server << ":" << c.port;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AccountCheck,
    ::testing::Values(CheckCase{"smtp.example.jp", 587, SmtpSecurity::StartTls, "taro", AccountProblem::None},
                      CheckCase{"", 587, SmtpSecurity::StartTls, "", AccountProblem::NoServer},
                      CheckCase{"smtp example", 587, SmtpSecurity::StartTls, "", AccountProblem::BadServer},
                      CheckCase{"-smtp.example", 587, SmtpSecurity::Tls, "", AccountProblem::BadServer},
                      CheckCase{"2001:db8::1", 465, SmtpSecurity::Tls, "", AccountProblem::None},
                      CheckCase{kName253.c_str(), 587, SmtpSecurity::StartTls, "", AccountProblem::None},
                      CheckCase{kName254.c_str(), 587, SmtpSecurity::StartTls, "", AccountProblem::BadServer},
                      CheckCase{kLabel63.c_str(), 587, SmtpSecurity::StartTls, "", AccountProblem::None},
                      CheckCase{kLabel64.c_str(), 587, SmtpSecurity::StartTls, "", AccountProblem::BadServer},
                      // Ports at and beyond both ends.
                      CheckCase{"smtp.example.jp", 0, SmtpSecurity::Tls, "", AccountProblem::BadPort},
                      CheckCase{"smtp.example.jp", 1, SmtpSecurity::Tls, "", AccountProblem::None},
                      CheckCase{"smtp.example.jp", 65535, SmtpSecurity::Tls, "", AccountProblem::None},
                      CheckCase{"smtp.example.jp", 65536, SmtpSecurity::Tls, "", AccountProblem::BadPort},
                      // No encryption: this machine only.
                      CheckCase{"localhost", 25, SmtpSecurity::None, "u", AccountProblem::None},
                      CheckCase{"127.0.0.1", 25, SmtpSecurity::None, "u", AccountProblem::None},
                      CheckCase{"127.255.255.254", 25, SmtpSecurity::None, "", AccountProblem::None},
                      CheckCase{"::1", 25, SmtpSecurity::None, "", AccountProblem::None},
                      CheckCase{"128.0.0.1", 25, SmtpSecurity::None, "", AccountProblem::UnprotectedRemote},
                      CheckCase{"smtp.example.jp", 25, SmtpSecurity::None, "", AccountProblem::UnprotectedRemote},
                      CheckCase{"localhost.example.jp", 25, SmtpSecurity::None, "", AccountProblem::UnprotectedRemote},
                      CheckCase{"smtp.example.jp", 587, SmtpSecurity::StartTls, "ta\nro", AccountProblem::BadUser},
                      // What msmtp's configuration cannot carry: control characters to 0x1F (the blank is
                      // carried: AwkwardLoginsArriveUnchanged) and DEL, text that is not UTF-8.
                      CheckCase{"smtp.example.jp", 587, SmtpSecurity::StartTls, "ta\x1Fro", AccountProblem::BadUser},
                      CheckCase{"smtp.example.jp", 587, SmtpSecurity::StartTls, "ta\x7Fro", AccountProblem::BadUser},
                      CheckCase{"smtp.example.jp", 587, SmtpSecurity::StartTls, "\x8E\x52", AccountProblem::BadUser}),
    [](const auto &info) { return std::to_string(info.index); });

TEST(Account, ProfileKeepsTheAccountAndNoPassword)
{
    TempHome home;
    mailsys::Profile p;
    ASSERT_EQ(mailsys::LoadProfile(&p), mailsys::ProfileLoad::Ok);
    EXPECT_TRUE(p.account.server.empty());
    p.account = Account("smtp.example.jp", 465, SmtpSecurity::Tls, "taro@example.jp", home.root + "/ca.pem");
    ASSERT_TRUE(mailsys::SaveProfile(p));
    mailsys::Profile q;
    ASSERT_EQ(mailsys::LoadProfile(&q), mailsys::ProfileLoad::Ok);
    EXPECT_EQ(q.account.server, "smtp.example.jp");
    EXPECT_EQ(q.account.port, 465);
    EXPECT_EQ(q.account.security, SmtpSecurity::Tls);
    EXPECT_EQ(q.account.user, "taro@example.jp");
    EXPECT_EQ(q.account.ca_file, home.root + "/ca.pem");
    EXPECT_EQ(q.sender_address, "taro@example.jp");
}

TEST(Account, MsmtpConfigurationFollowsTheProfile)
{
    TempHome home;
    mailsys::Profile p;
    ASSERT_EQ(mailsys::LoadProfile(&p), mailsys::ProfileLoad::Ok);
    std::string folder = mailsys::HandOffConfigFolder();
    EXPECT_EQ(folder, home.root + "/config/tegamiya-mail/handoff");

    // No account: no file, and mail waits.
    {
        mailsys::HandOffConfig none;
        EXPECT_EQ(none.Write(p), EINVAL);
        EXPECT_EQ(none.Path(), "");
        EXPECT_EQ(mailsys::HandOffCommand(p, none.Path(), false), "");
    }

    struct {
        SmtpSecurity security;
        const char *tls, *starttls, *auth;
    } kinds[] = {{SmtpSecurity::StartTls, "tls on\n", "tls_starttls on\n", "auth on\n"},
                 {SmtpSecurity::Tls, "tls on\n", "tls_starttls off\n", "auth on\n"},
                 // msmtp logs in without TLS only with a method named.
                 {SmtpSecurity::None, "tls off\n", "tls_starttls off\n", "auth plain\n"}};
    std::string path;
    for (const auto &k : kinds) {
        p.account = Account("127.0.0.1", 2525, k.security, "ta\"ro");
        mailsys::HandOffConfig config;
        ASSERT_EQ(config.Write(p), 0);
        path = config.Path();
        EXPECT_EQ(path.rfind(folder + "/", 0), 0u) << path;
        EXPECT_EQ(path.substr(path.size() - 7), "msmtprc");  // what msmtp's AppArmor profile lets it read
        std::string text = ReadText(path);
        EXPECT_NE(text.find(k.tls), std::string::npos) << text;
        EXPECT_NE(text.find(k.starttls), std::string::npos) << text;
        EXPECT_NE(text.find("host \"127.0.0.1\"\nport 2525\nfrom \"taro@example.jp\"\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string(k.auth) + "user \"ta\"ro\"\n"), std::string::npos) << text;
        EXPECT_NE(text.find("tls_trust_file system\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("\npassword"), std::string::npos);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(mailsys::HandOffCommand(p, path, false), "msmtp -C '" + path + "' -t");
        EXPECT_EQ(mailsys::HandOffCommand(p, path, true), "msmtp -C '" + path + "' -t --passwordeval='cat <&3'");
    }
    // Each hand-off's file goes with it.
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(Files(folder).empty());
    // A file a process that died left (no such pid) goes at the next hand-off.
    WriteText(folder + "/999999999.1-abcdef.msmtprc", "x");
    {
        mailsys::HandOffConfig config;
        ASSERT_EQ(config.Write(p), 0);
        EXPECT_EQ(Files(folder).size(), 1u);
    }

    // A hand-written send command wins; the file earlier versions shared goes.
    p.send_command = "/usr/sbin/sendmail -t -oi";
    EXPECT_EQ(mailsys::HandOffCommand(p, "", true), "/usr/sbin/sendmail -t -oi");
    WriteText(mailsys::MsmtpConfigPath(), "old");
    EXPECT_EQ(mailsys::WriteMsmtpConfig(p), 0);
    EXPECT_FALSE(FileExists(mailsys::MsmtpConfigPath()));

    // An unprotected connection to another machine is never configured.
    p.send_command.clear();
    p.account = Account("smtp.example.jp", 25, SmtpSecurity::None, "taro");
    mailsys::HandOffConfig config;
    EXPECT_EQ(config.Write(p), EINVAL);
    EXPECT_FALSE(mailsys::UsesAccount(p));
}

struct DecodeCase {
    const char *raw;
    const char *expected;
};

class HeaderDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(HeaderDecoding, GivesUtf8)
{
    EXPECT_EQ(mailsys::DecodeHeaderText(GetParam().raw), GetParam().expected);
}

// "あ" is 82 A0 and the first pictograph F8 9F (U+E63E in the private-use
// area); "gqD4nw==" is their base64.
INSTANTIATE_TEST_SUITE_P(Cases, HeaderDecoding,
                         ::testing::Values(DecodeCase{"hello world", "hello world"},
                                           DecodeCase{"=?Shift_JIS?B?gqD4nw==?=", "\xE3\x81\x82\xEE\x98\xBE"},
                                           DecodeCase{"=?shift_jis?B?gqA=?= =?Shift_JIS?B?gqA=?=",
                                                      "\xE3\x81\x82\xE3\x81\x82"},
                                           DecodeCase{"2) =?Shift_JIS?B?gqA=?= x", "2) \xE3\x81\x82 x"},
                                           DecodeCase{"=?Windows-31J?Q?=82=A0_a?=", "\xE3\x81\x82 a"},
                                           DecodeCase{"=?UTF-8?B?44GC?=", "\xE3\x81\x82"},
                                           DecodeCase{"=?Shift_JIS?X?abc?= end", "=?Shift_JIS?X?abc?= end"}),
                         [](const auto &info) { return std::to_string(info.index); });

std::string Deliver(const std::string &maildir, const mailsys::OutgoingMail &mail, time_t when)
{
    std::string path;
    EXPECT_EQ(mailsys::DeliverToMaildir(maildir, mailsys::BuildMessage(mail, when, "id@example.jp"), &path), 0);
    return path;
}

TEST(MailRows, ReadFromAMaildir)
{
    TempHome home;
    mailsys::OutgoingMail first;
    first.from = {"Taro", "taro@example.jp"};
    first.to = {{"", "hanako@example.jp"}, {"Jiro", "jiro@example.jp"}};
    first.subject = Cp932("1)件名") + "\xF8\x9F";
    first.body = Cp932("本文") + "\xF9\xFC\r\n" + Cp932("二行目");
    first.attachments.push_back({"photo.jpg", "\xFF\xD8\xFF\xE0 data", "image/jpeg"});
    mailsys::OutgoingMail second = first;
    second.subject = "plain";
    second.attachments.clear();
    std::string b = Deliver(home.outbox, second, 1800000000 + 60);
    std::string a = Deliver(home.outbox, first, 1800000000);
    WriteText(home.outbox + "/cur/junk:2,S", "no mail here");

    auto rows = mailsys::ListMaildir(home.outbox);
    ASSERT_EQ(rows.size(), 3u);
    // The file without a date first, then oldest first.
    EXPECT_EQ(rows[0].id, "junk");
    EXPECT_EQ(rows[0].size, 12u);
    EXPECT_EQ(rows[1].path, a);
    EXPECT_EQ(rows[1].date, 1800000000);
    EXPECT_EQ(rows[1].subject, "1)\xE4\xBB\xB6\xE5\x90\x8D\xEE\x98\xBE");
    EXPECT_EQ(rows[1].to, "hanako@example.jp, Jiro <jiro@example.jp>");
    EXPECT_EQ(rows[1].attachments, "photo.jpg");
    struct stat st;
    ASSERT_EQ(stat(a.c_str(), &st), 0);
    EXPECT_EQ(rows[1].size, static_cast<unsigned long long>(st.st_size));
    EXPECT_EQ(rows[2].path, b);
    EXPECT_EQ(rows[2].subject, "plain");
    EXPECT_EQ(rows[2].attachments, "");
    EXPECT_TRUE(mailsys::ListMaildir(home.root + "/none").empty());
    // Waiting mail is new/ only.
    EXPECT_EQ(mailsys::ListMaildir(home.outbox, false).size(), 2u);

    std::string text = mailsys::MailText(a);
    EXPECT_NE(text.find("Subject: 1)\xE4\xBB\xB6\xE5\x90\x8D\xEE\x98\xBE\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Attachment: photo.jpg\n"), std::string::npos) << text;
    // The body as written, the last pictograph (F9FC, U+E757) included.
    EXPECT_NE(text.find("\n\n\xE6\x9C\xAC\xE6\x96\x87\xEE\x9D\x97\n\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE"),
              std::string::npos)
        << text;
}

// One server of each kind, for the connection test.
class Probe : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_home = new TempHome;
        s_cert = new TestCertificate(s_home->root);
        for (const char *mode : {"starttls", "login", "tls", "plain"}) {
            std::string folder = s_home->root + "/" + mode;
            mkdir(folder.c_str(), 0700);
            s_servers[mode] = new AccountServer(folder, *s_cert, "taro", "secret-1", mode);
        }
    }
    static void TearDownTestSuite()
    {
        for (auto &s : s_servers)
            delete s.second;
        s_servers.clear();
        delete s_cert;
        delete s_home;
    }
    static int Port(const char *mode) { return s_servers[mode]->port; }
    static std::string Ca() { return s_cert->cert; }

    static TempHome *s_home;
    static TestCertificate *s_cert;
    static std::map<std::string, AccountServer *> s_servers;
};
TempHome *Probe::s_home = nullptr;
TestCertificate *Probe::s_cert = nullptr;
std::map<std::string, AccountServer *> Probe::s_servers;

TEST_F(Probe, TellsEachFailureApart)
{
    ASSERT_TRUE(s_cert->ok);
    for (const auto &s : s_servers)
        ASSERT_GT(s.second->port, 0) << s.first;
    struct {
        const char *what;
        mailsys::SmtpAccount account;
        const char *password;
        ProbeFailure expected;
    } cases[] = {
        {"STARTTLS, PLAIN", Account("127.0.0.1", Port("starttls"), SmtpSecurity::StartTls, "taro", Ca()), "secret-1",
         ProbeFailure::None},
        {"STARTTLS, LOGIN", Account("127.0.0.1", Port("login"), SmtpSecurity::StartTls, "taro", Ca()), "secret-1",
         ProbeFailure::None},
        {"TLS", Account("127.0.0.1", Port("tls"), SmtpSecurity::Tls, "taro", Ca()), "secret-1", ProbeFailure::None},
        {"wrong password", Account("127.0.0.1", Port("starttls"), SmtpSecurity::StartTls, "taro", Ca()), "secret-2",
         ProbeFailure::Authentication},
        {"wrong user, LOGIN", Account("127.0.0.1", Port("login"), SmtpSecurity::StartTls, "jiro", Ca()), "secret-1",
         ProbeFailure::Authentication},
        {"certificate not trusted", Account("127.0.0.1", Port("starttls"), SmtpSecurity::StartTls, "taro"),
         "secret-1", ProbeFailure::TlsCertificate},
        {"TLS to a STARTTLS port", Account("127.0.0.1", Port("starttls"), SmtpSecurity::Tls, "taro", Ca()),
         "secret-1", ProbeFailure::Tls},
        {"no STARTTLS offered", Account("127.0.0.1", Port("plain"), SmtpSecurity::StartTls, "taro", Ca()), "secret-1",
         ProbeFailure::NoStartTls},
        {"nothing listens", Account("127.0.0.1", UnusedPort(), SmtpSecurity::StartTls, "taro", Ca()), "secret-1",
         ProbeFailure::Connection},
        {"unknown name", Account("no-such-host.invalid", 587, SmtpSecurity::StartTls, "taro"), "secret-1",
         ProbeFailure::NameResolution},
    };
    for (const auto &c : cases) {
        mailsys::ProbeResult r = mailsys::ProbeAccount(c.account, c.password, std::chrono::seconds(20));
        EXPECT_EQ(r.failure, c.expected) << c.what << ": " << r.detail;
    }
    // The server saw exactly the logins tried.
    EXPECT_EQ(s_servers["starttls"]->AuthLog(), "PLAIN taro ok\nPLAIN taro bad\n");
    EXPECT_EQ(s_servers["login"]->AuthLog(), "LOGIN taro ok\nLOGIN jiro bad\n");
}

// Servers that answer as no sound server does, or stop talking, one
// scenario each (smtp_script_server.py; the login that works is taro /
// secret-1): the test reads the server as it speaks, and ends at its
// deadline, or at once when stopped, whatever it waits for.
TEST(ProbeScript, ReadsOddServersAndEveryWaitEnds)
{
    using namespace std::chrono;
    TempHome home;
    TestCertificate cert(home.root);
    ASSERT_TRUE(cert.ok);
    enum { Answer, Deadline, Stop };
    struct {
        const char *what, *scenario;
        SmtpSecurity security;
        int how;
        ProbeFailure expected;
    } cases[] = {
        {"250-auth plain login", "lowercase", SmtpSecurity::None, Answer, ProbeFailure::None},
        {"220, 250, 235 without text", "bare", SmtpSecurity::None, Answer, ProbeFailure::None},
        {"closed at the login: no wrong password", "drop", SmtpSecurity::None, Answer, ProbeFailure::Broken},
        // "250 AUTH PLAIN" and "235" sent in clear after the STARTTLS answer
        // would pass for the answers to EHLO and AUTH inside TLS: the login
        // would seem accepted where the server refuses it.
        {"lines injected before TLS", "inject", SmtpSecurity::StartTls, Answer, ProbeFailure::Authentication},
        {"never greets", "silent", SmtpSecurity::StartTls, Deadline, ProbeFailure::Timeout},
        {"TLS port that never answers the hello", "silent", SmtpSecurity::Tls, Deadline, ProbeFailure::Timeout},
        {"stalls in the middle of the handshake", "stall", SmtpSecurity::StartTls, Deadline, ProbeFailure::Timeout},
        {"stopped while waiting for the greeting", "silent", SmtpSecurity::StartTls, Stop, ProbeFailure::Stopped},
        {"stopped in the handshake", "stall", SmtpSecurity::StartTls, Stop, ProbeFailure::Stopped},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptServer server(cert, c.scenario);
        ASSERT_GT(server.port, 0);
        // Stopped, the deadline is far: only the stop can end the test in time.
        milliseconds deadline = c.how == Deadline ? milliseconds(1500) : milliseconds(minutes(10));
        mailsys::ProbeStop stop;
        auto account = Account("127.0.0.1", server.port, c.security, "taro",
                               c.security == SmtpSecurity::None ? "" : cert.cert);
        auto start = steady_clock::now();
        auto probe = std::async(std::launch::async,
                                [&] { return mailsys::ProbeAccount(account, "secret-1", deadline, &stop); });
        if (c.how == Stop) {
            EXPECT_TRUE(server.Said("accepted"));
            stop.Stop();
        }
        ASSERT_EQ(probe.wait_for(minutes(2)), std::future_status::ready);
        mailsys::ProbeResult r = probe.get();
        EXPECT_EQ(r.failure, c.expected) << r.detail;
        if (c.how == Deadline) {
            EXPECT_GE(steady_clock::now() - start, deadline);
        }
    }
}

// The connection test trusts what msmtp trusts: the account's CA file alone
// when it names one (tls_trust_file takes the place of the system's
// certificates), else the system's certificates.
TEST(ProbeTrust, TheCaFileReplacesTheSystemsCertificates)
{
    TempHome home;
    TestCertificate system_ca(home.root, "system"), own_ca(home.root, "own");
    TestCertificate public_cert(home.root, &system_ca), own_cert(home.root, &own_ca);
    ASSERT_TRUE(public_cert.ok && own_cert.ok);
    AccountServer public_server(home.root, public_cert, "taro", "secret-1", "tls");
    AccountServer own_server(home.root, own_cert, "taro", "secret-1", "tls");
    ASSERT_GT(public_server.port, 0);
    ASSERT_GT(own_server.port, 0);
    std::string no_certificate = home.root + "/empty.pem";
    WriteText(no_certificate, "not a certificate\n");
    mailsys::SetSystemTrustForTesting(system_ca.cert);  // the system's store, as far as the test goes
    struct {
        const char *what;
        int port;
        std::string ca_file;
        ProbeFailure expected;
    } cases[] = {
        {"the system's, no file", public_server.port, "", ProbeFailure::None},
        {"the system's, the file of another CA", public_server.port, own_ca.cert, ProbeFailure::TlsCertificate},
        {"own CA, its file", own_server.port, own_ca.cert, ProbeFailure::None},
        {"own CA, no file", own_server.port, "", ProbeFailure::TlsCertificate},
        {"own CA, a file without certificates", own_server.port, no_certificate, ProbeFailure::TlsCertificate},
    };
    for (const auto &c : cases) {
        mailsys::ProbeResult r =
            mailsys::ProbeAccount(Account("127.0.0.1", c.port, SmtpSecurity::Tls, "taro", c.ca_file), "secret-1");
        EXPECT_EQ(r.failure, c.expected) << c.what << ": " << r.detail;
    }
    mailsys::SetSystemTrustForTesting("");
}

// A home with a profile whose account is the test server's.
struct AccountHome {
    AccountHome()
    {
        mkdir(received.c_str(), 0700);
        server = std::make_unique<AccountServer>(received, cert, "taro", kPassword);
        home.WriteProfile("name = Taro\naddress = taro@example.jp\n[account]\nsmtp_server = 127.0.0.1\n"
                          "smtp_port = " +
                          std::to_string(server->port) + "\nsmtp_security = starttls\nsmtp_user = taro\n"
                          "smtp_ca_file = " + cert.cert + "\n" + kAllDocomo);
    }
    static constexpr const char *kPassword = "pw-7q2-Xe9!";
    TempHome home{false};
    std::string received = home.root + "/received";
    TestCertificate cert{home.root};
    std::unique_ptr<AccountServer> server;
};

TEST(AccountDelivery, PasswordFromTheKeyringReachesMsmtpAndNoFile)
{
    AccountHome a;
    ASSERT_GT(a.server->port, 0);
    PrivateKeyring keyring(a.home.root);
    ASSERT_TRUE(keyring.ready) << "no private keyring";
    EXPECT_TRUE(mailsys::KeyringAvailable());
    std::string found;
    EXPECT_EQ(mailsys::LookupSmtpPassword("127.0.0.1", "taro", &found), mailsys::KeyringResult::NotFound);
    ASSERT_EQ(mailsys::StoreSmtpPassword("127.0.0.1", "taro", AccountHome::kPassword), mailsys::KeyringResult::Ok);
    EXPECT_EQ(mailsys::LookupSmtpPassword("127.0.0.1", "taro", &found), mailsys::KeyringResult::Ok);
    EXPECT_EQ(found, AccountHome::kPassword);
    EXPECT_EQ(mailsys::LookupSmtpPassword("127.0.0.1", "jiro", &found), mailsys::KeyringResult::NotFound);

    LHANDLE h = Logon();
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com"), Recip(MAPI_CC, "cc@example.com"),
                       Recip(MAPI_BCC, "hidden@example.com")},
                   "hello", "\x82\xA0\xF8\x9F"),
              0u);
    MAPILogoff(h, 0, 0, 0);
    EXPECT_EQ(a.server->AuthLog(), "PLAIN taro ok\n");
    EXPECT_EQ(ReadText(a.received + "/1.env"),
              "taro@example.jp\nto@example.com\ncc@example.com\nhidden@example.com\n");
    auto m = ReadMail(a.received + "/1.eml");
    EXPECT_EQ(m["body_hex"], Hex("\x82\xA0\xF8\x9F"));
    EXPECT_TRUE(a.home.NewMail().empty());
    EXPECT_EQ(Files(a.home.sent + "/cur").size(), 1u);
    // Its configuration went with the hand-off.
    EXPECT_TRUE(Files(mailsys::HandOffConfigFolder()).empty());
    // The keyring's own file is there, encrypted; nothing holds the password.
    EXPECT_TRUE(FileExists(a.home.root + "/data/keyrings/login.keyring"));
    EXPECT_FALSE(AnyFileHolds(a.home.root, AccountHome::kPassword));
}

// Logins msmtp would read otherwise than written reach the server byte for
// byte (the real msmtp against the test server, which logs what arrived);
// a user name of 256 bytes is accepted, 257 refused.
TEST(AccountDelivery, AwkwardLoginsArriveUnchanged)
{
    AccountHome a;
    NoKeyring(a.home.root);
    mailsys::Profile p;
    ASSERT_EQ(mailsys::LoadProfile(&p), mailsys::ProfileLoad::Ok);
    const std::string logins[] = {
        "CORP\\taro", "CORP\\", "ta\"ro", "\"taro\"", " taro ", "taro #1", "#taro", "\xE5\xB1\xB1\xE7\x94\xB0",
        std::string(256, 'u'),
    };
    std::string expected;
    for (const std::string &login : logins) {
        p.account.user = login;
        ASSERT_EQ(mailsys::CheckAccount(p.account), AccountProblem::None) << login;
        std::string file;
        ASSERT_EQ(mailsys::DeliverToMaildir(p.outbox, "To: x@example.com\r\n\r\nhi\r\n", &file), 0);
        EXPECT_EQ(mailsys::HandOffQueued(p, {mailsys::Credentials::Given, "wrong"}, file),
                  mailsys::HandOffResult::Failed) << login;
        expected += Hex(login) + "\n";
    }
    EXPECT_EQ(a.server->LoginsHex(), expected);
    p.account.user = std::string(257, 'u');
    EXPECT_EQ(mailsys::CheckAccount(p.account), AccountProblem::BadUser);
    // A CA file msmtp would read otherwise is refused; one whose path holds
    // a blank, '#' and '"' is trusted as named. The right login: it goes out.
    p.account.user = "taro";
    for (const char *ca : {"cert.pem", "~/cert.pem"}) {
        p.account.ca_file = ca;
        EXPECT_EQ(mailsys::CheckAccount(p.account), AccountProblem::BadCaFile) << ca;
    }
    p.account.ca_file = a.home.root + "/my \"ca\" #1.pem";
    ASSERT_EQ(link(a.cert.cert.c_str(), p.account.ca_file.c_str()), 0);
    std::string file;
    ASSERT_EQ(mailsys::DeliverToMaildir(p.outbox, "To: x@example.com\r\n\r\nhi\r\n", &file), 0);
    EXPECT_EQ(mailsys::HandOffQueued(p, {mailsys::Credentials::Given, AccountHome::kPassword}, file),
              mailsys::HandOffResult::Sent);
}

TEST(AccountDelivery, WrongPasswordFailsAndMovesTheMailToFailed)
{
    AccountHome a;
    PrivateKeyring keyring(a.home.root);
    ASSERT_TRUE(keyring.ready);
    ASSERT_EQ(mailsys::StoreSmtpPassword("127.0.0.1", "taro", "not-it"), mailsys::KeyringResult::Ok);
    LHANDLE h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}), ULONG(MAPI_E_FAILURE));
    MAPILogoff(h, 0, 0, 0);
    EXPECT_EQ(a.server->AuthLog(), "PLAIN taro bad\n");
    EXPECT_TRUE(a.home.NewMail().empty());
    EXPECT_EQ(Files(a.home.root + "/data/tegamiya-mail/failed/new").size(), 1u);
    EXPECT_FALSE(FileExists(a.received + "/1.eml"));
}

TEST(AccountDelivery, WithoutKeyringMailWaitsUntilAPasswordIsGiven)
{
    AccountHome a;
    NoKeyring(a.home.root);
    EXPECT_FALSE(mailsys::KeyringAvailable());
    std::string found;
    EXPECT_EQ(mailsys::LookupSmtpPassword("127.0.0.1", "taro", &found), mailsys::KeyringResult::Unavailable);

    // Logon without a dialog knows no password: the mail waits.
    LHANDLE h = Logon();
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "to@example.com")}), 0u);
    MAPILogoff(h, 0, 0, 0);
    ASSERT_EQ(a.home.NewMail().size(), 1u);
    EXPECT_FALSE(FileExists(a.received + "/1.eml"));

    // Handed over on a pipe, the password takes it out.
    mailsys::Profile p;
    ASSERT_EQ(mailsys::LoadProfile(&p), mailsys::ProfileLoad::Ok);
    mailsys::Credentials none{mailsys::Credentials::Missing, ""};
    std::string file = a.home.outbox + "/new/" + a.home.NewMail()[0];
    EXPECT_EQ(mailsys::HandOffQueued(p, none, file), mailsys::HandOffResult::Waiting);
    mailsys::Credentials given{mailsys::Credentials::Given, AccountHome::kPassword};
    std::string moved;
    EXPECT_EQ(mailsys::HandOffQueued(p, given, file, &moved), mailsys::HandOffResult::Sent);
    EXPECT_EQ(a.server->AuthLog(), "PLAIN taro ok\n");
    EXPECT_TRUE(FileExists(a.received + "/1.eml"));
    EXPECT_EQ(moved.rfind(a.home.sent + "/cur/", 0), 0u) << moved;
    EXPECT_TRUE(a.home.NewMail().empty());
    EXPECT_FALSE(AnyFileHolds(a.home.root, AccountHome::kPassword));
}

}  // namespace
