#include "ManualTimer.h"
#include "Pty.h"
#include "Simulator.h"
#include "tests/support/FileSizeLimit.h"

#include "link/sim/ImageGenerator.h"
#include "ui/TForm2.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The download dialog whose answer timer runs out only when the test fires it, so that no
// instrument is ever given up for being slow.
// A machine without USB serial ports, whatever the one running the test has.
class NoUsbPorts : public serial::PortLister {
public:
    QList<serial::PortInfo> ports() const override { return {}; }
};

class ManualDialog : public TForm2 {
public:
    ManualDialog()
        : TForm2(nullptr, std::make_unique<ManualTimer>(true)), answer(static_cast<ManualTimer&>(Timer1)) {
        setPortLister(std::make_shared<NoUsbPorts>());
    }
    ManualTimer& answer;

    // The answer time runs out for the next count starts, as if those ports stayed silent: from
    // the event loop, once the start is through. timedPorts names the port of each.
    void silentPorts(int count) {
        answer.onStart = [this, count]() mutable {
            if (count-- <= 0)
                return;
            timedPorts.append(CommPortDriver1.portName());
            QTimer::singleShot(0, this, [this] { answer.fire(); });
        };
    }
    QStringList timedPorts;
};

// Answers the modal windows that open over the dialog, as a user would, and stops a download
// that hangs.
class Answerer : public QObject {
public:
    explicit Answerer(TForm2& dialog, int watchdogMs = 20000) : m_dialog(dialog) {
        m_poll.setInterval(20);
        connect(&m_poll, &QTimer::timeout, this, [this] { answer(); });
        m_poll.start();
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            timedOut = true;
            if (QWidget* w = QApplication::activeModalWidget(); w && w != &m_dialog)
                w->close();
            m_dialog.reject();
        });
        m_watchdog.start(watchdogMs);
    }
    QString savePath; // empty: the save dialog is cancelled
    QStringList captions;
    QStringList texts;
    int saveDialogs = 0;
    int replaceQuestions = 0;
    bool timedOut = false;

private:
    void answer() {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            captions.append(box->windowTitle());
            texts.append(box->text());
            box->button(QMessageBox::Ok)->click();
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            ++saveDialogs;
            if (savePath.isEmpty()) {
                files->reject();
            } else {
                // What the user types into the name field.
                if (auto* edit = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    edit->setText(savePath);
                // Replacing a file asks first, from inside accept(); the user agrees.
                QTimer::singleShot(0, this, [this] {
                    if (auto* ask = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                        if (QAbstractButton* yes = ask->button(QMessageBox::Yes)) {
                            ++replaceQuestions;
                            yes->click();
                        }
                });
                static_cast<QDialog*>(files)->accept();
            }
        }
    }
    TForm2& m_dialog;
    QTimer m_poll;
    QTimer m_watchdog;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An image unlike the simulator's own: random bytes with a record count of 300.
QByteArray randomImage(const QString& path) {
    QByteArray image(7566, 0);
    quint32 x = 12345;
    for (char& c : image) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    image[314] = 44;
    image[315] = 1;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(image);
    return image;
}

const QString com1 = QStringLiteral("\\\\.\\COM1");
const QString com2 = QStringLiteral("\\\\.\\COM2");

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void fullDumpToImageAndBin_data();
    void fullDumpToImageAndBin();
    void secondPortWhenFirstSilent();
    void noInstrumentGivesUpAndStartsOverOnCom1();
    void rejectedInstrument_data();
    void rejectedInstrument();
    void damagedDumpChangesNothing();
    void cancelClosesPort();
    void lostLineEndsAndASecondTryWorks();
    void binThatCannotBeWrittenStillSucceeds();
    void binOnAFullDiskKeepsTheOlderFile();
    void cancelledSaveDialogStillSucceeds();
    void elementsAndTexts();

private:
    QTemporaryDir m_dir;
};

void DialogTest::init() {
    mapPort(QStringLiteral("COM1"), {});
    mapPort(QStringLiteral("COM2"), QStringLiteral("/nonexistent/ttyS1"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Кварнел-ЛД5"));
}

void DialogTest::fullDumpToImageAndBin_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("plain") << "none";
    QTest::newRow("identification in two chunks") << "split-id";
    QTest::newRow("0xEB in mid-dump") << "restart";
}

void DialogTest::fullDumpToImageAndBin() {
    QFETCH(QString, fault);
    const QString source = m_dir.filePath(QStringLiteral("source.bin"));
    const QByteArray image = randomImage(source);
    Simulator sim(
        {QStringLiteral("--fast"), QStringLiteral("--bin"), source, QStringLiteral("--fault"), fault});
    QVERIFY(sim.ok());
    mapPort(QStringLiteral("COM1"), sim.device());

    ManualDialog dialog;
    QStringList titles;
    QString title = QStringLiteral("Кварнел-ЛД5 - table.dbf");
    dialog.setTitleAccess([&] { return title; },
                          [&](const QString& t) {
                              title = t;
                              titles.append(t);
                          });
    Answerer answerer(dialog);
    const QString target = m_dir.filePath(QStringLiteral("saved-%1.bin").arg(fault));
    answerer.savePath = target;
    QTimer::singleShot(0, &dialog, [&] { dialog.CheckBox1->setChecked(true); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(!answerer.timedOut);
    QCOMPARE(answerer.texts, QStringList());
    QCOMPARE(dialog.imageLength(), 7566);
    QCOMPARE(dialog.imageBytes(), image);
    QCOMPARE(readAll(target), image);
    QCOMPARE(answerer.saveDialogs, 1);
    QVERIFY(!dialog.CommPortDriver1.IsOpen());
    QCOMPARE(dialog.firmwareDate(), QStringLiteral("12.11.09"));
    QCOMPARE(int(dialog.instrumentType()), 7);
    QCOMPARE(int(dialog.instrumentVersion()), 1);
    QCOMPARE(dialog.StaticText5->text(), QStringLiteral("Кварнел-ЛД5"));
    QCOMPARE(dialog.StaticText1->text(), QStringLiteral("12.11.09"));
    QCOMPARE(dialog.StaticText2->text(), QStringLiteral("Идет прием информации ..."));
    // 44 + 1 x 256: the whole count, not its low byte
    QCOMPARE(dialog.StaticText7->text(), QStringLiteral("300"));
    QCOMPARE(dialog.ProgressBar1->value(), 100);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("100% - Прием данных"));
    QVERIFY(titles.contains(QStringLiteral("100% - Прием данных")));
    QCOMPARE(title, QStringLiteral("Кварнел-ЛД5 - table.dbf")); // restored
    QCOMPARE(dialog.CommPortDriver1.portName(), com1);
}

void DialogTest::secondPortWhenFirstSilent() {
    Simulator silent({QStringLiteral("--fault"), QStringLiteral("silent")});
    Simulator good({QStringLiteral("--fast"), QStringLiteral("--records"), QStringLiteral("12")});
    QVERIFY(silent.ok() && good.ok());
    mapPort(QStringLiteral("COM1"), silent.device());
    mapPort(QStringLiteral("COM2"), good.device());
    ManualDialog dialog;
    dialog.silentPorts(1);
    Answerer answerer(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    // COM2 is tried once COM1 has waited out its answer time, and answers within its own.
    QCOMPARE(dialog.timedPorts, QStringList{com1});
    QCOMPARE(dialog.answer.fired, 1);
    QCOMPARE(dialog.answer.intervals, QList<int>({3000, 3000}));
    QVERIFY(!dialog.answer.isActive());
    QCOMPARE(dialog.CommPortDriver1.portName(), com2);
    const std::vector<uint8_t> expected = sim::generateImage(12);
    QCOMPARE(dialog.imageBytes(), QByteArray(reinterpret_cast<const char*>(expected.data()), 7566));
    QCOMPARE(dialog.StaticText7->text(), QStringLiteral("12"));
}

void DialogTest::noInstrumentGivesUpAndStartsOverOnCom1() {
    Simulator silent({QStringLiteral("--fault"), QStringLiteral("silent")});
    mapPort(QStringLiteral("COM1"), QStringLiteral("/nonexistent/ttyS0"));
    mapPort(QStringLiteral("COM2"), silent.device());
    ManualDialog dialog;
    {
        dialog.silentPorts(2);
        Answerer answerer(dialog);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        // The missing COM1 is left at once; the silent COM2 waits out its answer time.
        QCOMPARE(dialog.timedPorts, QStringList({com1, com2}));
        QCOMPARE(dialog.answer.intervals, QList<int>({0, 3000}));
        QCOMPARE(answerer.captions, QStringList{QStringLiteral("Ошибка")});
        // Each port tried, with why it gave nothing.
        QCOMPARE(
            answerer.texts,
            QStringList{
                QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!\n"
                               "%1 (/nonexistent/ttyS0): устройство не найдено\n%2 (%3): нет ответа")
                    .arg(com1, com2, silent.device())});
        QVERIFY(!dialog.CommPortDriver1.IsOpen());
        QCOMPARE(dialog.CommPortDriver1.portName(), com1);
    }
    dialog.silentPorts(0);
    Simulator good({QStringLiteral("--fast")});
    mapPort(QStringLiteral("COM1"), good.device());
    Answerer answerer(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    // Found at once on COM1: its answer time never ran out.
    QCOMPARE(dialog.answer.fired, 2);
    QCOMPARE(dialog.answer.intervals.size(), 3);
    QVERIFY(!answerer.timedOut);
}

void DialogTest::rejectedInstrument_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("text");
    QTest::newRow("type") << "wrong-type"
                          << "Вы подключили не тот прибор !";
    QTest::newRow("version") << "wrong-version"
                             << "Вы подключили не тот прибор !";
    QTest::newRow("date") << "unknown-date"
                          << "Неизвестная или новая версия прибора !";
}

void DialogTest::rejectedInstrument() {
    QFETCH(QString, fault);
    QFETCH(QString, text);
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--fault"), fault});
    mapPort(QStringLiteral("COM1"), sim.device());
    ManualDialog dialog;
    const QByteArray before = dialog.imageBytes();
    Answerer answerer(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(answerer.texts, QStringList{text});
    QCOMPARE(answerer.captions, QStringList{QStringLiteral("Error")});
    QVERIFY(!dialog.CommPortDriver1.IsOpen());
    QCOMPARE(dialog.imageBytes(), before);
    QCOMPARE(dialog.StaticText5->text(), QString());
    // The texts of the show stay: the instrument was never accepted.
    QCOMPARE(dialog.StaticText2->text(), QStringLiteral("Ожидание готовности прибора ..."));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("0% - Прием данных"));
}

void DialogTest::damagedDumpChangesNothing() {
    Simulator sim({QStringLiteral("--fast"), QStringLiteral("--fault"), QStringLiteral("odd")});
    mapPort(QStringLiteral("COM1"), sim.device());
    ManualDialog dialog;
    Answerer answerer(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(answerer.captions, QStringList{QStringLiteral("Ошибка")});
    QVERIFY(answerer.texts.value(0).contains(QStringLiteral("нечетное")));
    QCOMPARE(dialog.imageLength(), 0);
    QVERIFY(!dialog.CommPortDriver1.IsOpen());
}

void DialogTest::cancelClosesPort() {
    Simulator sim({}); // real pacing: the dump takes 17 s
    mapPort(QStringLiteral("COM1"), sim.device());
    ManualDialog dialog;
    QString title = QStringLiteral("before");
    dialog.setTitleAccess([&] { return title; }, [&](const QString& t) { title = t; });
    Answerer answerer(dialog);
    // "Отмена" while the dump comes in.
    QTimer receiving;
    bool openWhenCancelled = false;
    QObject::connect(&receiving, &QTimer::timeout, &dialog, [&] {
        if (dialog.ProgressBar1->value() == 0)
            return;
        receiving.stop();
        openWhenCancelled = dialog.CommPortDriver1.IsOpen();
        dialog.Button1->click();
    });
    receiving.start(10);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!answerer.timedOut);
    QVERIFY(openWhenCancelled);
    QVERIFY(!dialog.CommPortDriver1.IsOpen());
    QCOMPARE(dialog.ProgressBar1->value(), 0);
    QCOMPARE(title, QStringLiteral("before"));
    QVERIFY(answerer.texts.isEmpty());
    // The port is free again for anyone.
    TCommPortDriver other;
    other.setPortName(sim.device());
    QVERIFY(other.OpenPort());
}

void DialogTest::lostLineEndsAndASecondTryWorks() {
    const QString bin = m_dir.filePath(QStringLiteral("lost.bin"));
    ManualDialog dialog;
    QString title = QStringLiteral("before");
    QStringList titles;
    dialog.setTitleAccess([&] { return title; },
                          [&](const QString& t) {
                              title = t;
                              titles.append(t);
                          });
    {
        // The instrument's side closes a third into the dump, as when the adapter is pulled.
        Simulator sim({QStringLiteral("--fast"), QStringLiteral("--fault"), QStringLiteral("hangup")});
        QVERIFY(sim.ok());
        mapPort(QStringLiteral("COM1"), sim.device());
        Answerer answerer(dialog);
        answerer.savePath = bin;
        QTimer::singleShot(0, &dialog, [&] { dialog.CheckBox1->setChecked(true); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(!answerer.timedOut);
        QCOMPARE(answerer.captions, QStringList{QStringLiteral("Ошибка")});
        QCOMPARE(answerer.texts, QStringList{QStringLiteral(
                                     "Связь с прибором прервана. Данные не приняты, ничего не изменено.")});
        QCOMPARE(answerer.saveDialogs, 0);
    }
    QVERIFY(!QFile::exists(bin));
    QCOMPARE(dialog.imageLength(), 0);
    QVERIFY(!dialog.CommPortDriver1.IsOpen());
    QCOMPARE(dialog.ProgressBar1->value(), 0);
    QVERIFY(titles.contains(QStringLiteral("0% - Прием данных")));
    QCOMPARE(title, QStringLiteral("before"));

    // The instrument back on the line: the same dialog downloads it whole.
    Simulator sim({QStringLiteral("--fast")});
    QVERIFY(sim.ok());
    mapPort(QStringLiteral("COM1"), sim.device());
    Answerer answerer(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(answerer.texts.isEmpty());
    QCOMPARE(dialog.imageLength(), 7566);
    QCOMPARE(dialog.StaticText7->text(), QStringLiteral("300"));
    QCOMPARE(title, QStringLiteral("before"));
}

void DialogTest::binThatCannotBeWrittenStillSucceeds() {
    Simulator sim({QStringLiteral("--fast")});
    mapPort(QStringLiteral("COM1"), sim.device());
    ManualDialog dialog;
    Answerer answerer(dialog);
    answerer.savePath = m_dir.filePath(QStringLiteral("missing-folder/x.bin"));
    QTimer::singleShot(0, &dialog, [&] { dialog.CheckBox1->setChecked(true); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(answerer.saveDialogs, 1);
    QCOMPARE(answerer.captions, QStringList{QStringLiteral("Ошибка")});
    QVERIFY(answerer.texts.value(0).contains(QStringLiteral("missing-folder")));
    QCOMPARE(dialog.imageLength(), 7566);
    QVERIFY(!QFile::exists(answerer.savePath));
}

// The .bin goes to a temporary file renamed over the older one only when whole.
void DialogTest::binOnAFullDiskKeepsTheOlderFile() {
    Simulator sim({QStringLiteral("--fast")});
    mapPort(QStringLiteral("COM1"), sim.device());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("older.bin"));
    const QByteArray older("a memory image the user saved before");
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(older);
    }
    ManualDialog dialog;
    Answerer answerer(dialog);
    answerer.savePath = target;
    QTimer::singleShot(0, &dialog, [&] { dialog.CheckBox1->setChecked(true); });
    int result = -1;
    {
        FileSizeLimit full(4096); // the image has 7566 bytes
        QVERIFY(full.active());
        result = dialog.exec();
    }
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(dialog.imageLength(), 7566);
    QCOMPARE(answerer.replaceQuestions, 1);
    QCOMPARE(answerer.captions, QStringList{QStringLiteral("Ошибка")});
    QVERIFY(answerer.texts.value(0).contains(QStringLiteral("older.bin")));
    QCOMPARE(readAll(target), older);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("older.bin")});
}

void DialogTest::cancelledSaveDialogStillSucceeds() {
    Simulator sim({QStringLiteral("--fast")});
    mapPort(QStringLiteral("COM1"), sim.device());
    ManualDialog dialog;
    Answerer answerer(dialog);
    QTimer::singleShot(0, &dialog, [&] { dialog.CheckBox1->setChecked(true); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(answerer.saveDialogs, 1);
    QVERIFY(answerer.texts.isEmpty());
    // Unchecked again at the next show.
    Answerer second(dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(second.saveDialogs, 0);
}

void DialogTest::elementsAndTexts() {
    TForm2 dialog;
    QCOMPARE(dialog.size(), QSize(492, 264));
    // Every line, the port's too, fits in the fixed size.
    QVERIFY2(dialog.layout()->minimumSize().height() <= dialog.height(),
             qPrintable(QString::number(dialog.layout()->minimumSize().height())));
    QCOMPARE(dialog.CheckBox1->text(), QStringLiteral("Сохранить двоичный файл"));
    QCOMPARE(dialog.Button1->text(), QStringLiteral("Отмена"));
    QCOMPARE(dialog.ProgressBar1->maximum(), 100);
    QCOMPARE(dialog.ProgressBar1->size(), QSize(453, 29));
    QVERIFY(dialog.StaticText2->font().bold());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QStringList labels;
    for (const QLabel* l : dialog.GroupBox1->findChildren<QLabel*>())
        labels.append(l->text());
    QVERIFY(labels.contains(QStringLiteral("Тип прибора:")));
    QVERIFY(labels.contains(QStringLiteral("Версия ПО:")));
    QVERIFY(labels.contains(QStringLiteral("Количество записей:")));
    QCOMPARE(dialog.CommPortDriver1.stopBits(), sb2BITS);
    QCOMPARE(dialog.CommPortDriver1.inBufSize(), 4096u);
    QCOMPARE(dialog.CommPortDriver1.outBufSize(), 4096u);
    QCOMPARE(dialog.CommPortDriver1.port(), pnCustom);
    QCOMPARE(dialog.CommPortDriver1.portName(), com1);
}

QTEST_MAIN(DialogTest)
#include "test_dialog.moc"
