#include "AppFixture.h"
#include "GridActions.h"

#include "chart/TrendSeries.h"
#include "chart/ui/ChartView.h"
#include "chart/ui/ChartWindow.h"
#include "core/Cp1251.h"
#include "grid/ui/DBGridPro.h"
#include "output/export/ExcelExport.h"
#include "output/modereports/ModeReports.h"
#include "output/xls/TvteXLSWorkbook.h"
#include "ui/ModeViews.h"
#include "ui/TForm3.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

namespace {

using namespace grid_actions;

// The values of a field in the rows the views show, in their order.
QList<double> shown(TForm1& w, const char* field) {
    DbfDataLink& link = w.views().dataLink();
    const int f = link.fieldIndex(QString::fromLatin1(field));
    QList<double> values;
    for (int r = 0; r < link.rowCount(); ++r)
        values << link.value(r, f).toDouble();
    return values;
}

QString cellText(DBGridPro* g, int row, int column) {
    QAbstractItemModel* model = g->view()->model();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

QString mdxOf(const QString& table) {
    return table.chopped(4) + QStringLiteral(".mdx");
}

void typeText(QWidget* editor, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where the table's cursor stands and the note it holds, pending or stored.
QString cursorOf(const DbfTable& t) {
    return QStringLiteral("state %1, position %2, record %3, eof %4, note %5")
        .arg(int(t.state()))
        .arg(t.position())
        .arg(t.recNo())
        .arg(t.eof())
        .arg(t.value(QStringLiteral("COMMENT")).toString());
}

} // namespace

class TestAppViews : public QObject {
    Q_OBJECT
private slots:
    void eachPageShowsOnlyItsMode() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        const int counts[] = {4, 3, 3};
        for (int page : {1, 2, 0, 2}) {
            w.views().PageControl1->setCurrentIndex(page);
            QCOMPARE(w.activePage(), page);
            QCOMPARE(w.grid(page)->rowCount(), counts[page]);
            QCOMPARE(shown(w, "MODE"), QList<double>(counts[page], double(page)));
        }
        QCOMPARE(w.session().table().filter(), QStringLiteral("MODE=2"));
    }

    void titleClicksSortAndRemovingTheSortDropsTheIndexFile() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        const int F = col(g, "F");
        clickTitle(g, F);
        QCOMPARE(g->column(F).sortState, tsSortedUp);
        QCOMPARE(shown(w, "F"), QList<double>({40, 30, 20, 10}));
        QVERIFY(QFileInfo::exists(mdxOf(path)));
        clickTitle(g, F);
        QCOMPARE(g->column(F).sortState, tsSortedDown);
        QCOMPARE(shown(w, "F"), QList<double>({10, 20, 30, 40}));
        clickTitle(g, F);
        QCOMPARE(shown(w, "F"), QList<double>({40, 30, 20, 10}));

        // Ctrl takes the mark away but leaves the table in the index's order, ascending.
        clickTitle(g, F, Qt::ControlModifier);
        QCOMPARE(g->column(F).sortState, tsSortedNone);
        QCOMPARE(shown(w, "F"), QList<double>({10, 20, 30, 40}));

        const int A = col(g, "A");
        clickTitle(g, A);
        QCOMPARE(g->column(A).sortState, tsSortedUp);
        QCOMPARE(g->column(F).sortState, tsSortedNone);
        QCOMPARE(shown(w, "A"), QList<double>({2.5, 1.5, 1.0, 0.7}));

        // Another page shows its own records in the same order, under its own marks.
        w.views().PageControl1->setCurrentIndex(1);
        QCOMPARE(shown(w, "A"), QList<double>({3.0, 2.0, 1.1}));
        for (const GridColumn& c : w.grid(1)->columns())
            QCOMPARE(c.sortState, tsSortedNone);

        w.views().PageControl1->setCurrentIndex(0);
        control(w, "N32")->trigger();
        for (const GridColumn& c : g->columns())
            QCOMPARE(c.sortState, tsSortedNone);
        QCOMPARE(shown(w, "N"), QList<double>({1, 3, 5, 8}));
        QVERIFY(!QFileInfo::exists(mdxOf(path)));
        control(w, "N16")->trigger();
        QCOMPARE(readHeader(path).indexFlag, 0);
    }

    void closingWhileSortedKeepsTheIndexAndAsksNothing() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        clickTitle(w.grid(0), col(w.grid(0), "F"));
        ModalAnswer answers;
        control(w, "N16")->trigger();
        QVERIFY(answers.seen().empty());
        QVERIFY(QFileInfo::exists(mdxOf(path)));
        QCOMPARE(readHeader(path).indexFlag, 1);
        AppFixture::openThroughDialog(w, path);
        QCOMPARE(shown(w, "F"), QList<double>({40, 30, 20, 10}));
    }

    void aSortTheTableRefusesEndsInTheErrorBox() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        // A folder stands where the index file goes: the sort cannot be written.
        QVERIFY(QDir().mkpath(mdxOf(path)));
        DBGridPro* g = w.grid(0);
        const int F = col(g, "F");
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        clickTitle(g, F);
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Error"));
        QVERIFY(!answers.seen()[0].text.isEmpty());
        // The mark stays as clicked, the rows in record order; the next command runs.
        QCOMPARE(g->column(F).sortState, tsSortedUp);
        QCOMPARE(shown(w, "N"), QList<double>({1, 3, 5, 8}));
        bool ran = false;
        w.dispatch([&] { ran = true; });
        QVERIFY(ran);
    }

    void anotherProgramsIndexIsSortedInMemoryAndLeftAlone() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Чужой.dbf"));
        writeTable(path, mixedRows());
        // An index file of another program, named in upper case as Windows programs do.
        const QString foreign = path.chopped(4) + QStringLiteral(".MDX");
        QByteArray bytes(4096, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 31 + 7);
        {
            QFile file(foreign);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        AppFixture::openThroughDialog(w, path);
        settle();
        DBGridPro* g = w.grid(0);
        const int F = col(g, "F");
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        clickTitle(g, F);
        QCOMPARE(shown(w, "F"), QList<double>({40, 30, 20, 10}));
        QCOMPARE(answers.seen().size(), size_t(1));
        QVERIFY(answers.seen()[0].text.contains(QStringLiteral("Чужой.MDX")));
        // Told once in a run: the next clicks sort without a word.
        clickTitle(g, F);
        QCOMPARE(shown(w, "F"), QList<double>({10, 20, 30, 40}));
        QCOMPARE(answers.seen().size(), size_t(1));
        control(w, "N32")->trigger();
        control(w, "N16")->trigger();
        QFile file(foreign);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        QVERIFY(!QFileInfo::exists(mdxOf(path)));
    }

    void deleteRemovesExactlyTheSelectedRecords_data() {
        QTest::addColumn<QList<int>>("selection"); // empty: the current row stands for it
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<double>>("left"); // N of the operative records left
        QTest::newRow("three selected") << QList<int>({0, 1, 3}) << 0 << QList<double>({5});
        QTest::newRow("current row") << QList<int>() << 2 << QList<double>({1, 3, 8});
    }
    void deleteRemovesExactlyTheSelectedRecords() {
        QFETCH(QList<int>, selection);
        QFETCH(int, current);
        QFETCH(QList<double>, left);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        DBGridPro* g = w.grid(0);
        g->setCurrentCell(current, 0);
        if (!selection.isEmpty())
            g->selectRows(std::vector<int>(selection.begin(), selection.end()));
        ModalAnswer answers;
        control(w, "N24")->trigger();
        QVERIFY(answers.seen().empty());
        QVERIFY(w.TableModified());
        QCOMPARE(shown(w, "N"), left);
        const int deleted = 4 - int(left.size());
        QCOMPARE(readHeader(path).records, std::uint32_t(10 - deleted));
        QCOMPARE(QFileInfo(path).size(), 577 + (10 - deleted) * 265 + 1);

        answers.press(QMessageBox::No);
        control(w, "N16")->trigger();
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].text, QStringLiteral("Сохранить изменения в таблицах ?"));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Кварнел-ЛД5"));
        QCOMPARE(int(columnValues(path, QStringLiteral("N")).size()), 10 - deleted);
    }

    void coloursAndWidthsComeBackAfterReopeningAndRestarting() {
        AppFixture f;
        const QColor red(200, 30, 30);
        QString path;
        {
            auto p = f.start();
            TForm1& w = *p->Form1;
            path = f.openMixed(w);
            w.views().PageControl1->setCurrentIndex(2);
            DBGridPro* g = w.grid(2);
            const int note = col(g, "COMMENT");
            g->setCurrentCell(0, note);
            w.colorDialog().handler = [&](ColorDialog& d) {
                d.color = red;
                return true;
            };
            control(w, "N28")->trigger();
            QCOMPARE(g->column(note).color, red);
            QVERIFY(!w.grid(0)->column(col(w.grid(0), "COMMENT")).color.isValid());
            for (const GridColumn& c : g->columns())
                QCOMPARE(c.color.isValid(), c.fieldName == QLatin1String("COMMENT"));
            g->setColumnWidth(col(g, "DATE"), 150);
            control(w, "N16")->trigger();
            // Forget the run's state: what comes back comes from the stored layout.
            g->clearColors();
            g->setColumnWidth(col(g, "DATE"), 40);
            AppFixture::openThroughDialog(w, path);
            QCOMPARE(g->column(note).color, red);
            QCOMPARE(g->column(col(g, "DATE")).width, 150);
            w.close();
        }
        {
            auto p = f.start();
            TForm1& w = *p->Form1;
            AppFixture::openThroughDialog(w, path);
            DBGridPro* g = w.grid(2);
            QCOMPARE(g->column(col(g, "COMMENT")).color, red);
            QCOMPARE(g->column(col(g, "DATE")).width, 150);
            w.views().PageControl1->setCurrentIndex(2);
            control(w, "N30")->trigger();
            for (const GridColumn& c : g->columns())
                QVERIFY(!c.color.isValid());
            w.close();
        }
        auto p = f.start();
        AppFixture::openThroughDialog(*p->Form1, path);
        for (const GridColumn& c : p->Form1->grid(2)->columns())
            QVERIFY(!c.color.isValid());
    }

    void equalisingA900PixelGridGives69Each() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        w.views().PageControl1->setCurrentIndex(2);
        settle();
        DBGridPro* g = w.grid(2);
        QCOMPARE(g->columnCount(), 13);
        g->resize(900, g->height());
        control(w, "N26")->trigger();
        for (const GridColumn& c : g->columns())
            QCOMPARE(c.width, 69);
        QVERIFY(g->autoFit());
        QList<int> drawn;
        for (int i = 0; i < g->columnCount(); ++i)
            if (g->column(i).visible)
                drawn << g->displayedWidth(i);
        QCOMPARE(drawn.size(), 10);
        QVERIFY(*std::max_element(drawn.begin(), drawn.end()) -
                    *std::min_element(drawn.begin(), drawn.end()) <=
                1);
    }

    void firstOpenStoresAllThreeLayouts() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        for (int page = 0; page < 3; ++page)
            QVERIFY(!storedValue(ModeViews::layoutValueName(page)).isValid());
        f.openMixed(w);
        for (int page = 0; page < 3; ++page) {
            const QString text = storedValue(ModeViews::layoutValueName(page)).toString();
            QVERIFY(text.startsWith(QStringLiteral("object TUniDataStorage")));
            QVERIFY(text.contains(QStringLiteral("\r\n")));
            QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
            DBGridPro* g = w.grid(page);
            const int equal = g->width() / g->columnCount();
            for (const GridColumn& c : g->columns())
                QCOMPARE(c.width, equal);
        }
    }

    void garbageLayoutsAreSurvived_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("binary") << QString::fromLatin1(QByteArray("\x00\xff\x01object\x02<<<<end>>>", 20));
        QTest::newRow("cut") << QStringLiteral(
            "object TUniDataStorage\r\n  Data = <\r\n    item\r\n      FieldName = 'F");
        QTest::newRow("bad values") << QStringLiteral(
            "object TUniDataStorage\nData = <\nitem\nFieldName = 'F'\nWidth = -5x\n"
            "Color = $zz\nSortState = 99\nend\nitem\nend>\nend");
        QTest::newRow("unknown field")
            << QStringLiteral("object TUniDataStorage\r\nData = <\r\nitem\r\nFieldName = 'NOPE'\r\n"
                              "Width = 500\r\nend>\r\nend\r\n");
    }
    void garbageLayoutsAreSurvived() {
        QFETCH(QString, text);
        AppFixture f;
        for (int page = 0; page < 3; ++page)
            storeValue(ModeViews::layoutValueName(page), text);
        auto p = f.start();
        TForm1& w = *p->Form1;
        const std::vector<GridColumn> before = w.grid(0)->columns();
        f.openMixed(w);
        QVERIFY(w.TableOpen());
        QCOMPARE(w.grid(0)->rowCount(), 4);
        QCOMPARE(w.grid(0)->columnCount(), int(before.size()));
        for (std::size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(w.grid(0)->column(int(i)).fieldName, before[i].fieldName);
            QCOMPARE(w.grid(0)->column(int(i)).width, before[i].width);
        }
    }

    void rootMeanSquareOnStandbyTakesThePlaceOfTheAmplitude_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("point") << QStringLiteral("C") << QStringLiteral("01.414");
        QTest::newRow("comma") << QStringLiteral("ru_RU") << QStringLiteral("01,414");
    }
    void rootMeanSquareOnStandbyTakesThePlaceOfTheAmplitude() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        w.views().PageControl1->setCurrentIndex(1);
        DBGridPro* g = w.grid(1);
        g->setColumnWidth(col(g, "A"), 123);
        g->setColumnWidth(col(g, "TR_A"), 77);
        const std::vector<GridColumn> before = g->columns();

        ModalAnswer answers;
        answers.then([](QWidget* dialog) {
            auto* form = qobject_cast<TForm3*>(dialog);
            QVERIFY(form);
            QVERIFY(form->RadioButton1->isChecked());
            QVERIFY(form->RadioButton5->isChecked());
            form->RadioButton2->click();
            form->Button2->click();
        });
        control(w, "N37")->trigger();
        const QString a_sr = cellText(g, 0, col(g, "A_SR"));
        QLocale::setDefault(saved);
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().at(0).title, QStringLiteral("Формат данных"));
        for (auto [amplitude, rms] : {std::pair{"A", "A_SR"}, {"V", "V_SR"}, {"TR_A", "TR_A_SR"}}) {
            const GridColumn& from = before[std::size_t(col(g, amplitude))];
            const GridColumn& to = g->column(col(g, rms));
            QVERIFY(!g->column(col(g, amplitude)).visible);
            QVERIFY(to.visible);
            QCOMPARE(to.width, from.width);
            QCOMPARE(to.title, from.title);
        }
        QVERIFY(g->column(col(g, "S")).visible);
        QCOMPARE(a_sr, text); // 2.0 m/s² as its root-mean-square value
        // The other views keep their own choice.
        QVERIFY(w.grid(0)->column(col(w.grid(0), "A")).visible);
        QVERIFY(w.grid(2)->column(col(w.grid(2), "A")).visible);
    }

    void theDialogShowsTheColumnsAndCancelChangesNothing() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        w.views().PageControl1->setCurrentIndex(2);
        ModalAnswer answers;
        answers.then([](QWidget* d) {
            auto* form = static_cast<TForm3*>(d);
            form->RadioButton6->click();
            form->Button2->click();
        });
        control(w, "N38")->trigger();
        DBGridPro* g = w.grid(2);
        QVERIFY(g->column(col(g, "S_SR")).visible);
        QVERIFY(!g->column(col(g, "S")).visible);
        const std::vector<GridColumn> chosen = g->columns();

        bool fullChecked = false;
        answers.then([&](QWidget* d) {
            auto* form = static_cast<TForm3*>(d);
            fullChecked = form->RadioButton6->isChecked() && form->RadioButton1->isChecked();
            form->RadioButton5->click();
            form->RadioButton2->click();
            QTest::keyClick(form, Qt::Key_Escape); // Esc does not end the dialog
            QVERIFY(form->isVisible());
            form->Button1->click();
        });
        control(w, "N37")->trigger();
        QVERIFY(fullChecked);
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            QCOMPARE(g->column(int(i)).visible, chosen[i].visible);
            QCOMPARE(g->column(int(i)).width, chosen[i].width);
        }
        QCOMPARE(answers.unexpected(), 0);
        // "Оперативный" was never switched.
        w.views().PageControl1->setCurrentIndex(0);
        bool defaults = false;
        answers.then([&](QWidget* d) {
            auto* form = static_cast<TForm3*>(d);
            defaults = form->RadioButton1->isChecked() && form->RadioButton5->isChecked();
            form->Button1->click();
        });
        control(w, "N37")->trigger();
        QVERIFY(defaults);
    }

    void editingANoteMarksTheTableAndClosingAsks_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(QMessageBox::Yes);
        QTest::newRow("no") << int(QMessageBox::No);
    }
    void editingANoteMarksTheTableAndClosingAsks() {
        QFETCH(int, answer);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        QVERIFY(!startEdit(w, g, 0, col(g, "F")));
        QVERIFY(!w.TableModified());
        QLineEdit* editor = startEdit(w, g, 1, col(g, "COMMENT"));
        QVERIFY(editor);
        QVERIFY(w.TableModified());
        editor->clear();
        typeText(editor, QStringLiteral("Подшипник №2"));
        QTest::keyClick(editor, Qt::Key_Return);

        ModalAnswer answers;
        answers.press(QMessageBox::StandardButton(answer));
        control(w, "N16")->trigger();
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].text, QStringLiteral("Сохранить изменения в таблицах ?"));
        QCOMPARE(columnValues(path, QStringLiteral("COMMENT")).at(2).toString(),
                 QStringLiteral("Подшипник №2"));
    }

    // Painting the grid, opening the chart and reading for the export and the report leave the
    // cursor where it stands and a pending edit or append unposted.
    void readingRowsMovesNothingAndPostsNothing_data() {
        QTest::addColumn<QString>("pending");
        QTest::addColumn<QStringList>("notes"); // of "Оперативный" as every reader sees them
        const QStringList stored{QStringLiteral("о1"), QStringLiteral("о2"), QStringLiteral("о3"),
                                 QStringLiteral("о4")};
        QStringList edited = stored;
        edited[1] = QStringLiteral("правка");
        QTest::newRow("a note being edited") << QStringLiteral("edit") << edited;
        QTest::newRow("cursor past the last record") << QStringLiteral("eof") << stored;
        QTest::newRow("a record being appended") << QStringLiteral("append") << stored;
    }
    void readingRowsMovesNothingAndPostsNothing() {
        QFETCH(QString, pending);
        QFETCH(QStringList, notes);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        DbfTable& t = w.session().table();
        control(w, "N40")->trigger(); // the chart window, open beside the grid
        auto* chart = w.findChild<ChartWindow*>();
        QVERIFY(chart);
        QLineEdit* editor = nullptr;
        if (pending == QLatin1String("edit")) {
            editor = startEdit(w, g, 1, col(g, "COMMENT"));
            QVERIFY(editor);
            editor->setText(notes[1]);
            // The table holds the typed note as an edit not yet posted.
            t.setValue(QStringLiteral("COMMENT"), notes[1]);
        } else if (pending == QLatin1String("eof")) {
            t.last();
            t.next();
        } else {
            t.append();
            t.setValue(QStringLiteral("MODE"), 0);
            t.setValue(QStringLiteral("COMMENT"), QStringLiteral("новая"));
        }
        const QString before = cursorOf(t);
        const QByteArray bytes = fileBytes(path);

        g->grab();
        chart->view()->chart().setSeries({});
        chart->refresh(); // as after an edit elsewhere
        chart->grab();
        DbfDataLink& link = w.views().dataLink();
        const int comment = link.fieldIndex(QStringLiteral("COMMENT"));
        QStringList linked, inGrid, exported;
        TvteXLSWorkbook book;
        excel_export::fillWorkbook(book, t, 0, QString());
        for (int row = 0; row < link.rowCount(); ++row) {
            linked << link.value(row, comment).toString();
            inGrid << cellText(g, row, col(g, "COMMENT"));
            exported << cp1251::decode(book.SheetAt(0).Cells(7, row + 1).Value().toText8());
        }
        const chart::Series series = chart::buildSeries(t, QStringLiteral("F"));
        const report::PreparedReport report = reports::prepareModeReport(t, 0);

        QCOMPARE(cursorOf(t), before);
        QCOMPARE(fileBytes(path), bytes);
        QCOMPARE(linked, notes);
        QCOMPARE(inGrid, notes);
        QCOMPARE(exported, notes);
        for (const QString& note : notes)
            QVERIFY2(report.find(note).found(), qPrintable(note));
        QCOMPARE(series.recNo, (std::vector<int>{1, 3, 5, 8}));
        QCOMPARE(chart->view()->chart().series().recNo, series.recNo);
        if (editor) {
            QVERIFY(g->isEditing());
            QCOMPARE(editor->text(), notes[1]);
        }
    }

    void theNoteEditorRefusesWhatTheFileCannotHold() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        QLineEdit* editor = startEdit(w, g, 0, col(g, "COMMENT"));
        QVERIFY(editor);
        editor->clear();
        typeText(editor, QStringLiteral("αβ厂Ж"));
        QCOMPARE(editor->text(), QStringLiteral("Ж"));
        QTest::keyClicks(editor, QString(60, QLatin1Char('x')));
        QCOMPARE(editor->text().size(), 50);
        QTest::keyClick(editor, Qt::Key_Return);
        control(w, "N15")->trigger();
        QCOMPARE(columnValues(path, QStringLiteral("COMMENT")).at(0).toString(),
                 QStringLiteral("Ж") + QString(49, QLatin1Char('x')));
    }
};

QTEST_MAIN(TestAppViews)
#include "test_app_views.moc"
