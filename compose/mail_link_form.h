// A mail link named on the command line, filled into the compose form.
#pragma once

#include <string>

class CTegamiyaView;

// Fills To, CC, BCC, the subject and the body from the mail link and lets
// the carrier, picture and width follow the To address, as when the To box
// is left. A link that cannot be read gets a message and fills nothing.
void FillFormFromMailLink(CTegamiyaView &view, const std::string &link);
