// Links named on the command line, without windows: a mail link
// ("mailto:", as the desktop passes it when Tegamiya handles mail links)
// made into the form's fields, and a file link ("file:") made into a path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// True when the command-line argument is a mail link: it starts with
// "mailto:" in any case.
bool IsMailLink(std::string_view arg);

// The fields a mail link fills, CP932 text as the form holds it.
struct MailLinkFields {
    std::string to, cc, bcc, subject, body;
    friend bool operator==(const MailLinkFields &, const MailLinkFields &) = default;
};

// Reads a mail link: "mailto:" addresses "?" name "=" value "&" ...
// - Every part is percent-decoded ("+" stays "+"); the decoded bytes must be
//   UTF-8 without NUL, else the link is refused (nullopt), as is a "%" that
//   two hexadecimal digits do not follow.
// - The addresses before "?" and every "to", "cc" and "bcc" field add their
//   addresses (separated by ",") in order, joined by ";"; blanks around an
//   address are dropped, an empty one is none, one holding a control
//   character refuses the link.
// - The first "subject" and "body" count; field names are compared without
//   case; other fields and a "#" fragment are ignored.
// - The subject keeps its first line. The body is made as a text file's is
//   (compose/text_file.h): its first kMaxBodyFileBytes decoded bytes count.
// - Characters CP932 cannot hold become "?", or the character CP932 holds
//   in their place, as text typed into the form does.
std::optional<MailLinkFields> ParseMailLink(std::string_view link);

// The local path a file link names ("file:///p" or "file://localhost/p",
// percent-decoded), or nullopt when the argument is no such link.
std::optional<std::string> PathFromFileLink(std::string_view arg);
