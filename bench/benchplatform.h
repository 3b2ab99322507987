#pragma once

#include "app/platform.h"

#include <QStringList>

#include <cstdio>

// Answers the start-up boxes as a student would: a name, keep the default folder, assignment 1. Everything else
// is quiet; messages go to standard error.
class BenchPlatform : public Platform {
public:
    explicit BenchPlatform(QDateTime clock = {}) : m_clock(clock) {}

    QString inputBox(const QString&) override { return m_answers.empty() ? QString() : m_answers.takeFirst(); }
    void errorBox(const QString& message) override { std::fprintf(stderr, "error: %s\n", qPrintable(message)); }
    void messageBox(const QString& message) override { std::fprintf(stderr, "message: %s\n", qPrintable(message)); }
    QDateTime now() override { return m_clock.isValid() ? m_clock : QDateTime::currentDateTime(); }
    void randomize(float seed) override { m_random.seed(seed); }
    float rnd() override { return m_random.next(); }
    void beep() override {}
    void setClipboardImage(const QImage&) override {}
    QImage clipboardImage() override { return {}; }
    void quitApplication() override {}

private:
    QStringList m_answers{QStringLiteral("Bench Student"), QString(), QStringLiteral("1")};
    QDateTime m_clock;
    RandomSequence m_random;
};
