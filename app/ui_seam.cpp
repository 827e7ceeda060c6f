#include "app/ui_seam.h"

#include "app/cp932.h"

#include <cstdio>

namespace {

class HeadlessSeam : public UiSeam {
public:
    int MessageBox(const MessageBoxRequest &req) override
    {
        std::fprintf(stderr, "%s: %s\n", req.caption.c_str(), cp932::ToUtf8(req.text).c_str());
        return (req.style & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
    std::optional<std::string> ChooseFile(const FileDialogRequest &) override { return std::nullopt; }
    long StartProgram(const std::string &, const std::string &, const std::string &) override { return 2; }
    long OpenDocument(const std::string &) override { return 2; }
};

std::unique_ptr<UiSeam> &Current()
{
    static std::unique_ptr<UiSeam> seam = std::make_unique<HeadlessSeam>();
    return seam;
}

} // namespace

UiSeam &Ui() { return *Current(); }

std::unique_ptr<UiSeam> SetUi(std::unique_ptr<UiSeam> seam)
{
    std::unique_ptr<UiSeam> old = std::move(Current());
    Current() = seam ? std::move(seam) : std::make_unique<HeadlessSeam>();
    return old;
}

int ShowMessageBox(BoxKind kind, void *owner, const std::string &text, unsigned style)
{
    MessageBoxRequest req;
    req.kind = kind;
    req.owner = owner;
    req.caption = kCaption;
    req.text = text;
    req.style = style;
    return Ui().MessageBox(req);
}

int AppMessageBox(const std::string &text, unsigned style)
{
    if ((style & MB_ICONMASK) == 0)
        style |= MB_ICONWARNING;
    return ShowMessageBox(BoxKind::Application, nullptr, text, style);
}

int FormErrorBox(void *form, const std::string &text)
{
    return ShowMessageBox(BoxKind::Form, form, text,
                          MB_OK | MB_ICONERROR | MB_DEFBUTTON2 | MB_TASKMODAL | MB_TOPMOST);
}
