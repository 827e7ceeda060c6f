#include "compose/field_text.h"

#include "app/cp932.h"

#include <wx/font.h>
#include <wx/fontutil.h>
#include <wx/textctrl.h>

#include <cstring>

#include <dlfcn.h>
#include <gtk/gtk.h>
#include <pango/pango.h>

// ------------------------------------------------------- no inserted hyphens
//
// Pango inserts a hyphen where it breaks a line inside a word of letters,
// unless the layout's attributes say otherwise; GTK 3's text view offers no
// way to say it (its tags have no such property). So the program gives
// every layout that attribute on its way in: this definition of
// pango_layout_set_attributes takes precedence over Pango's own for the
// toolkit's calls (the program exports it, see compose/CMakeLists.txt) and
// hands Pango a copy of the list that starts with "insert no hyphens".
// A list that already says something about hyphens passes unchanged.
extern "C" void pango_layout_set_attributes(PangoLayout *layout, PangoAttrList *attrs)
{
    using SetAttributes = void (*)(PangoLayout *, PangoAttrList *);
    static const auto pango = reinterpret_cast<SetAttributes>(dlsym(RTLD_NEXT, "pango_layout_set_attributes"));
    if (!pango)
        return;
    if (!attrs) {
        PangoAttrList *none = pango_attr_list_new();
        pango_attr_list_insert(none, pango_attr_insert_hyphens_new(FALSE));
        pango(layout, none);
        pango_attr_list_unref(none);
        return;
    }
    bool saysHyphens = false;
    PangoAttrList *unchanged = pango_attr_list_filter(
        attrs,
        [](PangoAttribute *a, gpointer said) {
            // Read as a number: types registered at run time lie outside
            // the enumeration.
            unsigned type = 0;
            std::memcpy(&type, &a->klass->type, sizeof type);
            if (type == PANGO_ATTR_INSERT_HYPHENS)
                *static_cast<bool *>(said) = true;
            return FALSE; // keep everything
        },
        &saysHyphens);
    if (unchanged)
        pango_attr_list_unref(unchanged);
    if (saysHyphens) {
        pango(layout, attrs);
        return;
    }
    PangoAttrList *copy = pango_attr_list_copy(attrs);
    pango_attr_list_insert_before(copy, pango_attr_insert_hyphens_new(FALSE));
    pango(layout, copy);
    pango_attr_list_unref(copy);
}

// ------------------------------------------------------------- entered text

namespace {

bool RoundTrips(std::string_view utf8)
{
    return cp932::ToUtf8(cp932::FromUtf8(utf8)) == utf8;
}

// Before the buffer takes text in: text CP932 cannot hold as it is goes in
// as AsCp932Shows() gives it instead.
void OnInsertText(GtkTextBuffer *buffer, GtkTextIter *location, gchar *text, gint len, gpointer)
{
    std::string_view in(text, len < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(len));
    if (RoundTrips(in))
        return;
    std::string shown = AsCp932Shows(in);
    g_signal_stop_emission_by_name(buffer, "insert-text");
    g_signal_handlers_block_by_func(buffer, reinterpret_cast<gpointer>(OnInsertText), nullptr);
    // The location moves behind the inserted text, as the signal requires.
    gtk_text_buffer_insert(buffer, location, shown.data(), static_cast<gint>(shown.size()));
    g_signal_handlers_unblock_by_func(buffer, reinterpret_cast<gpointer>(OnInsertText), nullptr);
}

// Before a one-line field takes text in: its first line only. Pasting from
// the clipboard is cut by the field itself, but the middle button's paste of
// the selection, a dragged text or an input method reach the buffer here.
void OnInsertOneLine(GtkTextBuffer *buffer, GtkTextIter *location, gchar *text, gint len, gpointer)
{
    std::string_view in(text, len < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(len));
    size_t eol = in.find_first_of("\r\n");
    if (eol == std::string_view::npos)
        return;
    g_signal_stop_emission_by_name(buffer, "insert-text");
    if (eol == 0)
        return;
    g_signal_handlers_block_by_func(buffer, reinterpret_cast<gpointer>(OnInsertOneLine), nullptr);
    gtk_text_buffer_insert(buffer, location, text, static_cast<gint>(eol));
    g_signal_handlers_unblock_by_func(buffer, reinterpret_cast<gpointer>(OnInsertOneLine), nullptr);
}

} // namespace

std::string AsCp932Shows(std::string_view utf8)
{
    if (RoundTrips(utf8))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    const char *p = utf8.data(), *end = p + utf8.size();
    while (p < end) {
        const char *next = g_utf8_find_next_char(p, end);
        if (!next)
            next = end;
        std::string_view c(p, static_cast<size_t>(next - p));
        if (RoundTrips(c)) {
            out += c;
        } else {
            // CP932 holds it under another character (one that maps back
            // to itself), or not at all.
            std::string back = cp932::ToUtf8(cp932::FromUtf8(c));
            bool other = back != "\xEF\xBF\xBD" && g_utf8_strlen(back.data(), static_cast<gssize>(back.size())) == 1 &&
                         RoundTrips(back);
            out += other ? back : std::string("?");
        }
        p = next;
    }
    return out;
}

namespace {
// Puts the filter before the multi-line field's text buffer takes text in.
void FilterInsertedText(wxTextCtrl *field, GCallback filter)
{
    GtkWidget *w = field ? static_cast<GtkWidget *>(field->GetConnectWidget()) : nullptr;
    if (!w || !GTK_IS_TEXT_VIEW(w))
        return;
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w));
    g_signal_connect(buffer, "insert-text", filter, nullptr);
}
} // namespace

void KeepEnteredTextToCp932(wxTextCtrl *field) { FilterInsertedText(field, G_CALLBACK(OnInsertText)); }

void KeepEnteredTextToOneLine(wxTextCtrl *field) { FilterInsertedText(field, G_CALLBACK(OnInsertOneLine)); }

// ----------------------------------------------------------- count fields

namespace {
constexpr const char *kCountName = "tegamiya-count";
// The count fields' text may use their whole width but for the frame.
constexpr const char *kCountCss = "entry#tegamiya-count { padding-left: 0; padding-right: 0; }";

GtkWidget *EntryOf(wxTextCtrl *field)
{
    GtkWidget *w = field ? static_cast<GtkWidget *>(field->GetConnectWidget()) : nullptr;
    return w && GTK_IS_ENTRY(w) ? w : nullptr;
}
} // namespace

int UsableTextWidth(wxTextCtrl *field)
{
    GtkWidget *entry = EntryOf(field);
    if (!entry)
        return field ? field->GetClientSize().x : 0;
    GtkStyleContext *style = gtk_widget_get_style_context(entry);
    GtkStateFlags state = gtk_style_context_get_state(style);
    GtkBorder padding{}, border{};
    gtk_style_context_get_padding(style, state, &padding);
    gtk_style_context_get_border(style, state, &border);
    return field->GetSize().x - padding.left - padding.right - border.left - border.right;
}

void ShowNumberWhole(wxTextCtrl *field, unsigned value)
{
    if (!field)
        return;
    if (GtkWidget *entry = EntryOf(field); entry && g_strcmp0(gtk_widget_get_name(entry), kCountName) != 0) {
        static bool installed = false;
        if (!installed) {
            GtkCssProvider *css = gtk_css_provider_new();
            gtk_css_provider_load_from_data(css, kCountCss, -1, nullptr);
            gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                      GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_object_unref(css);
            installed = true;
        }
        gtk_widget_set_name(entry, kCountName);
    }
    wxString text = wxString::Format("%u", value);
    // The form's font when the number fits in it, else the largest size in
    // steps of a quarter point that does.
    wxWindow *form = field->GetParent();
    wxFont font = form ? form->GetFont() : field->GetFont();
    const int room = UsableTextWidth(field);
    // Measured with a layout of the entry's own: the window's measuring
    // builds a device context, and this runs as the body's count changes.
    GtkWidget *entry = EntryOf(field);
    const wxScopedCharBuffer utf8 = text.utf8_str();
    int width = 0;
    for (double size = font.GetFractionalPointSize(); size > 1; size -= 0.25) {
        font.SetFractionalPointSize(size);
        if (entry) {
            PangoLayout *layout = gtk_widget_create_pango_layout(entry, utf8.data());
            pango_layout_set_font_description(layout, font.GetNativeFontInfo()->description);
            pango_layout_get_pixel_size(layout, &width, nullptr);
            g_object_unref(layout);
        } else {
            field->GetTextExtent(text, &width, nullptr, nullptr, nullptr, &font);
        }
        if (width <= room)
            break;
    }
    // Compared as Pango descriptions: comparing the fonts themselves
    // measures both on a screen context.
    if (!pango_font_description_equal(field->GetFont().GetNativeFontInfo()->description,
                                      font.GetNativeFontInfo()->description))
        field->SetFont(font);
    field->ChangeValue(text);
}
