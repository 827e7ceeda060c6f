#include "account.h"

#include "fsutil.h"
#include "maildir.h"

#include "cp932/cp932.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mailsys {

const char *SecurityWord(SmtpSecurity security)
{
    switch (security) {
    case SmtpSecurity::Tls:
        return "tls";
    case SmtpSecurity::None:
        return "none";
    case SmtpSecurity::StartTls:
        break;
    }
    return "starttls";
}

SmtpSecurity ParseSecurity(const std::string &word)
{
    if (word == "tls" || word == "TLS")
        return SmtpSecurity::Tls;
    if (word == "none" || word == "NONE")
        return SmtpSecurity::None;
    return SmtpSecurity::StartTls;
}

int DefaultPort(SmtpSecurity security)
{
    switch (security) {
    case SmtpSecurity::Tls:
        return 465;
    case SmtpSecurity::None:
        return 25;
    case SmtpSecurity::StartTls:
        break;
    }
    return 587;
}

bool ReadAccountKey(const std::string &key, const std::string &value, SmtpAccount *account)
{
    if (key == "smtp_server")
        account->server = value;
    else if (key == "smtp_port")
        account->port = value.empty() ? 0 : atoi(value.c_str());
    else if (key == "smtp_security")
        account->security = ParseSecurity(value);
    else if (key == "smtp_user")
        account->user = value;
    else if (key == "smtp_ca_file")
        account->ca_file = value.empty() ? value : ExpandHome(value);
    else
        return false;
    return true;
}

std::string AccountSection(const SmtpAccount &a)
{
    std::ostringstream o;
    o << "# The SMTP account mail is sent through (by msmtp) when send_command is\n"
         "# empty. smtp_security: starttls, tls or none (none only for this machine).\n"
         "# The password is kept in the desktop keyring, never here.\n"
         "[account]\n"
      << "smtp_server = " << a.server << "\n"
      << "smtp_port = " << a.port << "\n"
      << "smtp_security = " << SecurityWord(a.security) << "\n"
      << "smtp_user = " << a.user << "\n"
      << "smtp_ca_file = " << a.ca_file << "\n";
    return o.str();
}

bool IsLocalHost(const std::string &server)
{
    if (server == "localhost" || server == "localhost.localdomain" || server == "::1" || server == "[::1]")
        return true;
    in_addr v4;
    return inet_pton(AF_INET, server.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

namespace {

// A host name (letters, digits, '-', '.'; at most 253 characters, each
// label at most 63, as DNS carries them), or an IPv4 or IPv6 address.
bool ValidServer(const std::string &s)
{
    if (s.empty() || s.size() > 253)
        return false;
    in6_addr v6;
    if (inet_pton(AF_INET6, s.c_str(), &v6) == 1)
        return true;
    if (s.front() == '.' || s.front() == '-' || s.back() == '-' || s.find("..") != std::string::npos)
        return false;
    size_t label = 0;
    for (unsigned char c : s) {
        if (!(isalnum(c) || c == '-' || c == '.'))
            return false;
        label = c == '.' ? 0 : label + 1;
        if (label > 63)
            return false;
    }
    return true;
}

// Text msmtp's configuration can carry: one line of valid UTF-8 without
// control characters (the profile and the dialogs hold nothing else).
bool Carried(const std::string &s)
{
    for (unsigned char c : s)
        if (c < ' ' || c == 0x7F)
            return false;
    return cp932::IsValidUtf8(s);
}

// A value for msmtp's configuration. msmtp takes an argument that begins
// and ends with a double quote as the text between them, verbatim: no
// character inside is an escape, '"' and '#' included. So the value is
// written between quotes exactly as it is.
std::string Quoted(const std::string &s) { return "\"" + s + "\""; }

}  // namespace

AccountProblem CheckAccount(const SmtpAccount &a)
{
    if (a.server.empty())
        return AccountProblem::NoServer;
    if (!ValidServer(a.server))
        return AccountProblem::BadServer;
    if (a.port < 1 || a.port > 65535)
        return AccountProblem::BadPort;
    if (a.security == SmtpSecurity::None && !IsLocalHost(a.server))
        return AccountProblem::UnprotectedRemote;
    if (!Carried(a.user) || a.user.size() > 256)
        return AccountProblem::BadUser;
    // An absolute path: msmtp would read a leading '~' as the home, and the
    // word "system" as the system's certificates.
    if (!a.ca_file.empty() && (!Carried(a.ca_file) || a.ca_file[0] != '/' || !FileExists(a.ca_file)))
        return AccountProblem::BadCaFile;
    return AccountProblem::None;
}

bool UsesAccount(const Profile &p)
{
    return p.send_command.empty() && CheckAccount(p.account) == AccountProblem::None;
}

bool AccountNeedsPassword(const Profile &p) { return UsesAccount(p) && !p.account.user.empty(); }

std::string MsmtpConfigPath() { return ConfigHome() + "/tegamiya-mail/msmtprc"; }

std::string HandOffConfigFolder() { return ConfigHome() + "/tegamiya-mail/handoff"; }

std::string MsmtpConfigText(const Profile &p)
{
    const SmtpAccount &a = p.account;
    std::ostringstream o;
    o << "# msmtp configuration of one hand-off of the Tegamiya mail system,\n"
         "# written from the [account] section of profile.conf and removed when the\n"
         "# hand-off ends. No password is kept here: msmtp finds it in the desktop\n"
         "# keyring (attributes host, service \"smtp\", user), or the mail system\n"
         "# hands it over when there is no keyring.\n"
         "defaults\n"
         "timeout 60\n"
         "syslog off\n"
         "\n"
         "account tegamiya\n"
      << "host " << Quoted(a.server) << "\n"
      << "port " << a.port << "\n"
      << "from " << Quoted(p.sender_address) << "\n"
      << "tls " << (a.security == SmtpSecurity::None ? "off" : "on") << "\n"
      << "tls_starttls " << (a.security == SmtpSecurity::StartTls ? "on" : "off") << "\n"
      << "tls_trust_file " << (a.ca_file.empty() ? std::string("system") : Quoted(a.ca_file)) << "\n"
      // Without TLS msmtp offers PLAIN and LOGIN only when named; such an
      // account reaches this machine only.
      << "auth " << (a.user.empty() ? "off" : a.security == SmtpSecurity::None ? "plain" : "on") << "\n";
    if (!a.user.empty())
        o << "user " << Quoted(a.user) << "\n";
    o << "\naccount default : tegamiya\n";
    return o.str();
}

int WriteMsmtpConfig(const Profile &)
{
    // Every hand-off writes its own configuration now; the one file earlier
    // versions shared between all processes goes.
    std::string path = MsmtpConfigPath();
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

HandOffConfig::~HandOffConfig()
{
    if (!m_path.empty())
        unlink(m_path.c_str());
}

int HandOffConfig::Write(const Profile &p)
{
    if (!UsesAccount(p))
        return EINVAL;
    std::string folder = HandOffConfigFolder();
    if (!MakeDirs(folder))
        return errno ? errno : EIO;
    if (chmod(folder.c_str(), 0700) != 0)
        return errno;
    // Files of hand-offs whose process died.
    for (const auto &name : ListDir(folder)) {
        size_t dash = name.find('-');
        if (dash != std::string::npos && !OwnerRuns(name.substr(0, dash)))
            unlink((folder + "/" + name).c_str());
    }
    // Its name ends in "msmtprc": Debian's AppArmor profile for msmtp lets
    // it read such files under the home. mkstemps makes it 0600.
    std::string path = folder + "/" + ThisProcessOwner() + "-XXXXXX.msmtprc";
    int fd = mkstemps(path.data(), 8);
    if (fd < 0)
        return errno;
    std::string text = MsmtpConfigText(p);
    int err = WriteAll(fd, text.data(), text.size());
    if (close(fd) != 0 && !err)
        err = errno;
    if (err) {
        unlink(path.c_str());
        return err;
    }
    m_path = path;
    return 0;
}

std::string ShellQuote(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string HandOffCommand(const Profile &p, const std::string &config, bool password_on_fd3,
                           const std::vector<std::string> &envelope)
{
    std::string recipients;
    for (const std::string &a : envelope)
        recipients += " " + ShellQuote(a);
    if (!p.send_command.empty()) {
        if (envelope.empty())
            return p.send_command;
        std::string command, word;
        std::istringstream words(p.send_command);
        // Only plain words are looked at: a command with quotes is kept whole.
        if (p.send_command.find_first_of("'\"\\") != std::string::npos)
            return p.send_command + recipients;
        while (words >> word)
            if (word != "-t" && word != "--read-recipients")
                command += (command.empty() ? "" : " ") + word;
        return command + recipients;
    }
    if (!UsesAccount(p) || config.empty())
        return "";
    std::string command = "msmtp -C " + ShellQuote(config);
    if (envelope.empty())
        command += " -t";
    if (password_on_fd3)
        command += " --passwordeval='cat <&3'";
    return envelope.empty() ? command : command + " --" + recipients;
}

}  // namespace mailsys
