// The SMTP password in the desktop keyring (Secret Service, through
// libsecret), stored under the attributes msmtp looks up itself: host (the
// server as written in the account), service "smtp" and user. So msmtp finds
// it without any file holding it.
#pragma once

#include <string>

namespace mailsys {

enum class KeyringResult { Ok, NotFound, Unavailable };

// Unavailable: no Secret Service answers (no session bus, no keyring
// daemon), or it refused.
KeyringResult LookupSmtpPassword(const std::string &host, const std::string &user, std::string *password);
KeyringResult StoreSmtpPassword(const std::string &host, const std::string &user, const std::string &password);
KeyringResult ClearSmtpPassword(const std::string &host, const std::string &user);

// True when a Secret Service answers on the session bus.
bool KeyringAvailable();

// Overwrites a password's bytes before it is let go.
void ForgetSecret(std::string *secret);

}  // namespace mailsys
