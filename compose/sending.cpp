#include "compose/sending.h"

#include "app/cp932.h"

#include <algorithm>

namespace {

bool IsSeparator(char c) { return c == ';' || c == ','; }

std::string Trimmed(const std::string &s)
{
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    size_t b = s.find_last_not_of(' ');
    return s.substr(a, b - a + 1);
}

} // namespace

std::vector<std::string> SplitRecipientField(const std::string &field)
{
    std::vector<std::string> pieces;
    size_t i = 0;
    // Blanks and separators at the start of the field.
    while (i < field.size() && (field[i] == ' ' || IsSeparator(field[i])))
        ++i;
    // Character by character: a double-byte character is stepped over whole,
    // and a separator inside quotes belongs to the name.
    while (i < field.size()) {
        size_t end = i;
        bool quoted = false;
        while (end < field.size() && (quoted || !IsSeparator(field[end]))) {
            if (field[end] == '"')
                quoted = !quoted;
            else if (quoted && field[end] == '\\' && end + 1 < field.size())
                ++end; // the escaped character follows
            end += cp932::CharLength(field, end);
        }
        std::string piece = field.substr(i, end - i);
        if (piece.find_first_not_of(' ') != std::string::npos)
            pieces.push_back(std::move(piece));
        i = end;
        while (i < field.size() && IsSeparator(field[i]))
            ++i;
    }
    return pieces;
}

namespace {

// The text between the quotes of a piece that is one quoted name (blanks
// around it allowed), with its escapes undone; nothing for any other piece.
std::optional<std::string> QuotedName(const std::string &piece)
{
    std::string t = Trimmed(piece);
    if (t.size() < 2 || t.front() != '"')
        return std::nullopt;
    std::string name;
    for (size_t i = 1; i < t.size();) {
        size_t n = cp932::CharLength(t, i);
        if (t[i] == '"')
            return i + 1 == t.size() ? std::optional<std::string>(name) : std::nullopt;
        if (t[i] == '\\' && i + 1 < t.size()) {
            ++i;
            n = cp932::CharLength(t, i);
        }
        name.append(t, i, n);
        i += n;
    }
    return std::nullopt; // no closing quote
}

} // namespace

std::string RecipientFieldForm(const std::string &name)
{
    if (cp932::FindAscii(name, ',') == std::string::npos && cp932::FindAscii(name, ';') == std::string::npos &&
        cp932::FindAscii(name, '"') == std::string::npos)
        return name;
    std::string out = "\"";
    for (size_t i = 0; i < name.size();) {
        size_t n = cp932::CharLength(name, i);
        if (n == 1 && (name[i] == '"' || name[i] == '\\'))
            out += '\\';
        out.append(name, i, n);
        i += n;
    }
    return out + '"';
}

std::string RecipientName(const std::string &piece)
{
    return QuotedName(piece).value_or(piece);
}

bool IsMailAddressPiece(const std::string &piece)
{
    return !QuotedName(piece) && cp932::FindAscii(piece, '@') != std::string::npos;
}

std::vector<MailRecipient> BuildRecipientList(const std::string &to, const std::string &cc,
                                              const std::string &bcc, const KnownRecipient &known,
                                              const NameResolver &resolve)
{
    std::vector<MailRecipient> list;
    std::vector<std::string> toPieces = SplitRecipientField(to);
    for (const std::string &piece : toPieces) {
        MailRecipient r{MAPI_TO, RecipientName(piece), std::nullopt};
        if (IsMailAddressPiece(piece))
            r.address = Trimmed(piece);
        else if (toPieces.size() == 1 && piece == known.text && !known.address.empty())
            r.address = known.address;
        else if (resolve)
            r.address = resolve(r.name);
        list.push_back(std::move(r));
    }
    for (const std::string &piece : SplitRecipientField(cc))
        list.push_back({MAPI_CC, RecipientName(piece), std::nullopt});
    for (const std::string &piece : SplitRecipientField(bcc))
        list.push_back({MAPI_BCC, RecipientName(piece), std::nullopt});
    return list;
}

std::vector<MailRecipient> BuildPresetList(const std::string &to, const std::string &cc, const std::string &bcc)
{
    std::vector<MailRecipient> list;
    ULONG cls = MAPI_TO;
    for (const std::string *field : {&to, &cc, &bcc}) {
        for (const std::string &piece : SplitRecipientField(*field))
            list.push_back({cls, RecipientName(piece), std::nullopt});
        ++cls;
    }
    return list;
}

MapiMessageRecord::MapiMessageRecord(const std::vector<MailRecipient> &recipients, const std::string &subject,
                                     const std::string &noteText, const std::string &attachPath)
    : m_subject(subject), m_note(noteText), m_path(attachPath)
{
    // Two strings a recipient, reserved first so that no pointer moves.
    m_strings.reserve(recipients.size() * 2);
    m_recips.reserve(recipients.size());
    for (const MailRecipient &r : recipients) {
        MapiRecipDesc d{};
        d.ulRecipClass = r.recipClass;
        m_strings.push_back(r.name);
        d.lpszName = m_strings.back().data();
        if (r.address) {
            m_strings.push_back(*r.address);
            d.lpszAddress = m_strings.back().data();
        }
        m_recips.push_back(d);
    }
    if (!m_path.empty()) {
        MapiFileDesc f{};
        f.nPosition = 0xFFFFFFFF; // not placed in the text
        f.lpszPathName = m_path.data();
        m_files.push_back(f);
    }
    m_message.lpszSubject = m_subject.data();
    m_message.lpszNoteText = m_note.data();
    m_message.lpszDateReceived = m_dateReceived.data();
    m_message.nRecipCount = static_cast<ULONG>(m_recips.size());
    m_message.lpRecips = m_recips.empty() ? nullptr : m_recips.data();
    m_message.nFileCount = static_cast<ULONG>(m_files.size());
    m_message.lpFiles = m_files.empty() ? nullptr : m_files.data();
}

std::string PartSubject(const std::string &subject, size_t number, size_t total)
{
    if (total <= 1)
        return subject;
    return std::to_string(number) + ")" + subject;
}

SendOutcome SendParts(const std::vector<std::string> &parts,
                      const std::function<ULONG(size_t index, const std::string &part)> &send,
                      SendProgressSink *sink)
{
    SendOutcome out;
    out.total = parts.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        ULONG code = send(i, parts[i]);
        if (code != SUCCESS_SUCCESS) {
            out.ok = false;
            out.code = code;
            return out;
        }
        out.sent = i + 1;
        if (sink)
            sink->PartSent(out.sent, out.total);
    }
    return out;
}

std::string SendErrorText(ULONG code)
{
    switch (code) {
    case MAPI_USER_ABORT:
        return "The user canceled one of the dialog boxes. No message was sent.";
    case MAPI_E_FAILURE:
        return "One or more unspecified errors occurred. No message was sent.";
    case MAPI_E_LOGIN_FAILURE:
        return "There was no default logon, and the user failed to log on successfully when the logon dialog "
               "box was displayed. No message was sent.";
    case MAPI_E_INSUFFICIENT_MEMORY:
        return "There was insufficient memory to proceed. No message was sent.";
    case MAPI_E_TOO_MANY_RECIPIENTS:
        return "There were too many recipients. No message was sent.";
    case MAPI_E_UNKNOWN_RECIPIENT:
        return "A recipient did not appear in the address list. No message was sent.";
    case MAPI_E_BAD_RECIPTYPE:
        return "The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent.";
    case MAPI_E_TEXT_TOO_LARGE:
        return "The text in the message was too large. No message was sent. ";
    case MAPI_E_AMBIGUOUS_RECIPIENT:
        return "A recipient matched more than one of the recipient descriptor structures and MAPI_DIALOG was "
               "not set. No message was sent.";
    case MAPI_E_INVALID_RECIPS:
        return "One or more recipients were invalid or did not resolve to any address. ";
    default:
        return "MAPISend error";
    }
}

std::string SendFailureMessage(const SendOutcome &outcome)
{
    std::string text = SendErrorText(outcome.code);
    // The text speaks of the failed mail; earlier ones are already on their
    // way and the user must know it before sending again.
    if (outcome.sent > 0)
        text += "\n\n" + std::to_string(outcome.sent) + " of " + std::to_string(outcome.total) +
                " mails had already been sent; mail " + std::to_string(outcome.sent + 1) +
                " and the ones after it were not.";
    return text;
}

bool ShouldShowSendProgress(std::chrono::milliseconds elapsed, size_t partsLeft)
{
    return partsLeft > 0 && elapsed >= std::chrono::milliseconds(500);
}
