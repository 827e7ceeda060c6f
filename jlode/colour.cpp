// Colour conversion and output: one MCU of transformed samples becomes
// blue-green-red bytes in the pixel block.
//
// Two conversions exist. The one for pictures whose factors are all 1 rounds
// each chroma term down on its own:
//   B = Y + ((Cb-128)*1814 >> 10), G = Y - ((Cb-128)*352 >> 10) - ((Cr-128)*731 >> 10),
//   R = Y + ((Cr-128)*1436 >> 10)
// The general one rounds once:
//   R = (1024*Y + (Cr-128)*1435) >> 10, G = (1024*Y - (Cb-128)*352 - (Cr-128)*731) >> 10,
//   B = (1024*Y + (Cb-128)*1814) >> 10
// Each result is clamped to 0..255. Arithmetic is 32-bit and wraps.
#include "colour.h"

#include <immintrin.h>

#include <cstring>

namespace jlode {

namespace {

inline uint8_t Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : static_cast<uint8_t>(v); }
inline int32_t Sar10(uint32_t v) { return static_cast<int32_t>(v) >> 10; }

// Eight pixels (or fewer at the right edge) of one row, scalar.
void Group8Scalar(Conversion conv, const int32_t* y, const int32_t* cb, const int32_t* cr,
                  const uint8_t* cidx, uint8_t* dst, int n) {
  for (int l = 0; l < n; ++l) {
    uint32_t Y = static_cast<uint32_t>(y[l]);
    uint8_t* p = dst + 3 * l;
    if (conv == Conversion::kGrey) {
      p[0] = p[1] = p[2] = Clamp(y[l]);
      continue;
    }
    uint32_t cbm = static_cast<uint32_t>(cb[cidx[l]]) - 128;
    uint32_t crm = static_cast<uint32_t>(cr[cidx[l]]) - 128;
    if (conv == Conversion::kSeparate) {
      p[0] = Clamp(static_cast<int32_t>(Y + static_cast<uint32_t>(Sar10(cbm * 1814))));
      p[1] = Clamp(static_cast<int32_t>(Y - static_cast<uint32_t>(Sar10(cbm * 352)) -
                                        static_cast<uint32_t>(Sar10(crm * 731))));
      p[2] = Clamp(static_cast<int32_t>(Y + static_cast<uint32_t>(Sar10(crm * 1436))));
    } else {
      uint32_t y1024 = Y << 10;
      p[0] = Clamp(Sar10(y1024 + cbm * 1814));
      p[1] = Clamp(Sar10(y1024 - cbm * 352 - crm * 731));
      p[2] = Clamp(Sar10(y1024 + crm * 1435));
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
#define AVX2 __attribute__((target("avx2")))

// Packs eight B, G and R lanes (clamped by saturation) into 24 bytes.
AVX2 inline void Store24(__m256i b, __m256i g, __m256i r, uint8_t* dst) {
  __m256i bg = _mm256_packs_epi32(b, g);  // per lane: b0-3 g0-3 | b4-7 g4-7
  __m256i rr = _mm256_packs_epi32(r, r);
  __m256i p = _mm256_packus_epi16(bg, rr);  // per lane: b g r r, 4 bytes each
  const __m256i shuf = _mm256_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1,
                                        0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1);
  __m256i q = _mm256_shuffle_epi8(p, shuf);
  __m128i lo = _mm256_castsi256_si128(q), hi = _mm256_extracti128_si256(q, 1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(lo, _mm_slli_si128(hi, 12)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 16), _mm_srli_si128(hi, 4));
}

// Chroma terms of one row of 8 chroma samples, computed once and shared by
// every pixel the samples cover.
struct ChromaTerms {
  __m256i b, g, r;
};

template <Conversion kConv>
AVX2 inline ChromaTerms Terms(const int32_t* cb, const int32_t* cr) {
  const __m256i c128 = _mm256_set1_epi32(128);
  __m256i cbm = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cb)), c128);
  __m256i crm = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(cr)), c128);
  ChromaTerms t;
  if (kConv == Conversion::kSeparate) {
    // Each term rounded down on its own, then added to Y.
    t.b = _mm256_srai_epi32(_mm256_mullo_epi32(cbm, _mm256_set1_epi32(1814)), 10);
    t.g = _mm256_add_epi32(_mm256_srai_epi32(_mm256_mullo_epi32(cbm, _mm256_set1_epi32(352)), 10),
                           _mm256_srai_epi32(_mm256_mullo_epi32(crm, _mm256_set1_epi32(731)), 10));
    t.r = _mm256_srai_epi32(_mm256_mullo_epi32(crm, _mm256_set1_epi32(1436)), 10);
  } else {
    // Terms added to 1024 * Y before the one rounding; G's term is negated.
    t.b = _mm256_mullo_epi32(cbm, _mm256_set1_epi32(1814));
    t.g = _mm256_add_epi32(_mm256_mullo_epi32(cbm, _mm256_set1_epi32(352)),
                           _mm256_mullo_epi32(crm, _mm256_set1_epi32(731)));
    t.r = _mm256_mullo_epi32(crm, _mm256_set1_epi32(1435));
  }
  return t;
}

template <Conversion kConv>
AVX2 inline void Group8Avx2(const int32_t* y, const ChromaTerms& t, __m256i cidx, bool spread, uint8_t* dst) {
  __m256i Y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y));
  if (kConv == Conversion::kGrey) {
    Store24(Y, Y, Y, dst);
    return;
  }
  __m256i tb = t.b, tg = t.g, tr = t.r;
  if (spread) {
    tb = _mm256_permutevar8x32_epi32(tb, cidx);
    tg = _mm256_permutevar8x32_epi32(tg, cidx);
    tr = _mm256_permutevar8x32_epi32(tr, cidx);
  }
  __m256i b, g, r;
  if (kConv == Conversion::kSeparate) {
    b = _mm256_add_epi32(Y, tb);
    g = _mm256_sub_epi32(Y, tg);
    r = _mm256_add_epi32(Y, tr);
  } else {
    __m256i y1024 = _mm256_slli_epi32(Y, 10);
    b = _mm256_srai_epi32(_mm256_add_epi32(y1024, tb), 10);
    g = _mm256_srai_epi32(_mm256_sub_epi32(y1024, tg), 10);
    r = _mm256_srai_epi32(_mm256_add_epi32(y1024, tr), 10);
  }
  Store24(b, g, r, dst);
}

template <Conversion kConv>
AVX2 void WriteMcuAvx2(const McuSamples& s, int ncols, uint8_t* dst, size_t stride) {
  const int H = s.h, V = s.v;
  __m256i cidx[4];
  uint8_t idx[4][8];
  for (int g = 0; g < H; ++g) {
    for (int l = 0; l < 8; ++l) idx[g][l] = static_cast<uint8_t>((8 * g + l) / H);
    cidx[g] = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(idx[g])));
  }
  const bool spread = H > 1;
  ChromaTerms t{};
  for (int crow = 0; crow < 8; ++crow) {
    if (kConv != Conversion::kGrey) t = Terms<kConv>(s.cb + crow * 8, s.cr + crow * 8);
    for (int dv = 0; dv < V; ++dv, dst += stride) {
      const int r = crow * V + dv;
      const int32_t* yrow = s.y + ((r >> 3) * H) * 64 + (r & 7) * 8;
      for (int g = 0; g < H; ++g) {
        int n = ncols - 8 * g;
        if (n <= 0) break;
        if (n >= 8) {
          Group8Avx2<kConv>(yrow + g * 64, t, cidx[g], spread, dst + 24 * g);
        } else {
          uint8_t tmp[32];
          Group8Avx2<kConv>(yrow + g * 64, t, cidx[g], spread, tmp);
          std::memcpy(dst + 24 * g, tmp, 3 * static_cast<size_t>(n));
        }
      }
    }
  }
}
#endif

template <Conversion kConv>
void WriteMcuScalar(const McuSamples& s, int ncols, uint8_t* dst, size_t stride) {
  const int H = s.h, V = s.v;
  uint8_t idx[4][8];
  for (int g = 0; g < H; ++g)
    for (int l = 0; l < 8; ++l) idx[g][l] = static_cast<uint8_t>((8 * g + l) / H);
  const int rows = 8 * V;
  for (int r = 0; r < rows; ++r, dst += stride) {
    const int32_t* cb = s.cb + (r / V) * 8;
    const int32_t* cr = s.cr + (r / V) * 8;
    const int32_t* yrow = s.y + ((r >> 3) * H) * 64 + (r & 7) * 8;
    for (int g = 0; g < H; ++g) {
      int n = ncols - 8 * g;
      if (n <= 0) break;
      Group8Scalar(kConv, yrow + g * 64, cb, cr, idx[g], dst + 24 * g, n < 8 ? n : 8);
    }
  }
}

}  // namespace

WriteMcuFn SelectWriter(Conversion conv, bool avx2) {
#if defined(__x86_64__) || defined(__i386__)
  if (avx2) {
    switch (conv) {
      case Conversion::kSeparate: return WriteMcuAvx2<Conversion::kSeparate>;
      case Conversion::kCombined: return WriteMcuAvx2<Conversion::kCombined>;
      case Conversion::kGrey: return WriteMcuAvx2<Conversion::kGrey>;
    }
  }
#else
  (void)avx2;
#endif
  switch (conv) {
    case Conversion::kSeparate: return WriteMcuScalar<Conversion::kSeparate>;
    case Conversion::kCombined: return WriteMcuScalar<Conversion::kCombined>;
    case Conversion::kGrey: break;
  }
  return WriteMcuScalar<Conversion::kGrey>;
}

}  // namespace jlode
