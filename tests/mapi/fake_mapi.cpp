#include "fake_mapi.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

FakeMapiState g_state;
const LHANDLE kSession = 0x5E55;

std::string Str(const char *s) { return s ? std::string(s) : std::string(); }

char *Dup(const std::string &s, std::vector<char *> &owned)
{
    char *p = static_cast<char *>(std::malloc(s.size() + 1));
    std::memcpy(p, s.c_str(), s.size() + 1);
    owned.push_back(p);
    return p;
}

// A returned array of recipients: one block holding the records, with the
// strings it points to kept alongside and freed with it.
struct Block {
    std::vector<char *> strings;
    MapiRecipDesc *recips = nullptr;
};
std::map<void *, Block> g_blocks;

MapiRecipDesc *MakeRecips(const std::vector<FakeRecipient> &from)
{
    Block b;
    b.recips = static_cast<MapiRecipDesc *>(std::calloc(from.empty() ? 1 : from.size(), sizeof(MapiRecipDesc)));
    for (size_t i = 0; i < from.size(); ++i) {
        b.recips[i].ulRecipClass = from[i].recipClass;
        b.recips[i].lpszName = Dup(from[i].name, b.strings);
        b.recips[i].lpszAddress = from[i].address.empty() ? nullptr : Dup(from[i].address, b.strings);
    }
    g_blocks[b.recips] = b;
    g_state.outstanding.insert(b.recips);
    return b.recips;
}

} // namespace

extern "C" {

FakeMapiState *FakeMapi_State() { return &g_state; }

ULONG MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS flFlags, ULONG, LPLHANDLE lplhSession)
{
    ++g_state.logonCalls;
    g_state.lastLogonFlags = flFlags;
    if (g_state.logonResult != SUCCESS_SUCCESS)
        return g_state.logonResult;
    g_state.session = kSession;
    if (lplhSession)
        *lplhSession = kSession;
    return SUCCESS_SUCCESS;
}

ULONG MAPILogoff(LHANDLE lhSession, ULONG_PTR, FLAGS, ULONG)
{
    ++g_state.logoffCalls;
    ULONG r = SUCCESS_SUCCESS;
    if (!g_state.logoffResults.empty()) {
        r = g_state.logoffResults.front();
        g_state.logoffResults.pop_front();
    }
    if (r == SUCCESS_SUCCESS) {
        if (lhSession != kSession)
            return MAPI_E_INVALID_SESSION;
        g_state.session = 0;
    }
    return r;
}

ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR, lpMapiMessage m, FLAGS flFlags, ULONG)
{
    if (lhSession != kSession || g_state.session != kSession)
        return MAPI_E_INVALID_SESSION;
    if (g_state.sendDelayMs > 0)
        usleep(static_cast<useconds_t>(g_state.sendDelayMs) * 1000);
    const int number = ++g_state.sendGate.started;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (g_state.sendGate.hold && g_state.sendGate.released < number && std::chrono::steady_clock::now() < giveUp)
        usleep(1000);
    ULONG r = SUCCESS_SUCCESS;
    if (!g_state.sendResults.empty()) {
        r = g_state.sendResults.front();
        g_state.sendResults.pop_front();
    }
    if (r != SUCCESS_SUCCESS)
        return r;
    FakeMail mail;
    mail.flags = flFlags;
    mail.subject = Str(m->lpszSubject);
    mail.noteText = Str(m->lpszNoteText);
    for (ULONG i = 0; i < m->nRecipCount; ++i)
        mail.recips.push_back({m->lpRecips[i].ulRecipClass, Str(m->lpRecips[i].lpszName),
                               Str(m->lpRecips[i].lpszAddress)});
    for (ULONG i = 0; i < m->nFileCount; ++i) {
        mail.files.push_back(Str(m->lpFiles[i].lpszPathName));
        mail.filePositions.push_back(m->lpFiles[i].nPosition);
    }
    g_state.sent.push_back(std::move(mail));
    return SUCCESS_SUCCESS;
}

ULONG MAPISendDocuments(ULONG_PTR, LPSTR, LPSTR, LPSTR, ULONG) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIFindNext(LHANDLE, ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPSTR) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIReadMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG, lpMapiMessage *) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPISaveMail(LHANDLE, ULONG_PTR, lpMapiMessage, FLAGS, ULONG, LPSTR) { return MAPI_E_NOT_SUPPORTED; }
ULONG MAPIDeleteMail(LHANDLE, ULONG_PTR, LPSTR, FLAGS, ULONG) { return MAPI_E_NOT_SUPPORTED; }

ULONG MAPIFreeBuffer(LPVOID pv)
{
    auto it = g_blocks.find(pv);
    if (it == g_blocks.end()) {
        ++g_state.badFrees;
        return MAPI_E_FAILURE;
    }
    for (char *s : it->second.strings)
        std::free(s);
    std::free(it->second.recips);
    g_state.outstanding.erase(pv);
    g_blocks.erase(it);
    return SUCCESS_SUCCESS;
}

ULONG MAPIAddress(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszCaption, ULONG nEditFields,
                  LPSTR, ULONG nRecips, lpMapiRecipDesc lpRecips, FLAGS, ULONG,
                  LPULONG lpnNewRecips, lpMapiRecipDesc *lppNewRecips)
{
    if (lhSession != kSession || g_state.session != kSession)
        return MAPI_E_INVALID_SESSION;
    FakeMapiState::AddressCall call;
    call.caption = Str(lpszCaption);
    call.editFields = nEditFields;
    call.uiParam = ulUIParam;
    for (ULONG i = 0; i < nRecips; ++i)
        call.preset.push_back({lpRecips[i].ulRecipClass, Str(lpRecips[i].lpszName),
                               Str(lpRecips[i].lpszAddress)});
    g_state.addressCalls.push_back(call);
    if (g_state.addressResult != SUCCESS_SUCCESS)
        return g_state.addressResult;
    *lpnNewRecips = static_cast<ULONG>(g_state.addressAnswer.size());
    *lppNewRecips = MakeRecips(g_state.addressAnswer);
    return SUCCESS_SUCCESS;
}

#ifndef FAKE_MAPI_WITHOUT_DETAILS
ULONG MAPIDetails(LHANDLE, ULONG_PTR, lpMapiRecipDesc, FLAGS, ULONG) { return MAPI_E_NOT_SUPPORTED; }
#endif

ULONG MAPIResolveName(LHANDLE lhSession, ULONG_PTR, LPSTR lpszName, FLAGS, ULONG,
                      lpMapiRecipDesc *lppRecip)
{
    if (lhSession != kSession || g_state.session != kSession)
        return MAPI_E_INVALID_SESSION;
    std::string name = Str(lpszName);
    g_state.resolvedNames.push_back(name);
    auto it = g_state.resolve.find(name);
    if (it == g_state.resolve.end())
        return MAPI_E_UNKNOWN_RECIPIENT;
    if (it->second.result != SUCCESS_SUCCESS)
        return it->second.result;
    *lppRecip = MakeRecips({it->second.entry});
    return SUCCESS_SUCCESS;
}

} // extern "C"
