// Files dragged for real from another program onto the compose form: the
// drag goes through the X server and GTK's drag-and-drop, with the fields'
// own drop handling in the way, as a file manager's drag does.
#include "form_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

extern char **environ;

using namespace formtest;

namespace {

class RealDrop : public Form {
protected:
    // Drags `files` from the drag source program (tests/support/drag_source)
    // onto the screen point `at` and waits for it to finish, answering the
    // drag meanwhile. What the program printed is returned; `rc` is its exit
    // code.
    std::string Drag(const std::vector<fs::path> &files, wxPoint at, const std::vector<std::string> &options, int &rc)
    {
        fs::path out = home.Path() / "drag.out";
        std::vector<std::string> args = {DRAG_SOURCE};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(std::to_string(at.x));
        args.push_back(std::to_string(at.y));
        for (const fs::path &f : files)
            args.push_back(f.string());
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        rc = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return "cannot start the drag source";
        }
        posix_spawn_file_actions_destroy(&actions);
        // This program must answer the drag's messages meanwhile.
        int status = 0;
        bool done = false;
        WaitFor([&] { return done = done || waitpid(pid, &status, WNOHANG) == pid; }, 60);
        if (!done) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        rc = done && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    wxPoint Middle(wxWindow *w)
    {
        wxRect r = w->GetScreenRect();
        return r.GetPosition() + wxPoint(r.width / 2, r.height / 2);
    }
    // A point of the form that no control covers.
    wxPoint EmptySpot()
    {
        wxRect form = View()->GetClientRect();
        for (int y = 4; y < form.height; y += 4)
            for (int x = 4; x < form.width; x += 4) {
                bool free = true;
                for (wxWindow *c : View()->GetChildren())
                    if (c->IsShown() && c->GetRect().Inflate(4).Contains(x, y))
                        free = false;
                if (free)
                    return View()->ClientToScreen(wxPoint(x, y));
            }
        ADD_FAILURE() << "no empty spot on the form";
        return {};
    }
};

// Each field keeps its text exactly (a field would insert the file's URI);
// the body becomes the text file's, a picture is attached. The file manager
// offers the URIs as a uri-list alone or as text too; it is asked to copy,
// never to move (a move would delete the user's file).
TEST_F(RealDrop, FilesDraggedFromAnotherProgramReachTheFormNotTheFields)
{
    Start();
    fs::path text = home.Path() / "letter.txt";
    testenv::WriteFile(text, "dropped\n");
    // A name a file manager percent-encodes: blanks, Japanese, a percent sign.
    fs::path japanese = home.Path() / "\xE6\x89\x8B\xE7\xB4\x99 100% \xE3\x83\xA1\xE3\x83\xA2.txt";
    testenv::WriteFile(japanese, "\xE6\xBC\xA2\xE5\xAD\x97");
    // A name that is not UTF-8 (from an old archive): the file system's bytes.
    fs::path cp932 = home.Path() / "\x83\x81\x83\x82.txt";
    testenv::WriteFile(cp932, "dropped\n");
    fs::path photo = home.Path() / "\xE5\x86\x99\xE7\x9C\x9F 1.jpg";
    fs::copy_file(JPEG_PATH, photo);

    const std::string subject = Sjis("件名はこのまま");
    auto *to = Ctl<wxComboBox>(1035);
    struct Case {
        const char *where;
        std::function<wxPoint()> at;
        std::vector<fs::path> files;
        bool alsoText;
        std::string body;      // the body afterwards
        std::string attached;  // the attachment afterwards
    };
    const Case cases[] = {
        {"body, picture", [&] { return Middle(View()->BodyField()); }, {photo}, true, "before", photo.string()},
        {"body", [&] { return Middle(View()->BodyField()); }, {text}, false, "dropped\r\n", ""},
        {"body, text offered", [&] { return Middle(View()->BodyField()); }, {text}, true, "dropped\r\n", ""},
        {"subject", [&] { return Middle(View()->SubjectField()); }, {text}, true, "dropped\r\n", ""},
        // The combo's entry, left of its button.
        {"To", [&] { return to->GetScreenPosition() + wxPoint(20, to->GetSize().y / 2); }, {text}, true,
         "dropped\r\n", ""},
        {"CC", [&] { return Middle(View()->FindWindow(1011)); }, {text}, true, "dropped\r\n", ""},
        {"form", [&] { return EmptySpot(); }, {cp932}, false, "dropped\r\n", ""},
        // Two files: the first counts.
        {"subject, Japanese name", [&] { return Middle(View()->SubjectField()); }, {japanese, text}, true,
         "\x8A\xBF\x8E\x9A", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.where);
        View()->BodyField()->SetTextBytes("before");
        View()->SubjectField()->SetTextBytes(subject);
        to->SetValue("to@example.jp");
        Ctl<wxTextCtrl>(1011)->ChangeValue("cc@example.jp");
        Ctl<wxTextCtrl>(1016)->ChangeValue("bcc@example.jp");
        testenv::Pump();

        int rc = 0;
        std::vector<std::string> options;
        if (c.alsoText)
            options.push_back("--text");
        std::string said = Drag(c.files, c.at(), options, rc);
        EXPECT_EQ(rc, 0) << said;
        EXPECT_NE(said.find("action copy"), std::string::npos) << said;
        // The form takes the drop once the drag has ended.
        EXPECT_TRUE(WaitFor([&] {
            return View()->Body() == c.body && (c.attached.empty() || View()->AttachmentPath() == c.attached);
        })) << View()->Body();
        testenv::Pump();
        EXPECT_EQ(View()->Body(), c.body);
        EXPECT_EQ(View()->SubjectField()->GetTextBytes(), subject);
        EXPECT_EQ(to->GetValue(), "to@example.jp");
        EXPECT_EQ(Field(1011), "cc@example.jp");
        EXPECT_EQ(Field(1016), "bcc@example.jp");
        EXPECT_TRUE(ui->boxes.empty()) << ui->boxes.front().text;
        ui->boxes.clear();
    }
    testenv::Shot("real_drop");
}

} // namespace
