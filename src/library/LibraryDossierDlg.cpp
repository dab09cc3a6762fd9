#include "library/LibraryDossierDlg.h"

#include "library/Resource.h"
#include "platform/MessageBox.h"

#include <QFileInfo>

namespace {
const QString kCaption = QStringLiteral("Job dossier");
} // namespace

const DlgTemplate& CLibraryDossierDlg::Template404() {
    static const DlgTemplate tmpl{
        IDD_LIBRARY_DOSSIER,
        "Job dossier",
        20,
        20,
        340,
        132,
        {
            {IDC_STATIC, Ctl::Static, "Job number:", 6, 8, 56, 10},
            {IDC_LIB_DOSSIER_JOB, Ctl::Edit, "", 64, 6, 160, 13, 0, nullptr, 80},
            {IDC_LIB_DOSSIER_COUNT, Ctl::Static, "", 64, 22, 270, 20},
            {IDC_LIB_DOSSIER_DATES, Ctl::CheckBox, "Only the joints dated from", 6, 46, 118, 12},
            {IDC_LIB_DOSSIER_SINCE, Ctl::Edit, "", 126, 45, 56, 13, 0, nullptr, 10},
            {IDC_STATIC, Ctl::Static, "to", 186, 47, 12, 10},
            {IDC_LIB_DOSSIER_UNTIL, Ctl::Edit, "", 200, 45, 56, 13, 0, nullptr, 10},
            {IDC_STATIC, Ctl::Static, "(YYYY-MM-DD)", 260, 47, 74, 10},
            {IDC_STATIC, Ctl::Static, "PDF file:", 6, 68, 56, 10},
            {IDC_LIB_DOSSIER_FILE, Ctl::Edit, "", 64, 66, 218, 13},
            {IDC_LIB_DOSSIER_BROWSE, Ctl::Button, "Browse...", 286, 65, 48, 14},
            {IDC_LIB_DOSSIER_LETTER, Ctl::CheckBox, "Letter pages (A4 otherwise)", 64, 86, 160, 12},
            {IDOK, Ctl::DefButton, "Write", 228, 112, 50, 14},
            {IDCANCEL, Ctl::Button, "Cancel", 284, 112, 50, 14},
        },
        "DejaVu Sans",
        9};
    return tmpl;
}

CLibraryDossierDlg::CLibraryDossierDlg(QWidget* parent) : CSetupPageDlg(Template404(), parent) {}

bool CLibraryDossierDlg::OnInitDialog() {
    SetDlgItemText(IDC_LIB_DOSSIER_JOB, m_job);
    CheckDlgButton(IDC_LIB_DOSSIER_DATES, m_since.isValid() || m_until.isValid());
    SetDlgItemText(IDC_LIB_DOSSIER_SINCE, m_since.toString(Qt::ISODate));
    SetDlgItemText(IDC_LIB_DOSSIER_UNTIL, m_until.toString(Qt::ISODate));
    SetDlgItemText(IDC_LIB_DOSSIER_FILE, m_file);
    CheckDlgButton(IDC_LIB_DOSSIER_LETTER, m_letter);
    Describe();
    return true;
}

void CLibraryDossierDlg::Describe() {
    SetDlgItemText(IDC_LIB_DOSSIER_COUNT,
                   m_describe ? m_describe(GetDlgItemText(IDC_LIB_DOSSIER_JOB)) : QString());
}

void CLibraryDossierDlg::OnEditChange(int id) {
    if (id == IDC_LIB_DOSSIER_JOB && IsCreated())
        Describe();
}

void CLibraryDossierDlg::OnCommand(int id) {
    if (id == IDC_LIB_DOSSIER_BROWSE && m_askFile) {
        QString suggested = GetDlgItemText(IDC_LIB_DOSSIER_FILE);
        if (suggested.isEmpty())
            suggested = GetDlgItemText(IDC_LIB_DOSSIER_JOB).trimmed() + QStringLiteral(".pdf");
        const QString file = m_askFile(suggested);
        if (!file.isEmpty())
            SetDlgItemText(IDC_LIB_DOSSIER_FILE, file);
        return;
    }
    CSetupPageDlg::OnCommand(id);
}

void CLibraryDossierDlg::OnOK() {
    const QString job = GetDlgItemText(IDC_LIB_DOSSIER_JOB).trimmed();
    QString file = GetDlgItemText(IDC_LIB_DOSSIER_FILE).trimmed();
    const auto refuse = [&](const QString& text) {
        MessageBox(text, kCaption, MB_ICONINFORMATION);
    };
    if (job.isEmpty())
        return refuse(QStringLiteral("Type the job number whose dossier is wanted."));
    QDate since, until;
    if (IsDlgButtonChecked(IDC_LIB_DOSSIER_DATES)) {
        since = QDate::fromString(GetDlgItemText(IDC_LIB_DOSSIER_SINCE).trimmed(), Qt::ISODate);
        until = QDate::fromString(GetDlgItemText(IDC_LIB_DOSSIER_UNTIL).trimmed(), Qt::ISODate);
        if (!since.isValid() || !until.isValid())
            return refuse(QStringLiteral("Type both dates as YYYY-MM-DD, such as 2024-03-04."));
        if (since > until)
            return refuse(QStringLiteral("The first date is after the last."));
    }
    if (file.isEmpty())
        return refuse(QStringLiteral("Name the PDF file to write."));
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".pdf");
    m_force = false;
    if (QFileInfo::exists(file)) {
        if (MessageBox(QStringLiteral("%1 is there already. Write the dossier over it?").arg(file),
                       kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return;
        m_force = true;
    }
    m_job = job;
    m_since = since;
    m_until = until;
    m_file = file;
    m_letter = IsDlgButtonChecked(IDC_LIB_DOSSIER_LETTER);
    EndDialog(IDOK);
}
