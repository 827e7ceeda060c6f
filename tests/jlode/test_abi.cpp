// libjlode.so as the program links it: only the public header, the exported
// LoadJPEG, and a block released with free().
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "jlode.h"
#include "jpeg_writer.h"

namespace {

TEST(Abi, HeaderLayoutIsTheWindowsOne) {
  EXPECT_EQ(sizeof(JLODE_BITMAPINFOHEADER), 40u);
  EXPECT_EQ(offsetof(JLODE_BITMAPINFOHEADER, biWidth), 4u);
  EXPECT_EQ(offsetof(JLODE_BITMAPINFOHEADER, biPlanes), 12u);
  EXPECT_EQ(offsetof(JLODE_BITMAPINFOHEADER, biBitCount), 14u);
  EXPECT_EQ(offsetof(JLODE_BITMAPINFOHEADER, biCompression), 16u);
  EXPECT_EQ(offsetof(JLODE_BITMAPINFOHEADER, biClrImportant), 36u);
}

TEST(Abi, DecodesIntoABlockTheCallerFrees) {
  char dir[] = "/tmp/jlode-abi-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/p.jpg";
  jlode_test::JpegLayout L;
  L.width = 21;
  L.height = 13;
  L.comps = {{2, 2, 0, 0, 0}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}};
  ASSERT_TRUE(jlode_test::WriteFile(path.c_str(), jlode_test::WriteJpeg(L, jlode_test::RandomCoefs(5))));
  JLODE_BITMAPINFOHEADER h;
  JLODE_HGLOBAL block = nullptr;
  int32_t w = 0, ht = 0;
  char reserved[16];
  std::memset(reserved, 0x5A, sizeof reserved);
  ASSERT_EQ(LoadJPEG(path.c_str(), reserved, &h, &block, &w, &ht), 1);
  EXPECT_EQ(w, 21);
  EXPECT_EQ(ht, 13);
  EXPECT_EQ(h.biWidth, 24);
  EXPECT_EQ(h.biHeight, -13);
  for (char c : reserved) EXPECT_EQ(c, 0x5A);
  // Decoding again with the handle frees the first block inside the library.
  ASSERT_EQ(LoadJPEG(path.c_str(), reserved, &h, &block, &w, &ht), 1);
  std::free(block);
  std::remove(path.c_str());
  rmdir(dir);
}

}  // namespace
