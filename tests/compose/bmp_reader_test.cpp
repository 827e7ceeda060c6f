// The BMP reader: files written by ImageMagick and Pillow against the
// tools' own decode, files from the in-test writer against their known
// pixels, one broken field per row of a table, limits at their boundaries.
#include "bmp_writer.h"
#include "compose/bmp_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace bmptest;

// Errors print by name in failures.
void PrintTo(BmpError e, std::ostream *os) { *os << BmpErrorName(e); }

namespace {

std::vector<uint8_t> ReadAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------- tool files

struct ToolCase {
    std::string name;
    int width = 0, height = 0, bits = 0, headerSize = 0;
};

std::vector<ToolCase> ToolCases()
{
    std::vector<ToolCase> cases;
    std::ifstream in(fs::path(BMP_TEST_DIR) / "cases.txt");
    ToolCase c;
    while (in >> c.name >> c.width >> c.height >> c.bits >> c.headerSize)
        cases.push_back(c);
    return cases;
}

class ToolFile : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolFile, DecodesAsTheWritingToolDoes)
{
    const ToolCase &c = GetParam();
    fs::path dir(BMP_TEST_DIR);
    std::vector<uint8_t> file = ReadAll(dir / (c.name + ".bmp"));
    ASSERT_FALSE(file.empty());
    BmpHeader h;
    BmpImage image;
    if (c.name.find("-rle") != std::string::npos) {
        EXPECT_EQ(ParseBmpHeader(file, h), BmpError::BadCompression);
        EXPECT_EQ(DecodeBmp(file, image), BmpError::BadCompression);
        return;
    }
    ASSERT_EQ(ParseBmpHeader(file, h), BmpError::Ok);
    EXPECT_EQ(h.headerSize, static_cast<uint32_t>(c.headerSize));
    EXPECT_EQ(h.bitCount, c.bits);
    ASSERT_EQ(ReadBmpFile((dir / (c.name + ".bmp")).string(), image), BmpError::Ok);
    ASSERT_EQ(image.width, c.width);
    ASSERT_EQ(image.height, c.height);
    std::vector<uint8_t> want = ReadAll(dir / (c.name + ".rgb"));
    ASSERT_EQ(image.rgb.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(image.rgb[i], want[i]) << "pixel " << i / 3 % c.width << "," << i / 3 / c.width
                                         << " channel " << i % 3;
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolFile, ::testing::ValuesIn(ToolCases()),
                         [](const auto &info) {
                             std::string n = info.param.name;
                             for (char &ch : n)
                                 if (ch == '-')
                                     ch = '_';
                             return n;
                         });

TEST(ToolFiles, CoverEveryDepthAndHeaderSize)
{
    std::set<int> bits, sizes;
    for (const ToolCase &c : ToolCases()) {
        bits.insert(c.bits);
        sizes.insert(c.headerSize);
    }
    EXPECT_EQ(bits, (std::set<int>{1, 4, 8, 16, 24, 32}));
    EXPECT_EQ(sizes, (std::set<int>{40, 108, 124}));
}

// --------------------------------------------------------- writer pictures

std::vector<uint32_t> Palette(uint32_t n)
{
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i < n; ++i)
        p.push_back((i * 0x3B) << 16 | (255 - i) << 8 | (i * 7 + 1) % 256);
    return p;
}

// The expected pixels of a palette or 24-bit picture of the writer.
std::vector<uint8_t> Expected(const BmpFields &s)
{
    std::vector<uint8_t> out;
    for (const auto &row : s.rows)
        for (uint32_t v : row) {
            uint32_t rgb = s.bits == 24 ? v : v < s.palette.size() ? s.palette[v] : 0;
            out.push_back(static_cast<uint8_t>(rgb >> 16));
            out.push_back(static_cast<uint8_t>(rgb >> 8));
            out.push_back(static_cast<uint8_t>(rgb));
        }
    return out;
}

struct Layout {
    const char *name;
    uint16_t bits;
    uint32_t headerSize;
    int width, height;
};

class WriterPicture : public ::testing::TestWithParam<Layout> {};

TEST_P(WriterPicture, DecodesToItsPixelsBothWaysUp)
{
    const Layout &l = GetParam();
    BmpFields s;
    s.bits = l.bits;
    s.headerSize = l.headerSize;
    s.width = l.width;
    s.height = l.height;
    uint32_t values = l.bits == 24 ? 0x1000000 : 1u << l.bits;
    if (l.bits <= 8)
        s.palette = Palette(values);
    s.rows = Pattern(l.width, l.height, values);
    BmpImage up, down;
    ASSERT_EQ(DecodeBmp(WriteBmp(s), up), BmpError::Ok);
    EXPECT_EQ(up.rgb, Expected(s));
    s.height = -l.height;
    ASSERT_EQ(DecodeBmp(WriteBmp(s), down), BmpError::Ok);
    EXPECT_EQ(down.height, l.height);
    EXPECT_EQ(down.rgb, up.rgb);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterPicture,
                         ::testing::Values(Layout{"bits1", 1, 40, 17, 5}, Layout{"bits1_w32", 1, 40, 32, 2},
                                           Layout{"bits4", 4, 40, 9, 4}, Layout{"bits8", 8, 40, 5, 3},
                                           Layout{"bits24", 24, 40, 7, 3}, Layout{"bits24_v4", 24, 108, 2, 2},
                                           Layout{"bits24_v5", 24, 124, 1, 1}, Layout{"bits8_v2", 8, 52, 3, 3},
                                           Layout{"bits8_v3", 8, 56, 4, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WriterPicture, ColourCountShorterThanTheDepthAllows)
{
    BmpFields s;
    s.bits = 8;
    s.width = 4;
    s.height = 1;
    s.clrUsed = 3;
    s.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    s.rows = {{0, 1, 2, 200}};
    BmpImage image;
    ASSERT_EQ(DecodeBmp(WriteBmp(s), image), BmpError::Ok);
    // An index past the table is black, never memory after it.
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}));
}

TEST(WriterPicture, TableShorterThanItsCountReadsBlackForTheRest)
{
    // biClrUsed 0 means 256 entries, but only two are stored before the pixels.
    BmpFields s;
    s.bits = 8;
    s.width = 3;
    s.height = 1;
    s.palette = {0x102030, 0x405060};
    s.rows = {{1, 0, 2}};
    BmpImage image;
    ASSERT_EQ(DecodeBmp(WriteBmp(s), image), BmpError::Ok);
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{0x40, 0x50, 0x60, 0x10, 0x20, 0x30, 0, 0, 0}));
}

struct MaskCase {
    const char *name;
    uint16_t bits;
    uint32_t compression;
    uint32_t headerSize;
    uint32_t masks[3];
    uint32_t pixel;
    uint8_t r, g, b;
};

class BitFields : public ::testing::TestWithParam<MaskCase> {};

TEST_P(BitFields, GiveEightBitChannels)
{
    const MaskCase &m = GetParam();
    BmpFields s;
    s.bits = m.bits;
    s.compression = m.compression;
    s.headerSize = m.headerSize;
    std::copy(m.masks, m.masks + 3, s.masks);
    s.width = 1;
    s.height = 1;
    s.rows = {{m.pixel}};
    BmpImage image;
    ASSERT_EQ(DecodeBmp(WriteBmp(s), image), BmpError::Ok);
    EXPECT_EQ(image.rgb, (std::vector<uint8_t>{m.r, m.g, m.b}));
}

INSTANTIATE_TEST_SUITE_P(
    Masks, BitFields,
    ::testing::Values(
        // Without bit fields 16 bits are 5-5-5 and 32 bits are blue, green, red, unused.
        MaskCase{"rgb555_white", 16, 0, 40, {}, 0x7FFF, 255, 255, 255},
        MaskCase{"rgb555_top_bit_ignored", 16, 0, 40, {}, 0x8000, 0, 0, 0},
        MaskCase{"rgb555_low_values", 16, 0, 40, {}, 0x0421, 8, 8, 8},
        MaskCase{"rgb555_mid_red", 16, 0, 40, {}, 0x4000, 132, 0, 0},
        MaskCase{"bgrx32", 32, 0, 40, {}, 0xAA112233, 0x11, 0x22, 0x33},
        MaskCase{"rgb565", 16, 3, 40, {0xF800, 0x07E0, 0x001F}, 0xF800, 255, 0, 0},
        MaskCase{"rgb565_green_low", 16, 3, 40, {0xF800, 0x07E0, 0x001F}, 0x0020, 0, 4, 0},
        MaskCase{"rgb565_v5", 16, 3, 124, {0xF800, 0x07E0, 0x001F}, 0x07E0, 0, 255, 0},
        MaskCase{"argb4444", 16, 3, 108, {0x0F00, 0x00F0, 0x000F}, 0xF1A5, 0x11, 0xAA, 0x55},
        MaskCase{"rgbx32", 32, 3, 40, {0xFF, 0xFF00, 0xFF0000}, 0x00332211, 0x11, 0x22, 0x33},
        MaskCase{"ten_bit32", 32, 3, 124, {0x3FF00000, 0xFFC00, 0x3FF}, 0x3FF00000 | (0x200 << 10) | 0x3, 255, 128, 0},
        MaskCase{"one_bit_channels", 16, 3, 40, {0x4, 0x2, 0x1}, 0x5, 255, 0, 255}),
    [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------- broken fields

// A valid 8-bit picture of 5 x 3 with a 4-entry table (the base of the
// table below): offset 14 + 40 + 16 = 70, stride 8, 24 pixel bytes.
BmpFields BaseFields()
{
    BmpFields s;
    s.bits = 8;
    s.width = 5;
    s.height = 3;
    s.clrUsed = 4;
    s.palette = Palette(4);
    s.rows = Pattern(5, 3, 4);
    return s;
}

struct Broken {
    const char *name;
    std::function<void(BmpFields &)> change;                // changes before writing
    std::function<void(std::vector<uint8_t> &)> bytes;  // changes after writing
    BmpError want;
};

class BrokenField : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenField, IsRefusedForItsReason)
{
    const Broken &b = GetParam();
    BmpFields s = BaseFields();
    if (b.change)
        b.change(s);
    std::vector<uint8_t> f = WriteBmp(s);
    if (b.bytes)
        b.bytes(f);
    BmpImage image;
    image.width = 77;
    EXPECT_EQ(DecodeBmp(f, image), b.want);
    if (b.want != BmpError::Ok) {
        EXPECT_EQ(image.width, 77); // untouched
        EXPECT_TRUE(image.rgb.empty());
    }
}

auto Set32(size_t at, uint32_t v) { return [=](std::vector<uint8_t> &f) { Put32(f, at, v); }; }
auto Set16(size_t at, uint16_t v) { return [=](std::vector<uint8_t> &f) { Put16(f, at, v); }; }
auto Cut(size_t n) { return [=](std::vector<uint8_t> &f) { f.resize(f.size() - n); }; }
auto Keep(size_t n) { return [=](std::vector<uint8_t> &f) { f.resize(n); }; }

INSTANTIATE_TEST_SUITE_P(
    Fields, BrokenField,
    ::testing::Values(
        Broken{"valid", {}, {}, BmpError::Ok},
        Broken{"empty", {}, Keep(0), BmpError::NotBmp},
        Broken{"file_header_cut", {}, Keep(13), BmpError::NotBmp},
        Broken{"magic", {}, [](auto &f) { f[1] = 'A'; }, BmpError::NotBmp},
        Broken{"header_size_missing", {}, Keep(17), BmpError::HeaderTruncated},
        Broken{"info_header_cut", {}, Keep(53), BmpError::HeaderTruncated},
        Broken{"core_header", {}, Set32(14, 12), BmpError::BadHeaderSize},
        Broken{"header_size_41", {}, Set32(14, 41), BmpError::BadHeaderSize},
        Broken{"header_size_huge", {}, Set32(14, 0xFFFFFFFF), BmpError::BadHeaderSize},
        Broken{"v5_header_cut", [](BmpFields &s) { s.headerSize = 124; s.palette.clear(); s.clrUsed = 0; s.rows.clear(); s.height = 1; s.width = 1; }, Keep(137), BmpError::HeaderTruncated},
        Broken{"planes_0", {}, Set16(26, 0), BmpError::BadPlanes},
        Broken{"planes_2", {}, Set16(26, 2), BmpError::BadPlanes},
        Broken{"width_0", {}, Set32(18, 0), BmpError::BadWidth},
        Broken{"width_negative", {}, Set32(18, 0xFFFFFFFB), BmpError::BadWidth},
        Broken{"height_0", {}, Set32(22, 0), BmpError::BadHeight},
        Broken{"height_int_min", {}, Set32(22, 0x80000000), BmpError::BadHeight},
        Broken{"height_int_min_plus_1", {}, Set32(22, 0x80000001), BmpError::TooLarge},
        Broken{"width_65536", {}, Set32(18, 65536), BmpError::TooLarge},
        Broken{"height_65536", {}, Set32(22, 65536), BmpError::TooLarge},
        Broken{"width_huge", {}, Set32(18, 0x7FFFFFFF), BmpError::TooLarge},
        Broken{"bits_0", {}, Set16(28, 0), BmpError::BadBitCount},
        Broken{"bits_2", {}, Set16(28, 2), BmpError::BadBitCount},
        Broken{"bits_64", {}, Set16(28, 64), BmpError::BadBitCount},
        Broken{"rle8", {}, Set32(30, 1), BmpError::BadCompression},
        Broken{"rle4", [](BmpFields &s) { s.bits = 4; }, Set32(30, 2), BmpError::BadCompression},
        Broken{"jpeg", {}, Set32(30, 4), BmpError::BadCompression},
        Broken{"png", {}, Set32(30, 5), BmpError::BadCompression},
        Broken{"unknown_compression", {}, Set32(30, 0x12345678), BmpError::BadCompression},
        Broken{"bitfields_at_8_bits", {}, Set32(30, 3), BmpError::BadCompression},
        Broken{"bitfields_at_24_bits", [](BmpFields &s) { s.bits = 24; s.palette.clear(); s.clrUsed = 0; s.rows = {}; }, Set32(30, 3), BmpError::BadCompression},
        Broken{"colours_256_at_8_bits", [](BmpFields &s) { s.clrUsed = 256; }, {}, BmpError::Ok},
        Broken{"colours_257_at_8_bits", [](BmpFields &s) { s.clrUsed = 257; }, {}, BmpError::BadColourCount},
        Broken{"colours_2_at_1_bit", [](BmpFields &s) { s.bits = 1; s.clrUsed = 2; s.palette.resize(2); s.rows = Pattern(5, 3, 2); }, {}, BmpError::Ok},
        Broken{"colours_3_at_1_bit", [](BmpFields &s) { s.bits = 1; s.clrUsed = 3; s.palette.resize(2); s.rows = Pattern(5, 3, 2); }, {}, BmpError::BadColourCount},
        Broken{"colours_huge", {}, Set32(46, 0xFFFFFFFF), BmpError::BadColourCount},
        Broken{"colours_many_at_24_bits_ignored", [](BmpFields &s) { s.bits = 24; s.palette.clear(); s.clrUsed = 0xFFFFFFFF; s.rows = {}; }, {}, BmpError::Ok},
        Broken{"mask_zero", [](BmpFields &s) { s.bits = 16; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0; s.masks[1] = 0x3E0; s.masks[2] = 0x1F; }, {}, BmpError::BadMasks},
        Broken{"mask_gap", [](BmpFields &s) { s.bits = 16; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0xF000; s.masks[1] = 0x05E0; s.masks[2] = 0x1F; }, {}, BmpError::BadMasks},
        Broken{"mask_overlap", [](BmpFields &s) { s.bits = 16; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0xFC00; s.masks[1] = 0x07E0; s.masks[2] = 0x1F; }, {}, BmpError::BadMasks},
        Broken{"mask_past_16_bits", [](BmpFields &s) { s.bits = 16; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0x1F800; s.masks[1] = 0x07E0; s.masks[2] = 0x1F; }, {}, BmpError::BadMasks},
        Broken{"mask_top_bit_32", [](BmpFields &s) { s.bits = 32; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0xFF000000; s.masks[1] = 0xFF00; s.masks[2] = 0xFF; }, {}, BmpError::Ok},
        Broken{"masks_cut", [](BmpFields &s) { s.bits = 16; s.compression = 3; s.palette.clear(); s.clrUsed = 0; s.rows = {}; s.masks[0] = 0xF800; s.masks[1] = 0x07E0; s.masks[2] = 0x1F; }, Keep(65), BmpError::HeaderTruncated},
        Broken{"offset_at_header_end", {}, Set32(10, 54), BmpError::Ok},
        Broken{"offset_inside_header", {}, Set32(10, 53), BmpError::BadOffset},
        Broken{"offset_0", {}, Set32(10, 0), BmpError::BadOffset},
        Broken{"offset_past_end", {}, Set32(10, 0xFFFFFFF0), BmpError::BadOffset},
        Broken{"offset_at_end", {}, Set32(10, 94), BmpError::PixelsTruncated},
        Broken{"pixels_exact", {}, {}, BmpError::Ok},
        Broken{"pixels_one_short", {}, Cut(1), BmpError::PixelsTruncated},
        Broken{"pixels_one_more", {}, [](auto &f) { f.push_back(0); }, BmpError::Ok},
        Broken{"pixels_after_offset_moved", {}, Set32(10, 71), BmpError::PixelsTruncated},
        Broken{"taller_than_its_pixels", {}, Set32(22, 4), BmpError::PixelsTruncated},
        Broken{"wider_than_its_pixels", {}, Set32(18, 9), BmpError::PixelsTruncated},
        Broken{"deeper_than_its_pixels", {}, Set16(28, 24), BmpError::PixelsTruncated},
        Broken{"file_size_field_ignored", {}, Set32(2, 0xFFFFFFFF), BmpError::Ok}),
    [](const auto &info) { return std::string(info.param.name); });

// ------------------------------------------------------------------ limits

// Headers alone: a picture that passes every size check stops at its
// missing pixels, one that does not at TooLarge.
BmpError HeaderOnly(int32_t width, int32_t height, uint16_t bits = 1)
{
    BmpFields s;
    s.bits = bits;
    s.width = 1;
    s.height = 1;
    std::vector<uint8_t> f = WriteBmp(s);
    Put32(f, 18, static_cast<uint32_t>(width));
    Put32(f, 22, static_cast<uint32_t>(height));
    BmpHeader h;
    return ParseBmpHeader(f, h);
}

TEST(Limits, SidesAndPixelCount)
{
    EXPECT_EQ(HeaderOnly(65535, 1), BmpError::PixelsTruncated);
    EXPECT_EQ(HeaderOnly(65536, 1), BmpError::TooLarge);
    EXPECT_EQ(HeaderOnly(1, 65535), BmpError::PixelsTruncated);
    EXPECT_EQ(HeaderOnly(1, -65535), BmpError::PixelsTruncated);
    EXPECT_EQ(HeaderOnly(1, -65536), BmpError::TooLarge);
    EXPECT_EQ(HeaderOnly(8192, 8192), BmpError::PixelsTruncated); // exactly kMaxBmpPixels
    EXPECT_EQ(HeaderOnly(8192, 8193), BmpError::TooLarge);
    EXPECT_EQ(HeaderOnly(8191, 8193), BmpError::PixelsTruncated);
    // 65535 x 65535 x 32 bits would overflow 32-bit sizes; caught first.
    EXPECT_EQ(HeaderOnly(65535, 65535, 32), BmpError::TooLarge);
}

TEST(Limits, StrideRoundsEveryDepthUpToFourBytes)
{
    struct { uint16_t bits; int32_t width; uint64_t stride; } rows[] = {
        {1, 1, 4}, {1, 32, 4}, {1, 33, 8}, {4, 8, 4}, {4, 9, 8}, {8, 4, 4}, {8, 5, 8},
        {16, 2, 4}, {16, 3, 8}, {24, 1, 4}, {24, 4, 12}, {24, 5, 16}, {32, 3, 12}};
    for (const auto &r : rows) {
        BmpFields s;
        s.bits = r.bits;
        s.width = r.width;
        s.height = 2;
        BmpHeader h;
        ASSERT_EQ(ParseBmpHeader(WriteBmp(s), h), BmpError::Ok) << r.bits << " " << r.width;
        EXPECT_EQ(h.stride, r.stride) << r.bits << " bits, width " << r.width;
    }
}

// -------------------------------------------------------------------- files

TEST(ReadBmpFile, MissingFolderAndValidFile)
{
    fs::path dir = fs::temp_directory_path() / ("bmp_reader_test_" + std::to_string(getpid()));
    fs::create_directories(dir / "folder.bmp");
    BmpImage image;
    EXPECT_EQ(ReadBmpFile((dir / "missing.bmp").string(), image), BmpError::OpenFailed);
    EXPECT_EQ(ReadBmpFile((dir / "folder.bmp").string(), image), BmpError::OpenFailed);
    std::vector<uint8_t> f = WriteBmp(BaseFields());
    std::ofstream(dir / "ok.bmp", std::ios::binary).write(reinterpret_cast<const char *>(f.data()),
                                                          static_cast<std::streamsize>(f.size()));
    EXPECT_EQ(ReadBmpFile((dir / "ok.bmp").string(), image), BmpError::Ok);
    EXPECT_EQ(image.rgb, Expected(BaseFields()));
    fs::remove_all(dir);
}

} // namespace
