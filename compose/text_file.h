// Reading a text file into the body: the file named on the command line
// (and, later, a dropped one).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How much of a text file becomes the body, in bytes of the file.
inline constexpr size_t kMaxBodyFileBytes = 10240;

enum class TextFileResult { Ok, OpenError, ReadError };

// Reads at most kMaxBodyFileBytes bytes of the file and turns them into body
// text: the text ends at a Ctrl+Z (0x1A) or NUL byte; a file that is valid
// UTF-8 (a byte-order mark is dropped, a character cut by the limit too) is
// converted to CP932, characters CP932 lacks becoming "?"; any other file is
// taken as CP932 bytes (a double-byte character cut by the limit is left
// out, never half of it kept); every line break (LF or CR LF) becomes CR LF.
TextFileResult ReadBodyTextFile(const std::string &path, std::string &body);

// The body text made of the bytes a file holds (the conversion above).
std::string BodyTextFromFileBytes(std::string_view bytes);
