#include "RecordingHost.h"

#include "link/sim/ImageGenerator.h"

#include <QtTest>

namespace {

const QByteArray acceptedId("\x37\x30\x31\x39\x30\x3B\x30\x3C\x30", 9);

QByteArray dumpOf(const QByteArray& image) {
    const std::vector<uint8_t> bytes(image.begin(), image.end());
    const std::vector<uint8_t> dump = sim::encodeDump(bytes);
    return QByteArray(reinterpret_cast<const char*>(dump.data()), static_cast<qsizetype>(dump.size()));
}

QByteArray generated(int records) {
    const std::vector<uint8_t> image = sim::generateImage(records);
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
}

// A protocol with a host and a clock that the test moves.
struct Rig {
    RecordingHost host;
    int64_t now = 0;
    DownloadProtocol protocol{host, [this] { return now; }};

    void feed(const QByteArray& data, int chunk = 0) {
        if (chunk <= 0)
            chunk = static_cast<int>(data.size());
        for (qsizetype i = 0; i < data.size(); i += chunk)
            protocol.receive(data.constData() + i, static_cast<uint32_t>(std::min<qsizetype>(chunk, data.size() - i)));
    }
    void identify() {
        protocol.start();
        feed(acceptedId);
    }
};

} // namespace

class ProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void startOpensFirstPortAndAsksForIdentification();
    void acceptedIdentification_data();
    void acceptedIdentification();
    void rejectedIdentification_data();
    void rejectedIdentification();
    void rejectionToleratesReentry();
    void fullDumpDecodesImage_data();
    void fullDumpDecodesImage();
    void recordCountLineShowsWholeCountOnce_data();
    void recordCountLineShowsWholeCountOnce();
    void restartMidDumpDropsAndAsksAgain();
    void startMarkerStopsAnswerTimer();
    void silenceMovesToSecondPortThenGivesUp();
    void portThatDoesNotOpenIsLeftWithoutWaiting();
    void chosenPortIsTheOnlyOneTried();
    void usbPortAfterSilentComPortsAnswers();
    void damagedDumpEndsWithCancel_data();
    void damagedDumpEndsWithCancel();
    void overlongDumpEndsWithCancel();
    void cancelClosesPort();
    void lostLineEndsWithMessage();
    void silenceDuringDump_data();
    void silenceDuringDump();
    void pairDecoding_data();
    void pairDecoding();
    void dateTextPadsBelowTen();
};

void ProtocolTest::startOpensFirstPortAndAsksForIdentification() {
    Rig rig;
    rig.host.port = DownloadProtocol::portCom2();
    rig.protocol.start();
    QCOMPARE(rig.host.opened, QStringList{DownloadProtocol::portCom1()});
    QCOMPARE(rig.host.sent, QByteArray("\x56"));
    QVERIFY(rig.host.timerRunning);
    QCOMPARE(rig.host.statuses.last(), QStringLiteral("Ожидание готовности прибора ..."));
    QCOMPARE(rig.host.captions.last(), QStringLiteral("0% - Прием данных"));
    QCOMPARE(rig.protocol.phase(), DownloadProtocol::Phase::V);
}

void ProtocolTest::acceptedIdentification_data() {
    QTest::addColumn<QList<int>>("chunks");
    QTest::newRow("one chunk") << QList<int>{9};
    QTest::newRow("4 + 5") << QList<int>{4, 5};
    QTest::newRow("1 + 8") << QList<int>{1, 8};
}

void ProtocolTest::acceptedIdentification() {
    QFETCH(QList<int>, chunks);
    Rig rig;
    rig.protocol.start();
    int at = 0;
    for (int i = 0; i < chunks.size(); ++i) {
        rig.feed(acceptedId.mid(at, chunks[i]));
        at += chunks[i];
        if (i + 1 < chunks.size()) // checked only once the ninth character is in
            QCOMPARE(rig.host.sent, QByteArray("\x56"));
    }
    QCOMPARE(rig.host.sent, QByteArray("\x56\x46"));
    QCOMPARE(rig.host.type, QStringLiteral("Кварнел-ЛД5"));
    QCOMPARE(rig.host.version, QStringLiteral("12.11.09"));
    QCOMPARE(rig.host.statuses.last(), QStringLiteral("Идет прием информации ..."));
    QCOMPARE(rig.protocol.phase(), DownloadProtocol::Phase::F);
    QCOMPARE(rig.protocol.receivedCount(), 0);
    QCOMPARE(rig.protocol.instrumentType(), uint8_t(7));
    QCOMPARE(rig.protocol.instrumentVersion(), uint8_t(1));
    QCOMPARE(rig.protocol.firmwareDate(), QStringLiteral("12.11.09"));
    QVERIFY(rig.host.messages.isEmpty());
    QVERIFY(rig.host.results.isEmpty());
    // Accepting does not restart the answer timer.
    QVERIFY(rig.host.timerRunning);
}

void ProtocolTest::rejectedIdentification_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("date");
    const int wrong = static_cast<int>(DownloadHost::Message::WrongInstrument);
    const int unknown = static_cast<int>(DownloadHost::Message::UnknownVersion);
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    QByteArray version2 = acceptedId;
    version2[2] = 0x32;
    QByteArray day13 = acceptedId;
    day13[7] = 0x3D;
    QByteArray year2010 = acceptedId;
    year2010[3] = 0x3A;
    QTest::newRow("type 8") << type8 << wrong << "Вы подключили не тот прибор !" << 8 << 1 << "12.11.09";
    QTest::newRow("version 2") << version2 << wrong << "Вы подключили не тот прибор !" << 7 << 2 << "12.11.09";
    QTest::newRow("day 13") << day13 << unknown << "Неизвестная или новая версия прибора !" << 7 << 1 << "13.11.09";
    QTest::newRow("year 10") << year2010 << unknown << "Неизвестная или новая версия прибора !" << 7 << 1 << "12.11.10";
    // Of a longer answer the last nine characters decide.
    QTest::newRow("garbage before") << (QByteArray("\x38\x30", 2) + day13) << unknown
                                    << "Неизвестная или новая версия прибора !" << 7 << 1 << "13.11.09";
}

void ProtocolTest::rejectedIdentification() {
    QFETCH(QByteArray, answer);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QString, date);
    Rig rig;
    rig.protocol.start();
    rig.feed(answer);
    QCOMPARE(rig.host.messages, QStringList{text});
    QCOMPARE(static_cast<int>(rig.host.messageKinds.value(0)), kind);
    QCOMPARE(rig.host.results, QList<bool>{false});
    QVERIFY(!rig.host.open);
    QCOMPARE(rig.host.sent, QByteArray("\x56")); // no memory request
    QCOMPARE(rig.protocol.instrumentType(), uint8_t(type));
    QCOMPARE(rig.protocol.instrumentVersion(), uint8_t(version));
    QCOMPARE(rig.protocol.firmwareDate(), date);
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedCancel);
}

void ProtocolTest::rejectionToleratesReentry() {
    Rig rig;
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    int nested = 0;
    rig.host.duringMessage = [&] {
        // The message box's own loop delivers more characters and lets the answer time run out.
        if (nested++ == 0) {
            rig.feed(type8);
            rig.feed(acceptedId);
            rig.now += 5000;
            rig.protocol.poll();
        }
    };
    rig.protocol.start();
    rig.feed(type8);
    QCOMPARE(rig.host.messages.size(), 1);
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.opened, QStringList{DownloadProtocol::portCom1()}); // never moved to COM2
    QCOMPARE(rig.host.sent, QByteArray("\x56"));
    QVERIFY(!rig.host.open);
}

void ProtocolTest::fullDumpDecodesImage_data() {
    QTest::addColumn<int>("chunk");
    QTest::newRow("44 per tick") << 44;
    QTest::newRow("4096 per tick") << 4096;
    QTest::newRow("one chunk") << 0;
}

void ProtocolTest::fullDumpDecodesImage() {
    QFETCH(int, chunk);
    Rig rig;
    rig.host.titles.clear();
    const QByteArray image = generated(300);
    QCOMPARE(image.size(), 7566);
    const QByteArray dump = dumpOf(image);
    QCOMPARE(dump.size(), DownloadProtocol::FullDumpLength);
    rig.identify();
    rig.feed(dump, chunk);
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
    QCOMPARE(rig.host.progress.last(), 100);
    QCOMPARE(rig.host.captions.last(), QStringLiteral("100% - Прием данных"));
    QCOMPARE(rig.host.titles.last(), QStringLiteral("100% - Прием данных"));
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QVERIFY(rig.host.messages.isEmpty());
    if (chunk == 44) { // the progress climbs with the dump
        QCOMPARE(rig.host.progress.at(rig.host.progress.size() - 2), 99);
        QVERIFY(rig.host.captions.contains(QStringLiteral("50% - Прием данных")));
    }

    // A second download into the same buffers, shorter this time: the old characters beyond
    // the new count must not leak into the image.
    const QByteArray small = generated(3).left(400);
    rig.identify();
    rig.feed(dumpOf(small), 44);
    QCOMPARE(rig.host.results, (QList<bool>{true, true}));
    QCOMPARE(rig.protocol.image(), small);
}

void ProtocolTest::recordCountLineShowsWholeCountOnce_data() {
    QTest::addColumn<int>("records");
    QTest::newRow("300, above one byte") << 300;
    QTest::newRow("255") << 255;
    QTest::newRow("256") << 256;
    QTest::newRow("3") << 3;
}

void ProtocolTest::recordCountLineShowsWholeCountOnce() {
    QFETCH(int, records);
    Rig rig;
    const QByteArray dump = dumpOf(generated(records));
    rig.identify();
    QCOMPARE(rig.host.recordCounts, QStringList{QString()});
    rig.feed(dump.left(700), 50);
    QCOMPARE(rig.host.recordCount, QString()); // shown only past 700 characters
    rig.feed(dump.mid(700, 1));
    QCOMPARE(rig.host.recordCount, QString::number(records));
    rig.feed(dump.mid(701), 50);
    QCOMPARE(rig.host.recordCounts, (QStringList{QString(), QString::number(records)}));
}

void ProtocolTest::restartMidDumpDropsAndAsksAgain() {
    Rig rig;
    const QByteArray image = generated(300);
    const QByteArray dump = dumpOf(image);
    rig.identify();
    rig.feed(dump.left(3000), 44);
    rig.feed(QByteArray("\x35\xEB\x36\x37", 4));
    QCOMPARE(rig.host.sent, QByteArray("\x56\x46\x56"));
    QCOMPARE(rig.protocol.phase(), DownloadProtocol::Phase::V);
    QCOMPARE(rig.protocol.receivedCount(), 0);
    QVERIFY(!rig.host.timerRunning);
    // No time limit after a restart.
    rig.now += 60000;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    rig.feed(acceptedId);
    rig.feed(dump, 44);
    QCOMPARE(rig.host.sent, QByteArray("\x56\x46\x56\x46"));
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
}

void ProtocolTest::startMarkerStopsAnswerTimer() {
    Rig rig;
    rig.identify();
    rig.now = 2999;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    rig.feed(QByteArray("\x53\x30\x30"));
    QVERIFY(!rig.host.timerRunning);
    // Only the silence limit of the dump remains, counted from the last character.
    rig.now = 2999 + DownloadProtocol::SilenceLimitMs - 1;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    QVERIFY(rig.host.results.isEmpty());
}

void ProtocolTest::silenceMovesToSecondPortThenGivesUp() {
    Rig rig;
    rig.protocol.start();
    rig.now = 2999;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    rig.now = 3000;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened, (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()}));
    QCOMPARE(rig.host.sent, QByteArray("\x56\x56"));
    QVERIFY(rig.host.results.isEmpty());
    // An accepted identification on COM2 does not reset the timer: the dump must start in time.
    rig.feed(acceptedId);
    rig.now = 6000;
    rig.protocol.poll();
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.messages,
             QStringList{QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно "
                                        "инструкции!\n\\\\.\\COM1: нет ответа\n\\\\.\\COM2: нет ответа")});
    QCOMPARE(rig.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::NotFound});
    QVERIFY(!rig.host.open);
    QCOMPARE(rig.host.port, DownloadProtocol::portCom1());
    // The next show starts on COM1 with a fresh state.
    rig.protocol.start();
    QCOMPARE(rig.host.opened.last(), DownloadProtocol::portCom1());
    QCOMPARE(rig.protocol.phase(), DownloadProtocol::Phase::V);
}

void ProtocolTest::portThatDoesNotOpenIsLeftWithoutWaiting() {
    Rig rig;
    const QString usb = QStringLiteral("/dev/ttyUSB0");
    rig.host.ports = {DownloadProtocol::portCom1(), DownloadProtocol::portCom2(), usb};
    rig.host.refused.insert(DownloadProtocol::portCom1(), QStringLiteral("устройство не найдено"));
    rig.host.refused.insert(usb, QStringLiteral("занят другой программой"));
    rig.protocol.start();
    // Nothing is sent to a port that did not open, and the move on is due at once.
    QVERIFY(rig.host.sent.isEmpty());
    QCOMPARE(rig.host.timerIntervals, QList<int>{0});
    QVERIFY(rig.host.results.isEmpty());
    rig.protocol.poll();
    QCOMPARE(rig.host.opened, (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()}));
    QCOMPARE(rig.host.sent, QByteArray("\x56"));
    QCOMPARE(rig.host.timerIntervals, (QList<int>{0, 3000}));
    rig.now = 2999;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.size(), 2);
    rig.now = 3000;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened.last(), usb);
    QCOMPARE(rig.host.timerIntervals, (QList<int>{0, 3000, 0}));
    QVERIFY(rig.host.results.isEmpty());
    rig.protocol.poll();
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.messages,
             QStringList{QStringLiteral(
                 "Прибор не обнаружен! Проверте правильность подключения согласно инструкции!\n"
                 "\\\\.\\COM1: устройство не найдено\n"
                 "\\\\.\\COM2: нет ответа\n"
                 "/dev/ttyUSB0: занят другой программой")});
    QCOMPARE(rig.host.port, DownloadProtocol::portCom1());
    QVERIFY(!rig.host.open);
}

void ProtocolTest::chosenPortIsTheOnlyOneTried() {
    Rig rig;
    const QString chosen = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00-port0");
    rig.host.ports = {chosen};
    rig.protocol.start();
    QCOMPARE(rig.host.opened, QStringList{chosen});
    rig.now = 3000;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened, QStringList{chosen});
    QCOMPARE(rig.host.messages.size(), 1);
    QVERIFY(rig.host.messages.first().endsWith(QLatin1Char('\n') + chosen + QStringLiteral(": нет ответа")));
    // The next start is on the chosen port again.
    rig.protocol.start();
    QCOMPARE(rig.host.opened.last(), chosen);
}

void ProtocolTest::usbPortAfterSilentComPortsAnswers() {
    Rig rig;
    const QString usb = QStringLiteral("/dev/ttyACM0");
    rig.host.ports = {DownloadProtocol::portCom1(), DownloadProtocol::portCom2(), usb};
    rig.protocol.start();
    rig.now = 3000;
    rig.protocol.poll();
    rig.now = 6000;
    rig.protocol.poll();
    QCOMPARE(rig.host.opened, (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2(), usb}));
    QCOMPARE(rig.host.timerIntervals, (QList<int>{3000, 3000, 3000}));
    QCOMPARE(rig.host.port, usb);
    const QByteArray image = generated(30);
    rig.feed(acceptedId);
    rig.feed(dumpOf(image), 97);
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
    QVERIFY(rig.host.messages.isEmpty());
}

void ProtocolTest::damagedDumpEndsWithCancel_data() {
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<bool>("identified");
    const QByteArray good = dumpOf(generated(10).left(1000));
    QByteArray odd = good;
    odd.remove(500, 1);
    QTest::newRow("odd count") << odd << true;
    QTest::newRow("no start marker") << good.mid(1) << true;
    QTest::newRow("end before start") << (QByteArray("\x50") + good) << true;
    QTest::newRow("end marker in phase V") << QByteArray("\x30\x50") << false;
    QByteArray big(1 + 2 * 8193 + 1, 0x30);
    big[0] = 0x53;
    big[big.size() - 1] = 0x50;
    QTest::newRow("image over 8192 bytes") << big << true;
}

void ProtocolTest::damagedDumpEndsWithCancel() {
    QFETCH(QByteArray, dump);
    QFETCH(bool, identified);
    Rig rig;
    const QByteArray image = generated(5);
    rig.identify();
    rig.feed(dumpOf(image), 44);
    QCOMPARE(rig.host.results, QList<bool>{true});
    if (identified)
        rig.identify();
    else
        rig.protocol.start();
    rig.feed(dump, 44);
    QCOMPARE(rig.host.results, (QList<bool>{true, false}));
    QCOMPARE(rig.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::Damaged});
    QVERIFY(rig.host.messages.first().contains(QStringLiteral("Ничего не изменено")));
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QCOMPARE(rig.protocol.image(), image); // the earlier image stays
}

void ProtocolTest::overlongDumpEndsWithCancel() {
    Rig rig;
    rig.identify();
    QByteArray endless(30000, 0x31);
    endless[0] = 0x53;
    rig.feed(endless.left(24576), 4096);
    QVERIFY(rig.host.results.isEmpty());
    rig.feed(endless.mid(24576, 1));
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::Damaged});
    QVERIFY(!rig.host.open);
    // Whatever still trickles in after the end is ignored.
    rig.feed(QByteArray("\x50"));
    QCOMPARE(rig.host.results.size(), 1);
}

void ProtocolTest::cancelClosesPort() {
    Rig rig;
    rig.identify();
    rig.feed(dumpOf(generated(300)).left(2000), 44);
    rig.protocol.cancel();
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.progress.last(), 0);
    QCOMPARE(rig.protocol.receivedCount(), 0);
    QVERIFY(rig.host.messages.isEmpty());
}

void ProtocolTest::lostLineEndsWithMessage() {
    Rig rig;
    const QByteArray image = generated(300);
    const QByteArray dump = dumpOf(image);
    rig.identify();
    rig.feed(dump.left(5000), 44);
    rig.protocol.lineLost();
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::LineLost});
    QCOMPARE(rig.host.messages, QStringList{QStringLiteral(
                                    "Связь с прибором прервана. Данные не приняты, ничего не изменено.")});
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QCOMPARE(rig.host.progress.last(), 0);
    QVERIFY(rig.protocol.image().isEmpty());
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedCancel);
    // A second report of the same failure, or one after the end, changes nothing.
    rig.protocol.lineLost();
    rig.feed(dump.mid(5000));
    QCOMPARE(rig.host.results.size(), 1);

    // The instrument back on the line: the next try is a whole download.
    rig.identify();
    rig.feed(dump, 4096);
    QCOMPARE(rig.host.results, (QList<bool>{false, true}));
    QCOMPARE(rig.protocol.image(), image);

    // A failure reported while another message box is open waits for it to end the download.
    Rig nested;
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    nested.host.duringMessage = [&] { nested.protocol.lineLost(); };
    nested.protocol.start();
    nested.feed(type8);
    QCOMPARE(nested.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::WrongInstrument});
    QCOMPARE(nested.host.results, QList<bool>{false});
}

void ProtocolTest::silenceDuringDump_data() {
    QTest::addColumn<int>("pauseMs");
    QTest::addColumn<int>("atCharacter");
    QTest::addColumn<bool>("lost");
    QTest::newRow("3 s mid-dump") << 3000 << 5000 << false;
    QTest::newRow("4.999 s mid-dump") << 4999 << 5000 << false;
    QTest::newRow("5 s mid-dump") << 5000 << 5000 << true;
    QTest::newRow("5 s after the start marker") << 5000 << 1 << true;
    QTest::newRow("5 s before the end marker") << 5000 << DownloadProtocol::FullDumpLength - 1 << true;
}

void ProtocolTest::silenceDuringDump() {
    QFETCH(int, pauseMs);
    QFETCH(int, atCharacter);
    QFETCH(bool, lost);
    Rig rig;
    const QByteArray image = generated(300);
    const QByteArray dump = dumpOf(image);
    rig.identify();
    rig.feed(dump.left(atCharacter), 44);
    // The clock moves in polling ticks, as the port's timer would call.
    for (int t = 0; t < pauseMs; t += 50) {
        rig.now += std::min(50, pauseMs - t);
        rig.protocol.poll();
    }
    if (lost) {
        QCOMPARE(rig.host.results, QList<bool>{false});
        QCOMPARE(rig.host.messageKinds, QList<DownloadHost::Message>{DownloadHost::Message::LineLost});
        QVERIFY(!rig.host.open);
        QCOMPARE(rig.host.opened.size(), 1); // never moved to another port
        return;
    }
    QVERIFY(rig.host.results.isEmpty());
    rig.feed(dump.mid(atCharacter), 44);
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
    QVERIFY(rig.host.messages.isEmpty());
}

void ProtocolTest::pairDecoding_data() {
    QTest::addColumn<QByteArray>("pair");
    QTest::addColumn<int>("byte");
    QTest::newRow("A7") << QByteArray("\x37\x3A") << 0xA7;
    QTest::newRow("3C") << QByteArray("\x3C\x33") << 0x3C;
    QTest::newRow("07") << QByteArray("\x37\x30") << 0x07;
    QTest::newRow("FF") << QByteArray("\x3F\x3F") << 0xFF;
    // Characters outside 0x30..0x3F are not rejected; the formula wraps modulo 256.
    QTest::newRow("outside") << QByteArray("\x20\x41") << ((0x41 - 0x30) * 16 + (0x20 - 0x30)) % 256;
}

void ProtocolTest::pairDecoding() {
    QFETCH(QByteArray, pair);
    QFETCH(int, byte);
    Rig rig;
    rig.protocol.start();
    rig.feed(QByteArray("\x30\x30", 2) + pair); // fewer than nine: no identification check
    QCOMPARE(int(rig.protocol.decode_pair(2)), byte);
    QCOMPARE(rig.protocol.find_byte(0x50), DownloadProtocol::BufferSize);
    QCOMPARE(rig.protocol.find_byte(static_cast<uint8_t>(pair[0])), pair[0] == 0x30 ? 0 : 2);
}

void ProtocolTest::dateTextPadsBelowTen() {
    Rig rig;
    rig.identify();
    // year 123, month 5, day 100
    rig.feed(QByteArray("\x3B\x37\x35\x30\x34\x36", 6));
    QCOMPARE(rig.protocol.date_text(0), QStringLiteral("100.05.123"));
}

QTEST_GUILESS_MAIN(ProtocolTest)
#include "test_protocol.moc"
