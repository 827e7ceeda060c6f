// The external tools' plain rules: the working folder of a program, which
// program stands for the mail client, and paths kept in the CP932 settings
// file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Section and keys of the external tools in the settings file.
inline constexpr const char *kToolsSection = "Program Tools";
inline constexpr const char *kMailClientKey = "Outlook Express";
inline constexpr const char *kKaoMojiKey = "KaoMoji";
inline constexpr const char *kUrlKey = "URL";
inline constexpr const char *kOtherKey = "Other";

// The name of the mail system's outbox window, installed beside the program.
inline constexpr const char *kOutboxWindowName = "tegamiya-outbox";

// The folder a program is started in: its path up to and including the last
// "/" ("" for a bare name).
std::string WorkingFolder(std::string_view program);

// The default mail client: the outbox window when it exists, else the
// desktop's mail client (a program path, "" when there is none), else none.
std::string DefaultMailClient(bool outboxWindowExists, const std::string &outboxWindow,
                              const std::string &desktopMailClient);

// A file-system path (UTF-8 bytes) as settings text, or nothing when CP932
// cannot hold it (it would be stored damaged).
std::optional<std::string> PathToSettings(const std::string &path);
// A path read from the settings file as a file-system path.
std::string PathFromSettings(const std::string &cp932);

