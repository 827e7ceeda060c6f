// A stand-in for a file manager in drag-and-drop tests: a small window that
// offers files as "text/uri-list" (file:// URIs, percent-encoded, CR LF
// between them) and, with --text, the same list as plain text too, as many
// file managers do. It drags them itself with xdotool onto a screen point,
// one step at a time, each step waiting for what GTK reports.
//
//   drag_source [--text] X Y FILE...
//
// Prints the action the target answered and what became of the drop; exits
// 0 when the target took the data, 3 when it refused the drop, 2 when the
// drag did not work.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

enum Info : guint { kUriList, kText };

struct Drag {
    int toX = 0, toY = 0;
    std::vector<std::string> uris;
    GtkWidget *handle = nullptr;
    GdkDragContext *context = nullptr;
    enum State { Mapped, Begun, Hovering, Released } state = Mapped;
    int x = 0, y = 0;     // where the pointer was last put
    int ticks = 0;        // ticks spent in the current state
    int fromX = 0, fromY = 0; // where the drag began
    int step = 0;         // steps of the way to the target
    int dataRequests = 0;
    bool failed = false;
    bool ended = false;
    int result = 2;
};

void Xdotool(const std::string &args)
{
    std::string cmd = "xdotool " + args;
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "drag_source: '%s' failed\n", cmd.c_str());
}

void MoveTo(Drag &d, int x, int y)
{
    d.x = x;
    d.y = y;
    Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
}

void Finish(Drag &d, int result, const char *what)
{
    // Never leave the button held for whatever runs next on the display.
    if (d.state != Drag::Released)
        Xdotool("mouseup 1");
    d.result = result;
    std::printf("%s\n", what);
    std::fflush(stdout);
    gtk_main_quit();
}

// One step of the drag per tick, each waiting for the last one's effect.
gboolean Tick(gpointer data)
{
    Drag &d = *static_cast<Drag *>(data);
    ++d.ticks;
    switch (d.state) {
    case Drag::Mapped:
        // Until GTK sees a drag: press on the handle and move past the
        // drag threshold a little further each time.
        if (d.context) {
            d.state = Drag::Begun;
            d.ticks = 0;
        } else if (d.ticks > 500) {
            Finish(d, 2, "no drag began");
            return G_SOURCE_REMOVE;
        } else if (d.ticks == 1) {
            GtkAllocation a;
            gtk_widget_get_allocation(d.handle, &a);
            int ox = 0, oy = 0;
            gdk_window_get_origin(gtk_widget_get_window(d.handle), &ox, &oy);
            MoveTo(d, ox + a.x + a.width / 2, oy + a.y + a.height / 2);
            Xdotool("mousedown 1");
        } else {
            MoveTo(d, d.x - 3, d.y - 3);
        }
        return G_SOURCE_CONTINUE;
    case Drag::Begun: {
        // The way to the target in steps, as a hand moves.
        const int steps = 10;
        if (d.step == 0) {
            d.fromX = d.x;
            d.fromY = d.y;
        }
        ++d.step;
        MoveTo(d, d.fromX + (d.toX - d.fromX) * d.step / steps, d.fromY + (d.toY - d.fromY) * d.step / steps);
        if (d.step == steps) {
            d.state = Drag::Hovering;
            d.ticks = 0;
        }
        return G_SOURCE_CONTINUE;
    }
    case Drag::Hovering: {
        // Over the target until it answers with an action; a target that
        // keeps answering none (for ~15 s: a loaded machine's target may be
        // slow to answer at all) has refused the drop.
        GdkDragAction action = gdk_drag_context_get_selected_action(d.context);
        bool answered = gdk_drag_context_get_dest_window(d.context) != nullptr && action != 0;
        if (answered || d.ticks > 500) {
            std::printf("action %s\n", action == GDK_ACTION_COPY   ? "copy"
                                       : action == GDK_ACTION_MOVE ? "move"
                                       : action == GDK_ACTION_LINK ? "link"
                                       : action == 0               ? "none"
                                                                   : "other");
            std::fflush(stdout);
            Xdotool("mouseup 1");
            d.state = Drag::Released;
            d.ticks = 0;
        } else {
            // Small moves keep position messages going to the target.
            MoveTo(d, d.toX + (d.ticks % 2), d.toY);
        }
        return G_SOURCE_CONTINUE;
    }
    case Drag::Released:
        if (d.ended) {
            bool took = !d.failed && d.dataRequests > 0;
            Finish(d, took ? 0 : 3, took ? "dropped" : "refused");
            return G_SOURCE_REMOVE;
        }
        if (d.ticks > 500) {
            Finish(d, 2, "the drag did not end");
            return G_SOURCE_REMOVE;
        }
        return G_SOURCE_CONTINUE;
    }
    return G_SOURCE_CONTINUE;
}

void OnDragBegin(GtkWidget *, GdkDragContext *context, gpointer data)
{
    static_cast<Drag *>(data)->context = context;
}

void OnDragDataGet(GtkWidget *, GdkDragContext *, GtkSelectionData *selection, guint info, guint, gpointer data)
{
    Drag &d = *static_cast<Drag *>(data);
    ++d.dataRequests;
    if (info == kUriList) {
        std::vector<gchar *> list;
        for (std::string &u : d.uris)
            list.push_back(u.data());
        list.push_back(nullptr);
        gtk_selection_data_set_uris(selection, list.data());
    } else {
        std::string text;
        for (const std::string &u : d.uris)
            text += u + "\r\n";
        gtk_selection_data_set_text(selection, text.c_str(), -1);
    }
}

gboolean OnDragFailed(GtkWidget *, GdkDragContext *, GtkDragResult, gpointer data)
{
    static_cast<Drag *>(data)->failed = true;
    return TRUE; // no animation back to the source
}

void OnDragEnd(GtkWidget *, GdkDragContext *, gpointer data)
{
    static_cast<Drag *>(data)->ended = true;
}

gboolean OnMapped(GtkWidget *, GdkEvent *, gpointer data)
{
    g_timeout_add(30, Tick, data);
    return FALSE;
}

} // namespace

int main(int argc, char **argv)
{
    gtk_init(&argc, &argv);
    Drag d;
    bool text = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::string(argv[i]) == "--text")
            text = true;
    }
    if (argc - i < 3) {
        std::fprintf(stderr, "usage: drag_source [--text] X Y FILE...\n");
        return 2;
    }
    d.toX = std::atoi(argv[i++]);
    d.toY = std::atoi(argv[i++]);
    for (; i < argc; ++i) {
        gchar *uri = g_filename_to_uri(argv[i], nullptr, nullptr);
        if (!uri) {
            std::fprintf(stderr, "drag_source: %s is not an absolute path\n", argv[i]);
            return 2;
        }
        d.uris.emplace_back(uri);
        g_free(uri);
    }

    // Out of the way of the window under test: the screen's lower right.
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    GdkRectangle screen;
    gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &screen);
    gtk_window_move(GTK_WINDOW(window), screen.x + screen.width - 140, screen.y + screen.height - 80);
    d.handle = gtk_event_box_new();
    gtk_widget_set_size_request(d.handle, 120, 60);
    gtk_container_add(GTK_CONTAINER(d.handle), gtk_label_new("files"));
    gtk_container_add(GTK_CONTAINER(window), d.handle);

    GtkTargetEntry targets[] = {
        {const_cast<gchar *>("text/uri-list"), 0, kUriList},
        {const_cast<gchar *>("UTF8_STRING"), 0, kText},
        {const_cast<gchar *>("text/plain;charset=utf-8"), 0, kText},
        {const_cast<gchar *>("text/plain"), 0, kText},
    };
    // What a file manager offers: copy, move or link, copy unless a key
    // says otherwise.
    gtk_drag_source_set(d.handle, GDK_BUTTON1_MASK, targets, text ? G_N_ELEMENTS(targets) : 1,
                        GdkDragAction(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
    g_signal_connect(d.handle, "drag-begin", G_CALLBACK(OnDragBegin), &d);
    g_signal_connect(d.handle, "drag-data-get", G_CALLBACK(OnDragDataGet), &d);
    g_signal_connect(d.handle, "drag-failed", G_CALLBACK(OnDragFailed), &d);
    g_signal_connect(d.handle, "drag-end", G_CALLBACK(OnDragEnd), &d);
    g_signal_connect(window, "map-event", G_CALLBACK(OnMapped), &d);
    gtk_widget_show_all(window);
    gtk_main();
    return d.result;
}
