// The mail library through its entry points: logon and sessions, messages
// read back by an independent MIME parser, every error of MAPISendMail from
// a real cause, name resolution and the buffers it hands out.
#include "book_fixture.h"
#include "test_support.h"

#include <csignal>
#include <dlfcn.h>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace mailsys_test;

namespace {

char *S(std::string &s) { return s.data(); }

// Every pictograph code of the user-defined area the phones use.
std::string AllPictographs()
{
    std::string s;
    for (int lead : {0xF8, 0xF9})
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F) {
                s += static_cast<char>(lead);
                s += static_cast<char>(trail);
            }
    return s;
}

class MailApi : public ::testing::Test {
protected:
    void SetUp() override { WriteText(home.book, kTestBook); }
    TempHome home;
};

TEST(MailLogon, WithoutProfileAndWithoutUiFails)
{
    TempHome home(false);
    LHANDLE h = 123;
    EXPECT_EQ(MAPILogon(0, nullptr, nullptr, MAPI_NEW_SESSION, 0, &h), ULONG(MAPI_E_LOGIN_FAILURE));
    EXPECT_EQ(h, 0u);
    // A profile without a valid sender address is no profile either.
    home.WriteProfile("name = x\naddress = not-an-address\n");
    EXPECT_EQ(MAPILogon(0, nullptr, nullptr, 0, 0, &h), ULONG(MAPI_E_LOGIN_FAILURE));
    EXPECT_EQ(MAPILogon(0, nullptr, nullptr, 0, 0, nullptr), ULONG(MAPI_E_FAILURE));
}

TEST(MailLogon, SessionsAreRealHandles)
{
    TempHome home;
    LHANDLE a = Logon(), b = Logon();
    ASSERT_NE(a, 0u);
    EXPECT_NE(a, b);
    // The outbox is created at logon.
    EXPECT_EQ(Files(home.outbox).size(), 3u);
    auto to = Recip(MAPI_TO, "x@example.com");
    EXPECT_EQ(Send(0, {to}), ULONG(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(Send(a + 1000, {to}), ULONG(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(MAPILogoff(a, 0, 0, 0), 0u);
    EXPECT_EQ(MAPILogoff(a, 0, 0, 0), ULONG(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(MAPILogoff(0, 0, 0, 0), ULONG(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(Send(a, {to}), ULONG(MAPI_E_INVALID_SESSION));
    lpMapiRecipDesc r = nullptr;
    EXPECT_EQ(MAPIResolveName(a, 0, const_cast<char *>("Taro"), 0, 0, &r), ULONG(MAPI_E_INVALID_SESSION));
    EXPECT_EQ(Send(b, {to}), 0u);  // the other session lives on
    EXPECT_EQ(MAPILogoff(b, 0, 0, 0), 0u);
    EXPECT_TRUE(home.NewMail().size() == 1);
}

TEST_F(MailApi, MessageIsReadBackIntact)
{
    LHANDLE h = Logon();
    std::string subject = Cp932("テスト") + "\xF8\x9F" + Cp932("件名です、少し長めの件名で折り返しを確かめる");
    std::string body = Cp932("こんにちは\r\n") + AllPictographs() + "\r\nend\r\n";
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(5000, '\x00') + "\xFF\xD9";
    std::string path = home.root + "/写真 1.jpg";
    WriteText(path, jpeg);
    std::string path932 = Cp932(path);
    std::string ichiro = Cp932("鈴木 一郎");
    auto recips = {Recip(MAPI_TO, "a@docomo.ne.jp", "SMTP:a@docomo.ne.jp"), Recip(MAPI_TO, "Hanako Suzuki"),
                   Recip(MAPI_CC, "cc@example.com"), Recip(MAPI_BCC, S(ichiro))};
    ASSERT_EQ(Send(h, recips, subject, body, {File(S(path932))}), 0u);

    auto files = home.NewMail();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(Files(home.outbox + "/tmp").empty());
    std::string file = home.outbox + "/new/" + files[0];
    auto m = ReadMail(file);
    EXPECT_EQ(m["defects"], "0");
    EXPECT_EQ(m["from"], "taro@example.jp");
    EXPECT_EQ(m["from_names"], "山田 太郎");
    EXPECT_EQ(m["to"], "a@docomo.ne.jp,hanako@docomo.ne.jp");
    EXPECT_EQ(m["to_names"], "|Hanako Suzuki");
    EXPECT_EQ(m["cc"], "cc@example.com");
    EXPECT_EQ(m["bcc"], "ichiro@ezweb.ne.jp");
    EXPECT_EQ(m["subject_hex"], Hex(subject));
    EXPECT_EQ(m["subject_charsets"], "shift_jis");
    EXPECT_EQ(m["date_ok"], "1");
    EXPECT_NE(m["message_id"].find("@example.jp>"), std::string::npos);
    EXPECT_EQ(m["mime_version"], "1.0");
    EXPECT_EQ(m["body_type"], "text/plain");
    EXPECT_EQ(m["body_charset"], "shift_jis");
    EXPECT_EQ(m["body_hex"], Hex(body));
    EXPECT_EQ(m["attachments"], "1");
    EXPECT_EQ(m["att0_type"], "image/jpeg");
    EXPECT_EQ(m["att0_name_hex"], Hex("写真 1.jpg"));
    EXPECT_EQ(m["att0_hex"], Hex(jpeg));

    // Header lines stay within the line length limit and the mail is 7-bit.
    std::string text = ReadText(file);
    size_t line = 0;
    for (unsigned char c : text) {
        EXPECT_LT(c, 0x80);
        line = c == '\n' ? 0 : line + 1;
        ASSERT_LE(line, 78u);
    }
    EXPECT_EQ(MAPILogoff(h, 0, 0, 0), 0u);
}

TEST_F(MailApi, AttachmentTypesNamesAndPlainMail)
{
    LHANDLE h = Logon();
    std::string bmp = "BM" + std::string(60, '\x01');
    std::string other = "plain data\n";
    WriteText(home.root + "/pic.BMP", bmp);
    WriteText(home.root + "/data.bin", other);
    std::string p1 = home.root + "/pic.BMP", p2 = home.root + "/data.bin";
    std::string shown = Cp932("ファイル.txt");
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "x@example.com")}, "", "", {File(S(p1)), File(S(p2), S(shown))}), 0u);
    auto m = ReadMail(home.outbox + "/new/" + home.NewMail()[0]);
    EXPECT_EQ(m["defects"], "0");
    EXPECT_EQ(m["body_hex"], "");
    EXPECT_EQ(m["subject_hex"], "");
    EXPECT_EQ(m["att0_type"], "image/bmp");
    EXPECT_EQ(m["att0_name_hex"], Hex("pic.BMP"));
    EXPECT_EQ(m["att0_hex"], Hex(bmp));
    EXPECT_EQ(m["att1_type"], "application/octet-stream");
    EXPECT_EQ(m["att1_name_hex"], Hex("ファイル.txt"));
    // The name in both forms: RFC 2231 (read above) and, for phones, RFC 2047
    // words in the content type carrying the CP932 bytes.
    EXPECT_EQ(m["att1_ctname_hex"], Hex(shown));
    EXPECT_EQ(m["att1_ctname_charsets"], "shift_jis");
    EXPECT_EQ(m["att0_ctname_hex"], Hex("pic.BMP"));
    EXPECT_EQ(m["att0_ctname_charsets"], "");
    EXPECT_EQ(m["att1_hex"], Hex(other));
    MAPILogoff(h, 0, 0, 0);
}

// A path is the file system's own bytes: a picture with a Japanese name in a
// Japanese folder is attached under its own name, and a UTF-8 path whose
// bytes also read as CP932 opens the file it names, not the one its CP932
// reading names. A path written in CP932 is still found.
TEST_F(MailApi, PathsAreTheFileSystemsBytes)
{
    LHANDLE h = Logon();
    std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "picture" + "\xFF\xD9";
    std::string folder = home.root + "/ドキュメント";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::string inFolder = folder + "/写真.jpg";
    WriteText(inFolder, jpeg);
    // "写真.jpg" in UTF-8 reads as "蜀咏悄.jpg" in CP932: a decoy by that name.
    std::string real = home.root + "/写真.jpg", decoy = home.root + "/蜀咏悄.jpg";
    WriteText(real, "real");
    WriteText(decoy, "decoy");
    std::string oldStyle = Cp932(home.root + "/ファイル.bin");
    WriteText(home.root + "/ファイル.bin", "converted");
    auto to = Recip(MAPI_TO, "x@example.com");
    ASSERT_EQ(Send(h, {to}, "s", "t", {File(S(inFolder)), File(S(real)), File(S(oldStyle))}), 0u);
    auto m = ReadMail(home.outbox + "/new/" + home.NewMail()[0]);
    EXPECT_EQ(m["att0_type"], "image/jpeg");
    EXPECT_EQ(m["att0_name_hex"], Hex("写真.jpg"));
    EXPECT_EQ(m["att0_hex"], Hex(jpeg));
    EXPECT_EQ(m["att1_name_hex"], Hex("写真.jpg"));
    EXPECT_EQ(m["att1_hex"], Hex("real"));
    EXPECT_EQ(m["att2_name_hex"], Hex("ファイル.bin"));
    EXPECT_EQ(m["att2_hex"], Hex("converted"));
    MAPILogoff(h, 0, 0, 0);
}

// Long names with pictographs are split into several encoded words at
// character boundaries; a name CP932 cannot hold is given in UTF-8 words.
TEST_F(MailApi, AttachmentNamesAsEncodedWords)
{
    LHANDLE h = Logon();
    std::string pic = home.root + "/pic.jpg";
    WriteText(pic, "\xFF\xD8\xFF\xE0 jpeg");
    std::string longName = Cp932("携帯で撮った夏休みの写真") + "\xF8\x9F\xF9\xFC" + Cp932("その二、海と山と空.jpg");
    std::string hangul = home.root + "/사진.bin";  // a UTF-8 file name
    WriteText(hangul, "x");
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "x@example.com")}, "", "",
                   {File(S(pic), S(longName)), File(S(hangul))}),
              0u);
    std::string file = home.outbox + "/new/" + home.NewMail()[0];
    auto m = ReadMail(file);
    EXPECT_EQ(m["defects"], "0");
    EXPECT_EQ(m["att0_ctname_hex"], Hex(longName));
    EXPECT_EQ(m["att0_ctname_charsets"], "shift_jis");
    EXPECT_EQ(m["att1_ctname_hex"], Hex("사진.bin"));
    EXPECT_EQ(m["att1_ctname_charsets"], "utf-8");
    EXPECT_EQ(m["att1_name_hex"], Hex("사진.bin"));
    // No header line grows past 78 characters.
    std::istringstream lines(ReadText(file));
    std::string line;
    while (std::getline(lines, line) && !line.empty())
        EXPECT_LE(line.size(), 78u) << line;
    MAPILogoff(h, 0, 0, 0);
}

// A caller that passes its whole To line as the address of every To
// recipient still reaches each of them once.
TEST_F(MailApi, AddressLineGivenForEachRecipient)
{
    LHANDLE h = Logon();
    const char *line = "a@x.jp;b@y.jp";
    ASSERT_EQ(Send(h, {Recip(MAPI_TO, "a@x.jp", line), Recip(MAPI_TO, "b@y.jp", line)}), 0u);
    auto m = ReadMail(home.outbox + "/new/" + home.NewMail()[0]);
    EXPECT_EQ(m["to"], "a@x.jp,b@y.jp");
    // A name that is none of the listed addresses is an invalid recipient.
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "c@z.jp", line)}), ULONG(MAPI_E_INVALID_RECIPS));
    // Addresses are compared without regard to case.
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "A@X.jp", line)}), 0u);
    MAPILogoff(h, 0, 0, 0);
}

// A body goes as 7bit only when every byte is ASCII without CR and every
// line holds at most 76 characters; anything else is base64.
TEST_F(MailApi, BodyTransferEncodingAtItsLimits)
{
    LHANDLE h = Logon();
    struct Case {
        std::string body;
        const char *cte;
    };
    const Case cases[] = {
        {"\x82\xA0", "base64"},                        // one non-ASCII line, no line break
        {"abc", "7bit"},                                // one ASCII line, no line break
        {"abc\n\x82\xA0", "base64"},                   // the last line without a break
        {std::string(76, 'a'), "7bit"},                 // a line at the limit
        {std::string(77, 'a'), "base64"},               // one above
        {std::string(76, 'a') + "\n" + std::string(76, 'b'), "7bit"},
        {"a\rb", "base64"},
    };
    for (const Case &c : cases) {
        for (const auto &f : home.NewMail())
            unlink((home.outbox + "/new/" + f).c_str());
        ASSERT_EQ(Send(h, {Recip(MAPI_TO, "x@example.com")}, "s", c.body), 0u);
        auto m = ReadMail(home.outbox + "/new/" + home.NewMail()[0]);
        EXPECT_EQ(m["body_cte"], c.cte) << Hex(c.body);
        // A text part ends with a line break, whichever the encoding.
        bool closed = std::string(c.cte) == "7bit" && c.body.back() != '\n';
        EXPECT_EQ(m["body_hex"], Hex(closed ? c.body + "\n" : c.body));
    }
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(MailApi, EachSendErrorHasItsCause)
{
    LHANDLE h = Logon();
    auto ok = Recip(MAPI_TO, "x@example.com");
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "Nobody Known")}), ULONG(MAPI_E_UNKNOWN_RECIPIENT));
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "TARO")}), ULONG(MAPI_E_AMBIGUOUS_RECIPIENT));
    EXPECT_EQ(Send(h, {Recip(MAPI_ORIG, "x@example.com")}), ULONG(MAPI_E_BAD_RECIPTYPE));
    EXPECT_EQ(Send(h, {ok, Recip(7, "y@example.com")}), ULONG(MAPI_E_BAD_RECIPTYPE));
    EXPECT_EQ(Send(h, {}), ULONG(MAPI_E_INVALID_RECIPS));
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "x", "SMTP:broken@")}), ULONG(MAPI_E_INVALID_RECIPS));
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "")}), ULONG(MAPI_E_INVALID_RECIPS));
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "No Mail")}), ULONG(MAPI_E_INVALID_RECIPS));
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "Empty Group")}), ULONG(MAPI_E_INVALID_RECIPS));
    std::vector<MapiRecipDesc> many(1001, ok);
    EXPECT_EQ(Send(h, many), ULONG(MAPI_E_TOO_MANY_RECIPIENTS));
    // The note text limit is 1 MiB.
    EXPECT_EQ(Send(h, {ok}, "s", std::string(1024 * 1024 + 1, 'a')), ULONG(MAPI_E_TEXT_TOO_LARGE));
    std::string missing = home.root + "/missing.jpg";
    EXPECT_EQ(Send(h, {ok}, "s", "t", {File(S(missing))}), ULONG(MAPI_E_ATTACHMENT_NOT_FOUND));
    EXPECT_EQ(Send(h, {ok}, "s", "t", {File(nullptr)}), ULONG(MAPI_E_ATTACHMENT_NOT_FOUND));
    EXPECT_EQ(Send(h, {ok}, "s", "t", {File(S(home.root))}), ULONG(MAPI_E_ATTACHMENT_OPEN_FAILURE));
    EXPECT_EQ(MAPISendMail(h, 0, nullptr, 0, 0), ULONG(MAPI_E_FAILURE));
    EXPECT_TRUE(home.NewMail().empty());

    // Just under the limit goes through; a group expands to its members.
    EXPECT_EQ(Send(h, {ok}, "s", std::string(1024 * 1024, 'a')), 0u);
    EXPECT_EQ(Send(h, {Recip(MAPI_TO, "family")}), 0u);
    EXPECT_EQ(home.NewMail().size(), 2u);

    // An outbox that cannot be written: failure, and nothing half-written.
    ASSERT_EQ(system(("rm -rf '" + home.outbox + "' && touch '" + home.outbox + "'").c_str()), 0);
    EXPECT_EQ(Send(h, {ok}), ULONG(MAPI_E_FAILURE));
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(MailApi, GroupExpandsToMemberAddresses)
{
    LHANDLE h = Logon();
    ASSERT_EQ(Send(h, {Recip(MAPI_BCC, "Family")}), 0u);
    auto m = ReadMail(home.outbox + "/new/" + home.NewMail()[0]);
    EXPECT_EQ(m["bcc"], "ichiro@ezweb.ne.jp,mama@example.jp");
    MAPILogoff(h, 0, 0, 0);
}

// A full disk (here: a file size limit) is an error and leaves no mail,
// neither in new/ nor half-written in tmp/.
TEST_F(MailApi, FullDiskLeavesNoMail)
{
    LHANDLE h = Logon();
    std::string big = home.root + "/big.jpg";
    WriteText(big, "\xFF\xD8\xFF" + std::string(300000, 'x'));
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(static_cast<int>(Send(h, {Recip(MAPI_TO, "x@example.com")}, "s", "t", {File(S(big))})));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), MAPI_E_DISK_FULL);
    EXPECT_TRUE(home.NewMail().empty());
    EXPECT_TRUE(Files(home.outbox + "/tmp").empty());
    MAPILogoff(h, 0, 0, 0);
}

TEST_F(MailApi, ResolveName)
{
    LHANDLE h = Logon();
    lpMapiRecipDesc r = nullptr;
    ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("hanako SUZUKI"), 0, 0, &r), 0u);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->ulRecipClass, ULONG(MAPI_TO));
    EXPECT_STREQ(r->lpszName, "Hanako Suzuki");
    EXPECT_STREQ(r->lpszAddress, "hanako@docomo.ne.jp");  // the preferred one
    EXPECT_EQ(MAPIFreeBuffer(r), 0u);

    std::string ichiro = Cp932("鈴木 一郎");
    ASSERT_EQ(MAPIResolveName(h, 0, S(ichiro), 0, 0, &r), 0u);
    EXPECT_EQ(std::string(r->lpszName), ichiro);
    EXPECT_STREQ(r->lpszAddress, "ichiro@ezweb.ne.jp");
    EXPECT_EQ(MAPIFreeBuffer(r), 0u);

    ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("Family"), 0, 0, &r), 0u);
    EXPECT_EQ(r->lpszAddress, nullptr);  // a group has no address of its own
    EXPECT_EQ(MAPIFreeBuffer(r), 0u);

    ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("SMTP:z@example.com"), 0, 0, &r), 0u);
    EXPECT_STREQ(r->lpszAddress, "z@example.com");
    EXPECT_EQ(MAPIFreeBuffer(r), 0u);

    r = nullptr;
    EXPECT_EQ(MAPIResolveName(h, 0, const_cast<char *>("taro"), 0, 0, &r), ULONG(MAPI_E_AMBIGUOUS_RECIPIENT));
    EXPECT_EQ(MAPIResolveName(h, 0, const_cast<char *>("Hanako"), 0, 0, &r), ULONG(MAPI_E_UNKNOWN_RECIPIENT));
    EXPECT_EQ(MAPIResolveName(h, 0, const_cast<char *>(""), 0, 0, &r), ULONG(MAPI_E_UNKNOWN_RECIPIENT));
    EXPECT_EQ(r, nullptr);
    MAPILogoff(h, 0, 0, 0);
}

// MAPIFreeBuffer takes back exactly the blocks it handed out: a second
// free, a pointer into a block and foreign memory are refused, not freed
// (AddressSanitizer would stop a wrong free here).
TEST_F(MailApi, FreeBufferRefusesForeignPointers)
{
    LHANDLE h = Logon();
    lpMapiRecipDesc r = nullptr;
    ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("Taro"), 0, 0, &r), ULONG(MAPI_E_AMBIGUOUS_RECIPIENT));
    ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("No Mail"), 0, 0, &r), 0u);
    EXPECT_EQ(MAPIFreeBuffer(r->lpszName), ULONG(MAPI_E_FAILURE));
    int local = 0;
    EXPECT_EQ(MAPIFreeBuffer(&local), ULONG(MAPI_E_FAILURE));
    void *heap = malloc(16);
    EXPECT_EQ(MAPIFreeBuffer(heap), ULONG(MAPI_E_FAILURE));
    free(heap);
    EXPECT_EQ(MAPIFreeBuffer(r), 0u);
    EXPECT_EQ(MAPIFreeBuffer(r), ULONG(MAPI_E_FAILURE));
    EXPECT_EQ(MAPIFreeBuffer(nullptr), 0u);
    // Many pairs: no leak, no double free.
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(MAPIResolveName(h, 0, const_cast<char *>("Hanako Suzuki"), 0, 0, &r), 0u);
        ASSERT_EQ(MAPIFreeBuffer(r), 0u);
    }
    MAPILogoff(h, 0, 0, 0);
}

// The library is found by name as a program binds it at run time.
TEST(MailLibrary, ExportsTheTwelveEntryPoints)
{
    void *lib = dlopen(MAILSYS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char *name : {"MAPILogon", "MAPILogoff", "MAPISendMail", "MAPISendDocuments", "MAPIFindNext",
                             "MAPIReadMail", "MAPISaveMail", "MAPIDeleteMail", "MAPIFreeBuffer", "MAPIAddress",
                             "MAPIDetails", "MAPIResolveName"})
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    // Nothing of the inside leaks out.
    EXPECT_EQ(dlsym(lib, "_ZN7mailsys12BuildMessageERKNS_12OutgoingMailElRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"),
              nullptr);
    dlclose(lib);
}

TEST_F(MailApi, UnsupportedCallsSaySo)
{
    LHANDLE h = Logon();
    lpMapiMessage msg = nullptr;
    MapiRecipDesc rd = Recip(MAPI_TO, "x@example.com");
    char id[512] = {};
    EXPECT_EQ(MAPISendDocuments(0, nullptr, nullptr, nullptr, 0), ULONG(MAPI_E_NOT_SUPPORTED));
    EXPECT_EQ(MAPIFindNext(h, 0, nullptr, nullptr, 0, 0, id), ULONG(MAPI_E_NOT_SUPPORTED));
    EXPECT_EQ(MAPIReadMail(h, 0, id, 0, 0, &msg), ULONG(MAPI_E_NOT_SUPPORTED));
    EXPECT_EQ(MAPISaveMail(h, 0, nullptr, 0, 0, id), ULONG(MAPI_E_NOT_SUPPORTED));
    EXPECT_EQ(MAPIDeleteMail(h, 0, id, 0, 0), ULONG(MAPI_E_NOT_SUPPORTED));
    EXPECT_EQ(MAPIDetails(h, 0, &rd, 0, 0), ULONG(MAPI_E_NOT_SUPPORTED));
    ULONG n = 0;
    lpMapiRecipDesc out = nullptr;
    EXPECT_EQ(MAPIAddress(h, 0, nullptr, 5, nullptr, 0, nullptr, 0, 0, &n, &out), ULONG(MAPI_E_INVALID_EDITFIELDS));
    EXPECT_EQ(MAPIAddress(0, 0, nullptr, 1, nullptr, 0, nullptr, 0, 0, &n, &out), ULONG(MAPI_E_INVALID_SESSION));
    MAPILogoff(h, 0, 0, 0);
}

}  // namespace
