// The account's connection test: resolves the server, connects, sets up
// TLS as msmtp would (the system's trusted certificates, or the account's
// own file, and the server's name checked), and logs in; then says goodbye
// without sending anything. Each step that fails is told apart, so that the
// user can be told in plain words what to mend.
#pragma once

#include "profile.h"

#include <string>

namespace mailsys {

enum class ProbeFailure {
    None,
    NameResolution,   // the server's name is unknown (or no name service answers)
    Connection,       // nothing accepts connections at that port, or no answer in time
    TlsCertificate,   // the server's certificate is not trusted or not for that name
    Tls,              // TLS could not be set up (the port may expect another security)
    NoStartTls,       // the server does not offer STARTTLS
    Authentication,   // user name or password refused
    NoAuthMethod,     // the server offers neither PLAIN nor LOGIN (or no login at all)
    Protocol,         // the server did not answer as an SMTP server
};

struct ProbeResult {
    ProbeFailure failure = ProbeFailure::None;
    std::string detail;  // the underlying error or the server's reply, for the curious
};

// Runs the test; each network step waits at most `timeout_seconds`.
ProbeResult ProbeAccount(const SmtpAccount &account, const std::string &password, int timeout_seconds = 15);

}  // namespace mailsys
