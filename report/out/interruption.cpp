#include "report/out/interruption.h"

#include <QtGlobal>

#include <atomic>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <csignal>
#endif

namespace report::interruption {

namespace {

#if defined(Q_OS_WIN)
std::atomic<bool> stopping{false};
bool installed = false;
CRITICAL_SECTION writing;
int held = 0; // by the one thread that writes, as often as it entered

// Runs on a thread of its own while the program goes on: it waits until no writer is left, then ends the program as
// Windows' own handler would have.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT &&
        event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    stopping = true;
    EnterCriticalSection(&writing);
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}
#else
const int interruptionSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t depth = 0;    // writers alive
volatile sig_atomic_t waiting = 0;  // the signal that came while one was
volatile sig_atomic_t critical = 0; // while the pages are put in place

// The default action: the program ends by the signal, as its caller expects.
void endBy(int number) {
    ::signal(number, SIG_DFL);
    ::raise(number);
}

void onSignal(int number) {
    if (depth == 0 || (waiting != 0 && critical == 0)) {
        endBy(number);
        return;
    }
    waiting = number;
}
#endif

} // namespace

void install() {
#if defined(Q_OS_WIN)
    InitializeCriticalSection(&writing);
    installed = true;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    // a pipe whose reader stopped (head, that has what it wanted) is a write that fails, told as such, and no end of
    // the program half-way through putting the pages in place
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : interruptionSignals) {
        struct sigaction old {};
        if (::sigaction(number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            ::sigaction(number, &action, nullptr);
        }
    }
#endif
}

Deferred::Deferred() {
#if defined(Q_OS_WIN)
    if (installed) {
        EnterCriticalSection(&writing);
        ++held;
    }
#else
    depth = depth + 1;
#endif
}

Deferred::~Deferred() {
#if defined(Q_OS_WIN)
    if (installed) {
        const bool last = --held == 0;
        LeaveCriticalSection(&writing);
        // the handler's thread would end the program now, but this one would not wait for it: it may be ending the
        // program with its own status already
        if (last && stopping) {
            ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
        }
    }
#else
    depth = depth - 1;
    if (depth == 0 && waiting != 0) {
        endBy(waiting);
    }
#endif
}

Critical::Critical() {
#if !defined(Q_OS_WIN) // on Windows every interruption waits for the writers
    critical = critical + 1;
#endif
}

Critical::~Critical() {
#if !defined(Q_OS_WIN)
    critical = critical - 1;
#endif
}

bool interrupted() {
#if defined(Q_OS_WIN)
    return stopping;
#else
    return waiting != 0;
#endif
}

} // namespace report::interruption
