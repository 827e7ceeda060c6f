// The editing commands' and the file drop's plain rules: removing blanks,
// the colour of pasted text, and what a dropped file becomes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text without its blanks (0x20), tabs, CRs, LFs and full-width spaces
// (0x81 0x40), going character by character so that the trail byte of a
// double-byte character is never taken for a blank; every other character
// stays, in order.
std::string DeleteBlanks(std::string_view cp932);

// After a paste into the body: the byte from which the body is shown red
// (2 x limit, when the body is longer than that), or nothing when the pasted
// text takes the automatic colour.
std::optional<long> PasteRedFrom(long bodyBytes, uint32_t limit);

// The extension of a path, from the last "." of its last component ("" when
// it has none).
std::string FileExtension(std::string_view path);

// The program's one extension rule, compared exactly (no case folding):
// ".txt" text; ".jpg", ".JPG", ".jpeg", ".JPEG" JPEG; ".bmp", ".BMP" BMP;
// ".lnk" a shortcut; anything else other. Drops, the command line's file and
// the picture preview all decide by it.
enum class FileKind { Text, Jpeg, Bmp, Shortcut, Other };
FileKind ClassifyFileByExtension(std::string_view path);

// What a dropped file (or the command line's file) is, by the rule above: a
// text file for the body, a JPEG picture to attach, a shortcut to follow
// first; a BMP and anything else are refused.
enum class DropKind { Text, Picture, Shortcut, Other };
DropKind ClassifyDroppedFile(std::string_view path);

// The drop's decision over the dropped paths: the first one counts. No
// path at all (or an empty first one) is a failed drop.
struct DropPlan {
    bool failed = false;  // "ファイルのドロップに失敗しました。"
    std::string path;     // the first dropped file
    DropKind kind = DropKind::Other;
};
DropPlan PlanDrop(const std::vector<std::string> &paths);
