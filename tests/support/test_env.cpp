#include "test_env.h"

#include "app/cp932.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testenv {

TempHome::TempHome()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "tegamiya-test-XXXXXX").string();
    char *dir = mkdtemp(tmpl.data());
    m_path = dir ? dir : tmpl;
    for (const char *var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const char *old = std::getenv(var);
        m_saved.emplace_back(var, old ? old : "\x01");
    }
    setenv("HOME", m_path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_path / ".config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_path / ".local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (m_path / ".cache").c_str(), 1);
}

TempHome::~TempHome()
{
    for (auto &[var, old] : m_saved) {
        if (old == "\x01")
            unsetenv(var.c_str());
        else
            setenv(var.c_str(), old.c_str(), 1);
    }
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

int ScriptedUi::MessageBox(const MessageBoxRequest &req)
{
    boxes.push_back(req);
    if (!answers.empty()) {
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    return (req.style & 0xF) == MB_YESNO ? IDNO : IDOK;
}

std::optional<std::string> ScriptedUi::ChooseFile(const FileDialogRequest &req)
{
    fileRequests.push_back(req);
    if (files.empty())
        return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
}

long ScriptedUi::StartProgram(const std::string &program, const std::string &params,
                              const std::string &directory)
{
    started.push_back({program, params, directory});
    if (startResults.empty())
        return 42;
    long r = startResults.front();
    startResults.pop_front();
    return r;
}

long ScriptedUi::OpenDocument(const std::string &target)
{
    opened.push_back(target);
    if (openResults.empty())
        return 42;
    long r = openResults.front();
    openResults.pop_front();
    return r;
}

ScriptUi::ScriptUi()
{
    auto ui = std::make_unique<ScriptedUi>();
    m_ui = ui.get();
    SetUi(std::move(ui));
}

ScriptUi::~ScriptUi() { SetUi(nullptr); }

std::string Sjis(const std::string &utf8) { return cp932::FromUtf8(utf8); }

std::string ReadFile(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::filesystem::path &p, const std::string &data)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << data;
}

} // namespace testenv
