// The tools dialog (template 410): the paths of the mail client, the
// face-mark tool and a further tool, and the browser's web address.
#pragma once

#include <wx/dialog.h>

#include <string>

class CToolsDialog : public wxDialog {
public:
    explicit CToolsDialog(wxWindow *parent);

    // Shows the dialog modally; on OK (1) the fields hold the edits' texts.
    int DoModal();

    // The four fields (CP932), exchanged with edits 1043, 1046, 1044, 1045.
    std::string m_strOutlookExpress;
    std::string m_strKaoMoji;
    std::string m_strURL;
    std::string m_strOther;
    // Set when an edit holds text the settings file's CP932 cannot keep.
    bool m_bUnstorable = false;

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

private:
    // A "参照" button: the row's field becomes the chosen program's path.
    void Browse(std::string &field, const char *titleUtf8);
};
