#include "compose/form_style.h"

#include <wx/window.h>

#include <gtk/gtk.h>

namespace {
constexpr const char *kFormName = "tegamiya-form";

// Everything inside the form, addressed through the form's widget name.
constexpr const char *kCss = R"(
#tegamiya-form entry {
  min-height: 0; padding-top: 0; padding-bottom: 0; padding-left: 2px; padding-right: 2px;
}
#tegamiya-form button {
  min-height: 0; min-width: 0; padding: 0 2px;
}
#tegamiya-form combobox button, #tegamiya-form combobox entry {
  min-height: 0; padding-top: 0; padding-bottom: 0;
}
#tegamiya-form combobox button { padding-left: 3px; padding-right: 3px; }
#tegamiya-form checkbutton, #tegamiya-form radiobutton {
  min-height: 0; padding: 0;
}
#tegamiya-form check, #tegamiya-form radio {
  min-width: 11px; min-height: 11px; margin: 0 3px 0 0; padding: 0;
}
#tegamiya-form scrolledwindow undershoot.top, #tegamiya-form scrolledwindow undershoot.bottom {
  background: none;
}
)";
} // namespace

void ApplyCompactFormStyle(wxWindow *form)
{
    static bool installed = false;
    if (!installed) {
        GtkCssProvider *css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(css);
        installed = true;
    }
    if (GtkWidget *w = static_cast<GtkWidget *>(form->GetHandle()))
        gtk_widget_set_name(w, kFormName);
}

void UseClassicScrollBar(wxWindow *textField)
{
    auto *w = static_cast<GtkWidget *>(textField->GetHandle());
    if (w && GTK_IS_SCROLLED_WINDOW(w)) {
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(w), FALSE);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
    }
}

void HideScrollBars(wxWindow *textField)
{
    auto *w = static_cast<GtkWidget *>(textField->GetHandle());
    if (w && GTK_IS_SCROLLED_WINDOW(w))
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(w), GTK_POLICY_EXTERNAL, GTK_POLICY_EXTERNAL);
}
