// Bit reader over the un-stuffed scan data, most significant bit first.
//
// It keeps up to 64 bits in a register and loads 8 bytes at a time; the zero
// padding after the scan data (kScanPad) makes every load safe. Its reading
// position, as a byte pointer and bit offset, is BitPosition() / 8 and
// BitPosition() % 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace jlode {

inline uint64_t LoadBe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

struct BitReader {
  const uint8_t* data;
  size_t pos;    // next byte to load
  uint64_t buf;  // valid bits at the top
  int cnt;       // number of valid bits

  void Reset(size_t bytePos) {
    pos = bytePos;
    buf = 0;
    cnt = 0;
  }
  // Makes at least 32 bits valid.
  inline void Refill() {
    if (cnt < 32) {
      buf |= LoadBe64(data + pos) >> cnt;
      pos += static_cast<size_t>((63 - cnt) >> 3);
      cnt |= 56;
    }
  }
  inline uint32_t Peek(int n) const { return static_cast<uint32_t>(buf >> (64 - n)); }
  inline void Consume(int n) {
    buf <<= n;
    cnt -= n;
  }
  // Receives s bits (0..15) and extends them to a signed value.
  inline int32_t ReceiveExtend(int s) {
    if (s == 0) return 0;
    int32_t v = static_cast<int32_t>(buf >> (64 - s));
    Consume(s);
    return v < (1 << (s - 1)) ? v - ((1 << s) - 1) : v;
  }
  size_t BitPosition() const { return pos * 8 - static_cast<size_t>(cnt); }
};

}  // namespace jlode
