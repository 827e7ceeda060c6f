// The outbox window's reading of a Maildir: a mail is read again only when
// its file changed, only up to its header block, and a multipart mail's
// attachment names when asked for.
#include "mail_list.h"
#include "maildir.h"
#include "message_builder.h"

#include "test_support.h"

#include <functional>
#include <sys/stat.h>

using namespace mailsys_test;

namespace {

std::string Deliver(const std::string &maildir, const std::string &subject, time_t when, bool picture = false)
{
    mailsys::OutgoingMail m;
    m.from = {"Taro", "taro@example.jp"};
    m.to = {{"", "hanako@example.jp"}};
    m.subject = subject;
    m.body = "text";
    if (picture)
        m.attachments.push_back({"photo.jpg", "\xFF\xD8\xFF\xE0 picture", "image/jpeg"});
    std::string path;
    EXPECT_EQ(mailsys::DeliverToMaildir(maildir, mailsys::BuildMessage(m, when, "x@example.jp"), &path), 0);
    return path;
}

// Each row as "subject|attachments", "..." for names not read yet.
std::vector<std::string> Shown(const std::vector<mailsys::MailRow> &rows)
{
    std::vector<std::string> out;
    for (const auto &r : rows) {
        out.push_back(r.subject + "|" + (r.attachments_known ? r.attachments : "..."));
        EXPECT_TRUE(FileExists(r.path)) << r.path;
    }
    return out;
}

TEST(MailListCache, ReadsAgainOnlyWhatChanged)
{
    TempHome home;
    std::string box = home.outbox;
    std::string pic = Deliver(box, "pic", 1800000000, true);
    std::string b = Deliver(box, "b1", 1800000060);
    std::string c = Deliver(box, "c1", 1800000120);
    mailsys::MailListCache cache;
    auto rows = cache.List(box);
    EXPECT_EQ(cache.Reads(), 3u);
    ASSERT_EQ(Shown(rows), (std::vector<std::string>{"pic|...", "b1|", "c1|"}));
    cache.ReadAttachments(&rows[0]);
    EXPECT_EQ(rows[0].attachments, "photo.jpg");
    EXPECT_EQ(cache.Reads(), 4u);

    // Writes `file` with `from` replaced by `to` into `into`, with the
    // modification time of `file` to the nanosecond, `nsec` later.
    auto rewrite = [](const std::string &file, const std::string &into, const std::string &from,
                      const std::string &to, long nsec = 0) {
        struct stat st {};
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        std::string text = ReadText(file);
        WriteText(into, text.replace(text.find(from), from.size(), to));
        st.st_mtim.tv_nsec = (st.st_mtim.tv_nsec + nsec) % 1000000000;
        timespec times[2] = {st.st_mtim, st.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, into.c_str(), times, 0), 0);
    };
    struct Step {
        const char *what;
        std::function<void()> change;
        size_t reads;  // files read by the listing after the change
        std::vector<std::string> shown;
    } steps[] = {
        {"nothing changed", [] {}, 0, {"pic|photo.jpg", "b1|", "c1|"}},
        {"renamed into cur/ with flags",
         [&] {
             std::string to = box + "/cur/" + pic.substr(pic.rfind('/') + 1) + ":2,S";
             ASSERT_EQ(rename(pic.c_str(), to.c_str()), 0);
             pic = to;
         },
         0, {"pic|photo.jpg", "b1|", "c1|"}},
        {"same size and inode, another time", [&] { rewrite(c, c, "c1", "c2", 1); }, 1,
         {"pic|photo.jpg", "b1|", "c2|"}},
        {"same time and inode, one byte longer", [&] { rewrite(b, b, "b1", "b12"); }, 1,
         {"pic|photo.jpg", "b12|", "c2|"}},
        {"same size and time, another file renamed over it",
         [&] {
             rewrite(pic, home.root + "/other", "Subject: pic", "Subject: pix");
             ASSERT_EQ(rename((home.root + "/other").c_str(), pic.c_str()), 0);
         },
         1, {"pix|...", "b12|", "c2|"}},
        {"an older mail added", [&] { Deliver(box, "a", 1700000000); }, 1, {"a|", "pix|...", "b12|", "c2|"}},
        {"a mail removed", [&] { ASSERT_EQ(unlink(b.c_str()), 0); }, 0, {"a|", "pix|...", "c2|"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        size_t before = cache.Reads();
        EXPECT_EQ(Shown(cache.List(box)), step.shown);
        EXPECT_EQ(cache.Reads() - before, step.reads);
    }
    // Waiting mail (new/ only) no longer lists the mail moved into cur/.
    EXPECT_EQ(Shown(cache.List(box, false)), (std::vector<std::string>{"a|", "c2|"}));
}

// The header block ends at the blank line wherever it falls against the
// reader's 8 KiB reads, with either line end; it is cut at 1 MiB.
TEST(MailListCache, HeaderBlockEndsAtTheBlankLine)
{
    TempHome home;
    std::string path = home.root + "/mail";
    const size_t kMax = 1 << 20;
    for (const char *eol : {"\n", "\r\n"}) {
        for (size_t length : {8191ul, 8192ul, 8193ul, 16385ul, kMax - 1, kMax, kMax + 1}) {
            SCOPED_TRACE(std::to_string(length) + (eol[1] ? " CRLF" : " LF"));
            size_t fixed = 9 + 2 * strlen(eol);  // "Subject: ", two line ends
            std::string header = "Subject: " + std::string(length - fixed, 'x') + eol + eol;
            ASSERT_EQ(header.size(), length);
            WriteText(path, header + "To: body@example.jp" + eol + eol + "more");
            std::string read;
            ASSERT_TRUE(mailsys::ReadHeaderBlock(path, &read));
            EXPECT_EQ(read.size(), std::min(length, kMax));
            EXPECT_EQ(read, header.substr(0, kMax));
        }
    }
    // A blank first line: no headers. No blank line: the whole file.
    std::string read = "old";
    WriteText(path, "\r\nTo: body@example.jp\n");
    ASSERT_TRUE(mailsys::ReadHeaderBlock(path, &read));
    EXPECT_EQ(read, "");
    WriteText(path, "Subject: s\nTo: t");
    ASSERT_TRUE(mailsys::ReadHeaderBlock(path, &read));
    EXPECT_EQ(read, "Subject: s\nTo: t");
    EXPECT_FALSE(mailsys::ReadHeaderBlock(home.root + "/none", &read));
}

}  // namespace
