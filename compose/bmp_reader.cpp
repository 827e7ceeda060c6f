#include "compose/bmp_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <climits>

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kMaxSide = 0xFFFF;
// The largest pixel block a picture within the caps can have (32 bits a
// pixel), plus room for the headers, the largest colour table and a little
// slack that some writers leave after the pixels.
constexpr uint64_t kMaxFileBytes = kMaxBmpPixels * 4 + (uint64_t{1} << 20);

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t U16(std::span<const uint8_t> f, size_t at)
{
    return static_cast<uint16_t>(f[at] | f[at + 1] << 8);
}

uint32_t U32(std::span<const uint8_t> f, size_t at)
{
    return static_cast<uint32_t>(f[at]) | static_cast<uint32_t>(f[at + 1]) << 8 |
           static_cast<uint32_t>(f[at + 2]) << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}

bool KnownHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// A usable mask is one run of set bits inside the pixel's width.
bool MaskValid(uint32_t mask, unsigned bitCount)
{
    if (mask == 0)
        return false;
    if (bitCount < 32 && (mask >> bitCount) != 0)
        return false;
    uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// One colour channel of a bit-field pixel, widened or narrowed to 8 bits.
// Narrow channels repeat their bits (5 bits abcde give abcdeabc), so that
// full scale stays full scale.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m)
        : mask(m), shift(std::countr_zero(m)), bits(std::popcount(m)) {}

    uint8_t operator()(uint32_t pixel) const
    {
        uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return static_cast<uint8_t>(v >> (bits - 8));
        uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = out << bits | v;
            filled += bits;
        }
        return static_cast<uint8_t>(out >> (filled - 8));
    }
};

} // namespace

const char *BmpErrorName(BmpError e)
{
    switch (e) {
    case BmpError::Ok: return "Ok";
    case BmpError::OpenFailed: return "OpenFailed";
    case BmpError::ReadFailed: return "ReadFailed";
    case BmpError::FileTooLarge: return "FileTooLarge";
    case BmpError::NotBmp: return "NotBmp";
    case BmpError::BadHeaderSize: return "BadHeaderSize";
    case BmpError::HeaderTruncated: return "HeaderTruncated";
    case BmpError::BadPlanes: return "BadPlanes";
    case BmpError::BadWidth: return "BadWidth";
    case BmpError::BadHeight: return "BadHeight";
    case BmpError::TooLarge: return "TooLarge";
    case BmpError::BadBitCount: return "BadBitCount";
    case BmpError::BadCompression: return "BadCompression";
    case BmpError::BadColourCount: return "BadColourCount";
    case BmpError::BadMasks: return "BadMasks";
    case BmpError::BadOffset: return "BadOffset";
    case BmpError::PixelsTruncated: return "PixelsTruncated";
    }
    return "?";
}

BmpError ParseBmpHeader(std::span<const uint8_t> f, BmpHeader &h)
{
    h = BmpHeader{};
    if (f.size() < kFileHeaderSize || f[0] != 'B' || f[1] != 'M')
        return BmpError::NotBmp;
    h.dataOffset = U32(f, 10);
    if (f.size() < kFileHeaderSize + 4)
        return BmpError::HeaderTruncated;
    h.headerSize = U32(f, 14);
    if (!KnownHeaderSize(h.headerSize))
        return BmpError::BadHeaderSize;
    if (f.size() < kFileHeaderSize + h.headerSize)
        return BmpError::HeaderTruncated;

    h.width = static_cast<int32_t>(U32(f, 18));
    int32_t height = static_cast<int32_t>(U32(f, 22));
    uint16_t planes = U16(f, 26);
    h.bitCount = U16(f, 28);
    h.compression = U32(f, 30);
    uint32_t clrUsed = U32(f, 46);

    if (planes != 1)
        return BmpError::BadPlanes;
    if (h.width <= 0)
        return BmpError::BadWidth;
    // INT32_MIN has no positive counterpart: refused, never negated.
    if (height == 0 || height == INT32_MIN)
        return BmpError::BadHeight;
    h.topDown = height < 0;
    h.height = h.topDown ? -height : height;
    if (static_cast<uint32_t>(h.width) > kMaxSide || static_cast<uint32_t>(h.height) > kMaxSide ||
        static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height) > kMaxBmpPixels)
        return BmpError::TooLarge;

    switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        return BmpError::BadBitCount;
    }
    if (h.compression == kBiBitfields) {
        if (h.bitCount != 16 && h.bitCount != 32)
            return BmpError::BadCompression;
    } else if (h.compression != kBiRgb) {
        return BmpError::BadCompression;
    }

    if (h.bitCount <= 8) {
        uint32_t most = 1u << h.bitCount;
        if (clrUsed > most)
            return BmpError::BadColourCount;
        h.colourCount = clrUsed == 0 ? most : clrUsed;
    }

    // The masks lie right after the 40-byte header (as an addition to it)
    // or inside the larger headers, at the same place.
    uint32_t afterHeader = kFileHeaderSize + h.headerSize;
    if (h.compression == kBiBitfields) {
        if (h.headerSize == 40) {
            afterHeader += 12;
            if (f.size() < afterHeader)
                return BmpError::HeaderTruncated;
        }
        h.masks = {U32(f, 54), U32(f, 58), U32(f, 62)};
        for (uint32_t m : h.masks)
            if (!MaskValid(m, h.bitCount))
                return BmpError::BadMasks;
        if ((h.masks[0] & h.masks[1]) || (h.masks[0] & h.masks[2]) || (h.masks[1] & h.masks[2]))
            return BmpError::BadMasks;
    } else if (h.bitCount == 16) {
        h.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (h.bitCount == 32) {
        h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    }

    h.paletteOffset = afterHeader;
    if (h.dataOffset < afterHeader || h.dataOffset > f.size())
        return BmpError::BadOffset;
    // Writers may store fewer entries than the picture could use; entries
    // not stored are black.
    uint32_t room = (h.dataOffset - afterHeader) / 4;
    h.paletteStored = h.colourCount < room ? h.colourCount : room;

    h.stride = (static_cast<uint64_t>(h.width) * h.bitCount + 31) / 32 * 4;
    uint64_t need = h.stride * static_cast<uint64_t>(h.height);
    if (f.size() - h.dataOffset < need)
        return BmpError::PixelsTruncated;
    return BmpError::Ok;
}

BmpError DecodeBmp(std::span<const uint8_t> f, BmpImage &image)
{
    BmpHeader h;
    BmpError e = ParseBmpHeader(f, h);
    if (e != BmpError::Ok)
        return e;

    // Always 256 entries, zeroed: an index past the stored table reads black
    // rather than memory it does not own.
    std::array<std::array<uint8_t, 3>, 256> palette{};
    for (uint32_t i = 0; i < h.paletteStored; ++i) {
        size_t at = h.paletteOffset + 4 * size_t{i};
        palette[i] = {f[at + 2], f[at + 1], f[at]};
    }
    const Channel red(h.masks[0] ? h.masks[0] : 1), green(h.masks[1] ? h.masks[1] : 1),
        blue(h.masks[2] ? h.masks[2] : 1);

    const size_t width = static_cast<size_t>(h.width);
    const size_t height = static_cast<size_t>(h.height);
    std::vector<uint8_t> rgb(width * height * 3);
    for (size_t y = 0; y < height; ++y) {
        size_t fileRow = h.topDown ? y : height - 1 - y;
        const uint8_t *src = f.data() + h.dataOffset + fileRow * h.stride;
        uint8_t *dst = rgb.data() + y * width * 3;
        switch (h.bitCount) {
        case 1: case 4: case 8: {
            const unsigned bits = h.bitCount;
            const unsigned perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (size_t x = 0; x < width; ++x) {
                unsigned shift = 8 - bits * (1 + x % perByte);
                unsigned index = (src[x / perByte] >> shift) & mask;
                const auto &c = palette[index];
                dst[3 * x] = c[0];
                dst[3 * x + 1] = c[1];
                dst[3 * x + 2] = c[2];
            }
            break;
        }
        case 16:
            for (size_t x = 0; x < width; ++x) {
                uint32_t p = src[2 * x] | static_cast<uint32_t>(src[2 * x + 1]) << 8;
                dst[3 * x] = red(p);
                dst[3 * x + 1] = green(p);
                dst[3 * x + 2] = blue(p);
            }
            break;
        case 24:
            for (size_t x = 0; x < width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            break;
        case 32:
            for (size_t x = 0; x < width; ++x) {
                const uint8_t *s = src + 4 * x;
                uint32_t p = s[0] | static_cast<uint32_t>(s[1]) << 8 | static_cast<uint32_t>(s[2]) << 16 |
                             static_cast<uint32_t>(s[3]) << 24;
                dst[3 * x] = red(p);
                dst[3 * x + 1] = green(p);
                dst[3 * x + 2] = blue(p);
            }
            break;
        }
    }
    image.width = h.width;
    image.height = h.height;
    image.rgb = std::move(rgb);
    return BmpError::Ok;
}

BmpError ReadBmpFile(const std::string &path, BmpImage &image)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return BmpError::OpenFailed;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return BmpError::OpenFailed;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        close(fd);
        return BmpError::FileTooLarge;
    }
    std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < data.size()) {
        ssize_t n = read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return BmpError::ReadFailed;
        }
        if (n == 0)
            break; // the file shrank meanwhile: decode what is there
        got += static_cast<size_t>(n);
    }
    close(fd);
    data.resize(got);
    return DecodeBmp(data, image);
}
