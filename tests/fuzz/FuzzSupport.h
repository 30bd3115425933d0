#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Helpers shared by the fuzz targets. Each target runs in one process for millions of inputs, so
// files go to one scratch folder (in memory when the machine has /dev/shm) that is reused.
namespace fuzz {

inline const QString& scratchDir() {
    static QTemporaryDir dir(
        QDir(QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm") : QDir::tempPath())
            .filePath(QStringLiteral("kv-fuzz-XXXXXX")));
    static const QString path = dir.path();
    return path;
}

inline QString scratchFile(const QString& name) {
    return scratchDir() + QLatin1Char('/') + name;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write scratch file %s\n", qPrintable(path));
        std::abort();
    }
}

inline void removeFile(const QString& path) {
    QFile::remove(path);
}

// A broken promise of the code under test: report it as a finding.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

inline QByteArray bytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The separator between the table file and its index file in one table input.
inline const QByteArray& mdxSeparator() {
    static const QByteArray s("\n--KV-MDX--\n");
    return s;
}

} // namespace fuzz
