// What the outbox window does, without windows: the three folders of a
// profile, sending what waits (one mail after the other, told to a progress
// sink), a failed mail put back to be sent again, and a mail deleted.
#pragma once

#include "delivery.h"
#include "mail_list.h"
#include "profile.h"

#include <string>
#include <vector>

namespace mailsys {

enum class OutboxFolder { Waiting, Failed, Sent };

// The Maildir of a folder of the profile.
std::string FolderPath(const Profile &profile, OutboxFolder folder);

// The rows of a folder: waiting mail is the outbox's new/ only. With a
// cache (one per folder), only mail that changed since its last listing is
// read, and a multipart mail's attachment names wait (MailListCache).
std::vector<MailRow> ListFolder(const Profile &profile, OutboxFolder folder, MailListCache *cache = nullptr);

// A stamp of the three folders' listings (the times their new/ and cur/
// last changed): it changes whenever a mail enters, leaves or is renamed in
// any of them, since Maildir files are never rewritten in place.
std::string FoldersStamp(const Profile &profile);

// Told of each mail as it is sent; called on the sending thread.
class SendSink {
public:
    virtual ~SendSink() = default;
    virtual void Sending(size_t index, size_t total) = 0;
    virtual void Done(size_t index, HandOffResult result) = 0;
};

// Hands each file on in turn (see HandOffQueued); a mail that fails does not
// stop the others. A file another sender claimed first, or no longer there
// (sent meanwhile by another program), counts as Taken.
std::vector<HandOffResult> SendFiles(const Profile &profile, const Credentials &credentials,
                                     const std::vector<std::string> &files, SendSink &sink);

// The files waiting in the outbox's new/, oldest first.
std::vector<std::string> WaitingFiles(const Profile &profile);

// Puts a mail of the failed folder back into the outbox's new/ under a new
// unique name, so that it is sent again. Returns 0 (and *path) or an errno;
// on failure the mail stays where it was.
int ReturnToOutbox(const Profile &profile, const std::string &failed_file, std::string *path);

// Removes a mail's file. Returns 0 or an errno.
int DeleteMail(const std::string &file);

}  // namespace mailsys
