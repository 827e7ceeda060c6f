#include "pictographs.h"

#include "cp932/cp932.h"

#include <algorithm>

namespace mailsys {

namespace {

// Made at build time by the tool pictograph_table (mailsys/tools/) from
// Unicode's EmojiSources.txt, ICU's Emoji_Presentation property and the
// catalogue's names.
const PictographEntry kTable[] = {
#include "pictograph_table.inc"
};

// "〔" and "〕" in CP932 and UTF-8.
const char kOpenCp932[] = "\x81\x6B", kCloseCp932[] = "\x81\x6C";
const char kOpenUtf8[] = "\xE3\x80\x94", kCloseUtf8[] = "\xE3\x80\x95";

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// One label of a pattern against one label of a domain; "*" takes one or
// more characters. Row by row over the pattern, so that any pattern costs
// time proportional to the two lengths multiplied.
bool LabelMatches(std::string_view pattern, std::string_view label)
{
    std::vector<char> prev(label.size() + 1, 0), cur(label.size() + 1, 0);
    prev[0] = 1;
    for (char k : pattern) {
        cur[0] = 0;
        char any = 0;
        for (size_t j = 1; j <= label.size(); ++j) {
            if (k == '*') {
                any |= prev[j - 1];
                cur[j] = any;
            } else {
                cur[j] = prev[j - 1] && FoldAscii(k) == FoldAscii(label[j - 1]);
            }
        }
        prev.swap(cur);
    }
    return prev[label.size()] != 0;
}

std::vector<std::string_view> Labels(std::string_view s)
{
    std::vector<std::string_view> labels;
    for (size_t start = 0;;) {
        size_t dot = s.find('.', start);
        labels.push_back(s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
            return labels;
        start = dot + 1;
    }
}

// The pictograph code of a private-use character (CP932's user-defined
// area F040-F9FC lies on U+E000-U+E757, 188 codes per lead byte), or 0.
std::uint16_t CodeOfPrivateUse(char32_t c)
{
    if (c < 0xE000 || c > 0xE757)
        return 0;
    unsigned n = c - 0xE000;
    unsigned lead = 0xF0 + n / 188, t = n % 188;
    unsigned trail = t < 0x3F ? 0x40 + t : 0x41 + t;
    return static_cast<std::uint16_t>(lead << 8 | trail);
}

// The text put in place of a pictograph in the UTF-8 forms.
std::string Utf8Replacement(const PictographEntry &e, PictographForm form)
{
    if (form == PictographForm::Unicode && *e.unicode)
        return e.unicode;
    return kOpenUtf8 + cp932::ToUtf8(e.name) + kCloseUtf8;
}

}  // namespace

const char *FormWord(PictographForm form)
{
    switch (form) {
    case PictographForm::Docomo:
        return "docomo";
    case PictographForm::Text:
        return "text";
    case PictographForm::Unicode:
        break;
    }
    return "unicode";
}

bool ParseFormWord(const std::string &word, PictographForm *form)
{
    std::string w;
    for (char c : word)
        w += FoldAscii(c);
    for (PictographForm f : {PictographForm::Docomo, PictographForm::Unicode, PictographForm::Text})
        if (w == FormWord(f)) {
            *form = f;
            return true;
        }
    return false;
}

std::vector<PictographRule> DefaultPictographRules()
{
    return {{"docomo.ne.jp", PictographForm::Docomo}, {"*", PictographForm::Unicode}};
}

bool DomainPatternMatches(std::string_view pattern, std::string_view domain)
{
    if (pattern.empty())
        return false;
    std::vector<std::string_view> p = Labels(pattern), d = Labels(domain);
    if (p.size() != d.size())
        return false;
    for (size_t i = 0; i < p.size(); ++i)
        if (!LabelMatches(p[i], d[i]))
            return false;
    return true;
}

PictographForm FormForAddress(const std::vector<PictographRule> &rules, const std::string &address)
{
    size_t at = address.rfind('@');
    std::string_view domain = at == std::string::npos ? std::string_view() : std::string_view(address).substr(at + 1);
    const PictographRule *fallback = nullptr;
    for (const PictographRule &r : rules) {
        if (r.pattern == "*") {
            if (!fallback)
                fallback = &r;
        } else if (DomainPatternMatches(r.pattern, domain)) {
            return r.form;
        }
    }
    return fallback ? fallback->form : PictographForm::Unicode;
}

const std::vector<PictographEntry> &PictographTable()
{
    static const std::vector<PictographEntry> table(std::begin(kTable), std::end(kTable));
    return table;
}

const PictographEntry *FindPictograph(std::uint16_t code)
{
    auto it = std::lower_bound(std::begin(kTable), std::end(kTable), code,
                               [](const PictographEntry &e, std::uint16_t c) { return e.code < c; });
    return it != std::end(kTable) && it->code == code ? &*it : nullptr;
}

std::string ConvertCp932(const std::string &text, PictographForm form)
{
    if (form == PictographForm::Docomo)
        return text;
    std::string out, run;  // run: CP932 bytes not yet converted (Unicode form)
    auto flush = [&] {
        out += cp932::ToUtf8(run);
        run.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(c) && i + 1 < text.size()) {
            std::uint16_t code = static_cast<std::uint16_t>(c << 8 | static_cast<unsigned char>(text[i + 1]));
            if (const PictographEntry *e = FindPictograph(code)) {
                if (form == PictographForm::Text) {
                    out += std::string(kOpenCp932) + e->name + kCloseCp932;
                } else {
                    flush();
                    out += Utf8Replacement(*e, form);
                }
            } else {
                (form == PictographForm::Text ? out : run).append(text, i, 2);
            }
            ++i;
            continue;
        }
        (form == PictographForm::Text ? out : run) += text[i];
    }
    flush();
    return out;
}

std::string ConvertUtf8(const std::string &text, PictographForm form)
{
    if (form == PictographForm::Docomo)
        return text;
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        // The private-use characters of the pictographs are three bytes,
        // EE 98 BE (U+E63E) to EE 9D 97 (U+E757).
        if (c == 0xEE && i + 2 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
            char32_t cp = char32_t((c & 0x0F) << 12 | (static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6 |
                                   (static_cast<unsigned char>(text[i + 2]) & 0x3F));
            if (const PictographEntry *e = FindPictograph(CodeOfPrivateUse(cp))) {
                out += Utf8Replacement(*e, form);
                i += 3;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

}  // namespace mailsys
