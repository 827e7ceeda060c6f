// Reading a Maildir (outbox, failed or sent) into rows for the outbox
// window, and a mail's text for reading. No windows here.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace mailsys {

struct MailRow {
    std::string id;           // the file's unique name without ":2,..." flags
    std::string path;         // the file under new/ or cur/
    time_t date = 0;          // the Date header (0 when missing or unreadable)
    std::string to;           // UTF-8, as "Name <addr>, addr"
    std::string subject;      // UTF-8; Shift_JIS words decoded as CP932, pictographs in the private-use area
    unsigned long long size = 0;  // bytes of the file
    std::string attachments;  // UTF-8 file names joined by ", "; empty: none
    std::string form = "docomo";  // the form its pictographs are in (docomo, unicode, text)
    // Failed mail only (ListFolder fills them): why the hand-off failed, the
    // English phrase (empty: not known) and the send program's last word.
    std::string failure, failure_detail;
};

// The mails of a Maildir, oldest first: new/ and, with `with_cur`, cur/
// (an outbox's cur/ holds mail that went out but could not be filed under
// Sent: it is not waiting). A missing folder gives none; a file that is no
// mail still gets a row (its name and size).
std::vector<MailRow> ListMaildir(const std::string &maildir, bool with_cur = true);

// Decodes a header value's RFC 2047 encoded words to UTF-8. Words labelled
// Shift_JIS (or CP932, Windows-31J) are read as CP932, so that pictographs
// survive; text outside words is taken as UTF-8.
std::string DecodeHeaderText(const std::string &raw);

// The mail as a reader shows it: From, To, Cc, Date, Subject lines and the
// first text part decoded, all UTF-8. Empty when the file cannot be read.
std::string MailText(const std::string &path);

// Date as "YYYY/MM/DD HH:MM" in local time; "" for 0.
std::string FormatDate(time_t date);

}  // namespace mailsys
