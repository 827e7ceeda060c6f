#include "delivery.h"

#include "account.h"
#include "envelope.h"
#include "failed_mail.h"
#include "handoff.h"
#include "keyring.h"
#include "maildir.h"

#include <cstdio>
#include <cstring>

namespace mailsys {

Credentials CredentialsAtLogon(const Profile &profile, bool *keyring_answers)
{
    Credentials c;
    if (keyring_answers)
        *keyring_answers = true;
    if (!AccountNeedsPassword(profile))
        return c;
    std::string password;
    KeyringResult found = LookupSmtpPassword(profile.account.server, profile.account.user, &password);
    ForgetSecret(&password);
    if (keyring_answers)
        *keyring_answers = found != KeyringResult::Unavailable;
    if (found != KeyringResult::Ok)
        c.kind = Credentials::Missing;
    return c;
}

Credentials KeepPassword(const Profile &profile, const std::string &password)
{
    if (!AccountNeedsPassword(profile) || password.empty())
        return CredentialsAtLogon(profile);
    if (StoreSmtpPassword(profile.account.server, profile.account.user, password) == KeyringResult::Ok)
        return {};
    return {Credentials::Given, password};
}

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
    SendFailure why;
    if (profile.send_command.empty() && WriteMsmtpConfig(profile) != 0) {
        why.kind = SendFailure::NoConfig;
        MoveToFailed(file, FailedMaildirFor(profile.outbox), &why);
        return HandOffResult::Failed;
    }
    // A mail written per pictograph form names its own recipients; the lines
    // that say so are not part of what goes out.
    QueuedDelivery delivery = ReadDeliveryHeaders(file);
    if (delivery.damaged) {
        why.kind = SendFailure::Damaged;
        MoveToFailed(file, FailedMaildirFor(profile.outbox), &why);
        return HandOffResult::Failed;
    }
    std::string command = HandOffCommand(profile, on_pipe, delivery.envelope);
    if (!RunSendCommand(command, file, profile.send_timeout, on_pipe ? &credentials.password : nullptr, &why,
                        delivery.body_offset)) {
        // Not sent: it leaves the outbox, so that nothing goes out later
        // behind the back of a caller told that it failed. Why is kept
        // beside it for the outbox window.
        std::string failed = FailedMaildirFor(profile.outbox);
        MoveToFailed(file, failed, &why);
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
