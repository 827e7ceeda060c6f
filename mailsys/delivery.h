// Handing a mail of the outbox to the SMTP server: through the profile's
// send_command, or msmtp with the account. Shared by MAPISendMail and the
// outbox window.
#pragma once

#include "keyring.h"
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
    SecretText password;  // for Given: out of core dumps, wiped when let go
};

enum class HandOffResult {
    Sent,     // the server took it; the file moved to Sent
    Failed,   // the hand-off failed; the file left the outbox for failed/ (or, when failed/
              // could not keep it, it waits in the outbox again)
    Waiting,  // nothing to hand it to (no account, no command, no password): it stays
    Taken,    // another sender claimed it first: it is that sender's to hand on
};

// Hands one file of <outbox>/new to the server. It is claimed first (see
// ClaimMail): a mail another process claimed, or that is gone, is Taken and
// left alone. On Sent or Failed, *new_path (when given) is where the file
// went.
HandOffResult HandOffQueued(const Profile &profile, const Credentials &credentials, const std::string &file,
                            std::string *new_path = nullptr);

// The credentials a logon finds: Keyring when the keyring holds the
// account's password (or none is needed), else Missing. *keyring_answers
// (when given) tells whether a keyring answered at all.
Credentials CredentialsAtLogon(const Profile &profile, bool *keyring_answers = nullptr);

// Keeps a password the user typed for the profile's account: in the keyring
// when one answers (Keyring), else in memory for the session (Given). An
// empty password keeps what the keyring has.
Credentials KeepPassword(const Profile &profile, const std::string &password);

// True when mail would be handed on at all with these credentials.
bool CanHandOff(const Profile &profile, const Credentials &credentials);

}  // namespace mailsys
