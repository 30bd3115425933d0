#include "Pty.h"

#include "core/SettingsIdentity.h"
#include "link/CommPortDriver.h"
#include "link/DownloadLink.h"

#include <QtTest>

#include <termios.h>

class DriverTest : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void portAndPortName();
    void bufferSizesClamp_data();
    void bufferSizesClamp();
    void packetSizeRaisesInBufSize();
    void packetTimeoutFollowsPollingDelay_data();
    void packetTimeoutFollowsPollingDelay();
    void baudRateAndValue();
    void closedPortRefusesEverything();
    void openConfiguresTerminal();
    void openIsExclusiveAndRepeatable();
    void unsupportedRateFailsOpen();
    void namesCannotChangeWhileOpen();
    void checkLineStatusBlocksSendsWithoutModemLines();
    void rawModeDeliversWhatWaits();
    void packetModeSplitsAndTimesOut_data();
    void packetModeSplitsAndTimesOut();
    void deviceNamesMapThroughSettings();
    void accessDeniedNoteNamesDevice();
};

void DriverTest::defaults() {
    TCommPortDriver d;
    QCOMPARE(d.port(), pnCOM2);
    QCOMPARE(d.portName(), QStringLiteral("\\\\.\\COM2"));
    QCOMPARE(d.baudRate(), br9600);
    QCOMPARE(d.baudRateValue(), 9600u);
    QCOMPARE(d.dataBits(), db8BITS);
    QCOMPARE(d.stopBits(), sb1BITS);
    QCOMPARE(d.parity(), ptNONE);
    QCOMPARE(d.hwFlow(), hfNONERTSON);
    QCOMPARE(d.swFlow(), sfNONE);
    QCOMPARE(d.inBufSize(), 2048u);
    QCOMPARE(d.outBufSize(), 2048u);
    QCOMPARE(d.packetSize(), int16_t(-1));
    QCOMPARE(d.packetTimeout(), -1);
    QCOMPARE(d.packetMode(), pmDiscard);
    QCOMPARE(d.pollingDelay(), uint16_t(50));
    QVERIFY(d.enableDTROnOpen());
    QCOMPARE(d.outputTimeout(), uint16_t(500));
    QCOMPARE(d.inputTimeout(), 200u);
    QVERIFY(!d.checkLineStatus());
    QVERIFY(!d.IsOpen());
}

void DriverTest::portAndPortName() {
    TCommPortDriver d;
    d.setPort(pnCOM3);
    QCOMPARE(d.portName(), QStringLiteral("\\\\.\\COM3"));
    d.setPort(pnCOM16);
    QCOMPARE(d.portName(), QStringLiteral("\\\\.\\COM16"));
    d.setPortName(QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(d.port(), pnCustom);
    d.setPort(pnCustom);
    QCOMPARE(d.portName(), QStringLiteral("/dev/ttyUSB0"));
}

void DriverTest::bufferSizesClamp_data() {
    QTest::addColumn<uint>("value");
    QTest::addColumn<uint>("stored");
    QTest::newRow("100") << 100u << 128u;
    QTest::newRow("128") << 128u << 128u;
    QTest::newRow("4096") << 4096u << 4096u;
    QTest::newRow("8192") << 8192u << 8192u;
    QTest::newRow("10000") << 10000u << 8192u;
}

void DriverTest::bufferSizesClamp() {
    QFETCH(uint, value);
    QFETCH(uint, stored);
    TCommPortDriver d;
    d.setInBufSize(value);
    d.setOutBufSize(value);
    QCOMPARE(d.inBufSize(), stored);
    QCOMPARE(d.outBufSize(), stored);
}

void DriverTest::packetSizeRaisesInBufSize() {
    TCommPortDriver d;
    d.setPacketSize(0);
    QCOMPARE(d.packetSize(), int16_t(-1));
    d.setPacketSize(-5);
    QCOMPARE(d.packetSize(), int16_t(-1));
    d.setPacketSize(3000);
    QCOMPARE(d.packetSize(), int16_t(3000));
    QCOMPARE(d.inBufSize(), 3000u);
    d.setInBufSize(1000);
    QCOMPARE(d.inBufSize(), 3000u);
    d.setPacketSize(9000); // cannot exceed the largest buffer
    QCOMPARE(d.packetSize(), int16_t(8192));
    QCOMPARE(d.inBufSize(), 8192u);
}

void DriverTest::packetTimeoutFollowsPollingDelay_data() {
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("storedDelay");
    QTest::addColumn<int>("storedTimeout");
    QTest::newRow("10 at 50") << 50 << 10 << 50 << 70;
    QTest::newRow("200 at 50") << 50 << 200 << 50 << 200;
    QTest::newRow("50 at 50") << 50 << 50 << 50 << 50;
    QTest::newRow("0") << 50 << 0 << 50 << -1;
    QTest::newRow("-7") << 50 << -7 << 50 << -1;
    QTest::newRow("delay 0") << 0 << 3 << 5 << 7;
    QTest::newRow("delay 200") << 200 << 100 << 200 << 280;
}

void DriverTest::packetTimeoutFollowsPollingDelay() {
    QFETCH(int, delay);
    QFETCH(int, timeout);
    QFETCH(int, storedDelay);
    QFETCH(int, storedTimeout);
    TCommPortDriver d;
    d.setPollingDelay(static_cast<uint16_t>(delay));
    d.setPacketTimeout(timeout);
    QCOMPARE(int(d.pollingDelay()), storedDelay);
    QCOMPARE(d.packetTimeout(), storedTimeout);
    // A new delay assigns the timeout again.
    d.setPacketTimeout(100);
    d.setPollingDelay(300);
    QCOMPARE(d.packetTimeout(), 420);
}

void DriverTest::baudRateAndValue() {
    TCommPortDriver d;
    d.setBaudRate(br19200);
    QCOMPARE(d.baudRateValue(), 19200u);
    d.setBaudRate(br256000);
    QCOMPARE(d.baudRateValue(), 256000u);
    d.setBaudRateValue(12345);
    QCOMPARE(d.baudRate(), brCustom);
    d.setBaudRate(brCustom);
    QCOMPARE(d.baudRateValue(), 12345u);
}

void DriverTest::closedPortRefusesEverything() {
    TCommPortDriver d;
    d.setPortName(QStringLiteral("/nonexistent/tty"));
    QVERIFY(!d.OpenPort());
    QVERIFY(!d.IsOpen());
    QVERIFY(!d.pollingActive());
    QCOMPARE(d.lastOpenFailure().error, ENOENT);
    QVERIFY(!d.WriteByte(0x56));
    QCOMPARE(d.OutputQueueRoom(), uint16_t(65535));
    QCOMPARE(d.ModemLines(), 0u);
    QVERIFY(!d.ConfigurePort());
    QVERIFY(!d.DiscardBuffers(true, true));
    d.ClosePort(); // harmless
}

void DriverTest::openConfiguresTerminal() {
    Pty pty;
    QVERIFY(pty.ok());
    TCommPortDriver d;
    d.setPortName(pty.device());
    d.setStopBits(sb2BITS);
    QVERIFY(d.OpenPort());
    QVERIFY(d.pollingActive());
    termios tio{};
    QCOMPARE(tcgetattr(pty.terminal(), &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(tio.c_cflag & CSTOPB);
    QVERIFY(!(tio.c_cflag & PARENB));
    QVERIFY(tio.c_cflag & CLOCAL);
    QVERIFY(tio.c_cflag & CREAD);
    QVERIFY(!(tio.c_lflag & (ICANON | ECHO)));
    QVERIFY(!(tio.c_iflag & (IXON | IXOFF)));
    // Line settings take effect at once while open (a pty keeps 8 bits without parity whatever
    // it is told, so only the rate and flow control show).
    d.setBaudRate(br19200);
    d.setSwFlow(sfXONXOFF);
    QCOMPARE(tcgetattr(pty.terminal(), &tio), 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
    QVERIFY(tio.c_iflag & IXON);
    QVERIFY(tio.c_iflag & IXOFF);
    QCOMPARE(tio.c_cc[VSTART], cc_t(0x11));
    QCOMPARE(tio.c_cc[VSTOP], cc_t(0x13));
    d.setSwFlow(sfNONE);
    QVERIFY(d.WriteByte(0x56));
    QCOMPARE(pty.take(), QByteArray("\x56"));
    QVERIFY(d.OutputQueueRoom() > 0);
}

void DriverTest::openIsExclusiveAndRepeatable() {
    Pty pty;
    TCommPortDriver first;
    TCommPortDriver second;
    first.setPortName(pty.device());
    second.setPortName(pty.device());
    QVERIFY(first.OpenPort());
    QVERIFY(first.OpenPort()); // already open: true, nothing changes
    QVERIFY(!second.OpenPort());
    QCOMPARE(second.lastOpenFailure().error, EBUSY);
    first.ClosePort();
    QVERIFY(!first.IsOpen());
    QVERIFY(!first.pollingActive());
    QVERIFY(second.OpenPort());
}

void DriverTest::unsupportedRateFailsOpen() {
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    d.setBaudRate(br14400);
    QVERIFY(!d.OpenPort());
    QVERIFY(!d.IsOpen());
    d.setBaudRate(br9600);
    QVERIFY(d.OpenPort());
}

void DriverTest::namesCannotChangeWhileOpen() {
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    QVERIFY(d.OpenPort());
    d.setPortName(QStringLiteral("\\\\.\\COM2"));
    d.setPort(pnCOM5);
    d.setInBufSize(300);
    d.setOutBufSize(300);
    QCOMPARE(d.portName(), pty.device());
    QCOMPARE(d.port(), pnCustom);
    QCOMPARE(d.inBufSize(), 2048u);
    QCOMPARE(d.outBufSize(), 2048u);
    QVERIFY(d.IsOpen());
    // A packet larger than the buffer cannot be taken while the buffer cannot grow.
    d.setPacketSize(4000);
    QCOMPARE(d.packetSize(), int16_t(2048));
    d.setPollingDelay(20);
    QVERIFY(d.pollingActive());
}

void DriverTest::checkLineStatusBlocksSendsWithoutModemLines() {
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    QVERIFY(d.OpenPort()); // a pty has no modem lines: not a failed open
    QCOMPARE(d.ModemLines(), 0u);
    d.setCheckLineStatus(true);
    QElapsedTimer t;
    t.start();
    QCOMPARE(d.WriteData("VF", 2), 0u);
    QVERIFY(t.elapsed() < 100);
    QCOMPARE(pty.take(), QByteArray());
    d.setCheckLineStatus(false);
    QCOMPARE(d.WriteData("VF", 2), 2u);
    QCOMPARE(pty.take(), QByteArray("VF"));
}

void DriverTest::rawModeDeliversWhatWaits() {
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    d.setInBufSize(128);
    QByteArray got;
    int calls = 0;
    d.OnReceiveData = [&](TCommPortDriver* sender, const char* data, uint32_t size) {
        QCOMPARE(sender, &d);
        QCOMPARE(data, d.inputBuffer());
        got.append(data, size);
        ++calls;
    };
    QVERIFY(d.OpenPort());
    d.PollInput(); // nothing waiting: no event
    QCOMPARE(calls, 0);
    QByteArray data(300, 0);
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i);
    pty.send(data);
    QTest::qWait(20);
    d.PollInput();
    QCOMPARE(got.size(), 128); // at most InBufSize a tick
    QTRY_COMPARE_WITH_TIMEOUT(got, data, 2000);
    QCOMPARE(calls, 3);
    QTest::qWait(150);
    QCOMPARE(calls, 3);
    // Data that wait while the port is closed are purged by the next open.
    d.ClosePort();
    pty.send("old");
    QTest::qWait(20);
    QVERIFY(d.OpenPort());
    pty.send("new");
    QTRY_COMPARE_WITH_TIMEOUT(got.right(3), QByteArray("new"), 2000);
    QCOMPARE(got.size(), 303);
}

void DriverTest::packetModeSplitsAndTimesOut_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("pass") << int(pmPass);
    QTest::newRow("discard") << int(pmDiscard);
}

void DriverTest::packetModeSplitsAndTimesOut() {
    QFETCH(int, mode);
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    d.setPacketSize(10);
    d.setPacketTimeout(100);
    d.setPacketMode(static_cast<TPacketMode>(mode));
    QList<QByteArray> packets;
    d.OnReceivePacket = [&](TCommPortDriver*, const char* data, uint32_t size) { packets.append(QByteArray(data, size)); };
    bool rawCalled = false;
    d.OnReceiveData = [&](TCommPortDriver*, const char*, uint32_t) { rawCalled = true; };
    QVERIFY(d.OpenPort());
    pty.send("0123456789abcdefghijKLMNO");
    QTRY_COMPARE_WITH_TIMEOUT(packets.size(), 2, 2000);
    QCOMPARE(packets[0], QByteArray("0123456789"));
    QCOMPARE(packets[1], QByteArray("abcdefghij"));
    QTest::qWait(60);
    QCOMPARE(packets.size(), 2); // the short rest waits for its time
    QTest::qWait(250);
    if (mode == pmPass) {
        QCOMPARE(packets.size(), 3);
        QCOMPARE(packets[2], QByteArray("KLMNO"));
    } else {
        QCOMPARE(packets.size(), 2);
    }
    // Either way the rest has left the queue.
    pty.send("0123456789");
    QTRY_COMPARE_WITH_TIMEOUT(packets.last(), QByteArray("0123456789"), 2000);
    QVERIFY(!rawCalled);
}

void DriverTest::deviceNamesMapThroughSettings() {
    {
        ProgramSettings s;
        s.setValue(QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB7"));
        s.remove(QStringLiteral("COM2"));
    }
    QCOMPARE(serial::SerialDevice::deviceFor(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyUSB7"));
    QCOMPARE(serial::SerialDevice::deviceFor(QStringLiteral("\\\\.\\COM2")), QStringLiteral("/dev/ttyS1"));
    QCOMPARE(serial::SerialDevice::deviceFor(QStringLiteral("\\\\.\\COM10")), QStringLiteral("/dev/ttyS9"));
    QCOMPARE(serial::SerialDevice::deviceFor(QStringLiteral("/dev/pts/3")), QStringLiteral("/dev/pts/3"));
    // The mapping is looked up at open time, on the name the protocol keeps.
    Pty pty;
    {
        ProgramSettings s;
        s.setValue(QStringLiteral("COM1"), pty.device());
    }
    TCommPortDriver d;
    d.setPortName(QStringLiteral("\\\\.\\COM1"));
    QVERIFY(d.OpenPort());
    QCOMPARE(d.portName(), QStringLiteral("\\\\.\\COM1"));
    QCOMPARE(d.lastOpenFailure().device, pty.device());
    QVERIFY(d.WriteByte(0x46));
    QCOMPARE(pty.take(), QByteArray("\x46"));
}

void DriverTest::accessDeniedNoteNamesDevice() {
    serial::OpenFailure failure{QStringLiteral("/dev/ttyS0"), EACCES};
    QVERIFY(failure.permissionDenied());
    failure.error = ENOENT;
    QVERIFY(!failure.permissionDenied());
    const QString note = accessDeniedNote(QStringLiteral("/nonexistent/ttyS9"));
    QVERIFY(note.contains(QStringLiteral("/nonexistent/ttyS9")));
    QVERIFY(note.contains(QStringLiteral("«dialout»")));
}

QTEST_GUILESS_MAIN(DriverTest)
#include "test_driver.moc"
