// The carrier table: first-run defaults, matching a recipient's mail domain
// to a carrier, and the small text rules the carrier combo box follows.
// Plain functions on CP932 text, with no windows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Settings sections of the carrier table.
inline constexpr const char *kCarrierSection = "Keitai Vender"; // name = limit
inline constexpr const char *kMailDomainSection = "Mail Address"; // domain key = carrier name
inline constexpr const char *kDefaultCarrierName = "DoCoMo i-mode";
inline constexpr const char *kFallbackCarrierName = "PC";

struct CarrierDefault {
    const char *name;
    const char *limit;
};
// The eight carriers written at first run, in combo-box order.
extern const CarrierDefault kDefaultCarriers[8];

struct MailDomainDefault {
    const char *key;
    const char *carrier;
};
// The six mail-domain keys written at first run, in file order.
extern const MailDomainDefault kDefaultMailDomains[6];

// True when the mail domain matches the key: letters compare without regard
// to case, and "*" in the key stands for one or more characters other than
// ".".
bool MailDomainMatches(std::string_view key, std::string_view domain);

// The index of the first key (in file order) that the domain matches, or
// nothing.
std::optional<size_t> FindMailDomainKey(const std::vector<std::string> &keys, std::string_view domain);

// The domain of an address: the text after its first "@" (a character of
// its own, never the trail byte of a double-byte character), or nothing when it
// has none.
std::optional<std::string_view> MailDomainOf(std::string_view address);

// The index of the first item that begins with `prefix`, ignoring the case
// of ASCII letters (the combo box's prefix search), or nothing.
std::optional<size_t> FindPrefixNoCase(const std::vector<std::string> &items, std::string_view prefix);

// A carrier's limit from its settings value: the leading decimal digits.
// Nothing when there are none or the value is below 2: such a limit cannot
// count or cut mails, so it is treated like a missing one.
std::optional<unsigned> ParseCarrierLimit(std::string_view value);

// A key list as a read into a buffer of `bufSize` bytes delivers it: the
// keys, each NUL-terminated, and a final NUL; a list that does not fit is
// cut after bufSize - 2 bytes (its last key cut short).
std::vector<std::string> KeyListWithin(const std::vector<std::string> &keys, size_t bufSize);
