// Start-up, main window and shutdown of the program on real windows, with
// the fake mail library and every message box scripted.
#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/tegamiya_app.h"
#include "app/ui_seam.h"
#include "app/window_placement.h"
#include "compose/tegamiya_view.h"
#include "fake_mapi_control.h"
#include "gui_util.h"
#include "mapi/mapi_binding.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/toolbar.h>
#include <wx/button.h>

#include <filesystem>

void InstallWxUi();  // app/wx_ui.h (whose Sjis would clash with the tests' own)

namespace fs = std::filesystem;
using testenv::Sjis;

namespace {

std::string Utf8(const wxString &s) { return std::string(s.utf8_str()); }

class Startup : public ::testing::Test {
protected:
    testenv::TempHome home;
    testenv::ScriptUi ui;
    FakeMapiState &mapi = testenv::UseFakeMapi();
    CTegamiyaApp &app = *TheApp();
    wxWindowID frameId = wxID_NONE;

    void SetUp() override { g_bClosing = false; }
    void TearDown() override
    {
        // Close whatever a test left open, accepting the log-off.
        mapi.logoffResults.clear();
        for (wxWindow *w : wxTopLevelWindows)
            w->Destroy();
        testenv::Pump();
        ReleaseMapi();
        unsetenv("TEGAMIYA_MAPI_LIBRARY");
    }

    CMainFrame *Frame() { return app.MainFrame(); }
    bool FrameAlive()
    {
        for (wxWindow *w : wxTopLevelWindows)
            if (dynamic_cast<CMainFrame *>(w) && !w->IsBeingDeleted())
                return true;
        return false;
    }
    fs::path RegistryProfile() { return home.Config() / "Zelko/Tegamiya.ini"; }
};

TEST_F(Startup, StartsShowsTheWindowAndLogsOnWithFlags3)
{
    ASSERT_TRUE(app.InitInstance());
    CMainFrame *frame = Frame();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_EQ(Utf8(frame->GetTitle()), "Tegamiya");
    EXPECT_EQ(mapi.logonCalls, 1);
    EXPECT_EQ(mapi.lastLogonFlags, 3u);
    EXPECT_EQ(g_mapi.session, mapi.session);
    EXPECT_TRUE(ui->boxes.empty());
    // No maximise box; sizable with a minimise box.
    long style = frame->GetWindowStyleFlag();
    EXPECT_FALSE(style & wxMAXIMIZE_BOX);
    EXPECT_TRUE(style & wxMINIMIZE_BOX);
    EXPECT_TRUE(style & wxRESIZE_BORDER);
    EXPECT_EQ(frame->GetStatusBar(), nullptr);
    // The settings folder was made on this fresh account.
    EXPECT_TRUE(fs::is_directory(home.Documents() / "Tegamiya"));
    EXPECT_EQ(g_strIniPath, (home.Documents() / "Tegamiya/Tegamiya.ini").string());
    // The frame fits the form.
    EXPECT_EQ(frame->GetClientSize().GetWidth(), frame->View()->GetFormSize().GetWidth());
}

TEST_F(Startup, MenuCarriesEveryItemWithItsExactText)
{
    ASSERT_TRUE(app.InitInstance());
    wxMenuBar *bar = Frame()->GetMenuBar();
    ASSERT_TRUE(bar);
    ASSERT_EQ(bar->GetMenuCount(), 4u);
    EXPECT_EQ(Utf8(bar->GetMenuLabel(0)), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(Utf8(bar->GetMenuLabel(1)), "編集(&E)");
    EXPECT_EQ(Utf8(bar->GetMenuLabel(2)), "設定(&S)");
    EXPECT_EQ(Utf8(bar->GetMenuLabel(3)), "ﾍﾙﾌﾟ(&H)");
    // Items in order; 0 stands for a separator.
    const std::vector<std::vector<std::pair<int, const char *>>> expected = {
        {{1001, "メールの送信(&S)"}, {0, ""}, {WxCommandId(57665), "Tegamiyaの終了(&X)"}},
        {{WxCommandId(57642), "すべて選択(L&)\tCtrl+A"}, {0, ""}, {WxCommandId(57635), "切り取り(&T)\tCtrl+X"},
         {WxCommandId(57634), "コピー(&C)\tCtrl+C"}, {WxCommandId(57637), "貼り付け(&P)\tCtrl+V"}, {0, ""},
         {WxCommandId(32776), "空白, タブ, 改行を削除(&D)\tCtrl+D"}, {0, ""}, {WxCommandId(57643), "元に戻す(&U)\tCtrl+Z"},
         {0, ""}, {WxCommandId(32784), "添付ファイルを削除（&R)\tCtrl+R"}},
        {{WxCommandId(32785), "送信後にTegamiyaを終了する(&C)"}, {0, ""}, {WxCommandId(32780), "宛先履歴の削除(&D)..."}, {0, ""},
         {WxCommandId(32778), "画像ファイルの登録/変更(&P)..."}, {WxCommandId(32779), "外部ツールの登録/変更(&T)..."}},
        {{WxCommandId(32771), "目次(&H)..."}, {0, ""}, {WxCommandId(57664), "バージョン(&A)..."}, {0, ""}, {WxCommandId(32787), "Zelko Webサイト(&W)"}},
    };
    for (size_t m = 0; m < expected.size(); ++m) {
        wxMenu *menu = bar->GetMenu(m);
        ASSERT_EQ(menu->GetMenuItemCount(), expected[m].size()) << "menu " << m;
        for (size_t i = 0; i < expected[m].size(); ++i) {
            wxMenuItem *item = menu->FindItemByPosition(i);
            if (expected[m][i].first == 0) {
                EXPECT_TRUE(item->IsSeparator()) << m << "/" << i;
                continue;
            }
            EXPECT_EQ(item->GetId(), expected[m][i].first);
            EXPECT_EQ(Utf8(item->GetItemLabel()), expected[m][i].second);
        }
    }
    EXPECT_TRUE(bar->FindItem(ID_CLOSE_ON_SEND)->IsCheckable());
}

TEST_F(Startup, ToolbarAndCommandsWithoutHandlersShowDisabled)
{
    ASSERT_TRUE(app.InitInstance());
    wxToolBar *tb = Frame()->GetToolBar();
    ASSERT_TRUE(tb);
    EXPECT_EQ(tb->GetId(), ID_TOOLBAR);
    EXPECT_EQ(tb->GetToolBitmapSize(), wxSize(23, 18));
    const std::pair<int, const char *> tools[] = {
        {WxCommandId(57635), "切り取り"}, {WxCommandId(57634), "ｺﾋﾟｰ"}, {WxCommandId(57637), "貼り付け"}, {-1, ""}, {WxCommandId(57664), "ﾊﾞｰｼﾞｮﾝ情報"}};
    ASSERT_EQ(tb->GetToolsCount(), std::size(tools));
    for (size_t i = 0; i < std::size(tools); ++i) {
        const wxToolBarToolBase *t = tb->GetToolByPos(static_cast<int>(i));
        if (tools[i].first < 0) {
            EXPECT_TRUE(t->IsSeparator());
            continue;
        }
        EXPECT_EQ(t->GetId(), tools[i].first);
        EXPECT_EQ(Utf8(t->GetShortHelp()), tools[i].second);
    }
    Frame()->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    wxMenuBar *bar = Frame()->GetMenuBar();
    for (size_t m = 0; m < bar->GetMenuCount(); ++m)
        bar->GetMenu(m)->UpdateUI(Frame());
    EXPECT_TRUE(bar->IsEnabled(ID_APP_ABOUT));
    EXPECT_TRUE(bar->IsEnabled(ID_APP_EXIT));
    EXPECT_TRUE(bar->IsEnabled(ID_HELP_CONTENTS));
    EXPECT_TRUE(tb->GetToolEnabled(ID_APP_ABOUT));
    for (int id : {ID_SEND_MAIL, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_SETUP_TOOLS}) {
        if (!HasCommandHandler(id)) {
            EXPECT_FALSE(bar->IsEnabled(id)) << id;
        }
    }
    if (!HasCommandHandler(ID_EDIT_CUT)) {
        EXPECT_FALSE(tb->GetToolEnabled(ID_EDIT_CUT));
    }
}

TEST_F(Startup, MissingLibraryEndsTheProgramWithItsMessage)
{
    setenv("TEGAMIYA_MAPI_LIBRARY", "/nonexistent/libmapi32.so", 1);
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "LoadLibrary error.");
    EXPECT_EQ(ui->boxes[0].caption, "Tegamiya");
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Plain);
    EXPECT_EQ(ui->boxes[0].owner, nullptr);
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OK));
    testenv::Pump();
    EXPECT_FALSE(FrameAlive());
    EXPECT_EQ(mapi.logonCalls, 0);
}

TEST_F(Startup, MissingEntryPointEndsTheProgramWithItsMessage)
{
    testenv::UseFakeMapi(FAKE_MAPI_INCOMPLETE_PATH);
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "GetProcAddress error.");
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OK));
    testenv::Pump();
    EXPECT_FALSE(FrameAlive());
}

TEST_F(Startup, RefusedLogonEndsTheProgramWithTheJapaneseMessage)
{
    mapi.logonResult = MAPI_E_LOGIN_FAILURE;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(mapi.logonCalls, 1);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text,
              "\x83\x81\x81\x5B\x83\x8B\x83\x56\x83\x58\x83\x65\x83\x80\x82\xD6\x82\xCC\x83\x8D\x83\x4F"
              "\x83\x49\x83\x93\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\n"
                  + Sjis("メールアカウントの設定が正しく行われているか確認してください。"));
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Plain);
    testenv::Pump();
    EXPECT_FALSE(FrameAlive());
    EXPECT_EQ(g_mapi.library, nullptr);
}

TEST_F(Startup, RefusedLogoffKeepsTheWindowOpenAndASecondCloseRetries)
{
    ASSERT_TRUE(app.InitInstance());
    CMainFrame *frame = Frame();
    mapi.logoffResults = {MAPI_E_FAILURE};
    frame->Close();
    testenv::Pump();
    ASSERT_TRUE(FrameAlive());
    EXPECT_TRUE(g_bClosing);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, "MAPILogoff error.");
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Plain);
    EXPECT_NE(g_mapi.library, nullptr); // still bound and logged on
    EXPECT_FALSE(fs::exists(RegistryProfile()));

    frame->Close();
    testenv::Pump();
    EXPECT_FALSE(FrameAlive());
    EXPECT_EQ(mapi.logoffCalls, 2);
    EXPECT_EQ(mapi.session, 0u);
    EXPECT_EQ(g_mapi.library, nullptr); // released
    EXPECT_EQ(ui->boxes.size(), 1u);
}

TEST_F(Startup, ExitCommandGoesThroughTheCloseHandler)
{
    ASSERT_TRUE(app.InitInstance());
    wxCommandEvent exit(wxEVT_MENU, ID_APP_EXIT);
    Frame()->ProcessWindowEvent(exit);
    testenv::Pump();
    EXPECT_FALSE(FrameAlive());
    EXPECT_EQ(mapi.logoffCalls, 1);
}

TEST_F(Startup, PlacementIsStoredAtCloseAndItsPositionRestoredWithTheFormsSize)
{
    ASSERT_TRUE(app.InitInstance());
    wxSize fitted = Frame()->GetSize();
    Frame()->Close();
    testenv::Pump();
    std::string stored = testenv::ReadFile(RegistryProfile());
    ASSERT_NE(stored.find("[Settings]\r\nTegamiyaPos="), std::string::npos) << stored;
    auto wp = ParsePlacement(stored.substr(stored.find('=') + 1));
    ASSERT_TRUE(wp);
    EXPECT_EQ(wp->flags, 0);

    // A stored size far from the form's, shown maximised: the position
    // holds, the size follows the form, the show state is the program's.
    ProfileFile(RegistryProfile().string()).WriteString("Settings", "TegamiyaPos",
                                                        "0:3:-1:-1:-1:-1:120:90:1020:990");
    ASSERT_TRUE(app.InitInstance());
    testenv::Pump();
    EXPECT_EQ(Frame()->GetPosition(), wxPoint(120, 90));
    EXPECT_EQ(Frame()->GetSize(), fitted);
    EXPECT_FALSE(Frame()->IsMaximized());
}

TEST_F(Startup, APlacementOfFewerThanTenNumbersIsIgnored)
{
    ProfileFile(RegistryProfile().string(), true).WriteString("Settings", "TegamiyaPos",
                                                              "0:1:-1:-1:-1:-1:333:x:900:700");
    ASSERT_TRUE(app.InitInstance());
    EXPECT_NE(Frame()->GetPosition().x, 333);
}

TEST_F(Startup, ACorruptStoredSizeIsIgnored)
{
    // right − left and bottom − top overflow an int: the size is ignored,
    // the position holds, and the placement stored at close is sound.
    ASSERT_TRUE(app.InitInstance());
    wxSize fitted = Frame()->GetSize();
    Frame()->Close();
    testenv::Pump();
    for (const char *stored : {"0:1:-1:-1:-1:-1:-100:50:2147483647:2147483000",
                               "0:1:-1:-1:-1:-1:150:-2147483648:100:2147483647"}) {
        ProfileFile(RegistryProfile().string()).WriteString("Settings", "TegamiyaPos", stored);
        ASSERT_TRUE(app.InitInstance()) << stored;
        testenv::Pump();
        EXPECT_EQ(Frame()->GetSize(), fitted) << stored;
        Frame()->Close();
        testenv::Pump();
        std::string text = ProfileFile(RegistryProfile().string()).GetString("Settings", "TegamiyaPos", "");
        auto wp = ParsePlacement(text);
        ASSERT_TRUE(wp) << text;
        EXPECT_EQ(wp->right - wp->left, fitted.x) << text;
    }
}

TEST_F(Startup, AboutBoxShowsItsTexts)
{
    ASSERT_TRUE(app.InitInstance());
    struct Hook : wxModalDialogHook {
        std::string title;
        std::vector<std::string> texts;
        bool okIsId1 = false;
        int Enter(wxDialog *dlg) override
        {
            title = Utf8(dlg->GetTitle());
            for (wxWindow *c : dlg->GetChildren()) {
                if (auto *t = dynamic_cast<wxStaticText *>(c))
                    texts.push_back(Utf8(t->GetLabel()));
                if (auto *b = dynamic_cast<wxButton *>(c))
                    okIsId1 = b->GetId() == 1 && b->GetLabel() == "OK";
            }
            return wxID_OK;
        }
        void Exit(wxDialog *) override {}
    } hook;
    hook.Register();
    wxCommandEvent about(wxEVT_MENU, ID_APP_ABOUT);
    Frame()->ProcessWindowEvent(about);
    hook.Unregister();
    EXPECT_EQ(hook.title, "Tegamiyaのﾊﾞｰｼﾞｮﾝ情報");
    ASSERT_GE(hook.texts.size(), 2u);
    EXPECT_EQ(hook.texts[0], "Tegamiya Version 5.0");
    EXPECT_TRUE(hook.okIsId1);
}

TEST_F(Startup, HelpThatCannotBeOpenedSaysSo)
{
    ASSERT_TRUE(app.InitInstance());
    ui->openResults = {2};
    wxCommandEvent help(wxEVT_MENU, ID_HELP_CONTENTS);
    Frame()->ProcessWindowEvent(help);
    ASSERT_EQ(ui->opened.size(), 1u);
    EXPECT_TRUE(ui->opened[0].ends_with("/Tegamiya.html"));
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, Sjis("ヘルプ ファイルが見つかりません。"));
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Application);
    EXPECT_EQ(ui->boxes[0].style, unsigned(MB_OK | MB_ICONWARNING));
}

TEST_F(Startup, SettingsFolderThatCannotBeMadeIsReported)
{
    // A file where the folder should be.
    testenv::WriteFile(home.Documents() / "Tegamiya", "not a folder");
    ASSERT_TRUE(app.InitInstance());
    ASSERT_FALSE(ui->boxes.empty());
    EXPECT_EQ(ui->boxes[0].text, "Cannot make .ini file path.");
    EXPECT_EQ(ui->boxes[0].kind, BoxKind::Application);
    EXPECT_TRUE(Frame()->View()->IniPath().empty());
}

} // namespace

// The real message boxes (not the scripted seam): every button set with the
// second button as default makes a dialog wx accepts (a failed wx assertion
// fails the test), and the default is the second button where there is one.
TEST(WxMessageBox, SecondButtonDefaultOnlyWhereThereIsASecondButton)
{
    std::unique_ptr<UiSeam> scripted = SetUi(nullptr);
    InstallWxUi();
    struct Answer : wxModalDialogHook {
        Answer() { Register(); }
        ~Answer() override { Unregister(); }
        int Enter(wxDialog *d) override
        {
            style = static_cast<wxMessageDialog *>(d)->GetMessageDialogStyle();
            return wxID_CANCEL;
        }
        void Exit(wxDialog *) override {}
        long style = 0;
    } answer;
    struct Case {
        unsigned mb;
        long defaultFlag;
    };
    for (Case c : {Case{MB_OK | MB_ICONERROR | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST, 0},
                   Case{MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, wxNO_DEFAULT},
                   Case{MB_OKCANCEL | MB_DEFBUTTON2, wxCANCEL_DEFAULT}}) {
        ShowMessageBox(BoxKind::Form, nullptr, "text", c.mb);
        EXPECT_EQ(answer.style & (wxNO_DEFAULT | wxCANCEL_DEFAULT), c.defaultFlag) << c.mb;
    }
    SetUi(std::move(scripted));
}
