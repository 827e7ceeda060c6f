// A fake mail library for the tests: it exports the twelve Simple MAPI entry
// points and answers as the test tells it through FakeMapi_State(), which
// a test reaches with dlsym on the library it loaded.
#pragma once

#include "simple_mapi.h"

#include <atomic>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct FakeRecipient {
    ULONG recipClass = MAPI_TO;
    std::string name;    // CP932
    std::string address; // CP932, "" for none
};

struct FakeMail {
    std::string subject;
    std::string noteText;
    std::vector<FakeRecipient> recips;
    std::vector<std::string> files;     // lpszPathName of each attachment
    std::vector<ULONG> filePositions;
    ULONG flags = 0;
};

struct FakeResolve {
    ULONG result = SUCCESS_SUCCESS;
    FakeRecipient entry;
};

// Hand-offs the test lets go of itself: while `hold` is set, the n-th
// MAPISendMail waits until `released` reaches n (or a minute has passed, so
// a failing test ends rather than hangs). The hand-off runs on the program's
// worker thread, hence the atomics.
struct FakeSendGate {
    std::atomic<bool> hold{false};
    std::atomic<int> started{0};  // hand-offs that have begun
    std::atomic<int> released{0}; // hand-offs let go by the test
    FakeSendGate() = default;
    FakeSendGate(const FakeSendGate &) {}
    FakeSendGate &operator=(const FakeSendGate &)
    {
        hold = false;
        started = 0;
        released = 0;
        return *this;
    }
};

struct FakeMapiState {
    // Answers.
    ULONG logonResult = SUCCESS_SUCCESS;
    std::deque<ULONG> logoffResults;  // one per call; 0 once empty
    std::deque<ULONG> sendResults;    // one per call; 0 once empty
    std::map<std::string, FakeResolve> resolve; // by name; unknown names give 14
    ULONG addressResult = SUCCESS_SUCCESS;
    std::vector<FakeRecipient> addressAnswer;
    int sendDelayMs = 0;              // each MAPISendMail takes this long (a slow hand-off)
    FakeSendGate sendGate;            // or until the test releases it

    // What the program did.
    int logonCalls = 0;
    int logoffCalls = 0;
    ULONG lastLogonFlags = 0;
    LHANDLE session = 0;          // the live session handle, 0 when logged off
    std::vector<FakeMail> sent;
    std::vector<std::string> resolvedNames;
    struct AddressCall {
        std::string caption;
        ULONG editFields = 0;
        std::vector<FakeRecipient> preset;
        ULONG_PTR uiParam = 0;
    };
    std::vector<AddressCall> addressCalls;
    std::set<void *> outstanding; // buffers handed out and not yet freed
    int badFrees = 0;             // MAPIFreeBuffer calls with a foreign pointer

    void Reset() { *this = FakeMapiState{}; }
};

extern "C" FakeMapiState *FakeMapi_State();
