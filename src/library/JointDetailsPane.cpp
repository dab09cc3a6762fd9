#include "library/JointDetailsPane.h"

#include "library/JointTable.h"
#include "library/JointTableModel.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

// One plot as the viewer draws it, scaled to the pane's width.
class CPlotPicture : public QWidget {
public:
    using QWidget::QWidget;
    void SetImage(const QImage& image) {
        m_image = image;
        updateGeometry();
        update();
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        return qRound(std::min<double>(width, kDetailsPlotWidth * 1.5) * kDetailsPlotHeight /
                      kDetailsPlotWidth);
    }
    QSize sizeHint() const override {
        return {kDetailsPlotWidth, heightForWidth(kDetailsPlotWidth)};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_image.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const int w = std::min(width(), qRound(kDetailsPlotWidth * 1.5));
        painter.drawImage(QRect(0, 0, w, heightForWidth(w)), m_image);
    }

private:
    QImage m_image;
};

namespace {
QString Html(const QString& text) {
    return SafeLine(text).toHtmlEscaped();
}

QString VerdictColour(const QString& verdict) {
    if (verdict == QLatin1String("pass"))
        return QStringLiteral("#107f30");
    if (verdict == QLatin1String("fail"))
        return QStringLiteral("#b00020");
    if (verdict == QLatin1String("incomplete"))
        return QStringLiteral("#a06000");
    return QStringLiteral("#606060");
}

QString StatusColour(const QString& status) {
    if (status == QLatin1String("missing") || status == QLatin1String("unreadable"))
        return QStringLiteral("#b00020");
    if (status == QLatin1String("offline"))
        return QStringLiteral("#707070");
    return QStringLiteral("#107f30");
}

QString Number(double value) {
    return QString::number(value, 'f', value == std::floor(value) ? 0 : 1);
}
} // namespace

CJointDetailsPane::CJointDetailsPane(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto* column = new QWidget;
    m_pColumn = new QVBoxLayout(column);
    m_pColumn->setContentsMargins(10, 8, 10, 8);
    m_pColumn->setSpacing(4);
    m_pEmpty = new QLabel;
    m_pEmpty->setAlignment(Qt::AlignCenter);
    m_pEmpty->setWordWrap(true);
    m_pEmpty->setForegroundRole(QPalette::PlaceholderText);
    m_pColumn->addWidget(m_pEmpty);
    AddSection(QStringLiteral("joint"), QString());
    AddSection(QStringLiteral("location"), QStringLiteral("Where it lies"));
    AddSection(QStringLiteral("check"), QStringLiteral("Procedure check"));
    auto* plots = new QWidget;
    auto* plotColumn = new QVBoxLayout(plots);
    plotColumn->setContentsMargins(0, 0, 0, 0);
    for (CPlotPicture*& p : m_plots) {
        p = new CPlotPicture;
        plotColumn->addWidget(p);
    }
    AddSectionWidget(QStringLiteral("plots"), QStringLiteral("Pressure plots"), plots, QString());
    AddSection(QStringLiteral("report"), QStringLiteral("Report"));
    m_pColumn->addStretch(1);
    setWidget(column);
    ShowNothing(0);
}

QWidget* CJointDetailsPane::AddSectionWidget(const QString& key, const QString& title,
                                             QWidget* body, const QString& before) {
    auto* frame = new QWidget;
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 6, 0, 2);
    layout->setSpacing(3);
    auto* heading = new QLabel(title);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setVisible(!title.isEmpty());
    layout->addWidget(heading);
    layout->addWidget(body);
    // Before the stretch that keeps the sections at the top, or before `before`.
    int at = m_pColumn->count() > 1 + int(m_sections.size()) ? m_pColumn->count() - 1
                                                             : m_pColumn->count();
    for (const SectionInfo& s : m_sections)
        if (s.key == before)
            at = m_pColumn->indexOf(s.frame);
    m_pColumn->insertWidget(at, frame);
    SectionInfo info{key, frame, heading, body};
    auto where = m_sections.end();
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it)
        if (it->key == before)
            where = it;
    m_sections.insert(where, info);
    frame->setVisible(m_nJoint != 0);
    return body;
}

QLabel* CJointDetailsPane::AddSection(const QString& key, const QString& title,
                                      const QString& before) {
    auto* body = new QLabel;
    body->setWordWrap(true);
    body->setTextFormat(Qt::RichText);
    body->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    body->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddSectionWidget(key, title, body, before);
    return body;
}

QWidget* CJointDetailsPane::Section(const QString& key) const {
    for (const SectionInfo& s : m_sections)
        if (s.key == key)
            return s.body;
    return nullptr;
}

QLabel* CJointDetailsPane::TextBody(const QString& key) const {
    return qobject_cast<QLabel*>(Section(key));
}

QString CJointDetailsPane::SectionText(const QString& key) const {
    const QLabel* label = TextBody(key);
    if (!label)
        return QString();
    // Rich text as a person reads it: rows on lines, cells apart.
    QString html = label->text();
    html.replace(QLatin1String("</tr>"), QLatin1String("\n"))
        .replace(QLatin1String("<br>"), QLatin1String("\n"));
    html.replace(QLatin1String("</td>"), QLatin1String(" "))
        .replace(QLatin1String("</div>"), QLatin1String("\n"));
    QString text;
    bool tag = false;
    for (const QChar c : html) {
        if (c == QLatin1Char('<'))
            tag = true;
        else if (c == QLatin1Char('>'))
            tag = false;
        else if (!tag)
            text += c;
    }
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text.trimmed();
}

void CJointDetailsPane::SetSectionsVisible(bool visible) {
    for (const SectionInfo& s : m_sections)
        s.frame->setVisible(visible);
    m_pEmpty->setVisible(!visible);
}

void CJointDetailsPane::ShowNothing(int selected) {
    m_nJoint = 0;
    m_bDetails = false;
    m_pEmpty->setText(selected > 1 ? QStringLiteral("%1 joints selected").arg(selected)
                                   : QStringLiteral("Select a joint to see its report, its "
                                                    "plots and its check here."));
    SetSectionsVisible(false);
}

void CJointDetailsPane::ShowRow(const JointRow& row) {
    m_nJoint = row.id;
    m_bDetails = false;
    SetSectionsVisible(true);
    const JointFields& f = row.fields;
    QString head;
    if (row.id > 0) {
        head = QStringLiteral("<div style='font-size:large'><b>Joint %1</b> &nbsp; %2</div>")
                   .arg(f.jointNumber)
                   .arg(f.job.isEmpty() ? QString() : QStringLiteral("job ") + Html(f.job));
        head += QStringLiteral("<div>%1 &nbsp;·&nbsp; machine %2 &nbsp;·&nbsp; employee %3</div>")
                    .arg(Html(f.dateTime), Html(f.machineId), Html(f.employee));
        head +=
            QStringLiteral("<div>%1 &nbsp;·&nbsp; %2</div>").arg(Html(f.model), Html(f.sizeText));
        head += QStringLiteral("<div>Verdict <b style='color:%1'>%2</b> &nbsp;·&nbsp; <span "
                               "style='color:%3'>%4</span></div>")
                    .arg(VerdictColour(f.verdict),
                         Html(f.verdict.isEmpty() ? QStringLiteral("none") : f.verdict),
                         StatusColour(row.status), Html(row.status));
    } else {
        head = QStringLiteral("<div style='font-size:large'><b>Not a joint report</b></div><div "
                              "style='color:%1'>%2: %3</div>")
                   .arg(StatusColour(row.status), Html(row.status), Html(row.reason));
    }
    TextBody(QStringLiteral("joint"))->setText(head);

    QString where;
    for (const JointFile& copy : row.copies) {
        const QString note =
            row.versions > 1 && !copy.current ? QStringLiteral(", another version") : QString();
        where += QStringLiteral("<div><span style='color:%1'>%2</span>%3 — %4</div>")
                     .arg(StatusColour(copy.status), Html(copy.status), note, Html(copy.display));
    }
    if (row.missingSince > 0)
        where += QStringLiteral("<div>No copy seen since %1</div>")
                     .arg(Html(LibraryTimeText(row.missingSince)));
    TextBody(QStringLiteral("location"))->setText(where);

    // The report is read only where a copy is present; the plots show once
    // it is.
    const bool readable = row.id > 0 && !PresentCopy(row).isEmpty();
    TextBody(QStringLiteral("check"))
        ->setText(readable ? QStringLiteral("<i>Reading the report…</i>")
                           : QStringLiteral("<i>No copy of this joint is present now: its report "
                                            "cannot be read.</i>"));
    TextBody(QStringLiteral("report"))->setText(QString());
    for (CPlotPicture* p : m_plots)
        p->SetImage(QImage());
    SetSectionVisible(QStringLiteral("check"), row.id > 0);
    SetSectionVisible(QStringLiteral("plots"), false);
    SetSectionVisible(QStringLiteral("report"), false);
}

void CJointDetailsPane::SetSectionVisible(const QString& key, bool visible) {
    for (const SectionInfo& s : m_sections)
        if (s.key == key)
            s.frame->setVisible(visible);
}

void CJointDetailsPane::ShowDetails(const JointDetails& d) {
    if (d.jointId != m_nJoint || m_nJoint <= 0)
        return;
    m_bDetails = true;
    if (!d.failure.isEmpty()) {
        TextBody(QStringLiteral("check"))
            ->setText(QStringLiteral("<span style='color:#b00020'>%1</span>").arg(Html(d.failure)));
        return;
    }
    SetSectionVisible(QStringLiteral("plots"), true);
    SetSectionVisible(QStringLiteral("report"), true);
    QString check;
    if (d.check) {
        const CheckResult& c = *d.check;
        check = QStringLiteral("<div>%1</div><table cellspacing='0' cellpadding='1'>")
                    .arg(Html(c.procedure));
        for (const Criterion& k : c.criteria) {
            QString allowed;
            if (k.allowedMin && k.allowedMax)
                allowed =
                    QStringLiteral("%1 to %2").arg(Number(*k.allowedMin), Number(*k.allowedMax));
            else if (k.allowedMax)
                allowed = QStringLiteral("at most %1").arg(Number(*k.allowedMax));
            else if (k.allowedMin)
                allowed = QStringLiteral("at least %1").arg(Number(*k.allowedMin));
            const QString verdict = VerdictText(k.verdict);
            // Numbers and their ranges are never broken over lines.
            check += QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td style='color:%2'><b>%3</b>"
                                    "&nbsp;&nbsp;</td><td align='right' nowrap>%4&nbsp;%5"
                                    "&nbsp;&nbsp;</td><td nowrap>%6</td></tr>")
                         .arg(Html(k.id), VerdictColour(verdict), verdict,
                              k.measured ? Number(*k.measured) : QStringLiteral("–"), Html(k.unit),
                              Html(allowed).replace(QLatin1Char(' '), QLatin1String("&nbsp;")));
            if (!k.reason.isEmpty())
                check += QStringLiteral("<tr><td></td><td colspan='3'><small>%1</small></td></tr>")
                             .arg(Html(k.reason));
        }
        const QString verdict = VerdictText(c.verdict);
        check +=
            QStringLiteral("</table><div>Verdict <b style='color:%1'>%2</b>%3</div>")
                .arg(VerdictColour(verdict), verdict,
                     c.reason.isEmpty() ? QString()
                                        : QStringLiteral(" (") + Html(c.reason) + QLatin1Char(')'));
    } else if (!d.notJudged.isEmpty()) {
        check = QStringLiteral("Not judged: ") + Html(d.notJudged);
    }
    TextBody(QStringLiteral("check"))->setText(check);
    for (size_t i = 0; i < d.plots.size(); ++i)
        m_plots[i]->SetImage(d.plots[i]);
    QString report = QStringLiteral("<table cellspacing='0' cellpadding='0'>");
    for (const ReportRow& r : d.text)
        report += r.pair
                      ? QStringLiteral("<tr><td>%1&nbsp;&nbsp;</td><td>%2</td></tr>")
                            .arg(Html(WithoutMnemonics(r.first)), Html(WithoutMnemonics(r.second)))
                      : QStringLiteral("<tr><td colspan='2'>%1</td></tr>")
                            .arg(Html(WithoutMnemonics(r.first)));
    report += QStringLiteral("</table><div><small>Read from %1</small></div>").arg(Html(d.file));
    TextBody(QStringLiteral("report"))->setText(report);
}
