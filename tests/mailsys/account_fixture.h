// Fixtures of the account tests: an SMTP server as a provider runs one
// (STARTTLS or TLS with a self-signed certificate made here, AUTH PLAIN and
// LOGIN), and a private desktop keyring (gnome-keyring's daemon on a D-Bus
// session bus of the test's own, under the test's HOME).
#pragma once

#include "test_support.h"
#include "../support/child_process.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>

namespace mailsys_test {

using testenv::ReadLineFrom;
using testenv::StartProgram;
using testenv::StopProgram;

// A certificate for "localhost" and 127.0.0.1, made with openssl:
// self-signed, or signed by `ca` (files named after it); or, given a name,
// a certificate authority of the test's own (`cert` is what a trust file
// holds).
struct TestCertificate {
    explicit TestCertificate(const std::string &dir, const TestCertificate *ca = nullptr)
        : cert(ca ? ca->cert + ".server.pem" : dir + "/cert.pem"), key(ca ? ca->cert + ".server.key" : dir + "/key.pem")
    {
        Make("/CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1" +
                 (ca ? " -addext basicConstraints=critical,CA:FALSE -CA '" + ca->cert + "' -CAkey '" + ca->key + "'"
                     : std::string()),
             !ca || ca->ok);
    }
    TestCertificate(const std::string &dir, const std::string &ca_name)
        : cert(dir + "/" + ca_name + "-ca.pem"), key(dir + "/" + ca_name + "-ca.key")
    {
        Make("'/CN=" + ca_name + " test CA' -addext basicConstraints=critical,CA:TRUE -addext "
             "keyUsage=critical,keyCertSign", true);
    }
    std::string cert, key;
    bool ok = false;

private:
    void Make(const std::string &subject_and_more, bool can)
    {
        std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj " + subject_and_more +
                          " -keyout '" + key + "' -out '" + cert + "' >/dev/null 2>&1";
        ok = can && system(cmd.c_str()) == 0;
    }
};

// smtp_account_server.py: mails land in `folder` as N.eml and N.env.
class AccountServer : public testenv::ServerProgram {
public:
    AccountServer(const std::string &folder, const TestCertificate &certificate, const std::string &user,
                  const std::string &password, const std::string &mode = "starttls")
        : ServerProgram({"/usr/bin/python3", std::string(MAILSYS_TEST_DIR) + "/smtp_account_server.py", folder,
                         certificate.cert, certificate.key, user, password, mode}),
          folder(folder)
    {
    }
    std::string AuthLog() const { return ReadText(folder + "/auth.log"); }
    std::string LoginsHex() const { return ReadText(folder + "/logins.hex"); }

    std::string folder;
};

// smtp_script_server.py playing one scenario on every connection. It says
// "accepted" when it has taken a connection, "closed" when a silent one was
// closed (Said waits for the next word).
struct ScriptServer : testenv::ServerProgram {
    ScriptServer(const TestCertificate &certificate, const std::string &scenario)
        : ServerProgram({"/usr/bin/python3", std::string(MAILSYS_TEST_DIR) + "/smtp_script_server.py",
                         certificate.cert, certificate.key, scenario})
    {
    }
    bool Said(const std::string &word, int seconds = 30) { return NextLine(seconds) == word; }
};

// A port on 127.0.0.1 that nothing listens on.
inline int UnusedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// A D-Bus session bus and gnome-keyring's daemon, both under the test's
// HOME (set before), the login keyring created and unlocked. Sets
// DBUS_SESSION_BUS_ADDRESS for this process and its children.
class PrivateKeyring {
public:
    explicit PrivateKeyring(const std::string &home)
    {
        std::string run = home + "/run";
        mkdir(run.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        // A bus without service activation: nothing else is started on it.
        std::string config = home + "/bus.conf";
        WriteText(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                          "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                          "<busconfig><type>session</type><listen>unix:dir=" + run +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy></busconfig>\n");
        m_bus = StartProgram({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, &m_bus_out);
        address = ReadLineFrom(m_bus_out, 15);
        if (address.empty())
            return;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        int in = -1;
        m_keyring = StartProgram({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                                 &m_keyring_out, &in);
        if (write(in, "keyring-pw", 10) != 10)
            return;
        close(in);
        // Ready when the daemon owns the Secret Service's name.
        for (int i = 0; i < 300 && !ready; ++i) {
            FILE *p = popen("dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                            "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null",
                            "r");
            char buf[512] = {};
            size_t n = p ? fread(buf, 1, sizeof buf - 1, p) : 0;
            if (p)
                pclose(p);
            ready = std::string(buf, n).find("boolean true") != std::string::npos;
            if (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~PrivateKeyring()
    {
        StopProgram(m_keyring);
        StopProgram(m_bus);
        if (m_keyring_out >= 0)
            close(m_keyring_out);
        if (m_bus_out >= 0)
            close(m_bus_out);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    std::string address;
    bool ready = false;

private:
    pid_t m_bus = -1, m_keyring = -1;
    int m_bus_out = -1, m_keyring_out = -1;
};

// No keyring at all: a session bus address where nothing listens.
inline void NoKeyring(const std::string &home)
{
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + home + "/no-bus").c_str(), 1);
}

// True when some file under `dir` holds `text`.
inline bool AnyFileHolds(const std::string &dir, const std::string &text)
{
    std::string cmd = "grep -rqF -e '" + text + "' '" + dir + "'";
    return system(cmd.c_str()) == 0;
}

}  // namespace mailsys_test
