#include "DbTestSupport.h"

#include "core/Error.h"
#include "db/TableSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The open table of the window and its two flags, and the mode and sort texts that the window,
// the importer and the command line share.
class TestTableSession : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString table(const QString& name, int rows = 3) {
        const QString path = m_dir.filePath(name);
        MeasurementTable::createFile(path);
        DbfTable t;
        MeasurementTable::open(t, path);
        for (const SampleRow& r : sampleRows(rows))
            appendSample(t, r);
        t.close();
        return path;
    }

    // The signals of a session, in the order they came.
    struct Signals {
        QStringList seen;
        explicit Signals(TableSession& s) {
            QObject::connect(&s, &TableSession::opened, [this] { seen << "opened"; });
            QObject::connect(&s, &TableSession::reloaded, [this] { seen << "reloaded"; });
            QObject::connect(&s, &TableSession::rowsChanged, [this] { seen << "rowsChanged"; });
            QObject::connect(&s, &TableSession::closed, [this] { seen << "closed"; });
        }
        QStringList take() { return std::exchange(seen, {}); }
    };

private slots:
    void openEditSaveClose() {
        TableSession s;
        Signals sig(s);
        s.open(table("a.dbf"));
        QVERIFY(s.isOpen());
        QVERIFY(!s.isModified());
        QCOMPARE(s.table().recordCount(), 3);
        QCOMPARE(sig.take(), QStringList{"opened"});

        s.markModified();
        QVERIFY(s.isModified());
        s.save();
        QVERIFY(s.isOpen());
        QVERIFY(!s.isModified());
        QVERIFY(s.table().isOpen());
        QCOMPARE(sig.take(), QStringList{"reloaded"});

        s.markModified();
        s.close();
        QVERIFY(!s.isOpen());
        QVERIFY(!s.isModified());
        QVERIFY(!s.table().isOpen());
        QCOMPARE(sig.take(), QStringList{"closed"});

        // Closing without a table still tells the window to show none; saving does nothing.
        s.close();
        s.save();
        QCOMPARE(sig.take(), QStringList{"closed"});
    }

    void aFileThatIsNoMeasurementTableOpensNothing() {
        const QString bad = m_dir.filePath("bad.dbf");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a table");
        f.close();

        TableSession s;
        Signals sig(s);
        QVERIFY_THROWS_EXCEPTION(KvError, s.open(bad));
        QVERIFY(!s.isOpen());
        QCOMPARE(sig.take(), QStringList{});

        // The table open before is gone too: the window must show none.
        s.open(table("b.dbf"));
        sig.take();
        QVERIFY_THROWS_EXCEPTION(KvError, s.open(bad));
        QVERIFY(!s.isOpen());
        QVERIFY(!s.table().isOpen());
        QCOMPARE(sig.take(), QStringList{"closed"});
    }

    void aSaveThatCannotTakeTheFileBackLeavesNoTable() {
        const QString path = table("c.dbf");
        TableSession s;
        s.open(path);
        s.markModified();
        Signals sig(s);
        QVERIFY(QFile::remove(path)); // the open table's file vanishes under it
        QVERIFY_THROWS_EXCEPTION(KvError, s.save());
        QVERIFY(!s.isOpen());
        QVERIFY(!s.isModified());
        QCOMPARE(sig.take(), QStringList{"closed"});
    }

    void replaceOpensWhatTheStepLeavesOpen() {
        TableSession s;
        s.open(table("d.dbf"));
        s.markModified();
        Signals sig(s);
        const QString other = table("e.dbf", 5);
        s.replace([&](DbfTable& t) { MeasurementTable::open(t, other); });
        QVERIFY(s.isOpen());
        QVERIFY(!s.isModified());
        QCOMPARE(s.table().recordCount(), 5);
        QCOMPARE(sig.take(), (QStringList{"closed", "opened"}));

        QVERIFY_THROWS_EXCEPTION(KvError, s.replace([&](DbfTable& t) {
            MeasurementTable::open(t, other);
            throw KvError(QStringLiteral("disk full"));
        }));
        QVERIFY(!s.isOpen());
        QVERIFY(!s.table().isOpen());
        QCOMPARE(sig.take(), QStringList{"closed"});
    }

    void changeFollowsTheTableWhenAStepFails() {
        TableSession s;
        s.open(table("f.dbf"));
        Signals sig(s);

        s.change([](DbfTable& t) { appendSample(t, sampleRows(4).back()); });
        QVERIFY(s.isOpen());
        QCOMPARE(s.table().recordCount(), 4);
        QCOMPARE(sig.take(), QStringList{"rowsChanged"});

        // Reopened as it was: still open, and still edited if it was.
        s.markModified();
        QVERIFY_THROWS_EXCEPTION(KvError, s.change([](DbfTable&) { throw KvError(QStringLiteral("no")); }));
        QVERIFY(s.isOpen());
        QVERIFY(s.isModified());
        QCOMPARE(sig.take(), QStringList{"rowsChanged"});

        // Not reopened: the session has no table any more.
        QVERIFY_THROWS_EXCEPTION(KvError, s.change([](DbfTable& t) {
            t.close();
            throw KvError(QStringLiteral("no"));
        }));
        QVERIFY(!s.isOpen());
        QVERIFY(!s.isModified());
        QCOMPARE(sig.take(), QStringList{"closed"});
    }

    void modeTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode"); // -1: refused
        QTest::newRow("operative") << "0" << 0;
        QTest::newRow("standby") << "1" << 1;
        QTest::newRow("observation") << "2" << 2;
        QTest::newRow("past the modes") << "3" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("no number") << "x" << -1;
        QTest::newRow("fraction") << "1.5" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void modeTexts() {
        QFETCH(QString, text);
        QFETCH(int, mode);
        if (mode < 0) {
            try {
                MeasurementTable::parseMode(text);
                QFAIL("a mode outside 0..2 was taken");
            } catch (const KvError& e) {
                QCOMPARE(e.message(), QStringLiteral("Режим должен быть 0, 1 или 2, а не «%1».").arg(text));
            }
            return;
        }
        QCOMPARE(MeasurementTable::parseMode(text), mode);
        QCOMPARE(MeasurementTable::modeFilter(mode), QStringLiteral("MODE=") + text);
    }

    void sortTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field"); // empty: refused
        QTest::addColumn<bool>("descending");
        QTest::newRow("plain") << "F"
                               << "F" << false;
        QTest::newRow("lower case, descending") << "a_sr:DESC"
                                                << "A_SR" << true;
        QTest::newRow("ascending said") << "Date:asc"
                                        << "DATE" << false;
        QTest::newRow("no such field") << "SPEED:desc"
                                       << "" << false;
        QTest::newRow("suffix alone") << ":desc"
                                      << "" << false;
    }
    void sortTexts() {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(bool, descending);
        DbfTable t;
        MeasurementTable::open(t, table("sort.dbf", 1), DbfTable::Access::ReadOnly);
        if (field.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(KvError, MeasurementTable::parseSort(text, t));
            return;
        }
        const MeasurementTable::SortOrder order = MeasurementTable::parseSort(text, t);
        QCOMPARE(order.field, field);
        QCOMPARE(order.descending, descending);
    }
};

QTEST_GUILESS_MAIN(TestTableSession)
#include "test_table_session.moc"
