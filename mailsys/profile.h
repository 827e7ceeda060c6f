// The per-user profile of the mail system: who sends, where mail is kept,
// where the address book lies and how mail is handed on.
#pragma once

#include "pictographs.h"

#include <string>
#include <vector>

namespace mailsys {

// How the connection to the SMTP server is protected.
enum class SmtpSecurity { StartTls, Tls, None };

// The SMTP account mail is sent through (with msmtp). No server: none.
// The password is never part of it: it lives in the desktop keyring.
struct SmtpAccount {
    std::string server;   // host name or address; empty: no account
    int port = 587;
    SmtpSecurity security = SmtpSecurity::StartTls;
    std::string user;     // empty: the server asks for no login
    std::string ca_file;  // certificates to trust besides the system's; may be empty
};

struct Profile {
    std::string sender_name;     // UTF-8; may be empty
    std::string sender_address;  // user@host
    std::string outbox;          // Maildir of mail waiting to go out
    std::string sent;            // Maildir of mail handed on
    std::string address_book;    // a .vcf file or a folder of them
    std::string send_command;    // sendmail-compatible command; empty: none
    int send_timeout = 120;      // seconds the send command may take
    SmtpAccount account;         // used when send_command is empty
    // The [pictographs] section: the form each recipient's domain gets.
    std::vector<PictographRule> pictographs = DefaultPictographRules();
};

// $XDG_CONFIG_HOME (or ~/.config) and $XDG_DATA_HOME (or ~/.local/share).
std::string ConfigHome();
std::string DataHome();

// The profile file: <config home>/tegamiya-mail/profile.conf.
std::string ProfilePath();

// A profile with the default folders and no sender.
Profile DefaultProfile();

enum class ProfileLoad { Ok, Missing, Invalid, Refused };

// Reads the profile file into *profile (defaults for what it does not say).
// Invalid: the file exists but cannot be read or names no valid sender.
// Refused: a line of the [pictographs] section is not "pattern = form" with
// a known form; *error (when given) says which line and why. Such a profile
// is the user's and must not be replaced: nothing is sent until it is mended.
ProfileLoad LoadProfile(Profile *profile, std::string *error = nullptr);

// Writes the profile file atomically (temporary file, fsync, rename).
bool SaveProfile(const Profile &profile);

// True for a bare mail address "local@domain" without spaces or brackets.
bool IsPlainAddress(const std::string &address);

// "~/x" and "$HOME/x" are expanded; other paths are taken as written.
std::string ExpandHome(const std::string &path);

}  // namespace mailsys
