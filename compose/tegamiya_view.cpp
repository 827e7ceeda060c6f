#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "app/paths.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

std::string g_strIniPath;

namespace {
// The form template's size in dialog units.
constexpr int kFormWidthDu = 402;
constexpr int kFormHeightDu = 144;
} // namespace

CTegamiyaView::CTegamiyaView(CMainFrame *frame)
    : m_pFrame(frame)
{
    // The form's face: a fixed-pitch Japanese gothic at 9 points.
    SetFont(wxFont(9, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                   "IPAGothic"));
    Create(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "101");
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnAppExit(); }, ID_APP_EXIT);
    RegisterCommandHandler(ID_APP_EXIT);
}

CTegamiyaView::~CTegamiyaView() = default;

wxSize CTegamiyaView::GetFormSize() const
{
    return ConvertDialogToPixels(wxSize(kFormWidthDu, kFormHeightDu));
}

void CTegamiyaView::OnInitialUpdate()
{
    std::string path;
    if (!MakeIniFilePath(path)) {
        AppMessageBox("Cannot make .ini file path.");
    } else {
        m_strIniPath = path;
        g_strIniPath = path;
    }
    m_pFrame->FitToView();
}

bool CTegamiyaView::MakeIniFilePath(std::string &path)
{
    std::string docs = paths::DocumentsDir();
    if (docs.empty()) {
        AppMessageBox("Get 'My Documents' path failed.");
        return true;
    }
    std::string folder = docs + "/Tegamiya";
    path = folder;
    // The documents folder itself may not exist yet on a fresh account.
    std::error_code ec;
    std::filesystem::create_directories(docs, ec);
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    path = folder + "/Tegamiya.ini";
    return true;
}

void CTegamiyaView::OnAppExit()
{
    wxTheApp->CallAfter([] {
        if (wxWindow *top = wxTheApp->GetTopWindow())
            top->Close();
    });
}
