// The pictograph font link: when the user is asked, what is written to the
// per-user record, and how reload failures are reported.
#include "app/cp932.h"
#include "app/emoji_font.h"
#include "app/profile.h"

#include "test_env.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>
#include <deque>

using testenv::Sjis;

namespace {

struct FakeEudc : EudcPlatform {
    std::vector<bool> calls;
    std::deque<bool> results; // empty: success
    bool EnableEUDC(bool enable) override
    {
        calls.push_back(enable);
        if (results.empty())
            return true;
        bool r = results.front();
        results.pop_front();
        return r;
    }
};

class FontLink : public ::testing::Test {
protected:
    testenv::TempHome home;
    testenv::ScriptUi ui;
    FakeEudc eudc;
    const std::string font = "/opt/tegamiya/Tegamiya.tte";

    ProfileFile Record() { return ProfileFile(EudcRecordPath(), true); }
    std::string Link() { return Record().GetString("EUDC", EudcFaceKey(), "<none>"); }
    std::string Question(const std::string &current)
    {
        return Sjis("絵文字を有効にするためにMSゴシックに割り当てられている\n外字フォント - ") + current +
               Sjis(" を   \n絵文字フォントで置き換えます。\n\n絵文字を使用しますか？ ");
    }
};

TEST_F(FontLink, NoLinkYetIsCreatedWithoutAskingAndReloaded)
{
    EXPECT_EQ(EudcRecordPath(), (home.Config() / "EUDC/932.ini").string());
    EXPECT_EQ(EudcFaceKey(), "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e");
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(Link(), font);
    EXPECT_EQ(eudc.calls, (std::vector<bool>{false, true}));
    // Other values of the record are left alone.
    Record().WriteString("EUDC", "Other Face", "/x.tte");
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    EXPECT_EQ(Record().GetString("EUDC", "Other Face", ""), "/x.tte");
}

TEST_F(FontLink, SameLinkOnlyReloads)
{
    Record().WriteString("EUDC", EudcFaceKey(), font);
    auto before = std::filesystem::last_write_time(EudcRecordPath());
    std::string bytes = testenv::ReadFile(EudcRecordPath());
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(testenv::ReadFile(EudcRecordPath()), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(EudcRecordPath()), before);
    EXPECT_EQ(eudc.calls.size(), 2u);
}

TEST_F(FontLink, AnotherLinkIsReplacedOnlyWhenTheUserAgrees)
{
    const std::string other = "/home/user/old/Tegamiya.tte";
    Record().WriteString("EUDC", EudcFaceKey(), other);

    ui->answers = {IDNO};
    EXPECT_FALSE(RegisterEmojiFontWith(font, eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Question(other));
    EXPECT_EQ(ui->boxes[0].caption, "Tegamiya");
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Japanese);
    EXPECT_EQ(ui->boxes[0].owner, nullptr);
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST));
    EXPECT_EQ(Link(), other);
    EXPECT_TRUE(eudc.calls.empty()); // not reloaded

    // Asked again on the next call; Yes replaces the link.
    ui->answers = {IDYES};
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    EXPECT_EQ(ui->boxes.size(), 2u);
    EXPECT_EQ(Link(), font);
    EXPECT_EQ(eudc.calls.size(), 2u);
}

TEST_F(FontLink, PathsDifferingOnlyInCaseAreDifferentLinks)
{
    Record().WriteString("EUDC", EudcFaceKey(), "/OPT/tegamiya/Tegamiya.tte");
    ui->answers = {IDYES};
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Question("/OPT/tegamiya/Tegamiya.tte"));
}

TEST_F(FontLink, AProgramInAnotherFolderAsksAboutThePreviousOne)
{
    EXPECT_TRUE(RegisterEmojiFontWith("/first/Tegamiya.tte", eudc));
    ui->answers = {IDYES};
    EXPECT_TRUE(RegisterEmojiFontWith("/second/Tegamiya.tte", eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Question("/first/Tegamiya.tte"));
    EXPECT_EQ(Link(), "/second/Tegamiya.tte");
}

TEST_F(FontLink, NonAsciiFolderIsStoredAsCp932)
{
    const std::string utf8 = "/home/田中/Tegamiya.tte";
    EXPECT_TRUE(RegisterEmojiFontWith(utf8, eudc));
    EXPECT_EQ(Link(), Sjis(utf8));
}

TEST_F(FontLink, ALinkTooLongToReadIsNeitherAskedAboutNorWritten)
{
    std::string longPath = "/" + std::string(300, 'x') + ".tte";
    Record().WriteString("EUDC", EudcFaceKey(), longPath);
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(Link(), longPath);
    EXPECT_EQ(eudc.calls.size(), 2u);
}

TEST_F(FontLink, LinksOfExactly255And256Bytes)
{
    // 255 bytes fit the 256-byte buffer with its terminator: read, asked
    // about, replaced. 256 bytes do not: left alone without a question.
    for (size_t size : {254u, 255u, 256u, 257u}) {
        std::string link = "/" + std::string(size - 5, 'x') + ".tte";
        ASSERT_EQ(link.size(), size);
        Record().WriteString("EUDC", EudcFaceKey(), link);
        ui->boxes.clear();
        eudc.calls.clear();
        ui->answers = {IDYES};
        EXPECT_TRUE(RegisterEmojiFontWith(font, eudc)) << size;
        if (size <= 255) {
            ASSERT_EQ(ui->boxes.size(), 1u) << size;
            EXPECT_EQ(ui->boxes[0].text, Question(link));
            EXPECT_EQ(Link(), font);
        } else {
            EXPECT_TRUE(ui->boxes.empty()) << size;
            EXPECT_EQ(Link(), link);
        }
        EXPECT_EQ(eudc.calls.size(), 2u);
    }
}

TEST_F(FontLink, RecordThatCannotBeOpenedStillLetsThePaletteOpen)
{
    // The configuration folder is a file: the record's folder cannot be made.
    testenv::WriteFile(home.Config(), "a file");
    EXPECT_TRUE(RegisterEmojiFontWith(font, eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Sjis("絵文字の登録に失敗しました。"));
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST));
    EXPECT_TRUE(eudc.calls.empty());
}

TEST_F(FontLink, WriteFailureShowsTheSystemsWordsAndGoesOn)
{
    // A file-size limit of 0 makes every write fail, even for root.
    std::filesystem::create_directories(home.Config() / "EUDC");
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit zero = old;
    zero.rlim_cur = 0;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &zero);
    bool result = RegisterEmojiFontWith(font, eudc);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(result);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, std::string(strerror(EFBIG)));
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Japanese);
    EXPECT_EQ(eudc.calls.size(), 2u);
}

TEST_F(FontLink, ReloadFailuresAreReported)
{
    eudc.results = {false};
    EXPECT_FALSE(RegisterEmojiFontWith(font, eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Sjis("絵文字の無効に失敗しました。"));
    EXPECT_EQ(eudc.calls.size(), 1u);

    eudc.results = {true, false};
    EXPECT_FALSE(RegisterEmojiFontWith(font, eudc));
    ASSERT_EQ(ui->boxes.size(), 2u);
    EXPECT_EQ(ui->boxes[1].text, Sjis("絵文字の登録に失敗しました。"));
}

// Installed under /opt/café/, the link was written as ".../caf?/Tegamiya.tte"
// and every start failed to load it: a path CP932 cannot write is linked
// through a symbolic link under the user's data folder.
TEST_F(FontLink, FolderCp932CannotWriteIsLinkedThroughTheDataFolder)
{
    namespace fs = std::filesystem;
    struct Case { const char *name; std::string folder; };
    for (const Case &c : {Case{"accent", "café"}, Case{"euro", "a€"}, Case{"not UTF-8", "caf\xE9"}}) {
        SCOPED_TRACE(c.name);
        fs::path fontFile = home.Path() / "opt" / c.folder / "Tegamiya.tte";
        testenv::WriteFile(fontFile, "font");
        ui->boxes.clear();
        fs::remove(EudcRecordPath());
        EXPECT_TRUE(RegisterEmojiFontWith(fontFile.string(), eudc));
        EXPECT_TRUE(ui->boxes.empty());
        // The record names a path in the data folder that leads to the font.
        std::string link = cp932::ToUtf8(Link());
        EXPECT_EQ(link.rfind((home.Path() / ".local/share/Tegamiya/fonts/").string(), 0), 0u) << link;
        EXPECT_EQ(Link(), Sjis(link));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_TRUE(fs::equivalent(link, fontFile));
        EXPECT_EQ(EmojiFontLinkPath(fontFile.string()), link);
        // The next start finds its link in place: no question.
        EXPECT_TRUE(RegisterEmojiFontWith(fontFile.string(), eudc));
        EXPECT_TRUE(ui->boxes.empty());
    }
    // Fonts of two such folders have links of their own: starting from the
    // other asks about the first, as with any other folder.
    std::string first = EmojiFontLinkPath((home.Path() / "opt/café/Tegamiya.tte").string());
    std::string second = EmojiFontLinkPath((home.Path() / "opt/a€/Tegamiya.tte").string());
    EXPECT_NE(first, second);
    ui->answers = {IDYES};
    EXPECT_TRUE(RegisterEmojiFontWith((home.Path() / "opt/café/Tegamiya.tte").string(), eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Question(Sjis(EmojiFontLinkPath((home.Path() / "opt/caf\xE9/Tegamiya.tte").string()))));
    // A link the user pointed elsewhere is put right.
    fs::remove(first);
    fs::create_symlink("/nowhere", first);
    EXPECT_EQ(EmojiFontLinkPath((home.Path() / "opt/café/Tegamiya.tte").string()), first);
    EXPECT_TRUE(fs::equivalent(first, home.Path() / "opt/café/Tegamiya.tte"));
    // Japanese folders keep their own path.
    EXPECT_EQ(EmojiFontLinkPath("/opt/写真/Tegamiya.tte"), "/opt/写真/Tegamiya.tte");
}

TEST_F(FontLink, NoDataFolderForTheLinkIsReported)
{
    testenv::WriteFile(home.Path() / ".local/share", "a file");
    EXPECT_EQ(EmojiFontLinkPath("/opt/café/Tegamiya.tte"), "");
    EXPECT_TRUE(RegisterEmojiFontWith("/opt/café/Tegamiya.tte", eudc));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Sjis("絵文字の登録に失敗しました。"));
    EXPECT_EQ(Link(), "<none>");
    EXPECT_TRUE(eudc.calls.empty());
}

} // namespace
