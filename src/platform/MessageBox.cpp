#include "platform/MessageBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <utility>

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
    if (m_whileOpen)
        std::exchange(m_whileOpen, nullptr)();
    int answer = FirstButton(type);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_shown.push_back({text, caption, type, answer});
    return answer;
}

namespace {
struct Button {
    QMessageBox::StandardButton button;
    int id;
};

std::vector<Button> Buttons(unsigned type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNOCANCEL:
        return {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

// `text` with each line broken at blanks (or, for a word longer than a line,
// after a slash or anywhere) into lines no wider than `width`.
QString WrapText(const QString& text, const QFontMetrics& metrics, int width) {
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (line.isEmpty() || metrics.horizontalAdvance(joined) <= width) {
                line = joined;
            } else {
                lines << line;
                line = word;
            }
            while (line.size() > 1 && metrics.horizontalAdvance(line) > width) {
                int fits = line.size() - 1;
                while (fits > 1 && metrics.horizontalAdvance(line.left(fits)) > width)
                    --fits;
                // A path breaks after a folder where it can.
                const int slash = line.left(fits).lastIndexOf(QLatin1Char('/'));
                if (slash > 0)
                    fits = slash + 1;
                lines << line.left(fits);
                line = line.mid(fits);
            }
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

// The box's least width with its text unwrapped, as the box sizes itself
// when shown.
int LeastWidth(QMessageBox& box, QLabel& label) {
    const bool wrap = label.wordWrap();
    label.setWordWrap(false);
    box.layout()->activate();
    const int width = box.layout()->totalMinimumSize().width();
    label.setWordWrap(wrap);
    return width;
}

// Breaks the box's text into lines until the box fits the screen: the box
// itself would only wrap at half a desktop screen, up to 500 pixels.
void FitToScreen(QMessageBox& box, const QString& text) {
    box.setText(text);
    QLabel* label = nullptr;
    for (QLabel* candidate : box.findChildren<QLabel*>())
        if (candidate->text() == text)
            label = candidate;
    if (!label || !box.layout())
        return;
    const QFontMetrics metrics(label->font());
    for (int width = kMessageBoxMaxWidth; width > 40; width -= 8) {
        const QString wrapped = WrapText(text, metrics, width);
        box.setText(wrapped);
        if (LeastWidth(box, *label) <= kMessageBoxMaxWidth)
            return;
    }
}
} // namespace

QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->isWindow() && top->inherits("QMainWindow"))
            return top;
    return nullptr;
}

void PlaceOver(QWidget& widget, const QWidget* owner) {
    if (!owner)
        return;
    const QRect area = owner->window()->frameGeometry();
    QRect rect = widget.frameGeometry();
    rect.moveCenter(area.center());
    widget.move(rect.topLeft());
}

std::unique_ptr<QMessageBox> CreateMessageBox(const QString& text, const QString& caption,
                                              unsigned type) {
    QWidget* owner = OwnerWindow();
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(caption.isEmpty() ? AppName() : caption);
    box->setTextFormat(Qt::PlainText);
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        box->setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box->setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box->setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box->setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    const std::vector<Button> buttons = Buttons(type);
    QMessageBox::StandardButtons set;
    for (const Button& b : buttons)
        set |= b.button;
    box->setStandardButtons(set);
    size_t defaultIndex = 0;
    if (type & MB_DEFBUTTON2)
        defaultIndex = 1;
    else if (type & MB_DEFBUTTON3)
        defaultIndex = 2;
    if (defaultIndex < buttons.size())
        box->setDefaultButton(buttons[defaultIndex].button);
    // Closing the box with Escape or its close box answers Cancel where there is
    // one, else the only or last button, as the handheld does.
    box->setEscapeButton(buttons.back().button);
    FitToScreen(*box, text);
    box->adjustSize();
    PlaceOver(*box, owner);
    return box;
}

int MessageBox(const QString& text, const QString& caption, unsigned type) {
    const QString shownCaption = caption.isEmpty() ? AppName() : caption;
    if (g_prompter)
        return g_prompter->Show(text, shownCaption, type);

    const std::unique_ptr<QMessageBox> box = CreateMessageBox(text, shownCaption, type);
    const int pressed = box->exec();
    const std::vector<Button> buttons = Buttons(type);
    for (const Button& b : buttons)
        if (b.button == pressed)
            return b.id;
    return buttons.back().id;
}
