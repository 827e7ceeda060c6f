// The pictures of the compose form on real windows: what the preview shows
// (read back from the screen), attaching, the recipient and default
// pictures, removing the attachment in its three ways, the right-click
// menu and the registration dialog. Mail library and message boxes are
// fakes.
#include "app/main_frame.h"
#include "app/profile.h"
#include "app/tegamiya_app.h"
#include "bmp_writer.h"
#include "compose/picture_registration_dlg.h"
#include "compose/tegamiya_view.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "program_test.h"
#include "jpeg_writer.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <tuple>

namespace fs = std::filesystem;
using testenv::Sjis;

namespace {

constexpr unsigned kFormBoxStyle = MB_OK | MB_ICONERROR | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST;
constexpr int kPopupDelete = WxCommandId(32783);

struct Rgb {
    int r, g, b;
};

// A solid-colour BMP of w x h pixels.
std::string SolidBmp(Rgb c, int w = 1, int h = 1)
{
    bmptest::BmpFields s;
    s.width = w;
    s.height = h;
    s.rows.assign(static_cast<size_t>(h),
                  std::vector<uint32_t>(static_cast<size_t>(w), static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b)));
    std::vector<uint8_t> f = bmptest::WriteBmp(s);
    return std::string(f.begin(), f.end());
}

// A grey baseline JPEG of w x h pixels: every block 0, which decodes to 129.
std::string GreyJpeg(int w, int h)
{
    jlode_test::JpegLayout layout;
    layout.width = static_cast<uint16_t>(w);
    layout.height = static_cast<uint16_t>(h);
    std::vector<uint8_t> f = jlode_test::WriteJpeg(layout, [](int, int, int, int16_t out[64]) {
        std::memset(out, 0, 64 * sizeof(int16_t));
    });
    return std::string(f.begin(), f.end());
}

// The start of a progressive JPEG: jlode refuses its SOF2 marker.
std::string ProgressiveJpeg()
{
    return std::string("\xFF\xD8\xFF\xC2\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00\xFF\xD9", 17);
}

void Click(wxWindow *parent, int id)
{
    wxWindow *w = parent->FindWindow(id);
    ASSERT_NE(w, nullptr) << id;
    wxCommandEvent e(wxEVT_BUTTON, id);
    e.SetEventObject(w);
    w->GetEventHandler()->ProcessEvent(e);
}

class Pictures : public testenv::ProgramTest {
protected:
    int popups = 0;
    std::vector<std::string> popupItems;
    int popupAnswer = wxID_NONE;

    void SetUp() override
    {
        ProgramTest::SetUp();
        fs::create_directories(Folder());
        CTegamiyaView::PopupMenuHook() = [this](wxMenu &menu) {
            ++popups;
            popupItems.clear();
            for (wxMenuItem *item : menu.GetMenuItems())
                popupItems.push_back(std::to_string(item->GetId()) + " " + item->GetItemLabel().utf8_string());
            return popupAnswer;
        };
    }
    void TearDown() override
    {
        CTegamiyaView::PopupMenuHook() = nullptr;
        ProgramTest::TearDown();
    }
    void Start()
    {
        ASSERT_TRUE(app.InitInstance());
        testenv::Pump();
    }

    fs::path Folder() { return home.Documents() / "Tegamiya"; }
    std::string Put(const std::string &name, const std::string &data)
    {
        fs::path p = home.Path() / name;
        testenv::WriteFile(p, data);
        return p.string();
    }
    void Register(int i, const std::string &name, const std::string &path)
    {
        ProfileFile ini((Folder() / "Tegamiya.ini").string());
        ASSERT_TRUE(ini.WriteString("Picture ToName", "Name" + std::to_string(i), name));
        ASSERT_TRUE(ini.WriteString("Picture Files", "Name" + std::to_string(i), path));
    }
    std::string Ini(const char *section, const char *key)
    {
        return ProfileFile((Folder() / "Tegamiya.ini").string()).GetString(section, key, "<none>");
    }

    CTegamiyaView *View() { return app.MainFrame()->View(); }
    wxRadioButton *Radio(int id) { return dynamic_cast<wxRadioButton *>(View()->FindWindow(id)); }
    wxComboBox *To() { return dynamic_cast<wxComboBox *>(View()->FindWindow(1035)); }

    // What the preview shows on screen, once it has been painted anew.
    wxImage Screen()
    {
        wxWindow *area = View()->FindWindow(1030);
        int before = View()->Preview().DrawCount();
        area->Refresh();
        for (int i = 0; i < 300 && View()->Preview().DrawCount() == before; ++i) {
            testenv::Pump(1);
            wxMilliSleep(10);
        }
        EXPECT_GT(View()->Preview().DrawCount(), before) << "the preview was not painted";
        testenv::Pump();
        return testenv::Capture(area);
    }
    static bool Near(const wxImage &img, int x, int y, Rgb c, int tolerance = 6)
    {
        return std::abs(img.GetRed(x, y) - c.r) <= tolerance && std::abs(img.GetGreen(x, y) - c.g) <= tolerance &&
               std::abs(img.GetBlue(x, y) - c.b) <= tolerance;
    }
    static std::string At(const wxImage &img, int x, int y)
    {
        return std::to_string(img.GetRed(x, y)) + "," + std::to_string(img.GetGreen(x, y)) + "," +
               std::to_string(img.GetBlue(x, y)) + " at " + std::to_string(x) + "," + std::to_string(y);
    }
    bool DeleteEnabled()
    {
        wxUpdateUIEvent e(ID_DELETE_ATTACHMENT);
        View()->ProcessWindowEvent(e);
        return e.GetSetEnabled() && e.GetEnabled();
    }
    void RightClick(wxWindow *w)
    {
        wxMouseEvent e(wxEVT_RIGHT_DOWN);
        e.SetEventObject(w);
        w->GetEventHandler()->ProcessEvent(e);
    }
};

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGrey{129, 129, 129};
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

TEST_F(Pictures, JpegsAreFittedInABlackFrame)
{
    Start();
    ASSERT_EQ(View()->PictureRect(), wxRect(0, 0, 141, 133));
    // Wide: full width, 133 x 100 / 200 = 66 high, (133 - 66) / 2 = 33 down.
    ASSERT_TRUE(View()->AttachPicture(Put("wide.jpg", GreyJpeg(200, 100))));
    wxImage img = Screen();
    EXPECT_EQ(View()->Preview().PictureArea(), wxRect(0, 33, 141, 66));
    for (auto [x, y] : {std::pair{0, 0}, {70, 0}, {140, 0}, {0, 10}, {140, 10}, {70, 132}, {0, 132}, {140, 120}})
        EXPECT_TRUE(Near(img, x, y, kBlack)) << At(img, x, y);
    for (auto [x, y] : {std::pair{1, 1}, {70, 32}, {139, 32}, {70, 99}, {1, 131}})
        EXPECT_TRUE(Near(img, x, y, kWhite)) << At(img, x, y);
    // The picture covers the frame's sides where it lies.
    for (auto [x, y] : {std::pair{0, 33}, {70, 33}, {140, 60}, {70, 98}, {0, 98}})
        EXPECT_TRUE(Near(img, x, y, kGrey)) << At(img, x, y);

    // Tall: 141 x 100 / 200 = 70 wide at (141 - 70) / 2 = 35, full height.
    ASSERT_TRUE(View()->AttachPicture(Put("tall.JPG", GreyJpeg(100, 200))));
    img = Screen();
    EXPECT_EQ(View()->Preview().PictureArea(), wxRect(35, 0, 70, 133));
    for (auto [x, y] : {std::pair{35, 0}, {104, 0}, {70, 66}, {35, 132}, {104, 132}})
        EXPECT_TRUE(Near(img, x, y, kGrey)) << At(img, x, y);
    for (auto [x, y] : {std::pair{34, 1}, {105, 1}, {1, 66}, {139, 66}})
        EXPECT_TRUE(Near(img, x, y, kWhite)) << At(img, x, y);
    for (auto [x, y] : {std::pair{0, 66}, {140, 66}, {20, 0}, {120, 132}})
        EXPECT_TRUE(Near(img, x, y, kBlack)) << At(img, x, y);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, ScaledOncePerPictureNotPerPaint)
{
    Start();
    ASSERT_TRUE(View()->AttachPicture(Put("wide.jpg", GreyJpeg(64, 48))));
    Screen();
    int scaled = View()->Preview().ScaleCount();
    Screen();
    Screen();
    EXPECT_EQ(View()->Preview().ScaleCount(), scaled);
    ASSERT_TRUE(View()->ShowPictureFile(Put("other.jpg", GreyJpeg(48, 64))));
    Screen();
    EXPECT_EQ(View()->Preview().ScaleCount(), scaled + 1);
}

TEST_F(Pictures, BmpIsStretchedToTheWholeFrame)
{
    Start();
    // Four quadrants of 10 x 10: red, green / blue, white.
    bmptest::BmpFields s;
    s.width = 20;
    s.height = 20;
    for (uint32_t y = 0; y < 20; ++y) {
        s.rows.emplace_back();
        for (uint32_t x = 0; x < 20; ++x)
            s.rows.back().push_back(y < 10 ? (x < 10 ? 0xFF0000 : 0x00FF00) : (x < 10 ? 0x0000FF : 0xFFFFFF));
    }
    std::vector<uint8_t> f = bmptest::WriteBmp(s);
    ASSERT_TRUE(View()->ShowPictureFile(Put("four.bmp", std::string(f.begin(), f.end()))));
    EXPECT_EQ(View()->PictureKind(), CTegamiyaView::kPictureBmp);
    wxImage img = Screen();
    EXPECT_EQ(View()->Preview().PictureArea(), wxRect(0, 0, 141, 133));
    // No frame: the corners are the picture's.
    // The quadrants meet at the frame's middle: the picture takes the
    // frame's shape.
    for (auto [x, y, c] : {std::tuple{0, 0, kRed}, {60, 58, kRed}, {140, 0, kGreen}, {80, 58, kGreen},
                           {0, 132, kBlue}, {60, 74, kBlue}, {140, 132, kWhite}, {80, 74, kWhite}})
        EXPECT_TRUE(Near(img, x, y, c)) << At(img, x, y);
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, BrokenBmpsKeepThePictureShown)
{
    Start();
    ASSERT_TRUE(View()->ShowPictureFile(Put("red.bmp", SolidBmp(kRed))));
    std::string cut = SolidBmp(kGreen, 4, 4);
    cut.resize(cut.size() - 1);
    struct { std::string path; BoxKind kind; const char *text; } rows[] = {
        {(home.Path() / "missing.bmp").string(), BoxKind::Application, "MyPicture.bmp が見つかりません。"},
        {Put("png.bmp", "\x89PNG\r\n\x1a\n0000000000000000"), BoxKind::Plain, "画像ファイルが見つかりません。"},
        {Put("cut.BMP", cut), BoxKind::Plain, "画像ファイルを読むことができません。"},
        {Put("rle.bmp", SolidBmp(kGreen).replace(30, 1, "\x01")), BoxKind::Plain, "画像ファイルを読むことができません。"},
    };
    for (const auto &r : rows) {
        ui->boxes.clear();
        EXPECT_FALSE(View()->ShowPictureFile(r.path)) << r.path;
        ASSERT_EQ(ui->boxes.size(), 1u) << r.path;
        EXPECT_EQ(ui->boxes[0].kind, r.kind) << r.path;
        EXPECT_EQ(ui->boxes[0].text, Sjis(r.text)) << r.path;
        EXPECT_EQ(ui->boxes[0].style, MB_OK) << r.path;
        EXPECT_EQ(ui->boxes[0].owner, r.kind == BoxKind::Application ? static_cast<void *>(View()) : nullptr);
        wxImage img = Screen();
        EXPECT_TRUE(Near(img, 70, 66, kRed)) << r.path << " " << At(img, 70, 66);
    }
}

TEST_F(Pictures, RecipientPicturesFirstEntryWins)
{
    std::string red = Put("red.bmp", SolidBmp(kRed)), green = Put("green.bmp", SolidBmp(kGreen));
    std::string yellow = Put("yellow.bmp", SolidBmp({255, 255, 0}));
    Register(1, "a@docomo.ne.jp", red);
    Register(2, "b@docomo.ne.jp", "");
    Register(3, "b@docomo.ne.jp", green);
    Register(4, "a@docomo.ne.jp", green);
    Register(5, "c@docomo.ne.jp", green);
    testenv::WriteFile(Folder() / "MyPicture.bmp", SolidBmp(kBlue));
    Start();
    wxImage img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kBlue)) << "the default picture at start " << At(img, 70, 66);
    struct { const char *to; Rgb colour; } rows[] = {
        {"a@docomo.ne.jp", kRed},   // entry 1, not entry 4
        {"b@docomo.ne.jp", kBlue},  // entry 2 has no path: the default picture
        {"c@docomo.ne.jp", kGreen}, {"A@docomo.ne.jp", kBlue}, {"x@docomo.ne.jp", kBlue},
    };
    for (const auto &r : rows) {
        View()->ShowPictureFile(yellow); // something else first
        View()->ShowRecipientPicture(r.to);
        img = Screen();
        EXPECT_TRUE(Near(img, 70, 66, r.colour)) << r.to << " " << At(img, 70, 66);
    }
    // Choosing a recipient in the To box shows its picture and checks the
    // recipient's radio button.
    To()->Append("a@docomo.ne.jp");
    To()->SetSelection(To()->GetCount() - 1);
    wxCommandEvent ev(wxEVT_COMBOBOX, 1035);
    ev.SetEventObject(To());
    To()->ProcessWindowEvent(ev);
    img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kRed)) << At(img, 70, 66);
    EXPECT_TRUE(Radio(1055)->GetValue());
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, DefaultPictureJpegThenBmpThenNeither)
{
    testenv::WriteFile(Folder() / "MyPicture.jpg", GreyJpeg(64, 32));
    testenv::WriteFile(Folder() / "MyPicture.bmp", SolidBmp(kBlue));
    Start();
    EXPECT_EQ(View()->PictureKind(), CTegamiyaView::kPictureJpeg);
    wxImage img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kGrey)) << At(img, 70, 66);
    EXPECT_TRUE(Near(img, 0, 0, kBlack)) << At(img, 0, 0);

    fs::remove(Folder() / "MyPicture.jpg");
    View()->ShowDefaultPicture();
    EXPECT_EQ(View()->PictureKind(), CTegamiyaView::kPictureBmp);
    img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kBlue)) << At(img, 70, 66);

    // With neither the picture stays.
    fs::remove(Folder() / "MyPicture.bmp");
    View()->ShowDefaultPicture();
    img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kBlue)) << At(img, 70, 66);
    EXPECT_TRUE(ui->boxes.empty());
}

// ".jpeg" and ".JPEG" used to be attached while the preview, with a rule of
// its own, said it could not read them and kept the previous picture.
TEST_F(Pictures, JpegExtensionIsAttachedAndShown)
{
    Start();
    for (const char *name : {"photo.jpeg", "photo.JPEG"}) {
        ASSERT_TRUE(View()->ShowPictureFile(Put("red.bmp", SolidBmp(kRed))));
        ASSERT_TRUE(testenv::WaitFor([&] { return Near(Screen(), 70, 66, kRed); })) << name;
        std::string photo = Put(name, GreyJpeg(16, 16));
        View()->OnDropFiles({photo});
        EXPECT_TRUE(ui->boxes.empty()) << name;
        EXPECT_EQ(View()->AttachmentPath(), photo);
        EXPECT_TRUE(Radio(1056)->IsEnabled());
        EXPECT_TRUE(Radio(1056)->GetValue());
        wxImage img = Screen();
        EXPECT_TRUE(Near(img, 70, 66, kGrey)) << name << " " << At(img, 70, 66);
    }
}

TEST_F(Pictures, ProgressiveJpegStaysAttached)
{
    Start();
    ASSERT_FALSE(Radio(1056)->IsEnabled());
    EXPECT_FALSE(DeleteEnabled());
    std::string photo = Put("progressive.jpg", ProgressiveJpeg());
    EXPECT_FALSE(View()->AttachPicture(photo));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Form);
    EXPECT_EQ(ui->boxes[0].text, Sjis("このJPGファイルは読み込みができません。"));
    EXPECT_EQ(ui->boxes[0].style, kFormBoxStyle);
    EXPECT_EQ(View()->AttachmentPath(), photo);
    EXPECT_FALSE(Radio(1056)->IsEnabled());
    EXPECT_TRUE(DeleteEnabled());
    // A JPEG path that does not exist fails without a message.
    ui->boxes.clear();
    EXPECT_FALSE(View()->AttachPicture((home.Path() / "none.jpg").string()));
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, LongAttachmentPathIsKeptWhole)
{
    Start();
    fs::path dir = home.Path() / std::string(120, 'd') / std::string(120, 'e');
    fs::create_directories(dir);
    std::string path = (dir / (std::string(60, 'f') + ".jpg")).string();
    ASSERT_GT(path.size(), 300u);
    testenv::WriteFile(path, GreyJpeg(8, 8));
    EXPECT_TRUE(View()->AttachPicture(path));
    EXPECT_EQ(View()->AttachmentPath(), path);
}

TEST_F(Pictures, DeleteAttachmentThreeWays)
{
    std::string red = Put("red.bmp", SolidBmp(kRed));
    Register(1, "a@docomo.ne.jp", red);
    Start();
    To()->SetValue("a@docomo.ne.jp");
    std::string photo = Put("photo.jpg", GreyJpeg(32, 32));
    enum Way { Button, MenuCommand, RightClickMenu };
    for (Way way : {Button, MenuCommand, RightClickMenu}) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(View()->AttachPicture(photo));
        EXPECT_TRUE(Radio(1056)->GetValue());
        EXPECT_TRUE(DeleteEnabled());
        switch (way) {
        case Button:
            Click(View(), 1059);
            break;
        case MenuCommand: {
            wxCommandEvent ev(wxEVT_MENU, ID_DELETE_ATTACHMENT);
            app.MainFrame()->ProcessWindowEvent(ev);
            break;
        }
        case RightClickMenu:
            popupAnswer = kPopupDelete;
            RightClick(View());
            popupAnswer = wxID_NONE;
            break;
        }
        EXPECT_EQ(View()->AttachmentPath(), "");
        EXPECT_FALSE(Radio(1056)->IsEnabled());
        EXPECT_TRUE(Radio(1055)->GetValue());
        EXPECT_FALSE(DeleteEnabled());
        // The recipient's picture is shown again.
        wxImage img = Screen();
        EXPECT_TRUE(Near(img, 70, 66, kRed)) << At(img, 70, 66);
    }
    // No recipient and no default picture: the frame is emptied, not left
    // showing the picture that no longer goes with the mail.
    To()->SetValue("");
    ASSERT_TRUE(View()->AttachPicture(photo));
    EXPECT_FALSE(View()->Preview().IsEmpty());
    Click(View(), 1059);
    EXPECT_TRUE(View()->Preview().IsEmpty());
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, RightClickMenuOnlyWithAnAttachment)
{
    Start();
    RightClick(View());
    RightClick(View()->FindWindow(1030));
    EXPECT_EQ(popups, 0);
    ASSERT_TRUE(View()->AttachPicture(Put("photo.jpg", GreyJpeg(8, 8))));
    RightClick(View());
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(popupItems, (std::vector<std::string>{std::to_string(kPopupDelete) + " 添付画像を削除(&D)"}));
    RightClick(View()->FindWindow(1030));
    EXPECT_EQ(popups, 2);
    // Dismissing the menu keeps the attachment.
    EXPECT_FALSE(View()->AttachmentPath().empty());
}

TEST_F(Pictures, RadioButtonsSwitchBetweenRecipientAndAttachment)
{
    Register(1, "a@docomo.ne.jp", Put("red.bmp", SolidBmp(kRed)));
    Start();
    To()->SetValue("a@docomo.ne.jp");
    ASSERT_TRUE(View()->AttachPicture(Put("green.bmp", SolidBmp(kGreen))));
    auto choose = [&](int id) {
        Radio(id)->SetValue(true);
        wxCommandEvent ev(wxEVT_RADIOBUTTON, id);
        ev.SetEventObject(Radio(id));
        Radio(id)->ProcessWindowEvent(ev);
    };
    choose(1055);
    wxImage img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kRed)) << At(img, 70, 66);
    choose(1056);
    img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kGreen)) << At(img, 70, 66);
}

// ------------------------------------------------------------ registration

wxTextCtrl *Edit(wxDialog *d, int id) { return dynamic_cast<wxTextCtrl *>(d->FindWindow(id)); }

TEST_F(Pictures, RegistrationDialogFillsBrowsesAndWritesTenKeys)
{
    std::string longPath = "/" + std::string(150, 'p') + "/x.jpg";
    Register(2, "b@docomo.ne.jp", longPath);
    Register(5, Sjis("山田"), Sjis("/写真/山田.bmp"));
    std::string green = Put("green.bmp", SolidBmp(kGreen));
    Start();
    To()->Append("c@docomo.ne.jp");
    To()->SetSelection(To()->GetCount() - 1);

    mapi.addressResult = 0;
    mapi.addressAnswer = {{MAPI_TO, Sjis("鈴木"), "suzuki@ezweb.ne.jp"}};
    ui->files.push_back(green);
    std::vector<std::string> seen;
    ULONG_PTR owner = 0;
    bool ownerIsWindow = false;
    testenv::DialogScript script([&](wxDialog *d) {
        owner = reinterpret_cast<ULONG_PTR>(d->GetHandle());
        ownerIsWindow = GTK_IS_WINDOW(d->GetHandle());
        // The registered values, whole.
        for (int id : {1041, 1042, 1045, 1046, 1061, 1062})
            seen.push_back(Edit(d, id)->GetValue().utf8_string());
        Edit(d, 1049)->SetValue("c@docomo.ne.jp");   // typed
        Click(d, 1048);                              // browse in row 3
        Click(d, 1039);                              // address book in row 1
        Click(d, 1);
    });
    wxCommandEvent ev(wxEVT_MENU, ID_SETUP_PICTURES);
    app.MainFrame()->ProcessWindowEvent(ev);
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(script.title.utf8_string(), "画像ファイルの登録/変更");
    EXPECT_EQ(seen, (std::vector<std::string>{"", "", "b@docomo.ne.jp", longPath, "山田", "/写真/山田.bmp"}));

    ASSERT_EQ(ui->fileRequests.size(), 1u);
    EXPECT_EQ(ui->fileRequests[0].title, Sjis("画像ファイルのパスを設定します。"));
    EXPECT_EQ(ui->fileRequests[0].wildcard, Sjis("画像ファイル(*.jpg;*bmp)|*.jpg;*.bmp"));
    EXPECT_FALSE(ui->fileRequests[0].save);
    ASSERT_EQ(mapi.addressCalls.size(), 1u);
    EXPECT_EQ(mapi.addressCalls[0].caption, Sjis("アドレス帳"));
    EXPECT_EQ(mapi.addressCalls[0].editFields, 1u);
    // Its owner as the library takes it: the dialog's GtkWindow.
    EXPECT_TRUE(ownerIsWindow);
    EXPECT_EQ(mapi.addressCalls[0].uiParam, owner);
    EXPECT_TRUE(mapi.outstanding.empty()); // the answer was freed
    EXPECT_EQ(mapi.badFrees, 0);

    // All ten keys, empty ones too, the long path whole.
    EXPECT_EQ(Ini("Picture ToName", "Name1"), Sjis("鈴木"));
    EXPECT_EQ(Ini("Picture Files", "Name1"), "");
    EXPECT_EQ(Ini("Picture ToName", "Name2"), "b@docomo.ne.jp");
    EXPECT_EQ(Ini("Picture Files", "Name2"), longPath);
    EXPECT_EQ(Ini("Picture ToName", "Name3"), "c@docomo.ne.jp");
    EXPECT_EQ(Ini("Picture Files", "Name3"), green);
    EXPECT_EQ(Ini("Picture ToName", "Name4"), "");
    EXPECT_EQ(Ini("Picture Files", "Name4"), "");
    EXPECT_EQ(Ini("Picture ToName", "Name5"), Sjis("山田"));
    EXPECT_EQ(Ini("Picture Files", "Name5"), Sjis("/写真/山田.bmp"));
    // The selected recipient's picture is shown at once.
    wxImage img = Screen();
    EXPECT_TRUE(Near(img, 70, 66, kGreen)) << At(img, 70, 66);
    EXPECT_TRUE(Radio(1055)->GetValue());
    EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(Pictures, RegistrationAddressBookAnswersAndCancel)
{
    Register(1, "keep@docomo.ne.jp", "/keep.jpg");
    Start();
    std::string before = testenv::ReadFile(Folder() / "Tegamiya.ini");
    std::vector<std::string> names;
    testenv::DialogScript script([&](wxDialog *d) {
        auto row1 = [&] { return Edit(d, 1041)->GetValue().utf8_string(); };
        Edit(d, 1045)->SetValue("typed");
        mapi.addressResult = MAPI_USER_ABORT;             // cancelled: nothing
        Click(d, 1039);
        names.push_back(row1());
        mapi.addressResult = 2;                           // failure: message
        Click(d, 1039);
        names.push_back(row1());
        mapi.addressResult = 0;                           // none chosen
        mapi.addressAnswer.clear();
        Click(d, 1039);
        names.push_back(row1());
        mapi.addressAnswer = {{MAPI_CC, "cc", "cc@x"}};   // not a To: empty
        Click(d, 1039);
        names.push_back(row1());
        // A pick leaves what was typed in other rows.
        names.push_back(Edit(d, 1045)->GetValue().utf8_string());
        ui->files.clear();                                // browse cancelled
        Click(d, 1044);
        names.push_back(Edit(d, 1046)->GetValue().utf8_string());
        Click(d, 2);
    });
    wxCommandEvent ev(wxEVT_MENU, ID_SETUP_PICTURES);
    app.MainFrame()->ProcessWindowEvent(ev);
    EXPECT_EQ(names, (std::vector<std::string>{"keep@docomo.ne.jp", "keep@docomo.ne.jp", "keep@docomo.ne.jp", "",
                                               "typed", ""}));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Form);
    EXPECT_EQ(ui->boxes[0].text, Sjis("アドレス帳にアクセスできません。"));
    EXPECT_EQ(ui->boxes[0].style, kFormBoxStyle);
    EXPECT_TRUE(mapi.outstanding.empty());
    // Cancel writes nothing.
    EXPECT_EQ(testenv::ReadFile(Folder() / "Tegamiya.ini"), before);
}

} // namespace

namespace {

// The ten keys were written one rewrite each: a write failing part-way left
// a recipient with another row's picture. Now a failed write leaves the old
// keys whole and the next one stores the new keys whole.
int g_flushes = 0, g_failingFlush = 0;
int NthFileFlushFails(int fd)
{
    struct stat st;
    if (fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode) && ++g_flushes == g_failingFlush) {
        errno = EIO;
        return -1;
    }
    return fsync(fd);
}

TEST_F(Pictures, RegistrationWritesItsTenKeysAsOne)
{
    Register(1, "old1", "/old1.jpg");
    Register(2, "old2", "/old2.jpg");
    Start();
    std::string before = testenv::ReadFile(Folder() / "Tegamiya.ini");
    std::vector<bool> unchanged;
    auto saved = profile_testing::SetFsync(NthFileFlushFails);
    testenv::DialogScript script([&](wxDialog *d) {
        Edit(d, 1041)->SetValue("new1");
        Edit(d, 1045)->SetValue("new2");
        // The first flush fails, then the second: written key by key, the
        // first key got through.
        for (int failing : {1, 2}) {
            g_flushes = 0;
            g_failingFlush = failing;
            Click(d, 1);
            unchanged.push_back(testenv::ReadFile(Folder() / "Tegamiya.ini") == before);
            if (!d->IsModal())
                break;
        }
        if (d->IsModal())
            Click(d, 2);
    });
    wxCommandEvent ev(wxEVT_MENU, ID_SETUP_PICTURES);
    app.MainFrame()->ProcessWindowEvent(ev);
    profile_testing::SetFsync(saved);
    EXPECT_EQ(unchanged, (std::vector<bool>{true, false}));
    EXPECT_EQ(Ini("Picture ToName", "Name1"), "new1");
    EXPECT_EQ(Ini("Picture ToName", "Name2"), "new2");
    EXPECT_EQ(ui->boxes[0].text, Sjis("設定値を保存できません。"));
}

TEST_F(Pictures, RegistrationRefusesTextTheSettingsFileCannotHold)
{
    Register(1, "keep@docomo.ne.jp", "/keep.jpg");
    Start();
    std::string before = testenv::ReadFile(Folder() / "Tegamiya.ini");
    int boxesAfterOk = -1;
    bool stillOpen = false;
    testenv::DialogScript script([&](wxDialog *d) {
        // "é" has no CP932 code: the path would be stored as another name.
        dynamic_cast<wxTextCtrl *>(d->FindWindow(1046))->SetValue(wxString::FromUTF8("/photos/caf\xC3\xA9.jpg"));
        Click(d, 1);
        boxesAfterOk = static_cast<int>(ui->boxes.size());
        stillOpen = d->IsModal();
        dynamic_cast<wxTextCtrl *>(d->FindWindow(1046))->SetValue("");
        dynamic_cast<wxTextCtrl *>(d->FindWindow(1049))->SetValue(wxString::FromUTF8("\xF0\x9F\x98\x80"));
        Click(d, 1);
        Click(d, 2);
    });
    wxCommandEvent ev(wxEVT_MENU, ID_SETUP_PICTURES);
    app.MainFrame()->ProcessWindowEvent(ev);
    EXPECT_EQ(boxesAfterOk, 1);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(ui->boxes.size(), 2u);
    for (const auto &box : ui->boxes) {
        EXPECT_EQ(box.kind, BoxKind::Form);
        EXPECT_EQ(box.text, Sjis("設定値を保存できません。"));
        EXPECT_EQ(box.style, kFormBoxStyle);
    }
    EXPECT_EQ(testenv::ReadFile(Folder() / "Tegamiya.ini"), before);
}

} // namespace
