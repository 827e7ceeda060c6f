#include "single_instance.h"

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif
#include <glib-unix.h>
#include <glib.h>

#include <wx/toplevel.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace mailsys {

namespace {

constexpr char kRaise[] = "raise\n";
constexpr char kDone[] = "ok\n";

bool SocketAddress(const std::string &path, sockaddr_un *address)
{
    memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path)
        return false;
    memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits at most `ms` for `fd` to be readable.
bool Readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    int r;
    do
        r = poll(&p, 1, ms);
    while (r < 0 && errno == EINTR);
    return r == 1;
}

// Asks the listening process to come forward; true once it said it did.
bool AskToRaise(int fd, int ms)
{
    send(fd, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL);
    char answer[8] = {};
    return Readable(fd, ms) && read(fd, answer, sizeof answer - 1) > 0 && strcmp(answer, kDone) == 0;
}

}  // namespace

std::string SingleInstance::RuntimeDir() { return g_get_user_runtime_dir(); }

SingleInstance::SingleInstance(std::string dir)
    : m_lock_path(dir + "/tegamiya-outbox.lock"), m_socket_path(dir + "/tegamiya-outbox.socket")
{
}

SingleInstance::~SingleInstance()
{
    if (m_watch)
        g_source_remove(m_watch);
    if (m_listen >= 0) {
        close(m_listen);
        unlink(m_socket_path.c_str());
    }
    if (m_lock >= 0)
        close(m_lock);  // the lock goes with the descriptor
}

SingleInstance::Start SingleInstance::Claim(int seconds)
{
    sockaddr_un address;
    m_lock = open(m_lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0 || !SocketAddress(m_socket_path, &address))
        return Start::First;  // no place for a lock: one window more rather than none
    // The holder of the lock may still be starting (its socket not made
    // yet), or ending (then the lock comes free): try both until one works.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        if (flock(m_lock, LOCK_EX | LOCK_NB) == 0)
            return Start::First;
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            // It listens: whatever it answers, the window is its own.
            AskToRaise(fd, seconds * 1000);
            close(fd);
            return Start::HandedOver;
        }
        if (fd >= 0)
            close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < until);
    return Start::NoAnswer;
}

bool SingleInstance::Listen(std::function<void()> raise)
{
    sockaddr_un address;
    if (m_lock < 0 || !SocketAddress(m_socket_path, &address))
        return false;
    // Under the lock, a socket file left by a process that died is stale.
    unlink(m_socket_path.c_str());
    m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(m_listen, 8) != 0) {
        if (m_listen >= 0)
            close(m_listen);
        m_listen = -1;
        return false;
    }
    m_raise = std::move(raise);
    m_watch = g_unix_fd_add(
        m_listen, G_IO_IN,
        [](gint fd, GIOCondition condition, gpointer self) -> gboolean {
            return SingleInstance::OnConnection(fd, condition, self);
        },
        this);
    return true;
}

int SingleInstance::OnConnection(int fd, unsigned, void *self)
{
    auto *instance = static_cast<SingleInstance *>(self);
    int client = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return G_SOURCE_CONTINUE;
    // Only the user's own programs reach the socket (the runtime folder is
    // theirs alone), and a connection means one thing: a later start. It is
    // answered at once, whatever it wrote, so that a start that was slow
    // to write (a busy machine) still brings the window forward.
    instance->m_raise();
    send(client, kDone, sizeof kDone - 1, MSG_NOSIGNAL);
    close(client);
    return G_SOURCE_CONTINUE;
}

void PresentWindow(wxTopLevelWindow *window)
{
    if (window->IsIconized())
        window->Iconize(false);
    window->Show();
    window->Raise();
    GtkWidget *widget = window->GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget))
        return;
    guint32 time = GDK_CURRENT_TIME;
#ifdef GDK_WINDOWING_X11
    GdkWindow *gdk_window = gtk_widget_get_window(widget);
    if (gdk_window && GDK_IS_X11_WINDOW(gdk_window))
        time = gdk_x11_get_server_time(gdk_window);
#endif
    gtk_window_present_with_time(GTK_WINDOW(widget), time);
}

}  // namespace mailsys
