// Writes the seed corpus of jlode_fuzz: small files in every layout, with
// and without restarts, cut off, and pairs of files for the carried-over
// state. Usage: jlode_make_seeds OUTDIR
#include <string>

#include "jpeg_writer.h"

using namespace jlode_test;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string out = argv[1];
  const Component kC{1, 1, 1, 1, 1};
  struct Seed {
    const char* name;
    std::vector<Component> comps;
    int w, h, restart;
  };
  const Seed seeds[] = {
      {"grey", {{1, 1, 0, 0, 0}}, 13, 9, 0},          {"grey-rst", {{1, 1, 0, 0, 0}}, 24, 16, 2},
      {"444", {{1, 1, 0, 0, 0}, kC, kC}, 11, 7, 0},    {"444-rst", {{1, 1, 0, 0, 0}, kC, kC}, 24, 16, 3},
      {"422", {{2, 1, 0, 0, 0}, kC, kC}, 17, 8, 0},    {"440", {{1, 2, 0, 0, 0}, kC, kC}, 8, 17, 1},
      {"420", {{2, 2, 0, 0, 0}, kC, kC}, 20, 20, 0},   {"420-rst", {{2, 2, 0, 0, 0}, kC, kC}, 33, 17, 2},
      {"411", {{4, 1, 0, 0, 0}, kC, kC}, 48, 8, 0},    {"411-rst", {{4, 1, 0, 0, 0}, kC, kC}, 40, 9, 1},
  };
  int n = 0;
  for (const Seed& s : seeds) {
    JpegLayout L;
    L.width = static_cast<uint16_t>(s.w);
    L.height = static_cast<uint16_t>(s.h);
    L.comps = s.comps;
    L.restartInterval = static_cast<uint16_t>(s.restart);
    for (int i = 0; i < 64; ++i) L.quant[0][i] = static_cast<uint8_t>(2 + i / 4);
    for (int i = 0; i < 64; ++i) L.quant[1][i] = static_cast<uint8_t>(3 + i / 3);
    L.dqtOneSegment = n % 2 == 1;
    auto file = WriteJpeg(L, RandomCoefs(static_cast<uint32_t>(n), 40));
    WriteFile((out + "/" + s.name + ".jpg").c_str(), file);
    auto cut = std::vector<uint8_t>(file.begin(), file.begin() + static_cast<long>(file.size() * 3 / 4));
    WriteFile((out + "/" + s.name + "-cut.jpg").c_str(), cut);
    // The same picture again, its tables and frame taken from the first.
    size_t sos = 2;
    while (!(file[sos] == 0xFF && file[sos + 1] == 0xDA)) sos += 2 + (file[sos + 2] << 8 | file[sos + 3]);
    std::vector<uint8_t> pair = file;
    const std::string sep = "JLODE-NEXT";
    pair.insert(pair.end(), sep.begin(), sep.end());
    pair.insert(pair.end(), {0xFF, 0xD8});
    pair.insert(pair.end(), file.begin() + static_cast<long>(sos), file.end());
    WriteFile((out + "/" + s.name + "-pair.jpg").c_str(), pair);
    ++n;
  }
  return 0;
}
