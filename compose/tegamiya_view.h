// The compose form: the program's only view, filling the main window.
#pragma once

#include <wx/app.h>
#include <wx/panel.h>

#include <string>

class CMainFrame;

class CTegamiyaView : public wxPanel {
public:
    explicit CTegamiyaView(CMainFrame *frame);
    ~CTegamiyaView() override;

    // The form's set-up, run once by the frame before it is first shown.
    void OnInitialUpdate();

    // Links the pictograph font beside the executable to the form's face
    // (asking first when another font is linked) and reloads it. True when
    // pictographs may be used.
    bool RegisterEmojiFont();

    // Builds the settings file path <documents>/Tegamiya/Tegamiya.ini and
    // creates its folder. False when the folder cannot be created (`path`
    // then holds the folder); true otherwise, with `path` left empty when
    // the documents folder is unknown.
    bool MakeIniFilePath(std::string &path);

    // Command 57665: posts a close request to the main window, so that every
    // way of leaving goes through its close handler.
    void OnAppExit();

    // The form's size in pixels (its template's size in dialog units).
    wxSize GetFormSize() const;

    const std::string &IniPath() const { return m_strIniPath; }

private:
    CMainFrame *m_pFrame;
    std::string m_strIniPath; // the settings file, empty when unusable
};

// The process-wide copy of the settings path, published by the form's
// set-up when the path could be made (empty otherwise).
extern std::string g_strIniPath;
