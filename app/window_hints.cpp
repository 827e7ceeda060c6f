#include "app/window_hints.h"

#include <wx/toplevel.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// True when the window manager's list of allowed actions offers to
// maximise the window.
bool OffersMaximise(Display *display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    bool offers = false;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ALLOWED_ACTIONS", False), 0, 64,
                           False, XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const Atom horz = XInternAtom(display, "_NET_WM_ACTION_MAXIMIZE_HORZ", False);
        const Atom vert = XInternAtom(display, "_NET_WM_ACTION_MAXIMIZE_VERT", False);
        auto *atoms = reinterpret_cast<unsigned long *>(data);
        for (unsigned long i = 0; i < count; ++i)
            offers = offers || atoms[i] == horz || atoms[i] == vert;
    }
    if (data)
        XFree(data);
    return offers;
}

GdkFilterReturn OnWindowEvent(GdkXEvent *native, GdkEvent *, gpointer data)
{
    auto *event = static_cast<XEvent *>(native);
    auto *window = static_cast<GdkWindow *>(data);
    if (event->type != PropertyNotify || event->xproperty.state != PropertyNewValue ||
        event->xproperty.atom != XInternAtom(event->xproperty.display, "_NET_WM_ALLOWED_ACTIONS", False))
        return GDK_FILTER_CONTINUE;
    if (OffersMaximise(event->xproperty.display, event->xproperty.window)) {
        // The window manager does not take maximising away from a window it
        // may resize: it will from one it may only move.
        gdk_window_set_functions(window, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE |
                                                                     GDK_FUNC_CLOSE));
        gdk_window_set_decorations(window, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE |
                                                                         GDK_DECOR_MENU | GDK_DECOR_MINIMIZE));
        gdk_window_remove_filter(window, OnWindowEvent, data);
    }
    return GDK_FILTER_CONTINUE;
}

void Watch(GtkWidget *widget, gpointer)
{
    GdkWindow *window = gtk_widget_get_window(widget);
    if (window && GDK_IS_X11_WINDOW(window))
        gdk_window_add_filter(window, OnWindowEvent, window);
}

} // namespace

void KeepMaximiseBoxAway(wxTopLevelWindow *window)
{
    auto *widget = window ? static_cast<GtkWidget *>(window->GetHandle()) : nullptr;
    if (!widget)
        return;
    if (gtk_widget_get_realized(widget))
        Watch(widget, nullptr);
    else
        g_signal_connect(widget, "realize", G_CALLBACK(Watch), nullptr);
}
