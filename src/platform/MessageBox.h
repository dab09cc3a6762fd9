#pragma once
// Modal message boxes with the handheld's button and icon flags. Program code
// calls MessageBox(); tests install a ScriptedPrompter to answer and record.

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QMessageBox;
class QWidget;

// Button sets.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_TYPEMASK = 0xF;
// Icons.
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONEXCLAMATION = MB_ICONWARNING;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_ICONMASK = 0xF0;
// Default button.
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_DEFBUTTON3 = 0x200;

// Button ids, returned by MessageBox and used as dialog results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal box and returns the id of the button pressed. An empty
// caption shows the application's name.
int MessageBox(const QString& text, const QString& caption = QString(), unsigned type = MB_OK);

// The application's name, the caption of boxes given none.
QString AppName();

// The handheld's screen width: no box is wider.
constexpr int kMessageBoxMaxWidth = 240;

// The window a box or dialog belongs over: the active modal dialog, else the
// active window, else the program's main window (a visible top-level
// window). Null before any window is shown.
QWidget* OwnerWindow();

// Moves `widget` so that it is centred over `owner`, as everything stood on
// the handheld's one screen; nothing happens without an owner.
void PlaceOver(QWidget& widget, const QWidget* owner);

// The box MessageBox shows, not yet run: caption, icon and buttons set, and
// the text broken into lines so that the box fits kMessageBoxMaxWidth.
std::unique_ptr<QMessageBox> CreateMessageBox(const QString& text, const QString& caption,
                                              unsigned type);

struct ShownMessage {
    QString text;
    QString caption; // as shown, so never empty
    unsigned type;
    int answer;
};

// Stands in for the real boxes while it lives: answers from its queue, else
// the first button of the box (OK or Yes), and records every box shown.
class ScriptedPrompter {
public:
    ScriptedPrompter();
    ~ScriptedPrompter();
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    void Answer(int id) { m_answers.push_back(id); }
    // Runs `action` while the next box is open, as the windows' timers run
    // under a real one.
    void WhileOpen(std::function<void()> action) { m_whileOpen = std::move(action); }
    const std::vector<ShownMessage>& Shown() const { return m_shown; }
    void Clear() { m_shown.clear(); }

    int Show(const QString& text, const QString& caption, unsigned type);

private:
    std::deque<int> m_answers;
    std::function<void()> m_whileOpen;
    std::vector<ShownMessage> m_shown;
    ScriptedPrompter* m_previous;
};
