// Fuzz entry point of the vCard reader and the address book built from it.
// Whatever the bytes, reading must not crash, and what it gives must hold:
// every contact has a name in valid UTF-8 and distinct, non-empty
// addresses; each contact is found by its own name; a search for nothing
// lists every contact; groups expand to plain addresses, cycles stopping.
// Built with libFuzzer (clang) by run_fuzz.sh, and without it into the
// replay driver that runs the corpus and the crashers in CTest.
#include "address_book.h"
#include "profile.h"
#include "vcard.h"

#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace mailsys;
    std::string_view text(reinterpret_cast<const char *>(data), size);
    std::vector<Contact> contacts = ParseVCards(text);
    AddressBook book;
    for (const Contact &c : contacts) {
        Check(!c.display_name.empty());
        Check(g_utf8_validate(c.display_name.data(), static_cast<gssize>(c.display_name.size()), nullptr));
        std::set<std::string> seen;
        for (const auto &e : c.emails) {
            Check(!e.empty());
            Check(seen.insert(e).second);
        }
        book.Add(c);
    }
    Check(book.Search("").size() == contacts.size());
    for (const Contact &c : book.Contacts()) {
        if (!NameKey(c.display_name).empty()) {
            auto found = book.FindByName(c.display_name);
            Check(std::find(found.begin(), found.end(), &c) != found.end());
        }
        if (c.is_group)
            for (const auto &a : book.GroupAddresses(c))
                Check(IsPlainAddress(a));
    }
    return 0;
}
