#include "delivery.h"

#include "account.h"
#include "failed_mail.h"
#include "handoff.h"
#include "maildir.h"

#include <cstdio>
#include <cstring>

namespace mailsys {

bool CanHandOff(const Profile &profile, const Credentials &credentials)
{
    if (!profile.send_command.empty())
        return true;
    if (!UsesAccount(profile))
        return false;
    return !(AccountNeedsPassword(profile) && credentials.kind == Credentials::Missing);
}

HandOffResult HandOffQueued(const Profile &profile, const Credentials &credentials, const std::string &file,
                            std::string *new_path)
{
    if (!CanHandOff(profile, credentials))
        return HandOffResult::Waiting;
    bool on_pipe = profile.send_command.empty() && AccountNeedsPassword(profile) &&
                   credentials.kind == Credentials::Given;
    if (profile.send_command.empty() && WriteMsmtpConfig(profile) != 0) {
        MoveToFailed(file, FailedMaildirFor(profile.outbox));
        return HandOffResult::Failed;
    }
    std::string command = HandOffCommand(profile, on_pipe);
    if (!RunSendCommand(command, file, profile.send_timeout, on_pipe ? &credentials.password : nullptr)) {
        // Not sent: it leaves the outbox, so that nothing goes out later
        // behind the back of a caller told that it failed.
        std::string failed = FailedMaildirFor(profile.outbox);
        MoveToFailed(file, failed);
        if (new_path)
            *new_path = failed + "/new/" + file.substr(file.rfind('/') + 1);
        return HandOffResult::Failed;
    }
    // Sent: filed under Sent; should that fail it still leaves new/, where
    // it would be sent again, and the failure is told on standard error.
    std::string kept;
    if (int err = FileAsSent(file, profile.sent, profile.outbox, &kept))
        fprintf(stderr, "tegamiya-mail: a sent mail could not be filed under %s: %s; %s\n", profile.sent.c_str(),
                strerror(err), kept.empty() ? "no copy is kept" : ("kept as " + kept).c_str());
    if (new_path)
        *new_path = kept;
    return HandOffResult::Sent;
}

}  // namespace mailsys
