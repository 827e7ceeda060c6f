// The compose form's external tools: the mail client, the face-mark tool,
// the browser, and the tools dialog.
#include "app/main_frame.h"
#include "app/paths.h"
#include "app/profile.h"
#include "app/ui_seam.h"
#include "app/web_site.h"
#include "app/wx_ui.h"
#include "compose/tegamiya_view.h"
#include "compose/tools.h"
#include "compose/tools_dialog.h"

#include <gio/gio.h>
#include <unistd.h>

namespace {

enum : int {
    IDC_BUTTON_KAOMOJI = 1026,
    IDC_BUTTON_OE = 1027,
    IDC_BUTTON_BROWSER = 1031,
};

const char *const kCannotStart = "実行できません。パスが正しくない可能性があります。";

// The outbox window of the mail system, when it is installed beside us.
std::string FindOutboxWindow()
{
    std::string path = paths::ExecutableDir() + kOutboxWindowName;
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

// The program of the desktop's default mail client (the handler of mailto
// addresses), "" when there is none.
std::string FindDesktopMailClient()
{
    GAppInfo *info = g_app_info_get_default_for_uri_scheme("mailto");
    if (!info)
        return {};
    std::string path;
    if (const char *exe = g_app_info_get_executable(info)) {
        if (gchar *full = g_find_program_in_path(exe)) {
            path = full;
            g_free(full);
        }
    }
    g_object_unref(info);
    return path;
}

} // namespace

std::function<std::string()> CTegamiyaView::s_findOutboxWindow = FindOutboxWindow;
std::function<std::string()> CTegamiyaView::s_findDesktopMailClient = FindDesktopMailClient;

void CTegamiyaView::BindToolsHandlers()
{
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonOE(); }, IDC_BUTTON_OE);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonKaoMoji(); }, IDC_BUTTON_KAOMOJI);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonBrowser(); }, IDC_BUTTON_BROWSER);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnToolsRegistration(); }, ID_SETUP_TOOLS);
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent &e) { e.Enable(true); }, ID_SETUP_TOOLS);
    RegisterCommandHandler(ID_SETUP_TOOLS);
}

std::string CTegamiyaView::DefaultMailClientPath() const
{
    std::string outbox = s_findOutboxWindow ? s_findOutboxWindow() : std::string();
    if (!outbox.empty())
        return outbox;
    return s_findDesktopMailClient ? s_findDesktopMailClient() : std::string();
}

void CTegamiyaView::OnButtonOE()
{
    ProfileFile ini(m_strIniPath);
    std::string stored = ini.GetString(kToolsSection, kMailClientKey, "");
    bool useDefault = stored.empty();
    std::string path = useDefault ? DefaultMailClientPath() : PathFromSettings(stored);
    if (path.empty() || Ui().StartProgram(path, "", WorkingFolder(path)) <= 32) {
        AppMessageBox(Sjis(kCannotStart));
        return;
    }
    if (!useDefault)
        return;
    std::optional<std::string> text = PathToSettings(path);
    if (!text || !ini.WriteString(kToolsSection, kMailClientKey, *text))
        SettingsSaveFailed();
}

void CTegamiyaView::OnButtonKaoMoji()
{
    ProfileFile ini(m_strIniPath);
    std::string stored = ini.GetString(kToolsSection, kKaoMojiKey, "");
    std::string path;
    bool chosen = false;
    if (stored.empty()) {
        int answer = ShowMessageBox(BoxKind::Plain, nullptr,
                                    Sjis("顔文字ツールのパスが設定されていません。\n"
                                         "OKを押すとファイルダイアログが表示されますから、"
                                         "顔文字ツールのパスを指定してください。"),
                                    MB_OKCANCEL | MB_ICONINFORMATION);
        if (answer != IDOK)
            return;
        FileDialogRequest req;
        req.parent = this;
        req.title = Sjis("顔文字ツールのパスを設定します。");
        // Programs on this system have no ".exe": every file is shown.
        req.wildcard = Sjis("実行ファイル (*)|*");
        std::optional<std::string> file = Ui().ChooseFile(req);
        if (!file)
            return;
        path = *file;
        chosen = true;
    } else {
        path = PathFromSettings(stored);
    }
    if (Ui().StartProgram(path, "", WorkingFolder(path)) <= 32)
        AppMessageBox(Sjis(kCannotStart));
    // A chosen tool is kept even when it did not start.
    if (!chosen)
        return;
    std::optional<std::string> text = PathToSettings(path);
    if (!text || !ini.WriteString(kToolsSection, kKaoMojiKey, *text))
        SettingsSaveFailed();
}

void CTegamiyaView::OnButtonBrowser()
{
    std::string url = ProfileFile(m_strIniPath).GetString(kToolsSection, kUrlKey, "");
    std::string target = url.empty() ? WebSiteAddress() : PathFromSettings(url);
    if (Ui().OpenDocument(target) <= 32)
        AppMessageBox(Sjis("実行できません。URLが正しくない可能性があります。"));
}

void CTegamiyaView::OnToolsRegistration()
{
    ProfileFile ini(m_strIniPath);
    CToolsDialog dlg(m_pFrame);
    // Values are read whole: a cut value would be written back cut on OK.
    std::string mailClient = PathToSettings(DefaultMailClientPath()).value_or("");
    dlg.m_strOutlookExpress = ini.GetString(kToolsSection, kMailClientKey, mailClient);
    dlg.m_strKaoMoji = ini.GetString(kToolsSection, kKaoMojiKey, "");
    dlg.m_strOther = ini.GetString(kToolsSection, kOtherKey, "");
    dlg.m_strURL = ini.GetString(kToolsSection, kUrlKey, "");
    if (dlg.DoModal() != 1)
        return;
    if (dlg.m_bUnstorable) {
        SettingsSaveFailed();
        return;
    }
    if (!ini.WriteStrings({{kToolsSection, kMailClientKey, dlg.m_strOutlookExpress},
                           {kToolsSection, kKaoMojiKey, dlg.m_strKaoMoji},
                           {kToolsSection, kOtherKey, dlg.m_strOther},
                           {kToolsSection, kUrlKey, dlg.m_strURL}}))
        SettingsSaveFailed();
}
