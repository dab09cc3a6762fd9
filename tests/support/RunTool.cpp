#include "support/RunTool.h"

#include <QCoreApplication>
#include <QProcess>

ToolRun RunTool(const QString& program, const QStringList& args, const QStringList& extra) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    for (const QString& assignment : extra)
        env.insert(assignment.section(QLatin1Char('='), 0, 0),
                   assignment.section(QLatin1Char('='), 1));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ToolRun r;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}

QString BuiltTool(const QString& name) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/") + name +
           QLatin1Char('/') + name;
}
