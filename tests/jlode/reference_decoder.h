// A deliberately plain decoder written straight from the decoder's
// definition: byte-by-byte marker reading, Huffman decoding by a linear
// search of the canonical code list, a three-byte look-ahead bit reader,
// the MCU buffers with enlarged chroma, and the two colour formulas, all in
// exact 64-bit arithmetic wrapped to 32 bits where the definition says
// 32-bit. The library's decoder must produce the same block byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace jlode_ref {

struct Huff {
  int count = 0;
  uint8_t len[256] = {};
  uint32_t code[256] = {};
  uint8_t sym[256] = {};
};

struct RefState {
  int32_t quant[4][64] = {};
  Huff dc[2], ac[2];
  bool frameValid = false;
  int width = 0, height = 0, nf = 0;
  int h[3] = {}, v[3] = {}, tq[3] = {};
  int hmax = 0, vmax = 0, lumaW = 0, lumaH = 0;
  int ns = 0, td[3] = {}, ta[3] = {};
  int restartInterval = 0, restartCounter = 0;
  int32_t pred[3] = {};
  bool all1x1 = false;
};

struct RefResult {
  int ok = 0;
  int width = 0, height = 0, paddedWidth = 0;
  std::vector<uint8_t> block;  // the whole pixel block, zero-initialised
};

RefResult RefDecode(RefState& st, const std::vector<uint8_t>& file, size_t maxBlockBytes);

}  // namespace jlode_ref
