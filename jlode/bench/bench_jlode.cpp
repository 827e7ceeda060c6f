// Decodes a set of photos with LoadJPEG and with libjpeg-turbo (integer slow
// DCT, no fancy upsampling, BGR output), interleaved, along the same path:
// open the file, read it, allocate a zero-filled output block, decode, free.
// Prints megapixels per second for each, their ratio per photo and as a
// geometric mean, and the peak memory of each decoder.
//   jlode_bench [PHOTO_DIR_OR_FILES...] [--seconds S]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jlode.h"

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

using Clock = std::chrono::steady_clock;

size_t BlockSize(unsigned w, unsigned h) { return (h + 80u) * (size_t{(w + 3u) & ~3u} * 3) + 4096; }

bool DecodeJlode(const char* path, unsigned* w, unsigned* h) {
  JLODE_BITMAPINFOHEADER hdr;
  JLODE_HGLOBAL block = nullptr;
  int32_t ww, hh;
  if (!LoadJPEG(path, nullptr, &hdr, &block, &ww, &hh)) return false;
  *w = static_cast<unsigned>(ww);
  *h = static_cast<unsigned>(hh);
  std::free(block);
  return true;
}

bool DecodeTurbo(const char* path, unsigned* w, unsigned* h) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  auto* data = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
  size_t got = std::fread(data, 1, static_cast<size_t>(size), f);
  std::fclose(f);
  jpeg_decompress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, data, got);
  jpeg_read_header(&c, TRUE);
  c.dct_method = JDCT_ISLOW;
  c.do_fancy_upsampling = FALSE;
  c.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&c);
  const size_t stride = size_t{(c.output_width + 3u) & ~3u} * 3;
  auto* block = static_cast<unsigned char*>(std::calloc(BlockSize(c.output_width, c.output_height), 1));
  JSAMPROW rows[16];
  while (c.output_scanline < c.output_height) {
    for (int i = 0; i < 16; ++i) rows[i] = block + (c.output_scanline + i) * stride;
    jpeg_read_scanlines(&c, rows, 16);
  }
  *w = c.output_width;
  *h = c.output_height;
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  std::free(block);
  std::free(data);
  return true;
}

double Seconds(bool (*fn)(const char*, unsigned*, unsigned*), const char* path) {
  unsigned w, h;
  auto t0 = Clock::now();
  if (!fn(path, &w, &h)) {
    std::fprintf(stderr, "cannot decode %s\n", path);
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Peak resident memory of a child process that decodes every photo once.
long PeakKiB(bool (*fn)(const char*, unsigned*, unsigned*), const std::vector<std::string>& files) {
  pid_t pid = fork();
  if (pid == 0) {
    unsigned w, h;
    for (const auto& f : files) fn(f.c_str(), &w, &h);
    _exit(0);
  }
  int status;
  struct rusage ru;
  wait4(pid, &status, 0, &ru);
  return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  double budget = 0.4;  // seconds per photo and decoder
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      budget = std::atof(argv[++i]);
    } else if (std::filesystem::is_directory(a)) {
      for (const auto& e : std::filesystem::directory_iterator(a))
        if (e.path().extension() == ".jpg") files.push_back(e.path().string());
    } else {
      files.push_back(a);
    }
  }
  if (files.empty())
    for (const auto& e : std::filesystem::directory_iterator(JLODE_BENCH_PHOTOS))
      if (e.path().extension() == ".jpg") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());

  std::printf("%-36s %9s %8s %10s %10s %7s\n", "photo", "size", "MP", "jlode MP/s", "turbo MP/s", "ratio");
  double logSum = 0;
  for (const auto& f : files) {
    unsigned w, h;
    DecodeJlode(f.c_str(), &w, &h);  // warm up both
    DecodeTurbo(f.c_str(), &w, &h);
    double mp = w * static_cast<double>(h) / 1e6;
    std::vector<double> tj, tt;
    double spent = 0;
    while (tj.size() < 3 || spent < 2 * budget) {
      tj.push_back(Seconds(DecodeJlode, f.c_str()));
      tt.push_back(Seconds(DecodeTurbo, f.c_str()));
      spent += tj.back() + tt.back();
      if (tj.size() >= 200) break;
    }
    double sj = mp / Median(tj), st = mp / Median(tt);
    logSum += std::log(sj / st);
    std::printf("%-36s %8.0fK %8.2f %10.1f %10.1f %7.3f\n", std::filesystem::path(f).filename().c_str(),
                std::filesystem::file_size(f) / 1024.0, mp, sj, st, sj / st);
  }
  std::printf("geometric mean of the ratio jlode/libjpeg-turbo over %zu photos: %.3f\n", files.size(),
              std::exp(logSum / static_cast<double>(files.size())));
  std::printf("peak resident memory decoding every photo once: jlode %ld KiB, libjpeg-turbo %ld KiB\n",
              PeakKiB(DecodeJlode, files), PeakKiB(DecodeTurbo, files));
  return 0;
}
