#pragma once
// A Log/Status window talking to a Vantrek played by the test on a
// pseudo-terminal: the test answers each command line itself, then ticks the
// window's timer.

#include "framework/Format.h"
#include "framework/SettingsStore.h"
#include "link/PtyVantrek.h"
#include "platform/MessageBox.h"
#include "report/ReportFields.h"
#include "session/LogStatusDlg.h"
#include "session/ReportStorage.h"
#include "session/Resource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>
#include <memory>

// A status reply laid out field by field.
struct Status {
    char state = '0';
    QByteArray records = "   12";
    QByteArray elapsed = "0:01:02";
    QByteArray stopwatch = "0:00:05";
    int psi = 189;
    int temp = 430;
    char flag = '1';
    int battery = 87;
    bool ident = true;

    QByteArray Line() const {
        QByteArray s = "Pw01L";
        s += state;
        s += 'r' + records + 'e' + elapsed + 's' + stopwatch;
        s += 'p' + QByteArray::number(psi).rightJustified(4, ' ');
        s += 't' + QByteArray::number(temp).rightJustified(3, '0') + ' ' + flag;
        s += 'b' + QByteArray::number(battery).rightJustified(3, ' ');
        if (ident)
            s += "iVTQ: KVTQ v2.1.4 20240115";
        return s;
    }
};

// A block reply: head, four hexadecimal digits a word, "eom".
inline QByteArray Block(const char* head, const QByteArray& digits) {
    return head + digits + "eom";
}

// The digits of a text field as the Vantrek returns it.
inline QByteArray TextDigits(const QString& text) {
    QByteArray d = QByteArray::number(text.size(), 16).rightJustified(4, '0');
    for (QChar c : text)
        d += QByteArray::number(c.unicode() & 0xff, 16).rightJustified(2, '0') +
             QByteArray::number(c.unicode() >> 8, 16).rightJustified(2, '0');
    if (text.isEmpty())
        d += "0000";
    return d;
}
inline QByteArray WordDigits(int v) {
    return QByteArray::number(v, 16).rightJustified(4, '0');
}

// A "Pw02:" block for a joint of `job`, joint `joint`, by `employee`, logged
// 2010-09-24 at 16:05:09.
inline QByteArray JointInfoBlock(const QString& job, int joint, const QString& employee) {
    QByteArray d;
    for (int v : {2010, 9, 24, 16, 5, 9})
        d += WordDigits(v);
    d += TextDigits(QStringLiteral("M-7")) + WordDigits(3) + TextDigits(QStringLiteral("T 412")) +
         TextDigits(QStringLiteral("12.5")) + WordDigits(0);
    d += TextDigits(employee) + TextDigits(job) + WordDigits(joint);
    // The rest of the record is of no interest here: empty texts and zeros.
    for (int f = RF_JOINT_NUMBER + 1; f <= RF_HTR_TEMP; ++f)
        d += kReportFields[f].text ? TextDigits(QString()) : WordDigits(0);
    return Block("Pw02:", d);
}

class SessionTest : public ::testing::Test {
protected:
    PtyVantrek vantrek{5};
    ScriptedPrompter prompter;
    std::unique_ptr<CLogStatusDlg> dlg;

    void SetUp() override {
        ASSERT_TRUE(vantrek.Ok());
        WriteSettingInt(kKeySettings, QStringLiteral("COM Port"), 5);
        Open();
    }
    void Open() {
        dlg = std::make_unique<CLogStatusDlg>(nullptr);
        dlg->Create();
    }
    void ConnectNow() {
        prompter.Answer(IDOK);
        dlg->ClickDlgItem(IDC_CONNECT);
        ASSERT_EQ(dlg->LinkState(), 1);
    }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            dlg->OnTimer(1);
    }
    // The next command line the window wrote, or empty when none came.
    QByteArray Command() {
        QByteArray got;
        Within(
            [&] {
                char c;
                while (read(vantrek.Master(), &c, 1) == 1) {
                    got += c;
                    if (c == '\n')
                        return true;
                }
                return false;
            },
            [&](int ms) { WaitFor(vantrek.Master(), POLLIN, ms); });
        return got;
    }
    QByteArray Pending() { return vantrek.Written(); }
    // Answers with `line`, ticks, and returns what the window sent, which may
    // be nothing.
    QByteArray Answer(const QByteArray& line) {
        Reply(line);
        Tick();
        return Pending();
    }
    void Reply(const QByteArray& line) { ASSERT_TRUE(vantrek.Deliver(line + "\r\n")); }
    // Answers the last command with `line`, ticks, and returns the next command.
    QByteArray Exchange(const QByteArray& line) {
        Reply(line);
        Tick();
        return Command();
    }
    QString Text(int id) const { return dlg->GetDlgItemText(id); }
    // The first message box whose text begins with `start`, or empty.
    QString Shown(const QString& start) const {
        for (const ShownMessage& m : prompter.Shown())
            if (m.text.startsWith(start))
                return m.text;
        return QString();
    }
};

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Every file in `folder`, with its bytes.
inline std::map<QString, QByteArray> FilesIn(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        files[info.fileName()] = ReadFile(info.filePath());
    return files;
}

// The bytes a block's words become in the file.
inline QByteArray FileWords(const QByteArray& block) {
    QByteArray bytes;
    for (qsizetype i = 5; i + 4 <= block.size() - 3; i += 4) {
        const int w = block.mid(i, 4).toInt(nullptr, 16);
        bytes += char(w & 0xff);
        bytes += char(w >> 8);
    }
    return bytes;
}

const QByteArray kNotes =
    Block("Pw03:", "03e7" + TextDigits(QString()) + "03e7" + TextDigits(QStringLiteral("ok")));
const QByteArray kReserve = Block("Pw04:", "0000" + TextDigits(QStringLiteral("VTQPv0.2.5 KVTQ")) +
                                               TextDigits(QStringLiteral("12.5 in²~")));
const QByteArray kHeader = Block("Pw11:", "SI0005TS00950NR00003");
// A report of six samples in three blocks of two.
const QByteArray kInfo = JointInfoBlock(QStringLiteral("1234"), 7, QStringLiteral("55"));
const QByteArray kHeader6 = Block("Pw11:", "SI0005TS00950NR00006");
const QByteArray kBlocks[] = {Block("Pw12:", "0000000a0005000b"),
                              Block("Pw12:", "000a0fa1000f0fa2"),
                              Block("Pw12:", "0014012c00190130")};
// Where that report goes, and what its file holds.
inline QString ReportPath() {
    return ReportFolder() +
           QStringLiteral("/DL Job 1234 Joint 7 by 55 on 2010-09-24 at 16-05-09.kjr");
}
inline QByteArray ReportStart(const QByteArray& header = kHeader6) {
    return "VTQPv0.2.5" + FileWords(kInfo) + FileWords(kNotes) + FileWords(kReserve) +
           header.mid(5, header.size() - 8) + '\0';
}
inline QByteArray CleanReport(const QByteArray& header = kHeader6) {
    QByteArray file = ReportStart(header);
    for (const QByteArray& block : kBlocks)
        file += FileWords(block);
    return file;
}

class DownloadTest : public SessionTest {
protected:
    // Connects and answers the first poll with a finished report.
    void StartDownload() {
        ConnectNow();
        Tick();
        Command();
        Status s;
        s.state = '2';
        ASSERT_EQ(Exchange(s.Line()), QByteArray("Wp2R\r\n"));
        EXPECT_EQ(Text(IDC_PROGRESS_TEXT), QStringLiteral("Downloading joint report... (A)"));
        EXPECT_FALSE(dlg->IsDlgItemEnabled(IDC_SETUP));
    }
    // The six-sample report up to its header: the first block is asked for.
    void DownloadToBlocks(const QByteArray& header = kHeader6) {
        StartDownload();
        Exchange(kInfo);
        Exchange(kNotes);
        Exchange(kReserve);
        ASSERT_EQ(Exchange(header), QByteArray("Wp12-0000\r\n"));
    }
};
