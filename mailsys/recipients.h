// Turning the recipient descriptors of a call into mailboxes: by address
// when one is given, else by name through the address book.
#pragma once

#include "address_book.h"
#include "message_builder.h"

#include <simple_mapi.h>

#include <string>
#include <vector>

namespace mailsys {

// Reads an address as callers write it: "SMTP:user@host", "user@host" or
// "Name <user@host>" (UTF-8). False when it is none of these.
bool ParseAddress(const std::string &text, std::string *address, std::string *name = nullptr);

// The one contact whose display name is `name`: SUCCESS_SUCCESS with *out
// set, MAPI_E_UNKNOWN_RECIPIENT when none has it, MAPI_E_AMBIGUOUS_RECIPIENT
// when several have it.
ULONG FindOneContact(const AddressBook &book, const std::string &name, const Contact **out);

struct ResolvedRecipients {
    std::vector<Mailbox> to, cc, bcc;
};

// Resolves the descriptors of a message. Returns SUCCESS_SUCCESS or the
// MAPI code of the first recipient that fails: MAPI_E_BAD_RECIPTYPE,
// MAPI_E_UNKNOWN_RECIPIENT, MAPI_E_AMBIGUOUS_RECIPIENT, MAPI_E_INVALID_RECIPS.
// `book` is loaded from `book_path` only when a name has to be looked up.
ULONG ResolveRecipients(const MapiRecipDesc *recips, ULONG count, const std::string &book_path,
                        ResolvedRecipients *out);

}  // namespace mailsys
