// The form's look on GTK: the desktop theme's widgets are taller and wider
// padded than the form's template allows, so the form's own controls get a
// compact style (smaller padding and minimum sizes) that keeps their text
// whole inside their template rectangles. Other windows keep the theme.
#pragma once

class wxWindow;

void ApplyCompactFormStyle(wxWindow *form);

// Gives a multi-line text field a scroll bar that takes its own room beside
// the text, instead of one drawn over the text only while the pointer is
// near, so that the text's width is the field's width less the bar.
void UseClassicScrollBar(wxWindow *textField);

// A multi-line field that looks like a one-line field: it scrolls with the
// caret but shows no scroll bar.
void HideScrollBars(wxWindow *textField);
