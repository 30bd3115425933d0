// The points on disk: the catalogue file as other programs read and write it, the notes that an
// assignment and a rename write into the measurement tables, and the tables of the folder.
#include "PointsTables.h"

#include "core/Error.h"
#include "points/CatalogueFile.h"
#include "points/CatalogueModel.h"
#include "points/Notes.h"
#include "points/OverviewRows.h"
#include "points/Rename.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace points;

namespace {

const QString p1 = QStringLiteral("Цех 1/Насос/П1");
const QString p2 = QStringLiteral("Цех 1/Насос/П2");
const QString d1 = QStringLiteral("01.03.2025");
const QString t1 = QStringLiteral("10:00:00");

void writeCatalogue(const QString& path, const std::vector<PointEntry>& entries) {
    createCatalogue(path);
    CatalogueEditor editor;
    editor.open(path);
    editor.change([&](CatalogueModel& m) {
        for (const PointEntry& e : entries)
            m.add(e);
    });
}

// Another program's way of reading a catalogue: each record as NAME|CLASS|A_B|…|DAYS.
const char* const readWithDbfread = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp1251')
print(' '.join('%s:%s:%d:%d' % (f.name, f.type, f.length, f.decimal_count) for f in t.fields))
for r in t:
    print('|'.join('' if v is None else str(v) for v in r.values()))
)";

struct Folder {
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

} // namespace

class TestPointsFiles : public QObject {
    Q_OBJECT
private slots:
    void catalogueIsADbaseTableOthersRead() {
        Folder f;
        const QString cat = f.path("Каталог.dbf");
        PointEntry own = point(p2, QString());
        own.ab = 1;
        own.bc = 2.5;
        own.cd = 4.125;
        own.alert = 3;
        own.days = 30;
        PointEntry cls = point(p1);
        cls.base = 0.8;
        writeCatalogue(cat, {cls, own});
        QCOMPARE(readCatalogue(cat), (std::vector<PointEntry>{cls, own}));

        const QByteArray bytes = fileBytes(cat);
        QCOMPARE(quint8(bytes[29]), quint8(0xC9));
        int code = -1;
        const QString out = runPython(QString::fromUtf8(readWithDbfread), {cat}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        QCOMPARE(out, QStringLiteral("NAME:C:50:0 CLASS:C:8:0 A_B:N:8:3 B_C:N:8:3 C_D:N:8:3 BASE:N:8:3 "
                                     "ALERT:N:8:3 DANGER:N:8:3 DAYS:N:4:0\n"
                                     "Цех 1/Насос/П1|II||||0.8|||\n"
                                     "Цех 1/Насос/П2||1.0|2.5|4.125||3.0||30\n"));
    }

    // Another program saved the catalogue with other widths: it is read, and written in its widths.
    void catalogueOfOtherWidthsKeepsThem() {
        Folder f;
        const QString cat = f.path("other.dbf");
        int code = -1;
        QString out = runPython(QStringLiteral(R"(
import sys, dbf
t = dbf.Table(sys.argv[1], 'NAME C(60); CLASS C(3); A_B N(10,4); B_C N(10,4); C_D N(10,4); BASE N(6,2); '
              'ALERT N(6,2); DANGER N(6,2); DAYS N(3,0)', codepage='cp1251', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append({'name': 'Цех 1/Насос/П1', 'class': 'II', 'days': 7})
t.append({'name': 'Цех 1/Насос/П2', 'a_b': 1.5, 'b_c': 2.5, 'c_d': 3.5})
t.close()
)"),
                                {cat}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        CatalogueEditor editor;
        editor.open(cat);
        QCOMPARE(editor.entries().size(), size_t(2));
        QCOMPARE(editor.entries()[0].days, std::optional<qint64>(7));
        QCOMPARE(editor.entries()[1].bc, std::optional(2.5));

        editor.change([](CatalogueModel& m) { m.setInterval({p2}, 14); });
        // DAYS N(3,0) cannot hold 1000: refused, the file as it was.
        const QByteArray before = fileBytes(cat);
        QVERIFY_THROWS_EXCEPTION(KvError,
                                 editor.change([](CatalogueModel& m) { m.setInterval({p1}, 1000); }));
        QCOMPARE(fileBytes(cat), before);
        QCOMPARE(editor.entries()[0].days, std::optional<qint64>(7));
        editor.close();

        out = runPython(QString::fromUtf8(readWithDbfread), {cat}, &code);
        QVERIFY2(code == 0, qPrintable(out));
        QCOMPARE(out, QStringLiteral("NAME:C:60:0 CLASS:C:3:0 A_B:N:10:4 B_C:N:10:4 C_D:N:10:4 BASE:N:6:2 "
                                     "ALERT:N:6:2 DANGER:N:6:2 DAYS:N:3:0\n"
                                     "Цех 1/Насос/П1|II|||||||7\n"
                                     "Цех 1/Насос/П2||1.5|2.5|3.5||||14\n"));
    }

    // A program that ignores the lock changed a record in place: the next change starts from it.
    void editorReadsTheFileAgainBeforeEachChange() {
        Folder f;
        const QString cat = f.path("cat.dbf");
        createCatalogue(cat);
        CatalogueEditor editor;
        editor.open(cat);
        editor.change([](CatalogueModel& m) { m.add(point(p1)); });
        {
            QFile raw(cat);
            QVERIFY(raw.open(QIODevice::ReadWrite));
            const QByteArray bytes = raw.readAll();
            const qsizetype at = bytes.indexOf("II      ");
            QVERIFY(at > 0);
            raw.seek(at);
            raw.write("IV");
        }
        editor.change([](CatalogueModel& m) { m.add(point(p2)); });
        QCOMPARE(readCatalogue(cat)[0].cls, QStringLiteral("IV"));
        QCOMPARE(editor.entries()[0].cls, QStringLiteral("IV"));
    }

    void assigningWritesNotesAndLeavesTooLongOnes() {
        Folder f;
        const QString table = f.path("t.dbf");
        writeNoteTable(table, {{d1, t1, 1.0, QString()},
                               {d1, t1, 1.0, p2 + QStringLiteral(";горячий")},
                               {d1, t1, 1.0, QString(40, QLatin1Char('x'))},
                               {d1, t1, 1.0, QStringLiteral("другое")}});
        DbfTable t;
        MeasurementTable::open(t, table);
        t.goToRecNo(4);
        const AssignmentPlan plan = assignPoint(t, {1, 2, 3}, p1, PointIndex({point(p1), point(p2)}));
        QCOMPARE(plan.tooLong, std::vector<int>{3});
        QCOMPARE(plan.changes.size(), size_t(2));
        QCOMPARE(t.recNo(), 4);
        t.close();
        QCOMPARE(notesOf(table), (QStringList{p1, p1 + QStringLiteral(";горячий"),
                                              QString(40, QLatin1Char('x')), QStringLiteral("другое")}));
        QCOMPARE(tooLongMessage(plan.tooLong),
                 QStringLiteral("Примечание не поместилось бы в 50 знаков, записи оставлены как были: 3."));
    }

    void renameRewritesTheNotesOfEveryTableOfTheFolder() {
        Folder f;
        const QString cat = f.path("cat.dbf");
        writeCatalogue(cat, {point(p1), point(p2), point(QStringLiteral("Цех 2/Вентилятор"))});
        const QString a = f.path("a.dbf"), b = f.path("b.dbf"), hidden = f.path(".скрытая.dbf");
        writeNoteTable(a, {{d1, t1, 1.0, p1},
                           {d1, t1, 1.0, p1 + QStringLiteral(";горячий")},
                           {d1, t1, 1.0, p1 + QStringLiteral(" 3")},
                           {d1, t1, 1.0, QStringLiteral("Цех 1/Насос")},
                           {d1, t1, 1.0, QStringLiteral("другое")}});
        writeNoteTable(b, {{d1, t1, std::nullopt, p2 + QStringLiteral(";")}});
        writeNoteTable(hidden, {{d1, t1, 1.0, p1}});
        // A table of other fields with such a note is no measurement table: left alone.
        const QString other = f.path("c.dbf");
        DbfTable::create(other, {{QStringLiteral("COMMENT"), 'C', 50, 0}});
        {
            DbfTable t;
            t.open(other);
            t.append();
            t.setValue(0, p1);
            t.post();
        }
        // The caller's open table elsewhere takes part through its own object, filter and all.
        QTemporaryDir elsewhere;
        const QString open = elsewhere.filePath(QStringLiteral("open.dbf"));
        writeNoteTable(open, {{d1, t1, 1.0, p2, 0}, {d1, t1, 1.0, p2, 1}, {d1, t1, 1.0, QString(), 1}});
        DbfTable held;
        MeasurementTable::open(held, open);
        held.setFilter(MeasurementTable::modeFilter(1));
        held.setFiltered(true);
        held.goToRecNo(3);
        const QByteArray hiddenBytes = fileBytes(hidden), otherBytes = fileBytes(other);

        CatalogueEditor editor;
        editor.open(cat);
        const RenameResult r =
            renameLevel(editor, QStringLiteral("Цех 1/Насос"), QStringLiteral("Цех 1/Помпа"), {&held});
        QCOMPARE(r.names, (NameChanges{{p1, "Цех 1/Помпа/П1"}, {p2, "Цех 1/Помпа/П2"}}));
        QCOMPARE(r.notes, 5);
        QCOMPARE(r.tables, (std::vector<QString>{open, a, b}));
        QCOMPARE(notesOf(a), (QStringList{"Цех 1/Помпа/П1", "Цех 1/Помпа/П1;горячий",
                                          p1 + QStringLiteral(" 3"), "Цех 1/Насос", "другое"}));
        QCOMPARE(notesOf(b), QStringList{"Цех 1/Помпа/П2;"});
        QCOMPARE(fileBytes(hidden), hiddenBytes);
        QCOMPARE(fileBytes(other), otherBytes);
        QVERIFY(held.filtered());
        QCOMPARE(held.recNo(), 3);
        QCOMPARE(held.recordCount(), 2);
        held.close();
        QCOMPARE(notesOf(open), (QStringList{"Цех 1/Помпа/П2", "Цех 1/Помпа/П2", ""}));
        QCOMPARE(readCatalogue(cat)[1].name, QStringLiteral("Цех 1/Помпа/П2"));
        QCOMPARE(editor.entries()[0].name, QStringLiteral("Цех 1/Помпа/П1"));
    }

    void renameIsRefusedWholeAndNamesWhy_data() {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<bool>("lockB");
        QTest::addColumn<QString>("message");
        QTest::newRow("a note grows beyond 50")
            << QStringLiteral("Цех 1/Насос/П1 вертикальный") << false
            << QStringLiteral("«a.dbf», запись 2: примечание «Цех 1/Насос/П1 вертикальный;");
        QTest::newRow("a table with the point's records held by another writer")
            << QStringLiteral("Цех 1/Насос/П9") << true << QStringLiteral("«b.dbf»: ");
        QTest::newRow("a name the catalogue has") << p2 << false << QStringLiteral("уже есть в каталоге");
        QTest::newRow("a name with ;") << QStringLiteral("П;1") << false << QStringLiteral("«;»");
    }
    void renameIsRefusedWholeAndNamesWhy() {
        QFETCH(QString, newName);
        QFETCH(bool, lockB);
        QFETCH(QString, message);
        Folder f;
        const QString cat = f.path("cat.dbf");
        writeCatalogue(cat, {point(p1), point(p2)});
        const QString a = f.path("a.dbf"), b = f.path("b.dbf"), c = f.path("c.dbf");
        writeNoteTable(a, {{d1, t1, 1.0, p1}, {d1, t1, 1.0, p1 + QStringLiteral(";") + QString(30, u'ё')}});
        writeNoteTable(b, {{d1, t1, 1.0, p1}});
        writeNoteTable(c, {{d1, t1, 1.0, p2}});
        // Held by another writer too, but without records of the point: it never stands in the way.
        DbfTable otherWriterC;
        otherWriterC.open(c);
        DbfTable otherWriterB;
        if (lockB)
            otherWriterB.open(b);
        const QByteArray before[] = {fileBytes(cat), fileBytes(a), fileBytes(b), fileBytes(c)};

        CatalogueEditor editor;
        editor.open(cat);
        try {
            renamePoint(editor, p1, newName);
            QFAIL("renamed");
        } catch (const KvError& e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        otherWriterB.close();
        otherWriterC.close();
        const QByteArray after[] = {fileBytes(cat), fileBytes(a), fileBytes(b), fileBytes(c)};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(after[i] == before[i], qPrintable(QString::number(i)));
        QCOMPARE(editor.entries()[0].name, p1);

        // Once nothing stands in the way of a shorter name, the same rename goes through.
        if (lockB)
            QCOMPARE(renamePoint(editor, p1, newName).notes, 3);
    }

    // The notes are saved before the catalogue; when the catalogue then fails (another program made
    // its NAME narrower than the new name), the tables get their notes back.
    void renameThatFailsAtTheCataloguePutsTheNotesBack() {
        Folder f;
        const QString cat = f.path("cat.dbf");
        std::vector<DbfField> narrow = catalogueFields();
        narrow[0].length = 20;
        DbfTable::create(cat, narrow);
        CatalogueEditor editor;
        editor.open(cat);
        editor.change([](CatalogueModel& m) { m.add(point(p1)); });
        const QString a = f.path("a.dbf"), b = f.path("b.dbf");
        writeNoteTable(a, {{d1, t1, 1.0, p1}, {d1, t1, 1.0, QStringLiteral("x")}});
        writeNoteTable(b, {{d1, t1, 1.0, p1 + QStringLiteral(";y")}});
        const QByteArray before[] = {fileBytes(cat), fileBytes(a), fileBytes(b)};
        try {
            renamePoint(editor, p1, QStringLiteral("Цех 1/Насос/П1 горизонтальный"));
            QFAIL("renamed");
        } catch (const KvError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Переименование не сохранено: ")),
                     qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("Не удалось вернуть")), qPrintable(e.message()));
        }
        const QByteArray after[] = {fileBytes(cat), fileBytes(a), fileBytes(b)};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(after[i] == before[i], qPrintable(QString::number(i)));
        QCOMPARE(editor.entries()[0].name, p1);
    }

    void folderReadingSkipsAndNamesWhatItLeavesOut() {
        Folder f;
        const QString cat = f.path("cat.dbf");
        writeCatalogue(cat, {point(p1)});
        writeNoteTable(f.path("b.dbf"), {{d1, t1, 1.0, p1}});
        writeNoteTable(f.path("a.DBF"), {{d1, t1, 2.0, p1}, {d1, t1, 2.0, QString()}});
        writeNoteTable(f.path(".h.dbf"), {{d1, t1, 3.0, p1}});
        DbfTable::create(f.path("other.dbf"), {{QStringLiteral("COMMENT"), 'C', 50, 0}});
        QFile junk(f.path("junk.dbf"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a table at all, but long enough to have a header of 32 bytes");
        junk.close();

        const FolderRows r = readFolder(cat);
        QCOMPARE(r.tables, (std::vector<QString>{f.path("a.DBF"), f.path("b.dbf")}));
        QCOMPARE(r.rows.size(), size_t(3));
        QCOMPARE(r.rows[2].table, 1);
        QCOMPARE(r.rows[2].vsr, 1.0);
        QStringList skipped;
        for (const SkippedFile& s : r.skipped)
            skipped << s.fileName + QStringLiteral(": ") + s.reason.left(20);
        QCOMPARE(skipped.size(), 4);
        QVERIFY2(skipped.contains(".h.dbf: скрытый файл"), qPrintable(skipped.join('\n')));
        QVERIFY2(skipped.contains("cat.dbf: каталог оборудования"), qPrintable(skipped.join('\n')));
        QVERIFY2(skipped.contains("other.dbf: другие поля"), qPrintable(skipped.join('\n')));
        QVERIFY2(skipped.filter(QStringLiteral("junk.dbf: ")).size() == 1, qPrintable(skipped.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestPointsFiles)
#include "test_points_files.moc"
