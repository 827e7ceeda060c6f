#include "app/profile.h"

#include "test_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testenv::ReadFile;
using testenv::Sjis;
using testenv::WriteFile;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    testenv::TempHome home;
    fs::path file = home.Path() / "Tegamiya.ini";
    ProfileFile ini{file.string()};
};

TEST_F(ProfileTest, MissingFileSectionOrKeyReadsAsDefault)
{
    EXPECT_EQ(ini.GetString("Default", "Vender", "DoCoMo i-mode"), "DoCoMo i-mode");
    EXPECT_EQ(ini.GetInt("Display Width", "someone", 12), 12);
    WriteFile(file, "[Default]\r\nOther=1\r\n");
    EXPECT_EQ(ini.GetString("Default", "Vender", "x"), "x");
    EXPECT_EQ(ini.GetString("Nope", "Other", "y"), "y");
    EXPECT_EQ(ini.GetString("Default", "Other", "y"), "1");
}

TEST_F(ProfileTest, BufferSizeCutsToOneLessByte)
{
    WriteFile(file, "[Default]\r\nMailTo1=" + std::string(300, 'a') + "\r\n");
    EXPECT_EQ(ini.GetString("Default", "MailTo1", "", 256).size(), 255u);
    EXPECT_EQ(ini.GetString("Default", "MailTo1", "").size(), 300u); // whole when asked
    EXPECT_EQ(ini.GetString("Default", "Missing", "abcdef", 4), "abc"); // the default too
}

TEST_F(ProfileTest, KeyListIsFileOrderOrTheDefaultAlone)
{
    EXPECT_EQ(ini.GetKeys("Keitai Vender", "DoCoMo i-mode"), std::vector<std::string>{"DoCoMo i-mode"});
    EXPECT_TRUE(ini.GetKeys("Mail Address", "").empty());
    WriteFile(file, "[Keitai Vender]\r\nb=1\r\na=2\r\nno equals here\r\n\r\nc=3\r\n[Empty]\r\n");
    EXPECT_EQ(ini.GetKeys("keitai vender"), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(ini.GetKeys("Empty", "d"), std::vector<std::string>{"d"});
}

TEST_F(ProfileTest, NamesMatchWithoutCaseButDoubleByteNamesExactly)
{
    WriteFile(file, "[DEFAULT]\r\nvender=PC\r\n");
    EXPECT_EQ(ini.GetString("Default", "Vender", ""), "PC");
    // 0x83 0x41 and 0x83 0x61 are different katakana; folding the trail
    // byte as if it were a letter would confuse them.
    std::string a = "\x83\x41", b = "\x83\x61";
    ASSERT_TRUE(ini.WriteString("Display Width", a, "10"));
    EXPECT_EQ(ini.GetInt("Display Width", b, 99), 99);
    EXPECT_EQ(ini.GetInt("Display Width", a, 99), 10);
    // A section name whose trail byte is "]" (ゾ, 0x83 0x5D) ends at its
    // own "]", not inside the character: written and read back.
    ASSERT_TRUE(ini.WriteString(Sjis("ゾーン"), Sjis("ゾ"), "w"));
    EXPECT_EQ(ini.GetString(Sjis("ゾーン"), Sjis("ゾ"), ""), "w");
    EXPECT_FALSE(ini.WriteString(Sjis("ゾ]"), "k", "w"));
    EXPECT_FALSE(ini.WriteString("a\x83", "k", "w")); // would swallow its "]"
}

TEST_F(ProfileTest, IntegersTakeLeadingDigits)
{
    WriteFile(file, "[S]\r\na=12px\r\nb=px\r\nc=\r\nd= 7 \r\ne=99999999999\r\nf=-3\r\n");
    EXPECT_EQ(ini.GetInt("S", "a", 5), 12);
    EXPECT_EQ(ini.GetInt("S", "b", 5), 0);
    EXPECT_EQ(ini.GetInt("S", "c", 5), 0);
    EXPECT_EQ(ini.GetInt("S", "d", 5), 7);
    EXPECT_EQ(ini.GetInt("S", "e", 5), INT_MAX);
    EXPECT_EQ(ini.GetInt("S", "f", 5), 0);
    EXPECT_EQ(ini.GetInt("S", "missing", 5), 5);
}

TEST_F(ProfileTest, WritesAppendKeysToTheirSectionAndSectionsToTheEnd)
{
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "PC"));
    ASSERT_TRUE(ini.WriteString("Mail Address", "docomo.ne.jp", "DoCoMo i-mode"));
    ASSERT_TRUE(ini.WriteString("Default", "Enable Width", "ON"));
    ASSERT_TRUE(ini.WriteString("default", "VENDER", "J-PHONE"));
    EXPECT_EQ(ReadFile(file), "[Default]\r\nVender=J-PHONE\r\nEnable Width=ON\r\n"
                              "[Mail Address]\r\ndocomo.ne.jp=DoCoMo i-mode\r\n");
}

TEST_F(ProfileTest, HandEditedFileIsReadAndRewrittenWithoutLoss)
{
    // A byte-order mark, LF-only lines, a key before any section, a line
    // with no "=", blank lines, duplicate keys, spaces around "=".
    std::string original = "\xEF\xBB\xBF" "orphan=1\n[Default]\nVender = PC \n; a note\n\n"
                           "Vender=second\njunk line\n\n[Other]\nx=\"quoted\"\n";
    WriteFile(file, original);
    EXPECT_EQ(ini.GetString("Default", "Vender", ""), "PC"); // the first one wins
    EXPECT_EQ(ini.GetString("Other", "x", ""), "quoted");
    ASSERT_TRUE(ini.WriteString("Default", "OE Start", "No"));
    EXPECT_EQ(ReadFile(file), "\xEF\xBB\xBF" "orphan=1\r\n[Default]\r\nVender = PC \r\n; a note\r\n\r\n"
                              "Vender=second\r\njunk line\r\nOE Start=No\r\n\r\n[Other]\r\nx=\"quoted\"\r\n");
}

TEST_F(ProfileTest, CP932ValuesKeepTheirBytes)
{
    std::string name = Sjis("ＭＳ ゴシック"), value = Sjis("表示\\ソ"); // 0x5C trail bytes
    ASSERT_TRUE(ini.WriteString("EUDC", name, value));
    EXPECT_EQ(ini.GetString("EUDC", name, ""), value);
}

TEST_F(ProfileTest, NoUsableFileReadsDefaultsAndRefusesWrites)
{
    ProfileFile none;
    EXPECT_EQ(none.GetString("Default", "Vender", "d"), "d");
    EXPECT_FALSE(none.WriteString("Default", "Vender", "PC"));
    ProfileFile missingFolder((home.Path() / "no/such/folder/x.ini").string());
    EXPECT_FALSE(missingFolder.WriteString("Default", "Vender", "PC"));
    ProfileFile creates((home.Path() / "made/on/demand/x.ini").string(), true);
    EXPECT_TRUE(creates.WriteString("Settings", "TegamiyaPos", "1"));
}

TEST_F(ProfileTest, FailedWriteLeavesTheFileWholeAndNoLitter)
{
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "PC"));
    std::string before = ReadFile(file);
    if (geteuid() != 0) {
        chmod(home.Path().c_str(), 0500); // the folder refuses new files
        EXPECT_FALSE(ini.WriteString("Default", "Vender", "J-PHONE"));
        chmod(home.Path().c_str(), 0700);
        EXPECT_EQ(ReadFile(file), before);
    }
    // A successful rewrite leaves only the file itself behind.
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "J-PHONE"));
    int entries = 0;
    for (auto &e : fs::directory_iterator(home.Path()))
        entries += e.path().filename() == "Tegamiya.ini" ? 1 : 100;
    EXPECT_EQ(entries, 1);
}

TEST_F(ProfileTest, APipeInPlaceOfTheFileNeitherHangsNorIsReplaced)
{
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(ini.GetString("Default", "Vender", "d"), "d");
    EXPECT_FALSE(ini.WriteString("Default", "Vender", "PC"));
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(ProfileTest, AtomicWriteRefusesADirectoryTarget)
{
    fs::create_directories(home.Path() / "dir.ini");
    EXPECT_FALSE(WriteFileAtomically((home.Path() / "dir.ini").string(), "x"));
    EXPECT_TRUE(fs::is_directory(home.Path() / "dir.ini"));
}

TEST_F(ProfileTest, ValueCutAtExactlyTheBufferSize)
{
    // {value length, buffer size, length read}: at, one below and one above
    // the buffer's size.
    const size_t cases[][3] = {{255, 256, 255}, {256, 256, 255}, {257, 256, 255},
                               {7, 8, 7},       {8, 8, 7},       {9, 8, 7},
                               {0, 1, 0},       {1, 1, 0},       {1, 2, 1}};
    for (const auto &c : cases) {
        std::string value(c[0], 'v');
        WriteFile(file, "[Default]\r\nMailTo1=" + value + "\r\n");
        EXPECT_EQ(ini.GetString("Default", "MailTo1", "", c[1]), value.substr(0, c[2]))
            << c[0] << " bytes into " << c[1];
    }
}

TEST_F(ProfileTest, EveryKindOfLineEndReads)
{
    // CR LF, LF, a lone CR, and a mixture; the rewrite keeps every line and
    // ends each with CR LF.
    for (std::string eol : {"\r\n", "\n", "\r"}) {
        WriteFile(file, "[Default]" + eol + "Vender=PC" + eol + "OE Start=No" + eol + "[Other]" + eol + "x=1");
        EXPECT_EQ(ini.GetString("Default", "Vender", ""), "PC") << int(eol.back());
        EXPECT_EQ(ini.GetString("Default", "OE Start", ""), "No");
        EXPECT_EQ(ini.GetKeys("Default"), (std::vector<std::string>{"Vender", "OE Start"}));
        ASSERT_TRUE(ini.WriteString("Default", "CloseOnSend", "Yes"));
        EXPECT_EQ(ReadFile(file), "[Default]\r\nVender=PC\r\nOE Start=No\r\nCloseOnSend=Yes\r\n[Other]\r\nx=1\r\n");
    }
    WriteFile(file, "[Default]\rVender=PC\n\r\nOE Start=No\r\r[S]\n");
    EXPECT_EQ(ini.GetString("Default", "OE Start", ""), "No");
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "J-PHONE"));
    EXPECT_EQ(ReadFile(file), "[Default]\r\nVender=J-PHONE\r\n\r\nOE Start=No\r\n\r\n[S]\r\n");
}

TEST_F(ProfileTest, LineBreaksInNamesOrValuesAreRefused)
{
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "PC"));
    std::string before = ReadFile(file);
    EXPECT_FALSE(ini.WriteString("Default", "MailTo1", "a@b.jp\r\n[Keitai Vender]\r\nPC=1"));
    EXPECT_FALSE(ini.WriteString("Default", "Mail\nTo1", "x"));
    EXPECT_FALSE(ini.WriteString("Def\rault", "MailTo1", "x"));
    // Names the file could not give back: a key with "=" or opening with
    // "[", a section with "]".
    EXPECT_FALSE(ini.WriteString("Display Width", "a=b@x.jp", "12"));
    EXPECT_FALSE(ini.WriteString("Display Width", "[a@x.jp", "12"));
    EXPECT_FALSE(ini.WriteString("Display]Width", "a@x.jp", "12"));
    EXPECT_FALSE(ini.WriteString("Default", "  ", "12"));
    // A group with one entry the file cannot hold writes none of them.
    EXPECT_FALSE(ini.WriteStrings({{"Default", "MailTo1", "new@x.jp"},
                                   {"Default", "MailTo2", "a\nb"},
                                   {"Default", "MailTo3", "c@x.jp"}}));
    EXPECT_EQ(ReadFile(file), before);
    // Blanks around a name are not part of it.
    ASSERT_TRUE(ini.WriteString(" Default\t", " Vender ", "J-PHONE"));
    EXPECT_EQ(ini.GetString("Default ", "Vender  ", ""), "J-PHONE");
    EXPECT_EQ(ReadFile(file), "[Default]\r\nVender=J-PHONE\r\n");
}

TEST_F(ProfileTest, ReadsSeeEveryChangeMadeBehindTheirBack)
{
    // A file read once is not parsed again while unchanged; a change of the
    // same size in the same second, or one whose times were put back, is
    // still seen.
    WriteFile(file, "[S]\r\nk=aaaa\r\n");
    EXPECT_EQ(ini.GetString("S", "k", ""), "aaaa");
    WriteFile(file, "[S]\r\nk=bbbb\r\n");
    EXPECT_EQ(ini.GetString("S", "k", ""), "bbbb");
    // An old file: read, then changed in place with its modification time
    // restored.
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    EXPECT_EQ(ini.GetString("S", "k", ""), "bbbb");
    EXPECT_EQ(ini.GetString("S", "k", ""), "bbbb");
    WriteFile(file, "[S]\r\nk=cccc\r\n");
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    EXPECT_EQ(ini.GetString("S", "k", ""), "cccc");
    // Another file under the same name.
    WriteFile(home.Path() / "other.ini", "[S]\r\nk=dddd\r\n");
    ASSERT_EQ(utimensat(AT_FDCWD, (home.Path() / "other.ini").c_str(), old, 0), 0);
    fs::rename(home.Path() / "other.ini", file);
    EXPECT_EQ(ini.GetString("S", "k", ""), "dddd");
    // Our own writes.
    ASSERT_TRUE(ini.WriteString("S", "k", "eeee"));
    EXPECT_EQ(ini.GetString("S", "k", ""), "eeee");
    fs::remove(file);
    EXPECT_EQ(ini.GetString("S", "k", "gone"), "gone");
}

TEST_F(ProfileTest, ALinkedSettingsFileStaysALink)
{
    // The settings file kept in a dotfiles folder and linked, relatively,
    // through a second link.
    fs::create_directories(home.Path() / "dotfiles");
    fs::path real = home.Path() / "dotfiles/tegamiya.ini";
    WriteFile(real, "[Default]\r\nVender=PC\r\n");
    chmod(real.c_str(), 0640);
    fs::create_symlink("dotfiles/tegamiya.ini", home.Path() / "middle.ini");
    fs::create_symlink("middle.ini", file);
    ASSERT_TRUE(ini.WriteString("Default", "OE Start", "No"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_TRUE(fs::is_symlink(home.Path() / "middle.ini"));
    EXPECT_EQ(fs::read_symlink(file), "middle.ini");
    EXPECT_EQ(ReadFile(real), "[Default]\r\nVender=PC\r\nOE Start=No\r\n");
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left beside the link or the target.
    for (auto dir : {home.Path(), home.Path() / "dotfiles"})
        for (auto &e : fs::directory_iterator(dir))
            EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    EXPECT_TRUE(ini.DeleteKey("Default", "Vender"));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(ReadFile(real), "[Default]\r\nOE Start=No\r\n");

    // A link to a file not made yet: the write makes the file.
    fs::path fresh = home.Path() / "fresh.ini";
    fs::create_symlink(home.Path() / "dotfiles/fresh.ini", fresh);
    ASSERT_TRUE(ProfileFile(fresh.string()).WriteString("S", "k", "v"));
    EXPECT_TRUE(fs::is_symlink(fresh));
    EXPECT_EQ(ReadFile(home.Path() / "dotfiles/fresh.ini"), "[S]\r\nk=v\r\n");

    // A loop of links is written nowhere.
    fs::create_symlink("loop-b.ini", home.Path() / "loop-a.ini");
    fs::create_symlink("loop-a.ini", home.Path() / "loop-b.ini");
    EXPECT_FALSE(ProfileFile((home.Path() / "loop-a.ini").string()).WriteString("S", "k", "v"));
    EXPECT_TRUE(fs::is_symlink(home.Path() / "loop-a.ini"));
}

// Flushes that fail for the folder only, or for the file only.
int g_failFolder = 0, g_failFile = 0;
int FailingFsync(int fd)
{
    struct stat st;
    fstat(fd, &st);
    int fail = S_ISDIR(st.st_mode) ? g_failFolder : g_failFile;
    if (fail) {
        errno = fail;
        return -1;
    }
    return fsync(fd);
}

struct FsyncFault {
    FsyncFault(int folder, int fileErr)
    {
        g_failFolder = folder;
        g_failFile = fileErr;
        old = profile_testing::SetFsync(FailingFsync);
    }
    ~FsyncFault() { profile_testing::SetFsync(old); }
    int (*old)(int);
};

TEST_F(ProfileTest, AFailedFlushIsAFailedWrite)
{
    ASSERT_TRUE(ini.WriteString("Default", "Vender", "PC"));
    std::string before = ReadFile(file);
    {
        // The file's own flush: nothing is replaced.
        FsyncFault fault(0, EIO);
        EXPECT_FALSE(ini.WriteString("Default", "Vender", "J-PHONE"));
        EXPECT_EQ(errno, EIO);
        EXPECT_EQ(ReadFile(file), before);
    }
    {
        // The folder's flush after the rename: the write is reported failed.
        FsyncFault fault(EIO, 0);
        EXPECT_FALSE(ini.WriteString("Default", "Vender", "J-PHONE"));
        EXPECT_EQ(errno, EIO);
        EXPECT_FALSE(WriteFileAtomically((home.Path() / "x").string(), "x"));
    }
    {
        // A group of keys fails as one: none of them lands.
        FsyncFault fault(0, EIO);
        EXPECT_FALSE(ini.WriteStrings({{"Default", "MailTo1", "a@x"}, {"Default", "MailTo2", "b@x"}}));
        EXPECT_EQ(ini.GetString("Default", "MailTo1", "<none>"), "<none>");
    }
    {
        // A file system that cannot flush folders at all.
        FsyncFault fault(EINVAL, 0);
        EXPECT_TRUE(ini.WriteString("Default", "Vender", "DoCoMo i-mode"));
    }
    EXPECT_EQ(ini.GetString("Default", "Vender", ""), "DoCoMo i-mode");
    int entries = 0;
    for (auto &e : fs::directory_iterator(home.Path()))
        entries += e.path().filename().string()[0] == '.' ? 100 : 1;
    EXPECT_EQ(entries, 2); // Tegamiya.ini and x
}

} // namespace
