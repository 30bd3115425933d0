#include "ManualTimer.h"
#include "Pty.h"

#include "core/SettingsIdentity.h"
#include "link/CommPortDriver.h"
#include "link/DownloadLink.h"

#include <QtTest>

#include <cstring>

#include <termios.h>

namespace {

// A driver on a clock and a polling timer that move only when the test moves them.
struct ManualDriver {
    uint32_t now = 0;
    ManualTimer* tick = nullptr;
    std::unique_ptr<TCommPortDriver> driver;

    explicit ManualDriver(const QString& device, uint32_t start = 0) : now(start) {
        auto timer = std::make_unique<ManualTimer>();
        tick = timer.get();
        driver = std::make_unique<TCommPortDriver>([this] { return now; }, std::move(timer));
        driver->setPortName(device);
    }
};

// Waits until the terminal holds n characters for the driver to read.
bool waitForQueue(const Pty& pty, int n) {
    return QTest::qWaitFor([&] { return pty.waiting() == n; }, 5000);
}

} // namespace

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
    void systemTimersRunByThemselves();
    void hangUpIsToldOnce_data();
    void hangUpIsToldOnce();
    void packetModeSplitsAndTimesOut_data();
    void packetModeSplitsAndTimesOut();
    void wholePacketsMoveTheShortPacketsStart_data();
    void wholePacketsMoveTheShortPacketsStart();
    void deviceNamesMapThroughSettings();
    void openFailureReasonSaysWhy();
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
    ManualDriver rig(pty.device());
    TCommPortDriver& d = *rig.driver;
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
    // A new polling period restarts the polling at once.
    d.setPollingDelay(20);
    QVERIFY(d.pollingActive());
    QCOMPARE(rig.tick->intervals, QList<int>({50, 20}));
}

void DriverTest::checkLineStatusBlocksSendsWithoutModemLines() {
    Pty pty;
    // Every look at the clock moves it on 10 ms: a send that waited out its limit would take
    // the clock past the 500 ms of OutputTimeout.
    uint32_t now = 0;
    TCommPortDriver d([&now] { return now += 10; }, std::make_unique<ManualTimer>());
    d.setPortName(pty.device());
    QVERIFY(d.OpenPort()); // a pty has no modem lines: not a failed open
    QCOMPARE(d.ModemLines(), 0u);
    d.setCheckLineStatus(true);
    QCOMPARE(d.WriteData("VF", 2), 0u);
    QVERIFY2(now < d.outputTimeout(), qPrintable(QString::number(now)));
    QCOMPARE(pty.take(), QByteArray());
    d.setCheckLineStatus(false);
    QCOMPARE(d.WriteData("VF", 2), 2u);
    QCOMPARE(pty.take(), QByteArray("VF"));
}

void DriverTest::rawModeDeliversWhatWaits() {
    Pty pty;
    ManualDriver rig(pty.device());
    TCommPortDriver& d = *rig.driver;
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
    QCOMPARE(rig.tick->intervals, QList<int>{50});
    QVERIFY(rig.tick->fire()); // nothing waiting: no event
    QCOMPARE(calls, 0);
    QByteArray data(300, 0);
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i);
    pty.send(data);
    QVERIFY(waitForQueue(pty, 300));
    rig.tick->fire();
    QCOMPARE(got, data.left(128)); // at most InBufSize a tick
    rig.tick->fire();
    QCOMPARE(got.size(), 256);
    rig.tick->fire();
    QCOMPARE(got, data);
    QCOMPARE(calls, 3);
    rig.tick->fire();
    QCOMPARE(calls, 3);
    // Polling stops with the port, and data that wait while it is closed are purged by the next open.
    d.ClosePort();
    QVERIFY(!rig.tick->isActive());
    pty.send("old");
    QVERIFY(waitForQueue(pty, 3));
    d.PollInput();
    QCOMPARE(calls, 3);
    QVERIFY(d.OpenPort());
    QCOMPARE(pty.waiting(), 0);
    pty.send("new");
    QVERIFY(waitForQueue(pty, 3));
    rig.tick->fire();
    QCOMPARE(got.right(3), QByteArray("new"));
    QCOMPARE(got.size(), 303);
}

void DriverTest::hangUpIsToldOnce_data() {
    QTest::addColumn<int>("packetSize");
    QTest::addColumn<QByteArray>("waiting"); // left in the queue when the line goes
    QTest::newRow("raw, empty queue") << -1 << QByteArray();
    QTest::newRow("raw, characters waiting") << -1 << QByteArray("12345");
    QTest::newRow("packets, part of one waiting") << 8 << QByteArray("123");
}

void DriverTest::hangUpIsToldOnce() {
    QFETCH(int, packetSize);
    QFETCH(QByteArray, waiting);
    Pty pty;
    ManualDriver rig(pty.device());
    TCommPortDriver& d = *rig.driver;
    d.setPacketSize(static_cast<int16_t>(packetSize));
    d.setPacketTimeout(100);
    int errors = 0;
    int ticks = 0;
    d.OnLineError = [&](TCommPortDriver* sender) {
        QCOMPARE(sender, &d);
        ++errors;
    };
    d.OnPollTick = [&](TCommPortDriver*) { ++ticks; };
    QVERIFY(d.OpenPort());
    pty.send("ab");
    QVERIFY(waitForQueue(pty, 2));
    rig.tick->fire();
    rig.tick->fire();
    QCOMPARE(errors, 0); // a working line, with or without input, is no failure
    QCOMPARE(ticks, 2);

    if (!waiting.isEmpty()) {
        pty.send(waiting);
        QVERIFY(waitForQueue(pty, static_cast<int>(waiting.size()) + (packetSize > 0 ? 2 : 0)));
    }
    pty.hangUp();
    // Whatever the queue still held may come first; the failure is told within a few ticks.
    for (int i = 0; i < 5 && rig.tick->isActive(); ++i) {
        rig.now += 200;
        rig.tick->fire();
    }
    QCOMPARE(errors, 1);
    QVERIFY(!rig.tick->isActive()); // no more polling of a dead line
    QVERIFY(d.IsOpen());
    const int ticksAtFailure = ticks;
    d.PollInput();
    QCOMPARE(errors, 2); // a tick by hand looks again
    QCOMPARE(ticks, ticksAtFailure);
    d.ClosePort();
    QVERIFY(!d.IsOpen());
    d.PollInput();
    QCOMPARE(errors, 2);
}

// The program's own timers: the driver polls by itself, the answer timer runs out once.
void DriverTest::systemTimersRunByThemselves() {
    Pty pty;
    TCommPortDriver d;
    d.setPortName(pty.device());
    QByteArray got;
    d.OnReceiveData = [&](TCommPortDriver*, const char* data, uint32_t size) { got.append(data, size); };
    QVERIFY(d.OpenPort());
    pty.send("VF");
    QTRY_COMPARE_WITH_TIMEOUT(got, QByteArray("VF"), 5000);

    SystemTimer once(SystemTimer::Mode::SingleShot);
    int expiries = 0;
    once.onTimeout = [&] { ++expiries; };
    once.start(1);
    QVERIFY(once.isActive());
    QTRY_COMPARE_WITH_TIMEOUT(expiries, 1, 5000);
    QVERIFY(!once.isActive());
    once.start(60000);
    once.stop();
    QVERIFY(!once.isActive());
}

void DriverTest::packetModeSplitsAndTimesOut_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("pass") << int(pmPass);
    QTest::newRow("discard") << int(pmDiscard);
}

void DriverTest::packetModeSplitsAndTimesOut() {
    QFETCH(int, mode);
    Pty pty;
    ManualDriver rig(pty.device(), 1000);
    TCommPortDriver& d = *rig.driver;
    d.setPacketSize(10);
    d.setPacketTimeout(100);
    d.setPacketMode(static_cast<TPacketMode>(mode));
    QList<QByteArray> packets;
    d.OnReceivePacket = [&](TCommPortDriver*, const char* data, uint32_t size) {
        packets.append(QByteArray(data, size));
    };
    bool rawCalled = false;
    d.OnReceiveData = [&](TCommPortDriver*, const char*, uint32_t) { rawCalled = true; };
    QVERIFY(d.OpenPort());
    pty.send("0123456789abcdefghijKLMNO");
    QVERIFY(waitForQueue(pty, 25));
    rig.tick->fire();
    QCOMPARE(packets, QList<QByteArray>({"0123456789", "abcdefghij"}));
    // The short rest waits more than PacketTimeout from the tick that first finds it.
    rig.tick->fire();
    rig.now += 100;
    rig.tick->fire();
    QCOMPARE(packets.size(), 2);
    QCOMPARE(pty.waiting(), 5);
    rig.now += 1;
    rig.tick->fire();
    if (mode == pmPass) {
        QCOMPARE(packets.size(), 3);
        QCOMPARE(packets[2], QByteArray("KLMNO"));
    } else {
        QCOMPARE(packets.size(), 2);
    }
    // Either way the rest has left the queue.
    QCOMPARE(pty.waiting(), 0);
    pty.send("0123456789");
    QVERIFY(waitForQueue(pty, 10));
    rig.tick->fire();
    QCOMPARE(packets.last(), QByteArray("0123456789"));
    QVERIFY(!rawCalled);
}

void DriverTest::wholePacketsMoveTheShortPacketsStart_data() {
    QTest::addColumn<uint>("start");
    QTest::newRow("tick 1000") << 1000u;
    QTest::newRow("tick count wraps") << 0xFFFFFFF0u;
}

// Each whole packet taken moves the start of the waiting rest on by its line time,
// 12 x 10 000 / 9600 = 12.5 ms, rounded half to even: 12.
void DriverTest::wholePacketsMoveTheShortPacketsStart() {
    QFETCH(uint, start);
    Pty pty;
    ManualDriver rig(pty.device(), start);
    TCommPortDriver& d = *rig.driver;
    d.setPacketSize(12);
    d.setPacketTimeout(100);
    d.setPacketMode(pmPass);
    QList<QByteArray> packets;
    d.OnReceivePacket = [&](TCommPortDriver*, const char* data, uint32_t size) {
        packets.append(QByteArray(data, size));
    };
    QVERIFY(d.OpenPort());
    pty.send("ABCDEF");
    QVERIFY(waitForQueue(pty, 6));
    rig.tick->fire(); // the start of the rest: start
    pty.send("ghijklmnopqrstuvwxyz");
    QVERIFY(waitForQueue(pty, 26));
    rig.now += 50;
    rig.tick->fire(); // two packets: the rest now counts from start + 24
    QCOMPARE(packets, QList<QByteArray>({"ABCDEFghijkl", "mnopqrstuvwx"}));
    rig.now = start + 124;
    rig.tick->fire();
    QCOMPARE(packets.size(), 2);
    rig.now = start + 125;
    rig.tick->fire();
    QCOMPARE(packets.size(), 3);
    QCOMPARE(packets[2], QByteArray("yz"));
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

void DriverTest::openFailureReasonSaysWhy() {
    serial::OpenFailure failure{QStringLiteral("/nonexistent/ttyS9"), EACCES};
    QVERIFY(failure.permissionDenied());
    // The group of a device that is not there is unknown: the usual one is named.
    QCOMPARE(
        openFailureReason(failure),
        QStringLiteral("нет доступа: пользователь должен входить в группу устройства (обычно «dialout»)"));
    failure.error = EPERM;
    QVERIFY(openFailureReason(failure).startsWith(QStringLiteral("нет доступа: ")));
    failure.error = ENOENT;
    QVERIFY(!failure.permissionDenied());
    QCOMPARE(openFailureReason(failure), QStringLiteral("устройство не найдено"));
    failure.error = ENXIO;
    QCOMPARE(openFailureReason(failure), QStringLiteral("устройство не найдено"));
    failure.error = EBUSY;
    QCOMPARE(openFailureReason(failure), QStringLiteral("занят другой программой"));
    failure.error = EIO;
    QCOMPARE(openFailureReason(failure), QStringLiteral("ошибка ввода-вывода"));
    failure.error = 0;
    QVERIFY(openFailureReason(failure).isEmpty());
}

QTEST_GUILESS_MAIN(DriverTest)
#include "test_driver.moc"
