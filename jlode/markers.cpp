// Marker loop and table segments: DQT, DHT, SOF0, DRI, SOS.
//
// Segments are read from the file image in memory exactly as a byte reader
// would read them from the file: a field that lies past the end of the file
// is a short read and refuses the file. DQT, DRI and the scan header read
// only their own fields, whatever the segment length says.
#include <cstring>

#include "jlode_internal.h"
#include "zigzag.h"

namespace jlode {

namespace {

State g_state;

// A cursor over the file image; every read checks what is left.
struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos;

  bool Has(size_t n) const { return size - pos >= n; }
  bool Byte(uint8_t* b) {
    if (!Has(1)) return false;
    *b = data[pos++];
    return true;
  }
  bool Word(uint16_t* w) {  // big-endian
    if (!Has(2)) return false;
    *w = static_cast<uint16_t>(data[pos] << 8 | data[pos + 1]);
    pos += 2;
    return true;
  }
};

bool ReadDqt(State& st, Reader& r, uint16_t length) {
  // A segment of n whole 65-byte tables is read in full; bytes after the
  // last whole table are left for the marker loop, as a byte reader that
  // reads only its tables would leave them.
  int body = static_cast<int>(length) - 2;
  int tables = body > 0 ? body / 65 : 0;
  for (int t = 0; t < tables; ++t) {
    if (!r.Has(65)) return false;
    uint8_t tq = r.data[r.pos] & 15;  // precision bits not examined
    if (tq > 3) return false;
    const uint8_t* values = r.data + r.pos + 1;
    for (int i = 0; i < 64; ++i) st.quant[tq][kZigzag[i]] = values[i];
    r.pos += 65;
  }
  st.pred[0] = st.pred[1] = st.pred[2] = 0;
  return true;
}

bool ReadSof0(State& st, const uint8_t* b, size_t len) {
  if (len < 6) return false;
  Frame f{};
  f.height = static_cast<uint16_t>(b[1] << 8 | b[2]);
  f.width = static_cast<uint16_t>(b[3] << 8 | b[4]);
  f.nf = b[5];
  // Decodable frames: one component (grey), or three with the chroma
  // sampled once per MCU and the luma 1x1, 2x1, 1x2, 2x2 or 4x1.
  if (f.nf != 1 && f.nf != 3) return false;
  size_t need = f.nf == 1 ? 9 : 15;
  if (len < need) return false;
  for (int c = 0; c < f.nf; ++c) {
    f.h[c] = b[7 + 3 * c] >> 4;
    f.v[c] = b[7 + 3 * c] & 15;
    f.tq[c] = b[8 + 3 * c];
    if (f.tq[c] > 3) return false;
  }
  bool all1x1 = false;
  if (f.nf == 1) {
    // A single component is coded one block per MCU whatever its factors.
    f.hmax = f.vmax = f.lumaW = f.lumaH = 1;
  } else {
    if (f.h[1] != 1 || f.v[1] != 1 || f.h[2] != 1 || f.v[2] != 1) return false;
    int h = f.h[0], v = f.v[0];
    bool ok = (h == 1 && v == 1) || (h == 2 && v == 1) || (h == 1 && v == 2) ||
              (h == 2 && v == 2) || (h == 4 && v == 1);
    if (!ok) return false;
    f.hmax = f.lumaW = static_cast<uint8_t>(h);
    f.vmax = f.lumaH = static_cast<uint8_t>(v);
    all1x1 = h == 1 && v == 1;
  }
  f.valid = true;
  st.frame = f;
  if (all1x1) st.all1x1 = true;
  return true;
}

bool ReadDht(State& st, const uint8_t* b, size_t len) {
  size_t p = 0;
  while (p < len) {
    uint8_t tcth = b[p];
    if (tcth == 0xFF) break;
    if (len - p < 17) return false;
    int tc = tcth >> 4, th = tcth & 15;
    if (tc > 1 || th > 1) return false;
    const uint8_t* counts = b + p + 1;
    size_t total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    if (total > 256 || len - p - 17 < total) return false;
    HuffTable* t = tc == 0 ? &st.dc[th] : &st.ac[th];
    if (!BuildHuffTable(t, counts, b + p + 17)) return false;
    p += 17 + total;
  }
  return true;
}

bool ReadSosHeader(State& st, Reader& r) {
  uint8_t ns;
  if (!r.Byte(&ns)) return false;
  uint8_t td[3] = {0, 0, 0}, ta[3] = {0, 0, 0};
  for (int i = 0; i < ns; ++i) {
    if (!r.Has(2)) return false;
    uint8_t tdta = r.data[r.pos + 1];  // the selector byte is not used
    r.pos += 2;
    if (i < 3) {
      td[i] = tdta >> 4;
      ta[i] = tdta & 15;
    }
  }
  if (!r.Has(3)) return false;  // Ss, Se, Ah/Al: not used
  r.pos += 3;
  // The scan must hold every component of a decodable frame, with tables
  // that exist.
  if (!st.frame.valid || ns != st.frame.nf) return false;
  for (int i = 0; i < ns && i < 3; ++i)
    if (td[i] > 1 || ta[i] > 1) return false;
  st.ns = ns;
  for (int i = 0; i < 3; ++i) {
    st.td[i] = td[i];
    st.ta[i] = ta[i];
  }
  return true;
}

}  // namespace

State& GlobalState() { return g_state; }

void ResetState() { std::memset(&g_state, 0, sizeof g_state); }

void BeginCall(State& st) {
  st.restartInterval = 0;
  st.restartCounter = 0;
  st.all1x1 = false;
}

bool BuildHuffTable(HuffTable* out, const uint8_t counts[16], const uint8_t* symbols) {
  size_t total = 0;
  for (int i = 0; i < 16; ++i) total += counts[i];
  if (total > 256) return false;
  HuffTable t;
  std::memset(&t, 0, sizeof t);
  t.count = static_cast<uint16_t>(total);
  size_t n = 0;
  for (int l = 1; l <= 16; ++l)
    for (int i = 0; i < counts[l - 1]; ++i) {
      t.lengths[n] = static_cast<uint8_t>(l);
      t.symbols[n] = symbols[n];
      ++n;
    }
  // Canonical codes: within one length the codes are consecutive, and a
  // longer length continues from the shifted code.
  uint32_t code = 0;
  int len = total ? t.lengths[0] : 0;
  uint32_t codes[256];
  for (size_t i = 0; i < total; ++i) {
    while (t.lengths[i] > len) {
      code <<= 1;
      ++len;
    }
    if (t.n[len] == 0) {
      t.first[len] = code;
      t.base[len] = static_cast<uint16_t>(i);
    }
    ++t.n[len];
    codes[i] = code++;
  }
  // First-level lookup: entries are in increasing length, so filling only
  // empty slots leaves each slot with the shortest (first) matching entry.
  // A code that does not fit its length matches nothing.
  for (size_t i = 0; i < total; ++i) {
    int l = t.lengths[i];
    if (l > kFastBits || codes[i] >= (1u << l)) continue;
    uint32_t lo = codes[i] << (kFastBits - l), hi = (codes[i] + 1) << (kFastBits - l);
    for (uint32_t s = lo; s < hi; ++s)
      if (t.fast[s] == 0) t.fast[s] = static_cast<uint16_t>(l << 8 | t.symbols[i]);
  }
  for (uint32_t s = 0; s < (1u << kFastBits); ++s) {
    if (t.fast[s] == 0) continue;
    int l = t.fast[s] >> 8, rs = t.fast[s] & 255;
    if (rs == 0) {
      t.fastAc[s] = l | 32;
      continue;
    }
    int run = rs >> 4, size = rs & 15;
    if (l + size > kFastBits) continue;
    int32_t v = 0;
    if (size) {
      v = static_cast<int32_t>((s >> (kFastBits - l - size)) & ((1u << size) - 1));
      if (v < (1 << (size - 1))) v -= (1 << size) - 1;
    }
    t.fastAc[s] = static_cast<int32_t>(static_cast<uint32_t>(v) << 16) | run << 8 | (l + size);
  }
  *out = t;
  return true;
}

int DecodeSymbolSlow(const HuffTable& t, uint32_t la, int* len) {
  uint16_t f = t.fast[la >> (16 - kFastBits)];
  if (f) {
    *len = f >> 8;
    return f & 255;
  }
  for (int l = kFastBits + 1; l <= 16; ++l) {
    uint32_t d = (la >> (16 - l)) - t.first[l];
    if (d < t.n[l]) {
      *len = l;
      return t.symbols[t.base[l] + d];
    }
  }
  return -1;
}

bool ReadMarkers(State& st, const uint8_t* data, size_t size, ScanSetup* out) {
  Reader r{data, size, 2};  // after SOI
  bool sawSof = false;
  for (;;) {
    uint8_t ff, m;
    uint16_t length;
    if (!r.Byte(&ff) || !r.Byte(&m) || !r.Word(&length)) return false;
    if (ff != 0xFF) return false;
    if (m == 0xDA) {  // SOS: the length is not used
      if (!ReadSosHeader(st, r)) return false;
      out->restOffset = r.pos;
      return true;
    }
    if (m == 0xDB) {
      if (!ReadDqt(st, r, length)) return false;
      continue;
    }
    if (m == 0xDD) {  // DRI: the 2-byte body only
      uint16_t ri;
      if (!r.Word(&ri)) return false;
      st.restartInterval = ri;
      continue;
    }
    bool known = (m >= 0xE0 && m <= 0xEE) || m == 0xFE || m == 0xC0 || m == 0xC4;
    if (!known) return false;  // EOI, other SOFs, DAC, RSTn, SOI, APP15, ...
    if (length < 2) return false;
    size_t body = length - 2u;
    if (!r.Has(body)) return false;
    const uint8_t* b = r.data + r.pos;
    r.pos += body;
    if (m == 0xC0) {
      if (sawSof || !ReadSof0(st, b, body)) return false;
      sawSof = true;
    } else if (m == 0xC4) {
      if (!ReadDht(st, b, body)) return false;
    }
    // APPn and COM: ignored.
  }
}

}  // namespace jlode
