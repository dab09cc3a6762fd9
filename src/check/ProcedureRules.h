#pragma once
// Which procedure judges a joint: the office's rules "job contains TEXT →
// procedure file", the first that matches winning, and the shipped
// procedure for every other job.

#include <QString>
#include <vector>

struct ProcedureRule {
    QString jobText;
    QString procedurePath;
};

// The procedure file for a job: the first rule whose text the job number
// contains, compared without regard to case; `defaultPath` when none does.
QString ProcedureForJob(const std::vector<ProcedureRule>& rules, const QString& job,
                        const QString& defaultPath);

// Reads rules, one a line: "TEXT => FILE". Blank lines and lines that begin
// with '#' are skipped. False, with the line's number and what is wrong in
// `error`, for a line without "=>" or with an empty side.
bool ReadProcedureRules(const QString& text, std::vector<ProcedureRule>& rules, QString& error);
