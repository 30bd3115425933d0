// Changes written beside the table and renamed over it: the same bytes as writing in place, the
// file untouched until the rename, and the table held against other writers all along.
#include "DbTestSupport.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RenameWatch.h"
#include "tests/support/SecondWriter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <sys/stat.h>

namespace {

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The changes the cases make, on an open table of six sample rows.
enum class Change { Append, DeleteAppendPack, Edit };

void make(DbfTable& t, Change change) {
    switch (change) {
    case Change::Append:
        for (const SampleRow& r : sampleRows(9))
            if (r.n > 6)
                appendSample(t, r);
        break;
    case Change::DeleteAppendPack:
        t.goToRecNo(2);
        t.deleteRecord();
        t.goToRecNo(5);
        t.deleteRecord();
        appendSample(t, sampleRows(7).back());
        t.pack();
        break;
    case Change::Edit:
        t.goToRecNo(3);
        t.setValue("COMMENT", QStringLiteral("Опора 3"));
        t.post();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestTableBeside : public QObject {
    Q_OBJECT
private slots:
    void changeBesideWritesTheBytesOfAChangeInPlace_data() {
        QTest::addColumn<Change>("change");
        QTest::newRow("append") << Change::Append;
        QTest::newRow("delete, append, pack") << Change::DeleteAppendPack;
        QTest::newRow("edit") << Change::Edit;
    }
    void changeBesideWritesTheBytesOfAChangeInPlace() {
        QFETCH(Change, change);
        QTemporaryDir dir;
        const QString inPlace = dir.filePath("a.dbf");
        const QString beside = dir.filePath("b.dbf");
        writeSampleTable(inPlace, 6);
        writeSampleTable(beside, 6);
        const QByteArray before = fileBytes(beside);
        const ino_t oldFile = inodeOf(beside);
        {
            DbfTable t;
            t.open(inPlace);
            make(t, change);
        }
        DbfTable t;
        t.open(beside);
        bool untouched = false, held = false;
        QStringList renames;
        {
            RenameWatch watch([&](const QString& from, const QString& to) {
                renames << QStringLiteral("%1: %2, %3")
                               .arg(QFileInfo(to).fileName(),
                                    secondWriterRefused(to) ? "old held" : "old free",
                                    fileio::File::isLockedByWriter(from) ? "new locked" : "new free");
            });
            t.changeBeside([&] {
                make(t, change);
                untouched = fileBytes(beside) == before && inodeOf(beside) == oldFile;
                held = secondWriterRefused(beside);
            });
        }
        QVERIFY(untouched);
        QVERIFY(held);
        // One rename, the pack's included, and the table held at that moment.
        QCOMPARE(renames, QStringList{"b.dbf: old held, new locked"});
        QVERIFY(inodeOf(beside) != oldFile);
        QVERIFY(secondWriterRefused(beside));
        t.close();
        // Bytes 1 to 3 hold the date of the last change.
        QCOMPARE(fileBytes(beside).mid(4), fileBytes(inPlace).mid(4));
        QCOMPARE(entriesOf(dir.path()), (QStringList{"a.dbf", "b.dbf"}));
    }

    void changeBesideThatFailsLeavesTheFileAndTheLock_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("the change throws") << false;
        QTest::newRow("the disk fills up") << true;
    }
    void changeBesideThatFailsLeavesTheFileAndTheLock() {
        QFETCH(bool, fullDisk);
        QTemporaryDir dir;
        const QString p = dir.filePath("t.dbf");
        writeSampleTable(p, 6);
        const QByteArray before = fileBytes(p);
        const ino_t oldFile = inodeOf(p);
        DbfTable t;
        t.open(p);
        t.goToRecNo(4);
        try {
            std::optional<FileSizeLimit> full;
            if (fullDisk) {
                full.emplace(before.size() + 265);
                QVERIFY(full->active());
            }
            t.changeBeside([&] {
                t.goToRecNo(1);
                t.deleteRecord();
                for (const SampleRow& r : sampleRows(12))
                    if (r.n > 6)
                        appendSample(t, r);
                throw KvError(QStringLiteral("stopped"));
            });
            QFAIL("the change reported success");
        } catch (const KvError& e) {
            QCOMPARE(e.message().contains(QStringLiteral("t.dbf")), fullDisk);
        }
        QCOMPARE(fileBytes(p), before);
        QCOMPARE(inodeOf(p), oldFile);
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
        QVERIFY(t.isOpen());
        QVERIFY(secondWriterRefused(p));
        QCOMPARE(t.physicalCount(), 6);
        QCOMPARE(t.recordCount(), 6);
        QCOMPARE(t.recNo(), 4);
        // The table goes on in place.
        appendSample(t, sampleRows(7).back());
        t.close();
        QCOMPARE(fileBytes(p).size(), before.size() + 265);
    }

    void createBesideReplacesTheOldTableOnlyWhenFilled() {
        QTemporaryDir dir;
        const QString p = dir.filePath("t.dbf");
        writeSampleTable(p, 4);
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        const QByteArray before = fileBytes(p);
        DbfTable t;
        QVERIFY_THROWS_EXCEPTION(KvError, MeasurementTable::createBeside(t, p, [&] {
                                     appendSample(t, sampleRows(1).back());
                                     throw KvError(QStringLiteral("stopped"));
                                 }));
        QVERIFY(!t.isOpen());
        QCOMPARE(fileBytes(p), before);
        QCOMPARE(entriesOf(dir.path()), (QStringList{"t.dbf", "t.mdx"}));

        bool untouched = false;
        MeasurementTable::createBeside(t, p, [&] {
            for (const SampleRow& r : sampleRows(2))
                appendSample(t, r);
            untouched = fileBytes(p) == before;
        });
        QVERIFY(untouched);
        QVERIFY(t.isOpen());
        QVERIFY(secondWriterRefused(p));
        QCOMPARE(t.recordCount(), 2);
        t.close();
        // The new table is the one writing in place makes; its old index file is gone.
        const QString reference = dir.filePath("reference.dbf");
        writeSampleTable(reference, 2);
        QCOMPARE(fileBytes(p).mid(4), fileBytes(reference).mid(4));
        QCOMPARE(entriesOf(dir.path()), (QStringList{"reference.dbf", "t.dbf"}));
    }
};

QTEST_GUILESS_MAIN(TestTableBeside)
#include "test_table_beside.moc"
