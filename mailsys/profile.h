// The per-user profile of the mail system: who sends, where mail is kept,
// where the address book lies and how mail is handed on.
#pragma once

#include <string>

namespace mailsys {

struct Profile {
    std::string sender_name;     // UTF-8; may be empty
    std::string sender_address;  // user@host
    std::string outbox;          // Maildir of mail waiting to go out
    std::string sent;            // Maildir of mail handed on
    std::string address_book;    // a .vcf file or a folder of them
    std::string send_command;    // sendmail-compatible command; empty: none
    int send_timeout = 120;      // seconds the send command may take
};

// $XDG_CONFIG_HOME (or ~/.config) and $XDG_DATA_HOME (or ~/.local/share).
std::string ConfigHome();
std::string DataHome();

// The profile file: <config home>/tegamiya-mail/profile.conf.
std::string ProfilePath();

// A profile with the default folders and no sender.
Profile DefaultProfile();

enum class ProfileLoad { Ok, Missing, Invalid };

// Reads the profile file into *profile (defaults for what it does not say).
// Invalid: the file exists but cannot be read or names no valid sender.
ProfileLoad LoadProfile(Profile *profile);

// Writes the profile file atomically (temporary file, fsync, rename).
bool SaveProfile(const Profile &profile);

// True for a bare mail address "local@domain" without spaces or brackets.
bool IsPlainAddress(const std::string &address);

// "~/x" and "$HOME/x" are expanded; other paths are taken as written.
std::string ExpandHome(const std::string &path);

}  // namespace mailsys
