#include "message_builder.h"

#include "cp932/cp932.h"
#include "envelope.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace mailsys {

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(const std::string &in)
{
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8) |
                     static_cast<unsigned char>(in[i + 2]);
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += kBase64[v & 63];
    }
    if (i < in.size()) {
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (i + 1 < in.size())
            v |= static_cast<unsigned char>(in[i + 1]) << 8;
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += i + 1 < in.size() ? kBase64[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool IsPlainAscii(const std::string &s)
{
    for (unsigned char c : s)
        if (c >= 0x80 || (c < 0x20 && c != '\t'))
            return false;
    return true;
}

// Control characters would break the header; they become blanks.
std::string OneLine(std::string s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (cp932::IsLeadByte(c) && i + 1 < s.size()) {
            ++i;  // a trail byte may be any value from 0x40 up; leave it
            continue;
        }
        if (c < 0x20 || c == 0x7F)
            s[i] = ' ';
    }
    return s;
}

struct Unref {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

void AddMailboxes(GMimeMessage *msg, GMimeAddressType type, const std::vector<Mailbox> &list)
{
    for (const auto &m : list)
        g_mime_message_add_mailbox(msg, type, m.name.empty() ? nullptr : m.name.c_str(), m.address.c_str());
}

GMimeDataWrapper *Wrap(const std::string &bytes)
{
    Ref<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    return g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT);
}

bool NeedsBase64(const std::string &body)
{
    size_t line = 0;
    for (unsigned char c : body) {
        if (c >= 0x80 || c == '\r' || (c < 0x20 && c != '\n' && c != '\t'))
            return true;
        line = c == '\n' ? 0 : line + 1;
        if (line > 76)
            return true;
    }
    return false;
}

}  // namespace

void EnsureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

std::vector<OutgoingMail> SplitByForm(const OutgoingMail &mail, const std::vector<PictographRule> &rules)
{
    std::vector<OutgoingMail> mails;
    for (const auto *list : {&mail.to, &mail.cc, &mail.bcc}) {
        for (const Mailbox &m : *list) {
            PictographForm form = FormForAddress(rules, m.address);
            auto it = std::find_if(mails.begin(), mails.end(), [form](const OutgoingMail &o) { return o.form == form; });
            if (it == mails.end()) {
                OutgoingMail copy = mail;
                copy.form = form;
                copy.envelope.clear();
                mails.push_back(std::move(copy));
                it = mails.end() - 1;
            }
            if (std::find(it->envelope.begin(), it->envelope.end(), m.address) == it->envelope.end())
                it->envelope.push_back(m.address);
        }
    }
    if (mails.size() == 1)
        mails.front().envelope.clear();
    // Bcc recipients of one form are in its envelope only.
    if (mails.size() > 1)
        for (OutgoingMail &m : mails)
            m.bcc.clear();
    return mails;
}

std::string SniffContentType(const std::string &d)
{
    auto starts = [&d](const char *magic, size_t n) { return d.size() >= n && d.compare(0, n, magic, n) == 0; };
    if (starts("\xFF\xD8\xFF", 3))
        return "image/jpeg";
    if (starts("BM", 2) && d.size() >= 26)
        return "image/bmp";
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return "image/png";
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return "image/gif";
    return "application/octet-stream";
}

std::string EncodeSubject(const std::string &raw) { return EncodeSubject(raw, PictographForm::Docomo); }

std::string EncodeSubject(const std::string &raw, PictographForm form)
{
    std::string cp932 = ConvertCp932(OneLine(raw), form == PictographForm::Unicode ? PictographForm::Docomo : form);
    if (IsPlainAscii(cp932)) {
        // Folded before blanks to keep lines short; a word too long for
        // any header line is sent as encoded words instead.
        std::string folded;
        size_t line = 9;  // "Subject: "
        size_t start = 0;
        bool fits = true;
        while (start < cp932.size()) {
            size_t next = cp932.find(' ', start + 1);
            std::string word = cp932.substr(start, next == std::string::npos ? std::string::npos : next - start);
            if (line + word.size() > 78 && !folded.empty() && word[0] == ' ') {
                folded += "\n";
                line = 0;
            }
            folded += word;
            line += word.size();
            fits = fits && line <= 998;
            start = next == std::string::npos ? cp932.size() : next;
        }
        if (fits)
            return folded;
    }
    if (form == PictographForm::Unicode)
        return EncodedWords(ConvertCp932(cp932, form), "UTF-8");
    return EncodedWords(cp932, "Shift_JIS");
}

std::string EncodedWords(const std::string &text, const std::string &charset)
{
    // 36 bytes give 48 base64 characters: "=?Shift_JIS?B?" + 48 + "?=" = 64,
    // so that even the first line with "Subject: " stays within 78.
    const size_t kChunk = 36;
    bool utf8 = charset == "UTF-8";
    auto charLength = [&](size_t at) -> size_t {
        unsigned char c = static_cast<unsigned char>(text[at]);
        size_t len = 1;
        if (utf8)
            len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        else if (cp932::IsLeadByte(c))
            len = 2;
        return std::min(len, text.size() - at);
    };
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = i;
        while (end < text.size()) {
            size_t len = charLength(end);
            if (end + len - i > kChunk && end > i)
                break;
            end += len;
        }
        if (!out.empty())
            out += "\n ";
        out += "=?" + charset + "?B?" + Base64(text.substr(i, end - i)) + "?=";
        i = end;
    }
    return out;
}

static void SetAttachmentName(GMimePart *part, const std::string &utf8_name, bool utf8_words)
{
    // The RFC 2231 form (filename*=UTF-8''...) from GMime, in both headers.
    g_mime_part_set_filename(part, utf8_name.c_str());
    if (IsPlainAscii(utf8_name))
        return;
    // Japanese phones and older mailers read only the encoded-word form in
    // the content type's name, as Japanese mailers write it: the name there
    // is given again as RFC 2047 words (Shift_JIS when CP932 holds it, so
    // pictographs in a name stay what they were; UTF-8 otherwise).
    bool lossless = true;
    std::string sjis = cp932::FromUtf8(utf8_name, '?', &lossless);
    std::string words = lossless && !utf8_words ? EncodedWords(OneLine(sjis), "Shift_JIS") : EncodedWords(utf8_name, "UTF-8");
    GMimeObject *obj = GMIME_OBJECT(part);
    GMimeContentType *type = g_mime_object_get_content_type(obj);
    std::string raw = std::string(" ") + g_mime_content_type_get_media_type(type) + "/" +
                      g_mime_content_type_get_media_subtype(type) + ";\n name=\"" + words + "\"\n";
    GMimeHeader *h = g_mime_header_list_get_header(g_mime_object_get_header_list(obj), "Content-Type");
    if (h)
        g_mime_header_set_raw_value(h, raw.c_str());
}

std::string NewMessageId(const std::string &sender_address)
{
    EnsureGMime();
    size_t at = sender_address.rfind('@');
    std::string domain = at == std::string::npos ? "localhost" : sender_address.substr(at + 1);
    char *id = g_mime_utils_generate_message_id(domain.c_str());
    std::string result = id ? id : "";
    g_free(id);
    return result;
}

std::string BuildMessage(const OutgoingMail &mail, time_t now, const std::string &message_id)
{
    EnsureGMime();
    Ref<GMimeMessage> msg(g_mime_message_new(TRUE));
    GMimeObject *mobj = GMIME_OBJECT(msg.get());

    AddMailboxes(msg.get(), GMIME_ADDRESS_TYPE_FROM, {mail.from});
    AddMailboxes(msg.get(), GMIME_ADDRESS_TYPE_TO, mail.to);
    AddMailboxes(msg.get(), GMIME_ADDRESS_TYPE_CC, mail.cc);
    // A mail with an envelope of its own names its Bcc recipients only there.
    if (mail.envelope.empty())
        AddMailboxes(msg.get(), GMIME_ADDRESS_TYPE_BCC, mail.bcc);

    // The subject carries the caller's CP932 bytes as they are (GMime would
    // convert through a charset that loses the user-defined area), so its
    // header gets a raw value made here.
    std::string subject = EncodeSubject(mail.subject, mail.form);
    g_mime_object_set_header(mobj, "Subject", "", nullptr);
    GMimeHeader *h = g_mime_header_list_get_header(g_mime_object_get_header_list(mobj), "Subject");
    std::string raw = " " + subject + "\n";
    g_mime_header_set_raw_value(h, raw.c_str());

    GDateTime *date = g_date_time_new_from_unix_local(now);
    g_mime_message_set_date(msg.get(), date);
    g_date_time_unref(date);
    g_mime_message_set_message_id(msg.get(), message_id.c_str());

    const bool unicode = mail.form == PictographForm::Unicode;
    const std::string body = ConvertCp932(mail.body, mail.form);
    Ref<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(text.get()), "charset", unicode ? "UTF-8" : "Shift_JIS");
    {
        Ref<GMimeDataWrapper> content(Wrap(body));
        g_mime_part_set_content(GMIME_PART(text.get()), content.get());
    }
    g_mime_part_set_content_encoding(GMIME_PART(text.get()), NeedsBase64(body) ? GMIME_CONTENT_ENCODING_BASE64
                                                                               : GMIME_CONTENT_ENCODING_7BIT);

    if (mail.attachments.empty()) {
        g_mime_message_set_mime_part(msg.get(), GMIME_OBJECT(text.get()));
    } else {
        Ref<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
        for (const auto &a : mail.attachments) {
            std::string type = a.content_type;
            size_t slash = type.find('/');
            Ref<GMimePart> part(g_mime_part_new_with_type(type.substr(0, slash).c_str(), type.substr(slash + 1).c_str()));
            Ref<GMimeDataWrapper> content(Wrap(a.data));
            g_mime_part_set_content(part.get(), content.get());
            g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
            SetAttachmentName(part.get(), ConvertUtf8(a.file_name, mail.form), unicode);
            g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
        }
        g_mime_message_set_mime_part(msg.get(), GMIME_OBJECT(mixed.get()));
    }

    Ref<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(mobj, nullptr, out.get());
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return DeliveryHeaders(mail.form, mail.envelope) +
           std::string(reinterpret_cast<const char *>(bytes->data), bytes->len);
}

}  // namespace mailsys
