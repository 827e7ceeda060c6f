// Agreement with libjpeg-turbo (integer slow DCT, no fancy upsampling) on
// pictures made from a real photograph. The decoder's transform and colour
// constants are coarser than libjpeg-turbo's, so the results are close, not
// equal: the bounds below were measured and hold with a margin.
#include <gtest/gtest.h>

#ifdef JLODE_NO_LIBJPEG
TEST(Agreement, WithLibjpegTurbo) { GTEST_SKIP() << "libjpeg-turbo, cjpeg or the photo package is missing"; }
#else
#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "jlode.h"

namespace {

// Measured over the pictures made by make_photos.sh (see docs/jlode.md).
constexpr double kMinPsnr = 44.0;   // dB, per picture
constexpr int kMaxDiff = 8;         // per sample

struct Compared {
  double psnr;
  int maxDiff;
};

Compared Compare(const std::string& path) {
  JLODE_BITMAPINFOHEADER h;
  void* block = nullptr;
  int32_t w, ht;
  EXPECT_EQ(LoadJPEG(path.c_str(), nullptr, &h, &block, &w, &ht), 1) << path;
  if (!block) return {0, 255};
  FILE* f = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_decompress(&c);
  jpeg_stdio_src(&c, f);
  jpeg_read_header(&c, TRUE);
  c.dct_method = JDCT_ISLOW;
  c.do_fancy_upsampling = FALSE;
  c.out_color_space = c.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_start_decompress(&c);
  const int nc = c.output_components;
  EXPECT_EQ(static_cast<int32_t>(c.output_width), w);
  EXPECT_EQ(static_cast<int32_t>(c.output_height), ht);
  std::vector<unsigned char> row(c.output_width * nc);
  const size_t stride = static_cast<size_t>(h.biWidth) * 3;
  double se = 0;
  size_t n = 0;
  int maxd = 0;
  while (c.output_scanline < c.output_height) {
    unsigned y = c.output_scanline;
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&c, &r, 1);
    const unsigned char* p = static_cast<const unsigned char*>(block) + y * stride;
    for (unsigned x = 0; x < c.output_width; ++x)
      for (int k = 0; k < 3; ++k) {
        int d = std::abs(p[3 * x + k] - row[x * nc + (nc == 1 ? 0 : k)]);
        se += d * d;
        maxd = std::max(maxd, d);
        ++n;
      }
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  std::fclose(f);
  std::free(block);
  double mse = se / static_cast<double>(n);
  return {mse > 0 ? 10 * std::log10(255.0 * 255.0 / mse) : 99.0, maxd};
}

TEST(Agreement, WithLibjpegTurbo) {
  int count = 0;
  double worstPsnr = 99;
  int worstDiff = 0;
  for (const auto& e : std::filesystem::directory_iterator(JLODE_PHOTOS)) {
    if (e.path().extension() != ".jpg") continue;
    Compared c = Compare(e.path().string());
    std::printf("%-40s PSNR %.2f dB, max difference %d\n", e.path().filename().c_str(), c.psnr, c.maxDiff);
    EXPECT_GE(c.psnr, kMinPsnr) << e.path();
    EXPECT_LE(c.maxDiff, kMaxDiff) << e.path();
    worstPsnr = std::min(worstPsnr, c.psnr);
    worstDiff = std::max(worstDiff, c.maxDiff);
    ++count;
  }
  std::printf("%d pictures: lowest PSNR %.2f dB, largest difference %d\n", count, worstPsnr, worstDiff);
  EXPECT_GE(count, 10);
}

}  // namespace
#endif
