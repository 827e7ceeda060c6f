// The LoadJPEG contract: header, block size and ownership, the moment the
// previous block is released, refusals, and what is left untouched on failure.
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "test_util.h"

namespace {

using namespace jlode_test;

JpegLayout Layout(int w, int h, std::vector<Component> comps) {
  JpegLayout L;
  L.width = static_cast<uint16_t>(w);
  L.height = static_cast<uint16_t>(h);
  L.comps = std::move(comps);
  return L;
}
const Component kY{1, 1, 0, 0, 0}, kC{1, 1, 1, 1, 1};

// Records the pixel-block allocations and releases of LoadJPEG; fills new
// blocks with garbage, so a byte the decoder fails to write shows.
struct Watch {
  static inline std::vector<size_t> allocs;
  static inline std::vector<void*> releases;
  static inline bool fail = false;
  static void* Alloc(size_t n) {
    allocs.push_back(n);
    if (fail) return nullptr;
    void* p = jlode::AllocUninitialised(n);
    std::memset(p, 0xA5, n);
    return p;
  }
  static void Release(void* p) {
    releases.push_back(p);
    std::free(p);
  }
  Watch() {
    allocs.clear();
    releases.clear();
    fail = false;
    static const jlode::AllocHooks hooks{Alloc, Release};
    jlode::SetAllocHooks(&hooks);
  }
  ~Watch() { jlode::SetAllocHooks(nullptr); }
};

std::vector<uint8_t> Small(int w = 5, int h = 3) {
  return WriteJpeg(Layout(w, h, {kY, kC, kC}), RandomCoefs(1));
}

TEST(LoadJpeg, HeaderAndPaddingOfA5x3Picture) {
  Watch watch;
  TempDir dir;
  Decoded d = Load(dir.Write("a.jpg", Small()));
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.header.biSize, 40u);
  EXPECT_EQ(d.header.biWidth, 8);
  EXPECT_EQ(d.header.biHeight, -3);
  EXPECT_EQ(d.header.biPlanes, 1);
  EXPECT_EQ(d.header.biBitCount, 24);
  EXPECT_EQ(d.header.biCompression | d.header.biSizeImage | d.header.biClrUsed | d.header.biClrImportant, 0u);
  EXPECT_EQ(d.header.biXPelsPerMeter | d.header.biYPelsPerMeter, 0);
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.height, 3);
  ASSERT_EQ(watch.allocs.size(), 1u);
  EXPECT_EQ(watch.allocs[0], (3u + 80) * 24 + 4096);
  // Columns 5 to 7 of every row stay 0, and so does everything after the
  // band of 8 decoded rows, though the block started as garbage.
  auto bytes = d.Bytes();
  for (int y = 0; y < 8; ++y)
    for (int x = 5; x < 8; ++x)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(bytes[y * 24 + 3 * x + k], 0) << x << "," << y;
  for (size_t i = 8 * 24; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
  jlode_ref::RefState st;
  jlode::ResetState();
  std::free(d.block);
  d = Load(dir.Write("a.jpg", Small()));
  EXPECT_TRUE(d.Bytes() == jlode_ref::RefDecode(st, Small(), ~0u).block);
  std::free(d.block);
}

TEST(LoadJpeg, LargeBlocksComeFromTheHugePagePath) {
  // (700 + 80) * 1024 * 3 + 4096 bytes: above 2 MiB.
  EXPECT_EQ(ExpectSameAsReference(WriteJpeg(Layout(1022, 700, {{2, 2, 0, 0, 0}, kC, kC}), RandomCoefs(4, 8)),
                                  "large"),
            1);
}

TEST(LoadJpeg, BlockSizeOf640x480) {
  Watch watch;
  TempDir dir;
  Decoded d = Load(dir.Write("a.jpg", WriteJpeg(Layout(640, 480, {kY}), RandomCoefs(2, 10))));
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.header.biWidth, 640);
  EXPECT_EQ(d.header.biHeight, -480);
  ASSERT_EQ(watch.allocs.size(), 1u);
  EXPECT_EQ(watch.allocs[0], (480u + 80) * 640 * 3 + 4096);
  std::free(d.block);
}

TEST(LoadJpeg, PreviousBlockIsReleasedOnlyWhenTheNewOneExists) {
  Watch watch;
  TempDir dir;
  std::string good = dir.Write("good.jpg", Small());
  Decoded first = Load(good);
  ASSERT_EQ(first.ok, 1);
  void* firstBlock = first.block;

  // A progressive file fails before its scan: the first block stays the
  // caller's, named by the same handle, and nothing else changes.
  auto prog = Small();
  for (size_t i = 2; i + 1 < prog.size(); ++i)
    if (prog[i] == 0xFF && prog[i + 1] == 0xC0) prog[i + 1] = 0xC2;
  Decoded failed = first;
  failed.ok = LoadJPEG(dir.Write("prog.jpg", prog).c_str(), nullptr, &failed.header, &failed.block,
                       &failed.width, &failed.height);
  EXPECT_EQ(failed.ok, 0);
  EXPECT_EQ(failed.block, firstBlock);
  EXPECT_TRUE(watch.releases.empty());
  std::memset(firstBlock, 1, first.blockSize);  // still ours to use

  // The allocation failing at the scan: again nothing released.
  Watch::fail = true;
  EXPECT_EQ(Load(good, firstBlock).ok, 0);
  EXPECT_TRUE(watch.releases.empty());
  Watch::fail = false;

  // A successful second call releases the first block after allocating.
  Decoded second = Load(good, firstBlock);
  ASSERT_EQ(second.ok, 1);
  ASSERT_EQ(watch.releases.size(), 1u);
  EXPECT_EQ(watch.releases[0], firstBlock);
  EXPECT_NE(second.block, nullptr);
  std::free(second.block);
}

TEST(LoadJpeg, FailuresLeaveEverythingUntouched) {
  Watch watch;
  TempDir dir;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
  bad.push_back({"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}});
  bad.push_back({"bmp", {'B', 'M', 0x36, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0}});
  bad.push_back({"empty", {}});
  bad.push_back({"soi only", {0xFF, 0xD8}});
  bad.push_back({"eoi before scan", {0xFF, 0xD8, 0xFF, 0xD9}});
  auto file = Small();
  // Every marker refused before the scan, in place of the SOF0.
  size_t sof = 2;
  while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0)) sof += 2 + (file[sof + 2] << 8 | file[sof + 3]);
  for (int m : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
                0xD0, 0xD7, 0xD8, 0xDC, 0xDE, 0xDF, 0xEF, 0xF0, 0xFD, 0x01, 0xFF}) {
    auto f = file;
    f[sof + 1] = static_cast<uint8_t>(m);
    bad.push_back({"marker " + std::to_string(m), f});
  }
  auto notFF = file;
  notFF[sof] = 0xFE;
  bad.push_back({"no marker", notFF});
  // Cut inside every segment before the scan.
  size_t sos = 2;
  while (!(file[sos] == 0xFF && file[sos + 1] == 0xDA)) sos += 2 + (file[sos + 2] << 8 | file[sos + 3]);
  for (size_t n = 3; n < sos + 10; ++n) bad.push_back({"cut " + std::to_string(n), {file.begin(), file.begin() + static_cast<long>(n)}});
  // A frame larger than 32-bit sizes describe.
  auto huge = file;
  huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = 0xFF;
  bad.push_back({"65535x65535", huge});

  for (auto& [name, data] : bad) {
    std::string path = dir.Write("bad.jpg", data);
    Decoded d;
    d.header.biSize = 77;
    d.block = reinterpret_cast<void*>(0x1234);  // never touched on failure
    d.width = d.height = -5;
    d.ok = LoadJPEG(path.c_str(), nullptr, &d.header, &d.block, &d.width, &d.height);
    EXPECT_EQ(d.ok, 0) << name;
    EXPECT_EQ(d.block, reinterpret_cast<void*>(0x1234)) << name;
    EXPECT_EQ(d.header.biSize, 77u) << name;
    EXPECT_EQ(d.width, -5) << name;
    EXPECT_EQ(d.height, -5) << name;
  }
  EXPECT_TRUE(watch.allocs.empty());
  EXPECT_TRUE(watch.releases.empty());
  EXPECT_EQ(Load(dir.path() + "/missing.jpg").ok, 0);
  EXPECT_EQ(Load(dir.path()).ok, 0);  // a folder
}

// Replaces the DQT segments of `file` with one segment holding `tables`.
std::vector<uint8_t> WithDqt(const std::vector<uint8_t>& file, std::vector<uint8_t> body) {
  std::vector<uint8_t> out{0xFF, 0xD8, 0xFF, 0xDB, static_cast<uint8_t>((body.size() + 2) >> 8),
                           static_cast<uint8_t>(body.size() + 2)};
  out.insert(out.end(), body.begin(), body.end());
  size_t p = 2;
  while (p + 4 <= file.size()) {
    size_t len = 2 + (file[p + 2] << 8 | file[p + 3]);
    bool sos = file[p + 1] == 0xDA;
    if (file[p + 1] != 0xDB) out.insert(out.end(), file.begin() + static_cast<long>(p), sos ? file.end() : file.begin() + static_cast<long>(p + len));
    if (sos) break;
    p += len;
  }
  return out;
}

TEST(LoadJpeg, DqtSegmentsOfSeveralTables) {
  auto file = Small(16, 8);
  for (int n : {2, 4}) {
    std::vector<uint8_t> body;
    for (int t = 0; t < n; ++t) {
      body.push_back(static_cast<uint8_t>(t));
      for (int i = 0; i < 64; ++i) body.push_back(static_cast<uint8_t>(10 * (t + 1) + i));
    }
    ASSERT_EQ(body.size(), n == 2 ? 130u : 260u);
    jlode::ResetState();
    TempDir dir;
    Decoded d = Load(dir.Write("q.jpg", WithDqt(file, body)));
    ASSERT_EQ(d.ok, 1);
    const auto& st = jlode::GlobalState();
    for (int t = 0; t < n; ++t) {
      EXPECT_EQ(st.quant[t][0], 10 * (t + 1)) << t;
      EXPECT_EQ(st.quant[t][63], 10 * (t + 1) + 63) << t;  // zig-zag 63 is natural 63
      EXPECT_EQ(st.quant[t][8], 10 * (t + 1) + 2) << t;    // zig-zag 2 is natural 8
    }
    std::free(d.block);
  }
  // Five tables in one segment are all read; a table number above 3 is refused.
  std::vector<uint8_t> five;
  for (int t = 0; t < 5; ++t) {
    five.push_back(static_cast<uint8_t>(t % 4));
    for (int i = 0; i < 64; ++i) five.push_back(static_cast<uint8_t>(t + 1));
  }
  EXPECT_EQ(ExpectSameAsReference(WithDqt(file, five)), 1);
  EXPECT_EQ(jlode::GlobalState().quant[0][5], 5);
  five[65] = 0x11;  // precision bits are ignored...
  EXPECT_EQ(ExpectSameAsReference(WithDqt(file, five)), 1);
  five[65] = 0x05;  // ...but table 5 does not exist
  EXPECT_EQ(ExpectSameAsReference(WithDqt(file, five)), 0);
  // A segment with no whole table reads nothing and the marker loop goes on
  // at the byte after the tables.
  std::vector<uint8_t> none(64, 1);
  EXPECT_EQ(ExpectSameAsReference(WithDqt(file, none)), 0);
}

TEST(LoadJpeg, MalformedTablesAndFramesAreRefusedOrSafe) {
  auto file = Small(16, 16);
  auto find = [&](const std::vector<uint8_t>& f, uint8_t m) {
    size_t p = 2;
    while (!(f[p] == 0xFF && f[p + 1] == m)) p += 2 + (f[p + 2] << 8 | f[p + 3]);
    return p;
  };
  size_t sof = find(file, 0xC0), dht = find(file, 0xC4), sos = find(file, 0xDA);
  struct Case {
    const char* name;
    size_t at;
    uint8_t value;
    int ok;
  };
  const Case cases[] = {
      {"Nf 2", sof + 9, 2, 0},
      {"Nf 4", sof + 9, 4, 0},
      {"Tq 4", sof + 12, 4, 0},
      {"chroma 2x2", sof + 14, 0x22, 0},
      {"luma 1x4", sof + 11, 0x14, 0},
      {"luma 4x4", sof + 11, 0x44, 0},
      {"luma 0x0", sof + 11, 0x00, 0},
      {"SOF0 too short", sof + 3, 8 + 2 + 3, 0},
      {"DHT class 2", dht + 4, 0x20, 0},
      {"DHT table 2", dht + 4, 0x02, 0},
      {"DHT counts past the body", dht + 5 + 15, 200, 0},
      {"DHT length below 2", dht + 3, 1, 0},
      {"SOS Ns 2", sos + 4, 2, 0},
      {"SOS Td 2", sos + 6, 0x20, 0},
      {"SOS Ta 3", sos + 6, 0x03, 0},
      {"SOS length ignored", sos + 3, 0, 1},
  };
  for (const Case& c : cases) {
    auto f = file;
    if (std::string(c.name) == "SOF0 too short" || std::string(c.name) == "DHT length below 2") f[c.at - 1] = 0;
    f[c.at] = c.value;
    EXPECT_EQ(ExpectSameAsReference(f, c.name), c.ok) << c.name;
  }
  // A grey frame with factors 2x2 is coded one block per MCU like 1x1.
  auto grey = WriteJpeg(Layout(20, 12, {kY}), RandomCoefs(3));
  size_t gsof = find(grey, 0xC0);
  auto grey22 = grey;
  grey22[gsof + 11] = 0x22;
  EXPECT_EQ(ExpectSameAsReference(grey22, "grey 2x2"), 1);
  TempDir dir;
  Decoded g1 = Load(dir.Write("g1.jpg", grey)), g22 = Load(dir.Write("g22.jpg", grey22));
  EXPECT_TRUE(g1.Bytes() == g22.Bytes());
  std::free(g1.block);
  std::free(g22.block);
  // A DHT body longer than 1024 bytes: four tables of 256 codes.
  JpegLayout big = Layout(16, 16, {kY, kC, kC});
  HuffSpec wide{};
  wide.bits[7] = 255;  // 255 codes of 8 bits and one of 9
  wide.bits[8] = 1;
  for (int i = 0; i < 256; ++i) wide.vals.push_back(static_cast<uint8_t>(i));
  big.dc[0] = big.dc[1] = wide;
  big.ac[0] = big.ac[1] = wide;
  auto bigDht = WriteJpeg(big, RandomCoefs(8, 30));
  EXPECT_EQ(ExpectSameAsReference(bigDht, "DHT of 1092 bytes"), 1);
  // Empty Huffman tables decode nothing: a black picture, and success.
  JpegLayout L = Layout(16, 8, {kY, kC, kC});
  L.dc[0] = HuffSpec{};
  auto emptyDc = WriteJpeg(L, [](int, int, int, int16_t out[64]) {
    for (int i = 0; i < 64; ++i) out[i] = 0;
  });
  EXPECT_EQ(ExpectSameAsReference(emptyDc, "empty DC table"), 1);
}

}  // namespace

namespace {

// The path is the file system's own bytes: a picture named in Japanese in a
// folder named in Japanese opens as it is named.
TEST(LoadJpeg, JapaneseFolderAndFileName) {
  TempDir dir;
  std::string folder = dir.path() + "/ドキュメント";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  auto file = Small(5, 3);
  ASSERT_TRUE(WriteFile((folder + "/写真.jpg").c_str(), file));
  Decoded d = Load(folder + "/写真.jpg");
  ASSERT_EQ(d.ok, 1);
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.height, 3);
  std::free(d.block);
}

// A DHT segment that holds a single table: its counts may use the body up
// to its last byte, and one code more than the body holds is refused.
TEST(LoadJpeg, OneTableDhtCountsAgainstItsBody) {
  auto file = Small(16, 16);
  struct Case {
    int extraBody;  // body bytes after the counts, minus the codes counted
    int ok;
  };
  for (Case c : {Case{0, 1}, Case{-1, 0}}) {
    const int codes = 12;
    std::vector<uint8_t> body{0x00};  // class 0, table 0
    for (int i = 0; i < 16; ++i) body.push_back(i == 3 ? codes : 0);
    for (int i = 0; i < codes + c.extraBody; ++i) body.push_back(static_cast<uint8_t>(i));
    size_t len = body.size() + 2;
    std::vector<uint8_t> seg{0xFF, 0xC4, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
    seg.insert(seg.end(), body.begin(), body.end());
    auto f = file;
    f.insert(f.begin() + 2, seg.begin(), seg.end());  // right after SOI
    EXPECT_EQ(ExpectSameAsReference(f, "one-table DHT"), c.ok) << c.extraBody;
  }
}

}  // namespace
