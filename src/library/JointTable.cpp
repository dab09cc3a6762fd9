#include "library/JointTable.h"

#include "library/SortKey.h"

#include <QDateTime>
#include <QJsonObject>
#include <QVariant>

namespace {
struct ColumnInfo {
    const char* title;
    const char* key;
};
const ColumnInfo kColumns[JC_COUNT] = {
    {"Date & Time", "date_time"},
    {"Joint", "joint_number"},
    {"Job", "job_number"},
    {"Employee", "employee_id"},
    {"Machine", "machine_id"},
    {"Verdict", "verdict"},
    {"Status", "status"},
    {"Model", "machine_model"},
    {"Material", "pipe_material"},
    {"Size", "size"},
    {"Heater", "heater_temperature"},
    {"Samples", "samples"},
    {"Duration (s)", "duration_s"},
    {"Max (psi)", "max_pressure_psi"},
    {"Demo", "demo"},
    {"Notes", "notes"},
    {"Files", "files"},
    {"Missing since", "missing_since"},
    {"Procedure", "procedure"},
    {"Verdict note", "verdict_note"},
    {"ID", "id"},
    {"Review", "review_state"},
    {"Reviewer", "reviewer"},
    {"Reviewed", "review_time"},
    {"Changed since review", "report_changed_since_review"},
    {"Review comment", "review_comment"},
};
} // namespace

QString RowVerdict(const JointRow& row) {
    if (row.id <= 0)
        return QString();
    return row.verdictNote.isEmpty() ? row.fields.verdict : QStringLiteral("not-current");
}

QString RowVerdictText(const JointRow& row) {
    const QString verdict = RowVerdict(row);
    if (verdict == QLatin1String("unknown"))
        return QStringLiteral("not judged");
    if (verdict == QLatin1String("not-current"))
        return row.fields.verdict.isEmpty()
                   ? QStringLiteral("not current")
                   : QStringLiteral("not current (was %1)").arg(row.fields.verdict);
    return verdict;
}

QString RowVerdictNote(const JointRow& row) {
    if (!row.verdictNote.isEmpty() || RowVerdict(row) != QLatin1String("unknown"))
        return row.verdictNote;
    const JointFields& f = row.fields;
    if (f.demo)
        return QStringLiteral("not judged: a demonstration log, not a joint");
    return QStringLiteral("not judged: the procedure covers butt-fusion pipe joints; this report "
                          "(%1) is not one")
        .arg(f.model);
}

namespace {
QString ProcedureText(const JointRow& row) {
    const JointFields& f = row.fields;
    if (row.id <= 0 || f.procedureName.isEmpty())
        return QString();
    return QStringLiteral("%1 (SHA-256 %2…, check version %3)")
        .arg(f.procedureName, f.procedureHash.left(12), f.checkVersion);
}
} // namespace

QString JointId(const JointRow& row) {
    return row.id > 0 ? QString::fromLatin1(row.sha256.toHex().left(12)) : QString();
}

QString RowReviewText(const JointRow& row) {
    if (row.Review().state.isEmpty())
        return QStringLiteral("not reviewed");
    return row.ReviewChanged()
               ? row.Review().state + QStringLiteral(", report changed since review")
               : row.Review().state;
}

ReviewBlock ReviewRefusal(const JointRow& row, const QString& state, const QString& comment,
                          QString& why) {
    const QString joint = QStringLiteral("joint %1 of %2 (machine %3)")
                              .arg(row.fields.jointNumber)
                              .arg(row.fields.dateTime, SafeLine(row.fields.machineId));
    const QString verdict = RowVerdict(row);
    if (row.id <= 0) {
        why = QStringLiteral("%1 is no joint report").arg(SafeLine(row.files.value(0)));
        return ReviewBlock::NotReady;
    }
    if (verdict.isEmpty()) {
        why = QStringLiteral("%1 is not ready for review: its procedure check has no verdict yet")
                  .arg(joint);
        return ReviewBlock::NotReady;
    }
    if (verdict == QLatin1String("not-current")) {
        why = QStringLiteral("%1 is not ready for review: its verdict is not current (%2)")
                  .arg(joint, row.verdictNote);
        return ReviewBlock::NotReady;
    }
    // Accepting what the check did not pass is a decision against the data
    // log: it must say why.
    if (state == QLatin1String("accepted") && verdict != QLatin1String("pass") &&
        comment.trimmed().isEmpty()) {
        why = QStringLiteral("%1 has the verdict %2: accepting it needs a comment that says why")
                  .arg(joint, RowVerdictText(row));
        return ReviewBlock::NeedsComment;
    }
    return ReviewBlock::None;
}

QString LibraryTimeText(qint64 ms) {
    return ms > 0 ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm"))
                  : QString();
}

QString SafeLine(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char('?');
    return text;
}

QString JointColumnTitle(int column) {
    return QString::fromUtf8(kColumns[column].title);
}

QString JointColumnKey(int column) {
    return QString::fromLatin1(kColumns[column].key);
}

QString JointCellText(const JointRow& row, int column) {
    const JointFields& f = row.fields;
    const bool report = row.reason.isEmpty() && row.id > 0;
    switch (column) {
    case JC_DATE_TIME:
        return f.dateTime;
    case JC_JOINT:
        return report ? QString::number(f.jointNumber) : QString();
    case JC_JOB:
        return f.job;
    case JC_EMPLOYEE:
        return f.employee;
    case JC_MACHINE_ID:
        return f.machineId;
    case JC_MODEL:
        return f.model;
    case JC_MATERIAL:
        return f.material;
    case JC_SIZE:
        return f.sizeText;
    case JC_HEATER_TEMP:
        return f.heaterTemp;
    case JC_SAMPLES:
        return report ? QString::number(f.samples) : QString();
    case JC_DURATION:
        return report ? QString::number(f.durationSeconds, 'f', 1) : QString();
    case JC_MAX_PRESSURE:
        return report ? QString::number(f.maxPressurePsi) : QString();
    case JC_DEMO:
        return f.demo ? QStringLiteral("yes") : QString();
    case JC_VERDICT:
        return RowVerdict(row);
    case JC_PROCEDURE:
        return ProcedureText(row);
    case JC_VERDICT_NOTE:
        return RowVerdictNote(row);
    case JC_STATUS:
        return row.reason.isEmpty() ? row.status : row.status + QStringLiteral(": ") + row.reason;
    case JC_NOTES:
        return f.notes;
    case JC_FILES:
        return row.files.join(QStringLiteral("; "));
    case JC_MISSING_SINCE:
        return LibraryTimeText(row.missingSince);
    case JC_ID:
        return JointId(row);
    case JC_REVIEW:
        return row.Review().state;
    case JC_REVIEWER:
        return row.Review().state.isEmpty() ? QString() : ReviewerText(row.Review());
    case JC_REVIEW_TIME:
        return LibraryTimeText(row.Review().timeMs);
    case JC_REVIEW_CHANGED:
        return row.ReviewChanged() ? QStringLiteral("yes") : QString();
    case JC_REVIEW_COMMENT:
        return row.Review().comment;
    default:
        return QString();
    }
}

bool IsNumberColumn(int column) {
    switch (column) {
    case JC_MISSING_SINCE:
    case JC_REVIEW_TIME:
    case JC_JOINT:
    case JC_SAMPLES:
    case JC_DURATION:
    case JC_MAX_PRESSURE:
        return true;
    default:
        return false;
    }
}

double JointCellNumber(const JointRow& row, int column) {
    switch (column) {
    case JC_MISSING_SINCE:
        return double(row.missingSince);
    case JC_REVIEW_TIME:
        return double(row.Review().timeMs);
    case JC_JOINT:
        return row.fields.jointNumber;
    case JC_SAMPLES:
        return row.fields.samples;
    case JC_DURATION:
        return row.fields.durationSeconds;
    case JC_MAX_PRESSURE:
        return row.fields.maxPressurePsi;
    default:
        return 0;
    }
}

QByteArray JointCellSortKey(const JointRow& row, int column) {
    // The report's texts by the keys stored with them; the time as it is
    // (its text order is time order); any other text keyed here.
    switch (column) {
    case JC_DATE_TIME:
        return row.fields.dateTime.toUtf8();
    case JC_JOB:
        return SortKeyBytes(row.keys.job);
    case JC_EMPLOYEE:
        return SortKeyBytes(row.keys.employee);
    case JC_MACHINE_ID:
        return SortKeyBytes(row.keys.machine);
    case JC_MODEL:
        return SortKeyBytes(row.keys.model);
    case JC_MATERIAL:
        return SortKeyBytes(row.keys.material);
    case JC_SIZE:
        return SortKeyBytes(row.keys.size);
    case JC_HEATER_TEMP:
        return SortKeyBytes(row.keys.heater);
    case JC_NOTES:
        return SortKeyBytes(row.keys.notes);
    case JC_FILES:
        return SortKeyBytes(TextSortKey(row.files.value(0)));
    default:
        return SortKeyBytes(TextSortKey(JointCellText(row, column)));
    }
}

QString BrowseChoice::Text() const {
    switch (kind) {
    case Job:
        return QStringLiteral("job:") + day + QLatin1Char(':') + value;
    case Machine:
        return QStringLiteral("machine::") + value;
    default:
        return QString();
    }
}

BrowseChoice BrowseChoice::FromText(const QString& text) {
    BrowseChoice c;
    const QString kind = text.section(QLatin1Char(':'), 0, 0);
    if (kind != QLatin1String("job") && kind != QLatin1String("machine"))
        return c;
    c.kind = kind == QLatin1String("job") ? Job : Machine;
    c.day = c.kind == Job ? text.section(QLatin1Char(':'), 1, 1) : QString();
    c.value = text.section(QLatin1Char(':'), 2);
    return c;
}

QString FileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QByteArray SearchText(const JointRow& row) {
    // Folded as the store folds what it searches; a zero byte between the
    // texts, which no typed search holds, so no match runs across two.
    const JointFields& f = row.fields;
    QString text;
    for (const QString* t : {&f.job, &f.employee, &f.machineId, &f.model, &f.notes})
        text += *t + QChar(0);
    if (row.id > 0)
        text += QString::number(f.jointNumber) + QChar(0);
    for (const QString& file : row.files)
        text += FileNameOf(file) + QChar(0);
    return text.toCaseFolded().toUtf8();
}

QByteArray SearchNeedle(const QString& text) {
    return text.toCaseFolded().toUtf8();
}

bool SearchMatches(const JointRow& row, const QString& text) {
    return SearchText(row).contains(SearchNeedle(text));
}

bool JointFilter::Matches(const JointRow& row) const {
    if (status != QLatin1String("all") && !status.isEmpty() && row.status != status)
        return false;
    if (!verdict.isEmpty()) {
        QString want = verdict;
        if (want == QLatin1String("not judged"))
            want = QStringLiteral("unknown");
        else if (want == QLatin1String("not current"))
            want = QStringLiteral("not-current");
        if (RowVerdict(row) != want)
            return false;
    }
    if (!review.isEmpty()) {
        if (review == QLatin1String("changed")        ? !row.ReviewChanged()
            : review == QLatin1String("not reviewed") ? !row.Review().state.isEmpty() || row.id <= 0
                                                      : row.Review().state != review)
            return false;
    }
    const JointFields& f = row.fields;
    if (!job.isEmpty() && !f.job.contains(job, Qt::CaseInsensitive))
        return false;
    if (browse.kind == BrowseChoice::Job && (row.id <= 0 || f.job != browse.value))
        return false;
    if (browse.kind == BrowseChoice::Machine && (row.id <= 0 || f.machineId != browse.value))
        return false;
    if (!browse.day.isEmpty() && f.dateTime.left(10) != browse.day)
        return false;
    if (since.isValid() || until.isValid()) {
        const QDate date = QDate::fromString(f.dateTime.left(10), Qt::ISODate);
        if (!date.isValid() || (since.isValid() && date < since) ||
            (until.isValid() && date > until))
            return false;
    }
    return search.isEmpty() || SearchMatches(row, search);
}

std::vector<JointRow> FilterJoints(const std::vector<JointRow>& rows, const JointFilter& filter) {
    std::vector<JointRow> shown;
    for (const JointRow& r : rows)
        if (filter.Matches(r))
            shown.push_back(r);
    return shown;
}

QByteArray JointsCsv(const std::vector<JointRow>& rows, const CsvOptions& options) {
    std::vector<QStringList> lines(1);
    for (int c = 0; c < JC_COUNT; ++c)
        lines[0] << JointColumnKey(c);
    for (const JointRow& r : rows) {
        lines.emplace_back();
        for (int c = 0; c < JC_COUNT; ++c)
            lines.back() << JointCellText(r, c);
    }
    return CsvText(lines, options);
}

QJsonArray JointsJson(const std::vector<JointRow>& rows) {
    QJsonArray array;
    for (const JointRow& r : rows) {
        QJsonObject o;
        const JointFields& f = r.fields;
        o.insert(QStringLiteral("status"), r.status);
        if (!r.reason.isEmpty())
            o.insert(QStringLiteral("reason"), r.reason);
        o.insert(JointColumnKey(JC_DATE_TIME), f.dateTime);
        o.insert(JointColumnKey(JC_JOINT), f.jointNumber);
        o.insert(JointColumnKey(JC_JOB), f.job);
        o.insert(JointColumnKey(JC_EMPLOYEE), f.employee);
        o.insert(JointColumnKey(JC_MACHINE_ID), f.machineId);
        o.insert(JointColumnKey(JC_MODEL), f.model);
        o.insert(JointColumnKey(JC_MATERIAL), f.material);
        o.insert(JointColumnKey(JC_SIZE), f.sizeText);
        o.insert(JointColumnKey(JC_HEATER_TEMP), f.heaterTemp);
        o.insert(JointColumnKey(JC_SAMPLES), f.samples);
        o.insert(JointColumnKey(JC_DURATION), f.durationSeconds);
        o.insert(JointColumnKey(JC_MAX_PRESSURE), f.maxPressurePsi);
        o.insert(JointColumnKey(JC_DEMO), f.demo);
        // A verdict that is not current is never given as "verdict": that
        // is "not-current", and the one kept is "judged_verdict".
        o.insert(JointColumnKey(JC_VERDICT), RowVerdict(r));
        if (r.id > 0) {
            o.insert(QStringLiteral("verdict_current"), r.verdictNote.isEmpty());
            o.insert(JointColumnKey(JC_VERDICT_NOTE), RowVerdictNote(r));
            o.insert(QStringLiteral("judged_verdict"), f.verdict);
            o.insert(JointColumnKey(JC_PROCEDURE), f.procedureName);
            o.insert(QStringLiteral("procedure_sha256"), f.procedureHash);
            o.insert(QStringLiteral("check_version"),
                     f.checkVersion.isEmpty() ? QJsonValue() : QJsonValue(f.checkVersion.toInt()));
            o.insert(QStringLiteral("machine_entry"), f.machineEntry);
        }
        if (r.id > 0) {
            o.insert(JointColumnKey(JC_ID), JointId(r));
            o.insert(QStringLiteral("sha256"), QString::fromLatin1(r.sha256.toHex()));
            const JointReview& review = r.Review();
            const bool reviewed = !review.state.isEmpty();
            o.insert(JointColumnKey(JC_REVIEW), reviewed ? QJsonValue(review.state) : QJsonValue());
            o.insert(JointColumnKey(JC_REVIEWER),
                     reviewed ? QJsonValue(ReviewerText(review)) : QJsonValue());
            o.insert(JointColumnKey(JC_REVIEW_TIME),
                     reviewed ? QJsonValue(QDateTime::fromMSecsSinceEpoch(review.timeMs, Qt::UTC)
                                               .toString(Qt::ISODateWithMs))
                              : QJsonValue());
            o.insert(JointColumnKey(JC_REVIEW_CHANGED), r.ReviewChanged());
            o.insert(JointColumnKey(JC_REVIEW_COMMENT),
                     reviewed ? QJsonValue(review.comment) : QJsonValue());
        }
        o.insert(JointColumnKey(JC_NOTES), f.notes);
        o.insert(JointColumnKey(JC_FILES), QJsonArray::fromStringList(r.files));
        o.insert(JointColumnKey(JC_MISSING_SINCE),
                 r.missingSince > 0
                     ? QJsonValue(QDateTime::fromMSecsSinceEpoch(r.missingSince, Qt::UTC)
                                      .toString(Qt::ISODateWithMs))
                     : QJsonValue());
        array.append(o);
    }
    return array;
}
