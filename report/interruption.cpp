#include "report/interruption.h"

#include <QFile>

#include <atomic>
#include <cstring>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace report::interruption {

namespace {

#if defined(Q_OS_WIN)
std::atomic<bool> stopping{false};
bool installed = false;
CRITICAL_SECTION making;

// Runs on a thread of its own while the program goes on: it waits for the file being made to be renamed or removed,
// then ends the program as Windows' own handler would have.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT &&
        event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    stopping = true;
    EnterCriticalSection(&making);
    ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}
#else
const int interruptionSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The name of the file being made, for the handler: a fixed buffer, since a handler may call no allocator.
char pending[4096];
volatile sig_atomic_t armed = 0;

// The default action follows: the program ends by the signal, as its caller expects.
void onSignal(int number) {
    if (armed) {
        ::unlink(pending);
    }
    ::raise(number);
}

sigset_t interruptions() {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : interruptionSignals) {
        sigaddset(&set, number);
    }
    return set;
}
#endif

} // namespace

void install() {
#if defined(Q_OS_WIN)
    InitializeCriticalSection(&making);
    installed = true;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // the handler runs once; the signal raised again in it then ends the program
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (const int number : interruptionSignals) {
        struct sigaction old {};
        if (::sigaction(number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            ::sigaction(number, &action, nullptr);
        }
    }
#endif
}

// Between the file's creation and its name being known to the handler, an interruption waits: it would otherwise
// leave the file behind. Its name is never armed before it is made, so no other file of that name is ever removed.
Making::Making() {
#if defined(Q_OS_WIN)
    if (installed) {
        EnterCriticalSection(&making);
    }
#else
    const sigset_t set = interruptions();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
#endif
}

void Making::made([[maybe_unused]] const QString& path) {
#if !defined(Q_OS_WIN)
    const QByteArray name = QFile::encodeName(path);
    if (!name.isEmpty() && static_cast<size_t>(name.size()) < sizeof pending) {
        std::memcpy(pending, name.constData(), static_cast<size_t>(name.size()) + 1);
        armed = 1;
    }
    if (m_waiting) {
        const sigset_t set = interruptions();
        ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
#endif
    m_waiting = false;
}

Making::~Making() {
#if defined(Q_OS_WIN)
    if (installed) {
        LeaveCriticalSection(&making);
    }
#else
    armed = 0;
    if (m_waiting) {
        const sigset_t set = interruptions();
        ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
#endif
}

bool interrupted() {
#if defined(Q_OS_WIN)
    return stopping;
#else
    return false;
#endif
}

} // namespace report::interruption
