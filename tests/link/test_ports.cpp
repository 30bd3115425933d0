#include "PortMapping.h"
#include "core/SettingsIdentity.h"
#include "link/DownloadProtocol.h"
#include "link/PortList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using serial::PortInfo;

namespace {

PortInfo usbPort(const QString& device, const QString& byId = {}) {
    PortInfo p;
    p.device = device;
    p.hasUsbIds = true;
    p.vendorId = 0x0403;
    p.productId = 0x6001;
    p.byIdPath = byId;
    return p;
}

PortInfo builtInPort(const QString& device) {
    PortInfo p;
    p.device = device;
    return p;
}

} // namespace

class PortsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void chosenPortIsTheOnlyOneTried();
    void automaticTriesComPortsThenUsbInListingOrder();
    void automaticSkipsUsbPortAlreadyMappedToCom();
    void choiceNamePrefersStablePath();
    void reasonsSayWhatToDo();
    void listingLineHasFiveFields();
    void byIdLinkIsFoundForItsDevice();
    void portHeldByAnotherProcessIsBusy();

private:
    QTemporaryDir m_dir;
};

void PortsTest::init() {
    mapPort(QStringLiteral("COM1"), {});
    mapPort(QStringLiteral("COM2"), {});
}

void PortsTest::chosenPortIsTheOnlyOneTried() {
    const QList<PortInfo> listed{usbPort(QStringLiteral("/dev/ttyUSB0"))};
    QCOMPARE(serial::portsToTry(QStringLiteral("/dev/ttyACM3"), listed),
             QStringList{QStringLiteral("/dev/ttyACM3")});
}

void PortsTest::automaticTriesComPortsThenUsbInListingOrder() {
    const QList<PortInfo> listed{usbPort(QStringLiteral("/nonexistent/ttyUSB1")),
                                 builtInPort(QStringLiteral("/nonexistent/ttyS4")),
                                 usbPort(QStringLiteral("/nonexistent/ttyACM0"))};
    QCOMPARE(serial::portsToTry(QString(), listed),
             (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2(),
                          QStringLiteral("/nonexistent/ttyUSB1"), QStringLiteral("/nonexistent/ttyACM0")}));
    QCOMPARE(serial::portsToTry(QString(), {}),
             (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()}));
}

void PortsTest::automaticSkipsUsbPortAlreadyMappedToCom() {
    const QString device = m_dir.filePath(QStringLiteral("ttyUSB0"));
    QFile f(device);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString other = m_dir.filePath(QStringLiteral("ttyUSB1"));
    QFile g(other);
    QVERIFY(g.open(QIODevice::WriteOnly));
    g.close();
    mapPort(QStringLiteral("COM1"), device);
    // Listed twice under different names (the device and a link to it), tried once, as COM1.
    const QString link = m_dir.filePath(QStringLiteral("by-id-link"));
    QVERIFY(QFile::link(device, link));
    QCOMPARE(serial::portsToTry(QString(), {usbPort(link), usbPort(other)}),
             (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2(), other}));
}

void PortsTest::choiceNamePrefersStablePath() {
    QCOMPARE(usbPort(QStringLiteral("/dev/ttyUSB0")).choiceName(), QStringLiteral("/dev/ttyUSB0"));
    const QString stable = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0");
    QCOMPARE(usbPort(QStringLiteral("/dev/ttyUSB0"), stable).choiceName(), stable);
    QVERIFY(usbPort(QStringLiteral("/dev/ttyACM0")).isUsb());
    QVERIFY(!builtInPort(QStringLiteral("/dev/ttyS0")).isUsb());
}

void PortsTest::reasonsSayWhatToDo() {
    PortInfo p = usbPort(QStringLiteral("/dev/ttyUSB0"));
    QVERIFY(p.reason().isEmpty());
    p.access = PortInfo::Access::Busy;
    QCOMPARE(p.reason(), QStringLiteral("занят другой программой"));
    p.access = PortInfo::Access::NoPermission;
    p.group = QStringLiteral("uucp");
    QCOMPARE(p.reason(), QStringLiteral("нет доступа: пользователь должен входить в группу «uucp»"));
    p.group.clear();
    QVERIFY(p.reason().contains(QStringLiteral("«dialout»")));
}

void PortsTest::listingLineHasFiveFields() {
    PortInfo p =
        usbPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/serial/by-id/usb-FTDI-if00-port0"));
    p.description = QStringLiteral("FT232R USB UART");
    p.maker = QStringLiteral("FTDI");
    QCOMPARE(serial::listingLine(p), QStringLiteral("/dev/ttyUSB0\tFT232R USB UART\tFTDI\t"
                                                    "/dev/serial/by-id/usb-FTDI-if00-port0\tдоступен"));
    PortInfo q = builtInPort(QStringLiteral("/dev/ttyS0"));
    q.description = QStringLiteral("a\tb");
    q.access = PortInfo::Access::Busy;
    QCOMPARE(serial::listingLine(q), QStringLiteral("/dev/ttyS0\ta b\t\t\tзанят другой программой"));
}

void PortsTest::byIdLinkIsFoundForItsDevice() {
    const QString devices = m_dir.filePath(QStringLiteral("dev"));
    const QString byId = m_dir.filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(devices) && QDir().mkpath(byId));
    for (const char* name : {"ttyUSB0", "ttyUSB1"}) {
        QFile f(devices + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(
        QFile::link(devices + QStringLiteral("/ttyUSB1"), byId + QStringLiteral("/usb-CH340-if00-port0")));
    QVERIFY(QFile::link(devices + QStringLiteral("/ttyUSB0"), byId + QStringLiteral("/usb-FTDI-if00-port0")));
    QCOMPARE(serial::byIdPathFor(devices + QStringLiteral("/ttyUSB0"), byId),
             byId + QStringLiteral("/usb-FTDI-if00-port0"));
    QCOMPARE(serial::byIdPathFor(devices + QStringLiteral("/ttyUSB1"), byId),
             byId + QStringLiteral("/usb-CH340-if00-port0"));
    QVERIFY(serial::byIdPathFor(devices + QStringLiteral("/ttyUSB2"), byId).isEmpty());
    QVERIFY(serial::byIdPathFor(devices + QStringLiteral("/ttyUSB0"), m_dir.filePath(QStringLiteral("none")))
                .isEmpty());
}

void PortsTest::portHeldByAnotherProcessIsBusy() {
    const QString device = m_dir.filePath(QStringLiteral("ttyHeld"));
    QFile f(device);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(serial::accessOf(device, nullptr), PortInfo::Access::Usable);
    // Our own handles do not count: the program itself is not "another program".
    QFile own(device);
    QVERIFY(own.open(QIODevice::ReadWrite));
    QCOMPARE(serial::accessOf(device, nullptr), PortInfo::Access::Usable);
    own.close();
    QProcess holder;
    holder.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec 3<>\"$0\"; echo ready; exec sleep 30"), device});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(serial::accessOf(device, nullptr), PortInfo::Access::Busy);
    holder.kill();
    holder.waitForFinished(5000);
    QCOMPARE(serial::accessOf(device, nullptr), PortInfo::Access::Usable);
}

QTEST_GUILESS_MAIN(PortsTest)
#include "test_ports.moc"
