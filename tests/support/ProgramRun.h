#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of a program of ours on the command line, for the tests of the batch commands.
struct ProgramRun {
    int status = -1; // -1: did not end normally within the time
    QString out;
    QString err;
};

inline ProgramRun runProgram(const QString& program, const QStringList& args, int timeoutMs = 60000) {
    QProcess p;
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
