// Pictographs per recipient: the three forms a mail can carry them in, the
// profile's rules that choose a form by the recipient's domain, and the
// conversion of the caller's CP932 text into each form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mailsys {

enum class PictographForm {
    Docomo,   // Shift_JIS, the codes F89F-F9FC as typed (the caller's bytes)
    Unicode,  // UTF-8, Unicode emoji
    Text,     // Shift_JIS, each pictograph's name in 〔〕
};

// "docomo", "unicode", "text" and back; false for any other word (letters
// compare without regard to case).
const char *FormWord(PictographForm form);
bool ParseFormWord(const std::string &word, PictographForm *form);

// One line of the profile's [pictographs] section: a domain pattern and its
// form. The pattern "*" alone names the form of every domain that no other
// line matches.
struct PictographRule {
    std::string pattern;
    PictographForm form;
};

// The rules a profile without the section has: docomo.ne.jp keeps the
// codes, every other domain gets Unicode emoji.
std::vector<PictographRule> DefaultPictographRules();

// The pattern rules of the program's carrier table: pattern and domain match
// label by label (so "*.x" is any one name under x), "*" within a label
// takes one or more characters other than "." (so "jp-*.ne.jp" takes each
// region letter), letters compare without regard to case.
bool DomainPatternMatches(std::string_view pattern, std::string_view domain);

// The form for a mail address: the first rule (in order) whose pattern
// matches its domain, else the "*" rule, else Unicode.
PictographForm FormForAddress(const std::vector<PictographRule> &rules, const std::string &address);

// One pictograph of the catalogue, as the table made from EmojiSources.txt
// at build time holds it.
struct PictographEntry {
    std::uint16_t code;   // the two-byte code, F89F-F9FC
    const char *unicode;  // UTF-8 emoji (U+FE0F included where needed); "" when Unicode has none
    const char *name;     // CP932 name from the catalogue
};

// All 252 in code order.
const std::vector<PictographEntry> &PictographTable();

// The entry of a two-byte code, or nullptr.
const PictographEntry *FindPictograph(std::uint16_t code);

// The caller's CP932 text in a form: Docomo gives it unchanged; Text gives
// CP932 with each pictograph as 〔name〕; Unicode gives UTF-8 with each
// pictograph as its emoji (as 〔name〕 where Unicode has none).
std::string ConvertCp932(const std::string &cp932, PictographForm form);

// UTF-8 text whose pictographs are private-use characters (as CP932 text
// reads into UTF-8: U+E63E for F89F) in a form, still UTF-8: Docomo keeps
// them, Unicode and Text put the emoji or the 〔name〕 in their place. For
// attachment names.
std::string ConvertUtf8(const std::string &utf8, PictographForm form);

}  // namespace mailsys
