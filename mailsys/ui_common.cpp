#include "ui_common.h"

#include "ui_text.h"

#include <wx/dialog.h>
#include <wx/sizer.h>

namespace mailsys {

wxSizer *Buttons(wxDialog *dialog, const UiText &T)
{
    wxStdDialogButtonSizer *sizer = dialog->CreateStdDialogButtonSizer(wxOK | wxCANCEL);
    if (wxWindow *ok = dialog->FindWindow(wxID_OK))
        ok->SetLabel(T("OK"));
    if (wxWindow *cancel = dialog->FindWindow(wxID_CANCEL))
        cancel->SetLabel(T("Cancel"));
    return sizer;
}

}  // namespace mailsys
