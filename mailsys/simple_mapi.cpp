// The twelve Simple MAPI entry points of the mail system.
#pragma GCC visibility push(default)
#include <simple_mapi.h>
#pragma GCC visibility pop

#include "account.h"
#include "address_book.h"
#include "buffers.h"
#include "cp932/cp932.h"
#include "delivery.h"
#include "fsutil.h"
#include "keyring.h"
#include "maildir.h"
#include "message_builder.h"
#include "profile.h"
#include "recipients.h"
#include "ui.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

using namespace mailsys;

namespace {

// Largest note text accepted, in bytes: far above what a phone takes, low
// enough that a runaway caller cannot fill the outbox with one call.
constexpr size_t kMaxNoteText = 1024 * 1024;
// Largest subject accepted, in bytes.
constexpr size_t kMaxSubject = 16 * 1024;
constexpr ULONG kMaxRecipients = 1000;
constexpr ULONG kMaxFiles = 64;

// Sessions are numbered handles that are never reused within a process, so
// a handle kept after MAPILogoff is recognised as stale.
std::mutex g_sessions_mutex;
std::map<LHANDLE, Profile> &Sessions()
{
    static auto *sessions = new std::map<LHANDLE, Profile>;
    return *sessions;
}
LHANDLE g_next_handle = 0x7E6A0001;
// The account password of each session, as found at logon.
std::map<LHANDLE, Credentials> &SessionCredentials()
{
    static auto *credentials = new std::map<LHANDLE, Credentials>;
    return *credentials;
}

bool SessionProfile(LHANDLE handle, Profile *profile, Credentials *credentials = nullptr)
{
    std::lock_guard<std::mutex> lock(g_sessions_mutex);
    auto it = Sessions().find(handle);
    if (handle == 0 || it == Sessions().end())
        return false;
    *profile = it->second;
    if (credentials)
        *credentials = SessionCredentials()[handle];
    return true;
}

bool IsDiskFull(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

std::string FromCp932(const char *s) { return s ? cp932::ToUtf8(s) : std::string(); }

// A path from the caller is the file system's own bytes and is opened as
// given. Only when no file has that name is it read as CP932 (a caller that
// converted its path to its text's code page) and tried as UTF-8.
std::string LocalPath(const char *given)
{
    struct stat st;
    if (stat(given, &st) == 0)
        return given;
    std::string utf8 = cp932::ToUtf8(given);
    if (utf8 != given && stat(utf8.c_str(), &st) == 0)
        return utf8;
    return given;
}

ULONG ReadAttachment(const MapiFileDesc &f, Attachment *out)
{
    if (!f.lpszPathName || !*f.lpszPathName)
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    std::string path = LocalPath(f.lpszPathName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == EACCES ? MAPI_E_ATTACHMENT_OPEN_FAILURE : MAPI_E_ATTACHMENT_NOT_FOUND;
    if (!S_ISREG(st.st_mode))
        return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    if (ReadFile(path, &out->data) != 0)
        return MAPI_E_ATTACHMENT_OPEN_FAILURE;
    // A name the caller gives is text (CP932); the path's last component is
    // the file system's name, UTF-8 unless the file was found as CP932.
    std::string name;
    if (f.lpszFileName && *f.lpszFileName)
        name = cp932::ToUtf8(f.lpszFileName);
    else if (cp932::IsValidUtf8(BaseName(path)))
        name = BaseName(path);
    else
        name = cp932::ToUtf8(BaseName(path));
    // The name the recipient sees is a name, never a path.
    name = BaseName(name);
    size_t bs = name.find_last_of('\\');
    if (bs != std::string::npos)
        name = name.substr(bs + 1);
    out->file_name = name.empty() ? "attachment" : name;
    out->content_type = SniffContentType(out->data);
    return SUCCESS_SUCCESS;
}

ULONG SendMail(const Profile &profile, const Credentials &credentials, const MapiMessage &msg)
{
    if (msg.nRecipCount > kMaxRecipients)
        return MAPI_E_TOO_MANY_RECIPIENTS;
    if (msg.nRecipCount > 0 && !msg.lpRecips)
        return MAPI_E_INVALID_RECIPS;
    ResolvedRecipients recips;
    if (ULONG rc = ResolveRecipients(msg.lpRecips, msg.nRecipCount, profile.address_book, &recips))
        return rc;

    OutgoingMail mail;
    mail.from = {profile.sender_name, profile.sender_address};
    mail.to = std::move(recips.to);
    mail.cc = std::move(recips.cc);
    mail.bcc = std::move(recips.bcc);
    const char *note = msg.lpszNoteText ? msg.lpszNoteText : "";
    const char *subject = msg.lpszSubject ? msg.lpszSubject : "";
    size_t note_len = strnlen(note, kMaxNoteText + 1);
    size_t subject_len = strnlen(subject, kMaxSubject + 1);
    if (note_len > kMaxNoteText || subject_len > kMaxSubject)
        return MAPI_E_TEXT_TOO_LARGE;
    mail.body.assign(note, note_len);
    mail.subject.assign(subject, subject_len);

    if (msg.nFileCount > kMaxFiles)
        return MAPI_E_TOO_MANY_FILES;
    if (msg.nFileCount > 0 && !msg.lpFiles)
        return MAPI_E_ATTACHMENT_NOT_FOUND;
    for (ULONG i = 0; i < msg.nFileCount; ++i) {
        Attachment a;
        if (ULONG rc = ReadAttachment(msg.lpFiles[i], &a))
            return rc;
        mail.attachments.push_back(std::move(a));
    }

    // One mail per form the recipients need, all written before any is
    // handed on: a write that fails takes the ones before it back out, so
    // the call writes all of them or none.
    const time_t now = time(nullptr);
    std::vector<std::string> files;
    for (const OutgoingMail &one : SplitByForm(mail, profile.pictographs)) {
        std::string text = BuildMessage(one, now, NewMessageId(profile.sender_address));
        std::string file;
        if (int err = DeliverToMaildir(profile.outbox, text, &file)) {
            for (const std::string &written : files)
                unlink(written.c_str());
            return IsDiskFull(err) ? MAPI_E_DISK_FULL : MAPI_E_FAILURE;
        }
        files.push_back(file);
    }

    // Handed on at once when there is something to hand them to; otherwise
    // they wait in the outbox, which is success.
    bool failed = false;
    for (const std::string &file : files)
        failed = HandOffQueued(profile, credentials, file) == HandOffResult::Failed || failed;
    return failed ? MAPI_E_FAILURE : SUCCESS_SUCCESS;
}

// The caller's name for a recipient, in CP932. A name CP932 cannot hold is
// replaced by the address, which can be looked up again.
RecipientOut ToCaller(ULONG cls, const std::string &name, const std::string &address)
{
    bool lossless = true;
    std::string n = cp932::FromUtf8(name, '?', &lossless);
    if ((!lossless || n.empty()) && !address.empty())
        n = address;
    return {cls, n, cp932::FromUtf8(address)};
}

template <typename F>
ULONG Guarded(F f)
{
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAPI_E_FAILURE;
    }
}

}  // namespace

extern "C" {

ULONG MAPILogon(ULONG_PTR ulUIParam, LPSTR, LPSTR, FLAGS flFlags, ULONG, LPLHANDLE lplhSession)
{
    return Guarded([&]() -> ULONG {
        if (!lplhSession)
            return MAPI_E_FAILURE;
        *lplhSession = 0;
        Profile profile;
        std::string refusal;
        ProfileLoad load = LoadProfile(&profile, &refusal);
        if (load == ProfileLoad::Refused) {
            // The user's own profile with a line to mend: never replaced by
            // the logon dialog's.
            fprintf(stderr, "tegamiya-mail: %s\n", refusal.c_str());
            if (flFlags & MAPI_LOGON_UI)
                ShowProfileRefusal(ulUIParam, refusal);
            return MAPI_E_LOGIN_FAILURE;
        }
        std::string password;  // typed in a dialog of this logon
        bool asked = false;
        if (load != ProfileLoad::Ok) {
            if (!(flFlags & MAPI_LOGON_UI))
                return MAPI_E_LOGIN_FAILURE;
            asked = true;
            switch (RunLogonDialog(ulUIParam, &profile, &password)) {
            case DialogResult::Cancelled:
                return MAPI_USER_ABORT;
            case DialogResult::Unavailable:
                return MAPI_E_LOGIN_FAILURE;
            case DialogResult::Ok:
                break;
            }
            if (!SaveProfile(profile))
                return MAPI_E_LOGIN_FAILURE;
        }
        if (EnsureMaildir(profile.outbox) != 0)
            return MAPI_E_LOGIN_FAILURE;
        CleanMaildirTmp(profile.outbox);
        ReturnAbandonedClaims(profile.outbox);
        // Each hand-off writes its own msmtp configuration: the file earlier
        // versions shared between processes goes.
        WriteMsmtpConfig(profile);
        // The account's password: from the keyring; else asked for (once per
        // logon) and kept there, or, with no keyring, in memory only.
        bool keyring = true;
        Credentials credentials = asked ? KeepPassword(profile, password) : CredentialsAtLogon(profile, &keyring);
        if (credentials.kind == Credentials::Missing && !asked && (flFlags & MAPI_LOGON_UI) &&
            RunPasswordDialog(ulUIParam, profile, keyring, &password) == DialogResult::Ok)
            credentials = KeepPassword(profile, password);
        ForgetSecret(&password);
        std::lock_guard<std::mutex> lock(g_sessions_mutex);
        LHANDLE handle = g_next_handle++;
        Sessions()[handle] = profile;
        SessionCredentials()[handle] = std::move(credentials);
        *lplhSession = handle;
        return SUCCESS_SUCCESS;
    });
}

ULONG MAPILogoff(LHANDLE lhSession, ULONG_PTR, FLAGS, ULONG)
{
    std::lock_guard<std::mutex> lock(g_sessions_mutex);
    if (lhSession == 0 || Sessions().erase(lhSession) == 0)
        return MAPI_E_INVALID_SESSION;
    ForgetSecret(&SessionCredentials()[lhSession].password);
    SessionCredentials().erase(lhSession);
    return SUCCESS_SUCCESS;
}

ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR, lpMapiMessage lpMessage, FLAGS, ULONG)
{
    return Guarded([&]() -> ULONG {
        Profile profile;
        Credentials credentials;
        if (!SessionProfile(lhSession, &profile, &credentials))
            return MAPI_E_INVALID_SESSION;
        if (!lpMessage)
            return MAPI_E_FAILURE;
        ULONG rc = SendMail(profile, credentials, *lpMessage);
        ForgetSecret(&credentials.password);
        return rc;
    });
}

ULONG MAPIResolveName(LHANDLE lhSession, ULONG_PTR, LPSTR lpszName, FLAGS, ULONG, lpMapiRecipDesc *lppRecip)
{
    return Guarded([&]() -> ULONG {
        Profile profile;
        if (!SessionProfile(lhSession, &profile))
            return MAPI_E_INVALID_SESSION;
        if (!lpszName || !lppRecip)
            return MAPI_E_FAILURE;
        *lppRecip = nullptr;
        std::string name = FromCp932(lpszName);
        RecipientOut out;
        std::string addr, shown;
        if (ParseAddress(name, &addr, &shown)) {
            out = ToCaller(MAPI_TO, shown.empty() ? addr : shown, addr);
        } else {
            AddressBook book;
            book.Load(profile.address_book);
            const Contact *found = nullptr;
            if (ULONG rc = FindOneContact(book, name, &found); rc != SUCCESS_SUCCESS)
                return rc;
            const Contact &c = *found;
            std::string address = c.is_group || c.emails.empty() ? "" : c.emails.front();
            out = ToCaller(MAPI_TO, c.display_name, address);
        }
        MapiRecipDesc *block = AllocateRecipients({out});
        if (!block)
            return MAPI_E_INSUFFICIENT_MEMORY;
        *lppRecip = block;
        return SUCCESS_SUCCESS;
    });
}

ULONG MAPIAddress(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszCaption, ULONG nEditFields, LPSTR lpszLabels,
                  ULONG nRecips, lpMapiRecipDesc lpRecips, FLAGS, ULONG, LPULONG lpnNewRecips,
                  lpMapiRecipDesc *lppNewRecips)
{
    return Guarded([&]() -> ULONG {
        Profile profile;
        if (!SessionProfile(lhSession, &profile))
            return MAPI_E_INVALID_SESSION;
        if (nEditFields > 4)
            return MAPI_E_INVALID_EDITFIELDS;
        if (!lpnNewRecips || !lppNewRecips || (nRecips > 0 && !lpRecips))
            return MAPI_E_FAILURE;
        *lpnNewRecips = 0;
        *lppNewRecips = nullptr;
        int wells = nEditFields == 0 ? 0 : nEditFields == 1 ? 1 : 3;

        AddressBook book;
        book.Load(profile.address_book);
        std::vector<AddressEntry> preset;
        for (ULONG i = 0; i < nRecips; ++i) {
            const MapiRecipDesc &r = lpRecips[i];
            AddressEntry e;
            e.recip_class = wells == 3 && (r.ulRecipClass == MAPI_CC || r.ulRecipClass == MAPI_BCC)
                                ? r.ulRecipClass
                                : MAPI_TO;
            e.name = FromCp932(r.lpszName);
            std::string field = FromCp932(r.lpszAddress);
            std::string addr, shown;
            if (ParseAddress(field, &addr)) {
                e.address = addr;
            } else if (ParseAddress(e.name, &addr, &shown)) {
                e.address = addr;
                e.name = shown.empty() ? addr : shown;
            } else {
                auto found = book.FindByName(e.name);
                if (found.size() == 1 && !found.front()->is_group && !found.front()->emails.empty())
                    e.address = found.front()->emails.front();
            }
            if (e.name.empty())
                e.name = e.address;
            if (!e.name.empty())
                preset.push_back(e);
        }
        std::vector<AddressEntry> chosen;
        std::string label = nEditFields == 1 && lpszLabels ? FromCp932(lpszLabels) : "";
        switch (RunAddressDialog(ulUIParam, FromCp932(lpszCaption), wells, label, book, preset, &chosen)) {
        case DialogResult::Cancelled:
            return MAPI_USER_ABORT;
        case DialogResult::Unavailable:
            return MAPI_E_FAILURE;
        case DialogResult::Ok:
            break;
        }
        if (chosen.empty())
            return SUCCESS_SUCCESS;
        std::vector<RecipientOut> out;
        for (const auto &e : chosen)
            out.push_back(ToCaller(e.recip_class, e.name, e.address));
        MapiRecipDesc *block = AllocateRecipients(out);
        if (!block)
            return MAPI_E_INSUFFICIENT_MEMORY;
        *lppNewRecips = block;
        *lpnNewRecips = static_cast<ULONG>(out.size());
        return SUCCESS_SUCCESS;
    });
}

ULONG MAPIFreeBuffer(LPVOID pv)
{
    if (!pv)
        return SUCCESS_SUCCESS;
    return FreeBlock(pv) ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}

// Reading, saving and deleting stored mail, sending documents and showing
// details are not offered by this mail system.
ULONG MAPISendDocuments(ULONG_PTR, LPSTR, LPSTR, LPSTR, ULONG) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIFindNext(LHANDLE, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPSTR) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIReadMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiMessage *) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPISaveMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG, LPSTR) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIDeleteMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIDetails(LHANDLE, ULONG_PTR, lpMapiRecipDesc, FLAGS, ULONG) { return MAPI_E_NOT_SUPPORTED; }

}  // extern "C"
