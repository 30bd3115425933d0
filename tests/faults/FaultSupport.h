#pragma once

#include "core/Error.h"
#include "core/SettingsIdentity.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "tests/link/Simulator.h"
#include "tests/support/TestImages.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

// Running the program as the user would, under a file size limit, and reading tables back.
namespace faults {

struct Run {
    int exitCode = -1;
    bool crashed = false;
    QString out, err;
};

inline QString app() {
    return qEnvironmentVariable("KV_APP");
}

// Runs program with args; fileLimit > 0 caps every file it writes at that many bytes (rounded
// down to 512-byte blocks), as a full disk would. SIGXFSZ is ignored so that the write fails
// with EFBIG and the program has to cope, as it must with ENOSPC.
inline Run run(const QString& program, const QStringList& args, qint64 fileLimit = 0, int timeoutMs = 60000) {
    QProcess p;
    if (fileLimit > 0) {
        const QString script = QStringLiteral("trap '' XFSZ; ulimit -f %1 || exit 99; exec \"$0\" \"$@\"")
                                   .arg(std::max<qint64>(1, fileLimit / 512));
        p.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), script, program} + args);
    } else {
        p.start(program, args);
    }
    Run r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.crashed = true;
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw KvError(QStringLiteral("cannot write ") + path);
}

// Every file of a folder with its bytes: what "left as it was" is checked against.
inline QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        files.insert(name, readAll(dir + QLatin1Char('/') + name));
    return files;
}

// The visible rows of a measurement table, each as its field values joined by '|'; throws
// KvError when the table does not open.
inline QStringList rows(const QString& path) {
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    QStringList out;
    const int fields = int(t.fields().size());
    for (t.first(); !t.eof(); t.next()) {
        QStringList values;
        for (int f = 0; f < fields; ++f)
            values << t.value(f).toString();
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

inline const QDateTime& epoch() {
    static const QDateTime t(QDate(2011, 5, 20), QTime(8, 0, 0));
    return t;
}

// An image of count records of the three modes, from start on, a minute apart.
inline QByteArray imageBytes(int count, const QDateTime& start) {
    return image::testimages::buildImage(image::testimages::sequence(count, start), count > 315 ? 8192 : 0);
}

inline void writeImage(const QString& path, int count, const QDateTime& start) {
    writeAll(path, imageBytes(count, start));
}

// A measurement table at path holding count records from start on.
inline void makeTable(const QString& path, int count, const QDateTime& start) {
    image::MemoryImage memory;
    memory.load(imageBytes(count, start));
    DbfTable t;
    image::Importer(t).createTable(path, memory);
    t.close();
}

// Points "\\.\COM1" at a device in the settings store the program reads.
inline void mapCom1(const QString& device) {
    ProgramSettings s;
    s.setValue(QStringLiteral("COM1"), device);
    s.setValue(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    s.sync();
}

// The simulated instrument of the download tests.
using ::Simulator;

} // namespace faults
