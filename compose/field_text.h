// What the form's text fields draw and take in, at the toolkit's level:
// - the fields draw only the characters of their text: Pango's hyphens at
//   intra-word line breaks are switched off for every layout of the program
//   (the body wraps at any character, like a phone, and a hyphen there would
//   be a character the mail does not hold);
// - text entering the subject or body (typing, input-method commits, paste,
//   drops) shows at once as the CP932 text it becomes: a character CP932
//   cannot hold shows as "?", so what is shown is what is counted and sent;
// - the count fields show every number whole.
#pragma once

#include <string>
#include <string_view>

class wxTextCtrl;

// The text as the program will hold it, back in UTF-8: each character CP932
// cannot hold becomes "?", a character CP932 holds under another code point
// (a wave dash, for instance) becomes that one. Same length in characters.
std::string AsCp932Shows(std::string_view utf8);

// Makes text entering the multi-line field show as AsCp932Shows() gives it.
// Text the program puts in itself is CP932 already and passes unchanged.
void KeepEnteredTextToCp932(wxTextCtrl *field);

// Makes the multi-line field that stands for a one-line one take in only the
// first line of any text entering it, however it comes.
void KeepEnteredTextToOneLine(wxTextCtrl *field);

// The width in pixels the read-only one-line field has for its text (its
// width less the theme's border and padding).
int UsableTextWidth(wxTextCtrl *field);

// Shows the number in the read-only count field, whole: at the form's font
// when it fits, else at the largest smaller size that fits.
void ShowNumberWhole(wxTextCtrl *field, unsigned value);
