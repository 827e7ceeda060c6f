// The document of the single-document frame. It holds nothing: the compose
// form keeps all state, and opening a file named on the command line reads
// nothing into it (the form takes that file itself).
#pragma once

class CTegamiyaDoc {
public:
    bool OnNewDocument() { return true; }
};
