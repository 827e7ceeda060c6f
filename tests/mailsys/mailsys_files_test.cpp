// The mail library's file handling below its entry points: the atomic
// profile writer and symbolic links, failed folder syncs, Maildir delivery
// and cleaning, and the send command's clock and descriptors.
#include "delivery.h"
#include "failed_mail.h"
#include "fsutil.h"
#include "handoff.h"
#include "keyring.h"
#include "maildir.h"

#include "test_support.h"
#include "../support/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <sys/stat.h>
#include <utime.h>

using namespace mailsys;
using mailsys_test::Files;
using mailsys_test::ReadText;
using mailsys_test::TempHome;
using mailsys_test::WriteText;

namespace {

mode_t ModeOf(const std::string &path)
{
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_mode;
}

// Folder syncs fail for folders whose path ends in `g_failing`.
std::string g_failing;
int FailingSync(const std::string &path)
{
    if (!g_failing.empty() && path.size() >= g_failing.size() &&
        path.compare(path.size() - g_failing.size(), g_failing.size(), g_failing) == 0)
        return EIO;
    return 0;
}
struct FailSyncOf {
    explicit FailSyncOf(const std::string &suffix)
    {
        g_failing = suffix;
        SetFsyncDirForTesting(FailingSync);
    }
    ~FailSyncOf()
    {
        SetFsyncDirForTesting(nullptr);
        g_failing.clear();
    }
};

// A profile kept elsewhere (a dotfiles folder) and linked into place stays
// a link: the file it names gets the new text and keeps its mode.
TEST(MailFiles, AtomicWriteGoesThroughSymbolicLinks)
{
    TempHome home(false);
    std::string dotfiles = home.root + "/dotfiles", conf = home.root + "/conf";
    ASSERT_EQ(mkdir(dotfiles.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(conf.c_str(), 0700), 0);
    std::string real = dotfiles + "/profile.conf";
    WriteText(real, "old\n");
    ASSERT_EQ(chmod(real.c_str(), 0644), 0);
    // A relative link, through a second link.
    ASSERT_EQ(symlink("../dotfiles/profile.conf", (conf + "/inner.conf").c_str()), 0);
    ASSERT_EQ(symlink("inner.conf", (conf + "/profile.conf").c_str()), 0);

    ASSERT_EQ(WriteFileAtomic(conf + "/profile.conf", "new\n"), 0);
    EXPECT_TRUE(S_ISLNK(ModeOf(conf + "/profile.conf")));
    EXPECT_TRUE(S_ISLNK(ModeOf(conf + "/inner.conf")));
    EXPECT_EQ(ReadText(real), "new\n");
    EXPECT_EQ(ModeOf(real) & 07777, 0644u);
    EXPECT_EQ(Files(dotfiles).size(), 1u);  // no temporary file left
    EXPECT_EQ(Files(conf).size(), 2u);

    // A dangling link: the file is made where it points, private.
    ASSERT_EQ(symlink(("../dotfiles/fresh.conf"), (conf + "/fresh.conf").c_str()), 0);
    ASSERT_EQ(WriteFileAtomic(conf + "/fresh.conf", "x\n"), 0);
    EXPECT_TRUE(S_ISLNK(ModeOf(conf + "/fresh.conf")));
    EXPECT_EQ(ReadText(dotfiles + "/fresh.conf"), "x\n");
    EXPECT_EQ(ModeOf(dotfiles + "/fresh.conf") & 07777, 0600u);

    // A plain file is replaced in place, keeping its mode too.
    std::string plain = conf + "/plain.conf";
    WriteText(plain, "a");
    ASSERT_EQ(chmod(plain.c_str(), 0640), 0);
    ASSERT_EQ(WriteFileAtomic(plain, "b"), 0);
    EXPECT_EQ(ReadText(plain), "b");
    EXPECT_EQ(ModeOf(plain) & 07777, 0640u);
}

// A failed sync of the folder is a failed write: the profile writer says
// so, and a Maildir delivery takes the mail back out of new/.
TEST(MailFiles, FailedFolderSyncIsAFailedWrite)
{
    TempHome home(false);
    std::string maildir = home.root + "/box";
    ASSERT_EQ(EnsureMaildir(maildir), 0);
    {
        FailSyncOf fail("/box/new");
        std::string path;
        EXPECT_EQ(DeliverToMaildir(maildir, "mail", &path), EIO);
        EXPECT_TRUE(Files(maildir + "/new").empty());
        EXPECT_TRUE(Files(maildir + "/tmp").empty());
    }
    {
        FailSyncOf fail("/box/tmp");  // only the leftover's folder: delivered
        std::string path;
        EXPECT_EQ(DeliverToMaildir(maildir, "mail", &path), 0);
        EXPECT_EQ(Files(maildir + "/new").size(), 1u);
    }
    {
        FailSyncOf fail(home.root.substr(home.root.rfind('/')));
        EXPECT_EQ(WriteFileAtomic(home.root + "/profile.conf", "x"), EIO);
    }
    EXPECT_EQ(WriteFileAtomic(home.root + "/profile.conf", "x"), 0);
}

// A mail that went out but cannot be filed under Sent never stays in new/,
// where a sender would send it again.
TEST(MailFiles, SentMailLeavesNewWhenSentCannotTakeIt)
{
    TempHome home(false);
    std::string outbox = home.root + "/outbox", sent = home.root + "/sent";
    std::string file, where;
    ASSERT_EQ(DeliverToMaildir(outbox, "mail", &file), 0);
    WriteText(sent, "not a folder");
    EXPECT_NE(FileAsSent(file, sent, outbox, &where), 0);
    EXPECT_TRUE(Files(outbox + "/new").empty());
    ASSERT_EQ(Files(outbox + "/cur").size(), 1u);
    EXPECT_EQ(where, outbox + "/cur/" + Files(outbox + "/cur")[0]);
    EXPECT_EQ(ReadText(where), "mail");

    // Neither Sent nor the outbox's cur/ can take it: it is removed.
    ASSERT_EQ(DeliverToMaildir(outbox, "second", &file), 0);
    ASSERT_EQ(chmod((outbox + "/cur").c_str(), 0500), 0);
    EXPECT_NE(FileAsSent(file, sent, outbox, &where), 0);
    chmod((outbox + "/cur").c_str(), 0700);
    if (geteuid() != 0) {  // root writes into read-only folders
        EXPECT_TRUE(Files(outbox + "/new").empty());
        EXPECT_TRUE(where.empty());
    }

    // The usual case: under Sent, flagged seen.
    unlink(sent.c_str());
    ASSERT_EQ(DeliverToMaildir(outbox, "third", &file), 0);
    EXPECT_EQ(FileAsSent(file, sent, outbox, &where), 0);
    EXPECT_EQ(where.substr(where.size() - 4), ":2,S");
    EXPECT_EQ(ReadText(where), "third");
}

// Leftovers of dead writers older than 36 hours go; a fresh file (another
// sender's half-written mail) stays, also just inside the limit.
TEST(MailFiles, CleanMaildirTmpRemovesOnlyOldLeftovers)
{
    TempHome home(false);
    std::string maildir = home.root + "/box";
    ASSERT_EQ(EnsureMaildir(maildir), 0);
    time_t now = time(nullptr);
    struct Case {
        const char *name;
        time_t age;
        bool kept;
    };
    const Case cases[] = {{"fresh", 0, true},
                          {"inside", 36 * 3600 - 60, true},
                          {"past", 36 * 3600 + 60, false},
                          {"old", 100 * 3600, false}};
    for (const Case &c : cases) {
        std::string p = maildir + "/tmp/" + c.name;
        WriteText(p, "x");
        utimbuf t{now - c.age, now - c.age};
        ASSERT_EQ(utime(p.c_str(), &t), 0);
    }
    CleanMaildirTmp(maildir);
    for (const Case &c : cases)
        EXPECT_EQ(mailsys_test::FileExists(maildir + "/tmp/" + c.name), c.kept) << c.name;
}

// The send timeout is counted to the millisecond across second boundaries.
TEST(MailFiles, ElapsedTimeIsCountedInMilliseconds)
{
    struct Case {
        timespec start, now;
        long long ms;
    };
    const Case cases[] = {
        {{5, 900000000}, {6, 100000000}, 200},      // a second boundary, 0.2 s
        {{5, 900000000}, {6, 899999999}, 999},      // just below one second
        {{5, 900000000}, {6, 900000000}, 1000},     // exactly one second
        {{5, 0}, {5, 999999}, 0},
        {{5, 999999999}, {7, 0}, 1000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ElapsedMilliseconds(c.start, c.now), c.ms) << c.now.tv_sec << "." << c.now.tv_nsec;
}

// The command sees the message on its standard input and none of the
// caller's other descriptors, close-on-exec or not.
TEST(MailFiles, SendCommandGetsOnlyTheStandardDescriptors)
{
    TempHome home(false);
    std::string message = home.root + "/message";
    WriteText(message, "the mail\n");
    int inherited = open("/dev/null", O_RDONLY);  // no O_CLOEXEC
    ASSERT_GE(inherited, 0);
    ASSERT_EQ(dup2(inherited, 57), 57);
    std::string seen = home.root + "/seen";
    std::string command = "cat > '" + seen + "'; ls /proc/$$/fd >> '" + seen + "'";
    EXPECT_TRUE(RunSendCommand(command, message, 30));
    close(57);
    close(inherited);
    std::string out = ReadText(seen);
    ASSERT_EQ(out.rfind("the mail\n", 0), 0u);
    // The shell's own descriptors: 0, 1, 2, and whatever it opened itself
    // (the redirection), never the caller's.
    std::string fds = out.substr(9);
    EXPECT_EQ(fds.find("57\n"), std::string::npos) << fds;
    EXPECT_EQ(("\n" + fds).find("\n" + std::to_string(inherited) + "\n"), std::string::npos) << fds;
}

// A profile that hands mail to a shell command, its outbox under `root`.
Profile CommandProfile(const std::string &root, const std::string &outbox, const std::string &command)
{
    Profile p;
    p.sender_address = "taro@example.jp";
    p.outbox = outbox;
    p.sent = root + "/sent";
    p.send_command = command;
    p.send_timeout = 30;
    return p;
}

// A failed hand-off files the mail under failed/ with its reason, the send
// program's last error line whole; when failed/ cannot take it, the mail
// waits in the outbox again: it is never removed before it is kept
// elsewhere.
TEST(MailFiles, FailedHandOffKeepsTheMailAndWhy)
{
    std::string long_line = "msmtp: " + std::string(400, 'x') + " \xE3\x81\x82";  // past any cut, UTF-8 at the end
    struct Case {
        const char *what;
        const char *outbox;  // under the home
        bool block_failed;   // a plain file where failed/ would be
        std::string error_lines;
        const char *phrase, *detail;
    } cases[] = {
        {"plain", "mail/outbox", false, "first\nmsmtp: server said: 535 5.7.8 no\n", "The server refused the login.",
         "msmtp: server said: 535 5.7.8 no"},
        {"outbox path ending in /", "mail/outbox/", false, "first\n" + long_line + "\n\n", "The server refused the login.",
         long_line.c_str()},
        {"failed/ blocked", "mail/outbox", true, "no\n", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home(false);
        std::string outbox = home.root + "/" + c.outbox, failed = home.root + "/mail/failed";
        WriteText(home.root + "/errors", c.error_lines);
        Profile p = CommandProfile(home.root, outbox, "cat >/dev/null; cat '" + home.root + "/errors' >&2; exit 77");
        std::string file, where;
        ASSERT_EQ(DeliverToMaildir(outbox, "mail", &file), 0);
        if (c.block_failed)
            WriteText(failed, "not a folder");
        EXPECT_EQ(HandOffQueued(p, {}, file, &where), HandOffResult::Failed);
        EXPECT_TRUE(Files(outbox + "/claimed").empty());
        if (!c.phrase) {
            EXPECT_EQ(where, file);  // back in new/, whole
            EXPECT_EQ(ReadText(file), "mail");
            continue;
        }
        EXPECT_TRUE(Files(outbox + "/new").empty());
        ASSERT_EQ(where, failed + "/new/" + BaseName(file));
        EXPECT_EQ(ReadText(where), "mail");
        // Another mail program marks it read: it keeps its reason.
        std::string read = failed + "/cur/" + BaseName(file) + ":2,S";
        ASSERT_EQ(rename(where.c_str(), read.c_str()), 0);
        std::string phrase, detail;
        ASSERT_TRUE(ReadFailureReason(read, &phrase, &detail));
        EXPECT_EQ(phrase, c.phrase);
        EXPECT_EQ(detail, c.detail);
    }
}

// Each mail is claimed by one rename before it is handed on: a mail another
// sender claimed (or that is gone) is Taken and not handed on; claims of
// processes that no longer run go back to new/, others stay.
TEST(MailFiles, ClaimsAreTakenOnceAndAbandonedOnesComeBack)
{
    TempHome home(false);
    std::string outbox = home.root + "/outbox", log = home.root + "/handed";
    Profile p = CommandProfile(home.root, outbox, "cat >> '" + log + "'");
    std::string file, claimed;
    ASSERT_EQ(DeliverToMaildir(outbox, "first", &file), 0);
    ASSERT_EQ(ClaimMail(file, &claimed), 0);
    EXPECT_EQ(ClaimedMailName(claimed), BaseName(file));
    EXPECT_EQ(ClaimMail(file, &claimed), ENOENT);
    EXPECT_EQ(HandOffQueued(p, {}, file), HandOffResult::Taken);
    EXPECT_FALSE(mailsys_test::FileExists(log));

    std::string me = ThisProcessOwner(), pid = me.substr(0, me.find('.'));
    struct Case {
        const char *name;
        std::string owner;
        bool comes_back;
    } cases[] = {
        {"1.alive.host", me, false},
        {"2.dead.host", "999999999." + me.substr(me.find('.') + 1), true},
        {"3.reused.host", pid + ".1", true},  // a running pid, another start time
        {"4.nobody.host", "", true},
    };
    for (const Case &c : cases)
        WriteText(outbox + "/claimed/" + c.name + ":" + c.owner, c.name);
    WriteText(outbox + "/claimed/without-colon", "x");
    EXPECT_EQ(ReturnAbandonedClaims(outbox), 3);
    for (const Case &c : cases)
        EXPECT_EQ(mailsys_test::FileExists(outbox + "/new/" + c.name), c.comes_back) << c.name;
    EXPECT_TRUE(mailsys_test::FileExists(claimed));  // this process's own claim stays
    EXPECT_TRUE(mailsys_test::FileExists(outbox + "/claimed/without-colon"));
    // What came back is handed on, once.
    EXPECT_EQ(HandOffQueued(p, {}, outbox + "/new/2.dead.host"), HandOffResult::Sent);
    EXPECT_EQ(ReadText(log), "2.dead.host");
}

// The exit status reaches the hand-off whatever the process does with
// SIGCHLD: ignored (children reap themselves) or reaped by a handler.
void ReapAll(int)
{
    int saved = errno;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    errno = saved;
}

TEST(MailFiles, ExitStatusSurvivesTheHostsChildHandling)
{
    TempHome home(false);
    std::string message = home.root + "/message";
    WriteText(message, "mail\n");
    struct sigaction reaping {}, ignoring {}, defaults {}, saved {};
    reaping.sa_handler = ReapAll;
    reaping.sa_flags = SA_RESTART;
    ignoring.sa_handler = SIG_IGN;
    defaults.sa_handler = SIG_DFL;
    sigaction(SIGCHLD, nullptr, &saved);
    struct Mode {
        const char *what;
        const struct sigaction *action;
    } modes[] = {{"default", &defaults}, {"ignored", &ignoring}, {"reaped by a handler", &reaping}};
    struct Case {
        const char *command;
        bool sent;
        SendFailure::Kind kind;
        int status;
    } cases[] = {
        {"cat >/dev/null", true, SendFailure::Status, 0},
        {"cat >/dev/null; exit 75", false, SendFailure::Status, 75},
        {"kill -TERM $$", false, SendFailure::Killed, SIGTERM},
    };
    for (const Mode &m : modes) {
        sigaction(SIGCHLD, m.action, nullptr);
        for (const Case &c : cases) {
            SendFailure why;
            EXPECT_EQ(RunSendCommand(c.command, message, 30, nullptr, &why), c.sent) << m.what << ": " << c.command;
            if (!c.sent) {
                EXPECT_EQ(why.kind, c.kind) << m.what << ": " << c.command;
                EXPECT_EQ(why.status, c.status) << m.what << ": " << c.command;
            }
        }
    }
    sigaction(SIGCHLD, &saved, nullptr);
}

// The session's password: on pages left out of core dumps, each copy on
// its own; replaced text leaves no old bytes behind.
std::string VmFlagsOf(const void *address)
{
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    auto at = reinterpret_cast<uintptr_t>(address);
    while (std::getline(smaps, line)) {
        unsigned long long from, to;
        if (sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2 && line.find(':') > line.find('-'))
            inside = at >= from && at < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

TEST(MailFiles, SessionPasswordStaysOutOfDumpsAndIsWiped)
{
    SecretText secret(std::string("pw-\"\\-7q2"));
    ASSERT_EQ(secret.size(), 9u);
    EXPECT_TRUE(secret == "pw-\"\\-7q2");
    EXPECT_NE(VmFlagsOf(secret.data()).find(" dd"), std::string::npos) << VmFlagsOf(secret.data());

    SecretText copy = secret;
    EXPECT_NE(copy.data(), secret.data());
    EXPECT_TRUE(copy == "pw-\"\\-7q2");
    SecretText moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_TRUE(moved == "pw-\"\\-7q2");

    // A shorter text on the same page: nothing of the old one stays.
    const char *page = secret.data();
    secret.Assign("ab", 2);
    ASSERT_EQ(secret.data(), page);
    EXPECT_EQ(std::string(page, 9), std::string("ab\0\0\0\0\0\0\0", 9));
    ForgetSecret(&secret);
    EXPECT_TRUE(secret.empty());
    EXPECT_STREQ(secret.data(), "");

    // A credential copied for a worker carries its own protected copy.
    Credentials given{Credentials::Given, "secret-1"};
    Credentials worker = given;
    EXPECT_NE(worker.password.data(), given.password.data());
    EXPECT_NE(VmFlagsOf(worker.password.data()).find(" dd"), std::string::npos);
}

// tegamiya-outbox --send, as a timer runs it: output and exit status.
struct SendRun {
    pid_t pid = -1;
    int out = -1;
    std::string output;
    int status = -1;
    void Start()
    {
        pid = testenv::StartProgram({TEGAMIYA_OUTBOX, "--send"}, &out);
    }
    // True once the program has ended (its output read whole).
    bool Ended()
    {
        int st;
        if (status < 0 && waitpid(pid, &st, WNOHANG) == pid) {
            char buf[4096];
            ssize_t n;
            while ((n = read(out, buf, sizeof buf)) > 0)
                output.append(buf, static_cast<size_t>(n));
            close(out);
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        return status >= 0;
    }
};

template <class Pred> bool Eventually(Pred done)
{
    for (int i = 0; i < 3000; ++i) {
        if (done())
            return true;
        usleep(10000);
    }
    return done();
}

TEST(MailFiles, SendModeSendsWhatWaitsAndTellsHowItWent)
{
    struct Case {
        const char *what;
        const char *profile;  // nullptr: none
        const char *language;
        int mails, status;
        const char *first_line;
    } cases[] = {
        {"no profile", nullptr, "", 0, 2, ""},
        {"no account", "name = T\naddress = t@example.jp\n", "", 1, 2, ""},
        {"nothing waits", "address = t@example.jp\nsend_command = cat >/dev/null\n", "", 0, 0, ""},
        {"sent", "address = t@example.jp\nsend_command = cat >/dev/null\n", "", 2, 0, "Sent: \"s0\" (x@example.com)"},
        {"in Japanese", "address = t@example.jp\nsend_command = cat >/dev/null\n", "ja", 1, 0,
         "\xE9\x80\x81\xE4\xBF\xA1\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F: \"s0\" (x@example.com)"},
        {"failed", "address = t@example.jp\nsend_command = cat >/dev/null; echo 'no such user' >&2; exit 67\n", "",
         1, 1, "Failed: A recipient was refused. (no such user): \"s0\" (x@example.com)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home(false);
        setenv("TEGAMIYA_MAIL_LANGUAGE", c.language, 1);
        if (c.profile)
            home.WriteProfile(c.profile);
        for (int i = 0; i < c.mails; ++i) {
            std::string file;
            ASSERT_EQ(DeliverToMaildir(home.outbox, "To: x@example.com\r\nSubject: s" + std::to_string(i) +
                                                        "\r\n\r\nhi\r\n", &file), 0);
        }
        SendRun run;
        run.Start();
        ASSERT_TRUE(Eventually([&] { return run.Ended(); }));
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_EQ(run.output.substr(0, run.output.find('\n')), c.first_line);
        size_t lines = std::count(run.output.begin(), run.output.end(), '\n');
        EXPECT_EQ(lines, c.status == 2 ? 0u : static_cast<size_t>(c.mails)) << run.output;
    }
    unsetenv("TEGAMIYA_MAIL_LANGUAGE");
}

// Two runs at once over one waiting mail (as a timer beside the window):
// the mail goes out exactly once.
TEST(MailFiles, SendModeTwiceAtOnceDeliversOnce)
{
    TempHome home(false);
    // Each hand-off keeps its copy, then holds until the test lets it go.
    home.WriteProfile("address = t@example.jp\nsend_command = cat > '" + home.root + "/got.'$$; while [ ! -e '" +
                      home.root + "/go' ]; do sleep 0.01; done\n");
    std::string file;
    ASSERT_EQ(DeliverToMaildir(home.outbox, "To: x@example.com\r\nSubject: once\r\n\r\nhi\r\n", &file), 0);
    SendRun a, b;
    a.Start();
    b.Start();
    // One of them is handing the mail on; the other has found nothing to
    // send, or found it taken.
    auto handed = [&] {
        for (const auto &name : Files(home.root))
            if (name.rfind("got.", 0) == 0)
                return true;
        return false;
    };
    ASSERT_TRUE(Eventually([&] { return handed() && (a.Ended() || b.Ended()); }));
    WriteText(home.root + "/go", "");
    ASSERT_TRUE(Eventually([&] { return a.Ended() && b.Ended(); }));
    EXPECT_EQ(a.status, 0) << a.output;
    EXPECT_EQ(b.status, 0) << b.output;
    std::string both = a.output + b.output;
    EXPECT_EQ(both.find("Sent: \"once\""), both.rfind("Sent: \"once\"")) << both;
    EXPECT_NE(both.find("Sent: \"once\""), std::string::npos) << both;
    int copies = 0;
    for (const auto &name : Files(home.root))
        copies += name.rfind("got.", 0) == 0;
    EXPECT_EQ(copies, 1);
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(home.sent + "/cur").size(), 1u);
}

}  // namespace
