#pragma once
// CScrollDlg, template 181: a title band and, below it, a page container
// (control 1001) that scrolls a page larger than the screen. The page's OK
// and Cancel end the dialog; Enter only asks to read the page through.

#include "calibration/PageContainer.h"
#include "framework/Dialog.h"

#include <QFont>
#include <memory>

class CScrollDlg : public CDialog, public CPageHost {
public:
    CScrollDlg(const QString& title, QWidget* parent);
    ~CScrollDlg() override;

    static const DlgTemplate& Template181();

    CPageContainer& Container() { return *m_container; }
    int BandHeight() const { return m_nBandHeight; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnPageMessage(int message) override;

protected:
    // Makes the container window; a separate step so that its failure can
    // be shown.
    virtual bool CreateContainer(const QRect& rect);
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Place();

    QString m_strTitle;
    int m_nBandHeight;
    QFont m_titleFont;
    std::unique_ptr<CPageContainer> m_container;
};
