#pragma once
// Where the library finds which procedure judges a joint and the office's
// machines: the rules "job contains TEXT => procedure file" and the machine
// list, as the texts ReadProcedureRules and ReadMachineRegistry read. One
// small interface, so that an office-wide store (the shared PostgreSQL
// index) can keep them in place of the settings file; the procedure files
// the rules name are read by the verdict book (VerdictBook.h), wherever the
// rules came from.

#include <QString>

struct ProcedureSettings {
    QString rules;    // one rule a line: "TEXT => FILE"
    QString machines; // one machine a line: "Machine ID; model; piston area; calibration"
    QString folder;   // a relative FILE in a rule is taken from this folder
    QString where;    // where they are kept, for messages ("[Library] ProcedureRules in ...")
    QString error;    // why they could not be read; set, every joint is left unjudged
};

class CProcedureSource {
public:
    virtual ~CProcedureSource() = default;
    // The rules and the machine list as kept now. May be called on any
    // thread (a worker's scan reads them there).
    virtual ProcedureSettings Read() const = 0;
    // Keeps new texts (the command line's "procedures --set", "machines
    // --set"); false, with `error` saying why, when they cannot be kept.
    virtual bool Write(const QString& rules, const QString& machines, QString& error) = 0;
};

// The settings file's group [Library]: the text values ProcedureRules and
// Machines, one a line, and a relative procedure file taken from the
// settings file's folder. The settings store belongs to one thread: this
// source takes its texts when it is made, on that thread, and Read gives
// that copy on any thread; Write goes to the store (on that thread) and
// to the copy.
class CSettingsProcedureSource : public CProcedureSource {
public:
    CSettingsProcedureSource();
    ProcedureSettings Read() const override { return m_settings; }
    bool Write(const QString& rules, const QString& machines, QString& error) override;

private:
    ProcedureSettings m_settings;
};

// Fixed texts: the tests', and the shipped procedure alone (empty texts).
class CFixedProcedureSource : public CProcedureSource {
public:
    explicit CFixedProcedureSource(ProcedureSettings settings = {})
        : m_settings(std::move(settings)) {}
    ProcedureSettings Read() const override { return m_settings; }
    bool Write(const QString& rules, const QString& machines, QString&) override {
        m_settings.rules = rules;
        m_settings.machines = machines;
        return true;
    }

private:
    ProcedureSettings m_settings;
};

// The keys in [Library].
inline const QString kProcedureRulesKey = QStringLiteral("ProcedureRules");
inline const QString kMachinesKey = QStringLiteral("Machines");
