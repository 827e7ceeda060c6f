// Sending and the recipient history as plain logic: recipient lists, the
// message records, numbered subjects, the send loop and the history rules.
#include "compose/carriers.h"
#include "compose/counting.h"
#include "compose/history.h"
#include "compose/sending.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <map>

using testenv::Sjis;
using Pieces = std::vector<std::string>;

namespace {

struct SplitCase {
    const char *field;
    Pieces want;
};

class RecipientFieldSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(RecipientFieldSplit, Pieces)
{
    EXPECT_EQ(SplitRecipientField(GetParam().field), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RecipientFieldSplit,
    ::testing::Values(SplitCase{"", {}}, SplitCase{"   ", {}}, SplitCase{";, ;", {}},
                      SplitCase{"a@x.jp", {"a@x.jp"}}, SplitCase{"a@x.jp;b@y.jp", {"a@x.jp", "b@y.jp"}},
                      // Runs of separators count as one; the leading comma is skipped.
                      SplitCase{"a@x.jp;;,b@y.jp", {"a@x.jp", "b@y.jp"}}, SplitCase{",c@z.jp", {"c@z.jp"}},
                      // A blank after a separator stays with the next piece.
                      SplitCase{"a@x.jp; b@y.jp", {"a@x.jp", " b@y.jp"}},
                      SplitCase{"  Taro Yamada ;", {"Taro Yamada "}},
                      // A trailing blank piece is no recipient.
                      SplitCase{"a@x.jp; ", {"a@x.jp"}},
                      // Separators between quotes belong to the piece; a
                      // quote left open runs to the end.
                      SplitCase{"\"Yamada, Taro\";b@y.jp", {"\"Yamada, Taro\"", "b@y.jp"}},
                      SplitCase{"\"a\\\";b\",c", {"\"a\\\";b\"", "c"}},
                      SplitCase{"\"Example, Inc.\" <i@x.jp>, d", {"\"Example, Inc.\" <i@x.jp>", " d"}},
                      SplitCase{"\"open; end", {"\"open; end"}}));

// Names whose double-byte characters end in the bytes of "@" (0x40), "\\"
// (0x5C) or "|" (0x7C) are names, not addresses, and survive the trip from
// an address-book pick through the field back to the mail library whole,
// also when they hold a separator.
TEST(RecipientList, DoubleByteNamesStayNames)
{
    const char *names[] = {"山田 法子", "院長", "機", "ファン", "ソニア", "表 能子", "ポール", "－"};
    for (const char *utf8 : names) {
        for (const std::string &name : {Sjis(utf8), Sjis(utf8) + ", Inc.", Sjis(utf8) + "; \"Q\" \\"}) {
            SCOPED_TRACE(utf8);
            EXPECT_FALSE(IsMailAddressPiece(name));
            EXPECT_FALSE(MailDomainOf(name));
            std::string field = RecipientFieldForm(name);
            ASSERT_EQ(SplitRecipientField(field + ";a@x.jp"), (Pieces{field, "a@x.jp"}));
            EXPECT_EQ(RecipientName(field), name);
            std::vector<std::string> asked;
            NameResolver resolve = [&](const std::string &n) -> std::optional<std::string> {
                asked.push_back(n);
                return "r@docomo.ne.jp";
            };
            auto list = BuildRecipientList(field, field, "", {}, resolve);
            EXPECT_EQ(list, (std::vector<MailRecipient>{{MAPI_TO, name, "r@docomo.ne.jp"},
                                                        {MAPI_CC, name, std::nullopt}}));
            EXPECT_EQ(asked, Pieces{name});
            EXPECT_EQ(BuildPresetList("", "", field), (std::vector<MailRecipient>{{MAPI_BCC, name, std::nullopt}}));
        }
    }
    // A name without a separator or quote goes into the field as it is; a
    // quoted address line stays an address.
    EXPECT_EQ(RecipientFieldForm(Sjis("山田 法子")), Sjis("山田 法子"));
    EXPECT_TRUE(IsMailAddressPiece("\"Yamada, Taro\" <t@x.jp>"));
    EXPECT_FALSE(IsMailAddressPiece("\"t@x.jp\""));
    EXPECT_EQ(*MailDomainOf(Sjis("法") + "@docomo.ne.jp"), "docomo.ne.jp");
}

TEST(RecipientList, ToThenCcThenBccEachWithItsClass)
{
    auto list = BuildRecipientList("a@x.jp;b@y.jp", ",c@z.jp", "d@w.jp", {}, nullptr);
    std::vector<MailRecipient> want = {{MAPI_TO, "a@x.jp", "a@x.jp"},
                                       {MAPI_TO, "b@y.jp", "b@y.jp"},
                                       {MAPI_CC, "c@z.jp", std::nullopt},
                                       {MAPI_BCC, "d@w.jp", std::nullopt}};
    EXPECT_EQ(list, want);
}

// Every To recipient used to get the one address the carrier selection
// last took, so a second recipient (or an edited To text) got someone
// else's mail. Each piece now has its own address.
TEST(RecipientList, EachToPieceGetsItsOwnAddress)
{
    std::vector<std::string> asked;
    NameResolver resolve = [&](const std::string &name) -> std::optional<std::string> {
        asked.push_back(name);
        if (name == "Hanako")
            return "hanako@docomo.ne.jp";
        return std::nullopt;
    };
    KnownRecipient known{"Taro", "taro@ezweb.ne.jp"};
    // A single piece the carrier selection resolved keeps that address.
    EXPECT_EQ(BuildRecipientList("Taro", "", "", known, resolve),
              (std::vector<MailRecipient>{{MAPI_TO, "Taro", "taro@ezweb.ne.jp"}}));
    EXPECT_TRUE(asked.empty());
    // Several pieces: each its own; a name that does not resolve goes
    // without an address; the known address never carries over.
    auto list = BuildRecipientList("Taro;Hanako; x@y.jp ", "", "", known, resolve);
    std::vector<MailRecipient> want = {{MAPI_TO, "Taro", std::nullopt},
                                       {MAPI_TO, "Hanako", "hanako@docomo.ne.jp"},
                                       {MAPI_TO, " x@y.jp ", "x@y.jp"}};
    EXPECT_EQ(list, want);
    EXPECT_EQ(asked, (Pieces{"Taro", "Hanako"}));
    // A To text that no longer matches what the carrier selection saw.
    EXPECT_EQ(BuildRecipientList("Taro2", "", "", known, resolve)[0].address, std::nullopt);
}

TEST(RecipientList, PresetHasNamesOnly)
{
    EXPECT_EQ(BuildPresetList("a@x.jp;Taro", "", "Mama"),
              (std::vector<MailRecipient>{
                  {MAPI_TO, "a@x.jp", std::nullopt}, {MAPI_TO, "Taro", std::nullopt}, {MAPI_BCC, "Mama", std::nullopt}}));
}

TEST(MessageRecord, PointsAtItsOwnStrings)
{
    std::vector<MailRecipient> recips = {{MAPI_TO, "a@x.jp", "a@x.jp"}, {MAPI_CC, "Taro", std::nullopt}};
    std::string subject = "s", body = "body";
    MapiMessageRecord rec(recips, subject, body, "/tmp/pic.jpg");
    subject = "changed";
    recips.clear();
    MapiMessage *m = rec.Get();
    EXPECT_STREQ(m->lpszSubject, "s");
    EXPECT_STREQ(m->lpszNoteText, "body");
    EXPECT_STREQ(m->lpszDateReceived, "");
    EXPECT_EQ(m->lpszMessageType, nullptr);
    EXPECT_EQ(m->lpOriginator, nullptr);
    EXPECT_EQ(m->flFlags, 0u);
    ASSERT_EQ(m->nRecipCount, 2u);
    EXPECT_EQ(m->lpRecips[0].ulRecipClass, ULONG(MAPI_TO));
    EXPECT_STREQ(m->lpRecips[0].lpszName, "a@x.jp");
    EXPECT_STREQ(m->lpRecips[0].lpszAddress, "a@x.jp");
    EXPECT_EQ(m->lpRecips[1].ulRecipClass, ULONG(MAPI_CC));
    EXPECT_EQ(m->lpRecips[1].lpszAddress, nullptr);
    ASSERT_EQ(m->nFileCount, 1u);
    EXPECT_STREQ(m->lpFiles[0].lpszPathName, "/tmp/pic.jpg");
    EXPECT_EQ(m->lpFiles[0].nPosition, 0xFFFFFFFFu);
    EXPECT_EQ(m->lpFiles[0].lpszFileName, nullptr);

    MapiMessageRecord plain({}, "", "", "");
    EXPECT_EQ(plain.Get()->nFileCount, 0u);
    EXPECT_EQ(plain.Get()->lpFiles, nullptr);
}

// The numbered subject was cut to 255 bytes and parts to 8,047 bytes:
// both are whole now.
TEST(Parts, SubjectsAndPartsAreNeverCut)
{
    EXPECT_EQ(PartSubject("Hi", 1, 1), "Hi");
    EXPECT_EQ(PartSubject("Hi", 2, 3), "2)Hi");
    EXPECT_EQ(PartSubject("", 10, 12), "10)");
    std::string longSubject(300, 'x');
    EXPECT_EQ(PartSubject(longSubject, 12, 12).size(), 303u);
    // The default carriers' limits of 5,000 and 10,000 give parts of 9,998
    // and 19,998 bytes.
    EXPECT_EQ(SplitBody(std::string(20000, 'a'), 5000)[0].size(), 9998u);
    EXPECT_EQ(SplitBody(std::string(20000, 'a'), 10000)[0].size(), 19998u);
}

struct RecordingSink : SendProgressSink {
    std::vector<std::pair<size_t, size_t>> calls;
    void PartSent(size_t done, size_t total) override { calls.push_back({done, total}); }
};

// The loop used to keep only the last part's result: an earlier failure
// was reported as success. It stops at the first failure now.
TEST(SendLoop, StopsAtTheFirstFailure)
{
    Pieces parts = {"one", "two", "three"};
    struct Case {
        std::vector<ULONG> results;
        bool ok;
        size_t sent, calls;
        ULONG code;
    } cases[] = {
        {{0, 0, 0}, true, 3, 3, 0},
        {{2, 0, 0}, false, 0, 1, 2},
        {{0, 14, 0}, false, 1, 2, 14},
        {{0, 0, 25}, false, 2, 3, 25},
    };
    for (const Case &c : cases) {
        std::vector<std::string> seen;
        RecordingSink sink;
        auto out = SendParts(parts, [&](size_t i, const std::string &p) {
            EXPECT_EQ(i, seen.size());
            seen.push_back(p);
            return c.results[i];
        }, &sink);
        EXPECT_EQ(out.ok, c.ok);
        EXPECT_EQ(out.sent, c.sent);
        EXPECT_EQ(out.total, 3u);
        EXPECT_EQ(out.code, c.code);
        EXPECT_EQ(seen.size(), c.calls);
        ASSERT_EQ(sink.calls.size(), c.sent);
        for (size_t k = 0; k < c.sent; ++k)
            EXPECT_EQ(sink.calls[k], std::make_pair(k + 1, size_t(3)));
    }
}

TEST(SendLoop, MessagesOfEachResult)
{
    std::map<ULONG, std::string> want = {
        {1, "The user canceled one of the dialog boxes. No message was sent."},
        {2, "One or more unspecified errors occurred. No message was sent."},
        {3, "There was no default logon, and the user failed to log on successfully when the logon dialog box "
            "was displayed. No message was sent."},
        {5, "There was insufficient memory to proceed. No message was sent."},
        {10, "There were too many recipients. No message was sent."},
        {14, "A recipient did not appear in the address list. No message was sent."},
        {15, "The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent."},
        {18, "The text in the message was too large. No message was sent. "},
        {21, "A recipient matched more than one of the recipient descriptor structures and MAPI_DIALOG was not "
             "set. No message was sent."},
        {25, "One or more recipients were invalid or did not resolve to any address. "},
        {4, "MAPISend error"},
        {19, "MAPISend error"},
        {26, "MAPISend error"},
    };
    for (auto &[code, text] : want)
        EXPECT_EQ(SendErrorText(code), text) << code;
    EXPECT_EQ(SendFailureMessage({false, 0, 3, 2}), want[2]);
    EXPECT_EQ(SendFailureMessage({false, 2, 3, 14}),
              want[14] + "\n\n2 of 3 mails had already been sent; mail 3 and the ones after it were not.");
}

TEST(SendLoop, ProgressShowsAfterHalfASecondWhileMailsAreLeft)
{
    using std::chrono::milliseconds;
    EXPECT_FALSE(ShouldShowSendProgress(milliseconds(499), 3));
    EXPECT_TRUE(ShouldShowSendProgress(milliseconds(500), 3));
    EXPECT_TRUE(ShouldShowSendProgress(milliseconds(501), 1));
    EXPECT_FALSE(ShouldShowSendProgress(milliseconds(5000), 0));
}

// ------------------------------------------------------------ history

struct InsertCase {
    const char *name;
    Pieces before;
    std::string text;
    Pieces after;
};

class HistoryInsert : public ::testing::TestWithParam<InsertCase> {};

TEST_P(HistoryInsert, Order)
{
    Pieces list = GetParam().before;
    InsertIntoHistory(list, GetParam().text);
    EXPECT_EQ(list, GetParam().after);
}

const Pieces kEight = {"h1@x", "h2@x", "h3@x", "h4@x", "h5@x", "h6@x", "h7@x", "h8@x"};

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryInsert,
    ::testing::Values(
        InsertCase{"FirstEntry", {}, "a@x.jp", {"a@x.jp"}},
        InsertCase{"NewOnTop", {"b@x", "c@x"}, "a@x", {"a@x", "b@x", "c@x"}},
        // The beginning of a later entry, in another case of letters: the
        // text goes on top and that entry goes.
        InsertCase{"PrefixOfLaterEntry", {"b@x", "Taro@ezweb.ne.jp", "c@x"}, "TARO@", {"TARO@", "b@x", "c@x"}},
        InsertCase{"PrefixOfFirstEntry", {"taro@ezweb.ne.jp", "b@x"}, "Taro", {"taro@ezweb.ne.jp", "b@x"}},
        InsertCase{"EqualToFirst", {"a@x", "b@x"}, "a@x", {"a@x", "b@x"}},
        InsertCase{"EightFullDropsTheOldest", kEight, "new@x",
                   {"new@x", "h1@x", "h2@x", "h3@x", "h4@x", "h5@x", "h6@x", "h7@x"}},
        InsertCase{"SevenGrowToEight", Pieces(kEight.begin(), kEight.begin() + 7), "new@x",
                   {"new@x", "h1@x", "h2@x", "h3@x", "h4@x", "h5@x", "h6@x", "h7@x"}},
        InsertCase{"EightFullMovesAnEntry", kEight, "h8@x",
                   {"h8@x", "h1@x", "h2@x", "h3@x", "h4@x", "h5@x", "h6@x", "h7@x"}},
        // An empty To used to match the second entry (everything begins
        // with the empty text), remove it and put an empty entry on top.
        InsertCase{"EmptyToLeavesHistory", {"a@x", "b@x"}, "", {"a@x", "b@x"}},
        InsertCase{"BlankToLeavesHistory", {"a@x", "b@x"}, "   ", {"a@x", "b@x"}}),
    [](const auto &info) { return info.param.name; });

TEST(History, PrefixSearchStartsAfterTheFirstEntry)
{
    EXPECT_EQ(FindHistoryPrefix({"ab", "ab", "x"}, "a"), 1u);
    EXPECT_EQ(FindHistoryPrefix({"ab", "x"}, "A"), 0u);
    EXPECT_EQ(FindHistoryPrefix({"x", "y"}, "z"), std::nullopt);
    EXPECT_EQ(FindHistoryPrefix({}, "z"), std::nullopt);
    // Trail bytes of double-byte characters are never folded: 0x83 0x41
    // ("ア") is not 0x83 0x61 ("b" after a lead byte is another character).
    EXPECT_EQ(FindHistoryPrefix({"x", "\x83\x61"}, "\x83\x41"), std::nullopt);
}

TEST(History, FromStoredValues)
{
    // An empty value leaves no gap; a value an earlier one begins with
    // (case ignored) is not taken.
    EXPECT_EQ(HistoryFromValues({"a@x.jp", "b@y.jp", "", "A@X", "c@z.jp", "", "", ""}),
              (Pieces{"a@x.jp", "b@y.jp", "c@z.jp"}));
    EXPECT_EQ(HistoryKey(1), "MailTo1");
    EXPECT_EQ(HistoryKey(8), "MailTo8");
    EXPECT_TRUE(IsBlankRecipient(""));
    EXPECT_TRUE(IsBlankRecipient("  "));
    EXPECT_FALSE(IsBlankRecipient(Sjis("　")));
    // The history dialog's order folds single-byte letters only: ア (0x83
    // 0x41) stays before ゼ (0x83 0x5B); folded it would follow it.
    EXPECT_EQ(SortedForHistoryDialog({Sjis("ゼ"), "b@x", Sjis("ア"), "a@x", "A@x"}),
              (Pieces{"A@x", "a@x", "b@x", Sjis("ア"), Sjis("ゼ")}));
}

} // namespace
