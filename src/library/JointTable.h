#pragma once
// The library's joints as a table: their columns, the filter the window and
// the command line share, and the list export (CSV, JSON).

#include "library/Csv.h"
#include "library/LibraryStore.h"

#include <QDate>
#include <QJsonArray>
#include <vector>

// Columns in the order the window, the CSV and the JSON show them.
enum JointColumn : int {
    JC_DATE_TIME,
    JC_JOINT,
    JC_JOB,
    JC_EMPLOYEE,
    JC_MACHINE_ID,
    JC_VERDICT,
    JC_STATUS,
    JC_MODEL,
    JC_MATERIAL,
    JC_SIZE,
    JC_HEATER_TEMP,
    JC_SAMPLES,
    JC_DURATION,
    JC_MAX_PRESSURE,
    JC_DEMO,
    JC_NOTES,
    JC_FILES,
    JC_MISSING_SINCE,
    JC_PROCEDURE,    // what made the verdict: procedure, its file's SHA-256, check version
    JC_VERDICT_NOTE, // why the verdict is not current, or why the joint is not judged
    JC_ID,           // the first 12 hexadecimal digits of the present copy's SHA-256
    JC_REVIEW,       // the review's state
    JC_REVIEWER,
    JC_REVIEW_TIME,
    JC_REVIEW_CHANGED, // "yes": the present copy is not the one reviewed
    JC_REVIEW_COMMENT,
    JC_COUNT
};

// The column's title in the window, and its key in CSV and JSON.
QString JointColumnTitle(int column);
QString JointColumnKey(int column);
// The column's value as text.
QString JointCellText(const JointRow& row, int column);
// How the column sorts: a number column by the number, any other by a key
// whose bytes sort naturally and in any case (SortKey.h).
bool IsNumberColumn(int column);
double JointCellNumber(const JointRow& row, int column);
QByteArray JointCellSortKey(const JointRow& row, int column);

// The verdict as the library gives it to programs (list, CSV, JSON, the
// verdict filter): the one the index keeps ("pass", "fail", "incomplete",
// "unknown" for a joint the procedure does not cover) while it is current,
// "not-current" when it was made by another procedure, procedure file,
// machine-list entry or check version (MarkVerdicts), "" for a row that is
// no joint.
QString RowVerdict(const JointRow& row);
// The same for people (the window): "not judged" for "unknown", "not
// current (was fail)".
QString RowVerdictText(const JointRow& row);
// Why the row's verdict is not current, or why the joint is not judged.
QString RowVerdictNote(const JointRow& row);

// A time the store kept (ms UTC) as the local date and time people read;
// empty for none.
QString LibraryTimeText(qint64 ms);

// A text from a report or a file name as one line that cannot reorder or
// drive what shows it: control and format characters (line breaks, escapes,
// bidirectional overrides) become "?".
QString SafeLine(QString text);

// Whether `text` is in any of the texts the search looks at, any case.
bool SearchMatches(const JointRow& row, const QString& text);
// Those texts (job, employee, machine, model, notes, joint number, the
// files' names) folded, and a search folded alike: a search matches where
// the one contains the other.
QByteArray SearchText(const JointRow& row);
QByteArray SearchNeedle(const QString& text);
// The name of a file (its last part) from its path as text.
QString FileNameOf(const QString& path);

// The joint's ID as people type it: the first 12 hexadecimal digits of its
// present copy's SHA-256.
QString JointId(const JointRow& row);
// The review for people: "accepted", "accepted, report changed since
// review"; "not reviewed".
QString RowReviewText(const JointRow& row);

// Whether the joint can take the review `state` with `comment` now, and
// why not (`why`). A joint is ready for review once its procedure check
// gave a current verdict; accepting one that did not pass needs a comment.
enum class ReviewBlock { None, NotReady, NeedsComment };
ReviewBlock ReviewRefusal(const JointRow& row, const QString& state, const QString& comment,
                          QString& why);

std::vector<JointRow> FilterJoints(const std::vector<JointRow>& rows, const JointFilter& filter);

// One header line, then one line per joint (Csv.h).
QByteArray JointsCsv(const std::vector<JointRow>& rows, const CsvOptions& options);
// An array of objects, one per joint, keyed by column.
QJsonArray JointsJson(const std::vector<JointRow>& rows);
