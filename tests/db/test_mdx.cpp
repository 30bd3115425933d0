// The dBase IV production index: key bytes, tree shapes, order, upkeep, flags, foreign and
// damaged files. Files are checked with the independent reader of MdxProbe.h.
#include "DbTestSupport.h"
#include "MdxProbe.h"

#include "core/Error.h"
#include "db/DbfIndex.h"
#include "db/MdxFile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <QRegularExpression>

#include <algorithm>
#include <cstring>

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray key12(const char* text) {
    QByteArray k = hex(text);
    k.resize(12, '\0');
    return k;
}

int descriptorFlag(const QString& dbf, int field) {
    return int(fileBytes(dbf).at(32 + 32 * field + 31));
}

// The records as the file's tag gives them.
QList<int> walk(const probe::Tag& tag) {
    QList<int> out;
    for (const probe::Entry& e : tag.entries)
        out << int(e.record);
    return out;
}

// What the tag should give: records 1..n by their keys (canonical decimal text for numbers, the
// stored bytes for text), equal keys by record number, in the given direction.
QList<int> expectedOrder(const std::vector<QString>& keys, bool numeric, bool descending) {
    QList<int> order;
    for (int i = 0; i < int(keys.size()); ++i)
        order << i + 1;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const QString& x = keys[size_t(a - 1)];
        const QString& y = keys[size_t(b - 1)];
        int c = numeric ? probe::compareDecimal(probe::canonical(x), probe::canonical(y))
                        : std::memcmp(x.toLatin1().constData(), y.toLatin1().constData(), size_t(x.size()));
        return descending ? c > 0 : c < 0;
    });
    return order;
}

// The field's text as stored, read straight from the .dbf.
std::vector<QString> storedTexts(const QString& dbf, int field) {
    const QByteArray b = fileBytes(dbf);
    const int header = probe::u16(b, 8), length = probe::u16(b, 10);
    const int count = int(probe::u32(b, 4));
    int offset = 1;
    for (int i = 0; i < field; ++i)
        offset += std::uint8_t(b[32 + 32 * i + 16]);
    const int width = std::uint8_t(b[32 + 32 * field + 16]);
    std::vector<QString> out;
    for (int r = 0; r < count; ++r)
        out.push_back(QString::fromLatin1(b.mid(header + r * length + offset, width)));
    return out;
}

// Checks that the .mdx beside dbf walks, in the probe, to its records in key order.
void checkTag(const QString& dbf, const QString& mdx, const QString& field, bool descending) {
    DbfTable t;
    t.open(dbf, DbfTable::Access::ReadOnly);
    const int f = t.fieldIndex(field);
    const bool numeric = t.fields()[size_t(f)].type == 'N';
    t.close();
    const probe::Tag tag = probe::readTag(fileBytes(mdx));
    QVERIFY2(tag.error.isEmpty(), qPrintable(tag.error));
    QCOMPARE(tag.name, QStringLiteral("DB1"));
    QCOMPARE(tag.expression, field);
    QCOMPARE(tag.descending, descending);
    const std::vector<QString> texts = storedTexts(dbf, f);
    QCOMPARE(walk(tag), expectedOrder(texts, numeric, descending));
    // Each key is that of its record.
    for (const probe::Entry& e : tag.entries) {
        const QString text = texts[e.record - 1];
        if (numeric)
            QCOMPARE(probe::decodeNumeric(e.key), probe::canonical(text));
        else
            QCOMPARE(QString::fromLatin1(e.key), text);
    }
}

} // namespace

class TestMdx : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A measurement table of n rows whose F, MODE and COMMENT follow the given texts.
    void writeRows(const QString& p, const std::vector<QVariant>& f,
                   const std::vector<QString>& comments = {}) {
        MeasurementTable::createFile(p);
        DbfTable t;
        t.open(p);
        for (size_t i = 0; i < f.size(); ++i) {
            t.append();
            t.setValue("N", int(i + 1));
            t.setValue("MODE", int(i % 3));
            t.setValue("DATE", QStringLiteral("%1.%2.2025")
                                   .arg(1 + (i * 7) % 28, 2, 10, QLatin1Char('0'))
                                   .arg(1 + i % 12, 2, 10, QLatin1Char('0')));
            t.setValue("F", f[i]);
            if (i < comments.size())
                t.setValue("COMMENT", comments[i]);
            t.post();
        }
    }

private slots:
    void numericKeyBytes_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("key");
        // The examples of the layout, as N(18,9) and as the shortest text.
        const struct {
            const char* value;
            const char* key;
        } rows[] = {
            {"0", "34 01"},
            {"1", "35 05 10"},
            {"-1", "35 85 10"},
            {"2.5", "35 09 25"},
            {"0.1", "34 05 10"},
            {"-0.5", "34 85 50"},
            {"0.000123", "31 19 12 30"},
            {"10", "36 09 10"},
            {"100", "37 0D 10"},
            {"20.5", "36 0D 20 50"},
            {"1234.5678", "38 21 12 34 56 78"},
            {"-1234.5678", "38 A1 12 34 56 78"},
            {"99999999.999999999", "3C 45 99 99 99 99 99 99 99 99 90"},
            {"0.000000001", "2C 25 10"},
            // The edges of N(18,9) and of N(4).
            {"-9999999.999999999", "3B C1 99 99 99 99 99 99 99 99"},
            {"-0.000000001", "2C A5 10"},
            {"9999", "38 11 99 99"},
            {"-999", "37 8D 99 90"},
            {"1000", "38 11 10"},
        };
        for (const auto& r : rows) {
            QTest::newRow(r.value) << QByteArray(r.value) << key12(r.key);
            if (QByteArray(r.value).size() < 18)
                QTest::newRow(qPrintable(QStringLiteral("%1 as N(18,9)").arg(r.value)))
                    << QByteArray(r.value).rightJustified(18, ' ') << key12(r.key);
        }
        QTest::newRow("N(18,9) zero") << QByteArray("       0.000000000") << key12("34 01");
        QTest::newRow("N(18,9) 2.5") << QByteArray("       2.500000000") << key12("35 09 25");
        QTest::newRow("N(18,9) -0.5") << QByteArray("      -0.500000000") << key12("34 85 50");
        QTest::newRow("N(18,9) 0.000123") << QByteArray("       0.000123000") << key12("31 19 12 30");
        QTest::newRow("blank") << QByteArray("                  ") << key12("34 01");
        QTest::newRow("blank N(4)") << QByteArray("    ") << key12("34 01");
        QTest::newRow("minus zero") << QByteArray("  -0.000") << key12("34 01");
        QTest::newRow("leading zeros") << QByteArray("0007") << key12("35 05 70");
        QTest::newRow("garbage") << QByteArray("*****") << key12("34 01");
        // Seventeen significant digits survive where a double would round them.
        QTest::newRow("17 digits") << QByteArray("12345678.123456789")
                                   << key12("3C 45 12 34 56 78 12 34 56 78 90");
    }
    void numericKeyBytes() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, key);
        const auto k = dbf::mdx::numericKey(text.constData(), int(text.size()));
        QCOMPARE(QByteArray(k.data(), 12).toHex(' '), key.toHex(' '));
        // The probe's decoding gives the value back.
        QCOMPARE(probe::decodeNumeric(key),
                 probe::canonical(QString::fromLatin1(text))
                     .replace(QRegularExpression(QStringLiteral("^\\*+$")), QStringLiteral("0")));
    }

    void tagOverEachFieldType_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        for (const char* f : {"F", "MODE", "N", "DATE", "COMMENT"})
            for (bool d : {false, true})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(f, d ? "desc" : "asc")))
                    << QString(f) << d;
    }
    void tagOverEachFieldType() {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        const QString p = path(QStringLiteral("types.dbf"));
        // Negatives, fractions, blanks, equal keys and Cyrillic text, more than one leaf of C(50).
        std::vector<QVariant> f;
        std::vector<QString> comments;
        const QStringList words = {QStringLiteral("Цех"),  QStringLiteral("цех"),  QString(),
                                   QStringLiteral("z"),    QStringLiteral("ёлка"), QStringLiteral("Z"),
                                   QStringLiteral("Цех 2")};
        for (int i = 0; i < 90; ++i) {
            const int k = (i * 37) % 11;
            f.push_back(k == 0 ? QVariant()
                               : QVariant(QString::number((k - 5) * 0.125 + (k % 3) * 1000, 'f', 9)));
            comments.push_back(words[(i * 5) % words.size()]);
        }
        writeRows(p, f, comments);
        DbfTable t;
        t.open(p);
        t.addIndex(QStringLiteral("db1"), field, descending);
        t.selectIndex(QStringLiteral("db1"));
        const QList<int> viewOrder = recNos(t);
        t.close();
        checkTag(p, path(QStringLiteral("types.mdx")), field, descending);
        // The view walks in the tag's order.
        const probe::Tag tag = probe::readTag(fileBytes(path(QStringLiteral("types.mdx"))));
        QCOMPARE(viewOrder, walk(tag));
    }

    void treeShapes_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("depth");
        // F: 63 keys a node; COMMENT (C(50)): 18.
        QTest::newRow("empty") << "F" << 0 << 1;
        QTest::newRow("one") << "F" << 1 << 1;
        QTest::newRow("one full leaf") << "F" << 63 << 1;
        QTest::newRow("two nearly empty leaves") << "F" << 64 << 2;
        QTest::newRow("full root over full leaves") << "F" << 63 * 64 << 2;
        QTest::newRow("three levels") << "F" << 63 * 64 + 1 << 3;
        QTest::newRow("C(50) one leaf") << "COMMENT" << 18 << 1;
        QTest::newRow("C(50) two levels") << "COMMENT" << 19 << 2;
        QTest::newRow("C(50) three levels") << "COMMENT" << 18 * 19 + 1 << 3;
    }
    void treeShapes() {
        QFETCH(QString, field);
        QFETCH(int, records);
        QFETCH(int, depth);
        const QString p = path(QStringLiteral("shape.dbf"));
        std::vector<QVariant> f;
        std::vector<QString> comments;
        for (int i = 0; i < records; ++i) {
            f.push_back((i * 7919) % 1000);
            comments.push_back(QString::number((i * 31) % 97));
        }
        writeRows(p, f, comments);
        DbfTable t;
        t.open(p);
        t.addIndex(QStringLiteral("db1"), field, false);
        t.close();
        const probe::Tag tag = probe::readTag(fileBytes(path(QStringLiteral("shape.mdx"))));
        QVERIFY2(tag.error.isEmpty(), qPrintable(tag.error));
        QCOMPARE(tag.depth, depth);
        QCOMPARE(int(tag.entries.size()), records);
        // Nodes of a level are filled evenly; branches have at least two children.
        for (size_t level = 0; level < tag.fill.size(); ++level) {
            const auto [least, most] = std::minmax_element(tag.fill[level].begin(), tag.fill[level].end());
            QVERIFY(*most - *least <= 1);
            QVERIFY(*most <= tag.maxKeys);
            if (level + 1 < tag.fill.size())
                QVERIFY(*least >= 1);
        }
        checkTag(p, path(QStringLiteral("shape.mdx")), field, false);
    }

    void hundredThousandRecordsMakeThreeLevels() {
        // Seconds here, a minute under the sanitizers: ctest runs it on its own as
        // test_db_mdx_large, labelled slow.
        if (!qEnvironmentVariableIsSet("KV_MDX_LARGE"))
            QSKIP("runs as test_db_mdx_large");
        const QString p = path(QStringLiteral("big.dbf"));
        MeasurementTable::createFile(p);
        DbfTable t;
        t.open(p);
        t.changeBeside([&] {
            for (int i = 0; i < 100000; ++i) {
                t.append();
                t.setValue("N", i % 9999);
                t.setValue("F", QString::number((i * 7919) % 100003 - 50000) + QStringLiteral(".123456789"));
                t.post();
            }
        });
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        t.close();
        const QByteArray mdx = fileBytes(path(QStringLiteral("big.mdx")));
        QVERIFY(mdx.size() <= 3 * 1024 * 1024);
        const probe::Tag tag = probe::readTag(mdx);
        QVERIFY2(tag.error.isEmpty(), qPrintable(tag.error));
        QCOMPARE(tag.depth, 3);
        QCOMPARE(int(tag.entries.size()), 100000);
        checkTag(p, path(QStringLiteral("big.mdx")), QStringLiteral("F"), true);
    }

    void tagKeptCurrent() {
        const QString p = path(QStringLiteral("current.dbf"));
        const QString mdx = path(QStringLiteral("current.mdx"));
        std::vector<QVariant> f;
        for (int i = 0; i < 200; ++i)
            f.push_back(i % 17 == 0 ? QVariant() : QVariant((i * 13) % 50 - 10.5));
        writeRows(p, f);
        DbfTable t;
        t.open(p);
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        t.selectIndex(QStringLiteral("db1"));
        checkTag(p, mdx, QStringLiteral("F"), false);

        // An append.
        t.append();
        t.setValue("F", -1000.0);
        t.post();
        checkTag(p, mdx, QStringLiteral("F"), false);
        QCOMPARE(probe::readTag(fileBytes(mdx)).entries.front().record, 201u);

        // An edit of the key field moves the record in the file at once.
        QVERIFY(t.goToRecNo(5));
        t.setValue("F", 99999.0);
        t.post();
        checkTag(p, mdx, QStringLiteral("F"), false);
        QCOMPARE(probe::readTag(fileBytes(mdx)).entries.back().record, 5u);

        // An edit of another field leaves the tag as it was.
        const QByteArray before = fileBytes(mdx);
        t.setValue("COMMENT", QStringLiteral("примечание"));
        t.post();
        QCOMPARE(fileBytes(mdx), before);

        // A deletion keeps the record in the tag, as dBase does; pack renumbers.
        QVERIFY(t.goToRecNo(3));
        t.deleteRecord();
        QVERIFY(t.goToRecNo(201));
        t.deleteRecord();
        QCOMPARE(probe::readTag(fileBytes(mdx)).entries.size(), size_t(201));
        t.pack();
        QCOMPARE(t.physicalCount(), 199);
        checkTag(p, mdx, QStringLiteral("F"), false);
        QCOMPARE(recNos(t), walk(probe::readTag(fileBytes(mdx))));

        // Rows written beside the table: the tag follows once the new table is in place.
        t.changeBeside([&] {
            for (int i = 0; i < 30; ++i) {
                t.append();
                t.setValue("F", i * 0.5);
                t.post();
            }
        });
        checkTag(p, mdx, QStringLiteral("F"), false);
        QCOMPARE(probe::readTag(fileBytes(mdx)).entries.size(), size_t(229));
        t.close();

        // Opened again, the order is that of the file.
        DbfTable again;
        again.selectIndex(QStringLiteral("db1"));
        again.open(p);
        QCOMPARE(again.currentIndex(), QStringLiteral("db1"));
        QList<int> live;
        for (int r : walk(probe::readTag(fileBytes(mdx))))
            live << r;
        QCOMPARE(recNos(again), live);
    }

    void flagsThroughTheLifeCycle() {
        const QString p = path(QStringLiteral("flags.dbf"));
        const QString mdx = path(QStringLiteral("flags.mdx"));
        writeRows(p, {1.0, 2.0, QVariant(), -3.0});
        const int fField = 6, commentField = 16;
        QCOMPARE(byte28(p), 0);
        DbfTable t;
        t.open(p);
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        QCOMPARE(byte28(p), 1);
        QCOMPARE(descriptorFlag(p, fField), 1);
        QCOMPARE(descriptorFlag(p, commentField), 0);
        // Sorting by another field moves the flag.
        t.addIndex(QStringLiteral("db1"), QStringLiteral("COMMENT"), false);
        QCOMPARE(descriptorFlag(p, fField), 0);
        QCOMPARE(descriptorFlag(p, commentField), 1);
        // Pack keeps both.
        QVERIFY(t.goToRecNo(2));
        t.deleteRecord();
        t.pack();
        QCOMPARE(byte28(p), 1);
        QCOMPARE(descriptorFlag(p, commentField), 1);
        t.close();
        QCOMPARE(byte28(p), 1);
        QVERIFY(QFile::exists(mdx));
        t.open(p);
        QCOMPARE(t.indexNames(), std::vector<QString>{QStringLiteral("db1")});
        // Removing the sort removes the file and both flags.
        t.deleteIndex(QStringLiteral("db1"));
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
        for (int i = 0; i < 17; ++i)
            QCOMPARE(descriptorFlag(p, i), 0);
        // Other indexes never make a file.
        t.addIndex(QStringLiteral("dump"), QStringLiteral("F"), false);
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
    }

    void upperCaseIndexFileIsFound() {
        const QString p = path(QStringLiteral("Цех.dbf"));
        writeRows(p, {3.0, 1.0, 2.0});
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        QVERIFY(QFile::rename(path(QStringLiteral("Цех.mdx")), path(QStringLiteral("ЦЕХ.MDX"))));
        DbfTable t;
        t.selectIndex(QStringLiteral("db1"));
        t.open(p);
        QCOMPARE(t.indexFileName(), QStringLiteral("ЦЕХ.MDX"));
        QCOMPARE(recNos(t), (QList<int>{2, 3, 1}));
        t.append();
        t.setValue("F", 0.5);
        t.post();
        QVERIFY(!QFile::exists(path(QStringLiteral("Цех.mdx"))));
        checkTag(p, path(QStringLiteral("ЦЕХ.MDX")), QStringLiteral("F"), false);
        // The table's name in the header, in Windows-1251.
        QCOMPARE(fileBytes(path(QStringLiteral("ЦЕХ.MDX"))).mid(4, 16),
                 QByteArray("\xD6\xE5\xF5").leftJustified(16, '\0'));
        t.deleteIndex(QStringLiteral("db1"));
        QVERIFY(!QFile::exists(path(QStringLiteral("ЦЕХ.MDX"))));
        QCOMPARE(byte28(p), 0);
    }

    void foreignIndexIsLeftAlone_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("another tag name") << 0;
        QTest::newRow("unique tag") << 2;
        QTest::newRow("key expression of no field") << 3;
        QTest::newRow("another program's bytes") << 4;
        QTest::newRow("filtered tag") << 5;
    }
    void foreignIndexIsLeftAlone() {
        QFETCH(int, kind);
        const QString p = path(QStringLiteral("foreign.dbf"));
        const QString mdx = path(QStringLiteral("foreign.mdx"));
        writeRows(p, {3.0, 1.0, 2.0});
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        QByteArray b = fileBytes(mdx);
        switch (kind) {
        case 0:
            b.replace(544 + 4, 3, "NUM");
            break;
        case 2:
            b[2048 + 8] = char(0x50);
            break;
        case 3:
            b.replace(2048 + 24, 2, "F+");
            break;
        case 4:
            b = QByteArray(4096, '\0');
            for (int i = 0; i < b.size(); ++i)
                b[i] = char(i * 37 + 11);
            break;
        case 5:
            b[2048 + 245] = 1;
            break;
        }
        writeBytes(mdx, b);
        const QByteArray dbfBefore = fileBytes(p);
        DbfTable t;
        t.selectIndex(QStringLiteral("db1"));
        t.open(p);
        QVERIFY(t.indexFileIsForeign());
        QCOMPARE(recNos(t), (QList<int>{1, 2, 3}));
        // The sort works in memory; nothing on disk changes, whatever the table does.
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        t.selectIndex(QStringLiteral("db1"));
        t.regenerateIndexes();
        QCOMPARE(recNos(t), (QList<int>{1, 3, 2}));
        // Re-reading the table keeps the sort that lives in memory only.
        t.refresh();
        QCOMPARE(t.currentIndex(), QStringLiteral("db1"));
        QCOMPARE(recNos(t), (QList<int>{1, 3, 2}));
        QCOMPARE(fileBytes(p), dbfBefore);
        t.append();
        t.setValue("F", 10.0);
        t.post();
        QCOMPARE(recNos(t), (QList<int>{4, 1, 3, 2}));
        QVERIFY(t.goToRecNo(1));
        t.deleteRecord();
        t.pack();
        t.deleteIndex(QStringLiteral("db1"));
        t.close();
        QCOMPARE(fileBytes(mdx), b);
        QCOMPARE(byte28(p), 1);
    }

    void damagedIndexOfOurLayout_data() {
        QTest::addColumn<int>("damage");
        QTest::newRow("cut in a node") << 0;
        QTest::newRow("cut to the header") << 1;
        QTest::newRow("page count") << 2;
        QTest::newRow("root outside the file") << 3;
        QTest::newRow("cycle of pages") << 4;
        QTest::newRow("too many entries") << 5;
        QTest::newRow("odd root page") << 6;
        QTest::newRow("a child shared by two entries") << 7;
        QTest::newRow("empty file") << 8;
        QTest::newRow("a second tag") << 9;
        QTest::newRow("tags in use") << 10;
        QTest::newRow("header and tag table zeroed") << 11;
    }
    void damagedIndexOfOurLayout() {
        QFETCH(int, damage);
        const QString p = path(QStringLiteral("damaged.dbf"));
        const QString mdx = path(QStringLiteral("damaged.mdx"));
        std::vector<QVariant> f;
        for (int i = 0; i < 300; ++i)
            f.push_back((i * 37) % 101);
        writeRows(p, f);
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), true);
        }
        QByteArray b = fileBytes(mdx);
        const probe::Tag sound = probe::readTag(b);
        QCOMPARE(sound.depth, 2);
        const std::uint32_t root = probe::u32(b, 2048);
        const qsizetype rootAt = qsizetype(root) * 512;
        const auto set32 = [&](qsizetype at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                b[at + i] = char((v >> (8 * i)) & 0xFF);
        };
        switch (damage) {
        case 0:
            b.chop(700);
            break;
        case 1:
            b.truncate(600);
            break;
        case 2:
            set32(32, probe::u32(b, 32) + 2);
            break;
        case 3:
            set32(2048, std::uint32_t(b.size() / 512 + 10));
            break;
        case 4: // the root's first child is the root itself
            set32(rootAt + 8, root);
            break;
        case 5:
            set32(3072, 5000);
            break;
        case 6:
            set32(2048, root + 1);
            break;
        case 7: // the root's last child is its first one again
            set32(rootAt + 8 + 16 * probe::u32(b, rootAt), 6);
            break;
        case 8:
            b.clear();
            break;
        case 9:
            b[28] = 2;
            std::memcpy(b.data() + 576, b.constData() + 544, 32);
            b.replace(576 + 4, 3, "DB2");
            break;
        case 10:
            b[28] = 3;
            break;
        case 11:
            std::memset(b.data(), 0, 2048);
            break;
        }
        writeBytes(mdx, b);
        DbfTable t;
        t.selectIndex(QStringLiteral("db1"));
        t.open(p);
        QVERIFY(!t.indexFileIsForeign());
        QVERIFY(t.indexFileIsDamaged());
        QVERIFY(t.openNotices().join(QString()).contains(QStringLiteral("«damaged.mdx» повреждён")));
        QVERIFY(t.indexNames().empty());
        QCOMPARE(t.currentIndex(), QString());
        QCOMPARE(recNos(t).size(), 300);
        QCOMPARE(recNos(t).front(), 1);
        // Removing the sort removes it, and says so.
        t.deleteIndex(QStringLiteral("db1"));
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(t.takeIndexNotice(), QStringLiteral("Файл индексов «damaged.mdx» был повреждён и удалён."));
        QCOMPARE(byte28(p), 0);
        t.close();
        // The next sort replaces it with a sound file, as the views do it: the old index goes first.
        writeBytes(mdx, b);
        t.open(p);
        try {
            t.deleteIndex(QStringLiteral("db1"));
        } catch (const KvError&) {
        }
        t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        QCOMPARE(t.takeIndexNotice(),
                 QStringLiteral("Файл индексов «damaged.mdx» был повреждён и построен заново."));
        QCOMPARE(t.takeIndexNotice(), QString());
        t.close();
        checkTag(p, mdx, QStringLiteral("F"), false);
    }

    // A tag DB1 in date and time order, which the program is to write as well, is its own: neither
    // another program's nor damaged. This table does not keep it up to date, so the first change
    // of the records removes it rather than leave it stale for other programs.
    void dateTimeTagIsOurs_data() {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("sound") << false;
        QTest::newRow("too many entries in the root") << true;
    }
    void dateTimeTagIsOurs() {
        QFETCH(bool, damaged);
        const QString p = path(QStringLiteral("dt.dbf"));
        const QString mdx = path(QStringLiteral("dt.mdx"));
        std::vector<QVariant> f;
        for (int i = 0; i < 120; ++i)
            f.push_back(i);
        writeRows(p, f);
        // yyyymmdd + hh:mm:ss of each record, as a C(16) key.
        const QByteArray table = fileBytes(p);
        const int header = probe::u16(table, 8), length = probe::u16(table, 10);
        QByteArray keys;
        for (int r = 0; r < 120; ++r) {
            const QByteArray rec = table.mid(header + r * length, length);
            keys += rec.mid(5 + 6, 4) + rec.mid(5 + 3, 2) + rec.mid(5, 2) + rec.mid(15, 8);
        }
        dbf::mdx::TagSource source;
        source.tableName = "DT";
        source.field = {QStringLiteral("X"), 'C', 16, 0};
        source.data = keys.constData();
        source.count = 120;
        source.recordLength = 16;
        source.fieldOffset = 0;
        QByteArray b =
            dbf::mdx::build(source, dbf::mdx::tagOrder(keys.constData(), 120, 16, 0, source.field, false));
        const QByteArray expression = dbf::mdx::kDateTimeExpression.toLatin1();
        b.replace(2048 + 24, expression.size() + 1, expression + QByteArray(1, '\0'));
        if (damaged)
            b[probe::u32(b, 2048) * 512] = char(200);
        writeBytes(mdx, b);
        {
            QByteArray t = table;
            t[28] = 1;
            writeBytes(p, t);
        }
        DbfTable t;
        t.open(p);
        QVERIFY(!t.indexFileIsForeign());
        QCOMPARE(t.indexFileIsDamaged(), damaged);
        QCOMPARE(t.openNotices().size(), damaged ? 1 : 0);
        QCOMPARE(fileBytes(mdx), b);
        t.append();
        t.setValue("F", 500);
        t.post();
        QCOMPARE(QFile::exists(mdx), damaged); // a damaged file waits for the sort or its removal
        QCOMPARE(byte28(p), damaged ? 1 : 0);
    }

    void staleIndexIsRebuiltOnOpen() {
        const QString p = path(QStringLiteral("stale.dbf"));
        const QString mdx = path(QStringLiteral("stale.mdx"));
        writeRows(p, {3.0, 1.0, 2.0});
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        // Another program appends a record and leaves the index as it was.
        const QByteArray before = fileBytes(mdx);
        {
            QByteArray b = fileBytes(p);
            const int header = probe::u16(b, 8), length = probe::u16(b, 10);
            QByteArray rec = b.mid(header, length);
            rec.replace(1 + 4 + 10 + 8 + 4 + 18 + 18, 18, QByteArray("       0.000000000"));
            b.insert(header + 3 * length, rec);
            b[4] = 4;
            writeBytes(p, b);
        }
        DbfTable t;
        t.selectIndex(QStringLiteral("db1"));
        t.open(p);
        QCOMPARE(recNos(t), (QList<int>{4, 2, 3, 1}));
        t.close();
        QVERIFY(fileBytes(mdx) != before);
        checkTag(p, mdx, QStringLiteral("F"), false);
    }

    void earlierPrivateFileIsReplacedOrRemoved() {
        const QString p = path(QStringLiteral("legacy.dbf"));
        const QString mdx = path(QStringLiteral("legacy.mdx"));
        writeRows(p, {3.0, 1.0, 2.0});
        const auto plantLegacy = [&] {
            DbfTable t;
            t.open(p);
            const std::vector<DbfField> fields = t.fields();
            t.close();
            dbf::Layout layout = dbf::layoutFor(fields);
            writeBytes(mdx,
                       dbf::encodeIndexFile(layout, {{QStringLiteral("db1"), QStringLiteral("F"), true}}));
            QByteArray b = fileBytes(p);
            b[28] = 1;
            writeBytes(p, b);
        };
        plantLegacy();
        {
            DbfTable t;
            t.selectIndex(QStringLiteral("db1"));
            t.open(p);
            QCOMPARE(recNos(t), (QList<int>{1, 3, 2}));
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        checkTag(p, mdx, QStringLiteral("F"), false);
        plantLegacy();
        {
            DbfTable t;
            t.open(p);
            t.deleteIndex(QStringLiteral("db1"));
        }
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
    }

    void replacedTableStartsWithoutIndex() {
        const QString p = path(QStringLiteral("replaced.dbf"));
        const QString mdx = path(QStringLiteral("replaced.mdx"));
        writeRows(p, {3.0, 1.0});
        {
            DbfTable t;
            t.open(p);
            t.addIndex(QStringLiteral("db1"), QStringLiteral("F"), false);
        }
        DbfTable t;
        MeasurementTable::createBeside(t, p, [&] {
            t.append();
            t.setValue("F", 5.0);
            t.post();
        });
        QVERIFY(!QFile::exists(mdx));
        QVERIFY(t.indexNames().empty());
        t.append();
        t.setValue("F", 4.0);
        t.post();
        t.close();
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);
    }

    void commandLine() {
        const QString p = path(QStringLiteral("cli.dbf"));
        const QString mdx = path(QStringLiteral("cli.mdx"));
        writeRows(p, {3.0, 1.0, 2.0, QVariant()});
        const auto run = [](const QStringList& args, QString* err = nullptr) {
            QProcess app;
            app.start(qEnvironmentVariable("KV_APP"), QStringList{QStringLiteral("index")} + args);
            app.waitForFinished(60000);
            if (err)
                *err = QString::fromUtf8(app.readAllStandardError());
            return app.exitStatus() == QProcess::NormalExit ? app.exitCode() : -1;
        };
        QCOMPARE(run({p, QStringLiteral("f:desc")}), 0);
        checkTag(p, mdx, QStringLiteral("F"), true);
        QCOMPARE(byte28(p), 1);
        QCOMPARE(run({p, QStringLiteral("COMMENT")}), 0);
        checkTag(p, mdx, QStringLiteral("COMMENT"), false);
        QCOMPARE(run({p, QStringLiteral("--drop")}), 0);
        QVERIFY(!QFile::exists(mdx));
        QCOMPARE(byte28(p), 0);

        // Refused: an unknown field, a table another program holds, another program's index.
        QString err;
        QCOMPARE(run({p, QStringLiteral("ZZZ")}, &err), 1);
        QVERIFY(err.contains(QStringLiteral("ZZZ")));
        QVERIFY(!QFile::exists(mdx));
        {
            DbfTable holder;
            holder.open(p);
            QCOMPARE(run({p, QStringLiteral("F")}), 1);
        }
        QVERIFY(!QFile::exists(mdx));
        const QByteArray foreign(4096, char(0x7F));
        writeBytes(path(QStringLiteral("CLI.MDX")), foreign);
        QCOMPARE(run({p, QStringLiteral("F")}, &err), 1);
        QVERIFY(err.contains(QStringLiteral("CLI.MDX")));
        QCOMPARE(run({p, QStringLiteral("--drop")}), 1);
        QCOMPARE(fileBytes(path(QStringLiteral("CLI.MDX"))), foreign);
        QCOMPARE(run({p}), 1);

        // A damaged file of ours is removed by --drop and rebuilt by a sort, with that word.
        QFile::remove(path(QStringLiteral("CLI.MDX")));
        const QByteArray zeroed(4096, '\0');
        writeBytes(mdx, zeroed);
        QCOMPARE(run({p, QStringLiteral("--drop")}, &err), 0);
        QVERIFY(!QFile::exists(mdx));
        QVERIFY2(err.contains(QStringLiteral("«cli.mdx» был повреждён и удалён")), qPrintable(err));
        writeBytes(mdx, zeroed);
        QCOMPARE(run({p, QStringLiteral("F")}, &err), 0);
        QVERIFY2(err.contains(QStringLiteral("«cli.mdx» был повреждён и построен заново")), qPrintable(err));
        checkTag(p, mdx, QStringLiteral("F"), false);
    }

private:
    static int byte28(const QString& p) { return int(fileBytes(p).at(28)); }
};

QTEST_GUILESS_MAIN(TestMdx)
#include "test_mdx.moc"
