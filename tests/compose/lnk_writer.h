// Writes Windows shortcut files (".lnk") for the tests: a header, a link
// information block with a local path, and a relative path.
#pragma once

#include <cstdint>
#include <string>

namespace lnktest {

inline void U32(std::string &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void U16(std::string &out, uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

// `localPath` in the narrow (ANSI) form; `relativePath` ASCII, stored as
// UTF-16. Either may be empty (then left out).
inline std::string Shortcut(const std::string &localPath, const std::string &relativePath)
{
    uint32_t flags = 0x80; // IsUnicode
    if (!localPath.empty())
        flags |= 0x02; // HasLinkInfo
    if (!relativePath.empty())
        flags |= 0x08; // HasRelativePath
    std::string out;
    U32(out, 0x4C);
    out += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    U32(out, flags);
    U32(out, 0x20);                // archive
    out += std::string(24, '\0');  // times
    U32(out, 0);                   // size
    U32(out, 0);                   // icon
    U32(out, 1);                   // show normal
    U16(out, 0);                   // hot key
    out += std::string(10, '\0');  // reserved
    if (!localPath.empty()) {
        const uint32_t header = 0x1C, volume = 0x11;
        const uint32_t base = header + volume;
        const uint32_t suffix = base + static_cast<uint32_t>(localPath.size()) + 1;
        const uint32_t size = suffix + 1;
        U32(out, size);
        U32(out, header);
        U32(out, 1); // volume and local base path
        U32(out, header);
        U32(out, base);
        U32(out, 0);
        U32(out, suffix);
        U32(out, volume);
        U32(out, 3); // fixed drive
        U32(out, 0x12345678);
        U32(out, 0x10);
        out += '\0';
        out += localPath;
        out += '\0';
        out += '\0';
    }
    if (!relativePath.empty()) {
        U16(out, static_cast<uint16_t>(relativePath.size()));
        for (char c : relativePath)
            U16(out, static_cast<uint8_t>(c));
    }
    U32(out, 0); // terminal block
    return out;
}

} // namespace lnktest
