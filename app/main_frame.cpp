#include "app/main_frame.h"

#include "app/main_menu.h"
#include "app/paths.h"
#include "app/resources_wx.h"
#include "app/tegamiya_app.h"
#include "app/ui_seam.h"
#include "app/web_site.h"
#include "app/window_hints.h"
#include "app/wx_ui.h"
#include "compose/tegamiya_view.h"
#include "mapi/mapi_binding.h"

#include <wx/accel.h>
#include <wx/iconbndl.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/toolbar.h>
#include <wx/xrc/xmlres.h>

namespace {
std::set<int> &Handlers()
{
    static std::set<int> ids;
    return ids;
}

// Every command the menu and toolbar carry.
const int kCommands[] = {ID_SEND_MAIL,      ID_APP_EXIT,         ID_EDIT_SELECT_ALL, ID_EDIT_CUT,
                         ID_EDIT_COPY,      ID_EDIT_PASTE,       ID_EDIT_STRIP_BLANKS, ID_EDIT_UNDO,
                         ID_DELETE_ATTACHMENT, ID_CLOSE_ON_SEND, ID_DELETE_HISTORY, ID_SETUP_PICTURES,
                         ID_SETUP_TOOLS,    ID_HELP_CONTENTS,    ID_APP_ABOUT,       ID_WEB_SITE};
} // namespace

void RegisterCommandHandler(int id) { Handlers().insert(id); }
bool HasCommandHandler(int id) { return Handlers().count(id) != 0; }

CMainFrame::CMainFrame() = default;

bool CMainFrame::Create()
{
    // Sizable, with a minimise box and no maximise box.
    long style = wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxCLOSE_BOX;
    if (!wxFrame::Create(nullptr, wxID_ANY, "Tegamiya", wxDefaultPosition, wxDefaultSize, style))
        return false;
    KeepMaximiseBoxAway(this);
    SetIcons(ProgramIcons());
    if (!OnCreate())
        return false;

    m_pView = new CTegamiyaView(this);
    auto *sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_pView, 1, wxEXPAND);
    SetSizer(sizer);
    m_pView->OnInitialUpdate();
    return true;
}

bool CMainFrame::OnCreate()
{
    SetMenuBar(CreateMainMenu());

    wxToolBar *tb = CreateToolBar(wxTB_FLAT | wxTB_HORIZONTAL | wxTB_TOP | wxTB_NODIVIDER, ID_TOOLBAR);
    wxBitmap strip = LoadPngResource("toolbar.png");
    if (!tb || !strip.IsOk() || strip.GetWidth() < 4 * 23)
        return false;
    tb->SetToolBitmapSize(wxSize(23, 18));
    auto image = [&](int i) { return strip.GetSubBitmap(wxRect(i * 23, 0, 23, 18)); };
    tb->AddTool(ID_EDIT_CUT, wxString(), image(0), wxString::FromUTF8("切り取り"));
    tb->AddTool(ID_EDIT_COPY, wxString(), image(1), wxString::FromUTF8("ｺﾋﾟｰ"));
    tb->AddTool(ID_EDIT_PASTE, wxString(), image(2), wxString::FromUTF8("貼り付け"));
    tb->AddSeparator();
    tb->AddTool(ID_APP_ABOUT, wxString(), image(3), wxString::FromUTF8("ﾊﾞｰｼﾞｮﾝ情報"));
    if (!tb->Realize())
        return false;

    wxAcceleratorEntry keys[] = {
        {wxACCEL_CTRL, 'Z', ID_EDIT_UNDO},        {wxACCEL_ALT, WXK_BACK, ID_EDIT_UNDO},
        {wxACCEL_CTRL, 'X', ID_EDIT_CUT},         {wxACCEL_SHIFT, WXK_DELETE, ID_EDIT_CUT},
        {wxACCEL_CTRL, 'C', ID_EDIT_COPY},        {wxACCEL_CTRL, WXK_INSERT, ID_EDIT_COPY},
        {wxACCEL_CTRL, 'V', ID_EDIT_PASTE},       {wxACCEL_SHIFT, WXK_INSERT, ID_EDIT_PASTE},
        // Ctrl+A as its menu item shows it: the subject or the body. The To
        // box, CC and BCC take it before this table for their own text.
        {wxACCEL_CTRL, 'A', ID_EDIT_SELECT_ALL},
    };
    SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));

    for (int id : kCommands)
        Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCommand, this, id);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    Bind(wxEVT_MOVE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnHelpContents(); }, ID_HELP_CONTENTS);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnWebSite(); }, ID_WEB_SITE);
    Bind(wxEVT_MENU, [](wxCommandEvent &) {
        if (CTegamiyaApp *app = TheApp())
            app->OnAppAbout();
    }, ID_APP_ABOUT);
    for (int id : {ID_HELP_CONTENTS, ID_WEB_SITE, ID_APP_ABOUT})
        RegisterCommandHandler(id);

    m_normalRect = GetRect();
    WindowPlacement wp;
    if (!ReadWindowPlacement(wp))
        return true;
    CTegamiyaApp *app = TheApp();
    wp.showCmd = app ? app->m_nCmdShow : SW_SHOWNORMAL;
    Move(wp.left, wp.top);
    SetWindowPlacement(wp);
    return true;
}

wxVisualAttributes CMainFrame::GetDefaultAttributes() const
{
    static const wxVisualAttributes attributes = wxFrame::GetDefaultAttributes();
    return attributes;
}

bool CMainFrame::TryBefore(wxEvent &event)
{
    wxEventType type = event.GetEventType();
    if (m_pView && !m_forwarding && (type == wxEVT_MENU || type == wxEVT_UPDATE_UI ||
                                     type == wxEVT_TOOL)) {
        m_forwarding = true;
        bool done = m_pView->GetEventHandler()->ProcessEventLocally(event);
        m_forwarding = false;
        if (done)
            return true;
    }
    return wxFrame::TryBefore(event);
}

void CMainFrame::OnUpdateCommand(wxUpdateUIEvent &event)
{
    event.Enable(HasCommandHandler(event.GetId()));
}

void CMainFrame::OnMoveOrSize(wxEvent &event)
{
    if (!IsMaximized() && !IsIconized())
        m_normalRect = GetRect();
    event.Skip();
}

bool CMainFrame::ReadWindowPlacement(WindowPlacement &wp)
{
    CTegamiyaApp *app = TheApp();
    if (!app)
        return false;
    std::string text = app->GetProfileString("Settings", "TegamiyaPos");
    if (text.empty())
        return false;
    auto parsed = ParsePlacement(text);
    if (!parsed)
        return false;
    wp = *parsed;
    return true;
}

void CMainFrame::WriteWindowPlacement(const WindowPlacement &wp)
{
    if (CTegamiyaApp *app = TheApp())
        app->WriteProfileString("Settings", "TegamiyaPos", FormatPlacement(wp));
}

WindowPlacement CMainFrame::GetWindowPlacement() const
{
    WindowPlacement wp;
    wp.showCmd = IsIconized() ? SW_SHOWMINIMIZED : IsMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp.minX = wp.minY = wp.maxX = wp.maxY = -1;
    wxRect r = (IsMaximized() || IsIconized()) ? m_normalRect : GetRect();
    SetNormalRect(wp, r.x, r.y, r.width, r.height);
    return wp;
}

void CMainFrame::SetWindowPlacement(const WindowPlacement &wp)
{
    // A size that does not fit (a corrupt record) is ignored.
    if (auto size = NormalSize(wp))
        SetSize(wp.left, wp.top, size->width, size->height);
    else
        Move(wp.left, wp.top);
    m_normalRect = GetRect();
    if (wp.showCmd == SW_SHOWMAXIMIZED)
        Maximize(true);
    else if (wp.showCmd == SW_SHOWMINIMIZED)
        Iconize(true);
}

void CMainFrame::FitToView()
{
    if (!m_pView)
        return;
    Layout();
    SetClientSize(m_pView->GetFormSize());
    m_normalRect = GetRect();
}

void CMainFrame::OnClose(wxCloseEvent &event)
{
    g_bClosing = true;
    if (g_mapi.MAPILogoff) {
        ULONG rc = g_mapi.MAPILogoff(g_mapi.session, 0, 0, 0);
        if (rc != SUCCESS_SUCCESS && event.CanVeto()) {
            ShowMessageBox(BoxKind::Plain, nullptr, "MAPILogoff error.", MB_OK);
            event.Veto();
            return;
        }
        ReleaseMapi();
    }
    WindowPlacement wp = GetWindowPlacement();
    if (IsMaximized())
        wp.flags += WPF_RESTORETOMAXIMIZED;
    WriteWindowPlacement(wp);
    Destroy();
}

void CMainFrame::OnHelpContents()
{
    std::string help = paths::ExecutableDir() + "Tegamiya.html";
    if (Ui().OpenDocument(help) <= 32)
        AppMessageBox(Sjis("ヘルプ ファイルが見つかりません。"));
}

void CMainFrame::OnWebSite()
{
    Ui().OpenDocument(WebSiteAddress());
}
