#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Tells the program, inside its event loop, that the session is ending: on Unix SIGTERM (the desktop logs out or
// shuts down), SIGHUP (the terminal it was started from closes) and SIGINT (Ctrl+C there); on Windows the log-off and
// shut-down messages every window gets, and the console's close, log-off and shut-down events.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    // onEnd runs once, on the thread of the event loop. One SessionEnd a program, made after the application.
    explicit SessionEnd(std::function<void()> onEnd, QObject* parent = nullptr);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    void end();

    // Ends the process where it stands, running nothing more of the program. On Windows the libraries' own
    // clean-up at exit is passed over too: it can wait for a thread the ending already stopped, and a session's
    // end would then wait on a program that is not responding.
    [[noreturn]] static void endProcessNow();

private:
    std::function<void()> m_onEnd;
    bool m_ended = false;
    QSocketNotifier* m_notifier = nullptr;
};
