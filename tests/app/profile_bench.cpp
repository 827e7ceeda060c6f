// Prints what settings reads and writes cost on a large settings file:
//   profile_bench [megabytes]   (default 50)
// A first read, then twenty reads of the unchanged file (as at start-up),
// then a write and a read after it.
#include "app/profile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    using Clock = std::chrono::steady_clock;
    long megabytes = argc > 1 ? std::atol(argv[1]) : 50;
    fs::path dir = fs::temp_directory_path() / ("profile_bench." + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "Tegamiya.ini";
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Default]\r\nVender=PC\r\nDisplay Width=12\r\n[Display Width]\r\n";
        std::string line;
        for (long i = 0; out.tellp() < megabytes * 1024 * 1024; ++i)
            out << "someone" << i << "@example.ne.jp=" << (i % 19 + 6) << "\r\n";
    }
    ProfileFile ini(file.string());
    auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    // A file changed within the last second is checked by its content; one
    // older than that by its times and size alone.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    auto t0 = Clock::now();
    std::string v = ini.GetString("Default", "Vender", "");
    auto t1 = Clock::now();
    for (int i = 0; i < 20; ++i)
        v = ini.GetString("Default", "Display Width", "");
    auto t2 = Clock::now();
    bool ok = ini.WriteString("Default", "Display Width", "13");
    auto t3 = Clock::now();
    v = ini.GetString("Default", "Display Width", "");
    auto t4 = Clock::now();
    for (int i = 0; i < 20; ++i)
        v = ini.GetString("Default", "Display Width", "");
    auto t5 = Clock::now();
    std::printf("settings file of %.1f MB\n", double(fs::file_size(file)) / (1024 * 1024));
    std::printf("first read:            %8.1f ms\n", ms(t0, t1));
    std::printf("20 reads, unchanged:   %8.1f ms (%.2f ms a read)\n", ms(t1, t2), ms(t1, t2) / 20);
    std::printf("write:                 %8.1f ms (%s)\n", ms(t2, t3), ok ? "ok" : "failed");
    std::printf("read after the write:  %8.1f ms\n", ms(t3, t4));
    std::printf("20 reads, just written:%8.1f ms (%.2f ms a read)\n", ms(t4, t5), ms(t4, t5) / 20);
    fs::remove_all(dir);
    return v == "13" ? 0 : 1;
}
