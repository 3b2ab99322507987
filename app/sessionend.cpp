#include "app/sessionend.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
SessionEnd* instance = nullptr;

#ifdef Q_OS_UNIX
// The handler only writes a byte into a pipe; the event loop reads it and ends the run there.
int wakePipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}
#endif

#ifdef Q_OS_WIN
std::atomic<bool> endDone{false};

// Runs on a thread of its own; the system ends the process once it returns, so it waits for the run to end.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT &&
        event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    QMetaObject::invokeMethod(instance, &SessionEnd::end, Qt::QueuedConnection);
    for (int i = 0; i < 100 && !endDone; ++i) {
        ::Sleep(50);
    }
    return TRUE;
}
#endif
} // namespace

SessionEnd::SessionEnd(std::function<void()> onEnd, QObject* parent) : QObject(parent), m_onEnd(std::move(onEnd)) {
    instance = this;
#ifdef Q_OS_UNIX
    if (::pipe(wakePipe) == 0) {
        for (const int fd : wakePipe) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        }
        m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
            }
            end();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            ::sigaction(signal, &action, nullptr);
        }
    }
#endif
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    // log-off and shut-down ask every window first; only there, since an X session manager may also ask a program
    // to save its data at a checkpoint, with the session going on
    connect(qApp, &QGuiApplication::commitDataRequest, this, &SessionEnd::end);
#endif
}

SessionEnd::~SessionEnd() {
#ifdef Q_OS_UNIX
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
    delete m_notifier;
    m_notifier = nullptr;
    for (int& fd : wakePipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
#endif
#ifdef Q_OS_WIN
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
#endif
    instance = nullptr;
}

void SessionEnd::end() {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_onEnd();
#ifdef Q_OS_WIN
    endDone = true;
#endif
}

void SessionEnd::endProcessNow() {
#ifdef Q_OS_WIN
    ::TerminateProcess(::GetCurrentProcess(), 0);
#endif
    std::_Exit(0);
}
