#pragma once

// Ctrl+C, a console or terminal closed, log-off, shut-down or a TERM signal end qadrill-report as they would without
// this; but while a page or a table is being written, the interruption waits for the writer to stop at its next write
// and take back what it made, so that an interruption leaves neither half a page nor a stray file of the report's.
namespace report::interruption {

// Installs the handlers: SIGINT, SIGTERM and SIGHUP (unless ignored, as under nohup) on POSIX systems, the console's
// control events on Windows. Once, early in main.
void install();

// While one lives, an interruption waits; once the last one is gone, the program ends by it. A second interruption
// while the first waits ends the program at once.
class Deferred {
public:
    Deferred();
    ~Deferred();
    Deferred(const Deferred&) = delete;
    Deferred& operator=(const Deferred&) = delete;
};

// While one lives, a second interruption waits too, where it would otherwise end the program at once: the pages are
// being put in place, which takes a moment, and a folder left half way has no index until the next run.
class Critical {
public:
    Critical();
    ~Critical();
    Critical(const Critical&) = delete;
    Critical& operator=(const Critical&) = delete;
};

// True once an interruption waits: a writer stops, fails and removes what it made.
bool interrupted();

} // namespace report::interruption
