#include "app/tegamiya_app.h"

#include "app/about_dlg.h"
#include "app/gdk_backend.h"
#include "app/main_frame.h"
#include "app/paths.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "mapi/mapi_binding.h"

#include <wx/fs_mem.h>
#include <wx/image.h>
#include <wx/xrc/xmlres.h>

bool g_bClosing = false;

CTegamiyaApp *TheApp() { return dynamic_cast<CTegamiyaApp *>(wxTheApp); }

bool CTegamiyaApp::OnInit()
{
    // The toolkit has chosen its display: programs started from here get
    // the user's own backend setting again.
    RestoreUserBackend();
    InstallWxUi();
    if (argc > 1)
        m_strCmdFile = std::string(argv[1].fn_str());
    return InitInstance();
}

bool CTegamiyaApp::InitInstance()
{
    // The three-dimensional look and the rich-edit library need nothing on
    // GTK. The profile's company key "Zelko" is in the registry profile path.
    static bool handlers = false;
    if (!handlers) {
        wxInitAllImageHandlers();
        wxXmlResource::Get()->InitAllHandlers();
        handlers = true;
    }

    // The frame and its only view; the form's set-up runs inside Create.
    auto *frame = new CMainFrame();
    if (!frame->Create()) {
        frame->Destroy();
        return false;
    }
    m_pMainFrame = frame;
    SetTopWindow(frame);

    frame->Show(true);
    frame->Update();
    frame->SetTitle("Tegamiya");

    auto fail = [&](const std::string &text) {
        ShowMessageBox(BoxKind::Plain, nullptr, text, MB_OK);
        m_pMainFrame = nullptr;
        frame->Destroy();
        return false;
    };
    switch (LoadMapi()) {
    case MAPI_BOUND:
        break;
    case MAPI_LOAD_FAILED:
        return fail("LoadLibrary error.");
    default:
        return fail("GetProcAddress error.");
    }

    char empty[1] = "";
    char empty2[1] = "";
    LHANDLE session = 0;
    ULONG rc = g_mapi.MAPILogon(0, empty, empty2, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &session);
    if (rc != SUCCESS_SUCCESS) {
        ReleaseMapi();
        return fail(Sjis("メールシステムへのログオンに失敗しました。\nメールアカウントの設定が正しく行われているか確認してください。"));
    }
    g_mapi.session = session;
    return true;
}

void CTegamiyaApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainFrame);
    dlg.ShowModal();
}

std::string CTegamiyaApp::GetProfileString(const std::string &section, const std::string &entry,
                                           const std::string &def) const
{
    return ProfileFile(paths::RegistryProfilePath(), true).GetString(section, entry, def);
}

bool CTegamiyaApp::WriteProfileString(const std::string &section, const std::string &entry,
                                      const std::string &value)
{
    return ProfileFile(paths::RegistryProfilePath(), true).WriteString(section, entry, value);
}
