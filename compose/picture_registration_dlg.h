// The picture registration dialog (template 409): up to five recipients,
// each tied to a picture file that the preview shows when that recipient is
// chosen. Recipients come from typing or the address book, paths from
// typing or the file dialog.
#pragma once

#include <wx/dialog.h>

#include <array>
#include <string>

class CPictureRegistrationDialog : public wxDialog {
public:
    // ShowModal's answer when OK wrote the settings.
    static constexpr int kOk = 1;
    static constexpr int kRows = 5;

    // Reads the ten values from the settings file `iniPath`.
    CPictureRegistrationDialog(wxWindow *parent, const std::string &iniPath);

    // The fields: recipients as CP932 text, paths as the file system's bytes.
    const std::array<std::string, kRows> &ToNames() const { return m_strToName; }
    const std::array<std::string, kRows> &Files() const { return m_strFile; }

private:
    void ToEdits();
    // The edits to the fields; false when one holds text CP932 cannot hold.
    bool FromEdits();
    void OnAddressBook(int row);
    void OnBrowse(int row);
    void OnOk();
    // Writes the ten keys; false (with the message shown) when the file
    // cannot be written.
    bool Save();

    std::string m_strIniPath;
    std::array<std::string, kRows> m_strToName;
    std::array<std::string, kRows> m_strFile;
};
