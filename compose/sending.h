// Sending a composed mail, without windows: the recipient list, the Simple
// MAPI records (owning every string they point to), the numbered subjects,
// the loop that hands the parts over and stops at the first failure, and the
// texts of the results.
#pragma once

#include "mapi/simple_mapi.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The recipients of one address field: pieces separated by ";" or ",".
// Blanks, ";" and "," at the start of the field are skipped, and every run
// of ";" and "," between two addresses; each remaining piece is kept as it
// is (blanks inside or behind it, and after a separator, stay). A piece of
// blanks only is no recipient. The field is read character by character
// (a trail byte is never a separator), and ";" and "," between double
// quotes belong to the piece ("\"Yamada, Taro\"" is one piece; inside the
// quotes a backslash takes the next character as it is; a quote left open
// runs to the end of the field).
std::vector<std::string> SplitRecipientField(const std::string &field);

// One recipient of the mails (CP932 strings).
struct MailRecipient {
    ULONG recipClass = MAPI_TO;
    std::string name;
    std::optional<std::string> address; // nothing: the mail library resolves the name
    friend bool operator==(const MailRecipient &, const MailRecipient &) = default;
};

// Gives the mail address of a name from the address book, or nothing when
// it does not resolve to one.
using NameResolver = std::function<std::optional<std::string>(const std::string &name)>;

// The address the carrier selection last took, and the To text it took it
// for.
struct KnownRecipient {
    std::string text;
    std::string address;
};

// How a name from the address book goes into an address field so that the
// field splits back into that one name: as it is, or, when it holds ";",
// "," or a double quote, between double quotes with '"' and '\\' escaped
// by a backslash.
std::string RecipientFieldForm(const std::string &name);

// The name a piece stands for: the text of a piece that is one quoted name
// (RecipientFieldForm undone), else the piece as it is. This is the name
// the mail library resolves.
std::string RecipientName(const std::string &piece);

// True when a recipient piece is itself a mail address: it holds an "@"
// (a character of its own, never a trail byte) and is not one quoted name.
bool IsMailAddressPiece(const std::string &piece);

// The recipient list: the To pieces, then CC, then BCC, each named by
// RecipientName (a quoted name without its quotes). Each To piece gets
// its own address: a piece that is a mail address is its own (without the
// blanks around it); a single To piece equal to `known.text` gets
// `known.address`; any other piece is resolved by name (`resolve`, when
// given), and one that does not resolve goes without an address, so that
// the mail library answers with its own error. CC and BCC go without.
std::vector<MailRecipient> BuildRecipientList(const std::string &to, const std::string &cc,
                                              const std::string &bcc, const KnownRecipient &known,
                                              const NameResolver &resolve);

// The address book's preset: the same pieces in the same order, each with
// its name (RecipientName) and no address.
std::vector<MailRecipient> BuildPresetList(const std::string &to, const std::string &cc,
                                           const std::string &bcc);

// A Simple MAPI message record with the records and strings it points to.
// It cannot be copied or moved (the record points into itself).
class MapiMessageRecord {
public:
    // An empty `attachPath` attaches nothing; otherwise one file, not placed
    // in the text, its name the path's own.
    MapiMessageRecord(const std::vector<MailRecipient> &recipients, const std::string &subject,
                      const std::string &noteText, const std::string &attachPath);
    MapiMessageRecord(const MapiMessageRecord &) = delete;
    MapiMessageRecord &operator=(const MapiMessageRecord &) = delete;

    MapiMessage *Get() { return &m_message; }

private:
    std::vector<std::string> m_strings; // names and addresses, in recipient order
    std::vector<MapiRecipDesc> m_recips;
    std::vector<MapiFileDesc> m_files;
    std::string m_subject, m_note, m_path;
    std::string m_dateReceived;
    MapiMessage m_message{};
};

// The subject of mail `number` (from 1) of `total`: "number)subject" when
// the body goes out in more than one mail, else the subject unchanged.
std::string PartSubject(const std::string &subject, size_t number, size_t total);

// Told about the progress of a send.
class SendProgressSink {
public:
    virtual ~SendProgressSink() = default;
    // Mail `done` of `total` has been handed over.
    virtual void PartSent(size_t done, size_t total) = 0;
};

struct SendOutcome {
    bool ok = true;
    size_t sent = 0;      // mails handed over before the first failure (all on success)
    size_t total = 0;
    ULONG code = SUCCESS_SUCCESS; // the failed part's result
};

// Hands the parts over in order through `send` (the part's index from 0 and
// its text) and stops at the first part that fails.
SendOutcome SendParts(const std::vector<std::string> &parts,
                      const std::function<ULONG(size_t index, const std::string &part)> &send,
                      SendProgressSink *sink);

// The message shown for a failed send (English, as the mail system's texts
// are), with a line saying how many mails went out when some did.
std::string SendFailureMessage(const SendOutcome &outcome);

// The text of a MAPISendMail result code.
std::string SendErrorText(ULONG code);

// Whether the progress of a send is to be shown: a hand-off has taken about
// half a second and mails are still being handed over.
bool ShouldShowSendProgress(std::chrono::milliseconds elapsed, size_t partsLeft);
