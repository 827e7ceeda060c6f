#include "compose/text_file.h"

#include "app/cp932.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

// The length of the UTF-8 text without a last character that the read limit
// cut short (so that a cut file still counts as UTF-8).
size_t WithoutCutCharacter(std::string_view s)
{
    size_t back = 0;
    while (back < 3 && back < s.size() &&
           (static_cast<unsigned char>(s[s.size() - 1 - back]) & 0xC0) == 0x80)
        ++back;
    if (back < s.size()) {
        unsigned char lead = static_cast<unsigned char>(s[s.size() - 1 - back]);
        size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (lead >= 0xC0 && back + 1 < need)
            return s.size() - 1 - back;
    }
    return s.size();
}

} // namespace

std::string BodyTextFromFileBytes(std::string_view bytes)
{
    size_t end = bytes.find_first_of(std::string_view("\x1A\0", 2));
    if (end != std::string_view::npos)
        bytes = bytes.substr(0, end);
    std::string text;
    std::string_view utf8 = bytes;
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    if (bytes.size() == kMaxBodyFileBytes)
        utf8 = utf8.substr(0, WithoutCutCharacter(utf8));
    if (cp932::IsValidUtf8(utf8))
        text = cp932::FromUtf8(utf8);
    else if (bytes.size() == kMaxBodyFileBytes)
        // Cut by the read limit: a lead byte whose trail byte was not read
        // goes too, never to show as a replacement character.
        text = std::string(bytes.substr(0, cp932::CutAtCharBoundary(bytes, bytes.size())));
    else
        text = std::string(bytes);

    std::string body;
    body.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            body += '\r';
        body += text[i];
    }
    return body;
}

TextFileResult ReadBodyTextFile(const std::string &path, std::string &body)
{
    std::unique_ptr<FILE, int (*)(FILE *)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f)
        return TextFileResult::OpenError;
    std::string bytes(kMaxBodyFileBytes, '\0');
    size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
    if (n < bytes.size() && std::ferror(f.get()))
        return TextFileResult::ReadError;
    bytes.resize(n);
    body = BodyTextFromFileBytes(bytes);
    return TextFileResult::Ok;
}
