// LoadJPEG: reads the file, runs the decoder and hands back the bitmap
// header and the pixel block.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "jlode.h"
#include "jlode_internal.h"

namespace jlode {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// The largest block the design's 32-bit sizes can describe.
constexpr size_t kMaxBlockBytes = 0xFFFFFFFFu;

void* DefaultAlloc(size_t size) { return AllocUninitialised(size); }
void DefaultRelease(void* p) { std::free(p); }

bool ReadAll(int fd, uint8_t* dst, size_t n, size_t* got) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd, dst + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  *got = done;
  return true;
}

}  // namespace

AllocHooks g_hooks = {DefaultAlloc, DefaultRelease};

void SetAllocHooks(const AllocHooks* hooks) {
  g_hooks = hooks ? *hooks : AllocHooks{DefaultAlloc, DefaultRelease};
}

void* AllocUninitialised(size_t size) {
  if (size >= kHugePage) {
    size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p) madvise(p, rounded, MADV_HUGEPAGE);  // advice only: failure is harmless
    return p;
  }
  return std::malloc(size ? size : 1);
}

int DecodeFileImage(uint8_t* data, size_t size, size_t maxBlockBytes, void** block,
                    Geometry* geometry) {
  State& st = GlobalState();
  BeginCall(st);
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return 0;
  ScanSetup setup;
  if (!ReadMarkers(st, data, size, &setup)) return 0;
  Geometry g = ComputeGeometry(st.frame);
  if (g.blockSize > maxBlockBytes) return 0;

  uint8_t* scan = data + setup.restOffset;
  size_t len = Unstuff(scan, size - setup.restOffset);
  std::memset(scan + len, 0, kScanPad);

  // The previous block is released only once the new one exists.
  void* pixels = g_hooks.alloc(g.blockSize);
  if (!pixels) return 0;
  if (*block) g_hooks.release(*block);
  *block = pixels;

  DecodeScan(st, scan, len, static_cast<uint8_t*>(pixels), g);
  *geometry = g;
  return 1;
}

}  // namespace jlode

extern "C" __attribute__((visibility("default"))) int32_t LoadJPEG(
    const char* path, void* /*reserved*/, JLODE_BITMAPINFOHEADER* header, JLODE_HGLOBAL* pixels,
    int32_t* width, int32_t* height) {
  using namespace jlode;
  if (!path) return 0;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat sb;
  uint8_t soi[2];
  size_t got = 0;
  // Anything but a regular file (a directory, a pipe) is not read.
  if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode) || !ReadAll(fd, soi, 2, &got) || got != 2 ||
      soi[0] != 0xFF || soi[1] != 0xD8) {
    ::close(fd);
    return 0;
  }
  size_t size = static_cast<size_t>(sb.st_size);
  uint8_t* data = size <= SIZE_MAX - kScanPad - 2
                      ? static_cast<uint8_t*>(AllocUninitialised(size + kScanPad + 2))
                      : nullptr;
  if (!data) {
    ::close(fd);
    return 0;
  }
  data[0] = soi[0];
  data[1] = soi[1];
  bool readOk = size < 2 || ReadAll(fd, data + 2, size - 2, &got);
  ::close(fd);
  if (!readOk) {
    std::free(data);
    return 0;
  }
  size_t total = size < 2 ? 2 : 2 + got;

  void* block = *pixels;
  Geometry g;
  int ok = DecodeFileImage(data, total, kMaxBlockBytes, &block, &g);
  std::free(data);
  if (!ok) return 0;

  *pixels = block;
  JLODE_BITMAPINFOHEADER h;
  std::memset(&h, 0, sizeof h);
  h.biSize = 40;
  h.biWidth = static_cast<int32_t>(g.paddedWidth);
  h.biHeight = -static_cast<int32_t>(g.height);
  h.biPlanes = 1;
  h.biBitCount = 24;
  *header = h;
  *width = static_cast<int32_t>(g.width);
  *height = static_cast<int32_t>(g.height);
  return 1;
}

static_assert(sizeof(JLODE_BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
