#include "compose/history_delete_dlg.h"

#include "app/profile.h"
#include "app/resources_wx.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/history.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/xrc/xmlres.h>

namespace {
enum : int {
    IDC_HISTORY_LIST = 1048,
    IDC_HISTORY_DELETE = 1049,
    IDC_HISTORY_OK = 1050,
    IDC_HISTORY_RESET = 1051,
    IDC_HISTORY_CANCEL = 1052,
};
} // namespace

CHistoryDeleteDlg::CHistoryDeleteDlg(wxWindow *parent, const std::string &iniPath)
    : m_strIniPath(iniPath)
{
    SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, "IPAPGothic"));
    LoadXrcResource("sending_dialogs.xrc");
    wxXmlResource::Get()->LoadDialog(this, parent, "411");
    m_pList = dynamic_cast<wxListBox *>(FindWindow(IDC_HISTORY_LIST));
    SetAffirmativeId(IDC_HISTORY_OK);
    SetEscapeId(IDC_HISTORY_CANCEL);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonDelete(); }, IDC_HISTORY_DELETE);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnButtonReset(); }, IDC_HISTORY_RESET);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnOK(); }, IDC_HISTORY_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnCancel(); }, IDC_HISTORY_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent &) { OnCancel(); });
    Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent &) { OnDblclkHistoryList(); }, IDC_HISTORY_LIST);
    OnInitDialog();
    CentreOnParent();
}

void CHistoryDeleteDlg::OnInitDialog()
{
    if (!m_pList)
        return;
    m_pList->Clear();
    ProfileFile ini(m_strIniPath);
    std::vector<std::string> values;
    for (size_t i = 1; i <= kHistorySize; ++i) {
        std::string v = ini.GetString("Default", HistoryKey(i), "");
        if (!v.empty())
            values.push_back(v);
    }
    for (const std::string &v : SortedForHistoryDialog(values))
        m_pList->Append(ToWx(v));
}

void CHistoryDeleteDlg::OnButtonDelete()
{
    if (!m_pList)
        return;
    int sel = m_pList->GetSelection();
    if (sel == wxNOT_FOUND)
        return;
    m_pList->Delete(static_cast<unsigned>(sel));
}

void CHistoryDeleteDlg::OnDblclkHistoryList() { OnButtonDelete(); }

void CHistoryDeleteDlg::OnButtonReset() { OnInitDialog(); }

void CHistoryDeleteDlg::OnOK()
{
    std::vector<std::string> entries = Entries();
    // All eight keys in one rewrite: a failure leaves the old history whole.
    std::vector<ProfileFile::Entry> keys;
    for (size_t i = 1; i <= kHistorySize; ++i)
        keys.push_back({"Default", HistoryKey(i), i <= entries.size() ? entries[i - 1] : std::string()});
    if (!ProfileFile(m_strIniPath).WriteStrings(keys)) {
        ShowMessageBox(BoxKind::Form, this, Sjis("宛先履歴を保存できません。"),
                       MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        return;
    }
    EndModal(wxID_OK);
}

void CHistoryDeleteDlg::OnCancel() { EndModal(wxID_CANCEL); }

std::vector<std::string> CHistoryDeleteDlg::Entries() const
{
    std::vector<std::string> out;
    if (m_pList)
        for (unsigned i = 0; i < m_pList->GetCount(); ++i)
            out.push_back(FromWx(m_pList->GetString(i)));
    return out;
}
