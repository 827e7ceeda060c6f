// The recipient history dialog (template 411, "宛先履歴の削除"): lists the
// stored history sorted, lets the user delete entries, and on OK writes the
// list back to "MailTo1".."MailTo8".
#pragma once

#include <wx/dialog.h>

#include <string>
#include <vector>

class wxListBox;

class CHistoryDeleteDlg : public wxDialog {
public:
    CHistoryDeleteDlg(wxWindow *parent, const std::string &iniPath);

    // Fills the list from the settings file (also Reset).
    void OnInitDialog();
    void OnButtonDelete();
    void OnDblclkHistoryList();
    void OnButtonReset();
    // Writes the eight keys and ends with OK; a refused write keeps the
    // dialog open.
    void OnOK();
    void OnCancel();

    // The entries shown, in their order (CP932).
    std::vector<std::string> Entries() const;

private:
    std::string m_strIniPath;
    wxListBox *m_pList = nullptr; // 1048
};
