// The address book: contacts read from a .vcf file or a folder of them,
// looked up by display name.
#pragma once

#include "vcard.h"

#include <string>
#include <vector>

namespace mailsys {

class AddressBook {
public:
    // Reads `path`: a .vcf file, or a folder whose .vcf/.vcard files (also
    // one level of sub-folders, as synchronisers lay them out) are read. A
    // missing path gives an empty book.
    void Load(const std::string &path);
    void Add(Contact contact) { m_contacts.push_back(std::move(contact)); }

    const std::vector<Contact> &Contacts() const { return m_contacts; }

    // Contacts whose display name equals `name` ignoring case (and the
    // difference between full-width and half-width forms).
    std::vector<const Contact *> FindByName(const std::string &name) const;

    // The addresses of a group's members, groups inside it expanded.
    std::vector<std::string> GroupAddresses(const Contact &group) const;

private:
    void LoadFile(const std::string &file);
    void GroupAddresses(const Contact &group, std::vector<const Contact *> *seen,
                        std::vector<std::string> *out) const;

    std::vector<Contact> m_contacts;
};

// The form names are compared in: NFKC, case-folded, outer blanks removed.
std::string NameKey(const std::string &utf8);

}  // namespace mailsys
