#include "envelope.h"

#include "profile.h"
#include "text_util.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace mailsys {

namespace {

const char kFormField[] = "X-Tegamiya-Pictographs:";
const char kEnvelopeField[] = "X-Tegamiya-Envelope-To:";

bool StartsNoCase(const std::string &line, const char *field)
{
    size_t n = strlen(field);
    return line.size() >= n && strncasecmp(line.c_str(), field, n) == 0;
}

// The header block of this kind is short: a thousand recipients of 250
// bytes each fit.
constexpr size_t kMaxRead = 512 * 1024;

}  // namespace

std::string DeliveryHeaders(PictographForm form, const std::vector<std::string> &envelope)
{
    std::string out;
    if (form != PictographForm::Docomo)
        out += std::string(kFormField) + " " + FormWord(form) + "\n";
    if (!envelope.empty()) {
        // One address a line after the first, so no line grows long.
        out += kEnvelopeField;
        for (size_t i = 0; i < envelope.size(); ++i)
            out += (i == 0 ? " " : ",\n ") + envelope[i];
        out += "\n";
    }
    return out;
}

QueuedDelivery ParseDeliveryHeaders(const std::string &text)
{
    QueuedDelivery q;
    size_t pos = 0;
    while (pos < text.size()) {
        // One field with its folded lines.
        size_t end = pos;
        std::string value;
        std::string first;
        do {
            size_t nl = text.find('\n', end);
            if (nl == std::string::npos)
                return q;  // no whole line: not a block of ours
            std::string line = text.substr(end, nl - end);
            if (end == pos)
                first = line;
            else
                value += line;
            end = nl + 1;
        } while (end < text.size() && (text[end] == ' ' || text[end] == '\t'));
        if (StartsNoCase(first, kFormField)) {
            PictographForm form;
            if (!ParseFormWord(Trim(first.substr(strlen(kFormField))), &form)) {
                q.damaged = true;
                return q;
            }
            q.form = form;
        } else if (StartsNoCase(first, kEnvelopeField)) {
            value = first.substr(strlen(kEnvelopeField)) + value;
            std::vector<std::string> addresses;
            size_t start = 0;
            for (;;) {
                size_t comma = value.find(',', start);
                std::string a = Trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                if (!IsPlainAddress(a)) {
                    q.damaged = true;
                    return q;
                }
                addresses.push_back(a);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            q.envelope = std::move(addresses);
        } else {
            return q;
        }
        pos = end;
        q.body_offset = static_cast<off_t>(pos);
    }
    return q;
}

QueuedDelivery ReadDeliveryHeaders(const std::string &path)
{
    std::string head;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        head.resize(kMaxRead);
        head.resize(fread(head.data(), 1, head.size(), f));
        fclose(f);
    }
    return ParseDeliveryHeaders(head);
}

}  // namespace mailsys
