// Stage tests with fixed vectors: bit reader, Huffman tables, IDCT,
// un-stuffing.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bit_reader.h"
#include "jlode_internal.h"
#include "jpeg_writer.h"

namespace {

using namespace jlode;

TEST(BitReader, ReadsMsbFirstAndCountsPosition) {
  std::vector<uint8_t> d = {0xA5, 0x3C, 0xFF, 0x01};
  d.resize(d.size() + kScanPad, 0);
  BitReader br{d.data(), 0, 0, 0};
  br.Refill();
  EXPECT_EQ(br.Peek(4), 0xAu);
  br.Consume(4);
  EXPECT_EQ(br.Peek(8), 0x53u);
  EXPECT_EQ(br.BitPosition(), 4u);
  br.Consume(9);  // position 13: byte 1, bit 5
  EXPECT_EQ(br.BitPosition(), 13u);
  br.Refill();
  EXPECT_EQ(br.Peek(16), 0x9FE0u);  // 100 11111111 00000
  // Extension: a leading 0 bit makes the value negative.
  br.Reset(3);  // 0x01 = 0000 0001
  br.Refill();
  EXPECT_EQ(br.ReceiveExtend(3), -7);  // 000 -> -7
  EXPECT_EQ(br.ReceiveExtend(5), -30);  // 00001 -> 1 - 31
}

TEST(BitReader, ExtendsValuesBySize) {
  // Bits 1 01 0 111 0000: s=1 -> 1, s=2 '01' -> -2, s=1 '0' -> -1, s=3 '111' -> 7
  std::vector<uint8_t> d = {0xAE, 0x00};
  d.resize(d.size() + kScanPad, 0);
  BitReader br{d.data(), 0, 0, 0};
  br.Refill();
  EXPECT_EQ(br.ReceiveExtend(1), 1);
  EXPECT_EQ(br.ReceiveExtend(2), -2);
  EXPECT_EQ(br.ReceiveExtend(1), -1);
  EXPECT_EQ(br.ReceiveExtend(3), 7);
  EXPECT_EQ(br.ReceiveExtend(0), 0);
  EXPECT_EQ(br.BitPosition(), 7u);
}

HuffTable Build(std::initializer_list<uint8_t> counts, std::vector<uint8_t> syms) {
  uint8_t c[16] = {};
  int i = 0;
  for (uint8_t v : counts) c[i++] = v;
  HuffTable t;
  EXPECT_TRUE(BuildHuffTable(&t, c, syms.data()));
  return t;
}

int Decode(const HuffTable& t, uint32_t bits16, int* len) { return DecodeSymbolSlow(t, bits16, len); }

TEST(Huffman, StandardDcLumaCodes) {
  const auto& s = jlode_test::StdDcLuma();
  HuffTable t;
  ASSERT_TRUE(BuildHuffTable(&t, s.bits, s.vals.data()));
  int len;
  EXPECT_EQ(Decode(t, 0x0000, &len), 0);  // 00
  EXPECT_EQ(len, 2);
  EXPECT_EQ(Decode(t, 0x4000, &len), 1);  // 010
  EXPECT_EQ(len, 3);
  EXPECT_EQ(Decode(t, 0xC000, &len), 5);  // 110
  EXPECT_EQ(Decode(t, 0xFF00, &len), 11);  // 111111110
  EXPECT_EQ(len, 9);
  EXPECT_EQ(Decode(t, 0xFF80, &len), -1);  // 111111111: no code
}

TEST(Huffman, LongCodesGoPastTheFirstLevel) {
  // One code of each length 1..16: 0, 10, 110, ..., 1111111111111110.
  std::vector<uint8_t> syms;
  for (int i = 0; i < 16; ++i) syms.push_back(static_cast<uint8_t>(0x10 + i));
  HuffTable t = Build({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, syms);
  int len;
  for (int l = 1; l <= 16; ++l) {
    uint32_t code = (0xFFFFu << (17 - l)) & 0xFFFF;  // l-1 ones then a zero
    EXPECT_EQ(Decode(t, code, &len), 0x10 + l - 1) << l;
    EXPECT_EQ(len, l);
  }
  EXPECT_EQ(Decode(t, 0xFFFF, &len), -1);
}

TEST(Huffman, OverfullLengthKeepsFirstMatch) {
  // Three codes of length 1 get 0, 1 and 2; "2" never fits one bit. The
  // length-2 code continues from 3 << 1 = 6, which fits nothing either.
  HuffTable t = Build({3, 1}, {7, 8, 9, 10});
  int len;
  EXPECT_EQ(Decode(t, 0x0000, &len), 7);
  EXPECT_EQ(Decode(t, 0x8000, &len), 8);
  EXPECT_EQ(len, 1);
  // Codes 1 of length 1 and 01 of length 2 overlap: the shorter one wins.
  HuffTable u = Build({1, 2}, {1, 2, 3});  // 0, 10, 11
  EXPECT_EQ(Decode(u, 0x4000, &len), 1);
}

TEST(Huffman, EmptyAndOversizedTables) {
  HuffTable t = Build({}, {});
  int len;
  EXPECT_EQ(Decode(t, 0x1234, &len), -1);
  EXPECT_EQ(t.fastAc[0], 0);
  uint8_t counts[16] = {0, 0, 0, 0, 0, 0, 0, 200, 57};  // 257 codes
  std::vector<uint8_t> syms(257, 1);
  HuffTable keep = Build({1}, {5});
  EXPECT_FALSE(BuildHuffTable(&keep, counts, syms.data()));
  EXPECT_EQ(Decode(keep, 0, &len), 5);  // left alone
}

TEST(Huffman, CombinedAcEntries) {
  const auto& s = jlode_test::StdAcLuma();
  HuffTable t;
  ASSERT_TRUE(BuildHuffTable(&t, s.bits, s.vals.data()));
  // EOB is 1010; 0x01 is 00 followed by one bit; 0x02 is 01 plus two bits.
  int32_t eob = t.fastAc[0xA << (kFastBits - 4)];
  EXPECT_EQ(eob & 31, 4);
  EXPECT_TRUE(eob & 32);
  int32_t e = t.fastAc[0x1 << (kFastBits - 3)];  // 00 1 -> +1
  EXPECT_EQ(e & 31, 3);
  EXPECT_EQ(e >> 16, 1);
  e = t.fastAc[0x0 << (kFastBits - 3)];  // 00 0 -> -1
  EXPECT_EQ(e >> 16, -1);
  e = t.fastAc[0x4 << (kFastBits - 4)];  // 01 00 -> -3
  EXPECT_EQ(e & 31, 4);
  EXPECT_EQ(e >> 16, -3);
  EXPECT_EQ((e >> 8) & 15, 0);
}

// The IDCT written out line by line in 64-bit arithmetic wrapped to 32 bits.
void IdctReference(const int32_t nat[64], int32_t out[64]) {
  auto wrap = [](int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); };
  auto line = [&](const int64_t* x, int64_t* o) {
    int64_t a = 32 * (x[0] + x[4]), b = 32 * (x[0] - x[4]), c = 42 * x[2] + 17 * x[6], d = 17 * x[2] - 42 * x[6];
    int64_t o0 = 44 * x[1] + 38 * x[3] + 25 * x[5] + 9 * x[7], o1 = 38 * x[1] - 9 * x[3] - 44 * x[5] - 25 * x[7];
    int64_t o2 = 25 * x[1] - 44 * x[3] + 9 * x[5] + 38 * x[7], o3 = 9 * x[1] - 25 * x[3] + 38 * x[5] - 44 * x[7];
    int64_t e[4] = {a + c, b + d, b - d, a - c}, od[4] = {o0, o1, o2, o3};
    for (int i = 0; i < 4; ++i) {
      o[i] = e[i] + od[i];
      o[7 - i] = e[i] - od[i];
    }
  };
  int32_t tmp[64];
  int64_t x[8], o[8];
  for (int r = 0; r < 8; ++r) {
    for (int j = 0; j < 8; ++j) x[j] = nat[r * 8 + j];
    line(x, o);
    for (int k = 0; k < 8; ++k) tmp[r * 8 + k] = wrap(o[k]) >> 5;
  }
  for (int c = 0; c < 8; ++c) {
    for (int j = 0; j < 8; ++j) x[j] = tmp[j * 8 + c];
    line(x, o);
    for (int k = 0; k < 8; ++k) out[k * 8 + c] = (wrap(o[k]) >> 8) + 129;
  }
}

void Transpose(const int32_t* nat, int32_t* t) {
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) t[c * 8 + r] = nat[r * 8 + c];
}

TEST(Idct, FixedVectors) {
  int32_t nat[64] = {}, coefT[64], out[64];
  for (auto kernels : {Kernels::kScalar, Kernels::kAuto}) {
    SelectKernels(kernels);
    Transpose(nat, coefT);
    Idct(coefT, out);
    for (int v : out) EXPECT_EQ(v, 129);  // a zero block
    nat[0] = 64;
    Transpose(nat, coefT);
    Idct(coefT, out);
    for (int v : out) EXPECT_EQ(v, 137);  // 32*64>>5 = 64; 32*64>>8 = 8
    nat[0] = 0;
    nat[1] = 10;  // one horizontal frequency
    Transpose(nat, coefT);
    Idct(coefT, out);
    const int expect[8] = {130, 130, 129, 129, 128, 128, 127, 127};
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) EXPECT_EQ(out[r * 8 + c], expect[c]) << r << "," << c;
    nat[1] = 0;
  }
  SelectKernels(Kernels::kAuto);
}

TEST(Idct, KernelsMatchTheLineByLineTransformIncludingOverflow) {
  std::mt19937 rng(1);
  int32_t nat[64], coefT[64], a[64], b[64], ref[64];
  for (int iter = 0; iter < 3000; ++iter) {
    for (int i = 0; i < 64; ++i) {
      switch (iter % 3) {
        case 0: nat[i] = static_cast<int32_t>(rng() % 4096) - 2048; break;
        case 1: nat[i] = static_cast<int32_t>(rng() % (1 << 24)) - (1 << 23); break;
        default: nat[i] = static_cast<int32_t>(rng()); break;  // wraps
      }
      if (rng() % 4 == 0) nat[i] = 0;
      if (iter % 2 && (i / 8 >= 4 || i % 8 >= 4)) nat[i] = 0;  // low frequencies only
    }
    IdctReference(nat, ref);
    Transpose(nat, coefT);
    IdctScalar(coefT, a);
    SelectKernels(Kernels::kAuto);
    Idct(coefT, b);
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(a[i], ref[i]) << iter << " " << i;
      ASSERT_EQ(b[i], ref[i]) << iter << " " << i;
    }
    if (iter % 2) {
      IdctLow(coefT, b);
      for (int i = 0; i < 64; ++i) ASSERT_EQ(b[i], ref[i]) << "low " << iter << " " << i;
    }
  }
}

TEST(Unstuff, DropsStuffingKeepsRestartsStopsAtMarkers) {
  std::vector<uint8_t> d = {1, 0xFF, 0x00, 2, 0xFF, 0xD3, 3, 0xFF, 0xD9, 4};
  size_t n = Unstuff(d.data(), d.size());
  EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + n),
            (std::vector<uint8_t>{1, 0xFF, 2, 0xFF, 0xD3, 3}));
  std::vector<uint8_t> e = {5, 0xFF, 0xFF, 0xD9};  // fill bytes end it too
  EXPECT_EQ(Unstuff(e.data(), e.size()), 1u);
  std::vector<uint8_t> f = {5, 6, 0xFF};  // cut after FF: taken as FF 00
  EXPECT_EQ(Unstuff(f.data(), f.size()), 3u);
  std::vector<uint8_t> g = {7, 8};
  EXPECT_EQ(Unstuff(g.data(), g.size()), 2u);
}

}  // namespace
