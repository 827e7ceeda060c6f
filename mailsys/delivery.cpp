#include "delivery.h"

#include "account.h"
#include "failed_mail.h"
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
    std::string command = HandOffCommand(profile, config.Path(), on_pipe);
    if (!RunSendCommand(command, claimed, profile.send_timeout, on_pipe ? &credentials.password : nullptr, &why))
        return FileAsFailed(profile, claimed, why, new_path);
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
