#pragma once

#include "records/recordreader.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// A class's record files read into students, their runs and what they wrote, each response and note once, however
// many of the student's files hold it.
namespace report {

// Something in a file that the reader could not take as it stands. Line 0 means the file as a whole.
struct Issue {
    QString file;
    qsizetype line = 0;
    QString message;
    QString text;
};

// A response or a note.
struct Record {
    recordreader::BlockKind kind = recordreader::BlockKind::Response;
    QString entry;
    QString text;
    recordreader::Rating rating = recordreader::Rating::None;
    QString ratingText;
    std::optional<double> questionNumber;
    QDate date;       // invalid when no header or note says which day
    int seconds = -1; // since midnight; -1 when the time line is unreadable
    int file = 0;     // index into ClassRecords::files, where it was read first
    qsizetype line = 0;
    qsizetype ratingLine = 0; // the rating's own line, in that file
    bool complete = true;     // false for a block cut short, when the drill stopped while it wrote it
};

// One run of the program: a header and the blocks after it. A run whose header was not found has no filler.
struct Run {
    QString assignmentNbr;
    QString headingLine;
    QString filler;
    QDate date;
    int file = 0;
    qsizetype line = 0;
    std::vector<Record> records;
};

struct Student {
    QString key;  // the name part of the file names
    QString name; // as shown: blanks for underscores
    std::vector<int> files;
    std::vector<Run> runs; // in the order of their first time
};

struct ClassRecords {
    QStringList files;             // every file given, as given
    std::vector<Student> students; // by name
    std::vector<Issue> issues;
    std::vector<std::size_t> notRead; // indices into issues: the files and folders not read, each with the reason
    qsizetype blocksRead = 0;         // before the copies of one block in several files were merged
    int filesWithRecords = 0;
};

enum class FileRole { Master, Send, Notes, Other };

struct FileName {
    FileRole role = FileRole::Other;
    QString student;         // the name part, without a copy suffix such as " (1)"
    QString given;           // the name part as the file's name gives it
    bool copySuffix = false; // the name had one
    int month = 0;           // a send file's day, 0 for the others
    int day = 0;
};

// What a file's name says: whose it is and, for a send file, of which day. A record file's name is recognised at the
// end of a longer one too, as a course platform gives it back ("Ann
// Lee_1234_assignsubmission_file_send_0107Ann_Lee.txt").
FileName classify(const QString& fileName);

// A name part as its copy suffixes come off, one at a time: the name as given first, the name without any last.
QStringList copySuffixForms(QString name);

// What the forms of one student's name have alike, by which one student's files are found: the letters in one case,
// each stored as one character where it can be, "_" taken as a blank and blanks simplified, characters that take no
// room left out, and a byte that is no UTF-8 read as Windows-1252.
QString nameKey(const QString& name);
// A name as the pages show it: blanks for "_", its letters stored in one way.
QString shownName(const QString& form);

// Reads files one by one, then merges what several files hold twice: a student's master file and send files carry
// the same runs, recognised by the filler line that both copies of a header share.
class ClassReader {
    struct PendingRun {
        QString student;
        Run run;
        bool hasHeader = false;
    };

public:
    // One file's reading made into its student's runs and its problems: work that needs nothing of the other files,
    // done on the thread that read the file, the memory it takes and frees that thread's own. The file's name is
    // classified where the files are found: QRegularExpression keeps a stack for each thread that matches, which Qt
    // frees as the thread ends, and a thread of the standard library that ended so brought the program down on Windows.
    class FileRuns {
        friend class ClassReader;
        QString path;
        bool records = false; // a record file: it holds blocks
        QString name;         // as the file's name gives it, without a copy suffix
        QString given;        // with it
        QString key;          // its letters in one case (nameKey)
        bool copySuffix = false;
        qsizetype blocks = 0;
        std::vector<PendingRun> runs; // their records and runs of file 0, renumbered as they are kept
        std::vector<Issue> issues;
    };
    static FileRuns prepare(const QString& path, FileName name, bool empty, recordreader::Reading reading);

    // Reads one file's bytes; false when nothing of a record file was found in it.
    bool add(const QString& path, const QByteArray& bytes);
    // The same for a file read elsewhere: whether it was empty, and what was read in it.
    bool add(const QString& path, bool empty, recordreader::Reading reading);
    // The same for a file prepared elsewhere.
    bool add(FileRuns file);
    // A file that could not be read at all.
    void addIssue(const QString& path, const QString& message);
    // A file or folder left out, with the reason ("a FIFO"): it is listed as not read.
    void addNotRead(const QString& path, const QString& reason);
    ClassRecords finish();

private:
    // finish's steps: each student is found, or made, by the letters of a name in one case
    using StudentOf = std::function<Student&(const QString& key)>;
    QHash<QString, QString> chooseNames();
    void keepNamesOfTheirOwn();
    void mergeRuns(const StudentOf& studentOf);
    void keepBlocksBeforeHeaders(const StudentOf& studentOf);
    void tellRatings();

    ClassRecords m_records;
    std::vector<PendingRun> m_runs;
    recordreader::SharedTexts m_shared; // entries and ratings, held once for the class
    struct NameForm {
        QString form;  // the name part as a file gives it, without a copy suffix
        QString given; // with it
        QString path;
        int file = 0;
        bool copySuffix = false;
    };
    std::map<QString, std::vector<NameForm>> m_names; // the name parts met, by their letters in one case
};

// Seconds since midnight from "hh:mm:ss"; -1 when it is not a time.
int secondsOf(QStringView time);

// A rating as the number it reads as, 0 to 3; -1 for any other text. The rating box takes any text: "3", and also
// "3.0", "03", "+3" and full-width digits, read as the number they plainly are.
int ratingNumber(QStringView typed);
// The rating is one digit from 0 to 3, blanks around it aside, as the rating box asks for.
bool isPlainRating(QStringView typed);

} // namespace report
