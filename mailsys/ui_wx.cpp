// The dialogs of the mail system, on wxWidgets. They work inside a wx
// program (the usual case: the caller's wxApp runs) and start wx themselves
// in a program without it.
#include "ui.h"
#include "account_dialog.h"
#include "keyring.h"
#include "ui_text.h"
#include "ui_common.h"
#include "text_util.h"

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/msgdlg.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/srchctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include <glib.h>

namespace mailsys {

namespace {

// Makes sure wx runs. In a wx program that is the caller's application;
// otherwise wx is started once for the life of the process.
bool EnsureWx()
{
    if (wxTheApp)
        return wxTheApp->IsGUI();  // a console wx program has no windows to offer
    static bool tried = false, ok = false;
    if (tried)
        return ok;
    tried = true;
    static int argc = 1;
    static char name[] = "mapi32";
    static char *argv[] = {name, nullptr};
    // Without an application object wx would start as a console program.
    if (!wxApp::GetInstance())
        wxApp::SetInstance(new wxApp);
    ok = wxEntryStart(argc, argv);
    if (ok && wxTheApp)
        wxTheApp->SetExitOnFrameDelete(false);
    return ok;
}

// The wx window behind the caller's GtkWindow*, if the caller is a wx
// program and the window is one of its top-level windows.
wxWindow *FindWxParent(uintptr_t handle)
{
    if (!handle)
        return nullptr;
    for (wxWindow *w : wxTopLevelWindows)
        if (reinterpret_cast<uintptr_t>(w->GetHandle()) == handle)
            return w;
    return nullptr;
}

// Keeps the dialog above the caller's window when that window is not a wx
// one. The handle is only used when GTK knows it as a top-level window.
void SetNativeParent(wxDialog &dialog, uintptr_t handle)
{
    if (!handle || FindWxParent(handle))
        return;
    GList *tops = gtk_window_list_toplevels();
    bool known = g_list_find(tops, reinterpret_cast<gpointer>(handle)) != nullptr;
    g_list_free(tops);
    if (known && dialog.GetHandle())
        gtk_window_set_transient_for(GTK_WINDOW(dialog.GetHandle()), reinterpret_cast<GtkWindow *>(handle));
}

const char *const kWellNames[] = {"To", "Cc", "Bcc"};


// The list of contacts: a virtual list that asks for the text of the rows
// it shows, so a search that matches tens of thousands of contacts costs
// no more than the rows on screen.
class ContactList : public wxListCtrl {
public:
    ContactList(wxWindow *parent, const AddressBook &book, const std::vector<size_t> &shown)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(360, 300), wxLC_REPORT | wxLC_VIRTUAL,
                     wxDefaultValidator, "contacts"),
          m_book(book), m_shown(shown)
    {
    }
    wxString group;  // what a group shows instead of an address

private:
    wxString OnGetItemText(long item, long column) const override
    {
        if (item < 0 || static_cast<size_t>(item) >= m_shown.size())
            return wxString();
        const Contact &c = m_book.Contacts()[m_shown[static_cast<size_t>(item)]];
        if (column == 0)
            return U(c.display_name);
        return c.is_group ? group : U(c.emails.empty() ? "" : c.emails.front());
    }

    const AddressBook &m_book;
    const std::vector<size_t> &m_shown;
};

// Address book dialog: a searchable list of contacts and one or three
// wells of chosen recipients.
class AddressDialog : public wxDialog {
public:
    AddressDialog(wxWindow *parent, const wxString &caption, int wells, const std::string &label,
                  const AddressBook &book, const std::vector<AddressEntry> &preset, const UiText &T)
        : wxDialog(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          m_book(book)
    {
        auto *top = new wxBoxSizer(wxVERTICAL);
        auto *row = new wxBoxSizer(wxHORIZONTAL);

        auto *left = new wxBoxSizer(wxVERTICAL);
        m_search = new wxSearchCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(260, -1), 0,
                                    wxDefaultValidator, "search");
        m_search->ShowCancelButton(true);
        m_search->SetDescriptiveText(T("Search names and addresses"));
        left->Add(m_search, 0, wxEXPAND | wxBOTTOM, 6);
        m_list = new ContactList(this, m_book, m_shown);
        m_list->AppendColumn(T("Name"), wxLIST_FORMAT_LEFT, 170);
        m_list->AppendColumn(T("Address"), wxLIST_FORMAT_LEFT, 180);
        left->Add(m_list, 1, wxEXPAND);
        row->Add(left, 1, wxEXPAND | wxALL, 10);

        if (wells > 0) {
            auto *right = new wxFlexGridSizer(2, 6, 6);
            right->AddGrowableCol(1);
            for (int i = 0; i < wells; ++i) {
                right->AddGrowableRow(i);
                wxString text = wells == 1 && !label.empty() ? U(label) : T(kWellNames[i]);
                auto *add = new wxButton(this, wxID_ANY, text + " ->", wxDefaultPosition, wxDefaultSize, 0,
                                         wxDefaultValidator, wxString::Format("add%d", i));
                add->Bind(wxEVT_BUTTON, [this, i](wxCommandEvent &) { AddSelected(i); });
                right->Add(add, 0, wxALIGN_TOP);
                auto *well = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(240, wells == 1 ? 300 : 90),
                                           0, nullptr, wxLB_EXTENDED, wxDefaultValidator,
                                           wxString::Format("well%d", i));
                well->Bind(wxEVT_LISTBOX_DCLICK, [this, i](wxCommandEvent &) { RemoveSelected(i); });
                well->Bind(wxEVT_KEY_DOWN, [this, i](wxKeyEvent &e) {
                    if (e.GetKeyCode() == WXK_DELETE || e.GetKeyCode() == WXK_BACK)
                        RemoveSelected(i);
                    else
                        e.Skip();
                });
                right->Add(well, 1, wxEXPAND);
                m_wells.push_back(well);
                m_entries.emplace_back();
            }
            right->AddSpacer(0);
            auto *remove = new wxButton(this, wxID_ANY, T("Remove"), wxDefaultPosition, wxDefaultSize, 0,
                                        wxDefaultValidator, "remove");
            remove->Bind(wxEVT_BUTTON, [this](wxCommandEvent &) {
                for (size_t i = 0; i < m_wells.size(); ++i)
                    RemoveSelected(static_cast<int>(i));
            });
            right->Add(remove, 0, wxALIGN_LEFT);
            row->Add(right, 1, wxEXPAND | wxTOP | wxBOTTOM | wxRIGHT, 10);
        }
        top->Add(row, 1, wxEXPAND);
        top->Add(Buttons(this, T), 0, wxEXPAND | wxALL, 10);
        SetSizerAndFit(top);
        m_list->group = T("(group)");

        for (const auto &e : preset) {
            int well = e.recip_class == 2 ? 1 : e.recip_class == 3 ? 2 : 0;
            if (well < static_cast<int>(m_wells.size()))
                AddEntry(well, e);
        }
        m_search->Bind(wxEVT_TEXT, [this](wxCommandEvent &) { Fill(); });
        m_search->Bind(wxEVT_SEARCHCTRL_CANCEL_BTN, [this](wxCommandEvent &) {
            m_search->Clear();
            Fill();
        });
        m_search->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent &) {
            if (!m_wells.empty())
                AddSelected(0);
        });
        m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent &) {
            if (!m_wells.empty())
                AddSelected(0);
        });
        Fill();
        m_search->SetFocus();
        CentreOnParent();
    }

    std::vector<AddressEntry> Chosen() const
    {
        std::vector<AddressEntry> all;
        for (const auto &well : m_entries)
            all.insert(all.end(), well.begin(), well.end());
        return all;
    }

private:
    // Shows the contacts whose name or address contains the search text.
    // The book compares forms it made once; the list only learns how many
    // rows there are.
    void Fill()
    {
        std::vector<size_t> shown = m_book.Search(S(m_search->GetValue()));
        bool same = shown == m_shown && m_list->GetItemCount() == static_cast<long>(m_shown.size());
        if (!same) {
            m_shown = std::move(shown);
            m_list->SetItemState(-1, 0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            m_list->SetItemCount(static_cast<long>(m_shown.size()));
            m_list->Refresh();
        }
        if (!m_shown.empty() && (!same || m_list->GetSelectedItemCount() == 0))
            m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }

    void AddEntry(int well, const AddressEntry &e)
    {
        AddressEntry entry = e;
        entry.recip_class = static_cast<unsigned>(well + 1);
        for (const auto &have : m_entries[well])
            if (have.name == entry.name && have.address == entry.address)
                return;
        wxString text = U(entry.name);
        if (!entry.address.empty() && entry.address != entry.name)
            text += " <" + U(entry.address) + ">";
        m_wells[well]->Append(text);
        m_entries[well].push_back(entry);
    }

    // Adds the selected contacts to a well; with none selected, a typed
    // address in the search field is taken as it is.
    void AddSelected(int well)
    {
        bool any = false;
        for (long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row != -1;
             row = m_list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
            const Contact &c = m_book.Contacts()[m_shown[static_cast<size_t>(row)]];
            AddEntry(well, {0, c.display_name, c.is_group || c.emails.empty() ? "" : c.emails.front()});
            any = true;
        }
        std::string typed = Trim(S(m_search->GetValue()));
        if (!any && IsPlainAddress(typed)) {
            AddEntry(well, {0, typed, typed});
            m_search->Clear();
        }
    }

    void RemoveSelected(int well)
    {
        wxArrayInt sel;
        m_wells[well]->GetSelections(sel);
        for (size_t k = sel.size(); k-- > 0;) {
            m_wells[well]->Delete(static_cast<unsigned>(sel[k]));
            m_entries[well].erase(m_entries[well].begin() + sel[k]);
        }
    }

    const AddressBook &m_book;
    std::vector<size_t> m_shown;  // contact index of each list row
    wxSearchCtrl *m_search;
    ContactList *m_list;
    std::vector<wxListBox *> m_wells;
    std::vector<std::vector<AddressEntry>> m_entries;
};

}  // namespace

DialogResult RunLogonDialog(uintptr_t parent, Profile *profile, std::string *password)
{
    if (!EnsureWx())
        return DialogResult::Unavailable;
    UiText text;
    AccountDialog dialog(FindWxParent(parent), *profile, AccountDialog::Mode::FirstLogon, KeyringAvailable(), false,
                         text);
    SetNativeParent(dialog, parent);
    if (dialog.ShowModal() != wxID_OK)
        return DialogResult::Cancelled;
    *profile = dialog.Result();
    *password = dialog.Password();
    return DialogResult::Ok;
}

void ShowProfileRefusal(uintptr_t parent, const std::string &message)
{
    if (!EnsureWx())
        return;
    UiText text;
    wxMessageDialog dialog(FindWxParent(parent),
                           text("The mail settings cannot be used until this line is mended:") + "\n\n" +
                               wxString::FromUTF8(message),
                           text("Mail system"), wxOK | wxICON_ERROR);
    dialog.SetOKLabel(text("OK"));
    dialog.ShowModal();
}

DialogResult RunPasswordDialog(uintptr_t parent, const Profile &profile, bool keyring, std::string *password)
{
    if (!EnsureWx())
        return DialogResult::Unavailable;
    UiText text;
    PasswordDialog dialog(FindWxParent(parent), profile, keyring, text);
    SetNativeParent(dialog, parent);
    if (dialog.ShowModal() != wxID_OK)
        return DialogResult::Cancelled;
    *password = dialog.Password();
    return DialogResult::Ok;
}

DialogResult RunAddressDialog(uintptr_t parent, const std::string &caption, int wells, const std::string &label,
                              const AddressBook &book, const std::vector<AddressEntry> &preset,
                              std::vector<AddressEntry> *chosen)
{
    if (!EnsureWx())
        return DialogResult::Unavailable;
    UiText text;
    AddressDialog dialog(FindWxParent(parent), caption.empty() ? text("Address Book") : U(caption), wells,
                         label, book, preset, text);
    SetNativeParent(dialog, parent);
    if (dialog.ShowModal() != wxID_OK)
        return DialogResult::Cancelled;
    *chosen = dialog.Chosen();
    return DialogResult::Ok;
}

}  // namespace mailsys
