// The program started with a mail link (as the desktop starts the mail-link
// handler): the form filled, the carrier chosen from the To address; a link
// that cannot be read gives its message and an empty, working form.
#include "form_fixture.h"

using namespace formtest;

TEST_F(Form, StartedWithAMailLink)
{
    app.SetCommandLineFile("mailto:taro@ezweb.ne.jp?cc=hanako@docomo.ne.jp,jiro@x.jp&bcc=me@x.jp"
                           "&subject=%E3%81%8A%E7%9F%A5%E3%82%89%E3%81%9B&body=%E6%98%8E%E6%97%A5%0D%0A10+%E6%99%82");
    Start();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(Ctl<wxComboBox>(1035)->GetValue().utf8_string(), "taro@ezweb.ne.jp");
    EXPECT_EQ(Field(1011), "hanako@docomo.ne.jp;jiro@x.jp");
    EXPECT_EQ(Field(1016), "me@x.jp");
    EXPECT_EQ(View()->SubjectField()->GetTextBytes(), Sjis("お知らせ"));
    EXPECT_EQ(View()->Body(), Sjis("明日\r\n10+時"));
    EXPECT_EQ(Field(1014), "5"); // 11 bytes of CP932, counted as the body changed
    EXPECT_EQ(Carrier(), "au");
    EXPECT_EQ(Ini("Default", "Enable Width"), "ON");

    // A malformed link: the message, nothing filled, the set-up goes on.
    app.SetCommandLineFile("mailto:taro@ezweb.ne.jp?subject=100%");
    fs::remove(IniPath());
    Restart();
    ASSERT_EQ(ui->boxes.size(), 1u);
    ExpectBox(0, BoxKind::Application,
              Sjis("メールのリンク (mailto:) を読み取れません。\n"
                   "リンクの書き方が正しくないか、読めない文字が含まれています。"),
              MB_OK | MB_ICONWARNING);
    EXPECT_EQ(Ctl<wxComboBox>(1035)->GetValue(), "");
    EXPECT_EQ(View()->SubjectField()->GetTextBytes(), "");
    EXPECT_EQ(View()->Body(), "");
    EXPECT_EQ(Carrier(), "DoCoMo i-mode");
    EXPECT_EQ(Ini("Default", "Enable Width"), "ON");

    // A file link to a text file is read as its path is.
    fs::path note = home.Path() / "a note.txt";
    testenv::WriteFile(note, "line\n");
    app.SetCommandLineFile("file://" + (home.Path() / "a%20note.txt").string());
    Restart();
    EXPECT_TRUE(ui->boxes.empty());
    EXPECT_EQ(View()->Body(), "line\r\n");
}
