#include "framework/Dialog.h"

#include "framework/Resources.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QValidator>
#include <algorithm>
#include <memory>

int DluToPixelX(int x) {
    return (x * 3 + (x >= 0 ? 1 : -1)) / 2;
}
int DluToPixelY(int y) {
    return (y * 13 + (y >= 0 ? 4 : -4)) / 8;
}

namespace {
constexpr char kIdProperty[] = "vtqControlId";
constexpr int kComboHeight = 12; // dialog units

Qt::Alignment TextAlignment(unsigned style) {
    if (style & Style::Center)
        return Qt::AlignHCenter | Qt::AlignTop;
    if (style & Style::Right)
        return Qt::AlignRight | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

// What the operator may type into a one-line edit: digits only for number
// edits, and nothing that takes the text past the edit's limit. As on the
// handheld, a limit stops typing and pasting; it never cuts text. So text
// already past the limit (set by the program) may shrink but not grow.
class TypingRule : public QValidator {
public:
    TypingRule(QLineEdit* edit, bool digitsOnly)
        : QValidator(edit), m_bDigitsOnly(digitsOnly), m_nAccepted(edit->text().size()) {
        // Validation runs before the change is signalled, so this is the
        // length before the change being validated.
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_nAccepted = text.size(); });
    }
    void SetLimit(int limit) { m_nLimit = limit; }

    State validate(QString& input, int& /*pos*/) const override {
        if (m_bDigitsOnly)
            for (const QChar c : input)
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    return Invalid;
        if (m_nLimit > 0 && input.size() > m_nLimit && input.size() > m_nAccepted)
            return Invalid;
        return Acceptable;
    }

private:
    bool m_bDigitsOnly;
    int m_nLimit = 0;
    int m_nAccepted;
};

TypingRule* RuleOf(QLineEdit* edit) {
    return edit ? const_cast<TypingRule*>(dynamic_cast<const TypingRule*>(edit->validator()))
                : nullptr;
}

// Sets a one-line edit's text as the program does: whole, whatever the rule
// for typing says.
void SetLineEditText(QLineEdit* edit, const QString& text) {
    const QValidator* rule = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(rule);
}

// A read-only edit shows the window's colour, so that it does not look like
// an empty input box; a writable one has the colours it inherits.
void PaintReadOnly(QWidget* edit, bool readOnly) {
    QPalette palette;
    if (readOnly) {
        palette = edit->palette();
        palette.setBrush(QPalette::Base, palette.brush(QPalette::Window));
    }
    edit->setPalette(palette);
    // A multi-line edit draws its text on a viewport, which once polished
    // no longer follows its edit's palette.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(edit))
        area->viewport()->setPalette(palette);
}

// Turns "#128" into 128.
int ResourceNumber(const char* text) {
    const QString s = QString::fromUtf8(text);
    return s.startsWith(QLatin1Char('#')) ? s.mid(1).toInt() : 0;
}
} // namespace

CDialog::CDialog(const DlgTemplate& tmpl, QWidget* parent) : QDialog(parent), m_template(tmpl) {
    setWindowTitle(QString::fromUtf8(tmpl.title));
    m_font = QFont(QString::fromUtf8(tmpl.font));
    // Points at the handheld's 96 dots per inch, so that dialog units match.
    m_font.setPixelSize((tmpl.pointSize * 96 + 36) / 72);
    setFont(m_font);
    // Frames as the handheld draws them: a thin line with the title set into
    // it, not a raised panel with the title above.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(dark); margin-top: 6px; }"
                       "QGroupBox::title { subcontrol-origin: margin; left: 5px; padding: 0 1px; }"
                       // Lists open to their template's height, not the screen's.
                       "QComboBox { combobox-popup: 0; }"));
}

CDialog::~CDialog() = default;

QRect CDialog::TemplateRect() const {
    if (m_bFullScreen)
        return QRect(0, 0, kScreenWidth, kScreenHeight);
    return QRect(DluToPixelX(m_template.x), DluToPixelY(m_template.y), DluToPixelX(m_template.cx),
                 DluToPixelY(m_template.cy));
}

void CDialog::Create() {
    if (m_created)
        return;
    m_created = true;
    setFixedSize(TemplateRect().size());
    m_notifying = false;
    QButtonGroup* radioGroup = nullptr;
    for (const CtlTemplate& ctl : m_template.controls) {
        QWidget* widget = CreateControl(ctl, radioGroup);
        // A drop-down's template height is that of its opened list; closed it
        // is one line high.
        const bool dropDown = ctl.kind == Ctl::ComboList || ctl.kind == Ctl::ComboEdit;
        widget->setGeometry(DluToPixelX(ctl.x), DluToPixelY(ctl.y), DluToPixelX(ctl.cx),
                            DluToPixelY(dropDown ? std::min(ctl.cy, kComboHeight) : ctl.cy));
        widget->setProperty(kIdProperty, ctl.id);
        if (ctl.style & Style::Hidden)
            widget->hide();
        if (ctl.style & Style::Disabled)
            widget->setEnabled(false);
        if (ctl.kind == Ctl::Group)
            widget->lower(); // a frame stays behind the controls it holds
        if (ctl.id != IDC_STATIC && !m_controls.count(ctl.id))
            m_controls[ctl.id] = widget;
        if (ctl.limit > 0)
            LimitText(ctl.id, ctl.limit);
        Wire(ctl, widget);
    }
    m_notifying = true;
    OnInitDialog();
}

QWidget* CDialog::CreateControl(const CtlTemplate& ctl, QButtonGroup*& radioGroup) {
    const QString text = QString::fromUtf8(ctl.text ? ctl.text : "");
    if (ctl.kind != Ctl::Radio)
        radioGroup = nullptr;
    switch (ctl.kind) {
    case Ctl::Static: {
        auto* label = new QLabel(text, this);
        label->setAlignment(TextAlignment(ctl.style));
        label->setWordWrap(!(ctl.style & Style::NoWrap));
        label->setTextFormat(Qt::PlainText);
        if (ctl.style & Style::Border)
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
        return label;
    }
    case Ctl::Edit: {
        const bool readOnly = ctl.style & Style::ReadOnly;
        if (ctl.style & Style::Multiline) {
            auto* edit = new QPlainTextEdit(text, this);
            edit->setReadOnly(readOnly);
            if (readOnly)
                PaintReadOnly(edit, true);
            edit->setVerticalScrollBarPolicy((ctl.style & Style::VScroll) ? Qt::ScrollBarAsNeeded
                                                                          : Qt::ScrollBarAlwaysOff);
            edit->setTabChangesFocus(true);
            return edit;
        }
        auto* edit = new QLineEdit(text, this);
        edit->setReadOnly(readOnly);
        if (readOnly)
            PaintReadOnly(edit, true);
        edit->setValidator(new TypingRule(edit, ctl.style & Style::Number));
        if (ctl.style & Style::Password)
            edit->setEchoMode(QLineEdit::Password);
        edit->setAlignment((ctl.style & Style::Center)  ? Qt::AlignHCenter
                           : (ctl.style & Style::Right) ? Qt::AlignRight
                                                        : Qt::AlignLeft);
        return edit;
    }
    case Ctl::Button:
    case Ctl::DefButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        button->setDefault(ctl.kind == Ctl::DefButton);
        return button;
    }
    case Ctl::CheckBox:
        return new QCheckBox(text, this);
    case Ctl::Radio: {
        auto* radio = new QRadioButton(text, this);
        radio->setAutoExclusive(false);
        if (!radioGroup || (ctl.style & Style::Group)) {
            radioGroup = new QButtonGroup(this);
            radioGroup->setExclusive(true);
        }
        radioGroup->addButton(radio);
        return radio;
    }
    case Ctl::Group:
        return new QGroupBox(text, this);
    case Ctl::ComboList:
    case Ctl::ComboEdit: {
        auto* combo = new QComboBox(this);
        combo->setEditable(ctl.kind == Ctl::ComboEdit);
        if (ctl.items)
            combo->addItems(QString::fromUtf8(ctl.items).split(QLatin1Char('\n')));
        if (ctl.style & Style::Sort)
            combo->model()->sort(0);
        combo->setCurrentIndex(-1);
        combo->setMaxVisibleItems(std::max(1, (DluToPixelY(ctl.cy) - 20) / 14));
        return combo;
    }
    case Ctl::ListBox: {
        auto* list = new QListWidget(this);
        if (ctl.items)
            list->addItems(QString::fromUtf8(ctl.items).split(QLatin1Char('\n')));
        list->setSortingEnabled(ctl.style & Style::Sort);
        return list;
    }
    case Ctl::Icon:
    case Ctl::Bitmap: {
        auto* label = new QLabel(this);
        const int number = ResourceNumber(ctl.text);
        label->setPixmap(ctl.kind == Ctl::Icon ? LoadIconResource(number).pixmap(32, 32)
                                               : LoadBitmapResource(number));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    }
    return new QWidget(this);
}

void CDialog::Wire(const CtlTemplate& ctl, QWidget* widget) {
    const int id = ctl.id;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] {
            if (m_notifying)
                OnCommand(id);
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id] {
            if (m_notifying)
                OnEditChange(id);
        });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        // A multi-line edit has no limit of its own: an edit by the operator
        // that takes the text past the limit is taken back whole, as the
        // handheld's edit refuses it. Text the program sets stays whole.
        auto accepted = std::make_shared<QString>(text->toPlainText());
        connect(text, &QPlainTextEdit::textChanged, this, [this, id, text, accepted] {
            const QString now = text->toPlainText();
            const int limit = TextLimit(id);
            if (!m_bSettingText && limit > 0 && now.size() > limit &&
                now.size() > accepted->size()) {
                RefuseEdit(text, *accepted, now.size() - accepted->size());
                return;
            }
            if (now == *accepted)
                return; // a change of format only
            *accepted = now;
            if (m_notifying)
                OnEditChange(id);
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::activated, this, [this, id] {
            if (m_notifying)
                OnSelChange(id);
        });
        if (combo->isEditable())
            connect(combo, &QComboBox::editTextChanged, this, [this, id] {
                if (m_notifying)
                    OnEditChange(id);
            });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::itemClicked, this, [this, id] {
            if (m_notifying)
                OnSelChange(id);
        });
    } else if (ctl.kind == Ctl::Static && (ctl.style & Style::Notify)) {
        // Only labels made to report taps report them.
        widget->installEventFilter(this);
    }
}

void CDialog::RefuseEdit(QPlainTextEdit* edit, const QString& before, int grownBy) {
    // The cursor goes back to where the refused text went in, the view stays.
    const int cursor =
        std::clamp(edit->textCursor().position() - grownBy, 0, static_cast<int>(before.size()));
    const int scroll = edit->verticalScrollBar()->value();
    const QSignalBlocker block(edit);
    edit->setPlainText(before);
    QTextCursor restored = edit->textCursor();
    restored.setPosition(cursor);
    edit->setTextCursor(restored);
    edit->verticalScrollBar()->setValue(scroll);
}

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const QVariant id = widget ? widget->property(kIdProperty) : QVariant();
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (id.isValid() && mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            OnStaticClicked(id.toInt());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDialog::OnCommand(int id) {
    if (id == 1)
        OnOK();
    else if (id == 2)
        OnCancel();
}

void CDialog::ClickDlgItem(int id) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id))) {
        if (!button->isEnabled())
            return;
        button->click(); // toggles check boxes and radio buttons, then notifies
    }
}

void CDialog::EndDialog(int result) {
    m_ended = true;
    m_result = result;
    for (auto& [id, timer] : m_timers)
        timer->stop();
    QDialog::done(result);
}

QWidget* CDialog::GetDlgItem(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    m_bSettingText = true;
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        SetLineEditText(edit, text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        plain->setPlainText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->lineEdit())
            SetLineEditText(combo->lineEdit(), text);
        else
            combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString));
    }
    m_bSettingText = false;
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        return plain->toPlainText();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentText();
    if (auto* list = qobject_cast<QListWidget*>(w))
        return list->currentItem() ? list->currentItem()->text() : QString();
    return QString();
}

void CDialog::SetDlgItemInt(int id, int value) {
    SetDlgItemText(id, QString::number(value));
}

int CDialog::GetDlgItemInt(int id, bool* ok) const {
    const QString text = GetDlgItemText(id).trimmed();
    bool parsed = false;
    const int value = text.toInt(&parsed, 10);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

void CDialog::ShowDlgItem(int id, bool show) {
    if (QWidget* w = GetDlgItem(id))
        w->setVisible(show);
}

bool CDialog::IsDlgItemVisible(int id) const {
    // Asked of the control itself, so that it answers before the dialog is shown.
    QWidget* w = GetDlgItem(id);
    return w && !w->isHidden();
}

void CDialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id))
        w->setEnabled(enable);
}

bool CDialog::IsDlgItemEnabled(int id) const {
    QWidget* w = GetDlgItem(id);
    return w && w->isEnabled();
}

void CDialog::SetDlgItemFont(int id, const QFont& font) {
    if (QWidget* w = GetDlgItem(id))
        w->setFont(font);
}

void CDialog::LimitText(int id, int maxChars) {
    m_limits[id] = maxChars;
    QWidget* w = GetDlgItem(id);
    auto* edit = qobject_cast<QLineEdit*>(w);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        edit = combo->lineEdit();
    if (edit && !RuleOf(edit))
        edit->setValidator(new TypingRule(edit, false));
    if (TypingRule* rule = RuleOf(edit))
        rule->SetLimit(maxChars);
}

int CDialog::TextLimit(int id) const {
    const auto it = m_limits.find(id);
    return it == m_limits.end() ? 0 : it->second;
}

void CDialog::SetReadOnly(int id, bool readOnly) {
    QWidget* w = GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setReadOnly(readOnly);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w))
        plain->setReadOnly(readOnly);
    else
        return;
    PaintReadOnly(w, readOnly);
}

void CDialog::CheckDlgButton(int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id))) {
        // Radio buttons are not exclusive by themselves here: the group is.
        QButtonGroup* group = button->group();
        if (group && !checked)
            group->setExclusive(false);
        button->setChecked(checked);
        if (group)
            group->setExclusive(true);
    }
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id));
    return button && button->isChecked();
}

void CDialog::CheckRadioIndex(int firstId, int lastId, int index) {
    CheckRadioButton(firstId, lastId,
                     index >= 0 && index <= lastId - firstId ? firstId + index : firstId);
}

void CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    for (int id = firstId; id <= lastId; ++id)
        CheckDlgButton(id, id == checkId);
}

int CDialog::GetCheckedRadioButton(int firstId, int lastId) const {
    for (int id = firstId; id <= lastId; ++id)
        if (IsDlgButtonChecked(id))
            return id;
    return 0;
}

int CDialog::AddString(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int current = combo->currentIndex();
        combo->addItem(text);
        combo->setCurrentIndex(current);
        return combo->count() - 1;
    }
    if (auto* list = qobject_cast<QListWidget*>(w)) {
        list->addItem(text);
        return list->count() - 1;
    }
    return -1;
}

void CDialog::ResetContent(int id) {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->clear();
    else if (auto* list = qobject_cast<QListWidget*>(w))
        list->clear();
}

int CDialog::GetCount(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->count();
    if (auto* list = qobject_cast<QListWidget*>(w))
        return list->count();
    return 0;
}

void CDialog::SetCurSel(int id, int index) {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    else if (auto* list = qobject_cast<QListWidget*>(w))
        list->setCurrentRow(index >= 0 && index < list->count() ? index : -1);
}

int CDialog::GetCurSel(int id) const {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentIndex();
    if (auto* list = qobject_cast<QListWidget*>(w))
        return list->currentRow();
    return -1;
}

QString CDialog::GetLBText(int id, int index) const {
    QWidget* w = GetDlgItem(id);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->itemText(index);
    if (auto* list = qobject_cast<QListWidget*>(w))
        return list->item(index) ? list->item(index)->text() : QString();
    return QString();
}

void CDialog::SetTimer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
}

void CDialog::KillTimer(int id) {
    const auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second->stop();
}

int CDialog::TimerInterval(int id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive() ? it->second->interval() : 0;
}
