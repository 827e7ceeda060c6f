#include "compose/form_controls.h"

wxIMPLEMENT_DYNAMIC_CLASS(CNoTabButton, wxButton);
wxIMPLEMENT_DYNAMIC_CLASS(CNoTabField, wxTextCtrl);
wxIMPLEMENT_DYNAMIC_CLASS(CPictureArea, wxPanel);
