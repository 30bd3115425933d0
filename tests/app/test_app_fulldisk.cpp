// The window's own commands when the disk fills up: the user is told, the files are left as they
// were (no temporary file beside them), and the window goes on with a table it can still use.
#include "AppFixture.h"
#include "tests/support/FileSizeLimit.h"

#include "grid/ui/DBGridPro.h"
#include "tests/support/TestImages.h"

#include <QDir>
#include <QTabWidget>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        files.insert(name, readFile(dir + QLatin1Char('/') + name));
    return files;
}

std::function<bool(FileDialog&)> answerWith(const QString& path) {
    return [path](FileDialog& d) {
        d.fileName = path;
        return true;
    };
}

// Runs a command of the window while no file may grow past room bytes, and answers the boxes it
// opens with OK. Every box it opened comes back, the unexpected ones too.
std::vector<ModalAnswer::Seen> onFullDisk(rlim_t room, const std::function<void()>& command) {
    FileSizeLimit full(room);
    if (!full.active())
        return {{QStringLiteral("FileSizeLimit"), QStringLiteral("no limit set"), QString()}};
    ModalAnswer answers;
    answers.press(QMessageBox::Ok);
    command();
    full.lift();
    return answers.seen();
}

constexpr qsizetype kHeaderLength = 577; // 32 + 17 fields * 32 + 1
constexpr qsizetype kRecordLength = 265;

} // namespace

class TestAppFullDisk : public QObject {
    Q_OBJECT
private slots:
    void init() { QGuiApplication::setApplicationDisplayName(QStringLiteral("Кварнел-ЛД5")); }

    // A deletion marks its rows in place and then packs into a new file: with no room for that
    // file the rows stay marked (the views hide them), every other byte stays, and the next
    // deletion with room packs them all away.
    void deletionWhosePackFindsNoRoom() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("big.dbf"));
        std::vector<TestRow> rows;
        for (int n = 1; n <= 200; ++n)
            rows.push_back({n, 0, 1.0 + n / 100.0, double(n), QString()});
        writeTable(path, rows);
        {
            // Half of the records already marked, so the packed file is large but the marks
            // the deletion writes lie near the start.
            DbfTable t;
            MeasurementTable::open(t, path);
            for (t.first(); !t.eof(); t.next())
                t.deleteRecord(); // moves on to the next record: every second one goes
            t.close();
        }
        AppFixture::openThroughDialog(w, path);
        QVERIFY(w.TableOpen());
        QCOMPARE(w.grid(0)->rowCount(), 100);
        const QByteArray before = readFile(path);
        const auto filesBefore = snapshot(QFileInfo(path).absolutePath());

        DBGridPro& g = *w.grid(0);
        g.setCurrentCell(0, 0); // record 2, the first live one
        const auto seen = onFullDisk(4096, [&w] { control(w, "N24")->trigger(); });
        QCOMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen[0].title, QStringLiteral("Error"));
        QVERIFY(!seen[0].text.isEmpty());
        QCOMPARE(snapshot(QFileInfo(path).absolutePath()).keys(), filesBefore.keys());
        const QByteArray after = readFile(path);
        QCOMPARE(after.size(), before.size());
        const qsizetype mark = kHeaderLength + kRecordLength; // the deletion flag of record 2
        QCOMPARE(after.at(mark), '*');
        QCOMPARE(after.left(mark), before.left(mark));
        QCOMPARE(after.mid(mark + 1), before.mid(mark + 1));

        // The window still shows the table, without the row the user deleted.
        QVERIFY(w.TableOpen());
        QVERIFY(w.TableModified());
        QCOMPARE(g.rowCount(), 99);
        QCOMPARE(int(columnValues(path, QStringLiteral("N")).size()), 99);
        QCOMPARE(columnValues(path, QStringLiteral("N")).front().toInt(), 4);

        ModalAnswer none;
        g.setCurrentCell(0, 0);
        control(w, "N24")->trigger();
        QVERIFY(none.seen().empty());
        QCOMPARE(g.rowCount(), 98);
        QCOMPARE(readHeader(path).records, 98u);
        QCOMPARE(QFileInfo(path).size(), kHeaderLength + 98 * kRecordLength + 1);
    }

    // The workbook goes to a temporary file first: an older one of the same name survives.
    void exportFindsNoRoom() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString table = f.openMixed(w);
        const QString xls = f.dataPath(QStringLiteral("view.xls"));
        writeFile(xls, QByteArray("an older workbook the user keeps"));
        const auto before = snapshot(QFileInfo(table).absolutePath());

        w.saveDialog().handler = answerWith(xls);
        const auto seen = onFullDisk(1024, [&w] { control(w, "Excel1")->trigger(); });
        QCOMPARE(seen.size(), std::size_t(1)); // no success message
        QCOMPARE(seen[0].title, QStringLiteral("Error"));
        QCOMPARE(snapshot(QFileInfo(table).absolutePath()), before);
        QVERIFY(w.TableOpen());
        QCOMPARE(w.grid(0)->rowCount(), 4);

        // With room the same command succeeds.
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        control(w, "Excel1")->trigger();
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Экспорт в Excel"));
        QVERIFY(readFile(xls).startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")));
    }

    // A new table from a .bin is written beside the old one of the same name and renamed only
    // when whole: the old table survives a full disk.
    void importOverATableFindsNoRoom() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString bin = f.dataPath(QStringLiteral("memory.bin"));
        writeFile(bin, image::testimages::buildImage(
                           image::testimages::sequence(300, QDateTime(QDate(2011, 5, 20), QTime(8, 0)))));
        const QString table = f.dataPath(QStringLiteral("old.dbf"));
        writeTable(table, mixedRows());
        const auto before = snapshot(QFileInfo(table).absolutePath());

        w.openDialog().handler = answerWith(bin);
        w.saveDialog().handler = answerWith(table);
        const auto seen = onFullDisk(4096, [&w] { w.dispatch([&w] { w.bin1Click(); }); }); // a hidden item
        QCOMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen[0].title, QStringLiteral("Error"));
        QCOMPARE(snapshot(QFileInfo(table).absolutePath()), before);
        QVERIFY(!w.TableOpen());
        QVERIFY(!control(w, "Excel1")->isEnabled());

        // The old table opens as it was; with room the import replaces it.
        AppFixture::openThroughDialog(w, table);
        QVERIFY(w.TableOpen());
        QCOMPARE(w.grid(0)->rowCount(), 4);
        w.openDialog().handler = answerWith(bin);
        ModalAnswer none;
        w.dispatch([&w] { w.bin1Click(); });
        QVERIFY(none.seen().empty());
        QVERIFY(w.TableOpen());
        QCOMPARE(readHeader(table).records, 300u);
    }
};

QTEST_MAIN(TestAppFullDisk)
#include "test_app_fulldisk.moc"
