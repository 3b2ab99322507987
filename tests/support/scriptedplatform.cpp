#include "support/scriptedplatform.h"

QString ScriptedPlatform::inputBox(const QString& prompt) {
    prompts << prompt;
    if (onInputBox) {
        onInputBox(prompt);
    }
    if (answerFor) {
        return answerFor(prompt);
    }
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QDateTime ScriptedPlatform::now() {
    const QDateTime reading = clock;
    clock = clock.addSecs(clockStep);
    return reading;
}

void ScriptedPlatform::randomize(float s) {
    seed = s;
    m_sequence.seed(s);
}

float ScriptedPlatform::rnd() {
    ++draws;
    if (!randoms.empty()) {
        const float r = randoms.front();
        randoms.pop_front();
        return r;
    }
    return m_sequence.next();
}
