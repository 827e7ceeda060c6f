#include "compose/picture_registration_dlg.h"

#include "app/cp932.h"
#include "app/profile.h"
#include "app/resources_wx.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/pictures.h"
#include "mapi/mapi_binding.h"

#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

namespace {

// The controls of each row: recipient edit, address-book button, path
// edit, browse button.
struct Row {
    int toName, addressBook, file, browse;
};
constexpr Row kRowIds[CPictureRegistrationDialog::kRows] = {
    {1041, 1039, 1042, 1040}, {1045, 1043, 1046, 1044}, {1049, 1047, 1050, 1048},
    {1057, 1055, 1058, 1056}, {1061, 1059, 1062, 1060},
};

wxTextCtrl *Edit(const wxWindow *dlg, int id)
{
    return dynamic_cast<wxTextCtrl *>(dlg->FindWindow(id));
}

// A path (file-system bytes) in an edit, and back.
wxString PathToWx(const std::string &path)
{
    wxString s = wxString::FromUTF8(path);
    return s.empty() && !path.empty() ? wxString(path.c_str(), wxConvISO8859_1) : s;
}

} // namespace

CPictureRegistrationDialog::CPictureRegistrationDialog(wxWindow *parent, const std::string &iniPath)
    : m_strIniPath(iniPath)
{
    // The font must be in place before loading: the template's dialog units
    // are measured with it.
    SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, "IPAPGothic"));
    LoadXrcResource("picture_registration.xrc");
    wxXmlResource::Get()->LoadDialog(this, parent, "409");
    SetAffirmativeId(wxID_NONE);
    SetEscapeId(2);

    // Values are read whole: a cut path written back on OK would name
    // another file.
    ProfileFile ini(m_strIniPath);
    for (int i = 0; i < kRows; ++i) {
        std::string key = PictureEntryKey(i + 1);
        m_strToName[i] = ini.GetString(kPictureToNameSection, key, "");
        m_strFile[i] = cp932::ToUtf8(ini.GetString(kPictureFilesSection, key, ""));
    }
    ToEdits();

    for (int i = 0; i < kRows; ++i) {
        Bind(wxEVT_BUTTON, [this, i](wxCommandEvent &) { OnAddressBook(i); }, kRowIds[i].addressBook);
        Bind(wxEVT_BUTTON, [this, i](wxCommandEvent &) { OnBrowse(i); }, kRowIds[i].browse);
    }
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnOk(); }, 1);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { EndModal(2); }, 2);
    CentreOnParent();
}

void CPictureRegistrationDialog::ToEdits()
{
    for (int i = 0; i < kRows; ++i) {
        if (wxTextCtrl *e = Edit(this, kRowIds[i].toName))
            e->ChangeValue(ToWx(m_strToName[i]));
        if (wxTextCtrl *e = Edit(this, kRowIds[i].file))
            e->ChangeValue(PathToWx(m_strFile[i]));
    }
}

bool CPictureRegistrationDialog::FromEdits()
{
    // Everything goes into the CP932 settings file: text CP932 cannot hold
    // is refused (its edit takes the focus) rather than stored damaged.
    for (int i = 0; i < kRows; ++i) {
        for (int id : {kRowIds[i].toName, kRowIds[i].file}) {
            wxTextCtrl *e = Edit(this, id);
            if (!e)
                continue;
            std::string utf8 = e->GetValue().utf8_string();
            bool lossless = true;
            std::string cp932 = cp932::FromUtf8(utf8, '?', &lossless);
            if (!lossless) {
                e->SetFocus();
                return false;
            }
            if (id == kRowIds[i].toName)
                m_strToName[i] = cp932;
            else
                m_strFile[i] = utf8; // paths stay the file system's bytes
        }
    }
    return true;
}

void CPictureRegistrationDialog::OnAddressBook(int row)
{
    if (!g_mapi.MAPIAddress)
        return;
    std::string caption = Sjis("アドレス帳");
    ULONG count = 0;
    lpMapiRecipDesc recips = nullptr;
    // The library takes its owner as the owner's GtkWindow: this dialog's,
    // so that the address book stands over it.
    ULONG_PTR owner = reinterpret_cast<ULONG_PTR>(GetHandle());
    ULONG rc = g_mapi.MAPIAddress(g_mapi.session, owner, caption.data(), 1,
                                  nullptr, 0, nullptr, 0, 0, &count, &recips);
    if (rc == MAPI_USER_ABORT)
        return;
    if (rc != SUCCESS_SUCCESS) {
        FormErrorBox(this, Sjis("アドレス帳にアクセスできません。"));
        return;
    }
    if (count > 0 && recips) {
        // Only a To recipient's display name is taken; the address is not used.
        std::string name;
        if (recips[0].ulRecipClass == MAPI_TO && recips[0].lpszName)
            name = recips[0].lpszName;
        m_strToName[row] = name;
        // Only the picked edit changes: what the user typed in the others stays.
        if (wxTextCtrl *e = Edit(this, kRowIds[row].toName))
            e->ChangeValue(ToWx(name));
    }
    if (recips && g_mapi.MAPIFreeBuffer)
        g_mapi.MAPIFreeBuffer(recips);
}

void CPictureRegistrationDialog::OnBrowse(int row)
{
    FileDialogRequest req;
    req.parent = this;
    req.save = false;
    req.title = Sjis("画像ファイルのパスを設定します。");
    req.wildcard = Sjis("画像ファイル(*.jpg;*bmp)|*.jpg;*.bmp");
    std::optional<std::string> chosen = Ui().ChooseFile(req);
    if (!chosen)
        return;
    m_strFile[row] = *chosen;
    if (wxTextCtrl *e = Edit(this, kRowIds[row].file))
        e->ChangeValue(PathToWx(*chosen));
}

void CPictureRegistrationDialog::OnOk()
{
    if (!FromEdits()) {
        FormErrorBox(this, Sjis("設定値を保存できません。"));
        return;
    }
    if (Save())
        EndModal(kOk);
}

bool CPictureRegistrationDialog::Save()
{
    // The ten keys in one rewrite: a recipient never ends up with another
    // row's picture because the write stopped half-way.
    std::vector<ProfileFile::Entry> entries;
    for (int i = 0; i < kRows; ++i) {
        std::string key = PictureEntryKey(i + 1);
        entries.push_back({kPictureToNameSection, key, m_strToName[i]});
        entries.push_back({kPictureFilesSection, key, cp932::FromUtf8(m_strFile[i])});
    }
    if (!ProfileFile(m_strIniPath).WriteStrings(entries)) {
        FormErrorBox(this, Sjis("設定値を保存できません。"));
        return false;
    }
    return true;
}
