// Scan decoding: un-stuffing, bit reading, Huffman decoding of blocks, the
// MCU loop with restarts and the end-of-data rule.
#include <cstring>

#include "bit_reader.h"
#include "colour.h"
#include "jlode_internal.h"
#include "zigzag.h"

namespace jlode {

namespace {

// Natural index of each zig-zag position, transposed (column * 8 + row): the
// IDCT reads its input column by column.
struct ZigzagT {
  uint8_t v[64];
  constexpr ZigzagT() : v() {
    for (int i = 0; i < 64; ++i) v[i] = static_cast<uint8_t>((kZigzag[i] & 7) * 8 + (kZigzag[i] >> 3));
  }
};
constexpr ZigzagT kZigzagT;

// Zig-zag positions 0-9 lie in rows 0-3 and columns 0-3 of the block.
constexpr int kLowLast = 9;

// Decodes one block's coefficients into coefT (zero on entry). Returns 0 on a
// code that matches nothing or a DC size above 15, 1 for a block with no
// AC coefficient written, 2 when the last one written is at zig-zag
// position kLowLast or before, 3 otherwise.
inline int DecodeBlock(BitReader& br, const HuffTable& dc, const HuffTable& ac,
                       const int32_t* qz, uint32_t& pred, int32_t* coefT) {
  br.Refill();
  int len;
  int s;
  uint16_t f = dc.fast[br.Peek(kFastBits)];
  if (f) {
    len = f >> 8;
    s = f & 255;
  } else {
    s = DecodeSymbolSlow(dc, br.Peek(16), &len);
    if (s < 0) return 0;
  }
  if (s > 15) return 0;
  br.Consume(len);
  pred += static_cast<uint32_t>(br.ReceiveExtend(s));
  coefT[0] = static_cast<int32_t>(pred * static_cast<uint32_t>(qz[0]));

  int last = 0;
  for (int k = 1;;) {
    br.Refill();
    int32_t e = ac.fastAc[br.Peek(kFastBits)];
    int run;
    int32_t v;
    if (e) {
      br.Consume(e & 31);
      if (e & 32) break;  // end of block
      run = (e >> 8) & 15;
      v = e >> 16;
    } else {
      // The code fits the first level but not with its extra bits, or is
      // longer than the first level.
      int rs;
      uint16_t fs = ac.fast[br.Peek(kFastBits)];
      if (fs) {
        len = fs >> 8;
        rs = fs & 255;
      } else {
        rs = DecodeSymbolSlow(ac, br.Peek(16), &len);
        if (rs < 0) return 0;
      }
      br.Consume(len);
      if (rs == 0) break;
      run = rs >> 4;
      v = br.ReceiveExtend(rs & 15);
    }
    k += run;
    if (k > 63) break;  // a run past the last coefficient ends the block
    coefT[kZigzagT.v[k]] = v * qz[k];
    last = k;
    if (++k > 63) break;
  }
  return last == 0 ? 1 : last <= kLowLast ? 2 : 3;
}

// Transforms a decoded block into samples and clears coefT again.
inline void Transform(int kind, int32_t* coefT, int32_t* out) {
  if (kind == 1) {
    // Only the DC coefficient: every sample of the transform is the same.
    uint32_t rowOut = static_cast<uint32_t>(static_cast<int32_t>(32u * static_cast<uint32_t>(coefT[0])) >> 5);
    int32_t v = (static_cast<int32_t>(32u * rowOut) >> 8) + 129;
    for (int i = 0; i < 64; ++i) out[i] = v;
    coefT[0] = 0;
  } else if (kind == 2) {
    IdctLow(coefT, out);
    for (int j = 0; j < 4; ++j) std::memset(coefT + 8 * j, 0, 4 * sizeof(int32_t));
  } else {
    Idct(coefT, out);
    std::memset(coefT, 0, 64 * sizeof(int32_t));
  }
}

}  // namespace

size_t Unstuff(uint8_t* data, size_t n) {
  size_t r = 0, w = 0;
  for (;;) {
    const void* ff = std::memchr(data + r, 0xFF, n - r);
    size_t stop = ff ? static_cast<size_t>(static_cast<const uint8_t*>(ff) - data) : n;
    if (stop > r) {
      std::memmove(data + w, data + r, stop - r);
      w += stop - r;
    }
    if (!ff) return w;
    // A lone FF at the very end is taken as FF 00.
    uint8_t next = stop + 1 < n ? data[stop + 1] : 0;
    if (next == 0x00) {
      data[w++] = 0xFF;
      r = stop + 2;
    } else if (next >= 0xD0 && next <= 0xD7) {  // restart marker: kept
      data[w++] = 0xFF;
      data[w++] = next;
      r = stop + 2;
    } else {
      return w;  // any other marker ends the scan data
    }
    if (r >= n) return w;
  }
}

Geometry ComputeGeometry(const Frame& f) {
  Geometry g;
  g.width = f.width;
  g.height = f.height;
  g.paddedWidth = (g.width + 3u) & ~3u;
  g.stride = static_cast<size_t>(g.paddedWidth) * 3;
  g.blockSize = (static_cast<size_t>(g.height) + 80) * g.stride + 4096;
  return g;
}

void DecodeScan(State& st, const uint8_t* scan, size_t len, uint8_t* block, const Geometry& g) {
  const Frame& f = st.frame;
  const bool path1 = st.all1x1;
  const bool grey = !path1 && st.ns == 1;
  const int H = path1 ? 1 : f.hmax, V = path1 ? 1 : f.vmax;
  const int lumaBlocks = path1 ? 1 : f.lumaW * f.lumaH;
  const int ncomp = grey ? 1 : 3;

  const uint32_t blockCols = (g.width + 7) / 8, blockRows = (g.height + 7) / 8;
  const uint32_t mcuCols = (blockCols + H - 1) / H, mcuRows = (blockRows + V - 1) / V;
  const int mcuW = 8 * H, mcuH = 8 * V;

  // Quantisation tables in zig-zag order, per component.
  alignas(32) int32_t qz[3][64];
  for (int c = 0; c < ncomp; ++c)
    for (int k = 0; k < 64; ++k) qz[c][k] = st.quant[f.tq[c]][kZigzag[k]];
  const HuffTable* dct[3];
  const HuffTable* act[3];
  for (int c = 0; c < ncomp; ++c) {
    dct[c] = &st.dc[st.td[c]];
    act[c] = &st.ac[st.ta[c]];
  }

  alignas(32) int32_t coefT[64] = {};
  alignas(32) int32_t ySamples[4 * 64];
  alignas(32) int32_t cbSamples[64] = {}, crSamples[64] = {};
  McuSamples ms{ySamples, cbSamples, crSamples, H, V};
  const WriteMcuFn write = SelectWriter(
      path1 ? Conversion::kSeparate : grey ? Conversion::kGrey : Conversion::kCombined, UsingAvx2());

  BitReader br{scan, 0, 0, 0};
  size_t rowsDone = 0;  // rows of the block fully written
  bool stopped = false;
  for (uint32_t my = 0; my < mcuRows && !stopped; ++my) {
    uint8_t* bandStart = block + static_cast<size_t>(my) * mcuH * g.stride;
    uint32_t mx = 0;
    for (; mx < mcuCols; ++mx) {
      // Decode every block of the MCU before writing any pixel of it.
      bool ok = true;
      for (int b = 0; b < lumaBlocks && ok; ++b) {
        int kind = DecodeBlock(br, *dct[0], *act[0], qz[0], st.pred[0], coefT);
        if (kind == 0) ok = false;
        else Transform(kind, coefT, ySamples + 64 * b);
      }
      if (ok && ncomp == 3) {
        int kind = DecodeBlock(br, *dct[1], *act[1], qz[1], st.pred[1], coefT);
        if (kind == 0) ok = false;
        else Transform(kind, coefT, cbSamples);
        if (ok) {
          kind = DecodeBlock(br, *dct[2], *act[2], qz[2], st.pred[2], coefT);
          if (kind == 0) ok = false;
          else Transform(kind, coefT, crSamples);
        }
      }
      if (!ok) {
        // A code that matches nothing: the MCU is not written and decoding
        // ends here.
        std::memset(coefT, 0, sizeof coefT);
        stopped = true;
        break;
      }
      uint32_t x0 = mx * static_cast<uint32_t>(mcuW);
      int ncols = static_cast<int>(g.width - x0 < static_cast<uint32_t>(mcuW) ? g.width - x0 : mcuW);
      write(ms, ncols, bandStart + 3 * static_cast<size_t>(x0), g.stride);

      if (st.restartInterval != 0 && ++st.restartCounter == st.restartInterval) {
        st.restartCounter = 0;
        st.pred[0] = st.pred[1] = st.pred[2] = 0;
        size_t bitPos = br.BitPosition();
        size_t ptr = bitPos >> 3;
        if (path1) {
          ptr += (bitPos & 7) ? 3 : 2;
        } else {
          // Skip to the next FF D0..D8 and past it.
          size_t p = ptr, next = len + 1;
          while (p + 1 < len) {
            const void* ff = std::memchr(scan + p, 0xFF, len - 1 - p);
            if (!ff) break;
            p = static_cast<size_t>(static_cast<const uint8_t*>(ff) - scan);
            if (scan[p + 1] >= 0xD0 && scan[p + 1] <= 0xD8) {
              next = p + 2;
              break;
            }
            ++p;
          }
          ptr = next;
        }
        br.Reset(ptr < len + 1 ? ptr : len + 1);
      }
      if ((br.BitPosition() >> 3) > len) {  // passed the end of the data
        ++mx;
        stopped = true;
        break;
      }
    }
    // Zero the rest of each row of the band: the padding columns, and on an
    // early stop the MCUs not decoded.
    size_t xw = stopped ? static_cast<size_t>(mx) * mcuW : g.width;
    if (xw > g.width) xw = g.width;
    for (int r = 0; r < mcuH; ++r) {
      uint8_t* row = bandStart + static_cast<size_t>(r) * g.stride;
      std::memset(row + 3 * xw, 0, g.stride - 3 * xw);
    }
    rowsDone = static_cast<size_t>(my + 1) * mcuH;
  }
  size_t done = rowsDone * g.stride;
  std::memset(block + done, 0, g.blockSize - done);
}

}  // namespace jlode
