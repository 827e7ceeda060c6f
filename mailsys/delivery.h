// Handing a mail of the outbox to the SMTP server: through the profile's
// send_command, or msmtp with the account. Shared by MAPISendMail and the
// outbox window.
#pragma once

#include "profile.h"

#include <string>

namespace mailsys {

// The password for the account's login, as found at logon.
struct Credentials {
    enum Kind {
        Keyring,  // msmtp finds it in the desktop keyring itself (or none is needed)
        Given,    // no keyring: kept in memory for this session, handed over on a pipe
        Missing,  // none known: mail waits in the outbox
    } kind = Keyring;
    std::string password;  // for Given
};

enum class HandOffResult {
    Sent,     // the server took it; the file moved to Sent
    Failed,   // the hand-off failed; the file left the outbox for failed/
    Waiting,  // nothing to hand it to (no account, no command, no password): it stays
};

// Hands one file of <outbox>/new to the server. On Sent or Failed,
// *new_path (when given) is where the file went.
HandOffResult HandOffQueued(const Profile &profile, const Credentials &credentials, const std::string &file,
                            std::string *new_path = nullptr);

// True when mail would be handed on at all with these credentials.
bool CanHandOff(const Profile &profile, const Credentials &credentials);

}  // namespace mailsys
