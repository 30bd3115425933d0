#include "AppFixture.h"
#include "Simulator.h"

#include "grid/ui/DBGridPro.h"
#include "link/sim/ImageGenerator.h"
#include "report/ui/PreviewWindow.h"
#include "ui/ModeViews.h"
#include "ui/TForm2.h"

#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include <map>

namespace {

// Answers the message boxes that open over the download dialog (and after it) with OK, and
// stops a download that hangs. The download dialog itself is left to run.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(TForm1& w, int watchdogMs = 30000) {
        m_poll.setInterval(20);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                titles << box->windowTitle();
                texts << box->text();
                icons << box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_poll.start();
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this, &w] {
            timedOut = true;
            if (w.downloadDialog())
                w.downloadDialog()->reject();
        });
        m_watchdog.start(watchdogMs);
    }
    QStringList titles, texts;
    QList<QMessageBox::Icon> icons;
    bool timedOut = false;

private:
    QTimer m_poll, m_watchdog;
};

// Presses "Отмена" of the download dialog once the dump is coming in, whatever the pace; notes
// the main window's caption at that moment.
void cancelWhileReceiving(TForm2* dialog, const QWidget* mainWindow = nullptr,
                          QString* captionSeen = nullptr) {
    auto* watch = new QTimer(dialog);
    QObject::connect(watch, &QTimer::timeout, dialog, [watch, dialog, mainWindow, captionSeen] {
        if (!dialog->isVisible() || dialog->ProgressBar1->value() <= 0)
            return;
        watch->deleteLater();
        watch->stop();
        if (mainWindow && captionSeen)
            *captionSeen = mainWindow->windowTitle();
        dialog->Button1->click();
    });
    watch->start(10);
}

QByteArray bytesOf(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A machine with no USB serial port.
class NoUsbPorts : public serial::PortLister {
public:
    QList<serial::PortInfo> ports() const override { return {}; }
};

// The dialog answers one file name and remembers how it was prepared.
struct DialogAnswer {
    explicit DialogAnswer(const QString& answer) : path(answer) {}
    QString path;
    QString filter, defaultExt;
    int filterIndex = 0;
    int shown = 0;
    std::function<bool(FileDialog&)> handler() {
        return [this](FileDialog& d) {
            ++shown;
            filter = d.filter;
            defaultExt = d.defaultExt;
            filterIndex = d.filterIndex;
            if (path.isEmpty())
                return false;
            d.fileName = path;
            return true;
        };
    }
};

// Rows the three views show, page by page.
int viewRows(TForm1& w, int page) {
    w.views().PageControl1->setCurrentIndex(page);
    return w.grid(page)->rowCount();
}

// Per mode, how many of the first n generated records have it (the image cycles the modes).
std::map<int, int> modeCounts(const image::MemoryImage& image) {
    std::map<int, int> counts{{0, 0}, {1, 0}, {2, 0}};
    for (int k = 1; k <= image.recordCount(); ++k)
        ++counts[image.record(k).mode];
    return counts;
}

int pythonRowCount(const QString& xls, QString* sheetName) {
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import sys, xlrd\n"
                             "b = xlrd.open_workbook(sys.argv[1])\n"
                             "s = b.sheet_by_index(0)\n"
                             "sys.stdout.buffer.write(('%d\\n' % s.nrows + s.name).encode('utf-8'))\n"),
              xls});
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        return -1;
    const QStringList out = QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n'));
    *sheetName = out.value(1);
    return out.value(0).toInt();
}

} // namespace

class TestAppCommands : public QObject {
    Q_OBJECT
private slots:
    void init() { QGuiApplication::setApplicationDisplayName(QStringLiteral("Кварнел-ЛД5")); }

    void createDownloadsIntoNewTable() {
        AppFixture f;
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("12")});
        QVERIFY(sim.ok());
        mapPort(QStringLiteral("COM1"), sim.device());
        mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
        auto p = f.start();
        TForm1& w = *p->Form1;
        QCOMPARE(w.downloadDialog(), p->Form2.get());
        QVERIFY(w.firmwareDate().isEmpty());

        DialogAnswer save(f.dataPath(QStringLiteral("new.dbf")));
        w.saveDialog().handler = save.handler();
        const QString title = w.windowTitle();
        BoxAnswerer boxes(w);
        control(w, "N2")->trigger();
        QVERIFY(!boxes.timedOut);
        QCOMPARE(boxes.texts, QStringList());
        QCOMPARE(save.filter, QStringLiteral("Файлы данных|*.dbf"));
        QCOMPARE(save.filterIndex, 1);
        QCOMPARE(save.defaultExt, QStringLiteral(".dbf"));

        QCOMPARE(w.firmwareDate(), QStringLiteral("12.11.09"));
        QCOMPARE(w.image().loadedBytes(), bytesOf(sim::generateImage(12)));
        QVERIFY(w.TableOpen());
        QVERIFY(!w.TableModified());
        QVERIFY(!w.views().PageControl1->isHidden());
        QVERIFY(control(w, "Excel1")->isEnabled());
        QCOMPARE(readHeader(save.path).records, 12u);
        std::vector<QVariant> n = columnValues(save.path, QStringLiteral("N"));
        QCOMPARE(int(n.size()), 12);
        for (int k = 0; k < 12; ++k)
            QCOMPARE(n[std::size_t(k)].toInt(), k + 1);
        const std::map<int, int> counts = modeCounts(w.image());
        for (int page = 0; page < 3; ++page)
            QCOMPARE(viewRows(w, page), counts.at(page));
        // A new table is an open table: it names itself in both titles.
        QVERIFY(title != w.windowTitle());
        QCOMPARE(w.windowTitle(), QStringLiteral("new - Кварнел-ЛД5"));
        QCOMPARE(TForm1::applicationTitle(), QStringLiteral("new - Кварнел-ЛД5"));
    }

    void createWithoutDownloadLeavesNoFile_data() {
        QTest::addColumn<bool>("instrument");
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("texts");
        // Real pacing: the dump takes long enough to cancel it.
        QTest::newRow("download cancelled") << true << QStringList() << QStringList();
        QTest::newRow("no instrument")
            << false << QStringList()
            << QStringList{QStringLiteral(
                   "Прибор не обнаружен! Проверте правильность подключения согласно инструкции!\n"
                   "\\\\.\\COM1 (/nonexistent/ttyS0): устройство не найдено\n"
                   "\\\\.\\COM2 (/nonexistent/ttyS1): устройство не найдено")};
        QTest::newRow("line lost mid-dump")
            << false
            << QStringList{QStringLiteral("--fast"), QStringLiteral("--fault"), QStringLiteral("hangup")}
            << QStringList{
                   QStringLiteral("Связь с прибором прервана. Данные не приняты, ничего не изменено.")};
    }
    void createWithoutDownloadLeavesNoFile() {
        QFETCH(bool, instrument);
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, texts);
        AppFixture f;
        Simulator sim(simulator);
        QVERIFY(sim.ok());
        const bool answers = instrument || !simulator.isEmpty();
        mapPort(QStringLiteral("COM1"), answers ? sim.device() : QStringLiteral("/nonexistent/ttyS0"));
        mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
        StartOptions options;
        options.portLister = std::make_shared<NoUsbPorts>(); // whatever the machine running the test has
        auto p = f.start(options);
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("never.dbf"));
        DialogAnswer save(path);
        w.saveDialog().handler = save.handler();
        if (instrument)
            cancelWhileReceiving(w.downloadDialog());
        BoxAnswerer boxes(w);
        control(w, "N2")->trigger();
        QVERIFY(!boxes.timedOut);
        QCOMPARE(boxes.texts, texts);
        QCOMPARE(boxes.titles, QStringList(texts.size(), QStringLiteral("Ошибка")));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!w.TableOpen());
        QVERIFY(w.views().PageControl1->isHidden());
        QVERIFY(!control(w, "Excel1")->isEnabled());
    }

    void appendTwiceFromOneImage() {
        AppFixture f;
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("9")});
        QVERIFY(sim.ok());
        mapPort(QStringLiteral("COM1"), sim.device());
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("empty.dbf"));
        writeTable(path, {});
        DialogAnswer open(path);
        w.openDialog().handler = open.handler();

        for (int run = 0; run < 2; ++run) {
            BoxAnswerer boxes(w);
            control(w, "N14")->trigger();
            QVERIFY(!boxes.timedOut);
            QCOMPARE(boxes.titles, QStringList{QStringLiteral("Дополнение")});
            QCOMPARE(boxes.texts, QStringList{QStringLiteral("Добавлено записей: %1").arg(run == 0 ? 9 : 0)});
            QCOMPARE(boxes.icons.value(0), QMessageBox::Information);
            QCOMPARE(open.shown, 1); // the second run uses the open table
            QCOMPARE(open.filter, QStringLiteral("Базы данных|*.dbf"));
            QVERIFY(w.TableOpen());
            QVERIFY(!w.TableModified());
            QVERIFY(!w.views().PageControl1->isHidden());
            QCOMPARE(readHeader(path).records, 9u);
            const std::map<int, int> counts = modeCounts(w.image());
            int shown = 0;
            for (int page = 0; page < 3; ++page)
                shown += viewRows(w, page);
            QCOMPARE(shown, counts.at(0) + counts.at(1) + counts.at(2));
            QVERIFY(counts.at(0) > 0 && counts.at(1) > 0 && counts.at(2) > 0);
        }
        QCOMPARE(w.windowTitle(), QStringLiteral("empty - Кварнел-ЛД5"));
    }

    void appendCancelledKeepsTheTable() {
        AppFixture f;
        Simulator sim(QStringList{});
        QVERIFY(sim.ok());
        mapPort(QStringLiteral("COM1"), sim.device());
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        const QByteArray before = readFile(path);
        const QString caption = w.windowTitle();
        QString captionWhileReceiving;
        cancelWhileReceiving(w.downloadDialog(), &w, &captionWhileReceiving);
        BoxAnswerer boxes(w);
        control(w, "N14")->trigger();
        QVERIFY(!boxes.timedOut);
        QCOMPARE(boxes.texts, QStringList());
        // The task bar's text: the progress while the dump comes in, the window's own after.
        QVERIFY2(captionWhileReceiving.endsWith(QStringLiteral("% - Прием данных")) &&
                     captionWhileReceiving != QStringLiteral("0% - Прием данных"),
                 qPrintable(captionWhileReceiving));
        QCOMPARE(w.windowTitle(), caption);
        QVERIFY(w.TableOpen());
        QVERIFY(!w.views().PageControl1->isHidden());
        QCOMPARE(w.grid(0)->rowCount(), 4);
        QCOMPARE(readFile(path), before);
        // The identification came before the cancel.
        QCOMPARE(w.firmwareDate(), QStringLiteral("12.11.09"));
    }

    void loadBinFile_data() {
        QTest::addColumn<int>("records"); // -1: the .bin file does not exist
        QTest::newRow("30 records") << 30;
        QTest::newRow("no records") << 0;
        QTest::newRow("missing file") << -1;
    }
    void loadBinFile() {
        QFETCH(int, records);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString bin = f.dataPath(QStringLiteral("memory.bin"));
        if (records >= 0)
            writeFile(bin, bytesOf(sim::generateImage(records)));
        const QString table = f.dataPath(QStringLiteral("from-bin.dbf"));
        DialogAnswer open(bin), save(table);
        w.openDialog().handler = open.handler();
        w.saveDialog().handler = save.handler();
        ModalAnswer answers;
        if (records < 0)
            answers.press(QMessageBox::Ok);
        w.dispatch([&w] { w.bin1Click(); }); // the menu item is hidden
        QCOMPARE(answers.unexpected(), 0);
        QVERIFY(answers.allAnswered());
        QCOMPARE(open.filter, QStringLiteral("Двоичные файлы|*.bin"));
        QCOMPARE(open.defaultExt, QStringLiteral(".bin"));
        if (records < 0) {
            QCOMPARE(answers.seen().front().title, QStringLiteral("Error"));
            QCOMPARE(save.shown, 0);
            QVERIFY(!QFile::exists(table));
            QVERIFY(!w.TableOpen());
            return;
        }
        QCOMPARE(save.filter, QStringLiteral("Файлы данных|*.dbf"));
        QVERIFY(w.TableOpen());
        QVERIFY(!w.TableModified());
        QVERIFY(w.firmwareDate().isEmpty()); // no instrument was asked
        QCOMPARE(readHeader(table).records, std::uint32_t(records));
        const std::map<int, int> counts = modeCounts(w.image());
        for (int page = 2; page >= 0; --page)
            QCOMPARE(viewRows(w, page), counts.at(page));
        // The page shown keeps its own mode after the import.
        QCOMPARE(w.session().table().filter(), QStringLiteral("MODE=0"));

        // The command line makes the same table from the same .bin.
        control(w, "N16")->trigger();
        const QString cliTable = f.dataPath(QStringLiteral("from-cli.dbf"));
        QProcess cli;
        cli.start(qEnvironmentVariable("KV_APP"), {QStringLiteral("import"), bin, cliTable});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(readFile(cliTable), readFile(table));
    }

    void excelExportOfTheActiveView_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("rows"); // mixedRows: 4, 3 and 3 records
        QTest::newRow("Оперативный") << 0 << 4;
        QTest::newRow("Ждущий") << 1 << 3;
        QTest::newRow("Наблюдения") << 2 << 3;
    }
    void excelExportOfTheActiveView() {
        QFETCH(int, page);
        QFETCH(int, rows);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString table = f.openMixed(w);
        w.setFirmwareDate(QStringLiteral("12.11.09"));
        w.views().PageControl1->setCurrentIndex(page);
        // A sorted view goes out in record order and loses its sort.
        DBGridPro& g = *w.grid(page);
        int fColumn = -1;
        for (int c = 0; c < g.columnCount(); ++c)
            if (g.column(c).fieldName.compare(QLatin1String("F"), Qt::CaseInsensitive) == 0)
                fColumn = c;
        QVERIFY(fColumn >= 0);
        g.setSortState(fColumn, tsSortedDown);
        w.DBGridPro1TitleStateChange(g, fColumn);
        QVERIFY(!w.session().table().currentIndex().isEmpty());

        const QString xls = f.dataPath(QStringLiteral("view.xls"));
        DialogAnswer save(xls);
        w.saveDialog().handler = save.handler();
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        control(w, "Excel1")->trigger();
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(save.filter, QStringLiteral("Книга Excel|*.xls"));
        QCOMPARE(save.defaultExt, QStringLiteral(".xls"));
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Экспорт в Excel"));
        QCOMPARE(answers.seen()[0].text, QStringLiteral("Экспорт в файл view.xls завершен успешно."));
        QVERIFY(w.session().table().currentIndex().isEmpty());
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < w.grid(i)->columnCount(); ++c)
                QCOMPARE(int(w.grid(i)->column(c).sortState), int(tsSortedNone));
        QCOMPARE(w.grid(page)->rowCount(), rows);
        // The export ends on the last record of the view, and the grid stands there too.
        QCOMPARE(w.session().table().position(), rows - 1);
        QCOMPARE(w.grid(page)->currentRow(), rows - 1);

        QString sheet;
        QCOMPARE(pythonRowCount(xls, &sheet), rows + 1);
        QCOMPARE(sheet, QStringLiteral("Кварнел - ЛД5 12.11.09"));

        // The command line gives the same file for the same view.
        control(w, "N16")->trigger();
        const QString cliXls = f.dataPath(QStringLiteral("cli.xls"));
        QProcess cli;
        cli.start(qEnvironmentVariable("KV_APP"),
                  {QStringLiteral("export"), table, QStringLiteral("--mode"), QString::number(page), cliXls,
                   QStringLiteral("--firmware-date"), QStringLiteral("12.11.09")});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(readFile(cliXls), readFile(xls));
    }

    void excelExportErrorShowsNoSuccess() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        DialogAnswer save(f.dataPath(QStringLiteral("missing-folder/view.xls")));
        w.saveDialog().handler = save.handler();
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        control(w, "N11")->trigger(); // the grid pop-up "Экспорт"
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Error"));
        QVERIFY(!QFile::exists(save.path));
        QVERIFY(w.TableOpen());
    }

    void reportsOfTheActivePage_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("window");
        QTest::newRow("preview") << "ToolButton5"
                                 << "report::PreviewWindow";
        QTest::newRow("pop-up Печать") << "N4"
                                       << "report::PreviewWindow";
        QTest::newRow("print") << "ToolButton4"
                               << "report::ReportPrintDialog";
    }
    void reportsOfTheActivePage() {
        QFETCH(QString, trigger);
        QFETCH(QString, window);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        for (int page = 0; page < 3; ++page) {
            w.views().PageControl1->setCurrentIndex(page);
            w.session().table().first();
            w.session().table().next();
            const int current = w.session().table().recNo();
            int pages = -1;
            ModalAnswer answers;
            answers.then([&](QWidget* modal) {
                if (auto* preview = qobject_cast<report::PreviewWindow*>(modal))
                    pages = preview->report().pageCount();
                static_cast<QDialog*>(modal)->reject();
            });
            w.findChild<QAction*>(trigger)->trigger();
            QCOMPARE(answers.unexpected(), 0);
            QCOMPARE(answers.seen().size(), std::size_t(1));
            QCOMPARE(answers.seen()[0].className, window);
            if (window == QLatin1String("report::PreviewWindow"))
                QCOMPARE(pages, 1);
            QCOMPARE(w.session().table().recNo(), current);
        }
        // Without a table nothing opens.
        control(w, "N16")->trigger();
        ModalAnswer none;
        w.dispatch([&w] { w.N4Click(); });
        w.dispatch([&w] { w.ToolButton4Click(); });
        QVERIFY(none.seen().empty());
    }
};

QTEST_MAIN(TestAppCommands)
#include "test_app_commands.moc"
