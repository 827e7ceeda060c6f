#include "app/wx_ui.h"

#include "app/ui_seam.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

// Splits a parameter string at blanks, keeping "quoted parts" together.
std::vector<std::string> SplitParams(const std::string &params)
{
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, have = false;
    for (char c : params) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (have)
                out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have)
        out.push_back(cur);
    return out;
}

class WxUi : public UiSeam {
public:
    int MessageBox(const MessageBoxRequest &req) override
    {
        long style = wxCENTRE;
        switch (req.style & 0xF) {
        case MB_YESNO: style |= wxYES_NO; break;
        case MB_OKCANCEL: style |= wxOK | wxCANCEL; break;
        default: style |= wxOK; break;
        }
        switch (req.style & MB_ICONMASK) {
        case MB_ICONERROR: style |= wxICON_ERROR; break;
        case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
        case MB_ICONWARNING: style |= wxICON_WARNING; break;
        case MB_ICONINFORMATION: style |= wxICON_INFORMATION; break;
        default: style |= wxICON_NONE; break;
        }
        // A second button is default only where there is one: the form's
        // error boxes ask for it on their lone OK (wx refuses "no" as the
        // default of a box without it).
        if (req.style & MB_DEFBUTTON2) {
            if ((req.style & 0xF) == MB_OKCANCEL)
                style |= wxCANCEL_DEFAULT;
            else if ((req.style & 0xF) == MB_YESNO)
                style |= wxNO_DEFAULT;
        }
        if (req.style & MB_TOPMOST)
            style |= wxSTAY_ON_TOP;
        wxWindow *owner = static_cast<wxWindow *>(req.owner);
        wxMessageDialog dlg(owner, ToWx(req.text), ToWx(req.caption), style);
        // Japanese buttons whatever the locale.
        dlg.SetYesNoCancelLabels(wxString::FromUTF8("はい"), wxString::FromUTF8("いいえ"),
                                 wxString::FromUTF8("キャンセル"));
        dlg.SetOKCancelLabels("OK", wxString::FromUTF8("キャンセル"));
        switch (dlg.ShowModal()) {
        case wxID_YES: return IDYES;
        case wxID_NO: return IDNO;
        case wxID_CANCEL: return IDCANCEL;
        default: return IDOK;
        }
    }

    std::optional<std::string> ChooseFile(const FileDialogRequest &req) override
    {
        long style = req.save ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT) : (wxFD_OPEN | wxFD_FILE_MUST_EXIST);
        wxFileDialog dlg(static_cast<wxWindow *>(req.parent), ToWx(req.title),
                         wxString::FromUTF8(req.directory), wxString::FromUTF8(req.file),
                         ToWx(req.wildcard), style);
        if (dlg.ShowModal() != wxID_OK)
            return std::nullopt;
        return std::string(dlg.GetPath().fn_str());
    }

    long StartProgram(const std::string &program, const std::string &params,
                      const std::string &directory) override
    {
        // Like the shell's "open" of a program: 2 when it is missing, 5 when
        // it may not be run, 31 when it cannot be started, 42 when started.
        struct stat st;
        if (program.empty() || stat(program.c_str(), &st) != 0)
            return 2;
        if (!S_ISREG(st.st_mode) || access(program.c_str(), X_OK) != 0)
            return 5;
        std::vector<std::string> args{program};
        for (std::string &a : SplitParams(params))
            args.push_back(std::move(a));
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        // A pipe closed on exec tells whether exec succeeded; a double fork
        // leaves the program detached so that no zombie is left behind.
        int pfd[2];
        if (pipe2(pfd, O_CLOEXEC) != 0)
            return 31;
        pid_t pid = fork();
        if (pid < 0) {
            close(pfd[0]);
            close(pfd[1]);
            return 31;
        }
        if (pid == 0) {
            setsid();
            if (fork() != 0)
                _exit(0);
            if (!directory.empty() && chdir(directory.c_str()) != 0) {
                int e = errno;
                (void)!write(pfd[1], &e, sizeof e);
                _exit(127);
            }
            execv(program.c_str(), argv.data());
            int e = errno;
            (void)!write(pfd[1], &e, sizeof e);
            _exit(127);
        }
        close(pfd[1]);
        waitpid(pid, nullptr, 0);
        int err = 0;
        ssize_t n = read(pfd[0], &err, sizeof err);
        close(pfd[0]);
        return n > 0 ? 31 : 42;
    }

    long OpenDocument(const std::string &target) override
    {
        wxString t = wxString::FromUTF8(target);
        bool url = target.find("://") != std::string::npos;
        if (!url) {
            struct stat st;
            if (stat(target.c_str(), &st) != 0)
                return 2;
        }
        bool ok = url ? wxLaunchDefaultBrowser(t) : wxLaunchDefaultApplication(t);
        return ok ? 42 : 31;
    }
};

} // namespace

void InstallWxUi() { SetUi(std::make_unique<WxUi>()); }
