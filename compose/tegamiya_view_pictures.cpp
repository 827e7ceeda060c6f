// The compose form's pictures: the attachment, the preview of control 1030,
// the pictures registered for recipients, the default picture and the
// commands that remove the attachment.
#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "app/paths.h"
#include "app/profile.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/picture_registration_dlg.h"
#include "compose/pictures.h"
#include "compose/sending.h"
#include "compose/rich_edit.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/menu.h>
#include <wx/radiobut.h>
#include <wx/region.h>

#include <sys/stat.h>

namespace {

enum : int {
    IDC_PICTURE = 1030,
    IDC_MAIL_TO = 1035,
    IDC_RECIPIENT_PICTURE = 1055,
    IDC_ATTACHED_PICTURE = 1056,
    IDC_DELETE_ATTACHMENT = 1059,
};
// The one item of the right-click menu (menu 417, "Pop_Delete").
constexpr int ID_POPUP_DELETE_ATTACHMENT = WxCommandId(32783);

template <class T> T *Ctl(const wxWindow *form, int id)
{
    return dynamic_cast<T *>(form->FindWindow(id));
}

std::string FolderOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

std::function<int(wxMenu &)> &CTegamiyaView::PopupMenuHook()
{
    static std::function<int(wxMenu &)> hook;
    return hook;
}

void CTegamiyaView::BindPictureHandlers()
{
    if (m_pPicture) {
        m_pPicture->Bind(wxEVT_PAINT, [this](wxPaintEvent &) { PaintPicture(); });
        // The scaled picture is made again for the new size at the next paint.
        m_pPicture->Bind(wxEVT_SIZE, [this](wxSizeEvent &e) {
            m_pPicture->Refresh();
            e.Skip();
        });
        // The picture area is part of the form for the mouse, as a static
        // frame is.
        m_pPicture->Bind(wxEVT_RIGHT_DOWN, &CTegamiyaView::OnRightClick, this);
    }
    Bind(wxEVT_RIGHT_DOWN, &CTegamiyaView::OnRightClick, this);

    Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent &) {
        auto *to = Ctl<wxComboBox>(this, IDC_MAIL_TO);
        if (to && !to->GetValue().empty())
            ShowRecipientPicture(FromWx(to->GetValue()));
    }, IDC_RECIPIENT_PICTURE);
    Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent &) { ShowPictureFile(m_strAttachPath); },
         IDC_ATTACHED_PICTURE);

    Bind(wxEVT_BUTTON, [this](wxCommandEvent &) { OnDeleteAttachment(); }, IDC_DELETE_ATTACHMENT);
    for (int id : {ID_POPUP_DELETE_ATTACHMENT, static_cast<int>(ID_DELETE_ATTACHMENT)}) {
        Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnDeleteAttachment(); }, id);
        RegisterCommandHandler(id);
    }
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent &e) { e.Enable(!m_strAttachPath.empty()); },
         ID_DELETE_ATTACHMENT);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnPictureRegistration(); }, ID_SETUP_PICTURES);
    RegisterCommandHandler(ID_SETUP_PICTURES);
}

// ---------------------------------------------------------------- attaching

bool CTegamiyaView::AttachPicture(const std::string &path)
{
    // The path is kept whole: a cut path would send another file, or none.
    m_strAttachPath = path;
    if (!ShowPictureFile(path))
        return false;
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_ATTACHED_PICTURE)) {
        radio->Enable(true);
        radio->SetValue(true);
    }
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_RECIPIENT_PICTURE))
        radio->SetValue(false);
    return true;
}

void CTegamiyaView::OnDeleteAttachment()
{
    const bool attached = !m_strAttachPath.empty();
    m_strAttachPath.clear();
    // What the recipient's radio button does: the recipient's picture.
    auto *to = Ctl<wxComboBox>(this, IDC_MAIL_TO);
    if (attached)
        ShowPictureWithoutAttachment(to ? FromWx(to->GetValue()) : std::string());
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_RECIPIENT_PICTURE))
        radio->SetValue(true);
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_ATTACHED_PICTURE))
        radio->Enable(false);
}

void CTegamiyaView::OnRightClick(wxMouseEvent &event)
{
    if (!m_strAttachPath.empty()) {
        wxMenu menu;
        menu.Append(ID_POPUP_DELETE_ATTACHMENT, wxString::FromUTF8("添付画像を削除(&D)"));
        if (auto &hook = PopupMenuHook()) {
            int chosen = hook(menu);
            if (chosen != wxID_NONE) {
                wxCommandEvent ev(wxEVT_MENU, chosen);
                ProcessWindowEvent(ev);
            }
        } else {
            PopupMenu(&menu);
        }
    }
    event.Skip();
}

// ----------------------------------------------------------------- showing

bool CTegamiyaView::ShowPictureFile(const std::string &path)
{
    switch (ClassifyPictureFile(path)) {
    case PictureFileType::Bmp:
        // A BMP that cannot be read leaves the picture shown as it was.
        if (!LoadBmpPicture(path))
            return false;
        m_nPictureKind = kPictureBmp;
        break;
    case PictureFileType::Jpeg:
        if (!LoadJpegPicture(path))
            return false;
        m_nPictureKind = kPictureJpeg;
        break;
    case PictureFileType::Other:
        // Not a picture the preview reads: said so, and not shown.
        ShowMessageBox(BoxKind::Plain, nullptr, Sjis("画像ファイルを読むことができません。"), MB_OK);
        return false;
    }
    UpdatePreview();
    InvalidatePicture();
    return true;
}

bool CTegamiyaView::LoadJpegPicture(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    // The previous block goes first; a failed load leaves none.
    m_hJpegPixels.reset();
    JLODE_HGLOBAL block = nullptr;
    int32_t ok = LoadJPEG(path.c_str(), m_jpegReserved, &m_jpegHeader, &block, &m_nJpegWidth,
                          &m_nJpegHeight);
    m_hJpegPixels.reset(block);
    UpdatePreview();
    if (!ok) {
        FormErrorBox(this, Sjis("このJPGファイルは読み込みができません。"));
        return false;
    }
    return true;
}

bool CTegamiyaView::LoadBmpPicture(const std::string &path)
{
    BmpImage image;
    switch (ReadBmpFile(path, image)) {
    case BmpError::Ok:
        m_bmp = std::move(image);
        UpdatePreview();
        return true;
    case BmpError::OpenFailed:
        ShowMessageBox(BoxKind::Application, this, Sjis("MyPicture.bmp が見つかりません。"), MB_OK);
        return false;
    case BmpError::NotBmp:
        ShowMessageBox(BoxKind::Plain, nullptr, Sjis("画像ファイルが見つかりません。"), MB_OK);
        return false;
    default:
        ShowMessageBox(BoxKind::Plain, nullptr, Sjis("画像ファイルを読むことができません。"), MB_OK);
        return false;
    }
}

void CTegamiyaView::ShowDefaultPicture()
{
    // The user's Tegamiya folder (beside the settings file) first: an
    // installed program's folder is not the user's to write.
    std::optional<std::string> path = FindDefaultPicture({FolderOf(m_strIniPath), paths::ExecutableDir()});
    if (path) {
        if (ClassifyPictureFile(*path) == PictureFileType::Jpeg) {
            LoadJpegPicture(*path);
            m_nPictureKind = kPictureJpeg;
        } else if (LoadBmpPicture(*path)) {
            m_nPictureKind = kPictureBmp;
        }
    }
    UpdatePreview();
    InvalidatePicture();
}

void CTegamiyaView::ShowPictureWithoutAttachment(const std::string &recipient)
{
    if (!recipient.empty()) {
        ShowRecipientPicture(recipient);
        return;
    }
    // No recipient: the removed picture must not stay in view as if it
    // still went with the mail. The default picture, else nothing.
    m_bmp = {};
    m_nPictureKind = kPictureBmp;
    ShowDefaultPicture();
}

void CTegamiyaView::ShowRecipientPicture(const std::string &recipient)
{
    // A name the address book put between quotes is registered without them.
    std::optional<std::string> path = FindRecipientPicture(ProfileFile(m_strIniPath), RecipientName(recipient));
    if (path && !path->empty())
        ShowPictureFile(*path);
    else
        ShowDefaultPicture();
}

// ---------------------------------------------------------------- painting

void CTegamiyaView::UpdatePreview()
{
    if (m_nPictureKind == kPictureBmp) {
        if (m_bmp.rgb.empty()) {
            m_preview.Clear();
            return;
        }
        m_preview.Show(CPicturePreview::Mode::Stretched,
                       {m_bmp.rgb.data(), m_bmp.width, m_bmp.height, static_cast<size_t>(m_bmp.width) * 3, false});
        return;
    }
    if (m_nJpegWidth <= 0 || m_nJpegHeight <= 0) {
        m_preview.Clear();
        return;
    }
    // The block's rows are the header's padded width apart.
    PicturePixels pixels;
    if (m_hJpegPixels && m_jpegHeader.biWidth >= m_nJpegWidth)
        pixels = {static_cast<const uint8_t *>(m_hJpegPixels.get()), m_nJpegWidth, m_nJpegHeight,
                  static_cast<size_t>(m_jpegHeader.biWidth) * 3, true};
    m_preview.Show(CPicturePreview::Mode::Fitted, pixels);
}

void CTegamiyaView::InvalidatePicture()
{
    if (m_pPicture)
        m_pPicture->Refresh(true);
}

void CTegamiyaView::PaintPicture()
{
    wxPaintDC dc(m_pPicture);
    // A wide body lies over the picture area, as it does over any control
    // to its right: nothing is drawn over it.
    if (m_pBody) {
        wxRegion region(wxRect(m_pPicture->GetClientSize()));
        wxRect body = m_pBody->GetRect();
        body.Offset(-m_pPicture->GetPosition());
        region.Subtract(body);
        dc.SetDeviceClippingRegion(region);
    }
    m_preview.Draw(dc, m_pPicture->GetClientSize());
}

// ------------------------------------------------------------ registration

void CTegamiyaView::OnPictureRegistration()
{
    CPictureRegistrationDialog dlg(m_pFrame, m_strIniPath);
    if (dlg.ShowModal() != CPictureRegistrationDialog::kOk)
        return;
    OnSelchangeMailTo();
}
