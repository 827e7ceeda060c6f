#include "mail_list.h"

#include "charset.h"
#include "envelope.h"
#include "fsutil.h"
#include "message_builder.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mailsys {

namespace {

// Bytes in a charset as UTF-8 (Shift_JIS read as CP932, pictographs kept).
std::string ToUtf8(const std::string &bytes, std::string charset)
{
    size_t star = charset.find('*');  // an RFC 2231 language suffix
    if (star != std::string::npos)
        charset.erase(star);
    return CharsetToUtf8(bytes, charset);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The bytes of one encoded word's text; false when it is not one.
bool DecodeWord(const std::string &encoding, const std::string &text, std::string *bytes)
{
    bytes->clear();
    if (encoding == "B" || encoding == "b") {
        gsize len = 0;
        std::string copy = text;
        guchar *raw = g_base64_decode(copy.c_str(), &len);
        if (!raw)
            return false;
        bytes->assign(reinterpret_cast<char *>(raw), len);
        g_free(raw);
        return true;
    }
    if (encoding == "Q" || encoding == "q") {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '_') {
                *bytes += ' ';
            } else if (text[i] == '=' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
                       HexValue(text[i + 2]) >= 0) {
                *bytes += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                i += 2;
            } else {
                *bytes += text[i];
            }
        }
        return true;
    }
    return false;
}

std::string RawHeader(GMimeObject *object, const char *name)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    GMimeHeader *h = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    const char *raw = h ? g_mime_header_get_raw_value(h) : nullptr;
    if (!raw)
        return "";
    // Unfold.
    std::string out;
    for (const char *p = raw; *p; ++p)
        if (*p != '\r' && *p != '\n')
            out += *p;
    size_t b = out.find_first_not_of(" \t");
    return b == std::string::npos ? "" : out.substr(b);
}

GMimeMessage *ParseFile(const std::string &path)
{
    EnsureGMime();
    GMimeStream *stream = g_mime_stream_file_open(path.c_str(), "rb", nullptr);
    if (!stream)
        return nullptr;
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    return message;
}

GMimeMessage *ParseBytes(const std::string &bytes)
{
    EnsureGMime();
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size());
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    return message;
}

std::string Addresses(GMimeMessage *m, GMimeAddressType type)
{
    InternetAddressList *list = g_mime_message_get_addresses(m, type);
    if (!list || internet_address_list_length(list) == 0)
        return "";
    char *text = internet_address_list_to_string(list, nullptr, FALSE);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// The decoded bytes of a part's content.
std::string PartBytes(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return "";
    GMimeStream *mem = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, mem);
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem));
    std::string out(reinterpret_cast<char *>(array->data), array->len);
    g_object_unref(mem);
    return out;
}

struct Walk {
    std::vector<std::string> attachments;
    GMimePart *text = nullptr;
};

void VisitPart(GMimeObject *, GMimeObject *part, gpointer data)
{
    auto *walk = static_cast<Walk *>(data);
    if (!GMIME_IS_PART(part))
        return;
    GMimePart *p = GMIME_PART(part);
    const char *name = g_mime_part_get_filename(p);
    GMimeContentType *type = g_mime_object_get_content_type(part);
    bool text = type && g_mime_content_type_is_type(type, "text", "plain");
    if (name || !text || walk->text) {
        if (name || !text)
            walk->attachments.push_back(name ? DecodeHeaderText(name) : "?");
    } else {
        walk->text = p;
    }
}

// Fills a row from a parsed mail. From the header block alone, a multipart
// mail's attachment names are not known.
void Summarise(GMimeMessage *m, bool whole, MailRow *row)
{
    GDateTime *date = g_mime_message_get_date(m);
    row->date = date ? static_cast<time_t>(g_date_time_to_unix(date)) : 0;
    // A mail written for some of its recipients only (one per pictograph
    // form) shows whom it goes to, not the To line every copy shares.
    std::string envelope = RawHeader(GMIME_OBJECT(m), "X-Tegamiya-Envelope-To");
    row->to = envelope.empty() ? Addresses(m, GMIME_ADDRESS_TYPE_TO) : envelope;
    row->subject = DecodeHeaderText(RawHeader(GMIME_OBJECT(m), "Subject"));
    PictographForm form;
    if (ParseFormWord(RawHeader(GMIME_OBJECT(m), "X-Tegamiya-Pictographs"), &form))
        row->form = FormWord(form);
    row->attachments.clear();
    row->attachments_known = whole || !GMIME_IS_MULTIPART(g_mime_message_get_mime_part(m));
    if (!row->attachments_known)
        return;
    Walk walk;
    g_mime_message_foreach(m, VisitPart, &walk);
    for (const auto &a : walk.attachments)
        row->attachments += (row->attachments.empty() ? "" : ", ") + a;
}

}  // namespace

std::string DecodeHeaderText(const std::string &raw)
{
    std::string out, pending_space;
    size_t i = 0;
    bool last_was_word = false;
    while (i < raw.size()) {
        if (raw.compare(i, 2, "=?") == 0) {
            size_t q1 = raw.find('?', i + 2);
            size_t q2 = q1 == std::string::npos ? q1 : raw.find('?', q1 + 1);
            size_t end = q2 == std::string::npos ? q2 : raw.find("?=", q2 + 1);
            std::string bytes;
            if (end != std::string::npos &&
                DecodeWord(raw.substr(q1 + 1, q2 - q1 - 1), raw.substr(q2 + 1, end - q2 - 1), &bytes)) {
                // Blanks between two encoded words are not part of the text.
                if (!last_was_word)
                    out += pending_space;
                pending_space.clear();
                out += ToUtf8(bytes, raw.substr(i + 2, q1 - i - 2));
                i = end + 2;
                last_was_word = true;
                continue;
            }
        }
        if (raw[i] == ' ' || raw[i] == '\t') {
            pending_space += raw[i++];
            continue;
        }
        out += pending_space;
        pending_space.clear();
        size_t next = raw.find_first_of(" \t=", i + 1);
        if (next == std::string::npos)
            next = raw.size();
        out += CharsetToUtf8(raw.substr(i, next - i), "UTF-8");
        i = next;
        last_was_word = false;
    }
    return out + pending_space;
}

bool ReadHeaderBlock(const std::string &path, std::string *out)
{
    constexpr size_t kMaxHeader = 1 << 20;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out->clear();
    char buf[8192];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // A blank line may straddle two reads: look back over the seam.
        size_t from = out->size() < 2 ? 0 : out->size() - 2;
        out->append(buf, static_cast<size_t>(n));
        if ((*out)[0] == '\n' || out->compare(0, 2, "\r\n") == 0) {
            out->clear();  // no headers at all
            break;
        }
        size_t lf = out->find("\n\n", from), crlf = out->find("\n\r\n", from);
        size_t end = std::min(lf == std::string::npos ? lf : lf + 2, crlf == std::string::npos ? crlf : crlf + 3);
        if (end != std::string::npos || out->size() >= kMaxHeader) {
            out->resize(std::min(end, kMaxHeader));
            break;
        }
    }
    close(fd);
    return true;
}

std::vector<MailRow> MailListCache::List(const std::string &maildir, bool with_cur)
{
    std::vector<MailRow> rows;
    ++m_generation;
    for (const char *sub : {"new", "cur"}) {
        if (!with_cur && sub[0] == 'c')
            continue;
        std::string dir = maildir + "/" + sub;
        for (const auto &name : ListDir(dir)) {
            if (name.empty() || name[0] == '.')
                continue;
            std::string path = dir + "/" + name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            auto size = static_cast<unsigned long long>(st.st_size);
            long long mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
            Entry &e = m_entries[name.substr(0, name.find(':'))];
            if (e.generation == 0 || e.size != size || e.mtime_ns != mtime_ns || e.inode != st.st_ino) {
                e.size = size;
                e.mtime_ns = mtime_ns;
                e.inode = st.st_ino;
                e.row = MailRow();
                e.row.id = name.substr(0, name.find(':'));
                e.row.size = size;
                std::string header;
                ++m_reads;
                if (ReadHeaderBlock(path, &header))
                    if (GMimeMessage *m = ParseBytes(header)) {
                        Summarise(m, false, &e.row);
                        g_object_unref(m);
                    }
            }
            e.generation = m_generation;
            e.row.path = std::move(path);
            rows.push_back(e.row);
        }
    }
    // Mail gone from the folder is forgotten.
    std::erase_if(m_entries, [this](const auto &e) { return e.second.generation != m_generation; });
    std::stable_sort(rows.begin(), rows.end(), [](const MailRow &a, const MailRow &b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    return rows;
}

void MailListCache::ReadAttachments(MailRow *row)
{
    if (row->attachments_known)
        return;
    ++m_reads;
    if (GMimeMessage *m = ParseFile(row->path)) {
        Summarise(m, true, row);
        g_object_unref(m);
    }
    row->attachments_known = true;
    // Kept for the file this row was listed from; a file changed since is
    // read again at the next listing anyway.
    auto it = m_entries.find(row->id);
    if (it != m_entries.end() && it->second.row.path == row->path) {
        it->second.row.attachments = row->attachments;
        it->second.row.attachments_known = true;
    }
}

std::vector<MailRow> ListMaildir(const std::string &maildir, bool with_cur)
{
    MailListCache cache;
    std::vector<MailRow> rows = cache.List(maildir, with_cur);
    for (MailRow &row : rows)
        cache.ReadAttachments(&row);
    return rows;
}

std::string MailText(const std::string &path)
{
    GMimeMessage *m = ParseFile(path);
    if (!m)
        return "";
    std::string out;
    auto line = [&out](const char *label, const std::string &value) {
        if (!value.empty())
            out += std::string(label) + ": " + value + "\n";
    };
    GMimeObject *object = GMIME_OBJECT(m);
    line("From", Addresses(m, GMIME_ADDRESS_TYPE_FROM));
    line("To", Addresses(m, GMIME_ADDRESS_TYPE_TO));
    line("Cc", Addresses(m, GMIME_ADDRESS_TYPE_CC));
    line("Bcc", Addresses(m, GMIME_ADDRESS_TYPE_BCC));
    GDateTime *date = g_mime_message_get_date(m);
    line("Date", date ? FormatDate(static_cast<time_t>(g_date_time_to_unix(date))) : "");
    line("Subject", DecodeHeaderText(RawHeader(object, "Subject")));
    Walk walk;
    g_mime_message_foreach(m, VisitPart, &walk);
    if (GMimePart *mime_part = GMIME_IS_PART(g_mime_message_get_mime_part(m))
                                   ? GMIME_PART(g_mime_message_get_mime_part(m))
                                   : nullptr;
        mime_part && !walk.text && !g_mime_part_get_filename(mime_part))
        walk.text = mime_part;
    for (const auto &a : walk.attachments)
        line("Attachment", a);
    out += "\n";
    if (walk.text) {
        GMimeContentType *type = g_mime_object_get_content_type(GMIME_OBJECT(walk.text));
        const char *charset = type ? g_mime_content_type_get_parameter(type, "charset") : nullptr;
        std::string body = ToUtf8(PartBytes(walk.text), charset ? charset : "UTF-8");
        // CR LF as the widget's line ends.
        for (char c : body)
            if (c != '\r')
                out += c;
    }
    g_object_unref(m);
    return out;
}

std::string FormatDate(time_t date)
{
    if (date == 0)
        return "";
    struct tm t;
    localtime_r(&date, &t);
    char buf[32];
    strftime(buf, sizeof buf, "%Y/%m/%d %H:%M", &t);
    return buf;
}

}  // namespace mailsys
