// Reading a Maildir (outbox, failed or sent) into rows for the outbox
// window, and a mail's text for reading. No windows here.
#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>
#include <unordered_map>
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
    // False while the names of a multipart mail's attachments are not read
    // yet (they lie between its parts, after the bodies: see MailListCache).
    bool attachments_known = true;
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

// The rows of one Maildir kept from one reading to the next, so that a
// window can read the folder again whenever it is turned to. A mail is read
// again only when its file changed (size, modification time or inode); a
// mail renamed (new/ to cur/, other flags) keeps what was read. A new or
// changed mail is read up to the end of its header block only: date, To,
// subject, and for a mail of one part its attachment name. The attachment
// names of a multipart mail need its whole file (each part's headers follow
// the body before it), so they are read on demand, for the rows on screen.
class MailListCache {
public:
    // As ListMaildir, but a multipart mail not read before comes with
    // attachments_known false.
    std::vector<MailRow> List(const std::string &maildir, bool with_cur = true);
    // Reads a row's attachment names from its file and keeps them.
    void ReadAttachments(MailRow *row);
    // How many times a mail file was opened and read (headers or whole).
    size_t Reads() const { return m_reads; }

private:
    struct Entry {
        unsigned long long size = 0;
        long long mtime_ns = 0;
        ino_t inode = 0;
        unsigned generation = 0;  // the listing that last saw the file
        MailRow row;
    };
    std::unordered_map<std::string, Entry> m_entries;  // by unique name
    unsigned m_generation = 0;
    size_t m_reads = 0;
};

// The header block of a mail file, up to and with the blank line that ends
// it (LF or CR LF line ends); the body is not read. Empty for a file that
// starts with a blank line; a header block over 1 MiB is cut there. False
// when the file cannot be opened.
bool ReadHeaderBlock(const std::string &path, std::string *out);

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
