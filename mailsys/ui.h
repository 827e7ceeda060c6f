// The mail system's dialogs (wxWidgets): the logon dialog that creates the
// profile and the address book dialog.
#pragma once

#include "address_book.h"
#include "profile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mailsys {

enum class DialogResult { Ok, Cancelled, Unavailable };

// One recipient in the address dialog's wells (UTF-8).
struct AddressEntry {
    unsigned recip_class = 1;  // MAPI_TO, MAPI_CC, MAPI_BCC
    std::string name;
    std::string address;  // empty for a group or an unresolved name
};

// Asks for the sender's name and address and the SMTP account; on Ok
// *profile holds them and *password the account's password as typed (the
// caller keeps it: keyring or memory). `parent` is the caller's GtkWindow*
// or 0.
DialogResult RunLogonDialog(uintptr_t parent, Profile *profile, std::string *password);

// Asks for the account's password at logon when the keyring has none
// (`keyring` false: no keyring answers, so it will not be saved).
DialogResult RunPasswordDialog(uintptr_t parent, const Profile &profile, bool keyring, std::string *password);

// Says that the profile was refused and why (the file, the line and what
// is wrong with it), so that the user knows what to mend.
void ShowProfileRefusal(uintptr_t parent, const std::string &message);

// The address book dialog. `wells` is 0 (browse only), 1 (To) or 3 (To,
// Cc, Bcc); `label` names the single well when given. On Ok *chosen holds
// the wells' entries in order, To first.
DialogResult RunAddressDialog(uintptr_t parent, const std::string &caption, int wells, const std::string &label,
                              const AddressBook &book, const std::vector<AddressEntry> &preset,
                              std::vector<AddressEntry> *chosen);

}  // namespace mailsys
