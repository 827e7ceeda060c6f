#include "compose/rich_edit.h"

#include "app/cp932.h"
#include "app/wx_ui.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include <algorithm>
#include <array>

bool g_bSubjectFocus = false;

wxIMPLEMENT_DYNAMIC_CLASS(CRichEdit, wxTextCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(CSubjectEdit, CRichEdit);
wxIMPLEMENT_DYNAMIC_CLASS(CBodyEdit, CRichEdit);

namespace {

// The bytes one widget character takes in the program's text.
long CharBytes(wxUniChar c)
{
    wxUint32 v = c.GetValue();
    if (v == '\n')
        return 2; // CR LF
    if (v < 0x80 || (v >= 0xFF61 && v <= 0xFF9F))
        return 1;
    // Other characters take one or two bytes (one when CP932 lacks them and
    // they become "?"); remembered per character, as this runs on every key.
    static std::array<unsigned char, 0x10000> known{};
    if (v < known.size() && known[v])
        return known[v];
    long n = static_cast<long>(cp932::FromUtf8(wxString(c).utf8_string()).size());
    if (v < known.size())
        known[v] = static_cast<unsigned char>(n);
    return n;
}

} // namespace

CRichEdit::CRichEdit()
{
    Bind(wxEVT_TEXT, &CRichEdit::OnTextChanged, this);
}

namespace {

void ComputeOffsets(const wxString &text, std::vector<long> &offsets)
{
    offsets.clear();
    offsets.reserve(text.length() + 1);
    long at = 0;
    for (wxUniChar c : text) {
        offsets.push_back(at);
        at += CharBytes(c);
    }
    offsets.push_back(at);
}

std::string BytesOf(wxString text)
{
    text.Replace("\n", "\r\n");
    return FromWx(text);
}

} // namespace

bool CRichEdit::InSync() const
{
    // Every change of the text notifies the field, save ChangeValue, which
    // this class takes over; the length check is a guard, and cheap.
    return GetLastPosition() == static_cast<long>(m_lastText.length());
}

const std::vector<long> &CRichEdit::Offsets() const
{
    if (!InSync()) {
        ComputeOffsets(GetValue(), m_scratch);
        return m_scratch;
    }
    if (!m_offsetsKnown) {
        ComputeOffsets(m_lastText, m_offsets);
        m_offsetsKnown = true;
    }
    return m_offsets;
}

long CRichEdit::ToPosition(long byteOffset) const
{
    const std::vector<long> &offsets = Offsets();
    if (byteOffset < 0)
        return 0;
    auto it = std::upper_bound(offsets.begin(), offsets.end(), byteOffset);
    return static_cast<long>(it - offsets.begin()) - 1;
}

long CRichEdit::ToByteOffset(long position) const
{
    const std::vector<long> &offsets = Offsets();
    position = std::clamp<long>(position, 0, static_cast<long>(offsets.size()) - 1);
    return offsets[position];
}

std::string CRichEdit::GetTextBytes() const
{
    if (!InSync())
        return BytesOf(GetValue());
    if (!m_bytesKnown) {
        m_bytes = BytesOf(m_lastText);
        m_bytesKnown = true;
    }
    return m_bytes;
}

long CRichEdit::GetTextLengthBytes() const
{
    return Offsets().back();
}

void CRichEdit::SetTextBytes(const std::string &cp932)
{
    wxString text = ToWx(cp932);
    text.Replace("\r\n", "\n");
    m_own = Own::Reset;
    SetValue(text);
    m_own = Own::None;
    m_canUndo = false;
}

void CRichEdit::ChangeValue(const wxString &value)
{
    wxTextCtrl::ChangeValue(value);
    m_lastText = GetValue();
    m_bytesKnown = m_offsetsKnown = false;
    m_colours.assign(m_lastText.length(), 0);
    m_canUndo = false;
    m_typingEnd = -1;
}

void CRichEdit::GetSel(long &start, long &end) const
{
    long from = 0, to = 0;
    GetSelection(&from, &to);
    const std::vector<long> &offsets = Offsets();
    long last = static_cast<long>(offsets.size()) - 1;
    start = offsets[std::clamp(from, 0L, last)];
    end = offsets[std::clamp(to, 0L, last)];
}

void CRichEdit::SetSel(long start, long end)
{
    long from = ToPosition(start);
    long to = end < 0 ? GetLastPosition() : ToPosition(end);
    SetSelection(from, std::max(from, to));
}

void CRichEdit::ReplaceSel(const std::string &cp932, bool canUndo)
{
    wxString text = ToWx(cp932);
    text.Replace("\r\n", "\n");
    long from = 0, to = 0;
    GetSelection(&from, &to);
    m_before = Current();
    m_own = canUndo ? Own::Undoable : Own::NotUndoable;
    if (!text.empty())
        Replace(from, to, text);
    else if (from != to)
        Remove(from, to);
    m_own = Own::None;
    if (!canUndo)
        m_canUndo = false;
}

void CRichEdit::SetCharColour(long start, long end, const wxColour &colour)
{
    long from = ToPosition(start), to = ToPosition(end);
    if (to <= from) {
        m_insertColour = colour;
        return;
    }
    to = std::min<long>(to, static_cast<long>(m_colours.size()));
    const Ink ink = ToInk(colour);
    for (long i = from; i < to; ++i)
        m_colours[i] = ink;
    ApplyColours(from, to);
}

wxColour CRichEdit::GetCharColour(long pos) const
{
    long i = ToPosition(pos);
    return i >= 0 && i < static_cast<long>(m_colours.size()) ? FromInk(m_colours[i]) : wxColour();
}

void CRichEdit::ApplyColours(long from, long to)
{
    // One style per run of equal colours; the automatic colour is the
    // field's default text colour.
    const wxColour &automatic = AutomaticColour();
    for (long i = from; i < to;) {
        long j = i + 1;
        while (j < to && m_colours[j] == m_colours[i])
            ++j;
        SetStyle(i, j, wxTextAttr(m_colours[i] ? FromInk(m_colours[i]) : automatic));
        i = j;
    }
}

CRichEdit::Ink CRichEdit::ToInk(const wxColour &c)
{
    return c.IsOk() ? 0x1000000u | c.Red() << 16 | c.Green() << 8 | c.Blue() : 0;
}

wxColour CRichEdit::FromInk(Ink ink)
{
    return ink ? wxColour(ink >> 16 & 0xFF, ink >> 8 & 0xFF, ink & 0xFF) : wxColour();
}

const wxColour &CRichEdit::AutomaticColour() const
{
    // Asking the toolkit builds a widget each time: asked once.
    if (!m_automatic.IsOk())
        m_automatic = GetDefaultAttributes().colFg;
    return m_automatic;
}

bool CRichEdit::ShowsAsInserted(long from, long to) const
{
    // Text the field inserts untagged shows in the automatic colour; next to
    // characters of that colour it also takes no other colour from them.
    const Ink automatic = ToInk(AutomaticColour());
    auto plain = [&](Ink c) { return !c || c == automatic; };
    const long n = static_cast<long>(m_colours.size());
    return plain(ToInk(m_insertColour)) && (from == 0 || plain(m_colours[from - 1])) &&
           (to >= n || plain(m_colours[to]));
}

CRichEdit::Snapshot CRichEdit::Current() const
{
    Snapshot s;
    s.text = m_lastText;
    s.colours = m_colours;
    GetSelection(&s.from, &s.to);
    return s;
}

void CRichEdit::UndoEdit()
{
    if (!m_canUndo)
        return;
    Snapshot target = m_undo;
    m_before = Current();
    m_own = Own::Undo;
    m_undo = target;
    SetValue(target.text);
    m_own = Own::None;
    SetSelection(target.from, target.to);
    m_canUndo = true;
}

void CRichEdit::OnTextChanged(wxCommandEvent &event)
{
    wxString now = GetValue();
    const size_t oldLen = m_lastText.length(), newLen = now.length();
    std::vector<Ink> colours;
    long insertedFrom = 0, insertedTo = 0;

    if (m_own == Own::Undo) {
        colours = m_undo.colours;
        colours.resize(newLen);
    } else if (m_own == Own::Reset) {
        colours.assign(newLen, 0);
    } else {
        // What changed: the text between the common beginning and end.
        size_t p = 0;
        while (p < oldLen && p < newLen && m_lastText[p] == now[p])
            ++p;
        size_t s = 0;
        while (s < oldLen - p && s < newLen - p && m_lastText[oldLen - 1 - s] == now[newLen - 1 - s])
            ++s;
        colours.assign(m_colours.begin(), m_colours.begin() + std::min(p, m_colours.size()));
        colours.resize(p);
        colours.insert(colours.end(), newLen - p - s, ToInk(m_insertColour));
        for (size_t i = oldLen - s; i < oldLen; ++i)
            colours.push_back(i < m_colours.size() ? m_colours[i] : 0);
        insertedFrom = static_cast<long>(p);
        insertedTo = static_cast<long>(newLen - s);

        if (m_own == Own::None) {
            // A character typed right behind the one typed before joins its
            // step, so that undo takes back the whole run as the platform's
            // rich edit does, not its last letter.
            const bool typed = oldLen - s == p && newLen - s - p == 1;
            if (!(typed && m_canUndo && m_typingEnd == static_cast<long>(p))) {
                m_undo.text = m_lastText;
                m_undo.colours = m_colours;
                m_undo.from = static_cast<long>(p);
                m_undo.to = static_cast<long>(oldLen - s);
            }
            m_canUndo = true;
            m_typingEnd = typed ? static_cast<long>(p) + 1 : -1;
        } else if (m_own == Own::Undoable) {
            m_undo = m_before;
            m_canUndo = true;
        } else {
            m_canUndo = false;
        }
    }
    if (m_own == Own::Undo)
        m_undo = m_before;
    if (m_own != Own::None)
        m_typingEnd = -1;

    m_lastText = now;
    m_bytesKnown = m_offsetsKnown = false;
    m_colours = std::move(colours);
    if (m_own == Own::Undo)
        ApplyColours(0, static_cast<long>(newLen));
    else if (insertedTo > insertedFrom && m_insertColour.IsOk() && !ShowsAsInserted(insertedFrom, insertedTo))
        // Styling a range lays its paragraph out once more: only when the
        // inserted text would not show in its colour anyway.
        ApplyColours(insertedFrom, insertedTo);
    event.Skip();
}

CSubjectEdit::CSubjectEdit()
{
    Bind(wxEVT_SET_FOCUS, &CSubjectEdit::OnSetFocus, this);
    Bind(wxEVT_CHAR, &CSubjectEdit::OnChar, this);
    Bind(wxEVT_TEXT_PASTE, &CSubjectEdit::OnPaste, this);
}

void CSubjectEdit::OnSetFocus(wxFocusEvent &event)
{
    g_bSubjectFocus = true;
    event.Skip();
}

void CSubjectEdit::OnChar(wxKeyEvent &event)
{
    // A one-line field: Enter adds no line.
    int key = event.GetKeyCode();
    if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER)
        return;
    event.Skip();
}

void CSubjectEdit::OnPaste(wxClipboardTextEvent &event)
{
    // Pasted text keeps only its first line.
    wxString text;
    if (wxTheClipboard->Open()) {
        wxTextDataObject data;
        if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(data))
            text = data.GetText();
        wxTheClipboard->Close();
    }
    size_t eol = text.find_first_of("\r\n");
    if (eol == wxString::npos) {
        event.Skip();
        return;
    }
    ReplaceSel(FromWx(text.substr(0, eol)), true);
}

CBodyEdit::CBodyEdit()
{
    Bind(wxEVT_SET_FOCUS, &CBodyEdit::OnSetFocus, this);
}

void CBodyEdit::OnSetFocus(wxFocusEvent &event)
{
    g_bSubjectFocus = false;
    event.Skip();
}
