#pragma once

#include "problems/coursecheck.h"
#include "problems/questionsteps.h"

#include <QString>

#include <optional>
#include <vector>

// A course as the student steps through it: each assignment opened as the drill opens it, then one press of "Next
// Question / Answer" after another, each followed by a response, until the press that ends the run.
namespace coursepreview {

struct Step {
    int firstStoreLine = 0; // the lines that the press read, the empty ones included
    int lastStoreLine = 0;
    QString shown;   // what the question box receives
    QString routine; // a routine the press ran
    QString rating;  // what a response after the press is rated by: "question", "answer" or nothing
    questionsteps::End end = questionsteps::End::None;
};

struct Walk {
    QString nbr;
    int headingStoreLine = 0;
    std::vector<Step> steps; // the last one ends the run
};

// The store as the drill loads it: index 1 on, at most 5000 lines.
ProblemLines storeOf(const QStringList& lines);

// The assignment opened as the drill opens it, and stepped through to the end of its run; none when the opening
// does not find it.
std::optional<Walk> walk(const ProblemLines& store, const QString& assignmentNbr);

// Writes index.html and a page per assignment into the folder; false with the reason when a page cannot be written.
bool writePreview(const coursecheck::Result& result, const QString& fileName, const QString& folder, QString* error);

} // namespace coursepreview
