#include "jpeg_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace jlode_test {

namespace {

const uint8_t kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

HuffSpec Make(std::initializer_list<uint8_t> bits, std::vector<uint8_t> vals) {
  HuffSpec s{};
  int i = 0;
  for (uint8_t b : bits) s.bits[i++] = b;
  s.vals = std::move(vals);
  return s;
}

std::vector<uint8_t> Range(int n) {
  std::vector<uint8_t> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<uint8_t>(i));
  return v;
}

struct Codes {
  uint16_t code[256];
  uint8_t len[256];
  explicit Codes(const HuffSpec& s) : code(), len() {
    uint32_t c = 0;
    size_t k = 0;
    for (int l = 1; l <= 16; ++l) {
      for (int i = 0; i < s.bits[l - 1]; ++i, ++k) {
        code[s.vals[k]] = static_cast<uint16_t>(c++);
        len[s.vals[k]] = static_cast<uint8_t>(l);
      }
      c <<= 1;
    }
  }
};

struct BitWriter {
  std::vector<uint8_t>& out;
  uint32_t acc = 0;
  int n = 0;
  void Put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
      acc = acc << 1 | ((bits >> i) & 1);
      if (++n == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        if (acc == 0xFF) out.push_back(0);
        acc = 0;
        n = 0;
      }
    }
  }
  void Flush() {  // pad with 1 bits
    while (n != 0) Put(1, 1);
  }
};

int Category(int v) {
  int a = v < 0 ? -v : v, s = 0;
  while (a) {
    ++s;
    a >>= 1;
  }
  return s;
}

void PutValue(BitWriter& bw, int v, int s) {
  if (s == 0) return;
  uint32_t bits = v >= 0 ? static_cast<uint32_t>(v) : static_cast<uint32_t>(v + (1 << s) - 1);
  bw.Put(bits, s);
}

void Segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& body) {
  out.push_back(0xFF);
  out.push_back(marker);
  size_t len = body.size() + 2;
  out.push_back(static_cast<uint8_t>(len >> 8));
  out.push_back(static_cast<uint8_t>(len));
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

const HuffSpec& StdDcLuma() {
  static const HuffSpec s = Make({0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, Range(12));
  return s;
}
const HuffSpec& StdDcChroma() {
  static const HuffSpec s = Make({0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, Range(12));
  return s;
}
const HuffSpec& StdAcLuma() {
  static const HuffSpec s = Make(
      {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
      {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
       0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
       0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
       0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
       0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
       0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
       0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
       0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
       0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
       0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
       0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa});
  return s;
}
const HuffSpec& StdAcChroma() {
  static const HuffSpec s = Make(
      {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
      {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
       0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
       0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
       0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
       0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
       0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
       0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
       0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
       0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
       0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
       0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa});
  return s;
}

JpegLayout::JpegLayout() {
  for (auto& t : quant)
    for (auto& q : t) q = 1;
  dc[0] = StdDcLuma();
  dc[1] = StdDcChroma();
  ac[0] = StdAcLuma();
  ac[1] = StdAcChroma();
}

std::vector<uint8_t> WriteJpeg(const JpegLayout& L, const CoefSource& coefs) {
  std::vector<uint8_t> out{0xFF, 0xD8};
  std::vector<uint8_t> dqt;
  for (int t = 0; t < L.quantTables; ++t) {
    if (!L.dqtOneSegment) dqt.clear();
    dqt.push_back(static_cast<uint8_t>(t));
    for (int i = 0; i < 64; ++i) dqt.push_back(L.quant[t][kZigzag[i]]);
    if (!L.dqtOneSegment) Segment(out, 0xDB, dqt);
  }
  if (L.dqtOneSegment) Segment(out, 0xDB, dqt);

  std::vector<uint8_t> sof{8, static_cast<uint8_t>(L.height >> 8), static_cast<uint8_t>(L.height),
                           static_cast<uint8_t>(L.width >> 8), static_cast<uint8_t>(L.width),
                           static_cast<uint8_t>(L.comps.size())};
  for (size_t c = 0; c < L.comps.size(); ++c) {
    sof.push_back(static_cast<uint8_t>(c + 1));
    sof.push_back(static_cast<uint8_t>(L.comps[c].h << 4 | L.comps[c].v));
    sof.push_back(L.comps[c].tq);
  }
  Segment(out, 0xC0, sof);

  std::vector<uint8_t> dht;
  for (int tc = 0; tc < 2; ++tc)
    for (int th = 0; th < 2; ++th) {
      const HuffSpec& s = tc == 0 ? L.dc[th] : L.ac[th];
      dht.push_back(static_cast<uint8_t>(tc << 4 | th));
      dht.insert(dht.end(), s.bits, s.bits + 16);
      dht.insert(dht.end(), s.vals.begin(), s.vals.end());
    }
  Segment(out, 0xC4, dht);
  if (L.restartInterval)
    Segment(out, 0xDD, {static_cast<uint8_t>(L.restartInterval >> 8),
                        static_cast<uint8_t>(L.restartInterval)});

  std::vector<uint8_t> sos{static_cast<uint8_t>(L.comps.size())};
  for (size_t c = 0; c < L.comps.size(); ++c) {
    sos.push_back(static_cast<uint8_t>(c + 1));
    sos.push_back(static_cast<uint8_t>(L.comps[c].td << 4 | L.comps[c].ta));
  }
  sos.insert(sos.end(), {0, 63, 0});
  Segment(out, 0xDA, sos);

  Codes dcc[2] = {Codes(L.dc[0]), Codes(L.dc[1])}, acc[2] = {Codes(L.ac[0]), Codes(L.ac[1])};
  const bool single = L.comps.size() == 1;
  int hmax = 1, vmax = 1;
  for (auto& c : L.comps) {
    hmax = std::max<int>(hmax, c.h);
    vmax = std::max<int>(vmax, c.v);
  }
  if (single) hmax = vmax = 1;
  int bcols = (L.width + 7) / 8, brows = (L.height + 7) / 8;
  int mcols = (bcols + hmax - 1) / hmax, mrows = (brows + vmax - 1) / vmax;
  BitWriter bw{out};
  int pred[4] = {0, 0, 0, 0};
  int mcuCount = 0, rst = 0;
  for (int my = 0; my < mrows; ++my)
    for (int mx = 0; mx < mcols; ++mx) {
      if (L.restartInterval && mcuCount && mcuCount % L.restartInterval == 0) {
        bw.Flush();
        out.push_back(0xFF);
        out.push_back(static_cast<uint8_t>(0xD0 + (rst++ & 7)));
        for (int& p : pred) p = 0;
      }
      ++mcuCount;
      for (size_t c = 0; c < L.comps.size(); ++c) {
        int ch = single ? 1 : L.comps[c].h, cv = single ? 1 : L.comps[c].v;
        for (int v = 0; v < cv; ++v)
          for (int u = 0; u < ch; ++u) {
            int16_t blk[64];
            coefs(static_cast<int>(c), mx * ch + u, my * cv + v, blk);
            const Codes& d = dcc[L.comps[c].td];
            const Codes& a = acc[L.comps[c].ta];
            int diff = blk[0] - pred[c];
            pred[c] = blk[0];
            int s = Category(diff);
            bw.Put(d.code[s], d.len[s]);
            PutValue(bw, diff, s);
            int run = 0;
            for (int k = 1; k < 64; ++k) {
              int val = blk[kZigzag[k]];
              if (val == 0) {
                ++run;
                continue;
              }
              while (run > 15) {
                bw.Put(a.code[0xF0], a.len[0xF0]);
                run -= 16;
              }
              int sz = Category(val);
              int rs = run << 4 | sz;
              bw.Put(a.code[rs], a.len[rs]);
              PutValue(bw, val, sz);
              run = 0;
            }
            if (run) bw.Put(a.code[0], a.len[0]);
          }
      }
    }
  bw.Flush();
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

CoefSource RandomCoefs(uint32_t seed, int amplitude) {
  return [seed, amplitude](int c, int bx, int by, int16_t out[64]) {
    std::mt19937 rng(seed * 7919u + static_cast<uint32_t>(c * 1000003 + bx * 10007 + by * 101));
    for (int i = 0; i < 64; ++i) {
      int r = i / 8, col = i % 8;
      int amp = amplitude / (1 + r + col);
      out[i] = static_cast<int16_t>(amp ? static_cast<int>(rng() % (2 * amp + 1)) - amp : 0);
      if (rng() % 3 == 0) out[i] = 0;
    }
    out[0] = static_cast<int16_t>(static_cast<int>(rng() % 400) - 200);
  };
}

bool WriteFile(const char* path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace jlode_test
