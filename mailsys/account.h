// The SMTP account of the profile and the msmtp configuration written from
// it: mail is delivered by msmtp, which reads that file and finds the
// password in the desktop keyring (or is handed it by the mail system).
#pragma once

#include "profile.h"

#include <string>
#include <vector>

namespace mailsys {

// "starttls", "tls", "none" and back; an unknown word reads as StartTls.
const char *SecurityWord(SmtpSecurity security);
SmtpSecurity ParseSecurity(const std::string &word);

// The port a security usually has: 587 for STARTTLS, 465 for TLS, 25 for none.
int DefaultPort(SmtpSecurity security);

// Takes one key of the profile's [account] section; false for other keys.
bool ReadAccountKey(const std::string &key, const std::string &value, SmtpAccount *account);

// The [account] section as SaveProfile writes it.
std::string AccountSection(const SmtpAccount &account);

// True for a name or address of this machine: localhost, 127.0.0.0/8, ::1.
bool IsLocalHost(const std::string &server);

// What is wrong with an account, or None. A connection without encryption
// is allowed to this machine only, so that no password crosses a network
// in clear.
enum class AccountProblem { None, NoServer, BadServer, BadPort, UnprotectedRemote, BadUser, BadCaFile };
AccountProblem CheckAccount(const SmtpAccount &account);

// True when the profile delivers through its account: a server is set, the
// account is sound and no hand-written send_command takes precedence.
bool UsesAccount(const Profile &profile);

// True when delivering through the account needs a password.
bool AccountNeedsPassword(const Profile &profile);

// The text of the msmtp configuration for a profile with an account. Each
// value is written so that msmtp reads it back byte for byte; what msmtp
// could not carry (control characters, text that is not UTF-8) CheckAccount
// refuses before.
std::string MsmtpConfigText(const Profile &profile);

// msmtp's configuration for one hand-off: a 0600 file of its own in a 0700
// folder (<config home>/tegamiya-mail/handoff/), written from the profile
// the hand-off was started for and removed with this object. So no process
// reads an account another process wrote. Files left by a process that
// died are removed by the next hand-off.
class HandOffConfig {
public:
    HandOffConfig() = default;
    HandOffConfig(const HandOffConfig &) = delete;
    HandOffConfig &operator=(const HandOffConfig &) = delete;
    ~HandOffConfig();
    // Returns 0 or an errno (EINVAL: the profile delivers through no account).
    int Write(const Profile &profile);
    const std::string &Path() const { return m_path; }

private:
    std::string m_path;
};

// The folder of the hand-offs' configurations.
std::string HandOffConfigFolder();

// <config home>/tegamiya-mail/msmtprc, the configuration earlier versions
// shared between all processes.
std::string MsmtpConfigPath();

// Removes that shared file (kept for callers of before; nothing reads it).
// Returns 0 or an errno.
int WriteMsmtpConfig(const Profile &profile);

// The command that hands one mail (on standard input) to the server: the
// profile's send_command when it has one, else msmtp with the given
// configuration file, else "" (mail waits in the outbox). With
// `password_on_fd3`, msmtp reads the password from file descriptor 3
// instead of the keyring.
// With an `envelope` (a mail written per pictograph form), the recipients
// are given as arguments instead of being read from the headers: msmtp gets
// them after "--" in place of -t; a send_command gets them appended, its
// words "-t" and "--read-recipients" dropped.
std::string HandOffCommand(const Profile &profile, const std::string &config, bool password_on_fd3,
                           const std::vector<std::string> &envelope = {});

// The text quoted for /bin/sh.
std::string ShellQuote(const std::string &text);

}  // namespace mailsys
