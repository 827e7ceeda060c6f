#include "compose/tools_dialog.h"

#include "app/resources_wx.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/tools.h"

#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

namespace {
enum : int {
    IDC_OE_PATH = 1043,
    IDC_URL = 1044,
    IDC_OTHER_PATH = 1045,
    IDC_KAOMOJI_PATH = 1046,
    IDC_BROWSE_KAOMOJI = 1026,
    IDC_BROWSE_OE = 1027,
    IDC_BROWSE_OTHER = 1028,
};
} // namespace

CToolsDialog::CToolsDialog(wxWindow *parent)
{
    // The font first: the template's dialog units are measured with it.
    SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                   "IPAPGothic"));
    LoadXrcResource("tools_dialog.xrc");
    wxXmlResource::Get()->LoadDialog(this, parent, "410");
    SetAffirmativeId(1);
    SetEscapeId(2);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
        Browse(m_strOutlookExpress, "Outlook Express のパスを設定します。");
    }, IDC_BROWSE_OE);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
        Browse(m_strKaoMoji, "顔文字ツールのパスを設定します。");
    }, IDC_BROWSE_KAOMOJI);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
        Browse(m_strOther, "その他のツールのパスを設定します。");
    }, IDC_BROWSE_OTHER);
    CentreOnParent();
}

int CToolsDialog::DoModal()
{
    TransferDataToWindow();
    int rc = ShowModal();
    if (rc == 1 || rc == wxID_OK) {
        TransferDataFromWindow();
        return 1;
    }
    return 2;
}

bool CToolsDialog::TransferDataToWindow()
{
    auto put = [this](int id, const std::string &value) {
        if (auto *edit = dynamic_cast<wxTextCtrl *>(FindWindow(id)))
            edit->ChangeValue(ToWx(value));
    };
    put(IDC_OE_PATH, m_strOutlookExpress);
    put(IDC_KAOMOJI_PATH, m_strKaoMoji);
    put(IDC_URL, m_strURL);
    put(IDC_OTHER_PATH, m_strOther);
    return true;
}

bool CToolsDialog::TransferDataFromWindow()
{
    m_bUnstorable = false;
    auto get = [this](int id, std::string &value) {
        auto *edit = dynamic_cast<wxTextCtrl *>(FindWindow(id));
        if (!edit)
            return;
        bool lossless = true;
        value = cp932::FromUtf8(edit->GetValue().utf8_string(), '?', &lossless);
        if (!lossless)
            m_bUnstorable = true;
    };
    get(IDC_OE_PATH, m_strOutlookExpress);
    get(IDC_KAOMOJI_PATH, m_strKaoMoji);
    get(IDC_URL, m_strURL);
    get(IDC_OTHER_PATH, m_strOther);
    return true;
}

void CToolsDialog::Browse(std::string &field, const char *titleUtf8)
{
    FileDialogRequest req;
    req.parent = this;
    req.title = Sjis(titleUtf8);
    // Programs on this system have no ".exe": every file is shown.
    req.wildcard = Sjis("プログラムファイル (*)|*");
    std::optional<std::string> chosen = Ui().ChooseFile(req);
    if (!chosen)
        return;
    std::optional<std::string> text = PathToSettings(*chosen);
    if (!text) {
        AppMessageBox(Sjis("設定値を保存できません。"));
        return;
    }
    // What was typed into the other rows stays.
    TransferDataFromWindow();
    field = *text;
    TransferDataToWindow();
}
