#include "app/about_dlg.h"

#include "app/resources_wx.h"

#include <wx/artprov.h>
#include <wx/statbmp.h>
#include <wx/xrc/xmlres.h>

CAboutDlg::CAboutDlg(wxWindow *parent)
{
    // The font must be in place before loading: the template's dialog units
    // are measured with it.
    SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false,
                   "IPAPGothic"));
    LoadXrcResource("tegamiya.xrc");
    wxXmlResource::Get()->LoadDialog(this, parent, "100");
    SetAffirmativeId(1);
    SetEscapeId(1);
    if (auto *icon = dynamic_cast<wxStaticBitmap *>(FindWindow(128)))
        icon->SetBitmap(LoadPngResource("tegamiya.png"));
    CentreOnParent();
}
