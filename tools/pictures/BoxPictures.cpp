// Message boxes: the longest texts the Log/Status window and the report
// storage show, each as it appears on the handheld's screen.

#include "Pictures.h"

#include "framework/Strings.h"
#include "platform/MessageBox.h"
#include "session/LogStatusDlg.h"
#include "session/ReportPlacing.h"

#include <QMessageBox>

int WriteMessageBoxPictures() {
    struct Box {
        const char* name;
        QString text;
        int caption; // 0 for the application's name
        unsigned type;
    };
    const Box boxes[] = {
        {"box-check-bluetooth", LoadString(IDS_CHECK_BLUETOOTH), IDS_CHECK_VANTREK,
         MB_OKCANCEL | MB_ICONINFORMATION},
        {"box-could-not-connect", LoadString(IDS_COULD_NOT_CONNECT), IDS_ERROR, MB_OK},
        {"box-stop-logging", LoadString(IDS_CONFIRM_STOP_LOGGING), IDS_STOP_LOGGING_Q,
         MB_YESNO | MB_ICONQUESTION},
        {"box-delete-corrupted", LoadString(IDS_DELETE_CORRUPTED_Q), IDS_DELETE_CORRUPTED_REPORT,
         MB_YESNO | MB_ICONERROR},
        {"box-could-not-save",
         LoadString(IDS_COULD_NOT_SAVE_TO) +
             QStringLiteral("/home/operator/.local/share/Kelvorn/Kelvorn VTQ-PPC/Joint Reports/"
                            "Job-2291_Joint-112_Op-7_0305_0708.kjr"),
         0, MB_OK | MB_ICONERROR},
        {"box-no-storage-card", LoadString(IDS_NO_STORAGE_CARD), 0, MB_OK | MB_ICONWARNING},
        {"box-download-cut",
         CutDownloadMessage(
             64, 311,
             QStringLiteral(
                 "DL Job 2291-A Joint 112 by Kim on 2026-12-07 at 09-30-00 (incomplete).kjr")),
         0, MB_OK | MB_ICONEXCLAMATION},
        {"box-download-beside",
         BesideNamesakeMessage(
             QStringLiteral("DL Job 2291-A Joint 112 by Kim on 2026-12-07 at 09-30-00 (2).kjr")),
         0, MB_OK | MB_ICONINFORMATION},
        {"box-download-recovered",
         RecoveredDownloadMessage(
             false, 96, 311,
             QStringLiteral(
                 "DL Job 2291-A Joint 112 by Kim on 2026-12-07 at 09-30-00 (recovered).kjr")),
         0, MB_OK | MB_ICONEXCLAMATION},
        {"box-joint-not-taken", CLogStatusDlg::JointNotTakenMessage(), 0,
         MB_OK | MB_ICONEXCLAMATION},
    };
    int failures = 0;
    for (const Box& b : boxes) {
        const std::unique_ptr<QMessageBox> box =
            CreateMessageBox(b.text, b.caption ? LoadString(b.caption) : QString(), b.type);
        failures += !SavePicture(*box, QString::fromLatin1(b.name));
    }
    return failures;
}
