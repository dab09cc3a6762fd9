#pragma once
// The program's dialog base. A dialog is built from its template (controls
// created at the template's positions, dialog units turned into the handheld's
// pixels: x * 3/2, y * 13/8) and is talked to by control id, as on the
// handheld. Controls report to virtual handlers: OnCommand (buttons, check
// boxes, radio buttons), OnEditChange, OnSelChange, OnStaticClicked; IDOK and
// IDCANCEL go to OnOK and OnCancel; window timers call OnTimer.
//
// CDialog, like the platform's own dialog class, fills the handheld's screen;
// CSetupPageDlg keeps the template's size and position.

#include "framework/DialogTemplate.h"
#include "platform/MessageBox.h" // IDOK, IDCANCEL

#include <QDialog>
#include <QFont>
#include <QString>
#include <map>

class QButtonGroup;
class QPlainTextEdit;
class QTimer;

// The handheld screen below the title bar and above the command bar.
constexpr int kScreenWidth = 240;
constexpr int kScreenHeight = 268;

int DluToPixelX(int x);
int DluToPixelY(int y);

class CDialog : public QDialog {
public:
    CDialog(const DlgTemplate& tmpl, QWidget* parent);
    ~CDialog() override;

    const DlgTemplate& Template() const { return m_template; }
    int TemplateId() const { return m_template.id; }

    // Builds the controls and calls OnInitDialog, once. RunModal does this
    // before the dialog is shown.
    void Create();
    bool IsCreated() const { return m_created; }

    // Ends the modal run with a result; Result() is that result afterwards.
    void EndDialog(int result);
    bool IsEnded() const { return m_ended; }
    int Result() const { return m_result; }

    // The handlers an operator's actions reach. Public so that tests can
    // press buttons and tap labels exactly as the operator would.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnCommand(int id);
    virtual void OnEditChange(int /*id*/) {}
    virtual void OnSelChange(int /*id*/) {}
    virtual void OnStaticClicked(int /*id*/) {}
    virtual void OnTimer(int /*id*/) {}

    // Presses a button, check box or radio button as a tap would: check state
    // changes first, then the handler runs.
    void ClickDlgItem(int id);

    // Controls by id.
    QWidget* GetDlgItem(int id) const;
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;
    void SetDlgItemInt(int id, int value);
    // Reads a whole number as the handheld does: blanks around it allowed,
    // anything else makes *ok false and returns 0.
    int GetDlgItemInt(int id, bool* ok) const;
    void ShowDlgItem(int id, bool show);
    bool IsDlgItemVisible(int id) const;
    void EnableDlgItem(int id, bool enable);
    bool IsDlgItemEnabled(int id) const;
    void SetDlgItemFont(int id, const QFont& font);
    // The most characters the operator may type into an edit, 0 for no
    // limit. It stops typing and pasting only: text the program sets through
    // SetDlgItemText stays whole, and may then shrink but not grow.
    void LimitText(int id, int maxChars);
    int TextLimit(int id) const;
    void SetReadOnly(int id, bool readOnly);

    // Check boxes and radio buttons.
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    void CheckRadioButton(int firstId, int lastId, int checkId);
    // Checks the button that a stored index chooses among `firstId` to
    // `lastId`; an index outside that range (a store edited by hand) checks
    // the first, the default.
    void CheckRadioIndex(int firstId, int lastId, int index);
    // The id of the checked radio button of firstId..lastId, or 0.
    int GetCheckedRadioButton(int firstId, int lastId) const;

    // Lists and drop-down lists.
    int AddString(int id, const QString& text);
    void ResetContent(int id);
    int GetCount(int id) const;
    void SetCurSel(int id, int index);
    int GetCurSel(int id) const; // -1 when nothing is chosen
    QString GetLBText(int id, int index) const;

    // Window timers: SetTimer starts or restarts timer `id`, whose ticks call
    // OnTimer(id); tests call OnTimer themselves instead of waiting.
    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);
    // The period of a running timer, 0 when it is stopped.
    int TimerInterval(int id) const;

    // The template's rectangle in pixels.
    QRect TemplateRect() const;

    QFont DialogFont() const { return m_font; }

protected:
    // CSetupPageDlg clears this, as the handheld's dialogs clear their
    // full-screen flag, to keep the template's size.
    bool m_bFullScreen = true;

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateControl(const CtlTemplate& ctl, QButtonGroup*& radioGroup);
    void Wire(const CtlTemplate& ctl, QWidget* widget);
    static void RefuseEdit(QPlainTextEdit* edit, const QString& before, int grownBy);

    const DlgTemplate& m_template;
    QFont m_font;
    std::map<int, QWidget*> m_controls;
    std::map<int, QTimer*> m_timers;
    std::map<int, int> m_limits;
    bool m_created = false;
    bool m_ended = false;
    int m_result = 0;
    bool m_notifying = true;
    bool m_bSettingText = false;
};
