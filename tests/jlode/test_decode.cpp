// Whole pictures: known pixel values, geometry, restarts, end of data, and
// byte-for-byte agreement with the reference decoder over many layouts.
#include <random>

#include "test_util.h"

namespace {

using namespace jlode_test;

JpegLayout Layout(int w, int h, std::vector<Component> comps, int restart = 0) {
  JpegLayout L;
  L.width = static_cast<uint16_t>(w);
  L.height = static_cast<uint16_t>(h);
  L.comps = std::move(comps);
  L.restartInterval = static_cast<uint16_t>(restart);
  return L;
}
const Component kY{1, 1, 0, 0, 0}, kC{1, 1, 1, 1, 1};
Component Luma(int h, int v) { return Component{static_cast<uint8_t>(h), static_cast<uint8_t>(v), 0, 0, 0}; }

// Flat blocks: the DC of every block of component c is dc[c].
CoefSource Flat(int y, int cb, int cr) {
  return [=](int c, int, int, int16_t out[64]) {
    for (int i = 0; i < 64; ++i) out[i] = 0;
    out[0] = static_cast<int16_t>(c == 0 ? y : c == 1 ? cb : cr);
  };
}

TEST(Decode, ZeroBlockIs129) {
  TempDir dir;
  auto file = WriteJpeg(Layout(8, 8, {kY}), Flat(0, 0, 0));
  Decoded d = Load(dir.Write("z.jpg", file));
  ASSERT_EQ(d.ok, 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(d.Pixel(x, y)[k], 129);
  std::free(d.block);
}

TEST(Decode, TheTwoColourPathsRoundDifferently) {
  // A DC of -232 transforms to Y = -29 + 129 = 100; a DC of 0 to 129.
  TempDir dir;
  Decoded p1 = Load(dir.Write("a.jpg", WriteJpeg(Layout(8, 8, {kY, kC, kC}), Flat(-232, 0, 0))));
  ASSERT_EQ(p1.ok, 1);
  EXPECT_EQ(p1.Pixel(3, 3)[0], 101);  // B
  EXPECT_EQ(p1.Pixel(3, 3)[1], 100);  // G
  EXPECT_EQ(p1.Pixel(3, 3)[2], 101);  // R
  Decoded p2 = Load(dir.Write("b.jpg", WriteJpeg(Layout(16, 8, {Luma(2, 1), kC, kC}), Flat(-232, 0, 0))));
  ASSERT_EQ(p2.ok, 1);
  EXPECT_EQ(p2.Pixel(12, 5)[0], 101);
  EXPECT_EQ(p2.Pixel(12, 5)[1], 98);
  EXPECT_EQ(p2.Pixel(12, 5)[2], 101);
  std::free(p1.block);
  std::free(p2.block);
}

// Every MCU column gets its own luma level, so pixels show which MCU wrote them.
CoefSource PerMcu(int hLuma) {
  return [=](int c, int bx, int, int16_t out[64]) {
    for (int i = 0; i < 64; ++i) out[i] = 0;
    // Chroma DC -8 transforms to 128: no colour, so B = G = R = Y.
    out[0] = static_cast<int16_t>(c == 0 ? 8 * (bx / hLuma) * 10 : -8);
  };
}

TEST(Decode, McuGeometry) {
  TempDir dir;
  // 17 px at 2x1: 3 block columns, 2 MCU columns of 16 px.
  Decoded a = Load(dir.Write("a.jpg", WriteJpeg(Layout(17, 8, {Luma(2, 1), kC, kC}), PerMcu(2))));
  ASSERT_EQ(a.ok, 1);
  EXPECT_EQ(a.header.biWidth, 20);
  EXPECT_EQ(a.Pixel(15, 0)[1], 129);
  EXPECT_EQ(a.Pixel(16, 0)[1], 139);
  for (int x = 17; x < 20; ++x) EXPECT_EQ(a.Pixel(x, 0)[0] | a.Pixel(x, 0)[1] | a.Pixel(x, 0)[2], 0);
  // 48 px at 4x1: 6 block columns, 2 MCU columns of 32 px.
  Decoded b = Load(dir.Write("b.jpg", WriteJpeg(Layout(48, 16, {Luma(4, 1), kC, kC}), PerMcu(4))));
  ASSERT_EQ(b.ok, 1);
  EXPECT_EQ(b.Pixel(31, 9)[1], 129);
  EXPECT_EQ(b.Pixel(32, 9)[1], 139);
  EXPECT_EQ(b.Pixel(47, 9)[1], 139);
  std::free(a.block);
  std::free(b.block);
  ExpectSameAsReference(WriteJpeg(Layout(17, 9, {Luma(2, 1), kC, kC}), RandomCoefs(3)), "17px 2x1");
  ExpectSameAsReference(WriteJpeg(Layout(48, 9, {Luma(4, 1), kC, kC}), RandomCoefs(4)), "48px 4x1");
}

TEST(Decode, RestartsGiveTheSamePixelsOnBothPaths) {
  for (auto comps : {std::vector<Component>{kY, kC, kC}, std::vector<Component>{Luma(2, 2), kC, kC},
                     std::vector<Component>{kY}}) {
    TempDir dir;
    Decoded plain = Load(dir.Write("p.jpg", WriteJpeg(Layout(75, 43, comps), RandomCoefs(9))));
    ASSERT_EQ(plain.ok, 1);
    for (int interval : {1, 3, 4}) {
      Decoded rst = Load(dir.Write("r.jpg", WriteJpeg(Layout(75, 43, comps, interval), RandomCoefs(9))));
      ASSERT_EQ(rst.ok, 1);
      EXPECT_TRUE(rst.Bytes() == plain.Bytes()) << comps.size() << " " << interval;
      std::free(rst.block);
    }
    std::free(plain.block);
  }
}

TEST(Decode, LastBandIsWrittenInFullPastTheHeight) {
  TempDir dir;
  // 4:2:0, height 20: the second band covers rows 16 to 31.
  Decoded d = Load(dir.Write("a.jpg", WriteJpeg(Layout(16, 20, {Luma(2, 2), kC, kC}), Flat(80, -8, -8))));
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.Pixel(5, 31)[1], 139);  // in the extra rows
  EXPECT_EQ(d.Pixel(5, 32)[1], 0);    // below the band
  std::free(d.block);
}

TEST(Decode, CutOffFileKeepsTheDecodedPartAndBlackBelow) {
  auto file = WriteJpeg(Layout(64, 64, {Luma(2, 2), kC, kC}), RandomCoefs(5));
  auto cut = std::vector<uint8_t>(file.begin(), file.begin() + static_cast<long>(file.size() / 2));
  TempDir dir;
  Decoded d = Load(dir.Write("cut.jpg", cut));
  ASSERT_EQ(d.ok, 1);
  bool topDecoded = false, bottomBlack = true;
  for (int x = 0; x < 64; ++x) {
    topDecoded |= d.Pixel(x, 0)[1] != 0;
    for (int k = 0; k < 3; ++k) bottomBlack &= d.Pixel(x, 63)[k] == 0;
  }
  EXPECT_TRUE(topDecoded);
  EXPECT_TRUE(bottomBlack);
  std::free(d.block);
  // Every cut point gives what the reference gives.
  auto small = WriteJpeg(Layout(24, 16, {Luma(2, 1), kC, kC}, 2), RandomCoefs(6));
  for (size_t n = 0; n <= small.size(); n += 3)
    ExpectSameAsReference(std::vector<uint8_t>(small.begin(), small.begin() + static_cast<long>(n)),
                          ("cut at " + std::to_string(n)).c_str());
}

TEST(Decode, MatchesTheReferenceOverLayoutsSizesAndKernels) {
  const std::vector<std::vector<Component>> layouts = {
      {kY}, {kY, kC, kC}, {Luma(2, 1), kC, kC}, {Luma(1, 2), kC, kC}, {Luma(2, 2), kC, kC}, {Luma(4, 1), kC, kC}};
  std::mt19937 rng(42);
  for (auto kernels : {jlode::Kernels::kScalar, jlode::Kernels::kAuto}) {
    jlode::SelectKernels(kernels);
    for (size_t li = 0; li < layouts.size(); ++li)
      for (int iter = 0; iter < 6; ++iter) {
        JpegLayout L = Layout(1 + rng() % 70, 1 + rng() % 50, layouts[li], iter % 3 == 0 ? 1 + rng() % 5 : 0);
        for (int t = 0; t < 2; ++t)
          for (int i = 0; i < 64; ++i) L.quant[t][i] = static_cast<uint8_t>(1 + rng() % 40);
        // Large coefficients push the colour terms outside 0..255.
        ExpectSameAsReference(WriteJpeg(L, RandomCoefs(rng(), iter % 2 ? 60 : 600)),
                              ("layout " + std::to_string(li) + " iter " + std::to_string(iter)).c_str());
      }
  }
  jlode::SelectKernels(jlode::Kernels::kAuto);
}

TEST(Decode, CorruptScanDataMatchesTheReference) {
  // Flipped bits give codes that match nothing, runs past the block end and
  // huge values; both decoders must agree on all of it.
  auto file = WriteJpeg(Layout(40, 24, {Luma(2, 1), kC, kC}, 3), RandomCoefs(11, 300));
  std::mt19937 rng(7);
  size_t scanStart = file.size() / 3;
  for (int iter = 0; iter < 150; ++iter) {
    auto bad = file;
    for (int k = 0; k < 1 + iter % 4; ++k) bad[scanStart + rng() % (bad.size() - scanStart)] ^= static_cast<uint8_t>(1 << (rng() % 8));
    ExpectSameAsReference(bad, ("corrupt " + std::to_string(iter)).c_str());
  }
}

TEST(Decode, TablesFrameAndPredictorsCarryOverToTheNextCall) {
  // A file without DQT, DHT and SOF0 decodes with the previous call's.
  auto full = WriteJpeg(Layout(24, 16, {kY, kC, kC}), RandomCoefs(12));
  auto bare = WriteJpeg(Layout(24, 16, {kY, kC, kC}), RandomCoefs(13));
  // Cut DQT, SOF0 and DHT out of the second file: keep SOI, then SOS onwards.
  size_t sos = 2;
  while (!(bare[sos] == 0xFF && bare[sos + 1] == 0xDA)) sos += 2 + (bare[sos + 2] << 8 | bare[sos + 3]);
  std::vector<uint8_t> abbreviated = {0xFF, 0xD8};
  abbreviated.insert(abbreviated.end(), bare.begin() + static_cast<long>(sos), bare.end());

  TempDir dir;
  jlode::ResetState();
  Decoded first = Load(dir.Write("a.jpg", full));
  Decoded second = Load(dir.Write("b.jpg", abbreviated), first.block);
  jlode_ref::RefState st;
  auto r1 = jlode_ref::RefDecode(st, full, 0xFFFFFFFFu);
  auto r2 = jlode_ref::RefDecode(st, abbreviated, 0xFFFFFFFFu);
  ASSERT_EQ(second.ok, 1);
  ASSERT_EQ(r2.ok, 1);
  EXPECT_TRUE(second.Bytes() == r2.block);
  // With the 1x1 flag cleared, the second picture takes the general path.
  jlode::ResetState();
  Decoded alone = Load(dir.Write("c.jpg", bare));
  EXPECT_FALSE(alone.Bytes() == second.Bytes());
  (void)r1;
  std::free(second.block);
  std::free(alone.block);
  // Without any earlier frame the abbreviated file is refused.
  jlode::ResetState();
  EXPECT_EQ(Load(dir.Write("d.jpg", abbreviated)).ok, 0);
}

}  // namespace
