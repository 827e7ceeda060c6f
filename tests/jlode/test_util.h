// Helpers shared by the jlode tests: temporary files, decoding through
// LoadJPEG, and the comparison with the reference decoder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "jlode.h"
#include "jlode_internal.h"
#include "jpeg_writer.h"
#include "reference_decoder.h"

namespace jlode_test {

// A file in a private temporary folder, removed with the folder.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/jlode-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& data) const {
    std::string p = dir_ + "/" + name;
    EXPECT_TRUE(WriteFile(p.c_str(), data));
    return p;
  }
  const std::string& path() const { return dir_; }

 private:
  std::string dir_;
};

struct Decoded {
  int ok = 0;
  JLODE_BITMAPINFOHEADER header{};
  void* block = nullptr;
  int32_t width = -1, height = -1;
  size_t blockSize = 0;
  std::vector<uint8_t> Bytes() const {
    auto p = static_cast<const uint8_t*>(block);
    return std::vector<uint8_t>(p, p + blockSize);
  }
  const uint8_t* Pixel(int x, int y) const {
    return static_cast<const uint8_t*>(block) + static_cast<size_t>(y) * header.biWidth * 3 + 3 * x;
  }
};

inline Decoded Load(const std::string& path, void* previous = nullptr) {
  Decoded d;
  d.block = previous;
  d.ok = LoadJPEG(path.c_str(), nullptr, &d.header, &d.block, &d.width, &d.height);
  if (d.ok) d.blockSize = (static_cast<size_t>(d.height) + 80) * d.header.biWidth * 3 + 4096;
  return d;
}

// Decodes `file` with both decoders from a cleared state and expects the same
// result and the same block. Returns the library's result.
inline int ExpectSameAsReference(const std::vector<uint8_t>& file, const char* what = "") {
  TempDir dir;
  std::string path = dir.Write("p.jpg", file);
  jlode::ResetState();
  Decoded d = Load(path);
  jlode_ref::RefState st;
  jlode_ref::RefResult r = jlode_ref::RefDecode(st, file, 0xFFFFFFFFu);
  EXPECT_EQ(d.ok, r.ok) << what;
  if (d.ok && r.ok) {
    EXPECT_EQ(d.width, r.width) << what;
    EXPECT_EQ(d.height, r.height) << what;
    EXPECT_EQ(d.Bytes() == r.block, true) << what;
  }
  std::free(d.block);
  return d.ok;
}

}  // namespace jlode_test
