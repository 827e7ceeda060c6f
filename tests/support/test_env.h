// Shared helpers for the tests: a temporary home, a scripted UI seam, and
// (for GUI tests) the wx set-up on a virtual display.
#pragma once

#include "app/ui_seam.h"

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace testenv {

// A temporary folder that HOME and the XDG variables point at for the life
// of the object; removed afterwards.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;
    const std::filesystem::path &Path() const { return m_path; }
    std::filesystem::path Documents() const { return m_path / "Documents"; }
    std::filesystem::path Config() const { return m_path / ".config"; }

private:
    std::filesystem::path m_path;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

// Records every request and answers from a queue.
class ScriptedUi : public UiSeam {
public:
    std::vector<MessageBoxRequest> boxes;
    std::deque<int> answers;              // for message boxes; empty: OK, or No for Yes/No
    std::deque<std::optional<std::string>> files; // for file dialogs; empty: cancelled
    std::vector<FileDialogRequest> fileRequests;
    struct Start { std::string program, params, directory; };
    std::vector<Start> started;
    std::deque<long> startResults;        // empty: 42 (started)
    std::vector<std::string> opened;
    std::deque<long> openResults;         // empty: 42 (opened)

    int MessageBox(const MessageBoxRequest &req) override;
    std::optional<std::string> ChooseFile(const FileDialogRequest &req) override;
    long StartProgram(const std::string &program, const std::string &params,
                      const std::string &directory) override;
    long OpenDocument(const std::string &target) override;
};

// Installs a fresh ScriptedUi for the life of the object.
class ScriptUi {
public:
    ScriptUi();
    ~ScriptUi();
    ScriptedUi &operator*() { return *m_ui; }
    ScriptedUi *operator->() { return m_ui; }

private:
    ScriptedUi *m_ui;
};

// The UTF-8 text as CP932 bytes (for comparing with the program's texts).
std::string Sjis(const std::string &utf8);

// Reads a whole file ("" when missing).
std::string ReadFile(const std::filesystem::path &p);
void WriteFile(const std::filesystem::path &p, const std::string &data);

} // namespace testenv
