#pragma once

#include <QString>

// Ctrl+C, a console or terminal closed, log-off, shut-down or a TERM signal end qadrill-report at once, as they
// would without this; but the file being made beside a page or table is removed first, so that an interruption
// leaves neither half a page nor a stray temporary file.
namespace report::interruption {

// Installs the handlers: SIGINT, SIGTERM and SIGHUP (unless ignored, as under nohup) on POSIX systems, the console's
// control events on Windows. Once, early in main.
void install();

// While one lives, a file is being made beside its target. On POSIX systems an interruption before made() waits
// for it, and one after it removes the file named; on Windows an interruption waits until the Making is gone.
class Making {
public:
    Making();
    ~Making();
    Making(const Making&) = delete;
    Making& operator=(const Making&) = delete;
    // The file now made (empty: none was); it goes if the program is interrupted before the Making ends.
    void made(const QString& path);

private:
    bool m_waiting = true;
};

// True once an interruption waits for the file being made: its writing should stop (Windows only; on POSIX
// systems the handler itself removes the file).
bool interrupted();

} // namespace report::interruption
