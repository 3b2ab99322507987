#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include <cstdint>
#include <exception>

// Thrown to end the run at once; the handler guard of the window catches it.
struct EndOfRun : std::exception {
    const char* what() const noexcept override { return "end of run"; }
};

// The program's one sequence of single-precision random numbers in [0, 1).
class RandomSequence {
public:
    void seed(float seed);
    // Never returns 1.0: the result has 24 random bits below the binary point.
    float next();

private:
    std::uint64_t m_state = 0x853c49e6748fea9bULL;
};

// Everything the program needs from the desktop it runs on. The real one is QtPlatform; tests script their own.
class Platform {
public:
    virtual ~Platform() = default;

    // A modal input box: the typed text, or the empty text when it is cancelled.
    virtual QString inputBox(const QString& prompt) = 0;
    // The standard error box for an error that ends the run.
    virtual void errorBox(const QString& message) = 0;
    // A message the program gives the student itself, when it could not do what was asked.
    virtual void messageBox(const QString& message) = 0;

    virtual QDateTime now() = 0;
    double secondsSinceMidnight();
    QString timeText();
    QString dateText();

    virtual void randomize(float seed) = 0;
    virtual float rnd() = 0;

    virtual void beep() = 0;
    virtual void setClipboardImage(const QImage& image) = 0;
    virtual QImage clipboardImage() = 0;

    // Leaves the event loop once the window has closed; does nothing before it runs.
    virtual void quitApplication() = 0;

    [[noreturn]] static void endProgram() { throw EndOfRun{}; }
};
