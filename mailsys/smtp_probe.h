// The account's connection test: resolves the server, connects, sets up
// TLS trusting what msmtp trusts (the system's certificates, or only the
// account's own file when it names one, and the server's name checked), and
// logs in; then says goodbye without sending anything. Each step that fails
// is told apart, so that the user can be told in plain words what to mend.
//
// The whole test runs against one deadline, and every wait of it (name
// resolution, connection, each read and write, the TLS handshake) also ends
// at once when the test is stopped from another thread: no server, however
// silent, holds the caller longer than the deadline.
#pragma once

#include "profile.h"

#include <chrono>
#include <string>

namespace mailsys {

enum class ProbeFailure {
    None,
    NameResolution,   // the server's name is unknown (or no name service answers)
    Connection,       // nothing accepts connections at that port, or no answer to the connection in time
    TlsCertificate,   // the server's certificate is not trusted or not for that name
    Tls,              // TLS could not be set up (the port may expect another security)
    NoStartTls,       // the server does not offer STARTTLS
    Authentication,   // user name or password refused
    NoAuthMethod,     // the server offers neither PLAIN nor LOGIN (or no login at all)
    Protocol,         // the server did not answer as an SMTP server
    Broken,           // the server closed the connection in the middle of the conversation
    Timeout,          // connected, but the test did not end before its deadline
    Stopped,          // stopped by the caller (ProbeStop)
};

struct ProbeResult {
    ProbeFailure failure = ProbeFailure::None;
    std::string detail;  // the underlying error or the server's reply, for the curious
};

// Stops a running test from another thread: every wait of the test watches
// it, so the test returns Stopped at once. One per test.
class ProbeStop {
public:
    ProbeStop();
    ~ProbeStop();
    ProbeStop(const ProbeStop &) = delete;
    ProbeStop &operator=(const ProbeStop &) = delete;
    void Stop();
    int Fd() const { return m_fd; }  // readable once stopped

private:
    int m_fd;
};

// The whole test's time: a server that accepts the connection and then
// stays silent (a TLS port asked for STARTTLS, or the other way round)
// ends the test with Timeout after it.
constexpr std::chrono::milliseconds kProbeDeadline{20000};

ProbeResult ProbeAccount(const SmtpAccount &account, const std::string &password,
                         std::chrono::milliseconds deadline = kProbeDeadline, const ProbeStop *stop = nullptr);

// Tests only: a PEM file that stands for the system's trusted certificates
// ("" for the system's own).
void SetSystemTrustForTesting(const std::string &pem_file);

}  // namespace mailsys
