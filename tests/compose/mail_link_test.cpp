// Mail links and file links named on the command line, as plain functions.
#include "compose/mail_link.h"
#include "compose/text_file.h"
#include "test_env.h"

#include <gtest/gtest.h>

using testenv::Sjis;

TEST(MailLink, FieldsFromLinks)
{
    const std::string limit(kMaxBodyFileBytes, 'a');
    const std::string one = "\xE3\x81\x82"; // あ, three bytes of UTF-8
    const struct {
        const char *what;
        std::string link;
        std::optional<MailLinkFields> want; // nullopt: the link is refused
    } cases[] = {
        {"addresses and every field", "mailto:taro@docomo.ne.jp?cc=a@x.jp&bcc=b@y.jp&subject=Hi&body=Yo",
         MailLinkFields{"taro@docomo.ne.jp", "a@x.jp", "b@y.jp", "Hi", "Yo"}},
        {"percent escapes of UTF-8, in either case", "mailto:%74aro@x.jp?subject=%E6%BC%A2%e5%ad%97&body=a%20b",
         MailLinkFields{"taro@x.jp", "", "", Sjis("漢字"), "a b"}},
        {"+ stays +, = inside a value stays", "mailto:a+b@x.jp?subject=1+1=2",
         MailLinkFields{"a+b@x.jp", "", "", "1+1=2", ""}},
        {"repeated address fields add up, the first subject and body count",
         "mailto:a@x.jp,%20b@x.jp?to=c@x.jp&cc=d@x.jp&CC=e@x.jp&subject=one&Subject=two&body=1&body=2",
         MailLinkFields{"a@x.jp;b@x.jp;c@x.jp", "d@x.jp;e@x.jp", "", "one", "1"}},
        {"unknown fields, fields without a value and a fragment are ignored",
         "mailto:a@x.jp?in-reply-to=%3Cm@x%3E&x-foo&&subject=s#frag&body=no",
         MailLinkFields{"a@x.jp", "", "", "s", ""}},
        {"an empty address and an empty link", "mailto:?cc=,%20,&subject=", MailLinkFields{}},
        {"the scheme in any case", "MailTo:a@x.jp", MailLinkFields{"a@x.jp", "", "", "", ""}},
        {"characters CP932 lacks as typed: a wave dash maps, an accent is ?",
         "mailto:caf%C3%A9@x.jp?subject=%E3%80%9C&body=%F0%9F%98%80",
         MailLinkFields{"caf?@x.jp", "", "", "\x81\x60", "?"}},
        {"line breaks: the body's become CR LF, the subject keeps its first line",
         "mailto:?subject=a%0D%0Ab&body=1%0A2%0D%0A3", MailLinkFields{"", "", "", "a", "1\r\n2\r\n3"}},
        {"a malformed escape", "mailto:a@x.jp?body=100%", std::nullopt},
        {"an escape without hexadecimal digits", "mailto:a@x.jp?subject=%zz", std::nullopt},
        {"one hexadecimal digit at the end", "mailto:a%4", std::nullopt},
        {"bytes that are not UTF-8", "mailto:a@x.jp?subject=%82%A0", std::nullopt},
        {"a NUL byte", "mailto:a@x.jp?body=a%00b", std::nullopt},
        {"a line break inside an address", "mailto:a@x.jp%0D%0ABcc:c@x.jp", std::nullopt},
        {"not a mail link", "http://x.jp/", std::nullopt},
        // The body's limit is the text file's, in decoded bytes: at, one
        // below and one above it; a character the limit cuts is dropped.
        {"a body at the limit", "mailto:?body=" + limit, MailLinkFields{"", "", "", "", limit}},
        {"a body one byte below the limit", "mailto:?body=" + limit.substr(1),
         MailLinkFields{"", "", "", "", limit.substr(1)}},
        {"a body one byte above the limit", "mailto:?body=" + limit + "b", MailLinkFields{"", "", "", "", limit}},
        {"a body whose escapes decode to the limit", "mailto:?body=%41" + limit.substr(1),
         MailLinkFields{"", "", "", "", "A" + limit.substr(1)}},
        {"a character ending at the limit is kept", "mailto:?body=" + limit.substr(3) + one,
         MailLinkFields{"", "", "", "", limit.substr(3) + "\x82\xA0"}},
        {"a character the limit cuts is dropped", "mailto:?body=" + limit.substr(2) + one,
         MailLinkFields{"", "", "", "", limit.substr(2)}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParseMailLink(c.link), c.want);
        EXPECT_EQ(IsMailLink(c.link), c.link.rfind("http", 0) != 0);
    }

    // File links: local paths, percent-decoded; anything else is no file link.
    EXPECT_EQ(PathFromFileLink("file:///home/t/%E6%97%A5%20a.txt"), "/home/t/\xE6\x97\xA5 a.txt");
    EXPECT_EQ(PathFromFileLink("file://localhost/tmp/a.jpg"), "/tmp/a.jpg");
    EXPECT_EQ(PathFromFileLink("file://host/tmp/a.jpg"), std::nullopt);
    EXPECT_EQ(PathFromFileLink("file:///tmp/%zz.txt"), std::nullopt);
    EXPECT_EQ(PathFromFileLink("/tmp/a.txt"), std::nullopt);
}
