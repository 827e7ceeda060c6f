// What a queued mail file says about its own delivery, in header lines at
// its very top that the hand-off removes before the mail goes out:
//
//   X-Tegamiya-Pictographs: unicode        the form its pictographs are in
//   X-Tegamiya-Envelope-To: a@x, b@y       deliver to these, not to the headers
//
// A mail without the first is in the docomo form (all mail written before
// forms existed); a mail without the second goes to the recipients of its
// headers (To, Cc and Bcc, the Bcc line removed), as before. A mail the
// library wrote one per form has the second: each shows every To and Cc as
// typed, but goes only to the recipients of its form (each reached in a
// delivery of its own), and has no Bcc line.
#pragma once

#include "pictographs.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace mailsys {

struct QueuedDelivery {
    PictographForm form = PictographForm::Docomo;
    std::vector<std::string> envelope;  // empty: the headers' recipients
    off_t body_offset = 0;              // where the mail that goes out starts
    bool damaged = false;               // a line of ours that cannot be read: not to be sent
};

// The lines to put before the message (empty for a docomo mail to the
// recipients of its headers: such a file is byte for byte what it was
// before forms existed).
std::string DeliveryHeaders(PictographForm form, const std::vector<std::string> &envelope);

// Reads those lines from the top of a text (or of a file). Lines it does
// not know end the block; so does a malformed value (the rest is the mail).
QueuedDelivery ParseDeliveryHeaders(const std::string &text);
QueuedDelivery ReadDeliveryHeaders(const std::string &path);

}  // namespace mailsys
