// Opening, locking, navigation, filter, indexes, pack and bad files.
#include "DbTestSupport.h"

#include "core/Error.h"
#include "db/DbfIndex.h"
#include "tests/support/FileSizeLimit.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>

namespace {

// The test binary doubles as the second program: "--open-exclusive PATH" exits 0 when it could
// open the table for writing and 3 when it was refused.
int openExclusiveChild(const QString& path) {
    try {
        DbfTable t;
        t.open(path);
        return 0;
    } catch (const KvError&) {
        return 3;
    }
}

int childOpen(const QString& path) {
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-exclusive"), path});
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int byte28(const QString& path) {
    return int(fileBytes(path).at(28));
}

std::uint32_t headerCount(const QString& path) {
    const QByteArray b = fileBytes(path);
    return std::uint8_t(b[4]) | std::uint8_t(b[5]) << 8 | std::uint8_t(b[6]) << 16 |
           std::uint32_t(std::uint8_t(b[7])) << 24;
}

void setCount(QByteArray& b, std::uint32_t n) {
    for (int i = 0; i < 4; ++i)
        b[4 + i] = char((n >> (8 * i)) & 0xFF);
}

// Rows with known F and COMMENT keys, for the order checks: ties on purpose.
struct KeyRow {
    int mode;
    QVariant f;
    QString comment;
};
const std::vector<KeyRow> keyRows = {
    {0, 5.0, QStringLiteral("б")},
    {1, 2.0, QStringLiteral("a")},
    {0, QVariant(), QStringLiteral("Я")},
    {1, 5.0, QStringLiteral("b")},
    {0, -1.0, QString()},
    {1, 2.0, QStringLiteral("ё")},
    {0, 5.0, QStringLiteral("A")},
    {1, QVariant(), QStringLiteral("б")},
};

void writeKeyTable(const QString& path) {
    MeasurementTable::createFile(path);
    DbfTable t;
    t.open(path);
    int n = 0;
    for (const KeyRow& r : keyRows) {
        t.append();
        t.setValue("N", ++n);
        t.setValue("MODE", r.mode);
        t.setValue("F", r.f);
        t.setValue("COMMENT", r.comment);
        t.post();
    }
}

} // namespace

class TestTableAccess : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void secondWriterIsRefusedReadersAreNot() {
        const QString p = path(QStringLiteral("lock.dbf"));
        writeSampleTable(p, 3);
        DbfTable writer;
        writer.open(p);
        QCOMPARE(childOpen(p), 3);
        DbfTable second; // another table object of the same process is another writer too
        QVERIFY_THROWS_EXCEPTION(KvError, second.open(p));
        QVERIFY(!second.isOpen());
        DbfTable reader;
        reader.open(p, DbfTable::Access::ReadOnly);
        QCOMPARE(reader.recordCount(), 3);
        appendSample(writer, sampleRows(4).back());
        QCOMPARE(reader.recordCount(), 3);
        reader.refresh();
        QCOMPARE(reader.recordCount(), 4);
        QProcess dump;
        dump.start(qEnvironmentVariable("KV_APP"), {QStringLiteral("dump"), p});
        QVERIFY(dump.waitForFinished(30000));
        QCOMPARE(dump.exitCode(), 0);
        // Replacing a table another writer holds is refused as well.
        QVERIFY_THROWS_EXCEPTION(KvError, MeasurementTable::createFile(p));
        writer.close();
        QCOMPARE(childOpen(p), 0);
        second.open(p);
        QVERIFY(second.isOpen());
    }

    void readOnlyOpenWritesNothing() {
        const QString p = path(QStringLiteral("ro.dbf"));
        writeSampleTable(p, 6);
        const QByteArray before = fileBytes(p);
        DbfTable t;
        t.open(p, DbfTable::Access::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(KvError, t.append());
        QVERIFY_THROWS_EXCEPTION(KvError, t.setValue("MODE", 1));
        QVERIFY_THROWS_EXCEPTION(KvError, t.deleteRecord());
        QVERIFY_THROWS_EXCEPTION(KvError, t.pack());
        t.addIndex(QStringLiteral("db1"), QStringLiteral("A"), true);
        t.selectIndex(QStringLiteral("db1"));
        QCOMPARE(column(t, "N"),
                 (QVariantList{qint64(1), qint64(6), qint64(5), qint64(4), qint64(3), qint64(2)}));
        t.regenerateIndexes();
        t.deleteIndex(QStringLiteral("db1"));
        t.close();
        QCOMPARE(fileBytes(p), before);
        QVERIFY(!QFile::exists(path(QStringLiteral("ro.mdx"))));
    }

    void appendWritesTheCountAtOnce() {
        const QString p = path(QStringLiteral("count.dbf"));
        MeasurementTable::createFile(p);
        DbfTable t;
        t.open(p);
        for (const SampleRow& r : sampleRows(3)) {
            appendSample(t, r);
            // Another program sees every posted record without waiting for close.
            QCOMPARE(headerCount(p), std::uint32_t(r.n));
            QCOMPARE(fileBytes(p).size(), 577 + r.n * 265 + 1);
        }
        t.append();
        t.setValue("N", 99);
        t.cancel();
        QCOMPARE(t.physicalCount(), 3);
        t.append();
        t.setValue("N", 98);
        t.deleteRecord(); // drops the new record, not the current one
        QCOMPARE(t.physicalCount(), 3);
        QCOMPARE(t.recordCount(), 3);
        t.close();
        QCOMPARE(headerCount(p), 3u);
    }

    void navigationSkipsDeletedRecords() {
        const QString p = path(QStringLiteral("nav.dbf"));
        writeSampleTable(p, 5);
        DbfTable t;
        t.open(p);
        QVERIFY(!t.eof());
        QCOMPARE(t.recNo(), 1);
        t.goToRecNo(2);
        t.deleteRecord();
        QCOMPARE(t.recNo(), 3); // the next one becomes current
        QVERIFY(t.goToRecNo(5));
        t.deleteRecord();
        QCOMPARE(t.recNo(), 4); // after the last one, the one before it
        QCOMPARE(recNos(t), (QList<int>{1, 3, 4}));
        QCOMPARE(t.recordCount(), 3);
        QCOMPARE(t.physicalCount(), 5);
        QVERIFY(!t.goToRecNo(2));
        t.last();
        QCOMPARE(t.position(), 2);
        t.next();
        QVERIFY(t.eof());
        QCOMPARE(t.position(), -1);
        QVERIFY(t.value("N").isNull());
        t.last();
        t.prior();
        t.prior();
        QCOMPARE(t.recNo(), 1);
        QVERIFY(!t.bof());
        t.prior();
        QVERIFY(t.bof());
        t.moveTo(99);
        QCOMPARE(t.recNo(), 4);
        t.edit();
        t.setValue("COMMENT", QStringLiteral("правка"));
        t.close(); // posts the pending edit
        t.open(p);
        QCOMPARE(recNos(t), (QList<int>{1, 3, 4}));
        t.last();
        QCOMPARE(t.value("COMMENT"), QVariant(QStringLiteral("правка")));
        QCOMPARE(fileBytes(p).at(577 + 265), '*');
    }

    void filterSyntax_data() {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << "MODE=1" << true << 4;
        QTest::newRow("blanks") << "  MODE =  2 " << true << 4;
        QTest::newRow("lower case") << "mode=0" << true << 4;
        QTest::newRow("decimal") << "MODE=1.0" << true << 4;
        QTest::newRow("no match") << "MODE=7" << true << 0;
        QTest::newRow("other field") << "N=5" << true << 1;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("no number") << "MODE=" << false << 0;
        QTest::newRow("comparison") << "MODE>1" << false << 0;
        QTest::newRow("and") << "MODE=1 .AND. N=2" << false << 0;
        QTest::newRow("quoted") << "MODE='1'" << false << 0;
        QTest::newRow("comma") << "MODE=1,5" << false << 0;
        QTest::newRow("unknown field") << "FOO=1" << false << 0;
        QTest::newRow("text field") << "COMMENT=1" << false << 0;
    }
    void filterSyntax() {
        QFETCH(QString, expression);
        QFETCH(bool, accepted);
        QFETCH(int, count);
        const QString p = path(QStringLiteral("filter.dbf"));
        writeSampleTable(p, 12);
        DbfTable t;
        t.open(p);
        t.setFilter(expression);
        if (!accepted) {
            QVERIFY_THROWS_EXCEPTION(KvError, t.setFiltered(true));
            QVERIFY(!t.filtered());
            QCOMPARE(t.recordCount(), 12);
            return;
        }
        t.setFiltered(true);
        QCOMPARE(t.recordCount(), count);
        // A bad expression while filtering is on is refused and the old one stays.
        QVERIFY_THROWS_EXCEPTION(KvError, t.setFilter(QStringLiteral("MODE<>1")));
        QVERIFY_THROWS_EXCEPTION(KvError, t.setFilter(QStringLiteral("COMMENT=1")));
        QCOMPARE(t.filter(), expression);
        QCOMPARE(t.recordCount(), count);
        for (t.first(); !t.eof(); t.next())
            QCOMPARE(t.value("MODE").toInt() % 3,
                     t.value("N").toInt() % 3 == 0 ? 2 : t.value("N").toInt() % 3 - 1);
        t.setFiltered(false);
        QCOMPARE(t.recordCount(), 12);
    }

    void filterAndIndexTogether_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QList<int>>("order");
        QTest::addColumn<int>("moved"); // position of the first record after its key is changed
        // F: 1:5 2:2 3:- 4:5 5:-1 6:2 7:5 8:-; modes 0 1 0 1 0 1 0 1. A blank keys as zero.
        QTest::newRow("F ascending") << ""
                                     << "F" << false << QList<int>{5, 3, 8, 2, 6, 1, 4, 7} << 7;
        QTest::newRow("F descending") << ""
                                      << "F" << true << QList<int>{1, 4, 7, 2, 6, 3, 8, 5} << 7;
        QTest::newRow("F descending mode 1") << "MODE=1"
                                             << "F" << true << QList<int>{4, 2, 6, 8} << 3;
        QTest::newRow("F ascending mode 0") << "MODE=0"
                                            << "F" << false << QList<int>{5, 3, 1, 7} << 3;
        // COMMENT by Windows-1251 byte: blank < A < a < b < ё (B8) < б (E1) < Я (DF)? No: Я is DF, б is E1.
        QTest::newRow("COMMENT ascending") << ""
                                           << "COMMENT" << false << QList<int>{5, 7, 2, 4, 6, 3, 1, 8} << 7;
        QTest::newRow("COMMENT descending") << ""
                                            << "COMMENT" << true << QList<int>{1, 8, 3, 6, 4, 2, 7, 5} << 6;
        QTest::newRow("COMMENT mode 1") << "MODE=1"
                                        << "COMMENT" << false << QList<int>{2, 4, 6, 8} << 3;
    }
    void filterAndIndexTogether() {
        QFETCH(QString, filter);
        QFETCH(QString, field);
        QFETCH(bool, descending);
        QFETCH(QList<int>, order);
        QFETCH(int, moved);
        const QString p = path(QStringLiteral("keys.dbf"));
        writeKeyTable(p);
        DbfTable t;
        t.open(p);
        if (!filter.isEmpty()) {
            t.setFilter(filter);
            t.setFiltered(true);
        }
        t.addIndex(QStringLiteral("db1"), field, descending);
        t.selectIndex(QStringLiteral("db1"));
        QCOMPARE(recNos(t), order);
        // The current record keeps its place when the order changes under it.
        t.moveTo(1);
        const int rec = t.recNo();
        t.selectIndex(QString());
        QCOMPARE(t.recNo(), rec);
        t.selectIndex(QStringLiteral("db1"));
        QCOMPARE(t.position(), 1);
        // An edit of the key moves the record to its new place.
        t.first();
        const int top = t.recNo();
        t.edit();
        if (field == QLatin1String("F"))
            t.setValue("F", descending ? -100.0 : 100.0);
        else
            t.setValue("COMMENT", descending ? QStringLiteral(" ") : QStringLiteral("я"));
        t.post();
        QCOMPARE(t.recNo(), top);
        QCOMPARE(t.position(), moved);
    }

    void noteConditionBesideTheModeFilter_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("rows");
        // COMMENT: 1 б, 2 a, 3 Я, 4 b, 5 -, 6 ё, 7 A, 8 б; modes 0 1 0 1 0 1 0 1.
        QTest::newRow("Cyrillic, letter case ignored") << 0 << "Б" << QList<int>{1};
        QTest::newRow("the other mode") << 1 << "Б" << QList<int>{8};
        QTest::newRow("Latin, letter case ignored") << 0 << "a" << QList<int>{7};
        QTest::newRow("empty text lets every row through") << 1 << "" << QList<int>{2, 4, 6, 8};
        QTest::newRow("no row holds it") << 0 << "цех" << QList<int>{};
    }
    void noteConditionBesideTheModeFilter() {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QList<int>, rows);
        const QString p = path(QStringLiteral("notes.dbf"));
        writeKeyTable(p);
        DbfTable t;
        t.setTextFilter(QStringLiteral("COMMENT"), text);
        t.open(p);
        // Without filtering the note condition is not applied.
        QCOMPARE(recNos(t).size(), qsizetype(keyRows.size()));
        t.setFilter(QStringLiteral("MODE=%1").arg(mode));
        t.setFiltered(true);
        QCOMPARE(recNos(t), rows);
        // The condition belongs to the object: it outlives close and open.
        t.close();
        t.open(p);
        QCOMPARE(recNos(t), rows);
    }
    void equalKeysKeepPhysicalOrder_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        QTest::newRow("F ascending") << "F" << false;
        QTest::newRow("F descending") << "F" << true;
        QTest::newRow("COMMENT ascending") << "COMMENT" << false;
        QTest::newRow("COMMENT descending") << "COMMENT" << true;
    }
    void equalKeysKeepPhysicalOrder() {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        // Enough records that a sort which is not stable shows it.
        const QString p = path(QStringLiteral("ties.dbf"));
        MeasurementTable::createFile(p);
        DbfTable t;
        t.open(p);
        struct Key {
            int rank; // 0 no value, then by value
            int rec;
        };
        std::vector<Key> keys;
        const QStringList texts = {QString(), QStringLiteral("Б"), QStringLiteral("а"), QStringLiteral("z")};
        const std::vector<int> textRank = {0, 2, 3, 1}; // by Windows-1251 byte: z (7A) < Б (C1) < а (E0)
        for (int i = 0; i < 300; ++i) {
            const int k = (i * 7 + i / 5) % 4;
            t.append();
            t.setValue("N", i + 1);
            if (field == QLatin1String("F")) {
                t.setValue("F", k == 0 ? QVariant() : QVariant(double(4 - k)));
                keys.push_back({k == 0 ? 0 : 4 - k, i + 1});
            } else {
                t.setValue("COMMENT", texts[k]);
                keys.push_back({textRank[size_t(k)], i + 1});
            }
            t.post();
        }
        std::stable_sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
            if (!descending)
                return a.rank < b.rank;
            // Descending reverses the values; no value stays below every value, so it comes last.
            return a.rank > b.rank;
        });
        QList<int> expected;
        for (const Key& k : keys)
            expected << k.rec;
        t.addIndex(QStringLiteral("db1"), field, descending);
        t.selectIndex(QStringLiteral("db1"));
        QCOMPARE(recNos(t), expected);
    }

    void indexFileLifecycle() {
        const QString p = path(QStringLiteral("Цех1.dbf"));
        const QString mdx = path(QStringLiteral("Цех1.mdx"));
        writeKeyTable(p);
        DbfTable t;
        t.setFilter(QStringLiteral("MODE=1"));
        t.setFiltered(true);
        t.open(p);
        QVERIFY(!t.hasProductionIndex());
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        t.selectIndex(QStringLiteral("db1"));
        QVERIFY(QFile::exists(mdx));
        QCOMPARE(byte28(p), 1);
        QVERIFY(t.hasProductionIndex());
        t.close();
        QVERIFY(QFile::exists(mdx));
        QCOMPARE(byte28(p), 1);

        // Filter and selected index survive close and open; the index comes back from the file.
        t.open(p);
        QVERIFY(t.filtered());
        QCOMPARE(t.currentIndex(), QStringLiteral("db1"));
        QCOMPARE(t.indexNames(), std::vector<QString>{QStringLiteral("db1")});
        QCOMPARE(recNos(t), (QList<int>{4, 2, 6, 8}));
        t.setFiltered(false);
        // A new record takes its place in the order.
        t.append();
        t.setValue("F", 3.0);
        t.post();
        QCOMPARE(t.recNo(), 9);
        QCOMPARE(recNos(t), (QList<int>{1, 4, 7, 9, 2, 6, 3, 8, 5}));

        // Another table object opening a table without that index shows it in physical order.
        const QString other = path(QStringLiteral("plain.dbf"));
        writeKeyTable(other);
        t.close();
        t.open(other);
        QCOMPARE(t.currentIndex(), QString());
        QCOMPARE(recNos(t), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        t.open(p);
        QCOMPARE(t.currentIndex(), QStringLiteral("db1"));

        // The sort index deleted: the file goes, byte 28 is cleared; another index lives in
        // memory only and never makes a file.
        t.addIndex(QStringLiteral("db2"), QStringLiteral("COMMENT"), false);
        t.deleteIndex(QStringLiteral("db1"));
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
        QCOMPARE(t.currentIndex(), QString());
        QCOMPARE(recNos(t), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QVERIFY_THROWS_EXCEPTION(KvError, t.deleteIndex(QStringLiteral("db1")));
        QVERIFY_THROWS_EXCEPTION(KvError, t.selectIndex(QStringLiteral("db1")));
        t.deleteIndex(QStringLiteral("db2"));
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
        QVERIFY(!t.hasProductionIndex());
        t.close();
        QCOMPARE(byte28(p), 0);
    }

    void missingIndexFileClearsByte28() {
        const QString p = path(QStringLiteral("gone.dbf"));
        writeKeyTable(p);
        DbfTable t;
        t.open(p);
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        t.selectIndex(QStringLiteral("db1"));
        t.close();
        QVERIFY(QFile::remove(path(QStringLiteral("gone.mdx"))));
        QCOMPARE(byte28(p), 1);
        t.open(p, DbfTable::Access::ReadOnly);
        QVERIFY(!t.hasProductionIndex());
        t.close();
        QCOMPARE(byte28(p), 1); // a reader writes nothing
        t.open(p);
        QVERIFY(!t.hasProductionIndex());
        QCOMPARE(recNos(t), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(byte28(p), 0);
    }

    // The index definitions file of earlier versions, damaged; the dBase IV index itself is
    // checked in test_mdx.
    void damagedIndexFileIsIgnored_data() {
        QTest::addColumn<int>("damage");
        QTest::newRow("empty") << 1;
        QTest::newRow("truncated") << 2;
        QTest::newRow("direction bit flipped") << 3;
        QTest::newRow("newer version") << 5;
        QTest::newRow("key field of another table") << 6;
    }
    void damagedIndexFileIsIgnored() {
        QFETCH(int, damage);
        const QString p = path(QStringLiteral("damaged.dbf"));
        const QString mdx = path(QStringLiteral("damaged.mdx"));
        writeKeyTable(p);
        {
            QByteArray table = fileBytes(p);
            table[28] = 1;
            writeBytes(p, table);
        }
        QByteArray b = dbf::encodeIndexFile(dbf::layoutFor(MeasurementTable::fields()),
                                            {{QStringLiteral("db1"), QStringLiteral("F"), true}});
        QVERIFY(b.size() > 20);
        switch (damage) {
        case 1:
            b.clear();
            break;
        case 2:
            b.chop(7);
            break;
        case 3:
            b[b.size() - 8] = char(b[b.size() - 8] ^ 1);
            break; // the direction flag
        case 5:
            b[8] = 2;
            break;
        case 6:
            // A well-formed file whose key is a field this table lacks.
            b = dbf::encodeIndexFile(dbf::layoutFor({{QStringLiteral("ZZZ"), 'N', 18, 9}}),
                                     {{QStringLiteral("db1"), QStringLiteral("ZZZ"), false}});
            break;
        }
        writeBytes(mdx, b);
        DbfTable t;
        t.selectIndex(QStringLiteral("db1"));
        t.open(p);
        QCOMPARE(t.currentIndex(), QString());
        QVERIFY(t.indexNames().empty());
        QCOMPARE(recNos(t), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8}));
        // Sorting again replaces the damaged file with a sound one.
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        t.close();
        t.open(p);
        QCOMPARE(recNos(t), (QList<int>{1, 4, 7, 2, 6, 3, 8, 5}));
    }

    void packRemovesExactlyTheDeletedRecords() {
        const QString p = path(QStringLiteral("pack.dbf"));
        writeSampleTable(p, 10);
        const QByteArray original = fileBytes(p);
        DbfTable t;
        t.open(p);
        for (int r : {2, 5, 6, 10}) {
            QVERIFY(t.goToRecNo(r));
            t.deleteRecord();
        }
        t.pack();
        QCOMPARE(t.physicalCount(), 6);
        QCOMPARE(column(t, "N"),
                 (QVariantList{qint64(1), qint64(3), qint64(4), qint64(7), qint64(8), qint64(9)}));
        QCOMPARE(headerCount(p), 6u);
        const QByteArray b = fileBytes(p);
        QCOMPARE(b.size(), 577 + 6 * 265 + 1);
        QCOMPARE(b.mid(577 + 2 * 265, 265), original.mid(577 + 3 * 265, 265)); // record 4 is now third
        QCOMPARE(b.back(), '\x1A');
        // The lock moved with the file.
        QCOMPARE(childOpen(p), 3);
        QVERIFY(QDir(m_dir.path())
                    .entryList(QDir::Hidden | QDir::Files)
                    .filter(QStringLiteral("pack.dbf."))
                    .isEmpty());
        t.append();
        t.setValue("N", 11);
        t.close();
        QCOMPARE(headerCount(p), 7u);
    }

    void failedPackLeavesTheTableUntouched() {
        const QString p = path(QStringLiteral("full.dbf"));
        writeSampleTable(p, 40);
        DbfTable t;
        t.open(p);
        t.goToRecNo(3);
        t.deleteRecord();
        const QByteArray before = fileBytes(p);
        // A file size limit stands in for a full disk (root ignores permissions, not this).
        bool refused = false;
        {
            FileSizeLimit full(4096);
            QVERIFY(full.active());
            try {
                t.pack();
            } catch (const KvError&) {
                refused = true;
            }
        }
        QVERIFY(refused);
        QCOMPARE(fileBytes(p), before);
        QVERIFY(QDir(m_dir.path())
                    .entryList(QDir::Hidden | QDir::Files)
                    .filter(QStringLiteral("full.dbf."))
                    .isEmpty());
        QCOMPARE(t.recordCount(), 39);
        QCOMPARE(t.physicalCount(), 40);
        t.pack();
        QCOMPARE(headerCount(p), 39u);
    }

    // Whole records after the count are counted in at once; a file shorter than its count keeps
    // its header until repair() writes the whole records with the right count.
    void countFollowsTheWholeRecordsPresent_data() {
        QTest::addColumn<int>("claimed");
        QTest::addColumn<int>("cut"); // bytes removed from the end of the file
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("isShort");
        QTest::newRow("count too large") << 9 << 0 << 5 << true;
        QTest::newRow("record posted, count not") << 4 << 0 << 5 << false;
        QTest::newRow("count zero, records present") << 0 << 0 << 5 << false;
        QTest::newRow("truncated last record") << 5 << 100 << 4 << true;
        QTest::newRow("end mark missing") << 5 << 1 << 5 << false;
        QTest::newRow("huge count") << 0x7FFFFFFF << 0 << 5 << true;
    }
    void countFollowsTheWholeRecordsPresent() {
        QFETCH(int, claimed);
        QFETCH(int, cut);
        QFETCH(int, expected);
        QFETCH(bool, isShort);
        const QString p = path(QStringLiteral("counted.dbf"));
        writeSampleTable(p, 5);
        QByteArray b = fileBytes(p);
        setCount(b, std::uint32_t(claimed));
        b.chop(cut);
        writeBytes(p, b);
        DbfTable t;
        t.open(p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.physicalCount(), expected);
        QCOMPARE(t.isShort(), isShort);
        QCOMPARE(fileBytes(p), b);
        t.open(p);
        QCOMPARE(t.physicalCount(), expected);
        QCOMPARE(int(headerCount(p)), isShort ? claimed : expected);
        if (isShort) {
            QVERIFY_THROWS_EXCEPTION(KvError, t.append());
            QCOMPARE(fileBytes(p), b);
            QVERIFY(!t.repair().isEmpty());
            QCOMPARE(int(headerCount(p)), expected);
            QCOMPARE(fileBytes(p).size(), 577 + expected * 265 + 1);
        }
        QCOMPARE(t.repair(), QString());
        appendSample(t, sampleRows(7).back());
        t.close();
        t.open(p);
        QCOMPARE(t.physicalCount(), expected + 1);
        t.last();
        QCOMPARE(t.value("N"), QVariant(qint64(7)));
        QCOMPARE(fileBytes(p).size(), 577 + (expected + 1) * 265 + 1);
    }

    void trailingBytesAfterTheEndMarkAreNotRecords() {
        const QString p = path(QStringLiteral("junk.dbf"));
        writeSampleTable(p, 2);
        QByteArray b = fileBytes(p);
        b += QByteArray(600, 'x');
        writeBytes(p, b);
        DbfTable t;
        t.open(p, DbfTable::Access::ReadOnly);
        QCOMPARE(t.physicalCount(), 2);
    }

    void badFilesAreRejected_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("otherRecord"); // a sound dBase table, but not a measurement table
        QByteArray good;
        {
            QTemporaryDir dir;
            writeSampleTable(dir.filePath(QStringLiteral("g.dbf")), 2);
            good = fileBytes(dir.filePath(QStringLiteral("g.dbf")));
        }
        auto patched = [&](int at, QByteArray with) {
            QByteArray b = good;
            b.replace(at, with.size(), with);
            return b;
        };
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("one byte") << QByteArray("\x03") << false;
        QTest::newRow("random") << QByteArray(5000, '\xA7') << false;
        QTest::newRow("header only half there") << good.left(300) << false;
        QTest::newRow("version") << patched(0, QByteArray("\x30")) << false;
        QTest::newRow("header length short") << patched(8, QByteArray("\x21\x02")) << false; // 545
        QTest::newRow("header length before the end mark") << patched(8, QByteArray("\x40\x02")) << false;
        QTest::newRow("header longer than file") << patched(8, QByteArray("\xE1\xFF")) << false;
        QTest::newRow("record length") << patched(10, QByteArray("\x0A\x01")) << false;
        QTest::newRow("no end of header") << patched(576, QByteArray("\x20")) << false;
        QTest::newRow("field type D") << patched(32 + 11, QByteArray("D")) << false;
        QTest::newRow("field length 0") << patched(32 + 16, QByteArray(1, '\0')) << false;
        QTest::newRow("name not ASCII") << patched(32, QByteArray("\xC9")) << false;
        QTest::newRow("empty name") << patched(32, QByteArray(1, '\0')) << false;
        QTest::newRow("duplicate name") << patched(32 + 32, QByteArray("N\0\0\0", 4)) << false;
        QTest::newRow("memo field") << patched(32 + 16 * 32 + 11, QByteArray("M")) << false;
        QByteArray shorterA = patched(32 + 4 * 32 + 16, QByteArray("\x11"));
        shorterA.replace(10, 2, QByteArray("\x08\x01"));
        QTest::newRow("other length of A") << shorterA << true;
        QByteArray other;
        {
            QTemporaryDir dir;
            const QString o = dir.filePath(QStringLiteral("o.dbf"));
            DbfTable::create(o,
                             {{QStringLiteral("NAME"), 'C', 20, 0}, {QStringLiteral("VALUE"), 'N', 10, 2}});
            other = fileBytes(o);
        }
        QTest::newRow("other fields") << other << true;
    }
    void badFilesAreRejected() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, otherRecord);
        const QString p = path(QStringLiteral("bad.dbf"));
        writeBytes(p, bytes);
        DbfTable t;
        if (otherRecord)
            t.open(p, DbfTable::Access::ReadOnly); // a table, only not ours
        else
            QVERIFY_THROWS_EXCEPTION(KvError, t.open(p, DbfTable::Access::ReadOnly));
        QVERIFY_THROWS_EXCEPTION(KvError, MeasurementTable::open(t, p));
        QVERIFY(!t.isOpen());
        QCOMPARE(fileBytes(p), bytes);
        QCOMPARE(childOpen(p), otherRecord ? 0 : 3); // nothing stays locked
    }

    void randomDamageNeverCrashes() {
        // Every open either fails with KvError or gives a table whose every value can be read;
        // the sanitizer build turns any read outside the file into a failure.
        const QString good = path(QStringLiteral("seed.dbf"));
        writeSampleTable(good, 4);
        const QByteArray seed = fileBytes(good);
        const QString p = path(QStringLiteral("damage.dbf"));
        quint32 state = 12345;
        auto rnd = [&state](quint32 n) {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) % n;
        };
        int opened = 0;
        for (int round = 0; round < 400; ++round) {
            QByteArray b = seed;
            const int changes = 1 + int(rnd(4));
            for (int c = 0; c < changes; ++c) {
                // Mostly the header, where the lengths and counts live.
                const int at = rnd(4) == 0 ? int(rnd(quint32(b.size()))) : int(rnd(600));
                if (at < b.size())
                    b[at] = char(rnd(256));
            }
            if (rnd(5) == 0)
                b.truncate(int(rnd(quint32(b.size()))));
            writeBytes(p, b);
            DbfTable t;
            try {
                t.open(p, round % 2 ? DbfTable::Access::ReadOnly : DbfTable::Access::Exclusive);
            } catch (const KvError&) {
                continue;
            }
            ++opened;
            for (t.first(); !t.eof(); t.next())
                for (int f = 0; f < int(t.fields().size()); ++f)
                    t.value(f);
            QVERIFY(t.recordCount() <= t.physicalCount());
        }
        QVERIFY(opened > 0);
    }

    void missingFileAndFolderAreRejected() {
        DbfTable t;
        QVERIFY_THROWS_EXCEPTION(KvError, t.open(path(QStringLiteral("nowhere.dbf"))));
        QVERIFY_THROWS_EXCEPTION(KvError, t.open(m_dir.path(), DbfTable::Access::ReadOnly));
        QVERIFY_THROWS_EXCEPTION(KvError,
                                 MeasurementTable::createFile(path(QStringLiteral("no/such/dir.dbf"))));
        const QString fifo = path(QStringLiteral("pipe.dbf"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY_THROWS_EXCEPTION(KvError, t.open(fifo, DbfTable::Access::ReadOnly));
        QVERIFY_THROWS_EXCEPTION(KvError, t.open(fifo));
        QVERIFY(!t.isOpen());
    }

    void createReplacesATableAndItsIndexFile() {
        const QString p = path(QStringLiteral("again.dbf"));
        writeKeyTable(p);
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        MeasurementTable::createFile(p);
        QCOMPARE(fileBytes(p).size(), 578);
        QVERIFY(!QFile::exists(path(QStringLiteral("again.mdx"))));
        DbfTable t;
        MeasurementTable::open(t, p);
        QCOMPARE(t.recordCount(), 0);
        QVERIFY(t.eof());
        QVERIFY(t.bof());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--open-exclusive") == 0) {
        QCoreApplication app(argc, argv);
        return openExclusiveChild(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestTableAccess test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_table_access.moc"
