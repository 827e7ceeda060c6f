// The text of a settings file in the private-profile format, without the
// file: parsing into lines, the lookups and edits of the profile rules, and
// writing the lines back. `ProfileFile` (app/profile.h) does the file work
// around it; the settings parser's fuzz target drives it directly.
//
// Lines end in CR LF, LF or a lone CR (all three read; CR LF is written).
// Lines the rules do not understand (no "=", blank, before any section) are
// kept as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ProfileText {
    std::string bom; // a UTF-8 byte-order mark the file began with, or empty
    std::vector<std::string> lines; // without their line ends
};

ProfileText ParseProfileText(std::string_view data);
// Every line followed by CR LF, after the byte-order mark.
std::string SerialiseProfileText(const ProfileText &doc);

// Names are compared without the blanks around them and without regard to
// ASCII case.
//
// The value of the first key `key` in the first section `section`, trimmed and without a matching pair of
// enclosing quotes; nothing when there is no such key.
std::optional<std::string_view> ProfileLookup(const ProfileText &doc, std::string_view section,
                                              std::string_view key);
// The key names of the first section `section`, in file order.
std::vector<std::string> ProfileKeys(const ProfileText &doc, std::string_view section);
// Sets section/key = value: the key keeps its place and spelling, a new key
// goes after the last non-blank line of its section, a new section to the
// end. False (and nothing changed) when a name could not be read back (an
// empty name, a section name with "]", a key name with "=" or beginning
// with "[") or a name or the value holds a line break, which would make
// lines of its own.
bool ProfileSet(ProfileText &doc, std::string_view section, std::string_view key, std::string_view value);
// True when the file can hold a key of that name (blanks around it aside)
// and read it back: the key rule of ProfileSet.
bool WritableKey(std::string_view name);
// Removes the first key `key` of the section; false when there was none.
bool ProfileRemove(ProfileText &doc, std::string_view section, std::string_view key);
