// Internal interface of the jlode decoder: the static decoder state, the
// stages (markers, scan set-up, scan decode) and the hooks the tests use.
// Nothing here is exported from libjlode.so.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jlode {

// Zero bytes kept after the un-stuffed scan data. One MCU reads at most
// 6 blocks * 1984 bits (about 1.5 KiB) past its starting point, and the bit
// reader loads 8 bytes at a time, so every read of an MCU that starts inside
// the data stays inside this padding.
constexpr size_t kScanPad = 4096;

// Width of the first-level Huffman lookup.
constexpr int kFastBits = 10;

// Huffman table as a DHT segment defines it, with its lookup tables.
struct HuffTable {
  uint16_t count;          // entries, in canonical order
  uint8_t lengths[256];    // code length of each entry (1..16)
  uint8_t symbols[256];    // symbol of each entry
  // Per code length L: entries of that length have the consecutive codes
  // first[L] .. first[L] + n[L] - 1 and start at entry base[L].
  uint32_t first[17];
  uint16_t n[17];
  uint16_t base[17];
  // Symbol lookup on the next kFastBits bits: (length << 8) | symbol for
  // the shortest matching code of at most kFastBits bits, 0 when none.
  uint16_t fast[1 << kFastBits];
  // AC lookup: code and extra bits in one entry when both fit in kFastBits.
  // bits 0-4 total bits, bit 5 end of block, bits 8-11 run, bits 16-31 the
  // extended value; 0 when the symbol must be decoded the long way.
  int32_t fastAc[1 << kFastBits];
};

// Frame parameters of the last accepted SOF0 segment.
struct Frame {
  bool valid;
  uint16_t width, height;
  uint8_t nf;
  uint8_t h[3], v[3], tq[3];
  uint8_t hmax, vmax;
  uint8_t lumaW, lumaH;  // luma blocks across and down one MCU
};

// All decoder state. One instance lives in static storage for the whole
// process: tables, frame and DC predictors carry over from one call to the
// next until a segment replaces them.
struct State {
  uint8_t quant[4][64];  // natural order
  HuffTable dc[2], ac[2];
  Frame frame;
  uint8_t ns;            // components in the scan
  uint8_t td[3], ta[3];  // DC and AC table of scan components 1..3
  uint16_t restartInterval;
  uint32_t restartCounter;
  uint32_t pred[3];      // DC predictors, 32-bit two's complement
  bool all1x1;           // every sampling factor is 1 (set by this call's SOF0)
};

State& GlobalState();
// Clears the whole static state (tables, frame, predictors). For tests and
// the fuzz target, which want every input decoded from the same state.
void ResetState();

// Builds the canonical codes and lookup tables of `t` from a DHT table
// definition. Returns false (and leaves `t` alone) when the definition is
// unusable: more than 256 codes.
bool BuildHuffTable(HuffTable* t, const uint8_t counts[16], const uint8_t* symbols);

// Decodes one symbol from a 16-bit look-ahead: the first entry in canonical
// order whose code equals the look-ahead's top bits. Returns the symbol and
// sets *len, or returns -1 when no code matches.
int DecodeSymbolSlow(const HuffTable& t, uint32_t lookahead16, int* len);

// Result of reading the markers up to the scan.
struct ScanSetup {
  size_t restOffset;  // first byte after the scan header
};

// Clears the per-call state: restart interval and counter, the 1x1 flag.
void BeginCall(State& st);

// Runs the marker loop over the file image data[0..size) from just after
// SOI until the scan header has been read. Returns false on any refusal.
bool ReadMarkers(State& st, const uint8_t* data, size_t size, ScanSetup* out);

// Un-stuffs the entropy-coded data in place: data[0..n) becomes the scan
// data, whose length is returned.
size_t Unstuff(uint8_t* data, size_t n);

// Geometry of the output block for the current frame.
struct Geometry {
  uint32_t width, height, paddedWidth;
  size_t stride;     // paddedWidth * 3
  size_t blockSize;  // (height + 80) * stride + 4096
};
Geometry ComputeGeometry(const Frame& f);

// Decodes the scan data scan[0..len) (followed by kScanPad zero bytes) into
// `block`. Every byte of the block is written: pixels where decoded, zero
// everywhere else, so the block need not be zeroed beforehand.
void DecodeScan(State& st, const uint8_t* scan, size_t len, uint8_t* block,
                const Geometry& g);

// Memory for the pixel block and the work buffers. Large blocks are
// 2 MiB-aligned and advised for transparent huge pages: first touching
// fresh 4 KiB pages costs more than decoding into them. Contents are not
// zeroed. The result is always freeable with free().
void* AllocUninitialised(size_t size);

// Decodes a whole file image held in memory. `data` must have size +
// kScanPad bytes of room (the scan is un-stuffed in place). On success
// stores a new block in *block (freeing *block's previous value after the
// new one is allocated) and the geometry in *g. Blocks larger than
// maxBlockBytes are refused.
int DecodeFileImage(uint8_t* data, size_t size, size_t maxBlockBytes, void** block,
                    Geometry* g);

// Allocation hooks, so that tests can watch and fail allocations of the
// pixel block. Defaults: AllocUninitialised and free.
struct AllocHooks {
  void* (*alloc)(size_t);
  void (*release)(void*);
};
void SetAllocHooks(const AllocHooks* hooks);  // nullptr restores the defaults
extern AllocHooks g_hooks;

// Kernel selection: AVX2 where the processor has it, else portable code.
enum class Kernels { kAuto, kScalar };
void SelectKernels(Kernels k);
bool UsingAvx2();

// Stage kernels (the selected variant).
// Transforms one block. `coefT` holds the dequantised coefficients in
// transposed natural order (coefT[c * 8 + r] is row r, column c); `out`
// receives the 64 samples row by row, level-shifted, not clamped.
void Idct(const int32_t* coefT, int32_t* out);
void IdctScalar(const int32_t* coefT, int32_t* out);
// The same for a block whose coefficients lie in rows 0-3 and columns 0-3.
void IdctLow(const int32_t* coefT, int32_t* out);

}  // namespace jlode
