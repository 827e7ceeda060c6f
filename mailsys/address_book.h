// The address book: contacts read from a .vcf file or a folder of them,
// looked up by display name.
#pragma once

#include "vcard.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace mailsys {

class AddressBook {
public:
    // Reads `path`: a .vcf file, or a folder whose .vcf/.vcard files (also
    // one level of sub-folders, as synchronisers lay them out) are read. A
    // missing path gives an empty book.
    void Load(const std::string &path);
    void Add(Contact contact)
    {
        m_contacts.push_back(std::move(contact));
        m_keyed = false;
        m_uid_indexed = false;
    }

    const std::vector<Contact> &Contacts() const { return m_contacts; }

    // Contacts whose display name equals `name` ignoring case (and the
    // difference between full-width and half-width forms).
    std::vector<const Contact *> FindByName(const std::string &name) const;

    // Indices of the contacts whose name or one of whose addresses contains
    // `text`, compared as FindByName compares; every contact for no text.
    std::vector<size_t> Search(const std::string &text) const;

    // The addresses of a group's members, groups inside it expanded.
    std::vector<std::string> GroupAddresses(const Contact &group) const;

private:
    void LoadFile(const std::string &file);
    void GroupAddresses(const Contact &group, std::vector<const Contact *> *seen,
                        std::vector<std::string> *out) const;

    // The compared forms of every contact's name and addresses, made once
    // per loaded book (on first use), not on every lookup.
    struct Keys {
        std::string name;
        std::vector<std::string> emails;
    };
    void MakeKeys() const;

    std::vector<Contact> m_contacts;
    mutable bool m_keyed = false;  // m_keys and m_by_name are those of m_contacts
    mutable std::vector<Keys> m_keys;
    mutable std::unordered_map<std::string, std::vector<size_t>> m_by_name;
    // The first contact of each UID, for expanding groups; made when a
    // group is first expanded.
    mutable bool m_uid_indexed = false;
    mutable std::unordered_map<std::string, size_t> m_by_uid;
};

// The form names are compared in: NFKC, case-folded, outer blanks removed.
std::string NameKey(const std::string &utf8);

// How many times NameKey has run in this process (for tests and benchmarks
// that check how often a book is normalised).
size_t NameKeysMade();

}  // namespace mailsys
