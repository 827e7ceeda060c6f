#include "compose/tegamiya_view.h"

#include "app/main_frame.h"
#include "app/paths.h"
#include "app/profile.h"
#include "app/resources_wx.h"
#include "app/tegamiya_app.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/carriers.h"
#include "compose/counting.h"
#include "compose/editing.h"
#include "compose/field_text.h"
#include "compose/form_controls.h"
#include "compose/form_style.h"
#include "compose/mail_link.h"
#include "compose/mail_link_form.h"
#include "compose/rich_edit.h"
#include "compose/sending.h"
#include "compose/text_file.h"
#include "compose/up_down.h"
#include "mapi/mapi_binding.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/radiobut.h>
#include <wx/region.h>
#include <wx/settings.h>
#include <wx/spinbutt.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

std::string g_strIniPath;

namespace {
// The form template's size in dialog units.
constexpr int kFormWidthDu = 402;
constexpr int kFormHeightDu = 144;

// Control identifiers of the form.
enum : int {
    IDC_SEND = 1001,
    IDC_CC = 1011,
    IDC_LIMIT = 1013,
    IDC_COUNT = 1014,
    IDC_MAILS = 1015,
    IDC_BCC = 1016,
    IDC_ENABLE_WIDTH = 1018,
    IDC_WIDTH = 1019,
    IDC_WIDTH_SPIN = 1020,
    IDC_BUTTON_TO = 1021,
    IDC_CARRIER = 1023,
    IDC_PICTURE = 1030,
    IDC_BODY = 1034,
    IDC_MAIL_TO = 1035,
    IDC_SUBJECT = 1053,
    IDC_OE_START = 1054,
    IDC_RECIPIENT_PICTURE = 1055,
    IDC_ATTACHED_PICTURE = 1056,
};

// The display width's range in full-width characters.
constexpr int kWidthLowest = 6;
constexpr int kWidthHighest = 24;
// The limit used when the saved carrier has none.
constexpr uint32_t kFallbackLimit = 250;

template <class T> T *Ctl(const wxWindow *form, int id)
{
    return dynamic_cast<T *>(form->FindWindow(id));
}

} // namespace

CTegamiyaView::CTegamiyaView(CMainFrame *frame)
    : m_pFrame(frame)
{
    // The form's face: a fixed-pitch Japanese gothic at 9 points. It must be
    // in place before the template is loaded: dialog units are measured
    // with it.
    // Dialog units are those of the top-level window's font, so the frame
    // takes the form's face too.
    wxFont font(9, wxFONTFAMILY_MODERN, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, "IPAGothic");
    frame->SetFont(font);
    SetFont(font);
    if (!LoadXrcResource("compose_form.xrc") ||
        !wxXmlResource::Get()->LoadPanel(this, frame, "101"))
        Create(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "101");

    m_pSubject = Ctl<CSubjectEdit>(this, IDC_SUBJECT);
    m_pBody = Ctl<CBodyEdit>(this, IDC_BODY);
    m_pPicture = Ctl<CPictureArea>(this, IDC_PICTURE);
    m_pSend = Ctl<wxButton>(this, IDC_SEND);
    m_pTo = Ctl<wxButton>(this, IDC_BUTTON_TO);
    CarrierCombo = Ctl<wxChoice>(this, IDC_CARRIER);
    m_pMailTo = Ctl<wxComboBox>(this, IDC_MAIL_TO);
    m_pWidthEdit = Ctl<wxTextCtrl>(this, IDC_WIDTH);
    // The width's up-down control, right beside its buddy and next to it in
    // the tab order.
    m_pWidthSpin = new CUpDownCtrl(this, IDC_WIDTH_SPIN, ConvertDialogToPixels(wxPoint(277, 103)),
                                   ConvertDialogToPixels(wxSize(11, 12)));
    if (m_pWidthEdit)
        m_pWidthSpin->MoveAfterInTabOrder(m_pWidthEdit);
    ApplyCompactFormStyle(this);
    if (m_pBody)
        UseClassicScrollBar(m_pBody);
    if (m_pSubject)
        HideScrollBars(m_pSubject);
    // What enters the subject and body shows as the CP932 text it becomes.
    KeepEnteredTextToCp932(m_pSubject);
    KeepEnteredTextToCp932(m_pBody);

    // Our small pictures beside the address and tool buttons.
    for (wxWindow *child : GetChildren()) {
        auto *bmp = dynamic_cast<wxStaticBitmap *>(child);
        if (bmp)
            bmp->SetBitmap(LoadPngResource("bitmap" + child->GetName().ToStdString() + ".png"));
    }
    BindHandlers();
}

CTegamiyaView::~CTegamiyaView() { DestroyEmojiDlg(); }

void CTegamiyaView::BindHandlers()
{
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnAppExit(); }, ID_APP_EXIT);
    RegisterCommandHandler(ID_APP_EXIT);
    Bind(wxEVT_MENU, [this](wxCommandEvent &) { OnCloseOnSend(); }, ID_CLOSE_ON_SEND);
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent &e) {
        // The menu item shows checked exactly when the flag is set.
        e.Enable(true);
        e.Check(m_bCloseOnSend);
    }, ID_CLOSE_ON_SEND);
    RegisterCommandHandler(ID_CLOSE_ON_SEND);

    Bind(wxEVT_TEXT, [this](wxCommandEvent &) { OnChangeMailBody(); }, IDC_BODY);
    Bind(wxEVT_TEXT, [this](wxCommandEvent &) { OnChangeSubject(); }, IDC_SUBJECT);
    Bind(wxEVT_TEXT, [this](wxCommandEvent &) { OnChangeWidthChar(); }, IDC_WIDTH);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent &) { OnSelchangeKeitaiVender(); }, IDC_CARRIER);
    Bind(wxEVT_COMBOBOX, [this](wxCommandEvent &) { OnSelchangeMailTo(); }, IDC_MAIL_TO);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent &) { OnEnableWidth(); }, IDC_ENABLE_WIDTH);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent &) { OnOeStart(); }, IDC_OE_START);
    Bind(wxEVT_SPIN, [this](wxSpinEvent &e) {
        // The spin writes its position into its buddy field, whose change
        // resizes the body.
        SetWidthSpinPos(e.GetPosition());
        OnChangeWidthChar();
    }, IDC_WIDTH_SPIN);
    Bind(EVT_UPDOWN_SETTLED, [this](wxSpinEvent &) {
        if (!IsBeingDeleted())
            OnChangeWidthChar();
    }, IDC_WIDTH_SPIN);
    BindPictureHandlers();
    BindSendingHandlers();
    BindEditingHandlers();
    BindToolsHandlers();
    BindEmojiHandlers();
}

wxSize CTegamiyaView::GetFormSize() const
{
    return ConvertDialogToPixels(wxSize(kFormWidthDu, kFormHeightDu));
}

void CTegamiyaView::OnInitialUpdate()
{
    // 1. The pictograph font; pictographs show only through it.
    RegisterEmojiFont();
    // 2, 3. The fields report every change, and the body wraps at any
    // character: both are built into the fields.
    // 4. The values to the controls.
    UpdateData(false);
    // 5. The picture area's size.
    if (m_pPicture)
        m_rcPicture = wxRect(wxPoint(0, 0), m_pPicture->GetSize());
    // 6. The settings path.
    std::string path;
    if (!MakeIniFilePath(path)) {
        AppMessageBox("Cannot make .ini file path.");
    } else {
        m_strIniPath = path;
        g_strIniPath = path;
    }
    // 7. The default picture.
    ShowDefaultPicture();
    // 8. The frame fits the form.
    m_pFrame->FitToView();
    // 9. The carriers.
    if (!SetUpCarriers())
        return;
    // 10. The values to the controls.
    UpdateData(false);
    // 11, 12. The display width's range and stored position.
    if (m_pWidthSpin)
        m_pWidthSpin->SetRange(kWidthLowest, kWidthHighest);
    std::string width = ProfileFile(m_strIniPath).GetString("Default", "Display Width", "8", 8);
    SetWidthSpinPos(static_cast<int16_t>(LeadingDecimal(width) & 0xFFFF));
    // 13. A file named on the command line.
    bool tookPicture = false;
    if (!LoadStartupFile(tookPicture))
        return;
    // 14. Width enabled.
    ProfileFile ini(m_strIniPath);
    std::string enable = ini.GetString("Default", "Enable Width", "", 20);
    if (enable.empty()) {
        enable = "ON";
        ini.WriteString("Default", "Enable Width", enable);
    }
    m_bEnableWidth = enable == "ON";
    if (auto *check = Ctl<wxCheckBox>(this, IDC_ENABLE_WIDTH))
        check->SetValue(m_bEnableWidth);
    EnableWidthControls(m_bEnableWidth);
    OnChangeWidthChar();
    // 15. Starting the mail client after sending.
    m_strOeStart = ini.GetString("Default", "OE Start", "", 16);
    if (m_strOeStart.empty()) {
        m_strOeStart = "No";
        ini.WriteString("Default", "OE Start", m_strOeStart);
    }
    if (m_strOeStart == "Yes")
        if (auto *check = Ctl<wxCheckBox>(this, IDC_OE_START))
            check->SetValue(true);
    // 16. The picture shown is the recipient's until one is attached.
    if (!tookPicture) {
        if (auto *r = Ctl<wxRadioButton>(this, IDC_RECIPIENT_PICTURE))
            r->SetValue(true);
        if (auto *r = Ctl<wxRadioButton>(this, IDC_ATTACHED_PICTURE))
            r->Enable(false);
    }
    // 17. The recipient history.
    FillMailToHistory();
    // 18. Closing after sending.
    m_bCloseOnSend = ini.GetString("Default", "CloseOnSend", "No", 4) == "Yes";
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

void CTegamiyaView::UpdateData(bool save)
{
    auto *check = Ctl<wxCheckBox>(this, IDC_ENABLE_WIDTH);
    if (save) {
        if (check)
            m_bEnableWidth = check->GetValue() ? 1 : 0;
        return;
    }
    auto show = [this](int slot, int id, uint32_t value) {
        if (m_shownNumber[slot] == value)
            return;
        ShowNumberWhole(Ctl<wxTextCtrl>(this, id), value);
        m_shownNumber[slot] = value;
    };
    show(0, IDC_LIMIT, m_nLimit);
    show(1, IDC_COUNT, m_nCount);
    show(2, IDC_MAILS, m_nMails);
    if (check)
        check->SetValue(m_bEnableWidth != 0);
    // The count turns red while it exceeds the limit.
    if (auto *count = Ctl<wxTextCtrl>(this, IDC_COUNT)) {
        int red = IsCountOverLimit() ? 1 : 0;
        if (red != m_shownCountRed) {
            count->SetForegroundColour(red ? wxColour(255, 0, 0) : count->GetDefaultAttributes().colFg);
            count->Refresh();
            m_shownCountRed = red;
        }
    }
}

void CTegamiyaView::SettingsSaveFailed()
{
    FormErrorBox(this, Sjis("設定値を保存できません。"));
}

// ---------------------------------------------------------------- carriers

std::vector<std::string> CTegamiyaView::CarrierNames() const
{
    std::vector<std::string> names;
    if (CarrierCombo)
        for (unsigned i = 0; i < CarrierCombo->GetCount(); ++i)
            names.push_back(FromWx(CarrierCombo->GetString(i)));
    return names;
}

bool CTegamiyaView::SelectCarrierByPrefix(const std::string &prefix)
{
    auto index = FindPrefixNoCase(CarrierNames(), prefix);
    if (!index)
        return false;
    CarrierCombo->SetSelection(static_cast<int>(*index));
    return true;
}

bool CTegamiyaView::SetUpCarriers()
{
    ProfileFile ini(m_strIniPath);
    // The mail-domain keys; written with their defaults at first run.
    m_mailAddressKeys = KeyListWithin(ini.GetKeys(kMailDomainSection), 2048);
    if (m_mailAddressKeys.empty()) {
        std::vector<ProfileFile::Entry> entries;
        for (const MailDomainDefault &d : kDefaultMailDomains)
            entries.push_back({kMailDomainSection, d.key, d.carrier});
        ini.WriteStrings(entries);
        m_mailAddressKeys = KeyListWithin(ini.GetKeys(kMailDomainSection), 2048);
    }
    // The carriers and their limits; written with their defaults at first run.
    if (KeyListWithin(ini.GetKeys(kCarrierSection), 1024).empty()) {
        std::vector<ProfileFile::Entry> entries;
        for (const CarrierDefault &c : kDefaultCarriers)
            entries.push_back({kCarrierSection, c.name, c.limit});
        ini.WriteStrings(entries);
    }
    for (const std::string &name : KeyListWithin(ini.GetKeys(kCarrierSection, kDefaultCarrierName), 1024))
        if (CarrierCombo)
            CarrierCombo->Append(ToWx(name));
    // The saved carrier.
    std::string saved = ini.GetString("Default", "Vender", kDefaultCarrierName, 1024);
    if (!SelectCarrierByPrefix(saved)) {
        FormErrorBox(this, Sjis("保存されている設定をを取得できません。"));
        return false;
    }
    // A limit below 2 cannot count or cut mails: such a value counts as
    // missing.
    auto limit = ParseCarrierLimit(ini.GetString(kCarrierSection, saved, "", 0));
    m_nLimit = limit ? *limit : kFallbackLimit;
    return true;
}

void CTegamiyaView::OnSelchangeKeitaiVender()
{
    std::string name;
    if (CarrierCombo && CarrierCombo->GetSelection() != wxNOT_FOUND)
        name = FromWx(CarrierCombo->GetStringSelection());
    ProfileFile ini(m_strIniPath);
    auto limit = ParseCarrierLimit(ini.GetString(kCarrierSection, name, "", 20));
    if (!limit) {
        FormErrorBox(this, Sjis("送信可能文字数を取得できません。"));
        return;
    }
    m_nLimit = *limit;
    UpdateData(false);
    OnChangeMailBody();
    if (!ini.WriteString("Default", "Vender", name))
        FormErrorBox(this, Sjis("ベンダを保存できません。"));
}

void CTegamiyaView::SelectCarrierByAddress(const std::string &recipient)
{
    std::string t = recipient;
    if (IsMailAddressPiece(t)) {
        m_strRecipAddress = t;
        m_strRecipAddressFor = recipient;
    } else if (g_mapi.MAPIResolveName) {
        // A name from the address book: its address decides. An address
        // never carries over from an earlier recipient.
        m_strRecipAddress.clear();
        m_strRecipAddressFor.clear();
        // A name the address book put between quotes goes without them.
        std::string name = RecipientName(t);
        lpMapiRecipDesc entry = nullptr;
        ULONG rc = g_mapi.MAPIResolveName(g_mapi.session, 0, name.data(), 0, 0, &entry);
        if (rc == SUCCESS_SUCCESS && entry) {
            const char *address = entry->lpszAddress;
            std::string copy = address ? address : "";
            g_mapi.MAPIFreeBuffer(entry);
            if (!address) {
                // A group of the address book resolves without an address.
                AppMessageBox(Sjis("MAPIResolveName API のバグでグループアドレスは解決できません。m(__)m  "), MB_OK);
                return;
            }
            if (!copy.empty())
                t = copy;
            m_strRecipAddress = copy;
            m_strRecipAddressFor = recipient;
        }
    }
    std::string carrier;
    if (auto domain = MailDomainOf(t)) {
        if (auto key = FindMailDomainKey(m_mailAddressKeys, *domain))
            carrier = ProfileFile(m_strIniPath).GetString(kMailDomainSection, m_mailAddressKeys[*key], "", 24);
    }
    if (carrier.empty())
        carrier = kFallbackCarrierName;
    if (!SelectCarrierByPrefix(carrier)) {
        FormErrorBox(this, Sjis("携帯キャリアを設定できません。"));
        return;
    }
    OnSelchangeKeitaiVender();
}

void CTegamiyaView::ApplyRecipientWidth(const std::string &recipient)
{
    ProfileFile ini(m_strIniPath);
    int w = ini.GetInt("Display Width", recipient, 12);
    if (w == 0)
        w = ini.GetInt("Default", "Display Width", 12);
    SetWidthSpinPos(w);
    OnChangeWidthChar();
}

void CTegamiyaView::OnSelchangeMailTo()
{
    std::string r = m_pMailTo ? FromWx(m_pMailTo->GetStringSelection()) : std::string();
    SelectCarrierByAddress(r);
    ShowRecipientPicture(r);
    ApplyRecipientWidth(r);
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_ATTACHED_PICTURE))
        radio->SetValue(false);
    if (auto *radio = Ctl<wxRadioButton>(this, IDC_RECIPIENT_PICTURE))
        radio->SetValue(true);
}

// ---------------------------------------------------------------- counting

void CTegamiyaView::OnChangeMailBody()
{
    if (!m_pBody)
        return;
    m_strBody = m_pBody->GetTextBytes();
    m_nBodyBytes = static_cast<int>(m_strBody.size());
    m_nCount = FullWidthCount(m_strBody.size());
    // As many mails as sending will cut the body into.
    m_nMails = CountSplitMails(m_strBody, m_nLimit);
    UpdateData(false);
    ColorPictograph(m_pBody, m_strBody);
}

void CTegamiyaView::OnChangeSubject()
{
    if (m_pSubject)
        ColorPictograph(m_pSubject, m_pSubject->GetTextBytes());
}

void CTegamiyaView::ColorPictograph(CRichEdit *field, const std::string &text)
{
    long start = 0, end = 0;
    field->GetSel(start, end);
    CaretColouring plan = PlanCaretColouring(text, static_cast<size_t>(start), static_cast<size_t>(end));
    if (plan.untouched)
        return;
    if (plan.colour)
        field->SetCharColour(static_cast<long>(plan.colourFrom), static_cast<long>(plan.colourTo),
                             wxColour(plan.colour->r, plan.colour->g, plan.colour->b));
    field->SetCharColour(static_cast<long>(plan.blackFrom), static_cast<long>(plan.blackTo),
                         wxColour(0, 0, 0));
}

// ---------------------------------------------------- display width, options

void CTegamiyaView::SetWidthSpinPos(int pos)
{
    if (!m_pWidthSpin)
        return;
    m_pWidthSpin->SetValue(pos);
    if (m_pWidthEdit)
        m_pWidthEdit->ChangeValue(wxString::Format("%d", m_pWidthSpin->GetValue()));
}

void CTegamiyaView::EnableWidthControls(bool enable)
{
    if (m_pWidthEdit)
        m_pWidthEdit->Enable(enable);
    if (m_pWidthSpin)
        m_pWidthSpin->Enable(enable);
}

void CTegamiyaView::OnChangeWidthChar()
{
    if (!m_pBody)
        return;
    wxRect r = m_pBody->GetRect();
    m_rcBody.x = r.x;
    m_rcBody.y = r.y;
    m_rcBody.height = r.height;
    // The width of one half-width character of the form's font.
    wxClientDC dc(this);
    dc.SetFont(GetFont());
    wxCoord textWidth = 0, textHeight = 0;
    dc.GetTextExtent("1234567890ABCDEFGHIJ", &textWidth, &textHeight);
    int a = textWidth / 20;
    int s = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    if (!m_pWidthSpin)
        return;
    int n = m_bEnableWidth ? m_pWidthSpin->GetValue() : m_pWidthSpin->GetMax();
    m_rcBody.width = 2 * n * a + s + 8;
    m_pBody->SetSize(m_rcBody);
    m_pBody->Refresh();
    if (m_pPicture)
        m_pPicture->Refresh();
    // While the up-down control is held the width is still moving: it is
    // written once it settles, not at every step.
    if (m_bEnableWidth && !m_pWidthSpin->IsHeld() &&
        !ProfileFile(m_strIniPath).WriteString("Default", "Display Width", std::to_string(n)))
        SettingsSaveFailed();
}

void CTegamiyaView::OnEnableWidth()
{
    UpdateData(true);
    EnableWidthControls(m_bEnableWidth);
    OnChangeWidthChar();
    if (!ProfileFile(m_strIniPath).WriteString("Default", "Enable Width", m_bEnableWidth ? "ON" : "OFF"))
        SettingsSaveFailed();
}

void CTegamiyaView::OnOeStart()
{
    auto *check = Ctl<wxCheckBox>(this, IDC_OE_START);
    m_strOeStart = check && check->GetValue() ? "Yes" : "No";
    if (!ProfileFile(m_strIniPath).WriteString("Default", "OE Start", m_strOeStart))
        SettingsSaveFailed();
}

void CTegamiyaView::OnCloseOnSend()
{
    m_bCloseOnSend = !m_bCloseOnSend;
    if (!ProfileFile(m_strIniPath).WriteString("Default", "CloseOnSend", m_bCloseOnSend ? "Yes" : "No"))
        SettingsSaveFailed();
}

// ------------------------------------------------------------ start-up file

bool CTegamiyaView::LoadStartupFile(bool &tookPicture)
{
    tookPicture = false;
    CTegamiyaApp *app = TheApp();
    std::string path = app ? app->CommandLineFile() : std::string();
    if (path.empty())
        return true;
    // A mail link fills the form; one that cannot be read leaves it empty.
    if (IsMailLink(path)) {
        FillFormFromMailLink(*this, path);
        return true;
    }
    std::erase(path, '"');
    // The desktop names files as file links to a program that takes links.
    if (std::optional<std::string> file = PathFromFileLink(path))
        path = *file;
    if (ClassifyDroppedFile(path) == DropKind::Shortcut) {
        std::string target;
        ResolveShortcut(path, target);
        path = target;
    }
    DropKind kind = ClassifyDroppedFile(path);
    if (kind == DropKind::Text) {
        std::string body;
        switch (ReadBodyTextFile(path, body)) {
        case TextFileResult::OpenError:
            AppMessageBox(Sjis("ドロップしたファイルのオープンエラー。"));
            return false;
        case TextFileResult::ReadError:
            AppMessageBox(Sjis("ドロップしたファイルのリードエラー。"));
            return false;
        case TextFileResult::Ok:
            break;
        }
        if (m_pBody)
            m_pBody->SetTextBytes(body);
        OnChangeMailBody();
        return true;
    }
    if (kind == DropKind::Picture) {
        if (!AttachPicture(path))
            return false;
        tookPicture = true;
        return true;
    }
    AppMessageBox(Sjis("テキスト(.txt)、JPEG(.jpg, .jpeg) ファイル以外のファイルはドロップできません。"));
    return false;
}

// ------------------------------------------------- history, shortcuts

