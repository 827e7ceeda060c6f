#include "emoji/hover_button.h"

#include "app/paths.h"
#include "app/wx_ui.h"
#include "emoji/emoji_table.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/settings.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

// ------------------------------------------------------------ COwnerDrawButton

wxIMPLEMENT_DYNAMIC_CLASS(COwnerDrawButton, wxControl);

COwnerDrawButton::COwnerDrawButton() { Init(); }

COwnerDrawButton::COwnerDrawButton(wxWindow *parent, wxWindowID id, const wxPoint &pos,
                                   const wxSize &size, long style, const wxString &name)
{
    Init();
    Create(parent, id, pos, size, style, name);
}

void COwnerDrawButton::Init()
{
    // Every pixel is drawn by the paint handler: no flicker from erasing.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
}

bool COwnerDrawButton::Create(wxWindow *parent, wxWindowID id, const wxPoint &pos,
                              const wxSize &size, long style, const wxString &name)
{
    if (!wxControl::Create(parent, id, pos, size, (style & ~wxBORDER_MASK) | wxBORDER_NONE,
                           wxDefaultValidator, name))
        return false;
    Bind(wxEVT_PAINT, &COwnerDrawButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &COwnerDrawButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &COwnerDrawButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &COwnerDrawButton::OnLeftUp, this);
    Bind(wxEVT_MOTION, &COwnerDrawButton::OnDragMotion, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &COwnerDrawButton::OnCaptureLost, this);
    Bind(wxEVT_KEY_DOWN, &COwnerDrawButton::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &COwnerDrawButton::OnKeyUp, this);
    return true;
}

void COwnerDrawButton::DrawItem(wxDC &, bool) {}

wxColour COwnerDrawButton::FaceColour() const
{
    return GetParent() ? GetParent()->GetBackgroundColour()
                       : wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
}

void COwnerDrawButton::OnPaint(wxPaintEvent &)
{
    // Nothing is erased: where DrawItem draws nothing, the face the button
    // stands on shows.
    wxPaintDC dc(this);
    DrawItem(dc, m_pressed);
}

void COwnerDrawButton::SetPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    Refresh(false);
}

void COwnerDrawButton::Click()
{
    wxCommandEvent ev(wxEVT_BUTTON, GetId());
    ev.SetEventObject(this);
    ProcessWindowEvent(ev);
}

void COwnerDrawButton::OnLeftDown(wxMouseEvent &event)
{
    // A push button takes the focus when pressed, and holds the mouse until
    // it is released.
    SetFocus();
    if (!HasCapture())
        CaptureMouse();
    m_mouseDown = true;
    SetPressed(true);
    event.Skip();
}

void COwnerDrawButton::OnDragMotion(wxMouseEvent &event)
{
    // While held, the button shows pressed only with the pointer over it.
    if (m_mouseDown)
        SetPressed(wxRect(GetClientSize()).Contains(event.GetPosition()));
    event.Skip();
}

void COwnerDrawButton::OnLeftUp(wxMouseEvent &event)
{
    event.Skip();
    if (!m_mouseDown)
        return;
    m_mouseDown = false;
    if (HasCapture())
        ReleaseMouse();
    bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
    SetPressed(false);
    MouseReleased();
    if (inside)
        Click();
}

void COwnerDrawButton::OnCaptureLost(wxMouseCaptureLostEvent &)
{
    m_mouseDown = false;
    SetPressed(false);
    MouseReleased();
}

void COwnerDrawButton::OnKeyDown(wxKeyEvent &event)
{
    if (event.GetKeyCode() == WXK_SPACE) {
        m_spaceDown = true;
        SetPressed(true);
        return;
    }
    event.Skip();
}

void COwnerDrawButton::OnKeyUp(wxKeyEvent &event)
{
    if (event.GetKeyCode() == WXK_SPACE && m_spaceDown) {
        m_spaceDown = false;
        SetPressed(false);
        Click();
        return;
    }
    event.Skip();
}

namespace {
// XRC: <object class="COwnerDrawButton" name="id" [subclass="CHoverButton"]>
// with pos, size and style as for any control.
class COwnerDrawButtonXmlHandler : public wxXmlResourceHandler {
public:
    wxObject *DoCreateResource() override
    {
        XRC_MAKE_INSTANCE(button, COwnerDrawButton)
        button->Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(), GetStyle(), GetName());
        // The template's caption; an owner-drawn button never shows it.
        if (HasParam("label"))
            button->SetLabel(GetText("label"));
        SetupWindow(button);
        return button;
    }
    bool CanHandle(wxXmlNode *node) override { return IsOfClass(node, "COwnerDrawButton"); }
};
} // namespace

void RegisterOwnerDrawButtonXrc()
{
    static bool done = false;
    if (done)
        return;
    wxXmlResource::Get()->AddHandler(new COwnerDrawButtonXmlHandler);
    done = true;
}

// ---------------------------------------------------------------- CHoverButton

wxIMPLEMENT_DYNAMIC_CLASS(CHoverButton, COwnerDrawButton);

CHoverButton::CHoverButton()
{
    Bind(wxEVT_MOTION, &CHoverButton::OnMouseMove, this);
    // The pointer entering counts as a move over the button.
    Bind(wxEVT_ENTER_WINDOW, &CHoverButton::OnMouseMove, this);
    Bind(wxEVT_LEAVE_WINDOW, &CHoverButton::OnMouseLeave, this);
}

CHoverButton::~CHoverButton()
{
    // The tip goes with the button (wx deletes the window's tool tip).
}

bool CHoverButton::LoadStrip(unsigned bitmapId)
{
    // The program's bitmap resources are picture files in emoji/ beside it.
    return LoadStripFile(paths::ExecutableDir() + EmojiPictureFile(static_cast<uint16_t>(bitmapId)));
}

bool CHoverButton::LoadStripFile(const std::string &path)
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_BMP))
        wxImage::AddHandler(new wxBMPHandler);
    wxImage image;
    {
        wxLogNull quiet; // a missing picture is the caller's answer, not a log window
        if (!image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP))
            return false;
    }
    return LoadStripImage(image);
}

bool CHoverButton::LoadStripImage(const wxImage &source)
{
    if (!source.IsOk() || source.GetWidth() < 3 || source.GetHeight() < 1)
        return false;
    // The strip's greys become the theme's colours, as the picture is
    // loaded: the normal cell's frame takes the colour of the face the
    // button stands on (on GTK the window's background, which differs from
    // the theme's button colour), the others the shadow and light colours.
    auto rgb = [](const wxColour &c) {
        return uint32_t(c.Red()) << 16 | uint32_t(c.Green()) << 8 | uint32_t(c.Blue());
    };
    ThreeDColours theme{rgb(FaceColour()),
                        rgb(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)),
                        rgb(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT))};
    wxImage image = source.Copy();
    unsigned char *px = image.GetData();
    const size_t n = size_t(image.GetWidth()) * size_t(image.GetHeight());
    for (size_t i = 0; i < n; ++i, px += 3) {
        uint32_t c = MapThreeDColour(uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2], theme);
        px[0] = static_cast<unsigned char>(c >> 16);
        px[1] = static_cast<unsigned char>(c >> 8);
        px[2] = static_cast<unsigned char>(c);
    }
    m_strip = wxBitmap(image);
    // One cell: a third of the width (any remainder ignored), the height.
    m_cellSize = wxSize(image.GetWidth() / 3, image.GetHeight());
    SetSize(m_cellSize);
    SetMinSize(m_cellSize);
    Refresh(false);
    return true;
}

void CHoverButton::DrawItem(wxDC &dc, bool pressed)
{
    if (!m_strip.IsOk())
        return;
    int x = static_cast<int>(CellForState(pressed, m_track.Hovering())) * m_cellSize.x;
    wxMemoryDC mem;
    mem.SelectObjectAsSource(m_strip);
    dc.Blit(0, 0, m_cellSize.x, m_cellSize.y, &mem, x, 0, wxCOPY);
    mem.SelectObject(wxNullBitmap);
}

bool CHoverButton::RequestTracking()
{
    // The hover report follows as soon as the events queued now are done,
    // practically at once, as with a hover time of one millisecond.
    CallAfter(&CHoverButton::OnMouseHover);
    return true;
}

void CHoverButton::OnMouseMove(wxMouseEvent &event)
{
    // While the mouse is held, moves come from anywhere: one outside the
    // button is its leave (no leave report comes while the mouse is held).
    if (!wxRect(GetClientSize()).Contains(event.GetPosition())) {
        if (m_track.OnLeave())
            Refresh(false);
    } else if (m_track.OnMove()) {
        m_track.TrackingRequested(RequestTracking());
    }
    event.Skip();
}

void CHoverButton::MouseReleased()
{
    // Released, or the mouse taken away, with the pointer elsewhere: it left
    // already and no leave report follows, so the normal cell is drawn now,
    // not when the pointer next crosses the button.
    if (!wxRect(GetClientSize()).Contains(ScreenToClient(wxGetMousePosition())) && m_track.OnLeave())
        Refresh(false);
}

void CHoverButton::OnMouseHover()
{
    if (m_track.OnHover())
        Refresh(false);
}

void CHoverButton::OnMouseLeave(wxMouseEvent &event)
{
    if (m_track.OnLeave())
        Refresh(false);
    event.Skip();
}

// ----------------------------------------------------------------------- tips

void CHoverButton::EnsureTip()
{
    // The toolkit's own tool tips: creating the control is only noting that
    // the button has one; it starts inactive, without a tool.
    if (m_tipCreated)
        return;
    m_tipCreated = true;
    m_tipActive = false;
}

void CHoverButton::SetTip(const std::string *text, bool activate)
{
    if (!text)
        return;
    EnsureTip();
    m_tipHasTool = true;
    m_tipText = *text;
    m_tipActive = activate;
    ApplyTip();
}

void CHoverButton::SetTipFromResource(unsigned stringId, bool activate)
{
    std::string text = LoadStringResource(stringId);
    if (!text.empty())
        SetTip(&text, activate);
}

void CHoverButton::EnableTip(bool activate)
{
    if (!m_tipHasTool)
        return;
    m_tipActive = activate;
    ApplyTip();
}

void CHoverButton::ApplyTip()
{
    if (m_tipHasTool && m_tipActive && !m_tipText.empty())
        SetToolTip(ToWx(m_tipText));
    else
        UnsetToolTip();
}

std::string LoadStringResource(unsigned)
{
    // The program keeps its texts in its templates and code; no window
    // looks a text up by number, so the table is empty.
    return {};
}
