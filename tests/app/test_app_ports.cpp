#include "AppFixture.h"
#include "Pty.h"

#include "ui/PortDialog.h"
#include "ui/TForm2.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

// A machine whose ports the test sets.
class HandedPorts : public serial::PortLister {
public:
    QList<serial::PortInfo> list;
    QList<serial::PortInfo> ports() const override { return list; }
};

serial::PortInfo ftdi() {
    serial::PortInfo p;
    p.device = QStringLiteral("/dev/ttyUSB0");
    p.description = QStringLiteral("FT232R USB UART");
    p.maker = QStringLiteral("FTDI");
    p.hasUsbIds = true;
    p.byIdPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0");
    return p;
}

serial::PortInfo ch340() {
    serial::PortInfo p;
    p.device = QStringLiteral("/dev/ttyUSB1");
    p.description = QStringLiteral("USB Serial");
    p.maker = QStringLiteral("QinHeng Electronics");
    p.hasUsbIds = true;
    p.access = serial::PortInfo::Access::NoPermission;
    p.group = QStringLiteral("dialout");
    return p;
}

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

} // namespace

class PortsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void dialogListsPortsWithReasons();
    void refreshReadsTheListingAgainKeepingTheChoice();
    void choiceNotPluggedInStaysOffered();
    void commandFollowsAppendAndChoiceSurvivesRestart();
};

void PortsWindowTest::dialogListsPortsWithReasons() {
    auto lister = std::make_shared<HandedPorts>();
    lister->list = {ftdi(), ch340()};
    PortDialog dialog(nullptr, lister, QString());
    QCOMPARE(texts(dialog.PortList),
             (QStringList{
                 QStringLiteral("Автоматически"), QStringLiteral("/dev/ttyUSB0 — FT232R USB UART, FTDI"),
                 QStringLiteral("/dev/ttyUSB1 — USB Serial, QinHeng Electronics (нет доступа: пользователь "
                                "должен входить в группу «dialout»)")}));
    QCOMPARE(dialog.PortList->currentRow(), 0);
    QVERIFY(dialog.choice().isEmpty());
    // The stable path is what gets stored, not ttyUSB0.
    dialog.PortList->setCurrentRow(1);
    QCOMPARE(dialog.choice(), ftdi().byIdPath);
    QVERIFY(dialog.ReasonLabel->text().isEmpty());
    dialog.PortList->setCurrentRow(2);
    QCOMPARE(dialog.choice(), QStringLiteral("/dev/ttyUSB1"));
    QVERIFY(dialog.ReasonLabel->text().contains(QStringLiteral("«dialout»")));
}

void PortsWindowTest::refreshReadsTheListingAgainKeepingTheChoice() {
    auto lister = std::make_shared<HandedPorts>();
    lister->list = {ch340()};
    PortDialog dialog(nullptr, lister, QString());
    dialog.PortList->setCurrentRow(1);
    lister->list = {ftdi(), ch340()};
    dialog.RefreshButton->click();
    QCOMPARE(dialog.PortList->count(), 3);
    QCOMPARE(dialog.choice(), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(dialog.PortList->currentRow(), 2);
}

void PortsWindowTest::choiceNotPluggedInStaysOffered() {
    auto lister = std::make_shared<HandedPorts>();
    lister->list = {ch340()};
    PortDialog dialog(nullptr, lister, ftdi().byIdPath);
    QCOMPARE(dialog.PortList->count(), 3);
    QCOMPARE(dialog.choice(), ftdi().byIdPath);
    QVERIFY(dialog.PortList->currentItem()->text().endsWith(QStringLiteral("(не подключен)")));
    // Found again under its device name, it is selected there.
    lister->list = {ftdi()};
    PortDialog plugged(nullptr, lister, ftdi().byIdPath);
    QCOMPARE(plugged.PortList->count(), 2);
    QCOMPARE(plugged.PortList->currentRow(), 1);
}

void PortsWindowTest::commandFollowsAppendAndChoiceSurvivesRestart() {
    AppFixture f;
    auto lister = std::make_shared<HandedPorts>();
    lister->list = {ch340(), ftdi()};
    StartOptions options;
    options.portLister = lister;
    {
        auto p = f.start(options);
        TForm1& w = *p->Form1;
        const QList<QAction*> file = control<QMenu>(w, "N1")->actions();
        const qsizetype append = file.indexOf(control(w, "N14"));
        QVERIFY(append >= 0 && append + 1 < file.size());
        QCOMPARE(file[append + 1], control(w, "N39"));
        QCOMPARE(control(w, "N39")->text(), QStringLiteral("Порт прибора…"));
        ModalAnswer answers;
        answers.then([](QWidget* window) {
            auto* dialog = qobject_cast<PortDialog*>(window);
            QVERIFY(dialog);
            dialog->PortList->setCurrentRow(2);
            dialog->accept();
        });
        control(w, "N39")->trigger();
        QVERIFY(answers.allAnswered());
        QCOMPARE(answers.unexpected(), 0);
        QCOMPARE(storedValue(QStringLiteral("Port")).toString(), ftdi().byIdPath);
    }
    auto p = f.start(options);
    TForm1& w = *p->Form1;
    ModalAnswer answers;
    QString offered;
    answers.then([&offered](QWidget* window) {
        auto* dialog = qobject_cast<PortDialog*>(window);
        QVERIFY(dialog);
        offered = dialog->choice();
        dialog->reject();
    });
    control(w, "N39")->trigger();
    QCOMPARE(offered, ftdi().byIdPath);
    // Cancel keeps what was stored.
    QCOMPARE(storedValue(QStringLiteral("Port")).toString(), ftdi().byIdPath);
    // The download dialog looks on the chosen port only and names it: a silent terminal here, so
    // the dialog waits for an answer until "Отмена".
    Pty pty;
    {
        ProgramSettings settings;
        settings.setValue(QStringLiteral("Port"), pty.device());
    }
    const QString table = f.dataPath(QStringLiteral("chosen.dbf"));
    w.saveDialog().handler = [table](FileDialog& d) {
        d.fileName = table;
        return true;
    };
    ModalAnswer download;
    QString shown;
    QStringList tried;
    download.then([&](QWidget* window) {
        auto* form2 = qobject_cast<TForm2*>(window);
        QVERIFY2(form2, window->metaObject()->className());
        shown = form2->PortText->text();
        tried = form2->portsToTry();
        form2->Button1->click();
    });
    control(w, "N2")->trigger();
    QCOMPARE(download.unexpected(), 0);
    QCOMPARE(shown, pty.device());
    QCOMPARE(tried, QStringList{pty.device()});
    QVERIFY(!QFile::exists(table));
}

QTEST_MAIN(PortsWindowTest)
#include "test_app_ports.moc"
