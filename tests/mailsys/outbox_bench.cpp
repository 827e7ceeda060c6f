// What the outbox window's listing costs with a large Sent folder: builds a
// Maildir of sent mails of about 1 MB each (a photo attached) in a temporary
// folder and prints the time of the first reading, of a reading again when
// the window is turned to and nothing changed or one mail changed, and of
// the attachment names of one screenful of rows. Not a test.
//   outbox_bench [mails] [folder]      (default 2000, under /tmp)
#include "mail_list.h"
#include "maildir.h"
#include "message_builder.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double Ms(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of this thread, in ms: what the window's thread would spend.
double CpuMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs `f` five times and prints the median wall and thread CPU time.
template <typename F>
void Measure(const char *what, F f)
{
    std::vector<double> wall, cpu;
    std::string note;
    for (int i = 0; i < 5; ++i) {
        double c = CpuMs();
        auto t = std::chrono::steady_clock::now();
        note = f();
        wall.push_back(Ms(t));
        cpu.push_back(CpuMs() - c);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    printf("%-44s %8.1f ms  (CPU %6.1f ms)  %s\n", what, wall[2], cpu[2], note.c_str());
}

}  // namespace

int main(int argc, char **argv)
{
    int count = argc > 1 ? atoi(argv[1]) : 2000;
    std::string root = argc > 2 ? argv[2] : "/tmp";
    char tmpl[PATH_MAX];
    snprintf(tmpl, sizeof tmpl, "%s/outbox-bench-XXXXXX", root.c_str());
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        return 1;
    }
    std::string sent = std::string(tmpl) + "/sent";

    // One message of about 1 MB, written under as many names with its own
    // subject each (same length, so the files stay alike).
    mailsys::OutgoingMail m;
    m.from = {"Taro", "taro@example.jp"};
    m.to = {{"", "hanako@example.jp"}};
    m.subject = "mail 000000";
    m.body = "text";
    std::string photo = "\xFF\xD8\xFF\xE0";
    std::mt19937 random(1);
    while (photo.size() < 760 * 1024)
        photo += static_cast<char>(random());
    m.attachments.push_back({"photo.jpg", photo, "image/jpeg"});
    std::string message = mailsys::BuildMessage(m, 1800000000, "x@example.jp");
    size_t at = message.find("mail 000000");
    // Written as a mail program files sent mail (cur/, seen), without the
    // syncs of a real delivery: only the reading is measured.
    for (const char *sub : {"", "/tmp", "/new", "/cur"})
        mkdir((sent + sub).c_str(), 0700);
    auto t = std::chrono::steady_clock::now();
    std::string first;
    for (int i = 0; i < count; ++i) {
        char subject[16], name[64];
        snprintf(subject, sizeof subject, "mail %06d", i);
        message.replace(at, 11, subject);
        snprintf(name, sizeof name, "/cur/1800000000.M%06dP1.bench:2,S", i);
        std::ofstream(sent + name, std::ios::binary) << message;
        if (i == 0)
            first = sent + name;
    }
    printf("%d mails of %zu bytes written in %.0f ms\n", count, message.size(), Ms(t));

    std::vector<mailsys::MailRow> rows;
    Measure("first reading (header blocks only)", [&] {
        mailsys::MailListCache fresh;
        rows = fresh.List(sent);
        return std::to_string(fresh.Reads()) + " files read";
    });
    mailsys::MailListCache cache;
    rows = cache.List(sent);
    Measure("reading again, nothing changed", [&] {
        size_t reads = cache.Reads();
        rows = cache.List(sent);
        return std::to_string(cache.Reads() - reads) + " files read";
    });
    Measure("reading again, one mail changed", [&] {
        std::ofstream(first, std::ios::binary | std::ios::app) << "\n";
        size_t reads = cache.Reads();
        rows = cache.List(sent);
        return std::to_string(cache.Reads() - reads) + " files read";
    });
    Measure("attachment names of 20 rows (whole files)", [&] {
        auto screen = std::vector<mailsys::MailRow>(rows.begin(), rows.begin() + std::min<size_t>(20, rows.size()));
        for (auto &r : screen)
            r.attachments_known = false;
        for (auto &r : screen)
            cache.ReadAttachments(&r);
        return screen.empty() ? std::string() : screen.front().attachments;
    });
    if (getenv("OUTBOX_BENCH_BEFORE")) {
        // What each turn to the window cost before: every file read whole.
        auto t0 = std::chrono::steady_clock::now();
        double c = CpuMs();
        rows = mailsys::ListMaildir(sent);
        printf("%-44s %8.1f ms  (CPU %6.1f ms)\n", "every file whole (each turn, before)", Ms(t0), CpuMs() - c);
    }
    std::string cmd = "rm -rf '" + std::string(tmpl) + "'";
    return system(cmd.c_str()) == 0 ? 0 : 1;
}
