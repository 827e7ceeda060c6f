// The BMP reader of the picture preview. The header is parsed and every
// field validated before anything is allocated; the pixels are then decoded
// into top-down RGB rows. Nothing in a file can make the reader allocate
// more than its size cap or read outside the file's bytes.
//
// Read: uncompressed 1, 4, 8, 16, 24 and 32 bits a pixel, bit-field masks
// for 16 and 32 bits, info headers of 40, 52, 56, 108 and 124 bytes,
// biClrUsed, bottom-up and top-down rows. Refused: the 12-byte core header,
// run-length and embedded JPEG/PNG compression.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Why a file was refused: one value per reason.
enum class BmpError {
    Ok,
    OpenFailed,        // the file cannot be opened (or is no regular file)
    ReadFailed,        // reading it failed
    FileTooLarge,      // larger than any picture the reader accepts
    NotBmp,            // shorter than a file header, or no "BM"
    BadHeaderSize,     // the info header's size is none of 40, 52, 56, 108, 124
    HeaderTruncated,   // the file ends inside the info header (or its masks)
    BadPlanes,         // planes is not 1
    BadWidth,          // width 0 or negative
    BadHeight,         // height 0 or INT32_MIN
    TooLarge,          // wider or taller than 65535, or more than kMaxBmpPixels
    BadBitCount,       // bits a pixel other than 1, 4, 8, 16, 24, 32
    BadCompression,    // run-length, JPEG, PNG or unknown compression, or
                       // bit fields at a depth other than 16 or 32
    BadColourCount,    // biClrUsed above 2^bits for a palette picture
    BadMasks,          // a zero, non-contiguous, overlapping or too wide mask
    BadOffset,         // the pixels would start inside the headers or past the end
    PixelsTruncated,   // fewer pixel bytes than width x height need
};

// A short English name of the error, for test output.
const char *BmpErrorName(BmpError e);

// The largest picture the reader accepts (about 67 megapixels; each side
// is at most 65535 pixels too).
inline constexpr uint64_t kMaxBmpPixels = uint64_t{1} << 26;

// What the headers say, once validated.
struct BmpHeader {
    uint32_t dataOffset = 0;   // bfOffBits
    uint32_t headerSize = 0;   // biSize
    int32_t width = 0;
    int32_t height = 0;        // always positive here
    bool topDown = false;      // the file's height was negative
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 (none) or 3 (bit fields)
    uint32_t colourCount = 0;  // palette entries the picture may use (0 above 8 bits)
    uint32_t paletteOffset = 0;// where the colour table starts in the file
    uint32_t paletteStored = 0;// entries actually present before the pixels
    std::array<uint32_t, 3> masks{}; // red, green, blue (16 and 32 bits)
    uint64_t stride = 0;       // bytes a row, rounded up to 4
};

// A decoded picture: width x height pixels of three bytes (red, green,
// blue), first row at the top.
struct BmpImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// Validates the headers of a whole file in memory.
BmpError ParseBmpHeader(std::span<const uint8_t> file, BmpHeader &header);

// Validates and decodes a whole file in memory. On failure `image` is
// untouched.
BmpError DecodeBmp(std::span<const uint8_t> file, BmpImage &image);

// Reads and decodes a file. On failure `image` is untouched.
BmpError ReadBmpFile(const std::string &path, BmpImage &image);
