// The form's settings on real windows: the display width written once its
// up-down control settles, and text pasted into the subject.
#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"
#include "compose/up_down.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/clipbrd.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;
using testenv::Sjis;

namespace {

using testenv::WaitFor;

class FormSettings : public testenv::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(app.InitInstance());
        testenv::Pump();
    }

    CTegamiyaView *View() { return app.MainFrame()->View(); }
    fs::path IniPath() { return home.Documents() / "Tegamiya/Tegamiya.ini"; }
    std::string StoredWidth()
    {
        return ProfileFile(IniPath().string()).GetString("Default", "Display Width", "<none>");
    }
    // Every write replaces the file: its inode tells whether one happened.
    ino_t Inode()
    {
        struct stat st {};
        stat(IniPath().c_str(), &st);
        return st.st_ino;
    }
};

TEST_F(FormSettings, HoldingTheWidthArrowWritesOnceItIsLetGo)
{
    CUpDownCtrl *spin = View()->WidthSpin();
    ASSERT_TRUE(spin);
    int start = spin->GetValue();
    ASSERT_EQ(StoredWidth(), std::to_string(start));
    ino_t before = Inode();

    spin->Press(+1);
    EXPECT_TRUE(spin->IsHeld());
    // The arrow repeats on its own while held; the body follows each step.
    ASSERT_TRUE(WaitFor([&] { return spin->GetValue() >= start + 4; })) << spin->GetValue();
    int widthWhileHeld = View()->BodyField()->GetSize().x;
    EXPECT_EQ(Inode(), before); // not one write meanwhile
    EXPECT_EQ(StoredWidth(), std::to_string(start));
    spin->Release();
    EXPECT_FALSE(spin->IsHeld());
    int settled = spin->GetValue();
    EXPECT_EQ(StoredWidth(), std::to_string(settled));
    EXPECT_GE(View()->BodyField()->GetSize().x, widthWhileHeld);

    // A single step by itself (a click's press and release) is written too.
    ino_t afterHold = Inode();
    spin->Press(-1);
    spin->Release();
    EXPECT_EQ(StoredWidth(), std::to_string(settled - 1));
    EXPECT_NE(Inode(), afterHold);
    // A press at the end of the range changes nothing and writes nothing.
    spin->SetValue(spin->GetMax());
    ino_t atEnd = Inode();
    spin->Press(+1);
    spin->Release();
    EXPECT_EQ(Inode(), atEnd);
}

TEST_F(FormSettings, ASubjectPastedFromCrLfTextKeepsNoCr)
{
    CSubjectEdit *subject = View()->SubjectField();
    for (const char *pasted : {"\xE4\xBB\xB6\xE5\x90\x8D\r\nsecond line", "first\r\n", "\r\nafter",
                               "lone\rcr", "lf\nonly"}) {
        subject->SetTextBytes("");
        ASSERT_TRUE(wxTheClipboard->Open());
        wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(pasted)));
        wxTheClipboard->Close();
        subject->SetFocus();
        subject->Paste();
        testenv::Pump();
        std::string text = subject->GetTextBytes();
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << pasted;
        std::string first(pasted, std::string_view(pasted).find_first_of("\r\n"));
        EXPECT_EQ(text, Sjis(first)) << pasted;
    }
}

} // namespace
