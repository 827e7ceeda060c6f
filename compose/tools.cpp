#include "compose/tools.h"

#include "app/cp932.h"

std::string WorkingFolder(std::string_view program)
{
    size_t slash = program.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return std::string(program.substr(0, slash + 1));
}

std::string DefaultMailClient(bool outboxWindowExists, const std::string &outboxWindow,
                              const std::string &desktopMailClient)
{
    if (outboxWindowExists)
        return outboxWindow;
    return desktopMailClient;
}

std::optional<std::string> PathToSettings(const std::string &path)
{
    bool lossless = true;
    std::string text = cp932::FromUtf8(path, '?', &lossless);
    if (!lossless)
        return std::nullopt;
    return text;
}

std::string PathFromSettings(const std::string &text)
{
    return cp932::ToUtf8(text);
}

