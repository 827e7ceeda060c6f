#include "delivery.h"

#include "account.h"
#include "envelope.h"
#include "failed_mail.h"
#include "fsutil.h"
#include "handoff.h"
#include "keyring.h"
#include "maildir.h"

#include <cerrno>
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
    return {Credentials::Given, SecretText(password)};
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

// A failed hand-off: the mail leaves the outbox for failed/, so that
// nothing goes out later behind the back of a caller told that it failed;
// why is kept beside it for the outbox window. When failed/ cannot keep
// it, it waits in the outbox again (never removed before it is stored
// elsewhere), and that is told on standard error.
HandOffResult FileAsFailed(const Profile &profile, const std::string &claimed, const SendFailure &why,
                           std::string *new_path)
{
    std::string failed = FailedMaildirFor(profile.outbox), name = ClaimedMailName(claimed);
    std::string where = failed + "/new/" + name;
    if (int err = MoveToFailed(claimed, failed, &why, name)) {
        int back = ReleaseClaim(claimed, &where);
        fprintf(stderr, "tegamiya-mail: a mail that could not be sent could not be kept under %s either (%s); %s\n",
                failed.c_str(), strerror(err),
                back ? ("it stays as " + claimed).c_str() : ("it waits in the outbox as " + where).c_str());
        if (back)
            where = claimed;
    }
    if (new_path)
        *new_path = where;
    return HandOffResult::Failed;
}

}  // namespace

HandOffResult HandOffQueued(const Profile &profile, const Credentials &credentials, const std::string &file,
                            std::string *new_path)
{
    if (!CanHandOff(profile, credentials))
        return HandOffResult::Waiting;
    std::string claimed;
    if (int err = ClaimMail(file, &claimed)) {
        if (err == ENOENT)
            return HandOffResult::Taken;
        fprintf(stderr, "tegamiya-mail: %s could not be claimed for sending: %s\n", file.c_str(), strerror(err));
        if (new_path)
            *new_path = file;
        return HandOffResult::Failed;
    }
    bool on_pipe = profile.send_command.empty() && AccountNeedsPassword(profile) &&
                   credentials.kind == Credentials::Given;
    SendFailure why;
    HandOffConfig config;
    if (profile.send_command.empty() && config.Write(profile) != 0) {
        why.kind = SendFailure::NoConfig;
        return FileAsFailed(profile, claimed, why, new_path);
    }
    // A mail written per pictograph form names its own recipients; the lines
    // that say so are not part of what goes out.
    QueuedDelivery delivery = ReadDeliveryHeaders(claimed);
    if (delivery.damaged) {
        why.kind = SendFailure::Damaged;
        return FileAsFailed(profile, claimed, why, new_path);
    }
    // Such a mail goes to each of them in a conversation of its own, so that
    // no server sees (nor writes into a Received line) who else got it.
    std::vector<std::vector<std::string>> runs;
    for (const std::string &a : delivery.envelope)
        runs.push_back({a});
    if (runs.empty())
        runs.push_back({});
    for (size_t i = 0; i < runs.size(); ++i) {
        std::string command = HandOffCommand(profile, config.Path(), on_pipe, runs[i]);
        if (RunSendCommand(command, claimed, profile.send_timeout, on_pipe ? &credentials.password : nullptr, &why,
                           delivery.body_offset))
            continue;
        // Those before went out: the mail keeps only the recipients still
        // to reach, so that sending it again reaches each once.
        if (i > 0)
            KeepRecipientsFrom(claimed, delivery, i);
        return FileAsFailed(profile, claimed, why, new_path);
    }
    // Sent: filed under Sent; should that fail it still leaves the outbox,
    // where it would be sent again, and the failure is told on standard
    // error.
    std::string kept;
    if (int err = FileAsSent(claimed, profile.sent, profile.outbox, &kept))
        fprintf(stderr, "tegamiya-mail: a sent mail could not be filed under %s: %s; %s\n", profile.sent.c_str(),
                strerror(err), kept.empty() ? "no copy is kept" : ("kept as " + kept).c_str());
    if (new_path)
        *new_path = kept;
    return HandOffResult::Sent;
}

}  // namespace mailsys
