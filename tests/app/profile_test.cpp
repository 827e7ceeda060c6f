#include "app/profile.h"

#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

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

TEST_F(ProfileTest, AtomicWriteRefusesADirectoryTarget)
{
    fs::create_directories(home.Path() / "dir.ini");
    EXPECT_FALSE(WriteFileAtomically((home.Path() / "dir.ini").string(), "x"));
    EXPECT_TRUE(fs::is_directory(home.Path() / "dir.ini"));
}

} // namespace
