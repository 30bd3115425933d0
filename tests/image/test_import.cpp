#include "core/Error.h"
#include "core/FileLayer.h"
#include "db/DbfTable.h"
#include "db/MeasurementTable.h"
#include "image/Importer.h"
#include "image/MemoryImage.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/RenameWatch.h"
#include "tests/support/SecondWriter.h"
#include "tests/support/TestImages.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

using namespace image;
using testimages::RecordSpec;

Q_DECLARE_METATYPE(std::vector<RecordSpec>)

namespace {

const QDateTime kStart(QDate(2010, 3, 1), QTime(8, 0, 0));

MemoryImage imageOf(const std::vector<RecordSpec>& records, int length = 0, int stored = -1) {
    MemoryImage image;
    image.load(testimages::buildImage(records, length, stored));
    return image;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

struct Row {
    int N = 0;
    QString key;
    int mode = 0;
};

// All rows in physical order, through the table layer.
std::vector<Row> rowsOf(const QString& path) {
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    std::vector<Row> rows;
    for (t.first(); !t.eof(); t.next())
        rows.push_back({t.value("N").toInt(), t.value("DATE").toString() + t.value("TIME").toString(),
                        t.value("MODE").toInt()});
    return rows;
}

QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

// The decoded value as the 9-decimal field holds it.
bool sameStored(const QVariant& stored, const std::optional<double>& decoded) {
    if (!decoded)
        return stored.isNull();
    if (stored.isNull())
        return false;
    return std::abs(stored.toDouble() - *decoded) <= 0.5e-9 + 1e-15 * std::abs(*decoded);
}

// Checks every field of every row of the table against the decoded records of the image.
void compareWithImage(const QString& path, const MemoryImage& image) {
    DbfTable t;
    MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
    QCOMPARE(t.recordCount(), image.recordCount());
    int k = 0;
    for (t.first(); !t.eof(); t.next()) {
        ++k;
        const DecodedRecord d = image.decoded(k);
        QCOMPARE(t.value("N").toInt(), k);
        QCOMPARE(t.value("DATE").toString(), d.DATE);
        QCOMPARE(t.value("TIME").toString(), d.TIME);
        QCOMPARE(t.value("MODE").toInt(), d.MODE);
        QVERIFY(sameStored(t.value("A"), d.A));
        QVERIFY(sameStored(t.value("A_SR"), d.A_SR));
        QVERIFY(sameStored(t.value("F"), d.F));
        QVERIFY(sameStored(t.value("V"), d.V));
        QVERIFY(sameStored(t.value("V_SR"), d.V_SR));
        QVERIFY(sameStored(t.value("S"), d.S));
        QVERIFY(sameStored(t.value("S_SR"), d.S_SR));
        QVERIFY(sameStored(t.value("TR_F"), d.TR_F));
        QVERIFY(sameStored(t.value("TR_A"), d.TR_A));
        QVERIFY(sameStored(t.value("TR_A_SR"), d.TR_A_SR));
        QVERIFY(sameStored(t.value("T"), d.T ? std::optional<double>(*d.T) : std::nullopt));
        QVERIFY(sameStored(t.value("DT"), d.DT ? std::optional<double>(*d.DT) : std::nullopt));
        QVERIFY(t.value("COMMENT").isNull() || t.value("COMMENT").toString().isEmpty());
    }
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void createWritesEveryRecordWithItsDecodedValues() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Цех1.dbf");
        const MemoryImage image = imageOf(testimages::sequence(12, kStart));
        DbfTable table;
        const ImportResult r = Importer(table).createTable(path, image);
        QCOMPARE(r.added, 12);
        QCOMPARE(r.recordCount, 12);
        QVERIFY(!r.countWasCut());
        QVERIFY(notices(r).isEmpty());
        QVERIFY(table.isOpen());
        QVERIFY(!table.filtered());
        QCOMPARE(table.recordCount(), 12);
        table.close();
        QCOMPARE(QFileInfo(path).size(), 577 + 12 * 265 + 1);
        compareWithImage(path, image);
        QCOMPARE(entriesOf(dir.path()), QStringList{"Цех1.dbf"});
    }

    void createReplacesAnExistingTableAndItsIndexFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer(table).createTable(path, imageOf(testimages::sequence(30, kStart)));
        table.close();
        QFile stale(dir.filePath("t.mdx"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("old index");
        stale.close();
        const ImportResult r = Importer(table).createTable(path, imageOf({}));
        QCOMPARE(r.added, 0);
        QCOMPARE(table.recordCount(), 0);
        table.close();
        QCOMPARE(QFileInfo(path).size(), 577 + 1);
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
    }

    void newTablesGetTheUsualPermissions() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        const mode_t mask = ::umask(022);
        DbfTable table;
        Importer(table).createTable(path, imageOf({}));
        table.close();
        QCOMPARE(QFileInfo(path).permission(QFile::ReadOther), true);
        QCOMPARE(QFileInfo(path).permission(QFile::WriteOther), false);
        const auto groupOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path, groupOnly));
        Importer(table).createTable(path, imageOf({}));
        table.close();
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 groupOnly);
        ::umask(mask);
    }

    void tablesReachedThroughALinkAreChangedWhereTheyLive() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("data"));
        const QString real = dir.filePath("data/t.dbf");
        const QString link = dir.filePath("link.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(real, imageOf(testimages::sequence(2, kStart)));
        table.close();
        QVERIFY(QFile::link(real, link));
        table.open(link);
        QCOMPARE(importer.append(imageOf(testimages::sequence(3, kStart))).added, 1);
        table.close();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(int(rowsOf(real).size()), 3);
        importer.createTable(link, imageOf(testimages::sequence(5, kStart)));
        table.close();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(int(rowsOf(real).size()), 5);
    }

    void appendPacksRowsDeletedEarlier() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf(testimages::sequence(4, kStart)));
        table.first();
        table.deleteRecord();
        QCOMPARE(table.physicalCount(), 4);
        QCOMPARE(importer.append(imageOf(testimages::sequence(4, kStart))).added, 0);
        QCOMPARE(table.physicalCount(), 3);
        table.first();
        table.deleteRecord();
        QCOMPARE(importer.append(imageOf(testimages::sequence(5, kStart))).added, 1);
        QCOMPARE(table.physicalCount(), 3);
        QCOMPARE(table.recordCount(), 3);
    }

    void appendToATableWithAnotherProgramsIndexSaysItIsNotUpdated() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf(testimages::sequence(3, kStart)));
        ImportResult r = importer.append(imageOf(testimages::sequence(4, kStart)));
        QVERIFY(notices(r).isEmpty());
        table.close();
        const QByteArray foreign(3072, char(0x55));
        {
            QFile file(dir.filePath("T.MDX"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(foreign);
        }
        table.open(path);
        r = importer.append(imageOf(testimages::sequence(6, kStart)));
        QCOMPARE(r.added, 2);
        QCOMPARE(notices(r), QStringList{QStringLiteral(
                                 "Файл индексов «T.MDX» принадлежит другой программе и не обновлён.")});
        table.close();
        QFile file(dir.filePath("T.MDX"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), foreign);
    }

    // At the moment the new table takes the place of the old one, the new file is locked already
    // and, on an append, the old one still is: no other writer can come in between.
    void importHoldsTheTableWhileItsNewFileTakesItsPlace_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("seen");
        QTest::newRow("create over an old table")
            << QStringLiteral("create") << QStringLiteral("old free, new locked");
        QTest::newRow("append") << QStringLiteral("append") << QStringLiteral("old held, new locked");
        QTest::newRow("append packing rows deleted earlier")
            << QStringLiteral("append, pack") << QStringLiteral("old held, new locked");
    }
    void importHoldsTheTableWhileItsNewFileTakesItsPlace() {
        QFETCH(QString, operation);
        QFETCH(QString, seen);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf(testimages::sequence(4, kStart)));
        if (operation.contains("pack")) {
            table.first();
            table.deleteRecord();
        }
        QStringList renames;
        {
            RenameWatch watch([&](const QString& from, const QString& to) {
                if (QFileInfo(to).fileName() == QLatin1String("t.dbf"))
                    renames << QStringLiteral("%1, %2").arg(
                        secondWriterRefused(to) ? "old held" : "old free",
                        fileio::File::isLockedByWriter(from) ? "new locked" : "new free");
            });
            const MemoryImage more = imageOf(testimages::sequence(6, kStart));
            if (operation == "create")
                importer.createTable(path, more);
            else
                QCOMPARE(importer.append(more).added, 2);
        }
        QCOMPARE(renames, QStringList{seen});
        QVERIFY(table.isOpen());
        QVERIFY(secondWriterRefused(path));
        QCOMPARE(table.recordCount(), operation == "create" ? 6 : operation.contains("pack") ? 5 : 6);
    }

    void createThatFailsLeavesTheOldTable() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer(table).createTable(path, imageOf(testimages::sequence(3, kStart)));
        table.close();
        const QByteArray before = fileBytes(path);
        {
            FileSizeLimit limit(577 + 5 * 265);
            QVERIFY(limit.active());
            QVERIFY_THROWS_EXCEPTION(
                KvError, Importer(table).createTable(path, imageOf(testimages::sequence(40, kStart))));
        }
        QVERIFY(!table.isOpen());
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});

        QVERIFY_THROWS_EXCEPTION(KvError,
                                 Importer(table).createTable(dir.filePath("no/such/folder/t.dbf"),
                                                             imageOf(testimages::sequence(3, kStart))));
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
    }

    // Each case: records already in the table, then the image appended; expected N of the rows
    // kept from the image, in order.
    void appendKeepsOnlyRecordsLaterThanTheLastRow_data() {
        QTest::addColumn<std::vector<RecordSpec>>("existing");
        QTest::addColumn<std::vector<RecordSpec>>("appended");
        QTest::addColumn<QList<int>>("keptN");
        const auto at = [](int seconds) {
            return RecordSpec::operative(1.0f, 10.0f, kStart.addSecs(seconds));
        };
        QTest::newRow("empty table keeps everything")
            << std::vector<RecordSpec>{} << std::vector<RecordSpec>{at(0), at(5), at(-100)}
            << QList<int>{1, 2, 3};
        QTest::newRow("same key dropped, a second later kept")
            << std::vector<RecordSpec>{at(-10), at(0)} << std::vector<RecordSpec>{at(-1), at(0), at(1)}
            << QList<int>{3};
        QTest::newRow("appended rows not compared with each other")
            << std::vector<RecordSpec>{at(0)} << std::vector<RecordSpec>{at(10), at(5), at(-5), at(7)}
            << QList<int>{1, 2, 4};
        QTest::newRow("last physical row decides, not the latest")
            << std::vector<RecordSpec>{at(100), at(0)} << std::vector<RecordSpec>{at(50)} << QList<int>{1};
        QTest::newRow("year decides over day")
            << std::vector<RecordSpec>{RecordSpec::operative(
                   1, 1, QDateTime(QDate(2009, 12, 31), QTime(23, 59, 59)))}
            << std::vector<RecordSpec>{RecordSpec::operative(1, 1, QDateTime(QDate(2010, 1, 1), QTime(0, 0)))}
            << QList<int>{1};
        QTest::newRow("nothing new") << std::vector<RecordSpec>{at(0)}
                                     << std::vector<RecordSpec>{at(-2), at(-1)} << QList<int>{};
        QTest::newRow("no records in the image")
            << std::vector<RecordSpec>{at(0)} << std::vector<RecordSpec>{} << QList<int>{};
    }
    void appendKeepsOnlyRecordsLaterThanTheLastRow() {
        QFETCH(std::vector<RecordSpec>, existing);
        QFETCH(std::vector<RecordSpec>, appended);
        QFETCH(QList<int>, keptN);
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf(existing));
        const ImportResult r = importer.append(imageOf(appended));
        QCOMPARE(r.added, int(keptN.size()));
        QCOMPARE(r.dropped, int(appended.size()) - int(keptN.size()));
        QCOMPARE(addedMessage(r), QStringLiteral("Добавлено записей: %1").arg(keptN.size()));
        table.close();
        const std::vector<Row> rows = rowsOf(path);
        QCOMPARE(int(rows.size()), int(existing.size() + keptN.size()));
        for (int i = 0; i < int(keptN.size()); ++i)
            QCOMPARE(rows[existing.size() + i].N, keptN[i]);
        QCOMPARE(QFileInfo(path).size(), qint64(577 + rows.size() * 265 + 1));
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
    }

    void appendTwiceFromTheSameMemoryAddsNothingAndNRepeats() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        const MemoryImage first = imageOf(testimages::sequence(5, kStart));
        importer.createTable(path, first);
        QCOMPARE(importer.append(first).added, 0);
        // The instrument kept its five records and measured two more.
        const MemoryImage second = imageOf(testimages::sequence(7, kStart));
        const ImportResult r = importer.append(second);
        QCOMPARE(r.added, 2);
        QCOMPARE(r.dropped, 5);
        QCOMPARE(importer.append(second).added, 0);
        table.close();
        QList<int> n;
        for (const Row& row : rowsOf(path))
            n << row.N;
        QCOMPARE(n, (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        // Memory cleared on the instrument: numbering starts again at 1 after the old rows.
        table.open(path);
        importer.append(imageOf(testimages::sequence(2, kStart.addDays(1))));
        table.close();
        n.clear();
        for (const Row& row : rowsOf(path))
            n << row.N;
        QCOMPARE(n, (QList<int>{1, 2, 3, 4, 5, 6, 7, 1, 2}));
    }

    void modeThreeIsImportedAndSetsTheNextReference() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf({RecordSpec::operative(1, 1, kStart)}));
        RecordSpec odd = RecordSpec::operative(2, 2, kStart.addSecs(100));
        odd.mode = 3;
        odd.w15 = 50;
        odd.w19 = 50;
        QCOMPARE(importer.append(imageOf({odd})).added, 1);
        // Later than the first row but not than the mode-3 row: dropped.
        QCOMPARE(importer.append(imageOf({RecordSpec::operative(3, 3, kStart.addSecs(50))})).added, 0);
        table.setFilter("MODE=3");
        table.setFiltered(true);
        table.refresh();
        QCOMPARE(table.recordCount(), 1);
        QVERIFY(table.value("TR_F").isNull());
        QVERIFY(table.value("T").isNull());
        for (int mode = 0; mode <= 2; ++mode) {
            table.setFilter(QStringLiteral("MODE=%1").arg(mode));
            table.refresh();
            QCOMPARE(table.recordCount(), mode == 0 ? 1 : 0);
        }
    }

    void appendWorksUnfilteredAndPutsTheFilterBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer importer(table);
        importer.createTable(path, imageOf({RecordSpec::operative(1, 1, kStart),
                                            RecordSpec::standby(1, 1, 10, 10, kStart.addSecs(60))}));
        table.setFilter("MODE=0");
        table.setFiltered(true);
        table.refresh();
        QStringList calls;
        Importer viewed(table,
                        {[&] { calls << "reset"; }, [&] { calls << "hide"; }, [&] { calls << "show"; }});
        // Later than the operative row but not than the last physical row (standby).
        const ImportResult r = viewed.append(imageOf({RecordSpec::operative(1, 1, kStart.addSecs(30)),
                                                      RecordSpec::operative(1, 1, kStart.addSecs(90))}));
        QCOMPARE(r.added, 1);
        QCOMPARE(calls, (QStringList{"reset", "hide", "show"}));
        QVERIFY(table.isOpen());
        QCOMPARE(table.filter(), QStringLiteral("MODE=0"));
        QVERIFY(table.filtered());
        QCOMPARE(table.recordCount(), 2);
        QCOMPARE(table.physicalCount(), 3);
    }

    void appendThatFailsLeavesTheTableAsBefore() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        Importer(table).createTable(path, imageOf(testimages::sequence(10, kStart)));
        table.setFilter("MODE=1");
        table.setFiltered(true);
        table.refresh();
        const QByteArray before = fileBytes(path);
        QStringList calls;
        Importer viewed(table, {{}, [&] { calls << "hide"; }, [&] { calls << "show"; }});
        try {
            FileSizeLimit limit(before.size() + 3 * 265);
            QVERIFY(limit.active());
            viewed.append(imageOf(testimages::sequence(40, kStart.addDays(1))));
            QFAIL("the append reported success");
        } catch (const KvError& e) {
            QVERIFY2(e.message().contains("t.dbf"), qPrintable(e.message()));
        }
        QCOMPARE(calls, (QStringList{"hide", "show"}));
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(entriesOf(dir.path()), QStringList{"t.dbf"});
        QVERIFY(table.isOpen());
        QCOMPARE(table.filter(), QStringLiteral("MODE=1"));
        QVERIFY(table.filtered());
        // The table still works: the same append succeeds once there is room.
        QCOMPARE(viewed.append(imageOf(testimages::sequence(40, kStart.addDays(1)))).added, 40);
    }

    void reportsACutCount() {
        QTemporaryDir dir;
        DbfTable table;
        // The image says 5 records, but the dump ended inside the fourth.
        const MemoryImage image =
            imageOf(testimages::sequence(5, kStart), kFirstRecordOffset + 3 * kRecordSize + 10, 5);
        const ImportResult r = Importer(table).createTable(dir.filePath("t.dbf"), image);
        QCOMPARE(r.storedCount, 5);
        QCOMPARE(r.recordCount, 3);
        QCOMPARE(r.added, 3);
        QVERIFY(r.countWasCut());
        QCOMPARE(countCutMessage(r),
                 QStringLiteral("Образ памяти содержит записей: 3 (в заголовке указано 5)."));
        QCOMPARE(table.recordCount(), 3);
    }

    void leavesValuesThatDoNotFitEmptyAndSaysWhich() {
        QTemporaryDir dir;
        const QString path = dir.filePath("t.dbf");
        DbfTable table;
        const MemoryImage image = imageOf({
            RecordSpec::observation(1, 1, 10000, 65535, kStart),
            RecordSpec::observation(1, 1, 9999, 9999, kStart.addSecs(1)),
            RecordSpec::observation(1, 1, 60, 10000, kStart.addSecs(2)),
            RecordSpec::operative(3.0e8f, 1.0e6f, kStart.addSecs(3)),
            RecordSpec::operative(std::nanf(""), 5, kStart.addSecs(4)),
        });
        const ImportResult r = Importer(table).createTable(path, image);
        QCOMPARE(r.added, 5);
        // T, DT, DT; A and A_SR of the huge value; NaN in A, A_SR, V, V_SR, S, S_SR.
        QCOMPARE(r.emptiedValues, 11);
        QCOMPARE(r.emptiedFields, (QStringList{"A", "A_SR", "V", "V_SR", "S", "S_SR", "DT", "T"}));
        QCOMPARE(emptiedMessage(r), QStringLiteral("Значения, не помещающиеся в поле, оставлены пустыми: 11 "
                                                   "(поля A, A_SR, V, V_SR, S, S_SR, DT, T)."));
        table.first();
        QVERIFY(table.value("T").isNull());
        QVERIFY(table.value("DT").isNull());
        table.next();
        QCOMPARE(table.value("T").toInt(), 9999);
        QCOMPARE(table.value("DT").toInt(), 9999);
        table.next();
        QCOMPARE(table.value("T").toInt(), 60);
        QVERIFY(table.value("DT").isNull());
        table.next();
        QVERIFY(table.value("A").isNull());
        QVERIFY(!table.value("V").isNull());
    }

    // A .bin through the command line into a new table; the table layer, the raw bytes and
    // Debian's dbfread all read what the decoding gives.
    void commandLineImportAgreesWithDbfread() {
        QTemporaryDir dir;
        const QString bin = dir.filePath("memory.bin");
        const QString dbf = dir.filePath("Замер.dbf");
        std::vector<RecordSpec> records =
            testimages::sequence(20, QDateTime(QDate(2009, 12, 31), QTime(23, 50)), 37);
        records.push_back(
            RecordSpec::observation(0, 80, 60, 10, QDateTime(QDate(2011, 2, 28), QTime(1, 2, 3))));
        QFile f(bin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(testimages::buildImage(records));
        f.close();
        MemoryImage image;
        image.loadFile(bin);

        QProcess app;
        app.start(qEnvironmentVariable("KV_APP"), {"import", bin, dbf});
        QVERIFY(app.waitForFinished(60000));
        QCOMPARE(app.exitCode(), 0);
        QCOMPARE(app.readAllStandardOutput(), QByteArray());
        compareWithImage(dbf, image);

        const QByteArray bytes = fileBytes(dbf);
        QCOMPARE(bytes.size(), 577 + 21 * 265 + 1);
        const QByteArray first = bytes.mid(577, 265);
        QCOMPARE(first.mid(1, 4), QByteArray("   1"));
        QCOMPARE(first.mid(5, 10), image.decoded(1).DATE.toLatin1());
        QCOMPARE(first.mid(27, 18), QByteArray("       0.250000000"));

        const QString script = QStringLiteral("import json, sys, dbfread\n"
                                              "t = dbfread.DBF(sys.argv[1], encoding='cp1251')\n"
                                              "print(json.dumps([dict(r) for r in t]))\n");
        QProcess py;
        py.start("/usr/bin/python3", {"-c", script, dbf});
        QVERIFY(py.waitForFinished(60000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
        const QJsonArray rows = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 21);
        const char* reals[] = {"A", "A_SR", "F", "V", "V_SR", "S", "S_SR", "TR_F", "TR_A", "TR_A_SR"};
        for (int k = 1; k <= 21; ++k) {
            const QJsonObject row = rows[k - 1].toObject();
            const DecodedRecord d = image.decoded(k);
            QCOMPARE(row["N"].toInt(), k);
            QCOMPARE(row["DATE"].toString(), d.DATE);
            QCOMPARE(row["TIME"].toString(), d.TIME);
            QCOMPARE(row["MODE"].toInt(), d.MODE);
            const std::optional<double> values[] = {d.A, d.A_SR, d.F,    d.V,    d.V_SR,
                                                    d.S, d.S_SR, d.TR_F, d.TR_A, d.TR_A_SR};
            for (int i = 0; i < 10; ++i) {
                const QJsonValue v = row[reals[i]];
                QVERIFY2(sameStored(v.isNull() ? QVariant() : QVariant(v.toDouble()), values[i]),
                         qPrintable(QStringLiteral("record %1 field %2").arg(k).arg(reals[i])));
            }
            QCOMPARE(row["T"].isNull(), !d.T.has_value());
            QCOMPARE(row["DT"].isNull(), !d.DT.has_value());
            if (d.T) {
                QCOMPARE(row["T"].toInt(), *d.T);
                QCOMPARE(row["DT"].toInt(), *d.DT);
            }
        }
    }

    void commandLineAppendsAndReports() {
        QTemporaryDir dir;
        const QString bin = dir.filePath("memory.bin");
        const QString dbf = dir.filePath("t.dbf");
        QFile f(bin);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Says 9 records, holds 6.
        f.write(
            testimages::buildImage(testimages::sequence(9, kStart), kFirstRecordOffset + 6 * kRecordSize, 9));
        f.close();
        auto run = [&](const QStringList& args, QByteArray* out, QByteArray* err) {
            QProcess app;
            app.start(qEnvironmentVariable("KV_APP"), args);
            app.waitForFinished(60000);
            *out = app.readAllStandardOutput();
            *err = app.readAllStandardError();
            return app.exitCode();
        };
        QByteArray out, err;
        QCOMPARE(run({"import", bin, dbf}, &out, &err), 0);
        QVERIFY2(QString::fromUtf8(err).contains("Образ памяти содержит записей: 6 (в заголовке указано 9)."),
                 err.constData());
        QCOMPARE(run({"import", bin, dbf, "--append"}, &out, &err), 0);
        QCOMPARE(QString::fromUtf8(out), QStringLiteral("Добавлено записей: 0\n"));
        QCOMPARE(int(rowsOf(dbf).size()), 6);

        const QByteArray before = fileBytes(dbf);
        QFile big(dir.filePath("big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(kImageSize + 1, '\0'));
        big.close();
        QCOMPARE(run({"import", big.fileName(), dbf}, &out, &err), 1);
        QVERIFY2(QString::fromUtf8(err).contains("8193"), err.constData());
        QCOMPARE(fileBytes(dbf), before);
        QCOMPARE(run({"import", dir.filePath("missing.bin"), dir.filePath("new.dbf")}, &out, &err), 1);
        QCOMPARE(QString::fromUtf8(err).trimmed(), QStringLiteral("Файл «missing.bin» не найден."));
        QVERIFY(!QFile::exists(dir.filePath("new.dbf")));
        QCOMPARE(run({"import", bin}, &out, &err), 1);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
