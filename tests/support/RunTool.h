#pragma once
// Runs a program as a shell would, for the tests of the command-line tools.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ToolRun {
    int code = -1; // -1 when the program did not end normally within a minute
    QByteArray out, err;
};

// Runs `program` with `args` and no display of any kind; `extra` holds
// NAME=VALUE settings added to the environment.
ToolRun RunTool(const QString& program, const QStringList& args, const QStringList& extra = {});

// A tool built beside the tests: tools/NAME/NAME in the build tree.
QString BuiltTool(const QString& name);
