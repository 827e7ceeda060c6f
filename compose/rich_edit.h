// The rich-edit fields of the compose form: a multi-line wxTextCtrl seen
// through the program's units. The program works in CP932 byte offsets with
// line breaks as CR LF (two bytes); the widget in code points with "\n".
// The adapter converts between the two and adds what the widget lacks on
// GTK: a record of the colours it was given (the widget's own report is
// unreliable), a single-level undo that honours the undo flag of a
// replacement, and the insertion colour that text typed next takes.
#pragma once

#include <wx/colour.h>
#include <wx/textctrl.h>

#include <cstdint>
#include <string>
#include <vector>

// True when the subject held the keyboard focus more recently than the
// body; false at start. Edit commands and pictograph insertion act on that
// field. Only the two fields change it, when they receive the focus.
extern bool g_bSubjectFocus;

class CRichEdit : public wxTextCtrl {
public:
    CRichEdit();

    // The whole text as CP932 bytes, line breaks as CR LF.
    std::string GetTextBytes() const;
    long GetTextLengthBytes() const;
    // Replaces the whole text (a change notification follows); empties the
    // undo buffer and the colour record.
    void SetTextBytes(const std::string &cp932);

    // The selection in bytes; start == end is the caret.
    void GetSel(long &start, long &end) const;
    // Selects [start, end) in bytes; end -1 selects to the end. Offsets that
    // fall inside a character move to its start.
    void SetSel(long start, long end);

    // Replaces the selection (or inserts at the caret) with CP932 text and
    // puts the caret behind it. With canUndo the replacement can be undone;
    // without, the undo buffer is emptied. A change notification follows.
    void ReplaceSel(const std::string &cp932, bool canUndo);

    // Colours the characters of [start, end) (bytes). An empty range sets the
    // colour that text typed or inserted next takes instead. An invalid
    // colour stands for the automatic (default) colour.
    void SetCharColour(long start, long end, const wxColour &colour);
    // The recorded colour of the character at the byte offset (invalid when
    // automatic), and the colour text typed next takes.
    wxColour GetCharColour(long pos) const;
    wxColour GetInsertColour() const { return m_insertColour; }

    // Single-level undo: the last change made by the user or by an undoable
    // replacement. Undoing again redoes it.
    bool CanUndoEdit() const { return m_canUndo; }
    void UndoEdit();
    void EmptyUndoBuffer() { m_canUndo = false; }

    // Byte offset <-> widget position.
    long ToPosition(long byteOffset) const;
    long ToByteOffset(long position) const;

    // Replaces the text without a change notification; like SetTextBytes
    // otherwise (no undo, automatic colour).
    void ChangeValue(const wxString &value) override;

protected:
    // Records the change the widget made (colours shifted, undo state) before
    // the form hears of it.
    void OnTextChanged(wxCommandEvent &event);

private:
    // A recorded colour, compact: the body's record is rebuilt on every key.
    // 0 is the automatic colour, else 0x1000000 | red << 16 | green << 8 | blue.
    using Ink = uint32_t;
    static Ink ToInk(const wxColour &c);
    static wxColour FromInk(Ink ink);

    struct Snapshot {
        wxString text;
        std::vector<Ink> colours; // per code point
        long from = 0, to = 0;         // selection (positions)
    };
    // Byte offset of each code point of the current text, and the total.
    const std::vector<long> &Offsets() const;
    // True when the record of the last change still holds the widget's text.
    bool InSync() const;
    void ApplyColours(long from, long to);
    // The field's default text colour (what the automatic colour shows as).
    const wxColour &AutomaticColour() const;
    // True when the characters [from, to) (positions) of the current text
    // already show in the insertion colour without being styled.
    bool ShowsAsInserted(long from, long to) const;
    void Restore(const Snapshot &s);
    Snapshot Current() const;

    wxString m_lastText;              // the text as of the last change
    // Worked out from m_lastText when first asked after a change: every key
    // asks for the text's bytes and for byte offsets several times.
    mutable std::string m_bytes;
    mutable std::vector<long> m_offsets;
    mutable bool m_bytesKnown = false, m_offsetsKnown = false;
    mutable std::vector<long> m_scratch; // offsets while out of sync
    std::vector<Ink> m_colours;       // per code point of m_lastText
    wxColour m_insertColour;          // what inserted text takes; invalid: automatic
    mutable wxColour m_automatic;     // AutomaticColour(), once asked
    Snapshot m_undo;
    bool m_canUndo = false;
    // Where the run of characters the user is typing ends (position), -1
    // when the last change was no typed character: one run is one step.
    long m_typingEnd = -1;
    // While the adapter changes the text itself: how the change counts.
    enum class Own { None, Undoable, NotUndoable, Reset, Undo } m_own = Own::None;
    Snapshot m_before; // the state before an undoable replacement

    wxDECLARE_DYNAMIC_CLASS(CRichEdit);
};

// The subject (control 1053): looks like a single-line field; Enter is
// ignored and pasted text keeps only its first line.
class CSubjectEdit : public CRichEdit {
public:
    CSubjectEdit();

private:
    void OnSetFocus(wxFocusEvent &event);
    void OnChar(wxKeyEvent &event);
    void OnPaste(wxClipboardTextEvent &event);

    wxDECLARE_DYNAMIC_CLASS(CSubjectEdit);
};

// The body (control 1034): multi-line, wrapping at any character.
class CBodyEdit : public CRichEdit {
public:
    CBodyEdit();

private:
    void OnSetFocus(wxFocusEvent &event);

    wxDECLARE_DYNAMIC_CLASS(CBodyEdit);
};
