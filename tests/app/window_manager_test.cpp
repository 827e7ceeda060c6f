// The main window under a real window manager (openbox, started on a display
// of its own by with_openbox.sh): the maximise action it must not offer, and
// the placement stored after a move and after a maximised close.
#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

using testenv::WaitFor;

namespace {

Display *XDisplay() { return gdk_x11_get_default_xdisplay(); }

// The window's property of 32-bit items (atoms, windows, cardinals).
std::vector<unsigned long> Property(Window w, const char *name, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(XDisplay(), w, XInternAtom(XDisplay(), name, False), 0, 1024, False, type, &actual,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        auto *longs = reinterpret_cast<unsigned long *>(data);
        items.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return items;
}

std::vector<std::string> AtomNames(const std::vector<unsigned long> &atoms)
{
    std::vector<std::string> names;
    for (unsigned long a : atoms) {
        char *n = XGetAtomName(XDisplay(), a);
        names.push_back(n ? n : "");
        if (n)
            XFree(n);
    }
    return names;
}

bool Has(const std::vector<std::string> &names, const std::string &name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

class UnderWindowManager : public testenv::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        // The window manager announces itself on the root window.
        ASSERT_TRUE(WaitFor([] {
            return !Property(DefaultRootWindow(XDisplay()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
        }, 20)) << "no window manager: run through with_openbox.sh";
    }
    CMainFrame *Frame() { return app.MainFrame(); }
    Window Xid() { return gdk_x11_window_get_xid(gtk_widget_get_window(static_cast<GtkWidget *>(Frame()->GetHandle()))); }
    std::vector<std::string> Actions() { return AtomNames(Property(Xid(), "_NET_WM_ALLOWED_ACTIONS", XA_ATOM)); }
    // Starts the program and waits until the window manager has framed the
    // main window and offers it no maximising.
    void Start()
    {
        ASSERT_TRUE(app.InitInstance());
        ASSERT_TRUE(WaitFor([&] {
            std::vector<std::string> actions = Actions();
            return Property(Xid(), "_NET_FRAME_EXTENTS", XA_CARDINAL).size() == 4 &&
                   Has(actions, "_NET_WM_ACTION_CLOSE") && !Has(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ");
        })) << "the window manager still offers to maximise the main window";
        testenv::Pump();
    }
    // The window manager's frame around the main window on screen, as the
    // placement stores it: left:top:right:bottom.
    std::string OuterRect()
    {
        Window w = Xid(), root = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        while (XQueryTree(XDisplay(), w, &root, &parent, &children, &n)) {
            if (children)
                XFree(children);
            if (parent == root || parent == 0)
                break;
            w = parent;
        }
        XWindowAttributes a{};
        XGetWindowAttributes(XDisplay(), w, &a);
        return wxString::Format("%d:%d:%d:%d", a.x, a.y, a.x + a.width + 2 * a.border_width,
                                a.y + a.height + 2 * a.border_width).ToStdString();
    }
    void Close()
    {
        Frame()->Close();
        ASSERT_TRUE(WaitFor([] { return wxTopLevelWindows.empty(); }));
        ReleaseMapi();
    }
    std::string Stored()
    {
        return ProfileFile((home.Config() / "Zelko/Tegamiya.ini").string()).GetString("Settings", "TegamiyaPos", "");
    }
};

// Under openbox the title bar offered minimise, maximise and close, and the
// window manager listed the maximise action: openbox keeps maximising for
// every window it may resize, whatever the window asks.
TEST_F(UnderWindowManager, MainWindowOffersMinimiseAndCloseButNoMaximise)
{
    Start();
    std::vector<std::string> actions = Actions();
    for (const char *offered : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_CLOSE", "_NET_WM_ACTION_MOVE"})
        EXPECT_TRUE(Has(actions, offered)) << offered;
    for (const char *refused : {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
        EXPECT_FALSE(Has(actions, refused)) << refused;
    // Nor does a request to maximise get through.
    Frame()->Maximize(true);
    Frame()->Move(10, 20);
    ASSERT_TRUE(WaitFor([&] { return Frame()->GetPosition() == wxPoint(10, 20); }));
    EXPECT_FALSE(Frame()->IsMaximized());
    EXPECT_FALSE(Has(AtomNames(Property(Xid(), "_NET_WM_STATE", XA_ATOM)), "_NET_WM_STATE_MAXIMIZED_HORZ"));
}

TEST_F(UnderWindowManager, PlacementAfterAMoveAndAfterAMaximisedClose)
{
    Start();
    Frame()->Move(200, 150);
    ASSERT_TRUE(WaitFor([&] { return Frame()->GetPosition() == wxPoint(200, 150) &&
                                     OuterRect().rfind("200:150:", 0) == 0; }))
        << OuterRect();
    const wxSize normal = Frame()->GetSize();
    const std::string rect = OuterRect();
    // 605 x 322 with openbox's default theme: the form's 603 x 234 (with
    // the menu bar and toolbar above it), a border and a title bar.
    Close();
    EXPECT_EQ(Stored(), "0:1:-1:-1:-1:-1:" + rect);

    // Maximised (by a window manager that lets it: the test lifts the
    // hints), then closed: flags 2 and show command 3, the normal place kept.
    Start();
    ASSERT_TRUE(WaitFor([&] { return OuterRect() == rect; })) << OuterRect();
    gdk_window_set_functions(gtk_widget_get_window(static_cast<GtkWidget *>(Frame()->GetHandle())), GDK_FUNC_ALL);
    ASSERT_TRUE(WaitFor([&] { return Has(Actions(), "_NET_WM_ACTION_MAXIMIZE_HORZ") && OuterRect() != rect; }));
    // openbox adds a handle below; a move makes the window take in its new
    // outer size.
    for (wxPoint at : {wxPoint(210, 150), wxPoint(200, 150)}) {
        Frame()->Move(at);
        ASSERT_TRUE(WaitFor([&] {
            return Frame()->GetPosition() == at &&
                   OuterRect().rfind(wxString::Format("%d:%d:", at.x, at.y).ToStdString(), 0) == 0;
        })) << OuterRect();
    }
    const std::string resizable = OuterRect();
    Frame()->Maximize(true);
    ASSERT_TRUE(WaitFor([&] { return Frame()->IsMaximized() && Frame()->GetSize() != normal; }));
    Close();
    EXPECT_EQ(Stored(), "2:3:-1:-1:-1:-1:" + resizable);

    // The next start opens normal-sized at the stored place.
    Start();
    EXPECT_TRUE(WaitFor([&] { return OuterRect() == rect && Frame()->GetSize() == normal; })) << OuterRect();
    EXPECT_FALSE(Frame()->IsMaximized());
    std::vector<std::string> state = AtomNames(Property(Xid(), "_NET_WM_STATE", XA_ATOM));
    EXPECT_FALSE(Has(state, "_NET_WM_STATE_MAXIMIZED_HORZ"));
    EXPECT_FALSE(Has(state, "_NET_WM_STATE_MAXIMIZED_VERT"));
}

} // namespace
