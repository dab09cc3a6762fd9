#pragma once
// Which procedure judges each joint, and whether a verdict the index keeps
// is still the one the library would make now. A verdict carries the name
// of the procedure that made it, the SHA-256 of that procedure file's
// bytes, the check's version and the office's machine-list entry of the
// joint's machine; when any of them is no longer what the rules, the files,
// the list and this program give, the verdict is not current: shown as
// such, and judged again by the next scan.
//
// The book is made from the texts of a ProcedureSource and the procedure
// files its rules name. Reading those files is file-system work, never done
// on the window's thread: a book made with a file not read yet leaves the
// joints of that rule unjudged ("being read") until it is. A rule whose file
// cannot be read, or texts that cannot be read, leave the joints they cover
// unjudged, with the reason: never judged by another procedure instead.
// Once made, a book does not change and may be shared between threads.

#include "check/MachineRegistry.h"
#include "check/Procedure.h"
#include "check/ProcedureCheck.h"
#include "check/ProcedureRules.h"
#include "library/LibraryStore.h"
#include "library/ProcedureSource.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <vector>

class CVtkDoc;

// A procedure file as read: the procedure, or why it cannot be used.
struct ProcedureFile {
    bool ok = false;
    Procedure procedure;
    QString error;
};
// By the file's path as the rules resolve it.
using ProcedureFiles = QHash<QString, ProcedureFile>;

class CVerdictBook {
public:
    // `files`: the procedure files read so far.
    CVerdictBook(ProcedureSettings settings, ProcedureFiles files);

    // Reads the texts and every procedure file the rules name.
    static std::shared_ptr<const CVerdictBook> Load(const CProcedureSource& source);
    static std::shared_ptr<const CVerdictBook> Load(const ProcedureSettings& settings);
    // The files the rules name, resolved; and reading them.
    static QStringList FilesNamed(const ProcedureSettings& settings);
    static ProcedureFiles ReadFiles(const QStringList& paths);
    // The shipped procedure for every job, no machine list.
    static const CVerdictBook& Shipped();

    const ProcedureSettings& Settings() const { return m_settings; }
    const ProcedureFiles& Files() const { return m_files; }
    // Files the rules name that are not read yet.
    QStringList Pending() const;
    // What is wrong with the texts or a file, one line each, for people.
    QStringList Problems() const;
    // The office's machines; null when none are listed.
    const MachineRegistry* Machines() const;

    struct Choice {
        const Procedure* procedure = nullptr; // null: the joint is not judged now (`why`)
        QString file;                         // the rule's file; empty for the shipped one
        QString why;
        bool pending = false; // its file is being read
    };
    // The procedure for a job: the first rule whose text the job contains.
    Choice For(const QString& job) const;

    // The stamp a verdict made now would carry for a joint of these fields
    // (its job and machine): procedure name and hash, check version and
    // machine-list entry set in `stamp`. False, with `why`, when no verdict
    // can be made now.
    bool Expected(const JointFields& fields, JointFields& stamp, QString& why) const;
    // Why the verdict kept in `fields` is not the one this book would make
    // now; empty when it is current.
    QString NotCurrent(const JointFields& fields) const;

    // Judges the report in `doc` (read from `path`; `cut`: its bytes were
    // seen as a cut download, whatever this file's name) by the procedure
    // for its job and the machine list. False, with `why`, when that
    // procedure cannot be had: nothing else judges it then.
    bool Judge(const CVtkDoc& doc, const QString& path, bool cut, CheckResult& result,
               QString& why) const;
    // The same, into the index's fields: the verdict and its stamp, or
    // `judged` false (the verdict kept before stays).
    void JudgeInto(const CVtkDoc& doc, const QString& path, bool cut, JointFields& fields) const;

private:
    QString Resolve(const QString& file) const;

    ProcedureSettings m_settings;
    ProcedureFiles m_files;
    std::vector<ProcedureRule> m_rules;
    MachineRegistry m_machines;
    QString m_blocked; // why no joint can be judged (texts that cannot be read)
};

// A machine-list entry as a verdict records it; empty for a machine that is
// not listed.
QString MachineEntryText(const MachineEntry* entry);

// Sets each joint's verdictNote by the book.
void MarkVerdicts(std::vector<JointRow>& rows, const CVerdictBook& book);

// A path that says "cut download" to the check, for bytes seen as one.
QString CutDownloadPath(const QString& path);
