// The one seam through which the program shows message boxes, asks for
// files and starts other programs or documents. The running program
// installs the real (wx) implementation; tests install a scripted one that
// records each request and answers it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Buttons, icons and modality of message boxes (the values are the usual
// message-box style bits, so that a test can compare them exactly).
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_ICONMASK = 0xF0,
    MB_DEFBUTTON2 = 0x100,
    MB_TASKMODAL = 0x2000,
    MB_TOPMOST = 0x40000,
};

// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The four kinds of box the program uses.
enum class BoxKind {
    Form,        // owned by the compose form (settings, carriers, address book)
    Application, // the application's own box: file and path problems
    Plain,       // no owner: mail-system start-up and shutdown
    Japanese,    // no owner, Japanese buttons: the pictograph font
};

struct MessageBoxRequest {
    BoxKind kind = BoxKind::Plain;
    void *owner = nullptr;   // the owning window (a wxWindow*), or none
    std::string caption;     // CP932
    std::string text;        // CP932
    unsigned style = MB_OK;
};

struct FileDialogRequest {
    void *parent = nullptr;  // wxWindow*
    bool save = false;
    std::string title;       // CP932
    std::string wildcard;    // wx wildcard, CP932 ("JPEG (*.jpg)|*.jpg")
    std::string directory;   // file-system path
    std::string file;        // file-system path
};

class UiSeam {
public:
    virtual ~UiSeam() = default;
    // Shows the box modally and returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(const MessageBoxRequest &req) = 0;
    // Returns the chosen file-system path, or nothing when cancelled.
    virtual std::optional<std::string> ChooseFile(const FileDialogRequest &req) = 0;
    // Starts a program detached, in `directory` when given. Returns a value
    // above 32 when it started, 32 or less when it could not be started.
    virtual long StartProgram(const std::string &program, const std::string &params,
                              const std::string &directory) = 0;
    // Opens a document or a URL with the desktop's default application.
    // Returns a value above 32 on success.
    virtual long OpenDocument(const std::string &pathOrUrl) = 0;
};

// The installed seam. Without one, boxes answer IDOK/IDNO and print their
// text on standard error, and nothing is started.
UiSeam &Ui();
// Installs a seam (the program's or a test's); returns the previous one.
std::unique_ptr<UiSeam> SetUi(std::unique_ptr<UiSeam> seam);

// The caption of every box the program shows.
inline constexpr const char *kCaption = "Tegamiya";

// Shows a box with the caption "Tegamiya".
int ShowMessageBox(BoxKind kind, void *owner, const std::string &textCp932, unsigned style);

// The application's box: OK only unless asked; with no icon it shows the
// warning icon, as the application's boxes always do.
int AppMessageBox(const std::string &textCp932, unsigned style = MB_OK);

// A box owned by the compose form reporting a failure: error icon, second
// button default, task-modal and topmost.
int FormErrorBox(void *form, const std::string &textCp932);
