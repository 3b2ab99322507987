#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>

// Shared test material: a small document, the draws that make a known filler line, expected files.
namespace fixtures {

// Two short assignments, 001 and 002, in the store-line form.
QStringList smallDocumentLines();
QString smallDocument();

// The draws of a run's start: code number 19, then a filler line "[v" and 18 times byte 0xBA.
std::deque<float> knownDraws();

// An expected record file from tests/data.
QByteArray expectedFile(const QString& name);

} // namespace fixtures
