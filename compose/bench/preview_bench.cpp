// Times a picture from its file to the preview: decoding (LoadJPEG, or the
// BMP reader) and scaling into the form's 141 x 133 frame, as the form does
// it on its user-interface thread. Prints the median and the slowest of the
// runs in milliseconds.
//   preview_bench FILE [RUNS]
#include "compose/bmp_reader.h"
#include "compose/picture_preview.h"
#include "compose/pictures.h"
#include "jlode.h"

#include <wx/image.h>
#include <wx/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Run {
    double decode = 0, scale = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    wxInitializer wx;
    const std::string path = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const int frameW = 141, frameH = 133;
    const bool bmp = ClassifyPictureFile(path) == PictureFileType::Bmp;

    std::vector<Run> results;
    int width = 0, height = 0;
    for (int i = 0; i < runs; ++i) {
        Run r;
        auto t0 = Clock::now();
        PicturePixels pixels;
        BmpImage image;
        void *block = nullptr;
        JLODE_BITMAPINFOHEADER header{};
        unsigned char reserved[16] = {};
        int32_t w = 0, h = 0;
        if (bmp) {
            if (ReadBmpFile(path, image) != BmpError::Ok) {
                std::fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            pixels = {image.rgb.data(), image.width, image.height, static_cast<size_t>(image.width) * 3, false};
        } else {
            if (!LoadJPEG(path.c_str(), reserved, &header, &block, &w, &h)) {
                std::fprintf(stderr, "LoadJPEG refused %s (a progressive file?)\n", path.c_str());
                return 1;
            }
            pixels = {static_cast<const uint8_t *>(block), w, h, static_cast<size_t>(header.biWidth) * 3, true};
        }
        auto t1 = Clock::now();
        PictureRect fit = bmp ? PictureRect{0, 0, frameW, frameH} : FitPicture(frameW, frameH, pixels.width, pixels.height);
        wxImage scaled = ScalePicture(pixels, fit.width, fit.height);
        auto t2 = Clock::now();
        if (!scaled.IsOk())
            return 1;
        std::free(block);
        width = pixels.width;
        height = pixels.height;
        r.decode = Ms(t1 - t0);
        r.scale = Ms(t2 - t1);
        results.push_back(r);
    }
    auto median = [&](auto field) {
        std::vector<double> v;
        for (const Run &r : results)
            v.push_back(field(r));
        std::sort(v.begin(), v.end());
        return std::pair{v[v.size() / 2], v.back()};
    };
    auto [dm, dx] = median([](const Run &r) { return r.decode; });
    auto [sm, sx] = median([](const Run &r) { return r.scale; });
    auto [tm, tx] = median([](const Run &r) { return r.decode + r.scale; });
    std::printf("%s: %d x %d (%.2f MP), %d runs\n", path.c_str(), width, height, width * double(height) / 1e6, runs);
    std::printf("  decode        median %7.1f ms  slowest %7.1f ms\n", dm, dx);
    std::printf("  scale to fit  median %7.1f ms  slowest %7.1f ms\n", sm, sx);
    std::printf("  file to preview median %5.1f ms  slowest %7.1f ms\n", tm, tx);
    return 0;
}
