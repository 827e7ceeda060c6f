// The recipient history: the To box's list of the last eight recipients, as
// plain functions on CP932 texts, with no windows.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Entries the history keeps.
inline constexpr size_t kHistorySize = 8;

// The combo box's prefix search started after the first entry: entries from
// the second on, then the first; letters compared without regard to case.
// The index of the first entry that begins with `text`, or nothing.
std::optional<size_t> FindHistoryPrefix(const std::vector<std::string> &list, const std::string &text);

// True when a To text is empty or blanks only: such a text is no recipient
// and never enters the history or the display widths.
bool IsBlankRecipient(const std::string &text);

// Puts the To text of a send at the top: an entry after the first that
// begins with it is removed and the text put first; one that is the first
// entry leaves the list as it is; a new text goes first and the list keeps
// at most kHistorySize entries. A blank text changes nothing. True when the
// list changed.
bool InsertIntoHistory(std::vector<std::string> &list, const std::string &text);

// The To box's list from the stored values "MailTo1".."MailTo8": empty
// values are skipped, and so is a value that an entry already taken begins
// with.
std::vector<std::string> HistoryFromValues(const std::vector<std::string> &values);

// The key of history entry `number` (from 1): "MailTo1".."MailTo8".
std::string HistoryKey(size_t number);

// The history dialog's order: ASCII letters compared without regard to
// case (trail bytes of double-byte characters never folded), then by bytes.
std::vector<std::string> SortedForHistoryDialog(std::vector<std::string> entries);
