// The windows of a send: the one-second notice after the mails were handed
// over (template 135), and the progress of a slow hand-off.
#pragma once

#include "compose/sending.h"

#include <wx/dialog.h>

class wxGauge;
class wxStaticText;

// The notice "送信トレイにメールを送っています。", shown modeless.
class CSendingDlg : public wxDialog {
public:
    explicit CSendingDlg(wxWindow *parent);
    // How long the notice stays, in milliseconds.
    static int s_showMs;
};

// The progress of the hand-over ("n / m" mails), shown while a hand-off
// with a send command takes its time.
class CSendProgressDlg : public wxDialog, public SendProgressSink {
public:
    CSendProgressDlg(wxWindow *parent, size_t total);
    // Mail `number` of the total is being handed over.
    void ShowCurrent(size_t number);
    void PartSent(size_t done, size_t total) override;
    wxString CountText() const;

private:
    size_t m_total;
    wxStaticText *m_count;
    wxGauge *m_gauge;
};
