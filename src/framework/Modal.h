#pragma once
// Runs a dialog modally and returns its result. Tests install a
// ScriptedRunner: it receives each dialog initialised, drives it by control id
// and ends it, instead of an operator.

#include <QString>
#include <deque>
#include <functional>
#include <vector>

class CDialog;

int RunModal(CDialog& dialog);

class ScriptedRunner {
public:
    using Handler = std::function<void(CDialog&)>;

    ScriptedRunner();
    ~ScriptedRunner();
    ScriptedRunner(const ScriptedRunner&) = delete;
    ScriptedRunner& operator=(const ScriptedRunner&) = delete;

    // The next dialog run is handed to `handler`.
    void Then(Handler handler) { m_handlers.push_back(std::move(handler)); }

    // The same, for a dialog of class T; another class is recorded as a
    // failure and cancelled.
    template <class T> void Then(std::function<void(T&)> handler) {
        Then(Handler([this, handler](CDialog& dialog) {
            if (T* typed = dynamic_cast<T*>(&dialog))
                handler(*typed);
            else
                m_failures.push_back(
                    QStringLiteral("unexpected dialog %1").arg(TemplateOf(dialog)));
        }));
    }

    // Template numbers of the dialogs run, in order.
    const std::vector<int>& Run() const { return m_run; }
    // Dialogs that came with no handler queued, or that a handler left open
    // (both are cancelled), and dialogs of an unexpected class.
    const std::vector<QString>& Failures() const { return m_failures; }
    size_t Pending() const { return m_handlers.size(); }

    int Drive(CDialog& dialog);

private:
    static int TemplateOf(const CDialog& dialog);

    std::deque<Handler> m_handlers;
    std::vector<int> m_run;
    std::vector<QString> m_failures;
    ScriptedRunner* m_previous;
};
