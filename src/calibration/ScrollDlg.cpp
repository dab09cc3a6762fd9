#include "calibration/ScrollDlg.h"

#include "calibration/Resource.h"
#include "platform/MessageBox.h"

#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr int kBandHeight = 22;
}

const DlgTemplate& CScrollDlg::Template181() {
    static const DlgTemplate tmpl{IDD_SCROLL, "Scroll Dialog", 0, 0, 158, 167, {}};
    return tmpl;
}

CScrollDlg::CScrollDlg(const QString& title, QWidget* parent)
    : CDialog(Template181(), parent), m_strTitle(title),
      m_nBandHeight(title.isEmpty() ? 0 : kBandHeight),
      m_container(std::make_unique<CPageContainer>()) {
    m_titleFont = QFont(QStringLiteral("Tahoma"));
    m_titleFont.setPixelSize(11);
    m_titleFont.setWeight(QFont::Bold);
    m_titleFont.setStyleHint(QFont::SansSerif);
}

CScrollDlg::~CScrollDlg() {
    // The page goes before the container that holds it.
    if (m_container)
        m_container->EndPage(false);
}

bool CScrollDlg::OnInitDialog() {
    if (!CreateContainer(QRect(0, m_nBandHeight, width(), height() - m_nBandHeight)))
        MessageBox(QStringLiteral("Cannot create container!"));
    Place();
    return true;
}

bool CScrollDlg::CreateContainer(const QRect& rect) {
    return m_container->Create(this, rect, IDC_PAGE_CONTAINER);
}

void CScrollDlg::Place() {
    if (!m_container->IsCreated())
        return;
    if (m_nBandHeight)
        m_container->setGeometry(0, m_nBandHeight + 1, width(), height() - m_nBandHeight);
    else
        m_container->setGeometry(0, 0, width(), height());
}

void CScrollDlg::resizeEvent(QResizeEvent* event) {
    CDialog::resizeEvent(event);
    Place();
}

void CScrollDlg::paintEvent(QPaintEvent* event) {
    CDialog::paintEvent(event);
    if (!m_nBandHeight)
        return;
    QPainter p(this);
    p.setFont(m_titleFont);
    p.setPen(QColor(0, 0, 156));
    p.drawText(QRect(8, 0, width() - 8, m_nBandHeight), Qt::AlignLeft | Qt::AlignVCenter,
               m_strTitle);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(0, m_nBandHeight, width(), m_nBandHeight);
}

void CScrollDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    CDialog::keyPressEvent(event);
}

void CScrollDlg::OnOK() {
    MessageBox(QStringLiteral("Please scroll down the page to inspect each field carefully, then "
                              "follow the instructions at the end of the page."),
               QStringLiteral("Hint"));
}

void CScrollDlg::OnCancel() {
    // The page's values are taken, not stored: only Save stores them.
    if (m_container->EndPage(true))
        EndDialog(IDCANCEL);
}

void CScrollDlg::OnPageMessage(int message) {
    if (IsEnded())
        return;
    if (message == WM_PAGE_ACCEPTED) {
        if (m_container->EndPage(true))
            EndDialog(IDOK);
    } else if (message == WM_PAGE_CANCELLED) {
        OnCancel();
    }
}
