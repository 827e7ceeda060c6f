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
#include <tuple>
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

// A profile that hands mail to a shell command.
Profile CommandProfile(const std::string &root, const std::string &outbox, const std::string &command)
{
    Profile p;
    p.sender_address = "taro@example.jp";
    p.outbox = outbox;
    p.sent = root + "/sent";
    p.send_command = command;
    return p;
}

// A failed hand-off files the mail under failed/ with its reason (the send
// program's last error line, whole), also after a reader marks it read;
// when failed/ cannot take it, the mail waits in the outbox again.
TEST(MailFiles, FailedHandOffKeepsTheMailAndWhy)
{
    std::string long_line = "msmtp: " + std::string(400, 'x') + " \xE3\x81\x82";
    struct Case {
        const char *outbox;  // under the home; nullptr detail: failed/ blocked
        std::string errors;
        const char *detail;
    } cases[] = {{"mail/outbox", "first\nmsmtp: 535 5.7.8 no\n", "msmtp: 535 5.7.8 no"},
                 {"mail/outbox/", "first\n" + long_line + "\n\n", long_line.c_str()},
                 {"mail/outbox", "no\n", nullptr}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.outbox + c.errors.substr(0, 10));
        TempHome home(false);
        std::string outbox = home.root + "/" + c.outbox, failed = home.root + "/mail/failed", file, where;
        WriteText(home.root + "/errors", c.errors);
        Profile p = CommandProfile(home.root, outbox, "cat >/dev/null; cat '" + home.root + "/errors' >&2; exit 77");
        ASSERT_EQ(DeliverToMaildir(outbox, "mail", &file), 0);
        if (!c.detail)
            WriteText(failed, "not a folder");
        EXPECT_EQ(HandOffQueued(p, {}, file, &where), HandOffResult::Failed);
        EXPECT_EQ(where, c.detail ? failed + "/new/" + BaseName(file) : file);
        EXPECT_EQ(ReadText(where), "mail");
        EXPECT_EQ(Files(outbox + "/new").size() + Files(outbox + "/claimed").size(), c.detail ? 0u : 1u);
        std::string read = failed + "/cur/" + BaseName(file) + ":2,S", phrase, detail;
        if (c.detail && rename(where.c_str(), read.c_str()) == 0) {
            ASSERT_TRUE(ReadFailureReason(read, &phrase, &detail));
            EXPECT_EQ(phrase, "The server refused the login.");
            EXPECT_EQ(detail, c.detail);
        }
    }
}

// A mail another sender claimed (or that is gone) is Taken, not handed on;
// claims of processes that no longer run go back to new/, others stay.
TEST(MailFiles, ClaimsAreTakenOnceAndAbandonedOnesComeBack)
{
    TempHome home(false);
    std::string outbox = home.root + "/outbox", log = home.root + "/handed", file, claimed;
    Profile p = CommandProfile(home.root, outbox, "cat >> '" + log + "'");
    ASSERT_EQ(DeliverToMaildir(outbox, "first", &file), 0);
    ASSERT_EQ(ClaimMail(file, &claimed), 0);
    EXPECT_EQ(ClaimedMailName(claimed), BaseName(file));
    EXPECT_EQ(ClaimMail(file, &claimed), ENOENT);
    EXPECT_EQ(HandOffQueued(p, {}, file), HandOffResult::Taken);
    EXPECT_FALSE(mailsys_test::FileExists(log));

    std::string me = ThisProcessOwner(), pid = me.substr(0, me.find('.')), start = me.substr(me.find('.'));
    const std::pair<std::string, bool> owners[] = {
        {me, false}, {"999999999" + start, true}, {pid + ".1", true} /* a reused pid */, {"", true}};
    for (const auto &o : owners)
        WriteText(outbox + "/claimed/m" + o.first + ":" + o.first, "x");
    EXPECT_EQ(ReturnAbandonedClaims(outbox), 3);
    for (const auto &o : owners)
        EXPECT_EQ(mailsys_test::FileExists(outbox + "/new/m" + o.first), o.second) << o.first;
    EXPECT_TRUE(mailsys_test::FileExists(claimed));  // this process's own claim stays
    EXPECT_EQ(HandOffQueued(p, {}, outbox + "/new/m999999999" + start), HandOffResult::Sent);
    EXPECT_EQ(ReadText(log), "x");
}

// The exit status reaches the hand-off whatever the process does with
// SIGCHLD: default, ignored (children reap themselves), reaped by a handler.
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
    WriteText(home.root + "/message", "mail\n");
    struct sigaction saved {};
    sigaction(SIGCHLD, nullptr, &saved);
    for (auto handler : {SIG_DFL, SIG_IGN, ReapAll}) {
        struct sigaction action {};
        action.sa_handler = handler;
        action.sa_flags = SA_RESTART;
        sigaction(SIGCHLD, &action, nullptr);
        const std::tuple<const char *, SendFailure::Kind, int> cases[] = {
            {"cat >/dev/null", SendFailure::Status, 0},
            {"exit 75", SendFailure::Status, 75},
            {"kill -TERM $$", SendFailure::Killed, SIGTERM}};
        for (const auto &[command, kind, status] : cases) {
            SendFailure why;
            EXPECT_EQ(RunSendCommand(command, home.root + "/message", 30, nullptr, &why), status == 0) << command;
            EXPECT_EQ(why.kind, kind) << command;
            EXPECT_EQ(why.status, status) << command;
        }
    }
    sigaction(SIGCHLD, &saved, nullptr);
}

// The session's password: on pages left out of core dumps ("dd" in the
// kernel's flags of the mapping), each copy on its own; a replaced text
// leaves no old bytes behind.
std::string VmFlagsOf(const void *address)
{
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    for (unsigned long long from, to, at = reinterpret_cast<uintptr_t>(address); std::getline(smaps, line);) {
        if (sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2 && line.find(':') > line.find('-'))
            inside = at >= from && at < to;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

TEST(MailFiles, SessionPasswordStaysOutOfDumpsAndIsWiped)
{
    Credentials given{Credentials::Given, "pw-\"\\-7q2"};
    Credentials copy = given;
    for (const SecretText *secret : {&given.password, &copy.password}) {
        EXPECT_TRUE(*secret == "pw-\"\\-7q2");
        EXPECT_NE(VmFlagsOf(secret->data()).find(" dd"), std::string::npos) << VmFlagsOf(secret->data());
    }
    EXPECT_NE(copy.password.data(), given.password.data());
    SecretText moved = std::move(copy.password);
    EXPECT_TRUE(copy.password.empty());
    EXPECT_TRUE(moved == "pw-\"\\-7q2");
    const char *page = moved.data();
    moved.Assign("ab", 2);
    ASSERT_EQ(moved.data(), page);
    EXPECT_EQ(std::string(page, 9), std::string("ab\0\0\0\0\0\0\0", 9));
    ForgetSecret(&moved);
    EXPECT_STREQ(moved.data(), "");
}

// tegamiya-outbox --send as a timer runs it: a line per mail, the exit
// status; and run twice at once over one waiting mail, one delivery.
struct SendRun : testenv::RunningProgram {
    SendRun() : RunningProgram({TEGAMIYA_OUTBOX, "--send"}) {}
};

TEST(MailFiles, SendModeSendsWhatWaitsAndTellsHowItWent)
{
    struct Case {
        const char *profile;  // nullptr: none
        const char *language;
        int mails, status;
        const char *first_line;
    } cases[] = {
        {nullptr, "", 1, 2, ""},
        {"name = T\naddress = t@example.jp\n", "", 1, 2, ""},  // no account, no command
        {"address = t@example.jp\nsend_command = cat >/dev/null\n", "ja", 2, 0,
         "\xE9\x80\x81\xE4\xBF\xA1\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F: \"s0\" (x@example.com)"},
        {"address = t@example.jp\nsend_command = cat >/dev/null; echo 'no such user' >&2; exit 67\n", "", 1, 1,
         "Failed: A recipient was refused. (no such user): \"s0\" (x@example.com)"},
    };
    for (const Case &c : cases) {
        TempHome home(false);
        setenv("TEGAMIYA_MAIL_LANGUAGE", c.language, 1);
        if (c.profile)
            home.WriteProfile(c.profile);
        std::string file;
        for (int i = 0; i < c.mails; ++i)
            DeliverToMaildir(home.outbox, "To: x@example.com\r\nSubject: s" + std::to_string(i) + "\r\n\r\n", &file);
        SendRun run;
        ASSERT_TRUE(testenv::WaitUntil([&] { return run.Ended(); }));
        EXPECT_EQ(run.status, c.status) << run.output;
        EXPECT_EQ(run.output.substr(0, run.output.find('\n')), c.first_line);
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), c.status == 2 ? 0 : c.mails);
    }
    unsetenv("TEGAMIYA_MAIL_LANGUAGE");
}

TEST(MailFiles, SendModeTwiceAtOnceDeliversOnce)
{
    TempHome home(false);
    // Each hand-off keeps its copy, then holds until the test lets it go.
    home.WriteProfile("address = t@example.jp\nsend_command = cat > '" + home.root + "/got.'$$; until [ -e '" +
                      home.root + "/go' ]; do sleep 0.01; done\n");
    std::string file;
    ASSERT_EQ(DeliverToMaildir(home.outbox, "To: x@example.com\r\nSubject: once\r\n\r\n", &file), 0);
    auto copies = [&] {
        auto names = Files(home.root);
        return std::count_if(names.begin(), names.end(), [](const auto &n) { return n.rfind("got.", 0) == 0; });
    };
    SendRun a, b;
    // One of them hands the mail on; the other found nothing, or found it taken.
    ASSERT_TRUE(testenv::WaitUntil([&] { return copies() == 1 && (a.Ended() || b.Ended()); }));
    WriteText(home.root + "/go", "");
    ASSERT_TRUE(testenv::WaitUntil([&] { return a.Ended() && b.Ended(); }));
    EXPECT_EQ(a.status + b.status, 0) << a.output << b.output;
    std::string both = a.output + b.output;
    EXPECT_EQ(both.find("Sent: \"once\""), both.rfind("Sent: \"once\"")) << both;
    EXPECT_EQ(copies(), 1);
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_EQ(Files(home.sent + "/cur").size(), 1u);
}

}  // namespace
