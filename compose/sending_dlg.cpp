#include "compose/sending_dlg.h"

#include "app/resources_wx.h"

#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

int CSendingDlg::s_showMs = 1000;

namespace {
wxFont DialogFont()
{
    return wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, "IPAPGothic");
}
} // namespace

CSendingDlg::CSendingDlg(wxWindow *parent)
{
    // The font first: the template's dialog units are measured with it.
    SetFont(DialogFont());
    LoadXrcResource("sending_dialogs.xrc");
    wxXmlResource::Get()->LoadDialog(this, parent, "135");
    if (auto *icon = dynamic_cast<wxStaticBitmap *>(FindWindow(128)))
        icon->SetBitmap(LoadPngResource("tegamiya.png"));
    CentreOnParent();
}

CSendProgressDlg::CSendProgressDlg(wxWindow *parent, size_t total)
    : wxDialog(parent, wxID_ANY, "Tegamiya", wxDefaultPosition, wxDefaultSize, wxCAPTION),
      m_total(total)
{
    SetFont(DialogFont());
    auto *top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8("送信トレイにメールを送っています。")), 0,
             wxALL, 12);
    m_gauge = new wxGauge(this, wxID_ANY, static_cast<int>(total), wxDefaultPosition, wxSize(260, -1));
    top->Add(m_gauge, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    m_count = new wxStaticText(this, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, 0, "count");
    top->Add(m_count, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 12);
    SetSizerAndFit(top);
    ShowCurrent(1);
    CentreOnParent();
}

void CSendProgressDlg::ShowCurrent(size_t number)
{
    m_count->SetLabel(wxString::Format("%zu / %zu", number, m_total));
    Layout();
}

void CSendProgressDlg::PartSent(size_t done, size_t total)
{
    m_gauge->SetValue(static_cast<int>(done));
    if (done < total)
        ShowCurrent(done + 1);
    // GTK repaints a gauge only from the event loop; the caller's loop
    // runs it while the next mail is handed over.
    Refresh();
}

wxString CSendProgressDlg::CountText() const { return m_count->GetLabel(); }
