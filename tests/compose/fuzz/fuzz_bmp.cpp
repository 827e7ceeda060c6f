// Fuzz target of the BMP reader: any input is decoded; a picture that is
// accepted must have exactly width x height pixels within the caps.
#include "compose/bmp_reader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    BmpImage image;
    BmpError e = DecodeBmp(std::span<const uint8_t>(data, size), image);
    if (e == BmpError::Ok) {
        if (image.width <= 0 || image.height <= 0 ||
            static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) > kMaxBmpPixels ||
            image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
            abort();
    } else if (!image.rgb.empty()) {
        abort(); // a refused file leaves the image untouched
    }
    return 0;
}
