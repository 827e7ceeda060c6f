// A small baseline JPEG writer for the tests: it codes given quantised
// coefficients with given tables, so that a test controls every bit of the
// file (layout, tables, restarts, truncation).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace jlode_test {

struct HuffSpec {
  uint8_t bits[16];
  std::vector<uint8_t> vals;
};
// The typical tables of the JPEG standard (Annex K).
const HuffSpec& StdDcLuma();
const HuffSpec& StdAcLuma();
const HuffSpec& StdDcChroma();
const HuffSpec& StdAcChroma();

struct Component {
  uint8_t h = 1, v = 1, tq = 0, td = 0, ta = 0;
};

struct JpegLayout {
  uint16_t width = 8, height = 8;
  std::vector<Component> comps{Component{}};
  uint8_t quant[4][64];  // natural order; tables 0 and 1 are written
  int quantTables = 2;   // how many of quant[] to write
  bool dqtOneSegment = false;
  HuffSpec dc[2], ac[2];
  uint16_t restartInterval = 0;
  JpegLayout();  // flat quantisation 1, standard Huffman tables
};

// Quantised coefficients of block (bx, by) of component c, natural order.
using CoefSource = std::function<void(int c, int bx, int by, int16_t out[64])>;

// Writes SOI, DQT, SOF0, DHT, [DRI], SOS, the scan and EOI.
std::vector<uint8_t> WriteJpeg(const JpegLayout& layout, const CoefSource& coefs);

// Random coefficients, small enough for the standard tables, sparse at high
// frequencies like a real picture.
CoefSource RandomCoefs(uint32_t seed, int amplitude = 60);

bool WriteFile(const char* path, const std::vector<uint8_t>& data);

}  // namespace jlode_test
