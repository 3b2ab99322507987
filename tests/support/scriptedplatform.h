#pragma once

#include "app/platform.h"

#include <QStringList>

#include <deque>
#include <functional>

// A platform that answers input boxes from a queue, records every prompt and message, runs on a fixed clock and
// draws from a known random sequence.
class ScriptedPlatform : public Platform {
public:
    QStringList answers; // given to the input boxes in turn; "" once they run out
    // When set, answers every input box from its prompt instead of the queue.
    std::function<QString(const QString&)> answerFor;
    QStringList prompts;  // every input box prompt, in order
    QStringList messages; // the program's own message boxes
    QStringList errors;   // the error box
    // Called with each prompt before it is answered; tests use it to act while a box is open.
    std::function<void(const QString&)> onInputBox;

    QDateTime clock{QDate(2026, 1, 7), QTime(9, 30, 5)};
    int clockStep = 0; // seconds the clock moves on after each reading

    std::deque<float> randoms; // drawn first; then the real sequence, seeded as the program seeded it
    float seed = -1;
    int draws = 0;
    int beeps = 0;
    int quits = 0;
    QImage clipboard;

    QString inputBox(const QString& prompt) override;
    void errorBox(const QString& message) override { errors << message; }
    void messageBox(const QString& message) override { messages << message; }
    QDateTime now() override;
    void randomize(float s) override;
    float rnd() override;
    void beep() override { ++beeps; }
    void setClipboardImage(const QImage& image) override { clipboard = image; }
    QImage clipboardImage() override { return clipboard; }
    void quitApplication() override { ++quits; }

private:
    RandomSequence m_sequence;
};
