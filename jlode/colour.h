// Colour conversion and output of one MCU into the pixel block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jlode {

enum class Conversion {
  kSeparate,  // pictures whose factors are all 1: each chroma term rounded down
  kCombined,  // all other colour pictures: one rounding
  kGrey,      // B = G = R = Y
};

// Transformed samples of one MCU: h x v luma blocks (block (u, v) at
// y + (v * h + u) * 64, each row by row) and one block each of Cb and Cr,
// enlarged h times across and v times down.
struct McuSamples {
  const int32_t* y;
  const int32_t* cb;
  const int32_t* cr;
  int h, v;
};

// Writes the 8 * v rows of the MCU, columns 0 .. ncols - 1, starting at dst.
using WriteMcuFn = void (*)(const McuSamples& s, int ncols, uint8_t* dst, size_t stride);
WriteMcuFn SelectWriter(Conversion conv, bool avx2);

}  // namespace jlode
