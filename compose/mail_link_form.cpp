#include "compose/mail_link_form.h"

#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/mail_link.h"
#include "compose/rich_edit.h"
#include "compose/tegamiya_view.h"

#include <wx/combobox.h>
#include <wx/textctrl.h>

namespace {
enum : int { IDC_CC = 1011, IDC_BCC = 1016, IDC_MAIL_TO = 1035 };
} // namespace

void FillFormFromMailLink(CTegamiyaView &view, const std::string &link)
{
    std::optional<MailLinkFields> fields = ParseMailLink(link);
    if (!fields) {
        AppMessageBox(Sjis("メールのリンク (mailto:) を読み取れません。\n"
                           "リンクの書き方が正しくないか、読めない文字が含まれています。"));
        return;
    }
    if (auto *to = dynamic_cast<wxComboBox *>(view.FindWindow(IDC_MAIL_TO)))
        to->ChangeValue(ToWx(fields->to));
    if (auto *cc = dynamic_cast<wxTextCtrl *>(view.FindWindow(IDC_CC)))
        cc->ChangeValue(ToWx(fields->cc));
    if (auto *bcc = dynamic_cast<wxTextCtrl *>(view.FindWindow(IDC_BCC)))
        bcc->ChangeValue(ToWx(fields->bcc));
    if (CSubjectEdit *subject = view.SubjectField())
        subject->SetTextBytes(fields->subject);
    // The counts follow the body, as for a text file on the command line.
    if (CBodyEdit *body = view.BodyField())
        body->SetTextBytes(fields->body);
    view.OnChangeMailBody();
    if (!fields->to.empty())
        view.RunToRecipientReactions(fields->to);
}
