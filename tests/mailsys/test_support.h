// Helpers shared by the mail system's tests: a temporary home with a
// profile, file helpers, and the independent reader (Python's email package,
// run as a separate process).
#pragma once

#include <iconv.h>

#include <simple_mapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mailsys_test {

// UTF-8 text as the CP932 bytes a caller of the library passes.
inline std::string Cp932(const std::string &utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2 + 8, '\0');
    char *src = const_cast<char *>(utf8.data());
    size_t left = utf8.size();
    char *dst = out.data();
    size_t room = out.size();
    iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}


inline void WriteText(const std::string &path, const std::string &data)
{
    std::ofstream out(path, std::ios::binary);
    out << data;
}

inline std::string ReadText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool FileExists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline std::vector<std::string> Files(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

inline std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// A profile's section that sends the pictographs to every domain as typed.
inline const std::string kAllDocomo = "\n[pictographs]\n* = docomo\n";

// A fresh HOME with XDG folders, and (unless told otherwise) a profile.
class TempHome {
public:
    explicit TempHome(bool with_profile = true, const std::string &extra = "")
    {
        char tmpl[] = "/tmp/mailsys-test-XXXXXX";
        root = mkdtemp(tmpl);
        setenv("HOME", root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
        outbox = root + "/data/tegamiya-mail/outbox";
        sent = root + "/data/tegamiya-mail/sent";
        book = root + "/book.vcf";
        // The tests of the message's shape send pictographs as typed to
        // every domain; the forms per recipient have tests of their own.
        if (with_profile)
            WriteProfile("name = 山田 太郎\naddress = taro@example.jp\naddressbook = " + book + "\n" + extra +
                         kAllDocomo);
    }
    ~TempHome()
    {
        std::string cmd = "rm -rf '" + root + "'";
        if (system(cmd.c_str()) != 0)
            fprintf(stderr, "could not remove %s\n", root.c_str());
    }
    void WriteProfile(const std::string &text)
    {
        mkdir((root + "/config").c_str(), 0700);
        mkdir((root + "/config/tegamiya-mail").c_str(), 0700);
        WriteText(root + "/config/tegamiya-mail/profile.conf", text);
    }
    std::vector<std::string> NewMail() const { return Files(outbox + "/new"); }

    std::string root, outbox, sent, book;
};

// What the independent reader found in each mail file.
inline std::vector<std::map<std::string, std::string>> ReadMails(const std::vector<std::string> &files)
{
    std::vector<std::map<std::string, std::string>> all(1);
    std::string cmd = std::string("/usr/bin/python3 '") + MAILSYS_TEST_DIR + "/read_mail.py'";
    for (const auto &f : files)
        cmd += " '" + f + "'";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return {};
    char *line = nullptr;
    size_t cap = 0;
    ssize_t n;
    while ((n = getline(&line, &cap, p)) > 0) {
        std::string l(line, static_cast<size_t>(n));
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        size_t eq = l.find('=');
        if (l == "--")
            all.emplace_back();
        else if (eq != std::string::npos)
            all.back()[l.substr(0, eq)] = l.substr(eq + 1);
    }
    free(line);
    pclose(p);
    all.pop_back();
    return all;
}

inline std::map<std::string, std::string> ReadMail(const std::string &file)
{
    auto all = ReadMails({file});
    return all.empty() ? std::map<std::string, std::string>() : all.front();
}

inline MapiRecipDesc Recip(ULONG cls, const char *name, const char *address = nullptr)
{
    MapiRecipDesc r{};
    r.ulRecipClass = cls;
    r.lpszName = const_cast<char *>(name);
    r.lpszAddress = const_cast<char *>(address);
    return r;
}

inline LHANDLE Logon()
{
    LHANDLE h = 0;
    EXPECT_EQ(MAPILogon(0, const_cast<char *>(""), const_cast<char *>(""), MAPI_NEW_SESSION, 0, &h), 0u);
    return h;
}

// Sends to the given recipients with subject, text and optional files.
inline ULONG Send(LHANDLE h, std::vector<MapiRecipDesc> recips, const std::string &subject = "s",
                  const std::string &text = "t", std::vector<MapiFileDesc> files = {})
{
    MapiMessage m{};
    m.lpszSubject = const_cast<char *>(subject.c_str());
    m.lpszNoteText = const_cast<char *>(text.c_str());
    m.nRecipCount = static_cast<ULONG>(recips.size());
    m.lpRecips = recips.empty() ? nullptr : recips.data();
    m.nFileCount = static_cast<ULONG>(files.size());
    m.lpFiles = files.empty() ? nullptr : files.data();
    return MAPISendMail(h, 0, &m, 0, 0);
}

inline MapiFileDesc File(const char *path, const char *name = nullptr)
{
    MapiFileDesc f{};
    f.nPosition = 0xFFFFFFFF;
    f.lpszPathName = const_cast<char *>(path);
    f.lpszFileName = const_cast<char *>(name);
    return f;
}

}  // namespace mailsys_test
