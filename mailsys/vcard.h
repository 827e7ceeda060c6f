// A vCard reader for the address book: versions 2.1, 3.0 and 4.0 as Linux
// address books and phones export them (folded lines, escapes,
// quoted-printable, CHARSET parameters, several EMAIL lines, groups).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mailsys {

struct Contact {
    std::string display_name;         // UTF-8; FN, else built from N, ORG or the address
    std::vector<std::string> emails;  // preferred first
    std::string uid;                  // UID without a "urn:uuid:" prefix
    bool is_group = false;            // KIND:group or X-ADDRESSBOOKSERVER-KIND:group, or has members
    std::vector<std::string> members; // MEMBER values: "mailto:..." or a UID
};

// Reads every card of a file's contents. Malformed lines are skipped; a
// card without a name and without an address is dropped.
std::vector<Contact> ParseVCards(std::string_view data);

}  // namespace mailsys
