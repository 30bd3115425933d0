#include "AppFixture.h"

#include "core/Error.h"
#include "core/FileVersion.h"
#include "grid/ui/DBGridPro.h"
#include "ui/TForm4.h"
#include "ui/TForm5.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>

class TestAppWindow : public QObject {
    Q_OBJECT
private slots:
    // --- start-up and the two states of the window ---
    void commandsFollowTheTableState_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("table"); // enabled only while a table is open
        const QKeySequence none;
        auto row = [](const char* name, const char* caption, QKeySequence shortcut, bool table) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << shortcut
                                << table;
        };
        row("N2", "Создать", QKeySequence(Qt::CTRL | Qt::Key_N), false);
        row("N3", "Открыть", QKeySequence(Qt::CTRL | Qt::Key_O), false);
        row("N14", "Дополнить", none, false);
        row("N15", "Сохранить", QKeySequence(Qt::CTRL | Qt::Key_S), true);
        row("N16", "Закрыть", none, true);
        row("N18", "Предварительный просмотр", none, true);
        row("N19", "Печать", QKeySequence(Qt::CTRL | Qt::Key_P), true);
        row("Excel1", "Экспорт в Excel", none, true);
        row("N22", "Выход", none, false);
        row("N24", "Удалить строки", none, true);
        row("N37", "Формат данных", none, true);
        row("N26", "Выровнить столбцы", none, true);
        row("N28", "Задать цвет", none, true);
        row("N29", "Убрать цвет", none, true);
        row("N30", "Убрать все цвета", none, true);
        row("N32", "Убрать сортировку", none, true);
        row("N34", "Помощь", QKeySequence(Qt::Key_F1), false);
        row("N36", "О программе", none, false);
        row("ToolButton1", "Создать", none, false);
        row("ToolButton2", "Открыть", none, false);
        row("ToolButton3", "Сохранить", none, true);
        row("ToolButton4", "Печать", none, true);
        row("ToolButton5", "Предварительный просмотр", none, true);
        row("ToolButton6", "Убрать сортировку", none, true);
        row("ToolButton7", "Помощь", none, false);
        // The pop-up is reachable only with the grids, and never disabled.
        row("N4", "Печать", none, false);
        row("N8", "Урать все цвета", none, false);
        row("N9", "Выровнять столбцы", none, false);
        row("N38", "Формат данных", none, false);
        row("N11", "Экспорт", none, false);
        row("N13", "Удалить", none, false);
    }
    void commandsFollowTheTableState() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, table);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        auto* action = w.findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(action->isEnabled(), !table);
        f.openMixed(w);
        QVERIFY(w.TableOpen());
        QVERIFY(action->isEnabled());
        control(w, "N16")->trigger();
        QCOMPARE(action->isEnabled(), !table);
    }

    void startsWithTheViewsHiddenOnTheShadowColour() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        QCOMPARE(w.windowTitle(), QStringLiteral("Кварнел "));
        QCOMPARE(TForm1::applicationTitle(), QStringLiteral("Кварнел-ЛД5+"));
        QVERIFY(w.windowState() & Qt::WindowMaximized);
        QVERIFY(!w.views().PageControl1->isVisible());
        QCOMPARE(w.centralWidget()->palette().color(QPalette::Window), w.palette().color(QPalette::Dark));
        QVERIFY(w.centralWidget()->autoFillBackground());
        QVERIFY(!control(w, "bin1")->isVisible());
        QVERIFY(!w.TableOpen());
        QVERIFY(!w.session().table().isOpen());
        QStringList pages;
        for (int i = 0; i < w.views().PageControl1->count(); ++i)
            pages << w.views().PageControl1->tabText(i);
        QCOMPARE(pages, QStringList({QStringLiteral("Оперативный"), QStringLiteral("Ждущий"),
                                     QStringLiteral("Наблюдения")}));
        QCOMPARE(w.activePage(), 0);
    }

    void splashClosesByItselfBeforeTheMainWindowShows() {
        AppFixture f;
        bool splashSeen = false;
        bool mainShownDuringSplash = true;
        int splashInterval = 0;
        bool closedByItsTimer = false;
        QTimer::singleShot(100, [&] {
            auto* splash = qobject_cast<TForm5*>(QApplication::activeModalWidget());
            splashSeen = splash != nullptr;
            if (splash) {
                splashInterval = splash->Timer1->isActive() ? splash->Timer1->interval() : 0;
                connect(splash->Timer1, &QTimer::timeout, [&] { closedByItsTimer = true; });
            }
            mainShownDuringSplash = false;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (qobject_cast<TForm1*>(top) && top->isVisible())
                    mainShownDuringSplash = true;
        });
        StartOptions options;
        options.splashMs = 400;
        auto p = startUp(options);
        QVERIFY(splashSeen);
        QCOMPARE(splashInterval, 400);
        QVERIFY(closedByItsTimer);
        QVERIFY(!mainShownDuringSplash);
        QVERIFY(p->Form1->isVisible());
        QVERIFY(p->Form1->windowState() & Qt::WindowMaximized);
        QVERIFY(!QApplication::activeModalWidget());
        // The splash is gone, not merely hidden.
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TForm5*>(top));
    }

    void splashIsTheBanner() {
        TForm5 splash(3000);
        QCOMPARE(splash.size(), QSize(400, 77));
        QCOMPARE(splash.Image1->pixmap().size(), QSize(400, 78));
        QCOMPARE(splash.Timer1->interval(), 3000);
        QVERIFY(!splash.Timer1->isActive());
    }

    // --- settings ---
    void firstStartStoresTheCurrentFolder() {
        AppFixture f;
        QVERIFY(!storedValue(QStringLiteral("Default_dir")).isValid());
        {
            auto p = f.start();
            const QString cwd = QDir::toNativeSeparators(QDir::currentPath());
            QCOMPARE(p->Form1->defaultDir(), cwd);
            QCOMPARE(storedValue(QStringLiteral("Default_dir")).toString(), cwd);
            QCOMPARE(p->Form1->openDialog().initialDir, cwd);
            QCOMPARE(p->Form1->saveDialog().initialDir, cwd);
        }
        storeValue(QStringLiteral("Default_dir"), f.dataPath(QString()));
        auto p = f.start();
        QCOMPARE(p->Form1->defaultDir(), f.dataPath(QString()));
        QCOMPARE(p->Form1->openDialog().initialDir, f.dataPath(QString()));
    }

    void leavingStoresFolderAndLayoutsOnlyThroughTheCloseBox_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Выход") << false;
        QTest::newRow("close box") << true;
    }
    void leavingStoresFolderAndLayoutsOnlyThroughTheCloseBox() {
        QFETCH(bool, closeBox);
        AppFixture f;
        storeValue(QStringLiteral("Default_dir"), QStringLiteral("/nowhere"));
        auto p = f.start();
        TForm1& w = *p->Form1;
        QDir().mkpath(f.dataPath(QStringLiteral("other")));
        f.openMixed(w, QStringLiteral("other/Замер.dbf"));
        const QString layout = storedValue(QStringLiteral("Table_1")).toString();
        QVERIFY(!layout.isEmpty());
        w.grid(0)->setColumnWidth(0, 333);

        ModalAnswer answers;
        if (closeBox) {
            w.close();
        } else {
            QTimer::singleShot(0, &w, [&w] { control(w, "N22")->trigger(); });
            QCOMPARE(qApp->exec(), 0);
        }
        QCOMPARE(answers.unexpected(), 0);
        const QString folder = QDir::toNativeSeparators(f.dataPath(QStringLiteral("other")));
        QCOMPARE(storedValue(QStringLiteral("Default_dir")).toString(),
                 closeBox ? folder : QStringLiteral("/nowhere"));
        QCOMPARE(storedValue(QStringLiteral("Table_1")).toString() == layout, !closeBox);
        QCOMPARE(w.TableOpen(), !closeBox);
    }

    void unwritableSettingsAreReportedOnceAndTheProgramWorks() {
        AppFixture f;
        QFile blocker(f.dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        AppFixture::useSettingsFolder(blocker.fileName() + QStringLiteral("/config"));

        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        auto p = f.start();
        TForm1& w = *p->Form1;
        QTRY_VERIFY(answers.allAnswered());
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Кварнел-ЛД5"));
        QVERIFY(answers.seen()[0].text.contains(QStringLiteral("не будут сохранены")));
        QVERIFY(w.settingsWarningShown());
        QCOMPARE(w.defaultDir(), QDir::toNativeSeparators(QDir::currentPath()));

        f.openMixed(w);
        QVERIFY(w.TableOpen());
        control(w, "N16")->trigger();
        QCoreApplication::processEvents(); // a warning posted by the closing would show now
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.unexpected(), 0);
        // The values live on for the run.
        QVERIFY(!w.settings().readString(QStringLiteral("Table_1")).isEmpty());
    }

    // --- help and about ---
    void helpOpensTheFileBesideTheProgram_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("present, menu") << true << QStringLiteral("N34");
        QTest::newRow("present, toolbar") << true << QStringLiteral("ToolButton7");
        QTest::newRow("present, F1") << true << QStringLiteral("F1");
        QTest::newRow("missing") << false << QStringLiteral("N34");
    }
    // With a viewer for it, the "itp.hlp" beside the program is what help opens; without the file
    // the program's own manual opens, with no message.
    void helpOpensTheFileBesideTheProgram() {
        QFETCH(bool, present);
        QFETCH(QString, trigger);
        const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("itp.hlp"));
        QFile::remove(help);
        if (present) {
            QFile file(help);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        AppFixture f;
        QStringList viewed;
        StartOptions options;
        options.winHelpViewer = [&](const QString& path) {
            viewed << path;
            return true;
        };
        auto p = f.start(options);
        TForm1& w = *p->Form1;
        ModalAnswer answers;
        if (trigger == QLatin1String("F1")) {
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(&w, Qt::Key_F1);
        } else {
            w.findChild<QAction*>(trigger)->trigger();
        }
        QFile::remove(help);
        QCOMPARE(answers.unexpected(), 0);
        QVERIFY(answers.seen().empty());
        QWidget* manual = w.findChild<QWidget*>(QStringLiteral("HelpWindow"));
        if (present) {
            QCOMPARE(viewed, QStringList{help});
            QVERIFY(!manual || !manual->isVisible());
        } else {
            QVERIFY(viewed.isEmpty());
            QVERIFY(manual && manual->isVisible());
        }
    }

    void aboutBoxShowsTheCompiledVersion() {
        AppFixture f;
        auto p = f.start();
        QString version;
        ModalAnswer answers;
        answers.then([&](QWidget* box) {
            auto* about = qobject_cast<TForm4*>(box);
            QVERIFY(about);
            version = about->StaticText3->text();
            about->Button1->click();
        });
        control(*p->Form1, "N36")->trigger();
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().at(0).title, QStringLiteral("О программе"));
        QCOMPARE(version, QStringLiteral("Версия 1.0.0.9"));
        QCOMPARE(p->Form4->StaticText2->text(),
                 QStringLiteral("Программа для передачи данных с прибора \"Кварнел-ЛД5\""));
    }

    void fileVersionOfOtherFilesIsZero_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("version");
        QTest::newRow("the program") << QCoreApplication::applicationFilePath() << QStringLiteral("1.0.0.9");
        QTest::newRow("another file")
            << QStringLiteral(KV_SOURCE_DIR "/CMakeLists.txt") << QStringLiteral("0.0.0.0");
        QTest::newRow("no file") << QStringLiteral("/no/such/program") << QStringLiteral("0.0.0.0");
    }
    void fileVersionOfOtherFilesIsZero() {
        QFETCH(QString, path);
        QFETCH(QString, version);
        QCOMPARE(ReadFileVersion(path), version);
    }

    // --- the command dispatcher ---
    void uncaughtErrorsEndTheCommandInTheErrorBox_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("KvError") << 0;
        QTest::newRow("std::exception") << 1;
    }
    void uncaughtErrorsEndTheCommandInTheErrorBox() {
        QFETCH(int, kind);
        AppFixture f;
        auto p = f.start();
        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        bool after = false;
        p->Form1->dispatch([&] {
            if (kind == 0)
                throw KvError(QStringLiteral("Файл занят"));
            throw std::runtime_error("disk full");
            after = true;
        });
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Error"));
        QCOMPARE(answers.seen()[0].text,
                 kind == 0 ? QStringLiteral("Файл занят") : QStringLiteral("disk full"));
        QVERIFY(!after);
        bool ran = false;
        p->Form1->dispatch([&] { ran = true; });
        QVERIFY(ran);
    }

    // --- the table life cycle ---
    void openingAndClosingSetTheTitles() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w, QStringLiteral("Цех1.dbf"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Цех1 - Кварнел-ЛД5"));
        QCOMPARE(TForm1::applicationTitle(), QStringLiteral("Цех1 - Кварнел-ЛД5"));
        QVERIFY(w.views().PageControl1->isVisible());
        QCOMPARE(w.defaultDir(), QDir::toNativeSeparators(f.dataPath(QString()).chopped(1)));
        QVERIFY(!w.TableModified());
        control(w, "N16")->trigger();
        QCOMPARE(w.windowTitle(), QStringLiteral("Кварнел-ЛД5"));
        QCOMPARE(TForm1::applicationTitle(), QStringLiteral("Кварнел-ЛД5"));
        QVERIFY(!w.views().PageControl1->isVisible());
        QVERIFY(!w.session().table().isOpen());
    }

    void openDialogIsPreparedForTables() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        w.openDialog().fileName = QStringLiteral("left over");
        FileDialog seen(FileDialog::Kind::Open);
        w.openDialog().handler = [&](FileDialog& d) {
            seen = d;
            return false;
        };
        control(w, "N3")->trigger();
        QCOMPARE(seen.fileName, QString());
        QCOMPARE(seen.filter, QStringLiteral("Базы данных|*.dbf"));
        QCOMPARE(seen.filterIndex, 1);
        QCOMPARE(seen.defaultExt, QStringLiteral(".dbf"));
        QVERIFY(!w.TableOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("Кварнел "));
    }

    void menusAreClickable() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        int asked = 0;
        w.openDialog().handler = [&](FileDialog&) {
            ++asked;
            return false;
        };
        QMenuBar* bar = w.menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(control<QMenu>(w, "N1")->menuAction()).center());
        QTRY_VERIFY(control<QMenu>(w, "N1")->isVisible());
        QTest::mouseClick(control<QMenu>(w, "N1"), Qt::LeftButton, {},
                          control<QMenu>(w, "N1")->actionGeometry(control(w, "N3")).center());
        QTRY_COMPARE(asked, 1);
        QWidget* open = control<QToolBar>(w, "ToolBar1")->widgetForAction(control(w, "ToolButton2"));
        QCOMPARE(open->size(), QSize(25, 23));
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(asked, 2);
    }

    void failedOpensLeaveNoTable_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // the second line of the box, when the cause is known
        QTest::newRow("other fields")
            << QStringLiteral("fields")
            << QStringLiteral(
                   "\nФайл «bad.dbf» не является таблицей замеров: поле NAME: C(20), ожидалось поле N: "
                   "N(4,0).");
        QTest::newRow("not a table") << QStringLiteral("text")
                                     << QStringLiteral("\nФайл «bad.dbf» не является таблицей dBase IV: файл "
                                                       "слишком короткий.");
        QTest::newRow("cut short") << QStringLiteral("cut")
                                   << QStringLiteral(
                                          "\nФайл «bad.dbf» не является таблицей dBase IV: файл короче "
                                          "своего заголовка.");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("\nФайл не найден.");
        QTest::newRow("held by another writer")
            << QStringLiteral("locked") << QStringLiteral("\nТаблица открыта другой программой.");
    }
    void failedOpensLeaveNoTable() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString bad = f.dataPath(QStringLiteral("bad.dbf"));
        DbfTable holder; // a second instance of the program, as far as the file is concerned
        if (kind == QLatin1String("fields")) {
            DbfTable::create(bad, {DbfField{QStringLiteral("NAME"), 'C', 20, 0},
                                   DbfField{QStringLiteral("MODE"), 'N', 4, 0}});
        } else if (kind == QLatin1String("text")) {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("N;DATE;TIME\n1;01.01.2024;10:00:00\n");
        } else if (kind == QLatin1String("locked")) {
            writeTable(bad, mixedRows());
            holder.open(bad, DbfTable::Access::Exclusive);
        } else if (kind == QLatin1String("cut")) {
            writeTable(bad, mixedRows());
            QFile file(bad);
            QVERIFY(file.resize(300));
        }
        f.openMixed(w);
        w.session().markModified(); // an edited table: its question comes first

        ModalAnswer answers;
        answers.press(QMessageBox::No).press(QMessageBox::Ok);
        AppFixture::openThroughDialog(w, bad);
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(answers.seen().size(), std::size_t(2));
        QCOMPARE(answers.seen()[0].text, QStringLiteral("Сохранить изменения в таблицах ?"));
        QCOMPARE(answers.seen()[1].title, QStringLiteral("Ошибка"));
        QCOMPARE(answers.seen()[1].text, QStringLiteral("База данных повреждена !") + reason);
        QVERIFY(!w.TableOpen());
        QVERIFY(!w.session().table().isOpen());
        QVERIFY(!w.views().PageControl1->isVisible());
        QVERIFY(!control(w, "N16")->isEnabled());
        QCOMPARE(w.windowTitle(), QStringLiteral("Кварнел-ЛД5"));
        QCOMPARE(w.grid(0)->rowCount(), 0);
    }

    void saveWritesAndClearsTheChangeMark_data() {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("Сохранить") << QStringLiteral("N15");
        QTest::newRow("ToolButton3") << QStringLiteral("ToolButton3");
    }
    void saveWritesAndClearsTheChangeMark() {
        QFETCH(QString, trigger);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        w.session().markModified();
        w.findChild<QAction*>(trigger)->trigger();
        QVERIFY(!w.TableModified());
        QVERIFY(w.TableOpen());
        QVERIFY(w.session().table().isOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("Цех1 - Кварнел-ЛД5"));
        QCOMPARE(w.grid(0)->rowCount(), 4);
        ModalAnswer answers;
        control(w, "N16")->trigger();
        QVERIFY(answers.seen().empty());
    }

    // Qt's own texts follow the program's language: the buttons of its questions and the reasons
    // it gives for file errors.
    void qtOwnTextsAreRussian() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        w.session().markModified();
        QStringList buttons;
        ModalAnswer answers;
        answers.then([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            buttons << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
            box->button(QMessageBox::No)->click();
        });
        control(w, "N16")->trigger();
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(buttons, QStringList({QStringLiteral("&Да"), QStringLiteral("&Нет")}));

        QFile missing(f.dataPath(QStringLiteral("нет-такого/файла.bin")));
        QVERIFY(!missing.open(QIODevice::ReadOnly));
        QCOMPARE(missing.errorString(), QStringLiteral("Файл или каталог не существует"));
    }

    void popupPrintIsThePreview() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        ModalAnswer answers;
        answers.press(QMessageBox::Ok).press(QMessageBox::Ok);
        control(w, "N4")->trigger();
        control(w, "N18")->trigger();
        QCOMPARE(answers.seen().size(), std::size_t(2));
        QCOMPARE(answers.seen()[0].className, QStringLiteral("report::PreviewWindow"));
        QCOMPARE(answers.seen()[1].className, answers.seen()[0].className);
        QCOMPARE(answers.unexpected(), 0);
    }
};

QTEST_MAIN(TestAppWindow)
#include "test_app_window.moc"
