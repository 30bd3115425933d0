#include "AppFixture.h"
#include "GridActions.h"

#include "TestImages.h"
#include "core/FileLayer.h"
#include "grid/ui/DBGridPro.h"
#include "ui/ModeViews.h"
#include "ui/TForm3.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>

#include <cerrno>
#include <unistd.h>

namespace {

using namespace grid_actions;

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAppEveryday : public QObject {
    Q_OBJECT
private slots:
    // Rows of "Оперативный" in record order: N 1, 3, 5, 8 (F 30, 10, 40, 20).
    void deletionKeepsTheRowPosition_data() {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("current");
        QTest::addColumn<qint64>("expectedN");
        QTest::newRow("middle row") << false << QList<int>{} << 1 << qint64(5);
        QTest::newRow("two rows before the last") << false << QList<int>{1, 2} << 2 << qint64(8);
        QTest::newRow("the last rows") << false << QList<int>{2, 3} << 3 << qint64(3);
        // Sorted by F descending: N 5, 1, 8, 3.
        QTest::newRow("sorted, middle") << true << QList<int>{} << 1 << qint64(8);
        QTest::newRow("sorted, the last") << true << QList<int>{} << 3 << qint64(8);
    }
    void deletionKeepsTheRowPosition() {
        QFETCH(bool, sorted);
        QFETCH(QList<int>, selected);
        QFETCH(int, current);
        QFETCH(qint64, expectedN);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        if (sorted)
            clickTitle(g, col(g, "F"));
        g->setCurrentCell(current, col(g, "DATE"));
        g->selectRows(std::vector<int>(selected.begin(), selected.end()));
        const int before = g->rowCount();
        control(w, "N24")->trigger();
        QCOMPARE(g->rowCount(), before - std::max<int>(1, int(selected.size())));
        // The table's cursor is where the grid shows it, so the next command acts there.
        QCOMPARE(w.session().table().position(), g->currentRow());
        QCOMPARE(w.session().table().value(QStringLiteral("N")).toLongLong(), expectedN);
    }

    void anOpenNoteIsStoredBeforeTheCommand_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Убрать сортировку") << "unsort";
        QTest::newRow("page switch") << "page";
        QTest::newRow("title click") << "title";
        QTest::newRow("Формат данных") << "format";
    }
    void anOpenNoteIsStoredBeforeTheCommand() {
        QFETCH(QString, command);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.openMixed(w);
        settle();
        DBGridPro* g = w.grid(0);
        clickTitle(g, col(g, "F")); // sorted: N 5, 1, 8, 3
        QLineEdit* editor = startEdit(w, g, 2, col(g, "COMMENT"));
        QVERIFY(editor);
        editor->setText(QStringLiteral("вибрация выше нормы"));

        ModalAnswer answers;
        if (command == u"unsort") {
            control(w, "N32")->trigger();
        } else if (command == u"page") {
            w.views().PageControl1->setCurrentIndex(1);
        } else if (command == u"title") {
            clickTitle(g, col(g, "N"));
        } else {
            answers.then([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
            control(w, "N37")->trigger();
        }
        settle();
        QCOMPARE(answers.unexpected(), 0);
        QVERIFY(!g->isEditing());
        QVERIFY(w.TableModified());
        // N 8 is the eighth record of the file.
        QCOMPARE(columnValues(path, QStringLiteral("COMMENT")).at(7).toString(),
                 QStringLiteral("вибрация выше нормы"));
    }

    void fileDialogsStartInTheFolderLastUsed() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        QString startedIn;
        w.saveDialog().handler = [&](FileDialog& d) {
            startedIn = d.initialDir;
            return false;
        };
        control(w, "N2")->trigger();
        QCOMPARE(startedIn, w.defaultDir()); // the start-up folder until a file is chosen

        QDir().mkpath(f.dir.filePath(QStringLiteral("other.folder")));
        const QString path = f.dir.filePath(QStringLiteral("other.folder/Цех2.dbf"));
        writeTable(path, mixedRows());
        AppFixture::openThroughDialog(w, path);
        QVERIFY(w.TableOpen());
        ModalAnswer answers; // "Создать" closes the open, unedited table without a question
        control(w, "N2")->trigger();
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(startedIn, QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
        w.saveDialog().handler = nullptr;
        // The format dialog belongs to the main window, as every dialog of it does.
        QCOMPARE(p->Form3->parentWidget(), p->Form1.get());
        QCOMPARE(p->Form3->windowType(), Qt::Dialog);
    }

    void aNewTableFromABinFileTakesItsTitle() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString bin = f.dataPath(QStringLiteral("memory.bin"));
        writeBytes(bin, image::testimages::buildImage(
                            image::testimages::sequence(6, QDateTime(QDate(2024, 3, 1), QTime(9, 0)))));
        const QString table = f.dataPath(QStringLiteral("Новый.dbf"));
        w.openDialog().handler = [&](FileDialog& d) {
            d.fileName = bin;
            return true;
        };
        w.saveDialog().handler = [&](FileDialog& d) {
            d.fileName = table;
            return true;
        };
        w.dispatch([&w] { w.bin1Click(); });
        QVERIFY(w.TableOpen());
        QCOMPARE(w.windowTitle(), QStringLiteral("Новый - Кварнел-ЛД5"));
        QCOMPARE(TForm1::applicationTitle(), QStringLiteral("Новый - Кварнел-ЛД5"));
    }

    void anOpenFailureSaysWhy_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("held by another writer") << "lock"
                                                << "Таблица открыта другой программой.";
        QTest::newRow("missing") << "missing"
                                 << "Файл не найден.";
        QTest::newRow("no read permission") << "chmod"
                                            << "Нет прав на чтение файла.";
        QTest::newRow("not a table") << "garbage"
                                     << "Файл «Цех3.dbf» не является таблицей dBase IV: неизвестная версия "
                                        "формата (байт 0 = 0x78).";
    }
    void anOpenFailureSaysWhy() {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        if (cause == u"chmod" && ::geteuid() == 0)
            QSKIP("the superuser reads any file");
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Цех3.dbf"));
        DbfTable holder;
        if (cause != u"missing")
            writeTable(path, mixedRows());
        if (cause == u"lock")
            holder.open(path);
        if (cause == u"chmod")
            QVERIFY(QFile::setPermissions(path, {}));
        if (cause == u"garbage")
            writeBytes(path, QByteArray(700, 'x'));

        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        AppFixture::openThroughDialog(w, path);
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Ошибка"));
        const QString expected = reason.isEmpty() ? QStringLiteral("База данных повреждена !")
                                                  : QStringLiteral("База данных повреждена !\n") + reason;
        QCOMPARE(answers.seen()[0].text, expected);
        QVERIFY(!w.TableOpen());
    }

    void aTableThatCannotBeLockedOpensReadOnly() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Сеть.dbf"));
        writeTable(path, mixedRows());
        const QByteArray before = bytesOf(path);
        fileio::InjectedLockFailure noLocks(ENOLCK);

        ModalAnswer answers;
        answers.press(QMessageBox::Ok);
        AppFixture::openThroughDialog(w, path);
        QCOMPARE(answers.seen().size(), std::size_t(1));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Кварнел-ЛД5"));
        QVERIFY(answers.seen()[0].text.startsWith(
            QStringLiteral("Не удалось заблокировать файл (сетевая папка?)")));
        QVERIFY(w.TableOpen());
        QVERIFY(w.session().isReadOnly());
        settle();
        DBGridPro* g = w.grid(0);
        QCOMPARE(g->rowCount(), 4);

        // Every change is refused with the same message: deleting, saving, appending, editing.
        answers.press(QMessageBox::Ok).press(QMessageBox::Ok).press(QMessageBox::Ok).press(QMessageBox::Ok);
        control(w, "N24")->trigger();
        control(w, "N15")->trigger();
        control(w, "N14")->trigger();
        QVERIFY(!startEdit(w, g, 0, col(g, "COMMENT")));
        QTRY_COMPARE(answers.seen().size(), std::size_t(5));
        QCOMPARE(answers.unexpected(), 0);
        for (std::size_t i = 1; i < 5; ++i)
            QCOMPARE(answers.seen()[i].text, readOnlyRefusal());
        QCOMPARE(g->rowCount(), 4);
        QVERIFY(!w.TableModified());

        // Sorting still works, in memory only; closing asks nothing and writes nothing.
        clickTitle(g, col(g, "F"));
        control(w, "N16")->trigger();
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(bytesOf(path), before);
        QVERIFY(!QFile::exists(path.chopped(4) + QStringLiteral(".mdx")));
    }

    // A table shorter than its header counts opens with a warning, refuses "Дополнить" before
    // the instrument is asked, and is put right by "Сохранить"; a damaged index file beside it is
    // named at the open and rebuilt by a sort.
    void aShortTableIsPutRightBySave() {
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        const QString path = f.dataPath(QStringLiteral("Обрыв.dbf"));
        writeTable(path, mixedRows());
        QByteArray b = bytesOf(path);
        b[4] = 40;
        writeBytes(path, b);
        writeBytes(f.dataPath(QStringLiteral("Обрыв.mdx")), QByteArray(4096, '\0'));

        ModalAnswer answers;
        answers.press(QMessageBox::Ok).press(QMessageBox::Ok);
        AppFixture::openThroughDialog(w, path);
        QCOMPARE(answers.seen().size(), std::size_t(2));
        QCOMPARE(answers.seen()[0].title, QStringLiteral("Кварнел-ЛД5"));
        QVERIFY(answers.seen()[0].text.contains(QStringLiteral("целых записей 10 из 40")));
        QVERIFY(answers.seen()[1].text.contains(QStringLiteral("«Обрыв.mdx» повреждён")));
        QVERIFY(w.TableOpen());
        settle();

        answers.press(QMessageBox::Ok);
        control(w, "N14")->trigger();
        QTRY_COMPARE(answers.seen().size(), std::size_t(3));
        QVERIFY(answers.seen()[2].text.contains(QStringLiteral("короче своего заголовка")));
        QCOMPARE(bytesOf(path), b);

        answers.press(QMessageBox::Ok);
        clickTitle(w.grid(0), col(w.grid(0), "F"));

        QTRY_COMPARE(answers.seen().size(), std::size_t(4));
        QCOMPARE(answers.seen()[3].text,
                 QStringLiteral("Файл индексов «Обрыв.mdx» был повреждён и построен заново."));

        answers.press(QMessageBox::Ok);
        control(w, "N15")->trigger();
        QTRY_COMPARE(answers.seen().size(), std::size_t(5));
        QCOMPARE(answers.seen()[4].text,
                 QStringLiteral("Таблица «Обрыв.dbf» записана с числом записей 10 (в заголовке было 40)."));
        QCOMPARE(int(std::uint8_t(bytesOf(path)[4])), 10);
        QVERIFY(!w.session().table().isShort());
        QCOMPARE(answers.unexpected(), 0);
    }
};

QTEST_MAIN(TestAppEveryday)
#include "test_app_everyday.moc"
