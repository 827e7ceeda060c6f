#include "smtp_probe.h"

#include <glib.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace mailsys {

namespace {

// One SMTP conversation over a socket, in clear or through GnuTLS.
class Conversation {
public:
    explicit Conversation(int timeout) : m_timeout(timeout) {}
    ~Conversation()
    {
        if (m_session) {
            gnutls_bye(m_session, GNUTLS_SHUT_WR);
            gnutls_deinit(m_session);
        }
        if (m_creds)
            gnutls_certificate_free_credentials(m_creds);
        if (m_fd >= 0)
            close(m_fd);
    }

    ProbeResult Connect(const std::string &host, int port)
    {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo *list = nullptr;
        std::string service = std::to_string(port);
        int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        if (rc != 0)
            return {rc == EAI_SYSTEM ? ProbeFailure::Connection : ProbeFailure::NameResolution, gai_strerror(rc)};
        std::string error = "no address";
        for (addrinfo *a = list; a && m_fd < 0; a = a->ai_next) {
            int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
            if (fd < 0)
                continue;
            int err = 0;
            if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
                err = errno;
                if (err == EINPROGRESS) {
                    pollfd p{fd, POLLOUT, 0};
                    int n = poll(&p, 1, m_timeout * 1000);
                    socklen_t len = sizeof err;
                    if (n == 1)
                        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    else
                        err = ETIMEDOUT;
                }
            }
            if (err) {
                error = strerror(err);
                close(fd);
                continue;
            }
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            timeval tv{m_timeout, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
            m_fd = fd;
        }
        freeaddrinfo(list);
        if (m_fd < 0)
            return {ProbeFailure::Connection, error};
        return {};
    }

    // TLS over the connection, the certificate checked against the system's
    // trusted ones (and `ca_file`) and the server's name.
    ProbeResult StartTls(const std::string &host, const std::string &ca_file)
    {
        gnutls_certificate_allocate_credentials(&m_creds);
        gnutls_certificate_set_x509_system_trust(m_creds);
        if (!ca_file.empty() && gnutls_certificate_set_x509_trust_file(m_creds, ca_file.c_str(), GNUTLS_X509_FMT_PEM) < 0)
            return {ProbeFailure::TlsCertificate, "cannot read " + ca_file};
        gnutls_init(&m_session, GNUTLS_CLIENT);
        gnutls_set_default_priority(m_session);
        gnutls_credentials_set(m_session, GNUTLS_CRD_CERTIFICATE, m_creds);
        in6_addr ip;
        bool literal = inet_pton(AF_INET, host.c_str(), &ip) == 1 || inet_pton(AF_INET6, host.c_str(), &ip) == 1;
        if (!literal)
            gnutls_server_name_set(m_session, GNUTLS_NAME_DNS, host.data(), host.size());
        gnutls_session_set_verify_cert(m_session, host.c_str(), 0);
        gnutls_transport_set_int(m_session, m_fd);
        gnutls_handshake_set_timeout(m_session, static_cast<unsigned>(m_timeout) * 1000);
        int rc;
        do {
            rc = gnutls_handshake(m_session);
        } while (rc < 0 && !gnutls_error_is_fatal(rc));
        if (rc == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
            std::string why = "certificate not trusted";
            gnutls_datum_t text{};
            unsigned status = gnutls_session_get_verify_cert_status(m_session);
            if (gnutls_certificate_verification_status_print(status, gnutls_certificate_type_get(m_session), &text,
                                                             0) == 0) {
                why.assign(reinterpret_cast<char *>(text.data), text.size);
                gnutls_free(text.data);
            }
            return {ProbeFailure::TlsCertificate, why};
        }
        if (rc < 0)
            return {ProbeFailure::Tls, gnutls_strerror(rc)};
        return {};
    }

    bool Send(const std::string &line)
    {
        std::string data = line + "\r\n";
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = m_session ? gnutls_record_send(m_session, data.data() + done, data.size() - done)
                                  : send(m_fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n == GNUTLS_E_INTERRUPTED || n == GNUTLS_E_AGAIN || (n < 0 && !m_session && errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads one reply (all its lines); the code, or 0 when none came.
    int Reply(std::vector<std::string> *lines)
    {
        lines->clear();
        for (;;) {
            std::string line;
            if (!ReadLine(&line) || line.size() < 3)
                return 0;
            lines->push_back(line);
            if (line.size() == 3 || line[3] != '-')
                return atoi(line.substr(0, 3).c_str());
        }
    }

    void DropBuffered() { m_buffer.clear(); }

private:
    bool ReadLine(std::string *line)
    {
        for (;;) {
            size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                *line = m_buffer.substr(0, nl);
                if (!line->empty() && line->back() == '\r')
                    line->pop_back();
                m_buffer.erase(0, nl + 1);
                return true;
            }
            if (m_buffer.size() > 64 * 1024)
                return false;
            char buf[4096];
            ssize_t n = m_session ? gnutls_record_recv(m_session, buf, sizeof buf) : recv(m_fd, buf, sizeof buf, 0);
            if (n == GNUTLS_E_INTERRUPTED || n == GNUTLS_E_AGAIN || (n < 0 && !m_session && errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            m_buffer.append(buf, static_cast<size_t>(n));
        }
    }

    int m_timeout;
    int m_fd = -1;
    gnutls_session_t m_session = nullptr;
    gnutls_certificate_credentials_t m_creds = nullptr;
    std::string m_buffer;
};

std::string Joined(const std::vector<std::string> &lines)
{
    std::string out;
    for (const auto &l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

// The words after "AUTH" in an EHLO reply, upper case; empty when none.
std::vector<std::string> AuthMethods(const std::vector<std::string> &ehlo)
{
    std::vector<std::string> methods;
    for (const auto &line : ehlo) {
        if (line.size() < 9)
            continue;
        std::string rest = line.substr(4);
        for (auto &c : rest)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
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

}  // namespace

ProbeResult ProbeAccount(const SmtpAccount &account, const std::string &password, int timeout_seconds)
{
    Conversation c(timeout_seconds);
    ProbeResult r = c.Connect(account.server, account.port);
    if (r.failure != ProbeFailure::None)
        return r;
    if (account.security == SmtpSecurity::Tls) {
        r = c.StartTls(account.server, account.ca_file);
        if (r.failure != ProbeFailure::None)
            return r;
    }
    std::vector<std::string> lines;
    if (c.Reply(&lines) != 220)
        return {ProbeFailure::Protocol, Joined(lines)};
    if (!c.Send("EHLO localhost") || c.Reply(&lines) != 250)
        return {ProbeFailure::Protocol, Joined(lines)};
    if (account.security == SmtpSecurity::StartTls) {
        if (!Offers(lines, "STARTTLS"))
            return {ProbeFailure::NoStartTls, Joined(lines)};
        if (!c.Send("STARTTLS") || c.Reply(&lines) != 220)
            return {ProbeFailure::NoStartTls, Joined(lines)};
        c.DropBuffered();  // nothing sent before TLS may be taken after it
        r = c.StartTls(account.server, account.ca_file);
        if (r.failure != ProbeFailure::None)
            return r;
        if (!c.Send("EHLO localhost") || c.Reply(&lines) != 250)
            return {ProbeFailure::Protocol, Joined(lines)};
    }
    if (!account.user.empty()) {
        std::vector<std::string> methods = AuthMethods(lines);
        auto has = [&](const char *m) {
            for (const auto &x : methods)
                if (x == m)
                    return true;
            return false;
        };
        int code = 0;
        if (has("PLAIN")) {
            std::string token = std::string(1, '\0') + account.user + std::string(1, '\0') + password;
            bool sent = c.Send("AUTH PLAIN " + Base64(token));
            code = sent ? c.Reply(&lines) : 0;
        } else if (has("LOGIN")) {
            if (c.Send("AUTH LOGIN") && c.Reply(&lines) == 334 && c.Send(Base64(account.user)) &&
                c.Reply(&lines) == 334 && c.Send(Base64(password)))
                code = c.Reply(&lines);
        } else {
            return {ProbeFailure::NoAuthMethod, Joined(lines)};
        }
        if (code != 235)
            return {code == 0 ? ProbeFailure::Protocol : ProbeFailure::Authentication, Joined(lines)};
    }
    c.Send("QUIT");
    c.Reply(&lines);
    return {};
}

}  // namespace mailsys
