#include "app/form1.h"

#include "app/platform.h"
#include "problems/linestore.h"
#include "problems/markup.h"
#include "records/codepage.h"
#include "records/linecoding.h"
#include "records/numbertext.h"
#include "records/recordblocks.h"
#include "records/recordpaths.h"
#include "records/recordwriter.h"
#include "ui_Form1.h"

#include <QDir>

#include <cmath>

namespace {
const QString namePrompt = QStringLiteral("Your full name:  ");
// The two prompts name the default folder as it is on this system: c:\tavimora on Windows, the folder of that name
// in the home folder elsewhere, where the files go.
QString changeFolderPrompt(const QString& defaultFolder) {
    return QStringLiteral("Enter 1 if you want to change the folder to which your files will be written.  The current "
                          "default folder is ") +
           defaultFolder + QStringLiteral(".  If you wish to use this folder, just hit the Enter key");
}
QString folderPrompt(const QString& defaultFolder) {
    return QStringLiteral("You have chosen to change the folder to which your files will be written on your hard "
                          "drive from the default ") +
           defaultFolder +
           QStringLiteral(".  Enter the path to the folder you wish to use.  You may just hit the Enter key to retain "
                          "the default path.");
}
const QString assignmentPrompt = QStringLiteral("Assignment Number:  ");
const QString responsePromptText = QStringLiteral(
    "Enter, as appropriate, an answer to the question, a critique of your answer in response to a given answer, "
    "your insights regarding the situation at this point, notes to yourself, or just an OK.\r\n\r\n"
    "Always critique your solutions by describing any insights you had or errors you makde, and by explaining how "
    "you can make use of the insight or how you now know how to avoid certain errors.  Also pose for the instructor "
    "any question or questions that you have related to the problem or series of problems.");
} // namespace

void Form1::Form_Load() {
    m_run.problemSetTitle = QStringLiteral("brisendal");
    startUp();
    openAssignment();
}

void Form1::startUp() {
    m_platform.randomize(static_cast<float>(m_platform.secondsSinceMidnight()));
    // formed in double, so that the largest draw still gives 28
    m_run.codeNbr = static_cast<float>(std::floor(10.0 * rnd() + 19.0));

    for (PictureBox* box : {ui->Picture1, ui->Picture2}) {
        box->setScaleHeight(1000);
        box->setScaleWidth(1000);
    }

    m_run.workFolder = recordpaths::defaultFolder;
    QDir().mkdir(recordpaths::nativePath(recordpaths::defaultFolder)); // an existing folder is fine: errors ignored

    const QString shownDefault = QDir::toNativeSeparators(recordpaths::nativePath(recordpaths::defaultFolder));
    const QString fullName = m_platform.inputBox(namePrompt);
    if (m_platform.inputBox(changeFolderPrompt(shownDefault)) == u"1") {
        const QString folder = m_platform.inputBox(folderPrompt(shownDefault));
        if (!folder.isEmpty()) {
            m_run.workFolder = folder;
        }
    }

    m_run.masterFilePath = recordpaths::masterFilePath(m_run.workFolder, fullName);
    m_run.sendFilePath = recordpaths::sendFilePath(m_run.workFolder, fullName, m_platform.dateText());
    m_run.notesFilePath = recordpaths::notesFilePath(m_run.workFolder, fullName);
    openUnsentStore(fullName);

    m_run.assignmentNbr = m_platform.inputBox(assignmentPrompt);
    m_run.responsePrompt = responsePromptText;
    m_run.assignmentNbr = numbertext::padAssignmentNbr(m_run.assignmentNbr);
    m_run.nextAssignmentNbr = numbertext::followingAssignmentNbr(m_run.assignmentNbr);
    m_run.lineIndex = 0;
    loadProblemText();
}

bool Form1::findAssignment(QString& headingLine) {
    m_run.lineIndex = 0;
    headingLine.clear();
    while (m_run.lineIndex < lastLineIndex) {
        m_run.lineIndex += 1;
        headingLine = m_run.problemLines[m_run.lineIndex];
        if (markup::opensAssignment(headingLine, m_run.assignmentNbr)) {
            return true;
        }
    }
    return false;
}

void Form1::openAssignment() {
    QString headingLine;
    // A number the document does not hold is asked for again; an empty answer ends the run.
    while (!findAssignment(headingLine)) {
        const QString what =
            m_run.assignmentNbr.isEmpty()
                ? QStringLiteral("No assignment number was entered.")
                : QStringLiteral("There is no assignment %1 in the problem set.").arg(m_run.assignmentNbr);
        m_platform.messageBox(what + QStringLiteral(" Enter the number of one of its assignments, or nothing to end "
                                                    "the program."));
        const QString answer = m_platform.inputBox(assignmentPrompt);
        if (answer.isEmpty()) {
            Platform::endProgram();
        }
        m_run.assignmentNbr = numbertext::padAssignmentNbr(answer);
        m_run.nextAssignmentNbr = numbertext::followingAssignmentNbr(m_run.assignmentNbr);
    }

    const QString master = recordpaths::nativePath(m_run.masterFilePath);
    const QString send = recordpaths::nativePath(m_run.sendFilePath);
    if (const auto failure = recordwriter::touch(master)) {
        showWriteFailure(*failure, false);
        Platform::endProgram();
    }
    const QString filler = linecoding::makeCodeLine(m_run.codeNbr, [this] { return rnd(); });
    const auto header = [&](const QString& date) {
        return codepage::encode(recordblocks::joinLines(recordblocks::headerBlock(
            filler, m_run.assignmentNbr, headingLine, m_run.problemSetTitle, date, m_run.codeNbr)));
    };
    const QByteArray masterHeader = header(m_platform.dateText());
    const QByteArray sendHeader = header(m_platform.dateText());
    if (!appendBlocks({{master, masterHeader}, {send, sendHeader}}, false)) {
        Platform::endProgram();
    }
}

void Form1::loadProblemText() {
    // Each line of the document goes to the next index; the store never holds more than it has room for.
    const QStringList lines =
        linestore::parseDocument(m_documentText.isEmpty() ? linestore::carriedDocumentText() : m_documentText);
    for (const QString& line : lines) {
        if (m_run.lineIndex >= lastLineIndex) {
            break;
        }
        m_run.lineIndex += 1;
        m_run.problemLines[m_run.lineIndex] = line;
    }
    m_run.lineIndex = 0;
}
