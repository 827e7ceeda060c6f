// The compose form's editing commands, its right-button menu and the files
// dropped on it.
#include "app/main_frame.h"
#include "app/main_menu.h"
#include "app/profile.h"
#include "app/ui_seam.h"
#include "app/wx_ui.h"
#include "compose/editing.h"
#include "compose/field_text.h"
#include "compose/rich_edit.h"
#include "compose/shortcut.h"
#include "compose/tegamiya_view.h"
#include "compose/text_file.h"
#include "compose/up_down.h"

#include <gtk/gtk.h>
#include <wx/checkbox.h>
#include <wx/clipbrd.h>
#include <wx/combobox.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

#include <memory>

namespace {

enum : int {
    IDC_CC = 1011,
    IDC_BCC = 1016,
    IDC_ENABLE_WIDTH = 1018,
    IDC_WIDTH = 1019,
    IDC_MAIL_TO = 1035,
    ID_CLEAR = 1124,
};

// Whether the clipboard holds text, kept from the clipboard's change
// notices: asking the clipboard itself waits for its owner, which the
// toolbar's enabling must not do after every key.
bool g_clipboardText = false;

void OnClipboardTargets(GtkClipboard *, GdkAtom *atoms, gint count, gpointer)
{
    g_clipboardText = atoms && gtk_targets_include_text(atoms, count);
}

void OnClipboardOwnerChange(GtkClipboard *clipboard, GdkEvent *, gpointer)
{
    gtk_clipboard_request_targets(clipboard, OnClipboardTargets, nullptr);
}

void WatchClipboard()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;
    GtkClipboard *clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    g_signal_connect(clipboard, "owner-change", G_CALLBACK(OnClipboardOwnerChange), nullptr);
    gtk_clipboard_request_targets(clipboard, OnClipboardTargets, nullptr);
}

// Files dropped on the form or on one of its fields go to the form; without
// it a field would take the dropped file's address as text.
class CFormDropTarget : public wxFileDropTarget {
public:
    explicit CFormDropTarget(CTegamiyaView *view)
        : m_view(view)
    {
    }
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString &files) override
    {
        std::vector<std::string> paths;
        for (const wxString &f : files)
            paths.emplace_back(f.fn_str());
        // After the drop has finished: the drop may show a message box.
        m_view->CallAfter([view = m_view, paths] { view->OnDropFiles(paths); });
        return true;
    }

private:
    CTegamiyaView *m_view;
};

// The menu key (or Shift+F10) on a field shows our menu at the caret. wx
// turns GTK's "popup-menu" key binding into a context-menu event without a
// position, so that is where the keyboard's request arrives.
void ShowEditMenuAtCaret(CTegamiyaView *view, CRichEdit *field)
{
    long from = 0, to = 0;
    field->GetSelection(&from, &to);
    wxPoint at = field->PositionToCoords(to);
    if (at == wxDefaultPosition)
        at = wxPoint(0, 0);
    view->ShowEditMenu(field->ClientToScreen(at));
}

// Pasted text's line breaks as the body keeps them: a lone CR is a line
// break too.
std::string ClipboardTextCp932(bool &available)
{
    available = false;
    wxString text;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data)) {
            text = data.GetText();
            available = true;
        }
        wxTheClipboard->Close();
    }
    text.Replace("\r\n", "\n");
    text.Replace("\r", "\n");
    text.Replace("\n", "\r\n");
    return FromWx(text);
}

// The field whose right-button menu is open: the menu's commands arrive
// while GTK's menu holds the focus, and paste must still go to that field.
wxWindow *g_menuField = nullptr;

bool HasSelection(const wxTextCtrl *field)
{
    long from = 0, to = 0;
    field->GetSelection(&from, &to);
    return from != to;
}

} // namespace

void CTegamiyaView::BindEditingHandlers()
{
    WatchClipboard();
    // The subject is one line, also for the middle button's paste and for
    // dragged text.
    KeepEnteredTextToOneLine(m_pSubject);
    struct Command {
        int id;
        void (CTegamiyaView::*handler)();
        std::function<bool(const CTegamiyaView *)> enabled;
    };
    const Command commands[] = {
        {ID_EDIT_CUT, &CTegamiyaView::OnEditCut,
         [](const CTegamiyaView *v) { return v->TargetField() && HasSelection(v->TargetField()); }},
        {ID_EDIT_COPY, &CTegamiyaView::OnEditCopy,
         [](const CTegamiyaView *v) { return v->TargetField() && HasSelection(v->TargetField()); }},
        {ID_EDIT_PASTE, &CTegamiyaView::OnEditPaste, [](const CTegamiyaView *) { return ClipboardHasText(); }},
        // Undo and select-all follow the body whatever the target.
        {ID_EDIT_UNDO, &CTegamiyaView::OnEditUndo,
         [](const CTegamiyaView *v) { return v->m_pBody && v->m_pBody->CanUndoEdit(); }},
        {ID_EDIT_SELECT_ALL, &CTegamiyaView::OnEditSelectAll,
         [](const CTegamiyaView *v) { return v->m_pBody && !v->m_pBody->IsEmpty(); }},
        {ID_EDIT_STRIP_BLANKS, &CTegamiyaView::OnEditDeleteBlanks,
         [](const CTegamiyaView *v) { return v->m_pBody && HasSelection(v->m_pBody); }},
        {ID_CLEAR, &CTegamiyaView::OnClear, [](const CTegamiyaView *) { return true; }},
    };
    for (const Command &c : commands) {
        Bind(wxEVT_MENU, [this, h = c.handler](wxCommandEvent &) { (this->*h)(); }, c.id);
        Bind(wxEVT_UPDATE_UI, [this, e = c.enabled](wxUpdateUIEvent &ev) { ev.Enable(e(this)); }, c.id);
        RegisterCommandHandler(c.id);
    }

    // Files dropped anywhere on the form, its fields included.
    SetDropTarget(new CFormDropTarget(this));
    for (wxWindow *child : GetChildren())
        if (dynamic_cast<wxTextCtrl *>(child) || dynamic_cast<wxComboBox *>(child))
            child->SetDropTarget(new CFormDropTarget(this));

    // Ctrl+A in a one-line box (To, CC, BCC) selects that box's own text,
    // as in every text box of the desktop. The key's hook event passes the
    // form before the main window's accelerators are looked up; from
    // everywhere else the accelerator (and the menu's select-all from
    // anywhere) acts on the target field.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent &e) {
        if (e.GetModifiers() == wxMOD_CONTROL && e.GetKeyCode() == 'A') {
            wxWindow *focus = FindFocus();
            for (int id : {IDC_MAIL_TO, IDC_CC, IDC_BCC}) {
                wxWindow *w = FindWindow(id);
                auto *entry = dynamic_cast<wxTextEntry *>(w);
                if (entry && focus && (focus == w || focus->GetParent() == w)) {
                    entry->SelectAll();
                    return;
                }
            }
        }
        e.Skip();
    });

    // The right-button menu of the subject and the body in place of GTK's
    // own. The press only takes the focus (GTK would open its menu on it);
    // the menu opens on the release, which then cannot close it at once.
    for (CRichEdit *field : {static_cast<CRichEdit *>(m_pSubject), static_cast<CRichEdit *>(m_pBody)}) {
        if (!field)
            continue;
        field->Bind(wxEVT_RIGHT_DOWN, [field](wxMouseEvent &) { field->SetFocus(); });
        field->Bind(wxEVT_RIGHT_UP, [this, field](wxMouseEvent &e) {
            ShowEditMenu(field->ClientToScreen(e.GetPosition()));
        });
        // The keyboard's request (no position): our menu at the caret. A
        // request from the mouse is the right button's, answered above; the
        // event is never passed on, so GTK's own menu never opens.
        field->Bind(wxEVT_CONTEXT_MENU, [this, field](wxContextMenuEvent &e) {
            if (e.GetPosition() == wxDefaultPosition)
                ShowEditMenuAtCaret(this, field);
        });
    }
}

CRichEdit *CTegamiyaView::TargetField() const
{
    if (g_bSubjectFocus)
        return m_pSubject;
    return m_pBody;
}

bool CTegamiyaView::ClipboardHasText()
{
    return g_clipboardText;
}

void CTegamiyaView::ShowEditMenu(const wxPoint &screenPos)
{
    std::unique_ptr<wxMenu> menu(CreateEditPopupMenu());
    // Its items enabled by the commands' rules, through the main window.
    menu->UpdateUI(m_pFrame->GetEventHandler());
    g_menuField = FindFocus();
    m_pFrame->PopupMenu(menu.get(), m_pFrame->ScreenToClient(screenPos));
    g_menuField = nullptr;
}

void CTegamiyaView::OnEditCut()
{
    if (CRichEdit *field = TargetField()) {
        field->Cut();
        field->SetFocus();
    }
}

void CTegamiyaView::OnEditCopy()
{
    if (CRichEdit *field = TargetField()) {
        field->Copy();
        field->SetFocus();
    }
}

void CTegamiyaView::OnEditUndo()
{
    if (CRichEdit *field = TargetField()) {
        field->UndoEdit();
        field->SetFocus();
    }
}

void CTegamiyaView::OnEditSelectAll()
{
    if (CRichEdit *field = TargetField()) {
        field->SetSel(0, -1);
        field->SetFocus();
    }
}

void CTegamiyaView::OnEditPaste()
{
    // Into the address field or the subject that has the keyboard focus
    // (from a field's own menu: that field).
    wxWindow *focus = g_menuField ? g_menuField : FindFocus();
    for (int id : {IDC_MAIL_TO, IDC_CC, IDC_BCC}) {
        wxWindow *w = FindWindow(id);
        if (w && focus && (focus == w || focus->GetParent() == w)) {
            if (auto *entry = dynamic_cast<wxTextEntry *>(w))
                entry->Paste();
            return;
        }
    }
    if (m_pSubject && focus == m_pSubject) {
        m_pSubject->Paste();
        return;
    }
    if (!m_pBody)
        return;
    bool available = false;
    std::string text = ClipboardTextCp932(available);
    if (!available)
        return;
    m_pBody->ReplaceSel(text, true);
    m_pBody->SetFocus();
    // The text beyond what one mail holds twice over turns red; otherwise
    // the text typed next takes the automatic colour.
    long start = 0, end = 0;
    m_pBody->GetSel(start, end);
    long length = m_pBody->GetTextLengthBytes();
    if (std::optional<long> red = PasteRedFrom(length, m_nLimit))
        m_pBody->SetCharColour(*red, length, wxColour(255, 0, 0));
    else
        m_pBody->SetCharColour(start, end, wxColour());
    m_pBody->SetSel(start, end);
}

void CTegamiyaView::OnEditDeleteBlanks()
{
    if (!m_pBody)
        return;
    // The clipboard keeps the selection as it was.
    m_pBody->Copy();
    m_pBody->SetFocus();
    long start = 0, end = 0;
    m_pBody->GetSel(start, end);
    std::string selected = m_pBody->GetTextBytes().substr(start, end - start);
    m_pBody->ReplaceSel(DeleteBlanks(selected), true);
}

void CTegamiyaView::OnClear()
{
    if (m_pBody)
        m_pBody->SetTextBytes("");
    OnChangeMailBody();
}

bool CTegamiyaView::ResolveShortcut(const std::string &link, std::string &target)
{
    return ResolveShortcutFile(link, target);
}

void CTegamiyaView::OnDropFiles(const std::vector<std::string> &paths)
{
    DropPlan plan = PlanDrop(paths);
    if (plan.failed) {
        AppMessageBox(Sjis("ファイルのドロップに失敗しました。"));
        return;
    }
    std::string path = plan.path;
    if (plan.kind == DropKind::Shortcut) {
        std::string target;
        ResolveShortcut(path, target);
        path = target;
    }
    switch (ClassifyDroppedFile(path)) {
    case DropKind::Text: {
        std::string body;
        switch (ReadBodyTextFile(path, body)) {
        case TextFileResult::OpenError:
            AppMessageBox(Sjis("ドロップしたファイルのオープンエラー。"));
            return;
        case TextFileResult::ReadError:
            AppMessageBox(Sjis("ドロップしたファイルのリードエラー。"));
            return;
        case TextFileResult::Ok:
            break;
        }
        if (m_pBody)
            m_pBody->SetTextBytes(body);
        OnChangeMailBody();
        // The width follows the stored switch.
        std::string enable = ProfileFile(m_strIniPath).GetString("Default", "Enable Width", "ON", 20);
        m_bEnableWidth = enable == "ON";
        if (auto *check = dynamic_cast<wxCheckBox *>(FindWindow(IDC_ENABLE_WIDTH)))
            check->SetValue(m_bEnableWidth);
        if (wxWindow *w = FindWindow(IDC_WIDTH))
            w->Enable(m_bEnableWidth);
        if (m_pWidthSpin)
            m_pWidthSpin->Enable(m_bEnableWidth);
        OnChangeWidthChar();
        return;
    }
    case DropKind::Picture:
        AttachPicture(path);
        return;
    case DropKind::Shortcut:
    case DropKind::Other:
        break;
    }
    AppMessageBox(Sjis("テキスト(.txt)、JPG(.jpg, .jpeg) ファイル以外のファイルはドロップできません。"));
}
