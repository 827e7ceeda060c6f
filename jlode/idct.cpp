// Integer 8x8 inverse DCT: even-odd decomposition, rows first (results
// shifted right by 5), then columns (shifted right by 8, plus 129: the level
// shift of 128 and 1). Constants Ck = round(32 * sqrt(2) * cos(k * pi / 16)):
// 44, 42, 38, 32, 25, 17, 9.
//
// All arithmetic is 32-bit two's complement and wraps on overflow, so that
// corrupt coefficients give the same results in every variant; it is done
// in unsigned integers to keep wrapping well defined. Shifts are arithmetic.
#include <immintrin.h>

#include "jlode_internal.h"

namespace jlode {

namespace {

inline int32_t Sar(uint32_t v, int s) { return static_cast<int32_t>(v) >> s; }

// One 8-point line; x[i * step] are the inputs.
inline void Line(const uint32_t x[8], uint32_t out[8]) {
  uint32_t a = 32 * (x[0] + x[4]), b = 32 * (x[0] - x[4]);
  uint32_t c = 42 * x[2] + 17 * x[6], d = 17 * x[2] - 42 * x[6];
  uint32_t e0 = a + c, e1 = b + d, e2 = b - d, e3 = a - c;
  uint32_t o0 = 44 * x[1] + 38 * x[3] + 25 * x[5] + 9 * x[7];
  uint32_t o1 = 38 * x[1] - 9 * x[3] - 44 * x[5] - 25 * x[7];
  uint32_t o2 = 25 * x[1] - 44 * x[3] + 9 * x[5] + 38 * x[7];
  uint32_t o3 = 9 * x[1] - 25 * x[3] + 38 * x[5] - 44 * x[7];
  out[0] = e0 + o0;
  out[7] = e0 - o0;
  out[1] = e1 + o1;
  out[6] = e1 - o1;
  out[2] = e2 + o2;
  out[5] = e2 - o2;
  out[3] = e3 + o3;
  out[4] = e3 - o3;
}

#if defined(__x86_64__) || defined(__i386__)
#define JLODE_X86 1
#define AVX2 __attribute__((target("avx2")))

AVX2 inline __m256i Mul(__m256i x, int k) { return _mm256_mullo_epi32(x, _mm256_set1_epi32(k)); }

// The 8-point line on eight lanes at once.
AVX2 inline void LineAvx2(const __m256i x[8], __m256i out[8]) {
  __m256i a = _mm256_slli_epi32(_mm256_add_epi32(x[0], x[4]), 5);
  __m256i b = _mm256_slli_epi32(_mm256_sub_epi32(x[0], x[4]), 5);
  __m256i c = _mm256_add_epi32(Mul(x[2], 42), Mul(x[6], 17));
  __m256i d = _mm256_sub_epi32(Mul(x[2], 17), Mul(x[6], 42));
  __m256i e0 = _mm256_add_epi32(a, c), e1 = _mm256_add_epi32(b, d);
  __m256i e2 = _mm256_sub_epi32(b, d), e3 = _mm256_sub_epi32(a, c);
  __m256i o0 = _mm256_add_epi32(_mm256_add_epi32(Mul(x[1], 44), Mul(x[3], 38)),
                                _mm256_add_epi32(Mul(x[5], 25), Mul(x[7], 9)));
  __m256i o1 = _mm256_sub_epi32(_mm256_sub_epi32(Mul(x[1], 38), Mul(x[3], 9)),
                                _mm256_add_epi32(Mul(x[5], 44), Mul(x[7], 25)));
  __m256i o2 = _mm256_add_epi32(_mm256_sub_epi32(Mul(x[1], 25), Mul(x[3], 44)),
                                _mm256_add_epi32(Mul(x[5], 9), Mul(x[7], 38)));
  __m256i o3 = _mm256_add_epi32(_mm256_sub_epi32(Mul(x[1], 9), Mul(x[3], 25)),
                                _mm256_sub_epi32(Mul(x[5], 38), Mul(x[7], 44)));
  out[0] = _mm256_add_epi32(e0, o0);
  out[7] = _mm256_sub_epi32(e0, o0);
  out[1] = _mm256_add_epi32(e1, o1);
  out[6] = _mm256_sub_epi32(e1, o1);
  out[2] = _mm256_add_epi32(e2, o2);
  out[5] = _mm256_sub_epi32(e2, o2);
  out[3] = _mm256_add_epi32(e3, o3);
  out[4] = _mm256_sub_epi32(e3, o3);
}

// The line with x4 .. x7 zero.
AVX2 inline void LineAvx2Half(const __m256i x[4], __m256i out[8]) {
  __m256i a = _mm256_slli_epi32(x[0], 5);
  __m256i c = Mul(x[2], 42), d = Mul(x[2], 17);
  __m256i e0 = _mm256_add_epi32(a, c), e1 = _mm256_add_epi32(a, d);
  __m256i e2 = _mm256_sub_epi32(a, d), e3 = _mm256_sub_epi32(a, c);
  __m256i o0 = _mm256_add_epi32(Mul(x[1], 44), Mul(x[3], 38));
  __m256i o1 = _mm256_sub_epi32(Mul(x[1], 38), Mul(x[3], 9));
  __m256i o2 = _mm256_sub_epi32(Mul(x[1], 25), Mul(x[3], 44));
  __m256i o3 = _mm256_sub_epi32(Mul(x[1], 9), Mul(x[3], 25));
  out[0] = _mm256_add_epi32(e0, o0);
  out[7] = _mm256_sub_epi32(e0, o0);
  out[1] = _mm256_add_epi32(e1, o1);
  out[6] = _mm256_sub_epi32(e1, o1);
  out[2] = _mm256_add_epi32(e2, o2);
  out[5] = _mm256_sub_epi32(e2, o2);
  out[3] = _mm256_add_epi32(e3, o3);
  out[4] = _mm256_sub_epi32(e3, o3);
}

AVX2 inline void Transpose(__m256i r[8]) {
  __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

AVX2 void IdctAvx2(const int32_t* coefT, int32_t* out) {
  // coefT is stored transposed, so vector j holds input j of all eight rows:
  // the row pass runs lane-wise without a transpose.
  __m256i x[8], y[8];
  for (int j = 0; j < 8; ++j)
    x[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coefT + 8 * j));
  LineAvx2(x, y);
  for (int k = 0; k < 8; ++k) y[k] = _mm256_srai_epi32(y[k], 5);
  Transpose(y);  // y[r] = row r of the row pass
  LineAvx2(y, x);
  const __m256i bias = _mm256_set1_epi32(129);
  for (int k = 0; k < 8; ++k)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * k),
                        _mm256_add_epi32(_mm256_srai_epi32(x[k], 8), bias));
}

// Blocks whose coefficients all lie in rows 0-3 and columns 0-3: the
// missing inputs are zero in both passes.
AVX2 void IdctAvx2Low(const int32_t* coefT, int32_t* out) {
  __m256i x[8], y[8];
  for (int j = 0; j < 4; ++j)
    x[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coefT + 8 * j));
  LineAvx2Half(x, y);
  for (int k = 0; k < 8; ++k) y[k] = _mm256_srai_epi32(y[k], 5);
  Transpose(y);  // rows 4-7 come out zero
  LineAvx2Half(y, x);
  const __m256i bias = _mm256_set1_epi32(129);
  for (int k = 0; k < 8; ++k)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8 * k),
                        _mm256_add_epi32(_mm256_srai_epi32(x[k], 8), bias));
}
#endif

using IdctFn = void (*)(const int32_t*, int32_t*);
IdctFn g_idct = nullptr;
IdctFn g_idctLow = nullptr;

}  // namespace

void IdctScalar(const int32_t* coefT, int32_t* out) {
  int32_t tmp[64];
  uint32_t x[8], o[8];
  for (int r = 0; r < 8; ++r) {
    for (int j = 0; j < 8; ++j) x[j] = static_cast<uint32_t>(coefT[j * 8 + r]);
    Line(x, o);
    for (int k = 0; k < 8; ++k) tmp[r * 8 + k] = Sar(o[k], 5);
  }
  for (int c = 0; c < 8; ++c) {
    for (int j = 0; j < 8; ++j) x[j] = static_cast<uint32_t>(tmp[j * 8 + c]);
    Line(x, o);
    for (int k = 0; k < 8; ++k) out[k * 8 + c] = Sar(o[k], 8) + 129;
  }
}

bool CpuHasAvx2() {
#ifdef JLODE_X86
  __builtin_cpu_init();  // may run before libgcc's own initialiser
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

namespace {
bool g_avx2 = false;
void Select(Kernels k) {
  g_avx2 = k == Kernels::kAuto && CpuHasAvx2();
#ifdef JLODE_X86
  g_idct = g_avx2 ? IdctAvx2 : IdctScalar;
  g_idctLow = g_avx2 ? IdctAvx2Low : IdctScalar;
#else
  g_idct = IdctScalar;
  g_idctLow = IdctScalar;
#endif
}
struct AutoSelect {
  AutoSelect() { Select(Kernels::kAuto); }
} g_autoSelect;
}  // namespace

void SelectKernels(Kernels k) { Select(k); }
bool UsingAvx2() { return g_avx2; }

void Idct(const int32_t* coefT, int32_t* out) { g_idct(coefT, out); }
void IdctLow(const int32_t* coefT, int32_t* out) { g_idctLow(coefT, out); }

}  // namespace jlode
