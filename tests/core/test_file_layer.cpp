#include "core/FileLayer.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using fileio::Replacement;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// What Qt's own save says when it cannot write path; the program's saves give the same reasons.
QString qtSaveReason(const QString& path) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.commit())
        return {};
    return file.errorString();
}

} // namespace

class TestFileLayer : public QObject {
    Q_OBJECT
private slots:
    void saveReplacesTheFileWholeWhereItLivesWithItsPermissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.bin");
        writeAll(path, QByteArray(9000, 'o'));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        fileio::saveAtomically(path, "new image");
        QCOMPARE(readAll(path), QByteArray("new image"));
        QCOMPARE(modeOf(path), mode_t(0640));
        QCOMPARE(entriesOf(dir.path()), QStringList{"dump.bin"});

        const mode_t mask = ::umask(027);
        fileio::saveAtomically(dir.filePath("fresh.bin"), "x");
        ::umask(mask);
        QCOMPARE(modeOf(dir.filePath("fresh.bin")), mode_t(0640));

        // A file reached through a link is replaced where it lives; the link stays.
        QVERIFY(QDir(dir.path()).mkdir("data"));
        const QString real = dir.filePath("data/dump.bin");
        const QString link = dir.filePath("link.bin");
        writeAll(real, "old");
        QVERIFY(QFile::link(real, link));
        fileio::saveAtomically(link, "new");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new"));
        QCOMPARE(entriesOf(dir.filePath("data")), QStringList{"dump.bin"});
    }

    // A full disk: the old file stays, nothing is left beside it, and the message names the
    // system's reason.
    void saveOnAFullDiskLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.bin");
        writeAll(path, "an older image");
        QString message;
        {
            FileSizeLimit full(4096);
            QVERIFY(full.active());
            try {
                fileio::saveAtomically(path, QByteArray(7566, 'i'));
            } catch (const KvError& e) {
                message = e.message();
            }
        }
        QCOMPARE(message, QStringLiteral("Не удалось записать файл %1: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
        QCOMPARE(readAll(path), QByteArray("an older image"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"dump.bin"});
    }

    void saveThatCannotStartGivesQtsReason_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/dump.bin");
        QTest::newRow("a folder") << QStringLiteral("folder");
    }
    void saveThatCannotStartGivesQtsReason() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        const QString path = dir.filePath(name);
        const QString reason = qtSaveReason(path);
        QVERIFY(!reason.isEmpty());
        QString message;
        try {
            fileio::saveAtomically(path, "x");
        } catch (const KvError& e) {
            message = e.message();
        }
        QCOMPARE(message, QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason));
        QCOMPARE(entriesOf(dir.path()), QStringList{});
        QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    }

    void abandonedReplacementLeavesNoTrace() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        writeAll(path, "old");
        {
            Replacement file(path);
            file.write("half of a new ");
            file.rewind();
            file.write("file");
        }
        QCOMPARE(readAll(path), QByteArray("old"));
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
    }
};

QTEST_GUILESS_MAIN(TestFileLayer)
#include "test_file_layer.moc"
