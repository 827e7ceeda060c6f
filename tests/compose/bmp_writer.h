// A tiny BMP writer for the reader's tests and fuzz seeds: builds a valid
// file from a description, which a test then breaks one field at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bmptest {

struct BmpFields {
    uint32_t headerSize = 40;
    int32_t width = 3;
    int32_t height = 2;          // negative: top-down
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    // Palette entries (red, green, blue) written to the colour table.
    std::vector<uint32_t> palette;
    uint32_t masks[3] = {0, 0, 0}; // written when compression is 3
    // Pixel values of each row, top row first: palette indices, or the
    // packed pixel for 16 and 32 bits, or 0xRRGGBB for 24 bits.
    std::vector<std::vector<uint32_t>> rows;
};

// Rows of width x height pixel values with a pattern that differs in every
// pixel (limited to `values` different values).
std::vector<std::vector<uint32_t>> Pattern(int width, int height, uint32_t values);

std::vector<uint8_t> WriteBmp(const BmpFields &fields);

// Little-endian field access for breaking a written file.
void Put16(std::vector<uint8_t> &f, size_t at, uint16_t v);
void Put32(std::vector<uint8_t> &f, size_t at, uint32_t v);

} // namespace bmptest
