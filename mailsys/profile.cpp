#include "profile.h"
#include "account.h"
#include "text_util.h"

#include "charset.h"
#include "fsutil.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mailsys {

namespace {

std::string Home()
{
    const char *home = getenv("HOME");
    return home && *home ? home : "/";
}

std::string XdgDir(const char *var, const char *fallback)
{
    const char *v = getenv(var);
    // The XDG rules ignore relative paths.
    if (v && v[0] == '/')
        return v;
    return Home() + "/" + fallback;
}

}  // namespace

std::string ConfigHome() { return XdgDir("XDG_CONFIG_HOME", ".config"); }
std::string DataHome() { return XdgDir("XDG_DATA_HOME", ".local/share"); }

std::string ProfilePath() { return ConfigHome() + "/tegamiya-mail/profile.conf"; }

std::string ExpandHome(const std::string &path)
{
    if (path == "~" || path.rfind("~/", 0) == 0)
        return Home() + path.substr(1);
    if (path == "$HOME" || path.rfind("$HOME/", 0) == 0)
        return Home() + path.substr(5);
    return path;
}

Profile DefaultProfile()
{
    Profile p;
    std::string data = DataHome();
    p.outbox = data + "/tegamiya-mail/outbox";
    p.sent = data + "/tegamiya-mail/sent";
    p.address_book = data + "/contacts";
    return p;
}

bool IsPlainAddress(const std::string &a)
{
    size_t at = a.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 >= a.size())
        return false;
    for (unsigned char c : a)
        if (c <= ' ' || c == 0x7F || c == '<' || c == '>' || c == '(' || c == ')' || c == ',' || c == ';' ||
            c == '"' || c == '[' || c == ']' || c == '\\' || c == ':')
            return false;
    if (a.find('@') != at)
        return false;
    std::string domain = a.substr(at + 1);
    if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != std::string::npos)
        return false;
    return true;
}

ProfileLoad LoadProfile(Profile *profile, std::string *error)
{
    *profile = DefaultProfile();
    std::ifstream in(ProfilePath(), std::ios::binary);
    if (!in) {
        return FileExists(ProfilePath()) ? ProfileLoad::Invalid : ProfileLoad::Missing;
    }
    std::string line;
    int line_no = 0;
    // Sections other than [pictographs] are only for the reader's eye: their
    // keys are read wherever they stand, as profiles before it were.
    bool in_pictographs = false, seen_pictographs = false;
    while (std::getline(in, line)) {
        ++line_no;
        line = Trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line[0] == '[') {
            in_pictographs = Trim(line.substr(1, line.find(']') - 1)) == "pictographs";
            if (in_pictographs && !seen_pictographs) {
                // The section replaces the default rules.
                profile->pictographs.clear();
                seen_pictographs = true;
            }
            continue;
        }
        size_t eq = line.find('=');
        if (in_pictographs) {
            std::string pattern = eq == std::string::npos ? "" : Trim(line.substr(0, eq));
            std::string word = eq == std::string::npos ? "" : Trim(line.substr(eq + 1));
            PictographForm form;
            if (pattern.empty() || !ParseFormWord(word, &form)) {
                if (error)
                    *error = ProfilePath() + ":" + std::to_string(line_no) + ": [pictographs] \"" + line +
                             "\": expected \"domain = form\" with the form docomo, unicode or text";
                return ProfileLoad::Refused;
            }
            profile->pictographs.push_back({pattern, form});
            continue;
        }
        if (eq == std::string::npos)
            continue;
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (key == "name")
            profile->sender_name = CharsetToUtf8(value, "UTF-8");  // bad bytes replaced
        else if (key == "address")
            profile->sender_address = value;
        else if (key == "outbox" && !value.empty())
            profile->outbox = ExpandHome(value);
        else if (key == "sent" && !value.empty())
            profile->sent = ExpandHome(value);
        else if (key == "addressbook" && !value.empty())
            profile->address_book = ExpandHome(value);
        else if (key == "send_command")
            profile->send_command = value;
        else if (key == "send_timeout") {
            int t = atoi(value.c_str());
            if (t > 0)
                profile->send_timeout = t;
        } else {
            ReadAccountKey(key, value, &profile->account);
        }
    }
    if (in.bad() || !IsPlainAddress(profile->sender_address))
        return ProfileLoad::Invalid;
    return ProfileLoad::Ok;
}

bool SaveProfile(const Profile &p)
{
    std::ostringstream o;
    o << "# Profile of the Tegamiya mail system (UTF-8). Lines are key = value.\n"
         "# name, address: the sender shown in From.\n"
         "# outbox, sent: Maildir folders; addressbook: a .vcf file or a folder of them.\n"
         "# send_command: a sendmail-compatible command reading the recipients from the\n"
         "#   headers (e.g. \"msmtp -t --read-envelope-from\" or \"/usr/sbin/sendmail -t -oi\");\n"
         "#   empty: mail stays in the outbox for another program to send.\n"
         "[sender]\n"
      << "name = " << p.sender_name << "\n"
      << "address = " << p.sender_address << "\n"
      << "\n[folders]\n"
      << "outbox = " << p.outbox << "\n"
      << "sent = " << p.sent << "\n"
      << "addressbook = " << p.address_book << "\n"
      << "\n[handoff]\n"
      << "send_command = " << p.send_command << "\n"
      << "send_timeout = " << p.send_timeout << "\n"
      << "\n" << AccountSection(p.account)
      << "\n[pictographs]\n"
         "# How pictographs reach each recipient, by the domain of its address:\n"
         "#   docomo  = Shift_JIS with the codes as typed (docomo phones draw them)\n"
         "#   unicode = UTF-8 with Unicode emoji (every phone and PC of today)\n"
         "#   text    = Shift_JIS with each pictograph's name in \xE3\x80\x94\xE3\x80\x95\n"
         "# Domains as in the carrier table: a plain domain, \"*.\" for every name under\n"
         "# one, \"*\" within a name for one or more letters (jp-*.ne.jp). The first\n"
         "# line that matches wins; \"*\" alone is every other domain.\n";
    for (const PictographRule &r : p.pictographs)
        o << r.pattern << " = " << FormWord(r.form) << "\n";
    std::string path = ProfilePath();
    if (!MakeDirs(DirName(path)))
        return false;
    return WriteFileAtomic(path, o.str()) == 0;
}

}  // namespace mailsys
