#include "outbox_send.h"

#include "account.h"
#include "envelope.h"
#include "failed_mail.h"
#include "handoff.h"
#include "maildir.h"
#include "outbox_core.h"
#include "ui_text.h"

#include <wx/string.h>

namespace mailsys {

namespace {

std::string Utf8(const wxString &text) { return std::string(text.utf8_str()); }

// The value of a "Name: value" line of a mail as MailText shows it.
std::string Field(const std::string &text, const std::string &name)
{
    std::string key = name + ": ";
    size_t at = text.rfind("\n" + key, text.find("\n\n"));
    if (text.compare(0, key.size(), key) == 0)
        at = 0;
    else if (at == std::string::npos)
        return "";
    else
        ++at;
    size_t end = text.find('\n', at);
    return text.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

}  // namespace

int RunSendMode(FILE *out, FILE *err)
{
    UiText T;
    Profile profile;
    if (LoadProfile(&profile) != ProfileLoad::Ok) {
        fprintf(err, "%s\n", Utf8(T("No account is set up: start the outbox window to set one up.")).c_str());
        return kNoAccount;
    }
    Credentials credentials = CredentialsAtLogon(profile);
    if (!CanHandOff(profile, credentials)) {
        const char *why = !profile.send_command.empty() || UsesAccount(profile)
                              ? "The account's password is not known: keep it in the keyring through the outbox window."
                              : "No account is set up: start the outbox window to set one up.";
        fprintf(err, "%s\n", Utf8(T(why)).c_str());
        return kNoAccount;
    }
    ReturnAbandonedClaims(profile.outbox);
    std::vector<std::string> files = WaitingFiles(profile);
    std::vector<std::string> titles;
    for (const auto &f : files) {
        std::string text = MailText(f);
        // A copy written for some of the recipients names whom it goes to.
        std::string to;
        for (const auto &a : ReadDeliveryHeaders(f).envelope)
            to += (to.empty() ? "" : ", ") + a;
        titles.push_back("\"" + Field(text, "Subject") + "\" (" + (to.empty() ? Field(text, "To") : to) + ")");
    }
    // One mail after the other, each line told as its hand-off ends.
    static const char *const words[] = {"Sent", "Failed", "Waiting", "Taken by another sender"};
    int status = kAllSent;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string where;
        HandOffResult r = HandOffQueued(profile, credentials, files[i], &where);
        std::string line = Utf8(T(words[static_cast<int>(r)]));
        std::string phrase, detail;
        if (r == HandOffResult::Failed && ReadFailureReason(where, &phrase, &detail))
            line += ": " + Utf8(T(phrase.c_str())) + (detail.empty() ? "" : " (" + detail + ")");
        if (r == HandOffResult::Failed || r == HandOffResult::Waiting)
            status = kSomeFailed;
        fprintf(out, "%s: %s\n", line.c_str(), titles[i].c_str());
        fflush(out);
    }
    return status;
}

}  // namespace mailsys
