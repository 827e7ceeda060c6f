// The mail library's file handling below its entry points: the atomic
// profile writer and symbolic links, failed folder syncs, Maildir delivery
// and cleaning, and the send command's clock and descriptors.
#include "fsutil.h"
#include "handoff.h"
#include "maildir.h"

#include "test_support.h"

#include <cerrno>
#include <fcntl.h>
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

}  // namespace
