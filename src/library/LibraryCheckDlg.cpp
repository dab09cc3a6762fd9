#include "library/LibraryCheckDlg.h"

#include "library/Resource.h"

#include <QFontDatabase>
#include <QPlainTextEdit>

const DlgTemplate& CLibraryCheckDlg::Template401() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_CHECK,
        "Procedure check",
        20,
        20,
        460,
        172,
        {
            {IDC_LIB_CHECK_FILE, Ctl::Static, "", 6, 4, 448, 10, Style::NoWrap},
            {IDC_LIB_CHECK_TEXT, Ctl::Edit, "", 6, 16, 448, 130,
             Style::Multiline | Style::ReadOnly | Style::VScroll | Style::Border},
            {IDOK, Ctl::DefButton, "OK", 404, 152, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryCheckDlg::CLibraryCheckDlg(QString file, QStringList lines, QWidget* parent)
    : CSetupPageDlg(Template401(), parent), m_strFile(std::move(file)), m_lines(std::move(lines)) {}

bool CLibraryCheckDlg::OnInitDialog() {
    SetDlgItemText(IDC_LIB_CHECK_FILE, m_strFile);
    if (auto* text = qobject_cast<QPlainTextEdit*>(GetDlgItem(IDC_LIB_CHECK_TEXT))) {
        // The criteria are laid out in columns, as the command line prints
        // them; long lines scroll rather than break the columns.
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(8);
        text->setFont(fixed);
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        // A procedure with a second stage, a soak and a build-up time has
        // more criteria than the box holds: the bar says so at a glance.
        text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text->setPlainText(m_lines.join(QLatin1Char('\n')));
    }
    return true;
}
