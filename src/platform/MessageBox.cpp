#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
ScriptedPrompter* g_prompter = nullptr;

int FirstButton(unsigned type) {
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    default:
        return IDOK;
    }
}
} // namespace

QString AppName() {
    return QStringLiteral("Kelvorn VTQ-PPC");
}

ScriptedPrompter::ScriptedPrompter() : m_previous(g_prompter) {
    g_prompter = this;
}

ScriptedPrompter::~ScriptedPrompter() {
    g_prompter = m_previous;
}

int ScriptedPrompter::Show(const QString& text, const QString& caption, unsigned type) {
    int answer = FirstButton(type);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_shown.push_back({text, caption, type, answer});
    return answer;
}

int MessageBox(const QString& text, const QString& caption, unsigned type) {
    const QString shownCaption = caption.isEmpty() ? AppName() : caption;
    if (g_prompter)
        return g_prompter->Show(text, shownCaption, type);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(shownCaption);
    box.setText(text);
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    struct Button {
        QMessageBox::StandardButton button;
        int id;
    };
    std::vector<Button> buttons;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNOCANCEL:
        buttons = {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNO:
        buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        break;
    default:
        buttons = {{QMessageBox::Ok, IDOK}};
        break;
    }
    QMessageBox::StandardButtons set;
    for (const Button& b : buttons)
        set |= b.button;
    box.setStandardButtons(set);
    size_t defaultIndex = 0;
    if (type & MB_DEFBUTTON2)
        defaultIndex = 1;
    else if (type & MB_DEFBUTTON3)
        defaultIndex = 2;
    if (defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex].button);
    // Closing the box with Escape or its close box answers Cancel where there is
    // one, else the only or last button, as the handheld does.
    box.setEscapeButton(buttons.back().button);
    const int pressed = box.exec();
    for (const Button& b : buttons)
        if (b.button == pressed)
            return b.id;
    return buttons.back().id;
}
