// The address book's vCard reader on awkward real-world files, lookups by
// name, address parsing, and the subject's encoded words.
#include "address_book.h"
#include "cp932/cp932.h"
#include "message_builder.h"
#include "recipients.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

using namespace mailsys;

namespace {

std::vector<Contact> Parse(const std::string &s) { return ParseVCards(s); }

TEST(VCard, FoldingEscapesAndLineEnds)
{
    auto c = Parse("\xEF\xBB\xBF"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Doe\\, John\r\n  Junior\r\n"
                   "NOTE:a\\nb\\;c\r\nEMAIL;TYPE=INTERNET:jo\r\n\thn@example.com\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\nVERSION:4.0\nFN:Unix Lines\nEMAIL:u@example.com\nEND:VCARD\n"
                   "BEGIN:VCARD\rVERSION:3.0\rFN:Old Mac\rEMAIL:m@example.com\rEND:VCARD\r");
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].display_name, "Doe, John Junior");
    EXPECT_EQ(c[0].emails, std::vector<std::string>{"john@example.com"});
    EXPECT_EQ(c[1].display_name, "Unix Lines");
    EXPECT_EQ(c[2].emails, std::vector<std::string>{"m@example.com"});
}

TEST(VCard, QuotedPrintableAndCharsets)
{
    // vCard 2.1 as phones export it: Shift_JIS in quoted-printable with a
    // soft line break, an ISO-8859-1 name, and raw Shift_JIS without a label.
    auto c = Parse("BEGIN:VCARD\r\nVERSION:2.1\r\n"
                   "FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=52=93=63=20=91=BE=\r\n"
                   "=98=59\r\nEMAIL;INTERNET;PREF:yamada@example.jp\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:M=FCller\r\n"
                   "EMAIL:m@example.de\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\x97\xE9\x96\xD8\r\nEMAIL:s@example.jp\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bad \xFF\xFE bytes\r\nEMAIL:b@example.jp\r\nEND:VCARD\r\n");
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].display_name, "山田 太郎");
    EXPECT_EQ(c[1].display_name, "Müller");
    EXPECT_EQ(c[2].display_name, "鈴木");
    EXPECT_EQ(c[3].display_name.find("Bad "), 0u);  // decoded tolerantly, not dropped
}

TEST(VCard, PreferredAddressComesFirst)
{
    auto c = Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEMAIL;TYPE=HOME:home@a.jp\r\n"
                   "EMAIL;TYPE=INTERNET;TYPE=pref:pref@a.jp\r\nEMAIL:HOME@a.jp\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:B\r\nEMAIL;PREF=50:fifty@b.jp\r\nEMAIL:none@b.jp\r\n"
                   "item1.EMAIL;PREF=1:one@b.jp\r\nEMAIL;TYPE=\"work,voice\";PREF=2:mailto:two@b.jp\r\n"
                   "EMAIL:one@b.jp\r\nEMAIL:Bee <bee@b.jp>\r\nEND:VCARD\r\n");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].emails, (std::vector<std::string>{"pref@a.jp", "home@a.jp", "HOME@a.jp"}));
    EXPECT_EQ(c[1].emails, (std::vector<std::string>{"one@b.jp", "two@b.jp", "fifty@b.jp", "none@b.jp", "bee@b.jp"}));
}

TEST(VCard, NamesFromOtherFieldsAndJunk)
{
    auto c = Parse("garbage before\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:Suzuki;Hanako;;;\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nORG:ACME\\; Inc.;Sales\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nEMAIL:only@example.com\r\nno colon here\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nTEL:123\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Secretary\r\n"
                   "EMAIL:sec@example.com\r\nEND:VCARD\r\nEMAIL:boss@example.com\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nFN:Cut off\r\n");
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].display_name, "Hanako Suzuki");
    EXPECT_EQ(c[1].display_name, "ACME; Inc.");
    EXPECT_EQ(c[2].display_name, "only@example.com");
    EXPECT_EQ(c[3].display_name, "Boss");  // the nested card is not a contact
    EXPECT_EQ(c[3].emails, std::vector<std::string>{"boss@example.com"});
}

TEST(AddressBookGroups, BothGroupStylesExpand)
{
    AddressBook book;
    for (auto &c : Parse("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:a1\r\nFN:Ann\r\nEMAIL:ann@x.jp\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:b2\r\nFN:Bob\r\nEMAIL:bob@x.jp\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nUID:g1\r\nFN:Team\r\n"
                         "MEMBER:urn:uuid:a1\r\nMEMBER:mailto:ext@y.jp\r\nMEMBER:urn:uuid:g2\r\n"
                         "MEMBER:urn:uuid:unknown\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nX-ADDRESSBOOKSERVER-KIND:group\r\nUID:g2\r\nFN:List\r\n"
                         "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:b2\r\nX-ADDRESSBOOKSERVER-MEMBER:urn:uuid:g1\r\n"
                         "END:VCARD\r\n"))
        book.Add(std::move(c));
    auto team = book.FindByName("team");
    ASSERT_EQ(team.size(), 1u);
    EXPECT_TRUE(team[0]->is_group);
    // Nested groups expand, a cycle stops, unknown members are skipped.
    EXPECT_EQ(book.GroupAddresses(*team[0]), (std::vector<std::string>{"ann@x.jp", "ext@y.jp", "bob@x.jp"}));
    auto list = book.FindByName("LIST");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(book.GroupAddresses(*list[0]), (std::vector<std::string>{"bob@x.jp", "ann@x.jp", "ext@y.jp"}));
}

TEST(AddressBookLoad, FolderOfCardsAndWidthInsensitiveNames)
{
    char tmpl[] = "/tmp/mailsys-book-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    mkdir((dir + "/personal").c_str(), 0700);
    std::ofstream(dir + "/a.vcf") << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:TARO Yamada\r\nEMAIL:t@x.jp\r\nEND:VCARD\r\n";
    std::ofstream(dir + "/personal/b.VCF") << "BEGIN:VCARD\nVERSION:4.0\nFN:Bob\nEMAIL:b@x.jp\nEND:VCARD\n";
    std::string utf16 = "\xFF\xFE";  // UTF-16LE with its byte order mark
    for (char c : std::string("BEGIN:VCARD\r\nFN:Win\r\nEMAIL:w@x.jp\r\nEND:VCARD\r\n"))
        utf16 += {c, '\0'};
    std::ofstream(dir + "/utf16.vcf") << utf16;
    std::ofstream(dir + "/notes.txt") << "BEGIN:VCARD\nFN:Not Read\nEMAIL:n@x.jp\nEND:VCARD\n";
    AddressBook book;
    book.Load(dir);
    EXPECT_EQ(book.Contacts().size(), 3u);
    EXPECT_EQ(book.FindByName("win").size(), 1u);
    EXPECT_EQ(book.FindByName("  ＴＡＲＯ　yamada ").size(), 1u);  // full-width letters and blank
    EXPECT_EQ(book.FindByName("bob").size(), 1u);
    EXPECT_TRUE(book.FindByName("Not Read").empty());
    book.Load(dir + "/missing");
    EXPECT_TRUE(book.Contacts().empty());
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

// A long folded line is joined whole, also when its first physical line
// has no colon yet (the name folded), and quoted-printable soft breaks
// found after the fold still join.
TEST(VCard, LongFoldedLines)
{
    std::string note(20000, 'x');
    std::string folded;
    for (size_t i = 0; i < note.size(); i += 70)
        folded += " " + note.substr(i, 70) + "\r\n";
    auto c = Parse("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEMAIL:a@x.jp\r\nNOTE:\r\n" + folded +
                   "EM\r\n AIL:b@x.jp\r\n"
                   "X-LONG\r\n" + folded + "FN;ENCODING=QUOTED-PRINTABLE\r\n :=41=\r\n=42\r\n"
                   "END:VCARD\r\n");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].emails, (std::vector<std::string>{"a@x.jp", "b@x.jp"}));
    EXPECT_EQ(c[0].display_name, "A");
    auto q = Parse("BEGIN:VCARD\r\nFN;ENCODING=QUOTED\r\n -PRINTABLE:=41=\r\n=42\r\nEND:VCARD\r\n");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].display_name, "AB");
}

// The book's names and addresses are normalised once per loaded book, not
// once per lookup or per keystroke of a search.
TEST(AddressBookLookups, NamesAreNormalisedOncePerBook)
{
    AddressBook book;
    const size_t contacts = 300;
    for (size_t i = 0; i < contacts; ++i) {
        Contact c;
        c.display_name = "Person " + std::to_string(i);
        c.emails = {"p" + std::to_string(i) + "@example.jp"};
        book.Add(c);
    }
    size_t before = NameKeysMade();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(book.FindByName("person 7").size(), 1u);
    for (const char *typed : {"p", "pe", "per", "pers", "perso", "person", "person 1", "p12@"})
        book.Search(typed);
    // 600 for the book, one per lookup and per search text.
    EXPECT_LE(NameKeysMade() - before, 2 * contacts + 100 + 8);

    EXPECT_EQ(book.Search("ＰＥＲＳＯＮ 299").size(), 1u);   // width and case ignored
    EXPECT_EQ(book.Search("person 1").size(), 111u);          // 1, 10-19, 100-199
    EXPECT_EQ(book.Search("@EXAMPLE.jp").size(), contacts);  // addresses too
    EXPECT_EQ(book.Search("").size(), contacts);
    EXPECT_TRUE(book.Search("nobody").empty());
    // A contact added later is found: the forms are made again.
    Contact late;
    late.display_name = "Late Comer";
    book.Add(late);
    EXPECT_EQ(book.FindByName("late comer").size(), 1u);
    EXPECT_EQ(book.Search("late").size(), 1u);
    // Groups find members by UID, also members added after an expansion.
    Contact group;
    group.display_name = "Group";
    group.is_group = true;
    group.members = {"urn:uuid:u1", "urn:uuid:u2"};
    Contact first;
    first.display_name = "First";
    first.uid = "u1";
    first.emails = {"first@x.jp"};
    book.Add(group);
    book.Add(first);
    const Contact *g = book.FindByName("group").front();
    EXPECT_EQ(book.GroupAddresses(*g), std::vector<std::string>{"first@x.jp"});
    Contact second = first;
    second.uid = "u2";
    second.emails = {"second@x.jp"};
    book.Add(second);
    g = book.FindByName("group").front();
    EXPECT_EQ(book.GroupAddresses(*g), (std::vector<std::string>{"first@x.jp", "second@x.jp"}));
    book.Load("/nonexistent/book.vcf");
    EXPECT_TRUE(book.FindByName("late comer").empty());
    EXPECT_TRUE(book.Search("").empty());
}

TEST(Addresses, ParseAsCallersWriteThem)
{
    std::string a, n;
    EXPECT_TRUE(ParseAddress(" SMTP:user@example.com ", &a, &n));
    EXPECT_EQ(a, "user@example.com");
    EXPECT_TRUE(ParseAddress("\"Suzuki, H\" <h@example.jp>", &a, &n));
    EXPECT_EQ(a, "h@example.jp");
    EXPECT_EQ(n, "Suzuki, H");
    for (const char *bad : {"", "user", "@example.com", "user@", "a@b@c", "a b@c.jp", "a@c..jp", "a@b.jp;c@d.jp",
                            "FAX:0312345678", "<a@b.jp", "a@b.jp\r\nBcc: x@y.jp"})
        EXPECT_FALSE(ParseAddress(bad, &a)) << bad;
}

// Each encoded word holds whole characters and at most 75 characters, and
// a subject cannot smuggle header lines.
TEST(Subject, EncodedWordsSplitAtCharacterBoundaries)
{
    std::string subject;
    for (int i = 0; i < 60; ++i)
        subject += i % 7 == 0 ? std::string("a") : std::string("\x82\xA0");
    std::string enc = EncodeSubject(subject);
    std::string decoded;
    size_t pos = 0;
    while ((pos = enc.find("=?Shift_JIS?B?", pos)) != std::string::npos) {
        size_t end = enc.find("?=", pos + 14);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end + 2 - pos, 75u);
        std::string b64 = enc.substr(pos + 14, end - pos - 14);
        std::string bytes;
        unsigned v = 0;
        int bits = 0;
        for (char c : b64) {
            const char *t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
            if (c == '=')
                break;
            v = (v << 6) | static_cast<unsigned>(strchr(t, c) - t);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                bytes += static_cast<char>((v >> bits) & 0xFF);
            }
        }
        // The word ends on a character boundary.
        size_t k = 0;
        while (k < bytes.size())
            k += cp932::IsLeadByte(static_cast<unsigned char>(bytes[k])) ? 2 : 1;
        EXPECT_EQ(k, bytes.size());
        decoded += bytes;
        pos = end;
    }
    EXPECT_EQ(decoded, subject);
    EXPECT_EQ(EncodeSubject("Hi\r\nBcc: evil@example.com"), "Hi  Bcc: evil@example.com");

    // Long ASCII subjects are folded at blanks; unfolding gives them back.
    std::string words;
    for (int i = 0; i < 40; ++i)
        words += "word" + std::to_string(i) + " ";
    std::string folded = EncodeSubject(words);
    size_t line = 9, longest = 0;
    std::string unfolded;
    for (char c : folded) {
        line = c == '\n' ? 0 : line + 1;
        longest = std::max(longest, line);
        if (c != '\n')
            unfolded += c;
    }
    EXPECT_LE(longest, 78u);
    EXPECT_EQ(unfolded, words);
    // A word no header line can hold goes as encoded words.
    EXPECT_EQ(EncodeSubject(std::string(2000, 'x')).rfind("=?Shift_JIS?B?", 0), 0u);
}

}  // namespace
