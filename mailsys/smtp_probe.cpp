#include "smtp_probe.h"

#include <glib.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mailsys {

namespace {

using Clock = std::chrono::steady_clock;

std::string g_system_trust_for_testing;

// Ends the test from inside any step: the failure to report.
struct Halt {
    ProbeResult result;
};

[[noreturn]] void Fail(ProbeFailure failure, std::string detail) { throw Halt{{failure, std::move(detail)}}; }

// The one deadline of a test and the caller's stop, watched by every wait.
class Clockwork {
public:
    Clockwork(std::chrono::milliseconds deadline, const ProbeStop *stop)
        : m_deadline(Clock::now() + deadline), m_stop(stop ? stop->Fd() : -1)
    {
    }

    // Waits until `fd` is ready for `events`. Past the deadline: `late`
    // (with what was being waited for); stopped: Stopped.
    void Wait(int fd, short events, ProbeFailure late, const char *what) const
    {
        for (;;) {
            Check(late, what);
            auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
            pollfd p[2] = {{fd, events, 0}, {m_stop, POLLIN, 0}};
            int n = poll(p, m_stop >= 0 ? 2 : 1, static_cast<int>(std::max<long long>(left, 1)));
            if (n < 0 && errno != EINTR)
                Fail(ProbeFailure::Connection, strerror(errno));
            if (m_stop >= 0 && p[1].revents)
                Fail(ProbeFailure::Stopped, "stopped");
            if (n > 0 && p[0].revents)
                return;  // ready, or an error the next call reports
        }
    }

    void Check(ProbeFailure late, const char *what) const
    {
        if (m_stop >= 0) {
            pollfd p{m_stop, POLLIN, 0};
            if (poll(&p, 1, 0) == 1)
                Fail(ProbeFailure::Stopped, "stopped");
        }
        if (Clock::now() >= m_deadline)
            Fail(late, std::string("no answer in time: ") + what);
    }

private:
    Clock::time_point m_deadline;
    int m_stop;
};

// getaddrinfo cannot be interrupted, so it runs on a thread of its own that
// the test can leave behind: the answer, whenever it comes, is dropped with
// the last reference.
class Lookup {
public:
    Lookup() : m_done(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Lookup()
    {
        if (m_list)
            freeaddrinfo(m_list);
        if (m_done >= 0)
            close(m_done);
    }

    static addrinfo *Resolve(const std::string &host, int port, const Clockwork &clock,
                             std::shared_ptr<Lookup> *keep)
    {
        auto lookup = std::make_shared<Lookup>();
        if (lookup->m_done < 0)
            Fail(ProbeFailure::NameResolution, strerror(errno));
        try {
            std::thread([lookup, host, service = std::to_string(port)] {
                addrinfo hints{};
                hints.ai_socktype = SOCK_STREAM;
                hints.ai_flags = AI_ADDRCONFIG;
                addrinfo *list = nullptr;
                int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
                std::lock_guard<std::mutex> lock(lookup->m_mutex);
                lookup->m_rc = rc;
                lookup->m_list = list;
                uint64_t one = 1;
                if (write(lookup->m_done, &one, sizeof one) != sizeof one)
                    lookup->m_rc = EAI_SYSTEM;  // an eventfd write fails only on overflow
            }).detach();
        } catch (const std::system_error &e) {
            Fail(ProbeFailure::NameResolution, e.what());
        }
        clock.Wait(lookup->m_done, POLLIN, ProbeFailure::NameResolution, "name resolution");
        std::lock_guard<std::mutex> lock(lookup->m_mutex);
        if (lookup->m_rc != 0)
            Fail(lookup->m_rc == EAI_SYSTEM ? ProbeFailure::Connection : ProbeFailure::NameResolution,
                 gai_strerror(lookup->m_rc));
        *keep = lookup;
        return lookup->m_list;
    }

private:
    std::mutex m_mutex;
    int m_done;
    int m_rc = EAI_SYSTEM;
    addrinfo *m_list = nullptr;
};

std::string Joined(const std::vector<std::string> &lines)
{
    std::string out;
    for (const auto &l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

bool IsAgain(ssize_t n) { return n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED; }

// One SMTP conversation over a non-blocking socket, in clear or through
// GnuTLS. Every failure throws Halt.
class Conversation {
public:
    explicit Conversation(const Clockwork &clock) : m_clock(clock) {}
    ~Conversation()
    {
        if (m_session) {
            if (m_secured)
                gnutls_bye(m_session, GNUTLS_SHUT_WR);  // once; the socket does not wait
            gnutls_deinit(m_session);
        }
        if (m_creds)
            gnutls_certificate_free_credentials(m_creds);
        if (m_fd >= 0)
            close(m_fd);
    }

    void Connect(const std::string &host, int port)
    {
        std::shared_ptr<Lookup> keep;
        addrinfo *list = Lookup::Resolve(host, port, m_clock, &keep);
        std::string error = "no address";
        for (addrinfo *a = list; a && m_fd < 0; a = a->ai_next) {
            int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
            if (fd < 0)
                continue;
            int err = 0;
            if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
                err = errno;
                if (err == EINPROGRESS) {
                    try {
                        m_clock.Wait(fd, POLLOUT, ProbeFailure::Connection, "connection");
                    } catch (...) {
                        close(fd);
                        throw;
                    }
                    socklen_t len = sizeof err;
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                }
            }
            if (err) {
                error = strerror(err);
                close(fd);
                continue;
            }
            m_fd = fd;
        }
        if (m_fd < 0)
            Fail(ProbeFailure::Connection, error);
    }

    // TLS over the connection. The certificate is checked against the
    // account's file alone when it names one (msmtp's tls_trust_file takes
    // the place of the system's certificates), else against the system's;
    // and against the server's name.
    void StartTls(const std::string &host, const std::string &ca_file)
    {
        gnutls_certificate_allocate_credentials(&m_creds);
        if (!ca_file.empty()) {
            if (gnutls_certificate_set_x509_trust_file(m_creds, ca_file.c_str(), GNUTLS_X509_FMT_PEM) <= 0)
                Fail(ProbeFailure::TlsCertificate, "no certificate read from " + ca_file);
        } else if (!g_system_trust_for_testing.empty()) {
            gnutls_certificate_set_x509_trust_file(m_creds, g_system_trust_for_testing.c_str(), GNUTLS_X509_FMT_PEM);
        } else {
            gnutls_certificate_set_x509_system_trust(m_creds);
        }
        gnutls_init(&m_session, GNUTLS_CLIENT | GNUTLS_NONBLOCK);
        gnutls_set_default_priority(m_session);
        gnutls_credentials_set(m_session, GNUTLS_CRD_CERTIFICATE, m_creds);
        in6_addr ip;
        bool literal = inet_pton(AF_INET, host.c_str(), &ip) == 1 || inet_pton(AF_INET6, host.c_str(), &ip) == 1;
        if (!literal)
            gnutls_server_name_set(m_session, GNUTLS_NAME_DNS, host.data(), host.size());
        gnutls_session_set_verify_cert(m_session, host.c_str(), 0);
        gnutls_transport_set_int(m_session, m_fd);
        // The test's own deadline governs, not GnuTLS's.
        gnutls_handshake_set_timeout(m_session, GNUTLS_INDEFINITE_TIMEOUT);
        int rc;
        for (;;) {
            m_clock.Check(ProbeFailure::Timeout, "TLS handshake");
            rc = gnutls_handshake(m_session);
            if (IsAgain(rc))
                WaitTls("TLS handshake");
            else if (rc >= 0 || gnutls_error_is_fatal(rc))
                break;
        }
        if (rc == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
            std::string why = "certificate not trusted";
            gnutls_datum_t text{};
            unsigned status = gnutls_session_get_verify_cert_status(m_session);
            if (gnutls_certificate_verification_status_print(status, gnutls_certificate_type_get(m_session), &text,
                                                             0) == 0) {
                why.assign(reinterpret_cast<char *>(text.data), text.size);
                gnutls_free(text.data);
            }
            Fail(ProbeFailure::TlsCertificate, why);
        }
        if (rc < 0)
            Fail(ProbeFailure::Tls, gnutls_strerror(rc));
        m_secured = true;
    }

    void Send(const std::string &line, const char *what)
    {
        std::string data = line + "\r\n";
        size_t done = 0;
        while (done < data.size()) {
            m_clock.Check(ProbeFailure::Timeout, what);
            ssize_t n = m_session ? gnutls_record_send(m_session, data.data() + done, data.size() - done)
                                  : send(m_fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (m_session ? IsAgain(n) : n < 0 && (errno == EAGAIN || errno == EINTR)) {
                m_session ? WaitTls(what) : m_clock.Wait(m_fd, POLLOUT, ProbeFailure::Timeout, what);
                continue;
            }
            if (n <= 0)
                Broke(n);
            done += static_cast<size_t>(n);
        }
    }

    // Reads one reply (all its lines); its code.
    int Reply(std::vector<std::string> *lines, const char *what)
    {
        lines->clear();
        size_t size = 0;
        for (;;) {
            std::string line = ReadLine(what);
            if ((size += line.size() + 1) > 64 * 1024)  // a server that never ends its reply
                Fail(ProbeFailure::Protocol, "a reply longer than 64 KiB");
            lines->push_back(line);
            if (line.size() < 3 || !g_ascii_isdigit(line[0]) || !g_ascii_isdigit(line[1]) ||
                !g_ascii_isdigit(line[2]))
                Fail(ProbeFailure::Protocol, Joined(*lines));
            // "250" alone is a whole last line, as "250 " is.
            if (line.size() == 3 || line[3] != '-')
                return atoi(line.substr(0, 3).c_str());
        }
    }

    // Forgets what came before TLS: a line injected after the STARTTLS
    // answer must not pass for the server's answer inside TLS.
    void DropBuffered() { m_buffer.clear(); }

private:
    std::string ReadLine(const char *what)
    {
        for (;;) {
            size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buffer.substr(0, nl);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                m_buffer.erase(0, nl + 1);
                return line;
            }
            if (m_buffer.size() > 64 * 1024)
                Fail(ProbeFailure::Protocol, "a reply line longer than 64 KiB");
            m_clock.Check(ProbeFailure::Timeout, what);
            char buf[4096];
            ssize_t n = m_session ? gnutls_record_recv(m_session, buf, sizeof buf) : recv(m_fd, buf, sizeof buf, 0);
            if (m_session ? IsAgain(n) : n < 0 && (errno == EAGAIN || errno == EINTR)) {
                m_session ? WaitTls(what) : m_clock.Wait(m_fd, POLLIN, ProbeFailure::Timeout, what);
                continue;
            }
            if (m_session && n < 0 && !gnutls_error_is_fatal(static_cast<int>(n)))
                continue;  // a warning alert, a renegotiation asked for
            if (n <= 0)
                Broke(n);
            m_buffer.append(buf, static_cast<size_t>(n));
        }
    }

    void WaitTls(const char *what)
    {
        m_clock.Wait(m_fd, gnutls_record_get_direction(m_session) ? POLLOUT : POLLIN, ProbeFailure::Timeout, what);
    }

    [[noreturn]] void Broke(ssize_t n)
    {
        if (n == 0 || (m_session && n == GNUTLS_E_PREMATURE_TERMINATION))
            Fail(ProbeFailure::Broken, "the server closed the connection");
        Fail(ProbeFailure::Broken, m_session ? gnutls_strerror(static_cast<int>(n)) : strerror(errno));
    }

    const Clockwork &m_clock;
    int m_fd = -1;
    gnutls_session_t m_session = nullptr;
    gnutls_certificate_credentials_t m_creds = nullptr;
    bool m_secured = false;
    std::string m_buffer;
};

// The words after "AUTH" in an EHLO reply, upper case; empty when none.
std::vector<std::string> AuthMethods(const std::vector<std::string> &ehlo)
{
    std::vector<std::string> methods;
    for (const auto &line : ehlo) {
        if (line.size() < 9)
            continue;
        std::string rest = line.substr(4);
        for (auto &c : rest)
            c = g_ascii_toupper(c);
        if (rest.rfind("AUTH", 0) != 0 || (rest.size() > 4 && rest[4] != ' ' && rest[4] != '='))
            continue;
        size_t pos = 5;
        while (pos < rest.size()) {
            size_t end = rest.find(' ', pos);
            if (end == std::string::npos)
                end = rest.size();
            if (end > pos)
                methods.push_back(rest.substr(pos, end - pos));
            pos = end + 1;
        }
    }
    return methods;
}

bool Offers(const std::vector<std::string> &ehlo, const char *keyword)
{
    for (const auto &line : ehlo)
        if (line.size() > 4 && g_ascii_strncasecmp(line.c_str() + 4, keyword, strlen(keyword)) == 0)
            return true;
    return false;
}

std::string Base64(const std::string &data)
{
    gchar *b = g_base64_encode(reinterpret_cast<const guchar *>(data.data()), data.size());
    std::string out(b);
    g_free(b);
    return out;
}

void Converse(Conversation &c, const SmtpAccount &account, const std::string &password)
{
    c.Connect(account.server, account.port);
    if (account.security == SmtpSecurity::Tls)
        c.StartTls(account.server, account.ca_file);
    std::vector<std::string> lines;
    if (c.Reply(&lines, "the server's greeting") != 220)
        Fail(ProbeFailure::Protocol, Joined(lines));
    c.Send("EHLO localhost", "EHLO");
    if (c.Reply(&lines, "EHLO") != 250)
        Fail(ProbeFailure::Protocol, Joined(lines));
    if (account.security == SmtpSecurity::StartTls) {
        if (!Offers(lines, "STARTTLS"))
            Fail(ProbeFailure::NoStartTls, Joined(lines));
        c.Send("STARTTLS", "STARTTLS");
        if (c.Reply(&lines, "STARTTLS") != 220)
            Fail(ProbeFailure::NoStartTls, Joined(lines));
        c.DropBuffered();
        c.StartTls(account.server, account.ca_file);
        c.Send("EHLO localhost", "EHLO");
        if (c.Reply(&lines, "EHLO") != 250)
            Fail(ProbeFailure::Protocol, Joined(lines));
    }
    if (!account.user.empty()) {
        std::vector<std::string> methods = AuthMethods(lines);
        auto has = [&](const char *m) { return std::find(methods.begin(), methods.end(), m) != methods.end(); };
        int code = 0;
        if (has("PLAIN")) {
            std::string token = std::string(1, '\0') + account.user + std::string(1, '\0') + password;
            c.Send("AUTH PLAIN " + Base64(token), "login");
            code = c.Reply(&lines, "login");
        } else if (has("LOGIN")) {
            c.Send("AUTH LOGIN", "login");
            if ((code = c.Reply(&lines, "login")) == 334) {
                c.Send(Base64(account.user), "login");
                if ((code = c.Reply(&lines, "login")) == 334) {
                    c.Send(Base64(password), "login");
                    code = c.Reply(&lines, "login");
                }
            }
        } else {
            Fail(ProbeFailure::NoAuthMethod, Joined(lines));
        }
        if (code != 235)
            Fail(ProbeFailure::Authentication, Joined(lines));
    }
    try {
        c.Send("QUIT", "QUIT");
        c.Reply(&lines, "QUIT");
    } catch (const Halt &) {
        // The test passed; how the server says goodbye does not matter.
    }
}

}  // namespace

ProbeStop::ProbeStop() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ProbeStop::~ProbeStop()
{
    if (m_fd >= 0)
        close(m_fd);
}

void ProbeStop::Stop()
{
    uint64_t one = 1;
    if (m_fd >= 0 && write(m_fd, &one, sizeof one) != sizeof one) {
        // Only an overflowing count fails, and it is readable then anyway.
    }
}

ProbeResult ProbeAccount(const SmtpAccount &account, const std::string &password, std::chrono::milliseconds deadline,
                         const ProbeStop *stop)
{
    Clockwork clock(deadline, stop);
    try {
        Conversation c(clock);
        Converse(c, account, password);
    } catch (const Halt &h) {
        return h.result;
    }
    return {};
}

void SetSystemTrustForTesting(const std::string &pem_file) { g_system_trust_for_testing = pem_file; }

}  // namespace mailsys
