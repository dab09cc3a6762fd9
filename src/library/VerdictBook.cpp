#include "library/VerdictBook.h"

#include "library/TextPool.h"
#include "report/DownloadName.h"
#include "report/VtkDoc.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString Short(const QString& hash) {
    return hash.left(12) + QStringLiteral("…");
}

QString JudgedBy(const JointFields& f) {
    if (f.procedureName.isEmpty())
        return QStringLiteral("a procedure the index did not record");
    return QStringLiteral("%1 (SHA-256 %2)").arg(f.procedureName, Short(f.procedureHash));
}

const QString kAgain = QStringLiteral("the next scan judges it again");
} // namespace

QString MachineEntryText(const MachineEntry* entry) {
    if (!entry)
        return QString();
    QString text = QStringLiteral("%1; %2; %3 in²")
                       .arg(entry->machineId, entry->model)
                       .arg(entry->pistonAreaSqIn, 0, 'f', 3);
    if (entry->calibrated.isValid())
        text += QStringLiteral("; ") + entry->calibrated.toString(Qt::ISODate);
    return text;
}

QString CutDownloadPath(const QString& path) {
    if (IsCutDownloadName(path))
        return path;
    const QString base =
        path.endsWith(QLatin1String(".kjr"), Qt::CaseInsensitive) ? path.chopped(4) : path;
    return base + QStringLiteral(" (incomplete).kjr");
}

CVerdictBook::CVerdictBook(ProcedureSettings settings, ProcedureFiles files)
    : m_settings(std::move(settings)), m_files(std::move(files)) {
    QString error;
    if (!m_settings.error.isEmpty())
        m_blocked = QStringLiteral("the procedure rules and the machine list cannot be read (%1)")
                        .arg(m_settings.error);
    else if (!ReadProcedureRules(m_settings.rules, m_rules, error))
        m_blocked = QStringLiteral("the procedure rules in %1 cannot be read (%2)")
                        .arg(m_settings.where, error);
    else if (!ReadMachineRegistry(m_settings.machines, m_machines, error))
        m_blocked = QStringLiteral("the machine list in %1 cannot be read (%2)")
                        .arg(m_settings.where, error);
    if (!m_blocked.isEmpty()) {
        m_rules.clear();
        m_machines = MachineRegistry();
    }
}

QString CVerdictBook::Resolve(const QString& file) const {
    if (file.startsWith(QLatin1String(":/")))
        return file; // built into the program
    const QString path = QDir::isAbsolutePath(file) || m_settings.folder.isEmpty()
                             ? file
                             : m_settings.folder + QLatin1Char('/') + file;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QStringList CVerdictBook::FilesNamed(const ProcedureSettings& settings) {
    const CVerdictBook book(settings, {});
    QStringList files;
    for (const ProcedureRule& rule : book.m_rules)
        if (!files.contains(book.Resolve(rule.procedurePath)))
            files << book.Resolve(rule.procedurePath);
    return files;
}

ProcedureFiles CVerdictBook::ReadFiles(const QStringList& paths) {
    ProcedureFiles files;
    for (const QString& path : paths) {
        ProcedureFile f;
        f.ok = LoadProcedure(path, f.procedure, f.error);
        files.insert(path, f);
    }
    return files;
}

std::shared_ptr<const CVerdictBook> CVerdictBook::Load(const ProcedureSettings& settings) {
    return std::make_shared<const CVerdictBook>(settings, ReadFiles(FilesNamed(settings)));
}

std::shared_ptr<const CVerdictBook> CVerdictBook::Load(const CProcedureSource& source) {
    return Load(source.Read());
}

const CVerdictBook& CVerdictBook::Shipped() {
    static const CVerdictBook book(ProcedureSettings{}, {});
    return book;
}

QStringList CVerdictBook::Pending() const {
    QStringList pending;
    for (const ProcedureRule& rule : m_rules) {
        const QString file = Resolve(rule.procedurePath);
        if (!m_files.contains(file) && !pending.contains(file))
            pending << file;
    }
    return pending;
}

QStringList CVerdictBook::Problems() const {
    if (!m_blocked.isEmpty())
        return {m_blocked + QStringLiteral("; no joint is judged until that is mended")};
    QStringList problems;
    for (const ProcedureRule& rule : m_rules) {
        const auto it = m_files.constFind(Resolve(rule.procedurePath));
        if (it != m_files.cend() && !it->ok)
            problems << QStringLiteral("the procedure rule \"%1 => %2\" in %3 names a file that "
                                       "cannot be used (%4); the joints of jobs that contain "
                                       "\"%1\" are not judged until it can be")
                            .arg(rule.jobText, rule.procedurePath, m_settings.where, it->error);
    }
    return problems;
}

const MachineRegistry* CVerdictBook::Machines() const {
    return m_machines.machines.empty() ? nullptr : &m_machines;
}

CVerdictBook::Choice CVerdictBook::For(const QString& job) const {
    Choice choice;
    if (!m_blocked.isEmpty()) {
        choice.why = m_blocked;
        return choice;
    }
    for (const ProcedureRule& rule : m_rules) {
        if (!job.contains(rule.jobText, Qt::CaseInsensitive))
            continue;
        choice.file = Resolve(rule.procedurePath);
        const auto it = m_files.constFind(choice.file);
        if (it == m_files.cend()) {
            choice.pending = true;
            choice.why = QStringLiteral("its procedure file %1 is being read").arg(choice.file);
        } else if (!it->ok) {
            choice.why = QStringLiteral("its procedure file %1 (rule \"%2 => %3\") cannot be "
                                        "used: %4")
                             .arg(choice.file, rule.jobText, rule.procedurePath, it->error);
        } else {
            choice.procedure = &it->procedure;
        }
        return choice;
    }
    choice.procedure = &DefaultProcedure();
    return choice;
}

bool CVerdictBook::Expected(const JointFields& fields, JointFields& stamp, QString& why) const {
    const Choice choice = For(fields.job);
    if (!choice.procedure) {
        why = choice.why;
        return false;
    }
    stamp.procedureName = choice.procedure->name;
    stamp.procedureHash = QString::fromLatin1(choice.procedure->sha256);
    stamp.checkVersion = QString::number(kCheckVersion);
    stamp.machineEntry = MachineEntryText(m_machines.Find(fields.machineId));
    return true;
}

QString CVerdictBook::NotCurrent(const JointFields& f) const {
    JointFields want;
    QString why;
    const bool judged = !f.verdict.isEmpty();
    if (!Expected(f, want, why))
        return judged ? QStringLiteral("judged by %1 before; %2").arg(JudgedBy(f), why)
                      : QStringLiteral("not judged: %1").arg(why);
    if (!judged)
        return QStringLiteral("not judged yet; %1").arg(kAgain);
    if (f.checkVersion != want.checkVersion)
        return QStringLiteral("judged by %1 of the check, this program's is version %2; %3")
            .arg(f.checkVersion.isEmpty() ? QStringLiteral("an earlier version")
                                          : QStringLiteral("version ") + f.checkVersion,
                 want.checkVersion, kAgain);
    if (f.procedureName != want.procedureName || f.procedureHash != want.procedureHash)
        return QStringLiteral("judged by %1; the procedure for this job is now %2; %3")
            .arg(JudgedBy(f), JudgedBy(want), kAgain);
    if (f.machineEntry != want.machineEntry)
        return QStringLiteral("judged with the machine list's entry \"%1\" for machine %2, "
                              "which is now \"%3\"; %4")
            .arg(f.machineEntry.isEmpty() ? QStringLiteral("(not listed)") : f.machineEntry,
                 f.machineId,
                 want.machineEntry.isEmpty() ? QStringLiteral("(not listed)") : want.machineEntry,
                 kAgain);
    return QString();
}

bool CVerdictBook::Judge(const CVtkDoc& doc, const QString& path, bool cut, CheckResult& result,
                         QString& why) const {
    const Choice choice = For(doc.Field(RF_JOB_NUMBER).text);
    if (!choice.procedure) {
        why = choice.why;
        return false;
    }
    result = CheckReport(doc, cut ? CutDownloadPath(path) : path, *choice.procedure, Machines());
    return true;
}

void CVerdictBook::JudgeInto(const CVtkDoc& doc, const QString& path, bool cut,
                             JointFields& fields) const {
    CheckResult result;
    QString why;
    fields.judged = Judge(doc, path, cut, result, why);
    if (!fields.judged) {
        fields.verdict.clear();
        return;
    }
    fields.verdict = VerdictText(result.verdict);
    fields.procedureName = result.procedure;
    fields.procedureHash = QString::fromLatin1(result.procedureSha256);
    fields.checkVersion = QString::number(result.checkVersion);
    fields.machineEntry = MachineEntryText(m_machines.Find(doc.Field(RF_MACHINE_ID).text));
}

void MarkVerdicts(std::vector<JointRow>& rows, const CVerdictBook& book) {
    CTextPool pool;
    for (JointRow& row : rows)
        row.verdictNote = row.id > 0 ? pool(book.NotCurrent(row.fields)) : QString();
}
