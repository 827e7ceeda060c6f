// Settings files in the private-profile format: "[section]" lines followed
// by "key=value" lines, CP932 text, CR LF line ends (CR LF, LF and a lone CR
// all read). This is the store of the settings file and of the per-user
// registry profile; app/profile_text.h holds the text rules.
//
// The rules callers rely on:
//  - a missing key reads as the caller's default;
//  - a read with a buffer size n delivers at most n - 1 bytes;
//  - a section's key list is its key names in file order, or the caller's
//    default as a single entry when the section is missing or empty;
//  - section and key names match without regard to (ASCII) case;
//  - integers are the value's leading decimal digits (0 without any);
//  - a write creates file, section and key as needed, appends a new key at
//    the end of its section and a new section at the end of the file.
// Every call sees the file as it is now (a file unchanged since the last
// read is not parsed again); every write replaces it atomically, so a crash
// or a full disk never leaves a torn file. Lines the rules do not
// understand (no "=", blank, before any section) are kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class ProfileFile {
public:
    // An empty path stands for "no usable settings file": reads give their
    // defaults and writes fail.
    explicit ProfileFile(std::string path = {}, bool createFolders = false);

    const std::string &Path() const { return m_path; }

    // The value of section/key, or `def` when the key is missing. With
    // bufSize > 0 the result is cut to bufSize - 1 bytes, as a read into a
    // buffer of that size would be; 0 reads it whole.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def, size_t bufSize = 0) const;

    // The key names of a section in file order; {def} when the section is
    // missing or has no keys ({} when def is empty).
    std::vector<std::string> GetKeys(std::string_view section, std::string_view def = {}) const;

    // The leading decimal digits of the value as an integer; `def` when the
    // key is missing, 0 when the value has no leading digits.
    int GetInt(std::string_view section, std::string_view key, int def) const;

    // Writes section/key = value. Returns false when the file cannot be
    // written, or a name or the value holds a line break (the file then
    // stays as it was).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Removes a key; true when the file no longer holds it.
    bool DeleteKey(std::string_view section, std::string_view key);

    // One value of a group of settings written together.
    struct Entry {
        std::string section, key, value;
    };
    // Writes every entry, in order, in one rewrite of the file: afterwards
    // the file holds all of them or (on any failure, a name or value it
    // cannot hold included) is as it was. A group of keys that belong
    // together never ends half old, half new.
    bool WriteStrings(const std::vector<Entry> &entries);

private:
    std::string m_path;
    bool m_createFolders;
};

// The leading-decimal-digit conversion of integer reads ("12px" -> 12,
// "x" -> 0). Values beyond the range of int saturate.
int LeadingDecimal(std::string_view text);

// Writes `data` to `path` atomically: a temporary file in the same folder is
// written, flushed to disk and renamed over the target, and the folder is
// flushed. A path that is a symbolic link is written at the file the link
// leads to (the link stays). On failure the target is untouched (or, when
// only the folder's flush failed, replaced but not known to be durable),
// the temporary file removed and errno tells why.
bool WriteFileAtomically(const std::string &path, std::string_view data);

namespace profile_testing {
// Replaces the fsync the atomic writes use (nullptr: the system's); returns
// the one in force. For tests that make a flush fail.
int (*SetFsync(int (*fn)(int)))(int);
} // namespace profile_testing
