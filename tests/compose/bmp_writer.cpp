#include "bmp_writer.h"

namespace bmptest {

std::vector<std::vector<uint32_t>> Pattern(int width, int height, uint32_t values)
{
    std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            rows[static_cast<size_t>(y)].push_back(
                static_cast<uint32_t>((x * 2654435761u + y * 40503u + 7u) % values));
    return rows;
}

void Put16(std::vector<uint8_t> &f, size_t at, uint16_t v)
{
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t> &f, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> WriteBmp(const BmpFields &s)
{
    const uint32_t maskBytes = s.compression == 3 && s.headerSize == 40 ? 12 : 0;
    const uint32_t table = static_cast<uint32_t>(s.palette.size()) * 4;
    const uint32_t offset = 14 + s.headerSize + maskBytes + table;
    const uint32_t width = static_cast<uint32_t>(s.width);
    const uint32_t height = static_cast<uint32_t>(s.height < 0 ? -s.height : s.height);
    const uint32_t stride = (width * s.bits + 31) / 32 * 4;
    std::vector<uint8_t> f(offset + stride * height);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, static_cast<uint32_t>(f.size()));
    Put32(f, 10, offset);
    Put32(f, 14, s.headerSize);
    Put32(f, 18, static_cast<uint32_t>(s.width));
    Put32(f, 22, static_cast<uint32_t>(s.height));
    Put16(f, 26, s.planes);
    Put16(f, 28, s.bits);
    Put32(f, 30, s.compression);
    Put32(f, 46, s.clrUsed);
    if (s.compression == 3)
        for (int i = 0; i < 3; ++i)
            Put32(f, 54 + 4 * static_cast<size_t>(i), s.masks[i]);
    for (size_t i = 0; i < s.palette.size(); ++i) {
        size_t at = 14 + s.headerSize + maskBytes + 4 * i;
        f[at] = static_cast<uint8_t>(s.palette[i]);
        f[at + 1] = static_cast<uint8_t>(s.palette[i] >> 8);
        f[at + 2] = static_cast<uint8_t>(s.palette[i] >> 16);
    }
    for (uint32_t y = 0; y < height && y < s.rows.size(); ++y) {
        // Bottom-up files store the top row last.
        uint32_t fileRow = s.height < 0 ? y : height - 1 - y;
        uint8_t *row = f.data() + offset + fileRow * stride;
        const auto &px = s.rows[y];
        for (uint32_t x = 0; x < width && x < px.size(); ++x) {
            uint32_t v = px[x];
            switch (s.bits) {
            case 1: case 4: case 8: {
                uint32_t perByte = 8u / s.bits;
                uint32_t shift = 8 - s.bits * (1 + x % perByte);
                row[x / perByte] |= static_cast<uint8_t>(v << shift);
                break;
            }
            case 16:
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                break;
            case 24:
                row[3 * x] = static_cast<uint8_t>(v);
                row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
                break;
            case 32:
                for (int i = 0; i < 4; ++i)
                    row[4 * x + static_cast<uint32_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
                break;
            }
        }
    }
    return f;
}

} // namespace bmptest
