// Fuzz entry point of the decoder. It decodes the input with the library's
// decoder and with the plain reference decoder and requires the same result
// and the same pixel block, byte for byte. An input that contains the
// separator "JLODE-NEXT" is two files decoded one after the other, so that
// tables and frame carried over from one call to the next are exercised.
// Built with libFuzzer (clang) as jlode_fuzz, and without it into the replay
// driver that runs the corpus and the crashers in CTest.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jlode_internal.h"
#include "reference_decoder.h"

namespace {

// Pictures larger than this are refused in fuzzing, to keep runs fast.
constexpr size_t kMaxFuzzBlock = size_t{8} << 20;

void Check(bool ok) {
  if (!ok) std::abort();
}

void DecodeBoth(const uint8_t* data, size_t size, jlode_ref::RefState& ref, void** block) {
  std::vector<uint8_t> buf(data, data + size);
  buf.resize(size + jlode::kScanPad + 8);
  jlode::Geometry g{};
  void* before = *block;
  int ok = jlode::DecodeFileImage(buf.data(), size, kMaxFuzzBlock, block, &g);
  jlode_ref::RefResult r = jlode_ref::RefDecode(ref, std::vector<uint8_t>(data, data + size), kMaxFuzzBlock);
  Check(ok == r.ok);
  if (!ok) {
    Check(*block == before);
    return;
  }
  Check(g.width == static_cast<uint32_t>(r.width) && g.height == static_cast<uint32_t>(r.height));
  Check(g.blockSize == r.block.size());
  Check(std::memcmp(*block, r.block.data(), g.blockSize) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char kSep[] = "JLODE-NEXT";
  const size_t sepLen = sizeof kSep - 1;
  jlode::ResetState();
  jlode::SelectKernels(size & 1 ? jlode::Kernels::kScalar : jlode::Kernels::kAuto);
  jlode_ref::RefState ref;
  void* block = nullptr;
  const uint8_t* sep = static_cast<const uint8_t*>(memmem(data, size, kSep, sepLen));
  if (sep) {
    size_t first = static_cast<size_t>(sep - data);
    DecodeBoth(data, first, ref, &block);
    DecodeBoth(sep + sepLen, size - first - sepLen, ref, &block);
  } else {
    DecodeBoth(data, size, ref, &block);
  }
  std::free(block);
  jlode::SelectKernels(jlode::Kernels::kAuto);
  return 0;
}
