// One outbox window per user: the first start holds a lock and listens on a
// UNIX socket in the user's runtime folder; a later start asks it to come to
// the front and ends (Tegamiya's "OE" button starts the program after every
// send).
#pragma once

#include <functional>
#include <string>

class wxTopLevelWindow;

namespace mailsys {

class SingleInstance {
public:
    enum class Start {
        First,       // this process shows the window
        HandedOver,  // the running window was asked to come to the front
        NoAnswer,    // another start holds the lock but never listened
    };

    // `dir`: where the lock and the socket lie (the user's runtime folder).
    explicit SingleInstance(std::string dir = RuntimeDir());
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the lock, or asks the process that holds it to come forward,
    // waiting at most `seconds` for it to answer (it may be starting).
    Start Claim(int seconds = 10);
    // The first process: from now on `raise` runs on the GLib main loop (so
    // also under a modal dialog) whenever a later start asks.
    bool Listen(std::function<void()> raise);

    // $XDG_RUNTIME_DIR, or GLib's stand-in for it when unset.
    static std::string RuntimeDir();

private:
    std::string m_lock_path, m_socket_path;
    int m_lock = -1, m_listen = -1;
    unsigned m_watch = 0;
    std::function<void()> m_raise;
    static int OnConnection(int fd, unsigned condition, void *self);
};

// Brings a top-level window to the front with a fresh X timestamp, so that
// a window manager's focus-stealing prevention lets it come forward.
void PresentWindow(wxTopLevelWindow *window);

}  // namespace mailsys
