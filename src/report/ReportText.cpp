#include "report/ReportText.h"

#include "framework/Format.h"
#include "framework/Strings.h"
#include "report/JointSummary.h"
#include "report/VtkDoc.h"
#include "setup/JointRecord.h"
#include "setup/MachineModels.h"

namespace {
const QString kColon = QStringLiteral(": ");
const QString kNotesIndent = QString(10, QLatin1Char(' '));
constexpr int kLineChars = 25;
constexpr int kCutChars = 26;

// Cuts one paragraph into lines: at the last blank within the first 27
// characters, else after 26 characters.
void CutParagraph(QString text, QStringList& lines) {
    while (text.size() > kLineChars) {
        int cut = 0;
        for (qsizetype b = text.indexOf(QLatin1Char(' ')); b >= 0 && b <= kCutChars;
             b = text.indexOf(QLatin1Char(' '), b + 1)) {
            cut = static_cast<int>(b) + 1;
            if (cut >= kCutChars)
                break;
        }
        if (cut == 0)
            cut = kCutChars;
        lines << text.left(cut);
        text = text.mid(cut);
    }
    lines << text;
}
} // namespace

bool IsReportTarvex(const QString& model) {
    return kColon + model == LoadString(IDS_TARVEX_VALUE) ||
           model.contains(QLatin1String("Tarvex Mech."));
}

bool IsReportSidewall(const QString& model) {
    const qsizetype at = model.indexOf(QLatin1String(" SW"));
    return at >= 0 && at == model.size() - 3;
}

QStringList WrapNotes(const QString& notes) {
    QString text = notes;
    text.remove(QLatin1Char('\r'));
    QStringList paragraphs = text.split(QLatin1Char('\n'));
    const QString last = paragraphs.takeLast();
    if (!last.isEmpty()) {
        if (!last.contains(QLatin1Char(' ')) && last.size() >= kLineChars + 2) {
            for (qsizetype at = 0; at < last.size(); at += kLineChars)
                paragraphs << last.mid(at, kLineChars);
        } else {
            paragraphs << last;
        }
    }
    QStringList lines;
    for (const QString& paragraph : paragraphs)
        CutParagraph(paragraph, lines);
    return lines;
}

VersionTexts SplitVersionId(const QString& field) {
    VersionTexts t;
    const QString head = field.left(4);
    QString code;
    if (head == QLatin1String("VTQX"))
        code = QStringLiteral("xp");
    else if (head == QLatin1String("VTQP"))
        code = QStringLiteral("en");
    else if (head == QLatin1String("VQcs"))
        code = QStringLiteral("cs");
    else if (head == QLatin1String("VQjp"))
        code = QStringLiteral("jp");
    else
        return t;
    t.version = code + field.mid(5, 5);
    if (field.mid(11, 4) == QLatin1String("KVTQ")) {
        t.ident = field.mid(11, 16) + QString(4, QLatin1Char(' '));
    } else {
        t.ident = field.mid(11, 4) + QStringLiteral(" v") + field.mid(15, 1) + QLatin1Char('.') +
                  field.mid(16, 1) + QLatin1Char('.') + field.mid(17, 1) + QStringLiteral(" c") +
                  field.mid(18, 4) + QLatin1Char('/') + field.mid(22, 2) + QLatin1Char('/') +
                  field.mid(24, 2) + QLatin1Char(' ');
    }
    return t;
}

QStringList BuildReportText(const CVtkDoc& doc) {
    auto text = [&doc](ReportField f) { return doc.Field(f).text; };
    auto number = [&doc](ReportField f) { return doc.Field(f).number; };
    QStringList e;
    auto item = [&e](int label, int n, const QString& value) {
        e << NumberedLabel(label, n) << value;
    };
    auto blankRow = [&e] { e << QString() << QString(); };
    const QString model = text(RF_MODEL_TEXT);
    const bool tarvex = IsReportTarvex(model);
    const bool sidewall = IsReportSidewall(model);
    const QString unit = doc.PressUnit();

    item(IDS_LBL_DATE_TIME, 1,
         Format(QStringLiteral(": %04d/%02d/%02d  %02d:%02d:%02d"),
                {number(RF_YEAR), number(RF_MONTH), number(RF_DAY), number(RF_HOUR),
                 number(RF_MINUTE), number(RF_SECOND)}));
    item(IDS_LBL_JOINT_NUMBER, 2, Format(QStringLiteral(": %d"), {number(RF_JOINT_NUMBER)}));
    item(IDS_LBL_JOB_NUMBER, 3, kColon + text(RF_JOB_NUMBER));
    item(IDS_LBL_EMPLOYEE_ID, 4, kColon + text(RF_EMPLOYEE_ID));
    item(IDS_LBL_MACHINE_ID, 5, kColon + text(RF_MACHINE_ID));
    item(IDS_LBL_MACHINE_MODEL, 6, kColon + model);
    int n = 7;
    if (!tarvex) {
        item(IDS_LBL_PISTON_AREA, n,
             Format(QStringLiteral(": %s %s"),
                    {text(RF_PISTON_AREA), AreaUnitText(number(RF_PISTON_AREA_UNIT) == 1)}));
        n = 8;
    }
    item(IDS_LBL_PIPE_MATERIAL, n, kColon + text(RF_MATERIAL_TEXT));
    int m;
    if (!tarvex && !sidewall) {
        item(IDS_LBL_PIPE_SIZE, n + 1,
             PipeSizeText(kColon + text(RF_PIPE_SIZE), PipeSizeUnitText(number(RF_PIPE_SIZE_UNIT)),
                          text(RF_WALL_THICKNESS), WallThicknessUnitText(number(RF_WALL_UNIT))));
        m = n + 2;
    } else {
        item(IDS_LBL_FITTING_TYPE, n + 1, kColon + text(RF_PIPE_SIZE));
        item(IDS_LBL_PIPE_SIZE, n + 2, kColon + text(RF_WALL_THICKNESS));
        m = n + 3;
    }
    if (UsesDirectPipeArea(kColon + model)) {
        item(IDS_LBL_PIPE_AREA, m, kColon + doc.PipeAreaText());
        ++m;
    }
    blankRow();
    int r;
    if (!tarvex) {
        e << (doc.ForcesHeading() ? LoadString(IDS_HDR_REC_FORCES)
                                  : LoadString(IDS_HDR_IFP) + unit + QStringLiteral("):"))
          << QString();
        item(IDS_LBL_BEAD, m + 2, kColon + text(RF_PRESSURE_1));
        item(IDS_LBL_SOAK, m + 3, kColon + text(RF_PRESSURE_2));
        item(IDS_LBL_FUSE, m + 4, kColon + text(RF_PRESSURE_3));
        int p = m + 5;
        if (!sidewall) {
            item(IDS_LBL_COOL, m + 5, kColon + text(RF_PRESSURE_4));
            p = m + 6;
        }
        blankRow();
        e << LoadString(IDS_HDR_REC_GAUGE_PRESSURES) + unit + QStringLiteral("):") << QString();
        item(IDS_LBL_BEAD, p + 2, kColon + text(RF_REC_HEAT));
        item(IDS_LBL_SOAK, p + 3, kColon + text(RF_REC_SOAK));
        item(IDS_LBL_FUSE, p + 4, kColon + text(RF_REC_FUSE));
        int q = p + 5;
        if (!sidewall) {
            item(IDS_LBL_COOL, p + 5, kColon + text(RF_REC_COOL));
            q = p + 6;
        }
        blankRow();
        e << LoadString(IDS_HDR_RECORDED_DATA_2);
        e << NumberedLabel(IDS_LBL_DRAG_PRESSURE, q + 1) + text(RF_DRAG_PRESSURE);
        r = q + 2;
    } else {
        e << LoadString(IDS_HDR_PRESSURES) + unit + QStringLiteral("):") << QString();
        item(IDS_LBL_BEAD, m + 2, kColon + text(RF_PRESSURE_1));
        item(IDS_LBL_FUSE, m + 3, kColon + text(RF_PRESSURE_2));
        blankRow();
        e << LoadString(IDS_HDR_RECORDED_DATA);
        r = m + 5;
    }
    e << NumberedLabel(IDS_LBL_VANTREK_PROBE, r) + kColon + text(RF_HTR_TEMP);
    e << NumberedLabel(IDS_LBL_EXTERNAL_PROBE, r + 1) + kColon + text(RF_EXT_HTR_TEMP);
    const VersionTexts v = SplitVersionId(text(RF_VERSION_ID));
    e << Format(QStringLiteral("%2d. "), {r + 2}) + v.ident + QLatin1Char(' ') + v.version;
    const QStringList notes = WrapNotes(doc.NotesText());
    if (!notes.isEmpty()) {
        e << NumberedLabel(IDS_LBL_NOTES, r + 3);
        for (const QString& line : notes)
            e << kNotesIndent + line;
    }
    return e;
}

std::vector<ReportRow> ReportRows(const QStringList& entries) {
    const QString recorded = LoadString(IDS_HDR_RECORDED_DATA);
    std::vector<ReportRow> rows;
    bool second = false;
    bool met = false;
    for (const QString& entry : entries) {
        if (second) {
            rows.back().second = entry;
            rows.back().pair = true;
        } else {
            rows.push_back({entry, QString(), false});
        }
        met = met || entry == recorded;
        second = !second && !met;
    }
    return rows;
}

QString WithoutMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
                out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}
