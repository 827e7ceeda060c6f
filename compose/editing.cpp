#include "compose/editing.h"

#include "app/cp932.h"

std::string DeleteBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(c) && i + 1 < text.size()) {
            if (!(c == 0x81 && text[i + 1] == 0x40))
                out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out += static_cast<char>(c);
        ++i;
    }
    return out;
}

std::optional<long> PasteRedFrom(long bodyBytes, uint32_t limit)
{
    long from = 2 * static_cast<long>(limit);
    if (bodyBytes > from)
        return from;
    return std::nullopt;
}

std::string FileExtension(std::string_view path)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(path.substr(dot));
}

FileKind ClassifyFileByExtension(std::string_view path)
{
    std::string ext = FileExtension(path);
    if (ext == ".txt")
        return FileKind::Text;
    if (ext == ".jpg" || ext == ".JPG" || ext == ".jpeg" || ext == ".JPEG")
        return FileKind::Jpeg;
    if (ext == ".bmp" || ext == ".BMP")
        return FileKind::Bmp;
    if (ext == ".lnk")
        return FileKind::Shortcut;
    return FileKind::Other;
}

DropKind ClassifyDroppedFile(std::string_view path)
{
    switch (ClassifyFileByExtension(path)) {
    case FileKind::Text:
        return DropKind::Text;
    case FileKind::Jpeg:
        return DropKind::Picture;
    case FileKind::Shortcut:
        return DropKind::Shortcut;
    case FileKind::Bmp:
    case FileKind::Other:
        break;
    }
    return DropKind::Other;
}

DropPlan PlanDrop(const std::vector<std::string> &paths)
{
    DropPlan plan;
    if (paths.empty() || paths.front().empty()) {
        plan.failed = true;
        return plan;
    }
    plan.path = paths.front();
    plan.kind = ClassifyDroppedFile(plan.path);
    return plan;
}
