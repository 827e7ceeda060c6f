// Builds one standard MIME message (RFC 5322 / 2045-2049) from what a
// caller handed to MAPISendMail, with GMime.
#pragma once

#include "pictographs.h"

#include <ctime>
#include <string>
#include <vector>

namespace mailsys {

struct Mailbox {
    std::string name;     // UTF-8; may be empty
    std::string address;  // user@host
};

struct Attachment {
    std::string file_name;     // UTF-8 name the recipient sees
    std::string data;          // the file's bytes
    std::string content_type;  // from the contents: image/jpeg, image/bmp, ...
};

struct OutgoingMail {
    Mailbox from;
    std::vector<Mailbox> to, cc, bcc;
    std::string subject;  // CP932 bytes
    std::string body;     // CP932 bytes, sent unchanged in the docomo form
    std::vector<Attachment> attachments;
    // The form the pictographs of subject, body and attachment names take.
    PictographForm form = PictographForm::Docomo;
    // When not empty, the mail goes to exactly these addresses rather than
    // to the recipients of its headers, and has no Bcc line (see envelope.h).
    std::vector<std::string> envelope;
};

// The mails that carry one mail to recipients who need different forms:
// one per form, in the order the forms first appear among To, Cc and Bcc.
// Each shows the To and Cc of `mail` and goes to the recipients of its form
// (its envelope); when all share one form, `mail` alone in that form, with no
// envelope of its own (its headers name its recipients, as always).
std::vector<OutgoingMail> SplitByForm(const OutgoingMail &mail, const std::vector<PictographRule> &rules);

// Content type of a file judged from its first bytes.
std::string SniffContentType(const std::string &data);

// Subject header value: ASCII as it is, otherwise RFC 2047 "B" encoded words
// labelled Shift_JIS that carry the CP932 bytes unchanged, each split at a
// character boundary and at most 75 characters long, joined by folds.
std::string EncodeSubject(const std::string &cp932);

// The subject in a form: docomo and text as above (text with the names in
// place of the pictographs); unicode as UTF-8 encoded words unless ASCII.
std::string EncodeSubject(const std::string &cp932, PictographForm form);

// RFC 2047 "B" encoded words in the charset named ("Shift_JIS" for CP932
// bytes, "UTF-8"), each at most 75 characters and holding whole characters,
// joined by folds.
std::string EncodedWords(const std::string &text, const std::string &charset);

// The whole message, lines ending in LF (the local form of a Maildir file),
// preceded by the delivery lines of its form and envelope (envelope.h).
std::string BuildMessage(const OutgoingMail &mail, time_t now, const std::string &message_id);

// A unique Message-ID (without angle brackets) for the sender's domain.
std::string NewMessageId(const std::string &sender_address);

// Initialises GMime once per process.
void EnsureGMime();

}  // namespace mailsys
