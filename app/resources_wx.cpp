#include "app/resources_wx.h"

#include "res/resources.h"

#include <wx/filesys.h>
#include <wx/fs_mem.h>
#include <wx/iconbndl.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/xrc/xmlres.h>

#include <set>

bool LoadXrcResource(const std::string &name)
{
    static std::set<std::string> loaded;
    if (loaded.count(name))
        return true;
    std::string_view data = res::Find(name);
    if (data.empty())
        return false;
    static bool handler = false;
    if (!handler) {
        wxFileSystem::AddHandler(new wxMemoryFSHandler);
        wxXmlResource::Get()->InitAllHandlers();
        handler = true;
    }
    wxString file = "tegamiya-res-" + wxString::FromUTF8(name);
    wxMemoryFSHandler::AddFile(file, data.data(), data.size());
    if (!wxXmlResource::Get()->Load("memory:" + file))
        return false;
    loaded.insert(name);
    return true;
}

wxBitmap LoadPngResource(const std::string &name)
{
    std::string_view data = res::Find(name);
    if (data.empty())
        return wxBitmap();
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxMemoryInputStream in(data.data(), data.size());
    wxImage img(in, wxBITMAP_TYPE_PNG);
    return img.IsOk() ? wxBitmap(img) : wxBitmap();
}

wxIconBundle ProgramIcons()
{
    wxIconBundle icons;
    for (const char *n : {"tegamiya-16.png", "tegamiya.png", "tegamiya-48.png"}) {
        wxBitmap bmp = LoadPngResource(n);
        if (bmp.IsOk()) {
            wxIcon icon;
            icon.CopyFromBitmap(bmp);
            icons.AddIcon(icon);
        }
    }
    return icons;
}
