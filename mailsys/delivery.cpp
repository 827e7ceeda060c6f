#include "delivery.h"

#include "account.h"
#include "envelope.h"
#include "failed_mail.h"
#include "fsutil.h"
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

namespace {

// Rewrites the delivery lines of a mail to name its envelope's recipients
// from `first` on (atomically; on failure the file stays as it was, and a
// later try reaches the earlier recipients a second time, which is told).
void KeepRecipientsFrom(const std::string &file, const QueuedDelivery &delivery, size_t first)
{
    std::string text;
    std::vector<std::string> rest(delivery.envelope.begin() + static_cast<long>(first), delivery.envelope.end());
    if (ReadFile(file, &text) == 0 &&
        WriteFileAtomic(file, DeliveryHeaders(delivery.form, rest) + text.substr(size_t(delivery.body_offset))) == 0)
        return;
    fprintf(stderr, "tegamiya-mail: %s went out to %zu of its recipients but cannot say so in its file\n",
            file.c_str(), first);
}

}  // namespace

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
    // Such a mail goes to each of them in a conversation of its own, so that
    // no server sees (nor writes into a Received line) who else got it.
    std::vector<std::vector<std::string>> runs;
    for (const std::string &a : delivery.envelope)
        runs.push_back({a});
    if (runs.empty())
        runs.push_back({});
    for (size_t i = 0; i < runs.size(); ++i) {
        std::string command = HandOffCommand(profile, on_pipe, runs[i]);
        if (RunSendCommand(command, file, profile.send_timeout, on_pipe ? &credentials.password : nullptr, &why,
                           delivery.body_offset))
            continue;
        // Those before went out: the mail keeps only the recipients still
        // to reach, so that sending it again reaches each once.
        if (i > 0)
            KeepRecipientsFrom(file, delivery, i);
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
