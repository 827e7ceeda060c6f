// Pictographs per recipient: the table made from EmojiSources.txt against
// the file itself and ICU, the three forms read back by Python's email
// package, the profile's [pictographs] rules, and the mails one call splits
// into.
#include "test_support.h"

#include "account.h"
#include "charset.h"
#include "emoji/emoji_table.h"
#include "envelope.h"
#include "mail_list.h"
#include "maildir.h"
#include "message_builder.h"
#include "pictographs.h"
#include "profile.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <set>

using namespace mailsys_test;
using mailsys::PictographForm;

namespace {

std::string Utf8(char32_t c)
{
    std::string out;
    icu::UnicodeString(UChar32(c)).toUTF8String(out);
    return out;
}

// EmojiSources.txt read here on its own: docomo code -> code points.
std::map<unsigned, std::vector<char32_t>> DocomoSources()
{
    std::map<unsigned, std::vector<char32_t>> out;
    std::istringstream in(ReadText("/usr/share/unicode/EmojiSources.txt"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        size_t semi = line.find(';'), next = line.find(';', semi + 1);
        std::string docomo = line.substr(semi + 1, next - semi - 1);
        if (docomo.empty())
            continue;
        std::istringstream cps(line.substr(0, semi));
        for (std::string cp; cps >> cp;)
            out[std::stoul(docomo, nullptr, 16)].push_back(char32_t(std::stoul(cp, nullptr, 16)));
    }
    return out;
}

// Every catalogue code in each form: docomo gives the input bytes; unicode
// the code points EmojiSources.txt gives, with U+FE0F after the first where
// ICU says its default presentation is text; the codes without a source
// their names in 〔〕, in both the unicode and the text form.
TEST(PictographTable, EveryCodeInEveryForm)
{
    const auto sources = DocomoSources();
    ASSERT_EQ(mailsys::PictographTable().size(), size_t(kEmojiCount));
    std::vector<int> unmapped;
    for (const EmojiInfo &e : g_emojiTable) {
        SCOPED_TRACE("pictograph " + std::to_string(e.index));
        const std::string code = e.code.text();
        const std::string name = e.name;
        std::string unicode;
        if (auto it = sources.find(e.code.value()); it != sources.end()) {
            for (size_t i = 0; i < it->second.size(); ++i) {
                unicode += Utf8(it->second[i]);
                if (i == 0 && !u_hasBinaryProperty(UChar32(it->second[0]), UCHAR_EMOJI_PRESENTATION))
                    unicode += "\xEF\xB8\x8F";
            }
        } else {
            unmapped.push_back(e.index);
            unicode = "\xE3\x80\x94" + mailsys::CharsetToUtf8(name, "CP932") + "\xE3\x80\x95";
        }
        EXPECT_EQ(mailsys::ConvertCp932(code, PictographForm::Docomo), code);
        EXPECT_EQ(Hex(mailsys::ConvertCp932(code, PictographForm::Unicode)), Hex(unicode));
        EXPECT_EQ(mailsys::ConvertCp932(code, PictographForm::Text), "\x81\x6B" + name + "\x81\x6C");
        // An attachment's name reaches the library as UTF-8 with the
        // private-use character: the same replacement.
        const std::string pua = Utf8(EmojiPrivateUse(e.code));
        EXPECT_EQ(Hex(mailsys::ConvertUtf8(pua, PictographForm::Unicode)), Hex(unicode));
        EXPECT_EQ(mailsys::ConvertUtf8(pua, PictographForm::Docomo), pua);
    }
    EXPECT_EQ(unmapped, (std::vector<int>{118, 119, 121, 122, 132, 134, 177, 178}));
    // The first pictograph, U+2600 with its selector (so ICU was asked); a
    // keycap's selector stands before U+20E3.
    EXPECT_EQ(mailsys::ConvertCp932("\xF8\x9F", PictographForm::Unicode), "\xE2\x98\x80\xEF\xB8\x8F");
    EXPECT_EQ(mailsys::ConvertCp932("\xF9\x85", PictographForm::Unicode), "#\xEF\xB8\x8F\xE2\x83\xA3");
    // Codes beside the catalogue's stay what CP932 makes of them.
    EXPECT_EQ(mailsys::FindPictograph(0xF89E), nullptr);
    EXPECT_EQ(mailsys::FindPictograph(0xF9FD), nullptr);
    EXPECT_EQ(mailsys::ConvertCp932("\xF8\x9E", PictographForm::Text), "\xF8\x9E");
    EXPECT_EQ(mailsys::ConvertCp932("\xF8\x9E", PictographForm::Unicode), Utf8(0xE63D));
}

// A body of kanji, half-width kana and pictographs (one with no Unicode
// source, a keycap) built in each form and read back by Python's email
// package: charset, body bytes, subject words and the attachment's name.
TEST(PictographForms, MixedTextReadBackByPython)
{
    TempHome home;
    const std::string kanji = Cp932("漢字"), kana = "\xB6\xC5";  // ｶﾅ
    const std::string body = kanji + "\xF8\x9F" + kana + "\xF9\x75\r\n\xF9\x85" + Cp932("終");
    const std::string subject = Cp932("件名") + "\xF8\x9F";
    const std::string sun = "\xE2\x98\x80\xEF\xB8\x8F";  // U+2600 U+FE0F
    struct Case {
        PictographForm form;
        const char *charset;  // of the body, the subject's and the name's words
        std::string body, subject, name, sun;  // name: as the RFC 2231 form gives it, UTF-8
    } cases[] = {
        {PictographForm::Docomo, "shift_jis", body, subject, "\xE5\x86\x99\xEE\x98\xBE.jpg", "\xEE\x98\xBE"},
        {PictographForm::Unicode, "utf-8",
         "漢字" + sun + "\xEF\xBD\xB6\xEF\xBE\x85〔iモード〕\r\n#\xEF\xB8\x8F\xE2\x83\xA3終", "件名" + sun,
         "写" + sun + ".jpg", sun},
        {PictographForm::Text, "shift_jis", kanji + Cp932("〔晴れ〕") + kana + Cp932("〔iモード〕\r\n〔シャープダイヤル〕終"),
         Cp932("件名〔晴れ〕"), "写〔晴れ〕.jpg", "〔晴れ〕"},
    };
    std::vector<std::string> files;
    for (const Case &c : cases) {
        mailsys::OutgoingMail mail;
        mail.from = {"", "taro@example.jp"};
        mail.to = {{"", "a@example.com"}};
        mail.subject = subject;
        mail.body = body;
        mail.form = c.form;
        mail.attachments.push_back({"\xE5\x86\x99\xEE\x98\xBE.jpg", "\xFF\xD8\xFF data", "image/jpeg"});  // 写 + F89F
        files.push_back(home.root + "/" + mailsys::FormWord(c.form) + ".eml");
        WriteText(files.back(), mailsys::BuildMessage(mail, 1800000000, "id@example.jp"));
    }
    auto mails = ReadMails(files);
    ASSERT_EQ(mails.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(mailsys::FormWord(c.form));
        auto &m = mails[i];
        EXPECT_EQ(m["defects"], "0");
        EXPECT_EQ(m["body_charset"], c.charset);
        EXPECT_EQ(m["body_hex"], Hex(c.body));
        EXPECT_EQ(m["subject_hex"], Hex(c.subject));
        EXPECT_EQ(m["subject_charsets"], c.charset);
        EXPECT_EQ(m["att0_ctname_charsets"], c.charset);
        EXPECT_EQ(m["att0_name_hex"], Hex(c.name));
        // The outbox window's reader: the text as the recipient sees it.
        std::string path;
        ASSERT_EQ(mailsys::DeliverToMaildir(home.outbox, ReadText(files[i]), &path), 0);
        std::string text = mailsys::MailText(path);
        EXPECT_NE(text.find("\n\n漢字" + c.sun), std::string::npos) << text;
    }
    // The outbox window's rows: each mail's form.
    std::multiset<std::string> forms;
    for (const auto &r : mailsys::ListMaildir(home.outbox))
        forms.insert(r.form);
    EXPECT_EQ(forms, (std::multiset<std::string>{"docomo", "text", "unicode"}));
    // Only the docomo mail is written as before: no delivery line.
    EXPECT_EQ(ReadText(files[0]).rfind("X-Tegamiya-", 0), std::string::npos);
    EXPECT_EQ(ReadText(files[1]).rfind("X-Tegamiya-Pictographs: unicode\n", 0), 0u);
}

// Domain patterns as the carrier table reads them, and the "*" line as the
// form of every other domain wherever it stands.
TEST(PictographRules, PatternsAtTheirEdges)
{
    using R = std::vector<mailsys::PictographRule>;
    const R rules = {{"docomo.ne.jp", PictographForm::Docomo},
                     {"*", PictographForm::Text},
                     {"*.vodafone.ne.jp", PictographForm::Docomo},
                     {"jp-*.ne.jp", PictographForm::Unicode},
                     {"ezweb.ne.jp", PictographForm::Text}};
    struct Case {
        const char *address;
        PictographForm form;
    } cases[] = {
        {"a@docomo.ne.jp", PictographForm::Docomo},
        {"a@DoCoMo.NE.JP", PictographForm::Docomo},
        {"a@x.docomo.ne.jp", PictographForm::Text},     // a plain domain is that domain only
        {"a@docomo.ne.jp.x", PictographForm::Text},
        {"a@t.vodafone.ne.jp", PictographForm::Docomo},  // "*." takes one name
        {"a@vodafone.ne.jp", PictographForm::Text},      // ... not none
        {"a@a.b.vodafone.ne.jp", PictographForm::Text},  // ... nor two
        {"a@jp-d.ne.jp", PictographForm::Unicode},       // the region letter
        {"a@jp-.ne.jp", PictographForm::Text},           // "*" takes one or more
        {"a@jp-dk.ne.jp", PictographForm::Unicode},
        {"a@ezweb.ne.jp", PictographForm::Text},
        {"a@gmail.com", PictographForm::Text},           // "*" alone: every other domain
        {"no-at-sign", PictographForm::Text},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mailsys::FormForAddress(rules, c.address), c.form) << c.address;
    // Without a "*" line every other domain gets Unicode emoji; the defaults
    // keep docomo's codes for docomo.ne.jp only.
    EXPECT_EQ(mailsys::FormForAddress(R{{"docomo.ne.jp", PictographForm::Docomo}}, "a@b.jp"), PictographForm::Unicode);
    EXPECT_EQ(mailsys::FormForAddress(mailsys::DefaultPictographRules(), "a@docomo.ne.jp"), PictographForm::Docomo);
    EXPECT_EQ(mailsys::FormForAddress(mailsys::DefaultPictographRules(), "a@ezweb.ne.jp"), PictographForm::Unicode);
    EXPECT_FALSE(mailsys::DomainPatternMatches("", ""));
    EXPECT_TRUE(mailsys::DomainPatternMatches("*-*.jp", "a-b.jp"));
    EXPECT_FALSE(mailsys::DomainPatternMatches("*-*.jp", "-b.jp"));
}

// The section in profile.conf: written with the defaults, read back, kept
// apart from the other sections' keys; unknown forms refused with the line.
TEST(PictographProfile, SectionReadWrittenAndRefused)
{
    TempHome home(false);
    const std::string head = "name = Taro\naddress = taro@example.jp\n";
    struct Case {
        std::string text;
        mailsys::ProfileLoad load;
        std::string rules;  // "pattern=form;..." as read
        std::string error;  // the start of the message after the path
        int port = 587;     // the [account] key after the section still read
    } cases[] = {
        {head, mailsys::ProfileLoad::Ok, "docomo.ne.jp=docomo;*=unicode;", ""},
        {head + "[pictographs]\nezweb.ne.jp = TEXT\n*.jp=docomo\n[account]\nsmtp_port = 25\n",
         mailsys::ProfileLoad::Ok, "ezweb.ne.jp=text;*.jp=docomo;", "", 25},
        {head + "[pictographs]\n", mailsys::ProfileLoad::Ok, "", ""},
        {head + "[pictographs]\n# comment\nezweb.ne.jp = emoji\n", mailsys::ProfileLoad::Refused, "",
         ":5: [pictographs] \"ezweb.ne.jp = emoji\""},
        {head + "[pictographs]\nezweb.ne.jp\n", mailsys::ProfileLoad::Refused, "", ":4: "},
        {head + "[pictographs]\n= text\n", mailsys::ProfileLoad::Refused, "", ":4: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        home.WriteProfile(c.text);
        mailsys::Profile p;
        std::string error;
        ASSERT_EQ(mailsys::LoadProfile(&p, &error), c.load);
        if (c.load == mailsys::ProfileLoad::Refused) {
            EXPECT_EQ(error.rfind(mailsys::ProfilePath() + c.error, 0), 0u) << error;
            continue;
        }
        std::string rules;
        for (const auto &r : p.pictographs)
            rules += r.pattern + "=" + mailsys::FormWord(r.form) + ";";
        EXPECT_EQ(rules, c.rules);
        EXPECT_EQ(p.account.port, c.port);
    }
    // Written: the defaults with their comments, read back alike.
    mailsys::Profile fresh = mailsys::DefaultProfile();
    fresh.sender_address = "taro@example.jp";
    ASSERT_TRUE(mailsys::SaveProfile(fresh));
    std::string text = ReadText(mailsys::ProfilePath());
    EXPECT_NE(text.find("\n[pictographs]\n# "), std::string::npos) << text;
    EXPECT_NE(text.find("\ndocomo.ne.jp = docomo\n* = unicode\n"), std::string::npos) << text;
    mailsys::Profile p;
    ASSERT_EQ(mailsys::LoadProfile(&p), mailsys::ProfileLoad::Ok);
    EXPECT_EQ(p.pictographs.size(), 2u);
}

// One call to a docomo, an au and a PC address becomes one mail per form,
// each with every To and Cc and only its own recipients in its envelope;
// recipients of one form stay one mail without an envelope of its own.
TEST(PictographSplit, OneMailPerFormWithItsEnvelope)
{
    mailsys::OutgoingMail mail;
    mail.from = {"", "taro@example.jp"};
    mail.to = {{"", "d@docomo.ne.jp"}, {"", "p@example.com"}};
    mail.cc = {{"", "au@ezweb.ne.jp"}};
    mail.bcc = {{"", "g@gmail.com"}, {"", "d@docomo.ne.jp"}};
    const std::vector<mailsys::PictographRule> rules = {{"docomo.ne.jp", PictographForm::Docomo},
                                                        {"ezweb.ne.jp", PictographForm::Text}};
    auto mails = mailsys::SplitByForm(mail, rules);
    ASSERT_EQ(mails.size(), 3u);
    const std::vector<std::vector<std::string>> envelopes = {
        {"d@docomo.ne.jp"}, {"p@example.com", "g@gmail.com"}, {"au@ezweb.ne.jp"}};
    const PictographForm forms[] = {PictographForm::Docomo, PictographForm::Unicode, PictographForm::Text};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(mails[i].form, forms[i]);
        EXPECT_EQ(mails[i].envelope, envelopes[i]);
        EXPECT_EQ(mails[i].to.size(), 2u);
        EXPECT_EQ(mails[i].cc.size(), 1u);
        EXPECT_TRUE(mails[i].bcc.empty());
        // The delivery lines come back from the written file; no Bcc line.
        std::string text = mailsys::BuildMessage(mails[i], 1800000000, "id@example.jp");
        auto q = mailsys::ParseDeliveryHeaders(text);
        EXPECT_FALSE(q.damaged);
        EXPECT_EQ(q.form, forms[i]);
        EXPECT_EQ(q.envelope, envelopes[i]);
        EXPECT_EQ(text.compare(size_t(q.body_offset), 5, "Date:"), 0) << text;
        EXPECT_EQ(text.find("\nBcc:"), std::string::npos);
    }
    // One form: the mail as it was, Bcc line kept for the hand-off to drop.
    mail.to.pop_back();
    mail.cc.clear();
    mail.bcc = {{"", "d2@docomo.ne.jp"}};
    mails = mailsys::SplitByForm(mail, rules);
    ASSERT_EQ(mails.size(), 1u);
    std::string text = mailsys::BuildMessage(mails[0], 1800000000, "id@example.jp");
    EXPECT_EQ(text, mailsys::BuildMessage(mail, 1800000000, "id@example.jp"));
    EXPECT_EQ(mailsys::ParseDeliveryHeaders(text).body_offset, 0);

    // Lines of ours that cannot be read stop the hand-off; a mail that
    // starts with other headers is not ours to cut.
    EXPECT_TRUE(mailsys::ParseDeliveryHeaders("X-Tegamiya-Pictographs: emoji\nFrom: a@b\n").damaged);
    EXPECT_TRUE(mailsys::ParseDeliveryHeaders("X-Tegamiya-Envelope-To: a@b,\n x y\nFrom: a@b\n").damaged);
    auto folded = mailsys::ParseDeliveryHeaders("X-Tegamiya-Envelope-To: a@b,\n c@d\nFrom: a@b\n");
    EXPECT_EQ(folded.envelope, (std::vector<std::string>{"a@b", "c@d"}));
    EXPECT_EQ(folded.body_offset, 34);
    EXPECT_EQ(mailsys::ParseDeliveryHeaders("From: a@b\nX-Tegamiya-Pictographs: text\n").body_offset, 0);

    // The hand-off names the envelope's recipients in place of -t.
    mailsys::Profile p;
    p.send_command = "msmtp -t --host=h";
    EXPECT_EQ(mailsys::HandOffCommand(p, "", false, {"a@b", "c@d"}), "msmtp --host=h 'a@b' 'c@d'");
    EXPECT_EQ(mailsys::HandOffCommand(p, "", false), "msmtp -t --host=h");
    p.send_command.clear();
    p.account.server = "127.0.0.1";
    p.account.security = mailsys::SmtpSecurity::None;
    EXPECT_EQ(mailsys::HandOffCommand(p, "/c", true, {"a@b"}), "msmtp -C '/c' --passwordeval='cat <&3' -- 'a@b'");
}

}  // namespace
