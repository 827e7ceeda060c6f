#include "reference_decoder.h"

#include <cstring>

namespace jlode_ref {

namespace {

const int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
int32_t FloorDiv1024(int32_t v) {  // rounds down
  int64_t q = v / 1024;
  if (v % 1024 != 0 && v < 0) --q;
  return static_cast<int32_t>(q);
}
int Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

struct ByteReader {
  const std::vector<uint8_t>& f;
  size_t pos = 0;
  bool Read(uint8_t* b) {
    if (pos >= f.size()) return false;
    *b = f[pos++];
    return true;
  }
  bool Read16(int* v) {
    uint8_t a, b;
    if (!Read(&a) || !Read(&b)) return false;
    *v = a * 256 + b;
    return true;
  }
  bool ReadN(std::vector<uint8_t>& out, size_t n) {
    out.clear();
    for (size_t i = 0; i < n; ++i) {
      uint8_t b;
      if (!Read(&b)) return false;
      out.push_back(b);
    }
    return true;
  }
};

bool Markers(RefState& st, ByteReader& r) {
  bool sawSof = false;
  std::vector<uint8_t> body;
  for (;;) {
    uint8_t m0, m1;
    int length;
    if (!r.Read(&m0) || !r.Read(&m1) || !r.Read16(&length)) return false;
    if (m0 != 0xFF) return false;
    if (m1 == 0xDB) {
      int n = length - 2 > 0 ? (length - 2) / 65 : 0;
      for (int t = 0; t < n; ++t) {
        if (!r.ReadN(body, 65)) return false;
        int tq = body[0] & 15;
        if (tq > 3) return false;
        for (int i = 0; i < 64; ++i) st.quant[tq][kZigzag[i]] = body[1 + i];
      }
      st.pred[0] = st.pred[1] = st.pred[2] = 0;
    } else if (m1 == 0xDD) {
      if (!r.Read16(&st.restartInterval)) return false;
    } else if (m1 == 0xDA) {
      uint8_t ns, b;
      if (!r.Read(&ns)) return false;
      int td[3] = {}, ta[3] = {};
      for (int i = 0; i < ns; ++i) {
        if (!r.Read(&b) || !r.Read(&b)) return false;
        if (i < 3) {
          td[i] = b >> 4;
          ta[i] = b & 15;
        }
      }
      for (int i = 0; i < 3; ++i)
        if (!r.Read(&b)) return false;
      if (!st.frameValid || ns != st.nf) return false;
      for (int i = 0; i < ns && i < 3; ++i)
        if (td[i] > 1 || ta[i] > 1) return false;
      st.ns = ns;
      for (int i = 0; i < 3; ++i) {
        st.td[i] = td[i];
        st.ta[i] = ta[i];
      }
      return true;
    } else if ((m1 >= 0xE0 && m1 <= 0xEE) || m1 == 0xFE || m1 == 0xC0 || m1 == 0xC4) {
      if (length < 2 || !r.ReadN(body, static_cast<size_t>(length - 2))) return false;
      if (m1 == 0xC0) {
        if (sawSof) return false;
        sawSof = true;
        size_t len = body.size();
        if (len < 6) return false;
        int nf = body[5];
        if (nf != 1 && nf != 3) return false;
        if (len < (nf == 1 ? 9u : 15u)) return false;
        int h[3] = {}, v[3] = {}, tq[3] = {};
        for (int c = 0; c < nf; ++c) {
          h[c] = body[7 + 3 * c] >> 4;
          v[c] = body[7 + 3 * c] & 15;
          tq[c] = body[8 + 3 * c];
          if (tq[c] > 3) return false;
        }
        int hmax = 1, vmax = 1, lw = 1, lh = 1;
        bool flag = false;
        if (nf == 3) {
          if (h[1] != 1 || v[1] != 1 || h[2] != 1 || v[2] != 1) return false;
          bool ok = (h[0] == 1 && v[0] == 1) || (h[0] == 2 && v[0] == 1) ||
                    (h[0] == 1 && v[0] == 2) || (h[0] == 2 && v[0] == 2) ||
                    (h[0] == 4 && v[0] == 1);
          if (!ok) return false;
          hmax = lw = h[0];
          vmax = lh = v[0];
          flag = h[0] == 1 && v[0] == 1;
        }
        st.frameValid = true;
        st.height = body[1] * 256 + body[2];
        st.width = body[3] * 256 + body[4];
        st.nf = nf;
        for (int c = 0; c < 3; ++c) {
          st.h[c] = h[c];
          st.v[c] = v[c];
          st.tq[c] = tq[c];
        }
        st.hmax = hmax;
        st.vmax = vmax;
        st.lumaW = lw;
        st.lumaH = lh;
        if (flag) st.all1x1 = true;
      } else if (m1 == 0xC4) {
        size_t p = 0;
        while (p < body.size()) {
          if (body[p] == 0xFF) break;
          if (body.size() - p < 17) return false;
          int tc = body[p] >> 4, th = body[p] & 15;
          if (tc > 1 || th > 1) return false;
          int total = 0;
          for (int i = 0; i < 16; ++i) total += body[p + 1 + i];
          if (total > 256 || body.size() - p - 17 < static_cast<size_t>(total)) return false;
          Huff t;
          t.count = total;
          int n = 0;
          for (int l = 1; l <= 16; ++l)
            for (int i = 0; i < body[p + l]; ++i) {
              t.len[n] = static_cast<uint8_t>(l);
              t.sym[n] = body[p + 17 + n];
              ++n;
            }
          uint32_t code = 0;
          int len = total ? t.len[0] : 0;
          for (int i = 0; i < total; ++i) {
            while (t.len[i] > len) {
              code <<= 1;
              ++len;
            }
            t.code[i] = code++;
          }
          (tc == 0 ? st.dc[th] : st.ac[th]) = t;
          p += 17 + static_cast<size_t>(total);
        }
      }
    } else {
      return false;
    }
  }
}

struct Bits {
  const std::vector<uint8_t>& d;  // scan data plus zero padding
  size_t ptr = 0;
  int off = 0;
  uint8_t At(size_t i) const { return i < d.size() ? d[i] : 0; }
  uint32_t Look16() const {
    uint32_t three = static_cast<uint32_t>(At(ptr)) << 16 | static_cast<uint32_t>(At(ptr + 1)) << 8 | At(ptr + 2);
    return (three >> (8 - off)) & 0xFFFF;
  }
  void Consume(int n) {
    off += n;
    ptr += static_cast<size_t>(off / 8);
    off %= 8;
  }
  int32_t Receive(int s) {
    if (s == 0) return 0;
    int32_t v = static_cast<int32_t>(Look16() >> (16 - s));
    Consume(s);
    if ((v >> (s - 1)) == 0) return v - ((1 << s) - 1);
    return v;
  }
};

int Decode(const Huff& t, Bits& b) {
  uint32_t la = b.Look16();
  for (int i = 0; i < t.count; ++i)
    if ((la >> (16 - t.len[i])) == t.code[i]) {
      b.Consume(t.len[i]);
      return t.sym[i];
    }
  return -1;
}

void IdctLine(const int32_t x[8], int64_t out[8]) {
  int64_t a = 32LL * (static_cast<int64_t>(x[0]) + x[4]), b = 32LL * (static_cast<int64_t>(x[0]) - x[4]);
  int64_t c = 42LL * x[2] + 17LL * x[6], d = 17LL * x[2] - 42LL * x[6];
  int64_t e0 = a + c, e1 = b + d, e2 = b - d, e3 = a - c;
  int64_t o0 = 44LL * x[1] + 38LL * x[3] + 25LL * x[5] + 9LL * x[7];
  int64_t o1 = 38LL * x[1] - 9LL * x[3] - 44LL * x[5] - 25LL * x[7];
  int64_t o2 = 25LL * x[1] - 44LL * x[3] + 9LL * x[5] + 38LL * x[7];
  int64_t o3 = 9LL * x[1] - 25LL * x[3] + 38LL * x[5] - 44LL * x[7];
  out[0] = e0 + o0;
  out[7] = e0 - o0;
  out[1] = e1 + o1;
  out[6] = e1 - o1;
  out[2] = e2 + o2;
  out[5] = e2 - o2;
  out[3] = e3 + o3;
  out[4] = e3 - o3;
}

void Idct(int32_t blk[64]) {
  int32_t x[8];
  int64_t o[8];
  for (int r = 0; r < 8; ++r) {
    for (int j = 0; j < 8; ++j) x[j] = blk[r * 8 + j];
    IdctLine(x, o);
    for (int k = 0; k < 8; ++k) blk[r * 8 + k] = Wrap(o[k]) >> 5;
  }
  for (int c = 0; c < 8; ++c) {
    for (int j = 0; j < 8; ++j) x[j] = blk[j * 8 + c];
    IdctLine(x, o);
    for (int k = 0; k < 8; ++k) blk[k * 8 + c] = (Wrap(o[k]) >> 8) + 129;
  }
}

// Decodes one block and transforms it; false on a failed decode.
bool Block(RefState& st, Bits& b, int comp, int32_t blk[64]) {
  const Huff& dc = st.dc[st.td[comp]];
  const Huff& ac = st.ac[st.ta[comp]];
  const int32_t* q = st.quant[st.tq[comp]];
  int s = Decode(dc, b);
  if (s < 0 || s > 15) return false;
  st.pred[comp] = Wrap(static_cast<int64_t>(st.pred[comp]) + b.Receive(s));
  for (int i = 0; i < 64; ++i) blk[i] = 0;
  blk[0] = Wrap(static_cast<int64_t>(st.pred[comp]) * q[0]);
  int k = 1;
  while (k < 64) {
    int rs = Decode(ac, b);
    if (rs < 0) return false;
    if (rs == 0) break;
    int run = rs / 16, size = rs % 16;
    int32_t v = b.Receive(size);
    if (k + run > 63) break;
    k += run;
    blk[kZigzag[k]] = v * q[kZigzag[k]];
    ++k;
  }
  Idct(blk);
  return true;
}

}  // namespace

RefResult RefDecode(RefState& st, const std::vector<uint8_t>& file, size_t maxBlockBytes) {
  RefResult res;
  st.restartInterval = 0;
  st.restartCounter = 0;
  st.all1x1 = false;
  ByteReader r{file};
  uint8_t a, b;
  if (!r.Read(&a) || !r.Read(&b) || a != 0xFF || b != 0xD8) return res;
  if (!Markers(st, r)) return res;
  const int width = st.width, height = st.height;
  const int pw = (width + 3) / 4 * 4;
  const size_t stride = static_cast<size_t>(pw) * 3;
  const size_t size = (static_cast<size_t>(height) + 80) * stride + 4096;
  if (size > maxBlockBytes) return res;

  // Un-stuff the rest of the file.
  std::vector<uint8_t> scan;
  for (size_t i = r.pos; i < file.size(); ++i) {
    uint8_t c = file[i];
    if (c != 0xFF) {
      scan.push_back(c);
      continue;
    }
    uint8_t n = i + 1 < file.size() ? file[i + 1] : 0;
    if (n == 0) {
      scan.push_back(0xFF);
      ++i;
    } else if (n >= 0xD0 && n <= 0xD7) {
      scan.push_back(0xFF);
      scan.push_back(n);
      ++i;
    } else {
      break;
    }
  }
  const size_t end = scan.size();
  scan.resize(end + 8192, 0);

  res.ok = 1;
  res.width = width;
  res.height = height;
  res.paddedWidth = pw;
  res.block.assign(size, 0);
  auto put = [&](int x, int y, int B, int G, int R) {
    size_t o = static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x);
    res.block[o] = static_cast<uint8_t>(B);
    res.block[o + 1] = static_cast<uint8_t>(G);
    res.block[o + 2] = static_cast<uint8_t>(R);
  };

  const bool path1 = st.all1x1;
  const int H = path1 ? 1 : st.hmax, V = path1 ? 1 : st.vmax;
  const int bcols = (width + 7) / 8, brows = (height + 7) / 8;
  const int mcols = (bcols + H - 1) / H, mrows = (brows + V - 1) / V;
  Bits bits{scan};
  int32_t Y[256], Cb[256], Cr[256], blk[64], blk2[64], blk3[64];
  for (int my = 0; my < mrows; ++my)
    for (int mx = 0; mx < mcols; ++mx) {
      if (path1) {
        if (!Block(st, bits, 0, blk) || !Block(st, bits, 1, blk2) || !Block(st, bits, 2, blk3))
          return res;
        for (int yy = 0; yy < 8; ++yy)
          for (int xx = 0; xx < 8; ++xx) {
            int x = 8 * mx + xx, y = 8 * my + yy;
            if (x >= width) continue;
            int32_t y0 = blk[yy * 8 + xx];
            int32_t cb = Wrap(static_cast<int64_t>(blk2[yy * 8 + xx]) - 128);
            int32_t cr = Wrap(static_cast<int64_t>(blk3[yy * 8 + xx]) - 128);
            int32_t tb = FloorDiv1024(Wrap(static_cast<int64_t>(cb) * 1814));
            int32_t tg1 = FloorDiv1024(Wrap(static_cast<int64_t>(cb) * 352));
            int32_t tg2 = FloorDiv1024(Wrap(static_cast<int64_t>(cr) * 731));
            int32_t tr = FloorDiv1024(Wrap(static_cast<int64_t>(cr) * 1436));
            put(x, y, Clamp(Wrap(static_cast<int64_t>(y0) + tb)),
                Clamp(Wrap(static_cast<int64_t>(y0) - tg1 - tg2)), Clamp(Wrap(static_cast<int64_t>(y0) + tr)));
          }
      } else {
        const int mw = 8 * H;
        for (int v = 0; v < st.lumaH; ++v)
          for (int u = 0; u < st.lumaW; ++u) {
            if (!Block(st, bits, 0, blk)) return res;
            for (int i = 0; i < 64; ++i) Y[(8 * v + i / 8) * mw + 8 * u + i % 8] = blk[i];
          }
        if (st.ns != 1) {
          if (!Block(st, bits, 1, blk)) return res;
          for (int i = 0; i < 8 * V * mw; ++i) Cb[i] = blk[(i / mw / V) * 8 + (i % mw) / H];
          if (!Block(st, bits, 2, blk)) return res;
          for (int i = 0; i < 8 * V * mw; ++i) Cr[i] = blk[(i / mw / V) * 8 + (i % mw) / H];
        }
        for (int yy = 0; yy < 8 * V; ++yy)
          for (int xx = 0; xx < mw; ++xx) {
            int x = mw * mx + xx, y = 8 * V * my + yy;
            if (x >= width) continue;
            int32_t y0 = Y[yy * mw + xx];
            if (st.ns == 1) {
              put(x, y, Clamp(y0), Clamp(y0), Clamp(y0));
              continue;
            }
            int64_t cb = Wrap(static_cast<int64_t>(Cb[yy * mw + xx]) - 128);
            int64_t cr = Wrap(static_cast<int64_t>(Cr[yy * mw + xx]) - 128);
            int32_t R = FloorDiv1024(Wrap(1024LL * y0 + cr * 1435));
            int32_t G = FloorDiv1024(Wrap(1024LL * y0 - cb * 352 - cr * 731));
            int32_t B = FloorDiv1024(Wrap(1024LL * y0 + cb * 1814));
            put(x, y, Clamp(B), Clamp(G), Clamp(R));
          }
      }
      if (st.restartInterval != 0 && ++st.restartCounter == st.restartInterval) {
        st.restartCounter = 0;
        st.pred[0] = st.pred[1] = st.pred[2] = 0;
        if (path1) {
          bits.ptr += bits.off ? 3 : 2;
          bits.off = 0;
        } else {
          bits.off = 0;
          size_t p = bits.ptr;
          for (;;) {
            if (p + 1 >= end) {
              p = end + 1;
              break;
            }
            if (scan[p] == 0xFF && scan[p + 1] >= 0xD0 && scan[p + 1] <= 0xD8) {
              p += 2;
              break;
            }
            ++p;
          }
          bits.ptr = p;
        }
      }
      if (bits.ptr > end) return res;
    }
  return res;
}

}  // namespace jlode_ref
