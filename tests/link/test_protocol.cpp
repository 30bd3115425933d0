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
    int64_t now = 0;
    RecordingHost host{now};
    DownloadProtocol protocol{host, [this] { return now; }};
    DownloadProtocol::Events lastBatch; // of the last chunk fed

    void feed(const QByteArray& data, int chunk = 0) {
        if (chunk <= 0)
            chunk = static_cast<int>(data.size());
        for (qsizetype i = 0; i < data.size(); i += chunk) {
            lastBatch = protocol.receive(data.constData() + i,
                                         static_cast<uint32_t>(std::min<qsizetype>(chunk, data.size() - i)));
            host.record(lastBatch);
        }
    }
    void identify() {
        protocol.start();
        feed(acceptedId);
    }
    // The clock has moved: the single-shot answer timer runs out when due, and the port's
    // polling tick looks at the line.
    void poll() {
        if (host.timerDue()) {
            host.timerRunning = false;
            host.record(protocol.answerTimeout());
        }
        host.record(protocol.watchLine());
    }
    void cancel() { host.record(protocol.cancel()); }
    void lineLost() { host.record(protocol.lineLost()); }
};

// The kinds of the reports, in order, e.g. "Identified Progress".
QString kindsOf(const DownloadProtocol::Events& events) {
    static const char* const names[] = {"Progress", "Identified", "RecordCount", "Failed", "Finished"};
    QStringList kinds;
    for (const DownloadProtocol::Event& event : events)
        kinds.append(QLatin1String(names[event.index()]));
    return kinds.join(QLatin1Char(' '));
}

} // namespace

class ProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void startOpensFirstPortAndAsksForIdentification();
    void acceptedIdentification_data();
    void acceptedIdentification();
    void rejectedIdentification_data();
    void rejectedIdentification();
    void nothingCountsAfterRejection();
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
    void progressReportsEachStep_data();
    void progressReportsEachStep();
    void identifiedComesWithTheMemoryRequest();
    void recordCountComesOncePerDownload_data();
    void recordCountComesOncePerDownload();
    void failedNamesReasonAndPortsAndEndsAll_data();
    void failedNamesReasonAndPortsAndEndsAll();
    void finishedCarriesTheImage_data();
    void finishedCarriesTheImage();
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
    QCOMPARE(rig.host.identified.size(), 1);
    QCOMPARE(rig.host.identified[0].firmwareDate, QStringLiteral("12.11.09"));
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
    const int wrong = static_cast<int>(DownloadProtocol::Failure::WrongInstrument);
    const int unknown = static_cast<int>(DownloadProtocol::Failure::UnknownVersion);
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    QByteArray version2 = acceptedId;
    version2[2] = 0x32;
    QByteArray day13 = acceptedId;
    day13[7] = 0x3D;
    QByteArray year2010 = acceptedId;
    year2010[3] = 0x3A;
    QTest::newRow("type 8") << type8 << wrong << "Вы подключили не тот прибор !" << 8 << 1 << "12.11.09";
    QTest::newRow("version 2") << version2 << wrong << "Вы подключили не тот прибор !" << 7 << 2
                               << "12.11.09";
    QTest::newRow("day 13") << day13 << unknown << "Неизвестная или новая версия прибора !" << 7 << 1
                            << "13.11.09";
    QTest::newRow("year 10") << year2010 << unknown << "Неизвестная или новая версия прибора !" << 7 << 1
                             << "12.11.10";
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
    QCOMPARE(rig.host.failures.size(), 1);
    QCOMPARE(static_cast<int>(rig.host.failures[0]), kind);
    QCOMPARE(rig.host.results, QList<bool>{false});
    QVERIFY(!rig.host.open);
    QCOMPARE(rig.host.sent, QByteArray("\x56")); // no memory request
    QCOMPARE(rig.protocol.instrumentType(), uint8_t(type));
    QCOMPARE(rig.protocol.instrumentVersion(), uint8_t(version));
    QCOMPARE(rig.protocol.firmwareDate(), date);
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedCancel);
}

void ProtocolTest::nothingCountsAfterRejection() {
    Rig rig;
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    rig.protocol.start();
    rig.feed(type8);
    // What the loop of the message box may bring meanwhile: more characters, the answer time up.
    rig.feed(type8);
    rig.feed(acceptedId);
    rig.now += 5000;
    rig.poll();
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
    const QByteArray image = generated(300);
    QCOMPARE(image.size(), 7566);
    const QByteArray dump = dumpOf(image);
    QCOMPARE(dump.size(), DownloadProtocol::FullDumpLength);
    rig.identify();
    rig.feed(dump, chunk);
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
    QCOMPARE(rig.host.progress.last(), 100);
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QVERIFY(rig.host.messages.isEmpty());
    if (chunk == 44) { // the progress climbs with the dump
        QCOMPARE(rig.host.progress.at(rig.host.progress.size() - 2), 99);
        QVERIFY(rig.host.progress.contains(50));
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
    rig.feed(dump.left(700), 50);
    QCOMPARE(rig.host.recordCounts, QList<int>()); // shown only past 700 characters
    rig.feed(dump.mid(700, 1));
    QCOMPARE(rig.host.recordCounts, QList<int>{records});
    rig.feed(dump.mid(701), 50);
    QCOMPARE(rig.host.recordCounts, QList<int>{records});
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
    rig.poll();
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
    rig.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    rig.feed(QByteArray("\x53\x30\x30"));
    QVERIFY(!rig.host.timerRunning);
    // Only the silence limit of the dump remains, counted from the last character.
    rig.now = 2999 + DownloadProtocol::SilenceLimitMs - 1;
    rig.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    QVERIFY(rig.host.results.isEmpty());
}

void ProtocolTest::silenceMovesToSecondPortThenGivesUp() {
    Rig rig;
    rig.protocol.start();
    rig.now = 2999;
    rig.poll();
    QCOMPARE(rig.host.opened.size(), 1);
    rig.now = 3000;
    rig.poll();
    QCOMPARE(rig.host.opened, (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()}));
    QCOMPARE(rig.host.sent, QByteArray("\x56\x56"));
    QVERIFY(rig.host.results.isEmpty());
    // An accepted identification on COM2 does not reset the timer: the dump must start in time.
    rig.feed(acceptedId);
    rig.now = 6000;
    rig.poll();
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.messages,
             QStringList{QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно "
                                        "инструкции!\n\\\\.\\COM1: нет ответа\n\\\\.\\COM2: нет ответа")});
    QCOMPARE(rig.host.failures, QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::NotFound});
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
    rig.poll();
    QCOMPARE(rig.host.opened, (QStringList{DownloadProtocol::portCom1(), DownloadProtocol::portCom2()}));
    QCOMPARE(rig.host.sent, QByteArray("\x56"));
    QCOMPARE(rig.host.timerIntervals, (QList<int>{0, 3000}));
    rig.now = 2999;
    rig.poll();
    QCOMPARE(rig.host.opened.size(), 2);
    rig.now = 3000;
    rig.poll();
    QCOMPARE(rig.host.opened.last(), usb);
    QCOMPARE(rig.host.timerIntervals, (QList<int>{0, 3000, 0}));
    QVERIFY(rig.host.results.isEmpty());
    rig.poll();
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
    rig.poll();
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
    rig.poll();
    rig.now = 6000;
    rig.poll();
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
    QCOMPARE(rig.host.failures, QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::Damaged});
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
    QCOMPARE(rig.host.failures, QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::Damaged});
    QVERIFY(!rig.host.open);
    // Whatever still trickles in after the end is ignored.
    rig.feed(QByteArray("\x50"));
    QCOMPARE(rig.host.results.size(), 1);
}

void ProtocolTest::cancelClosesPort() {
    Rig rig;
    rig.identify();
    rig.feed(dumpOf(generated(300)).left(2000), 44);
    rig.cancel();
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
    rig.lineLost();
    QCOMPARE(rig.host.results, QList<bool>{false});
    QCOMPARE(rig.host.failures, QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::LineLost});
    QCOMPARE(rig.host.messages, QStringList{QStringLiteral(
                                    "Связь с прибором прервана. Данные не приняты, ничего не изменено.")});
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QCOMPARE(rig.host.progress.last(), 0);
    QVERIFY(rig.protocol.image().isEmpty());
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedCancel);
    // A second report of the same failure, or one after the end, changes nothing.
    rig.lineLost();
    rig.feed(dump.mid(5000));
    QCOMPARE(rig.host.results.size(), 1);

    // The instrument back on the line: the next try is a whole download.
    rig.identify();
    rig.feed(dump, 4096);
    QCOMPARE(rig.host.results, (QList<bool>{false, true}));
    QCOMPARE(rig.protocol.image(), image);

    // A failure of the port while the rejection is shown finds the download over already.
    Rig nested;
    QByteArray type8 = acceptedId;
    type8[0] = 0x38;
    nested.protocol.start();
    nested.feed(type8);
    nested.lineLost();
    QCOMPARE(nested.host.failures,
             QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::WrongInstrument});
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
        rig.poll();
    }
    if (lost) {
        QCOMPARE(rig.host.results, QList<bool>{false});
        QCOMPARE(rig.host.failures, QList<DownloadProtocol::Failure>{DownloadProtocol::Failure::LineLost});
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

void ProtocolTest::progressReportsEachStep_data() {
    using Step = DownloadProtocol::Progress::Step;
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("percent");
    QTest::newRow("part of the answer") << "answer-part" << int(Step::Identification) << 0;
    QTest::newRow("a tenth of the dump") << "dump-tenth" << int(Step::Dump) << 10;
    // A restart in mid-dump leaves the share shown until the dump comes again.
    QTest::newRow("answer after a restart") << "restart" << int(Step::Identification) << 19;
    QTest::newRow("answer time up") << "silent" << int(Step::Reset) << 0;
    QTest::newRow("cancel in the dump") << "cancel" << int(Step::Reset) << 0;
    QTest::newRow("line lost in the dump") << "lost" << int(Step::Reset) << 0;
}

void ProtocolTest::progressReportsEachStep() {
    QFETCH(QString, script);
    QFETCH(int, step);
    QFETCH(int, percent);
    Rig rig;
    const QByteArray dump = dumpOf(generated(300));
    rig.protocol.start();
    if (script != QLatin1String("answer-part") && script != QLatin1String("silent"))
        rig.feed(acceptedId);
    if (script == QLatin1String("answer-part")) {
        rig.feed(acceptedId.left(4));
    } else if (script == QLatin1String("dump-tenth")) {
        rig.feed(dump.left(1514));
    } else if (script == QLatin1String("restart")) {
        rig.feed(dump.left(3000));
        rig.feed(QByteArray("\xEB"));
        rig.feed(acceptedId.left(4));
    } else if (script == QLatin1String("silent")) {
        rig.now = 3000;
        rig.poll();
    } else {
        rig.feed(dump.left(3000));
        script == QLatin1String("cancel") ? rig.cancel() : rig.lineLost();
    }
    auto last = std::find_if(rig.host.events.rbegin(), rig.host.events.rend(), [](const auto& e) {
        return std::holds_alternative<DownloadProtocol::Progress>(e);
    });
    QVERIFY(last != rig.host.events.rend());
    const auto& progress = std::get<DownloadProtocol::Progress>(*last);
    QCOMPARE(int(progress.step), step);
    QCOMPARE(progress.percent, percent);
}

void ProtocolTest::identifiedComesWithTheMemoryRequest() {
    Rig rig;
    rig.protocol.start();
    rig.host.record(rig.protocol.receive(acceptedId.constData(), 4));
    QCOMPARE(kindsOf(rig.host.events), QStringLiteral("Progress"));
    // The chunk that completes the answer reports the instrument, then the first share of the dump.
    const DownloadProtocol::Events batch = rig.protocol.receive(acceptedId.constData() + 4, 5);
    QCOMPARE(kindsOf(batch), QStringLiteral("Identified Progress"));
    const auto& id = std::get<DownloadProtocol::Identified>(batch[0]);
    QCOMPARE(int(id.type), 7);
    QCOMPARE(int(id.version), 1);
    QCOMPARE(id.firmwareDate, QStringLiteral("12.11.09"));
    QCOMPARE(int(std::get<DownloadProtocol::Progress>(batch[1]).step),
             int(DownloadProtocol::Progress::Step::Dump));
    // By the time it is reported the dump has been asked for.
    QCOMPARE(rig.host.sent, QByteArray("\x56\x46"));
}

void ProtocolTest::recordCountComesOncePerDownload_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("chunk");
    QTest::addColumn<QString>("lastKinds"); // of the chunk that ends the dump
    QTest::newRow("whole dump in one chunk") << 7566 << 0 << "Progress RecordCount Finished";
    QTest::newRow("in ticks") << 7566 << 44 << "Progress Finished";
    // 349 bytes travel as 700 characters with the markers: never past 700.
    QTest::newRow("dump of 700 characters") << 349 << 0 << "Progress Finished";
}

void ProtocolTest::recordCountComesOncePerDownload() {
    QFETCH(int, bytes);
    QFETCH(int, chunk);
    QFETCH(QString, lastKinds);
    Rig rig;
    const QByteArray dump = dumpOf(generated(300).left(bytes));
    for (int download = 0; download < 2; ++download) {
        rig.identify();
        rig.feed(dump, chunk);
        QCOMPARE(kindsOf(rig.lastBatch), lastKinds);
    }
    QCOMPARE(rig.host.recordCounts, bytes > 349 ? (QList<int>{300, 300}) : QList<int>());
    QCOMPARE(rig.host.results, (QList<bool>{true, true}));
}

void ProtocolTest::failedNamesReasonAndPortsAndEndsAll_data() {
    using Failure = DownloadProtocol::Failure;
    using Damage = DownloadProtocol::Damage;
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("damage");
    QTest::addColumn<QStringList>("ports"); // the ports that gave nothing
    const QStringList none;
    const QString com1 = DownloadProtocol::portCom1(), com2 = DownloadProtocol::portCom2();
    QTest::newRow("cancel") << "cancel" << int(Failure::Cancelled) << int(Damage::None) << none;
    QTest::newRow("not found") << "not-found" << int(Failure::NotFound) << int(Damage::None)
                               << QStringList{com1 + " not opened: busy", com2 + " silent"};
    QTest::newRow("odd dump") << "odd" << int(Failure::Damaged) << int(Damage::OddCount) << none;
    QTest::newRow("endless dump") << "endless" << int(Failure::Damaged) << int(Damage::Overlong) << none;
    QTest::newRow("end marker lost") << "end-lost" << int(Failure::Damaged) << int(Damage::EndMarkerLost)
                                     << none;
    QTest::newRow("lost on COM2") << "lost" << int(Failure::LineLost) << int(Damage::None)
                                  << QStringList{com1 + " silent"};
}

void ProtocolTest::failedNamesReasonAndPortsAndEndsAll() {
    QFETCH(QString, script);
    QFETCH(int, reason);
    QFETCH(int, damage);
    QFETCH(QStringList, ports);
    Rig rig;
    if (script == QLatin1String("not-found"))
        rig.host.refused.insert(DownloadProtocol::portCom1(), QStringLiteral("busy"));
    rig.protocol.start();
    if (script == QLatin1String("not-found") || script == QLatin1String("lost")) {
        rig.poll(); // COM1 did not open: moved on at once
        rig.now = 3000;
        rig.poll(); // or stayed silent for the answer time
    }
    rig.feed(acceptedId);
    QByteArray dump = dumpOf(generated(10));
    if (script == QLatin1String("odd"))
        dump.remove(500, 1);
    if (script == QLatin1String("endless"))
        dump = QByteArray("\x53") + QByteArray(DownloadProtocol::BufferSize, 0x30);
    if (script == QLatin1String("end-lost")) // the end marker beyond the room of the buffer
        dump = QByteArray("\x53") + QByteArray(DownloadProtocol::BufferSize, 0x30) + QByteArray("\x50");
    if (script == QLatin1String("cancel"))
        rig.cancel();
    else if (script == QLatin1String("lost"))
        rig.lineLost();
    else if (script != QLatin1String("not-found"))
        rig.feed(dump, 4096);

    QCOMPARE(rig.host.failures.size(), 1);
    QVERIFY(std::holds_alternative<DownloadProtocol::Failed>(rig.host.events.back()));
    const auto& failed = std::get<DownloadProtocol::Failed>(rig.host.events.back());
    QCOMPARE(int(failed.reason), reason);
    QCOMPARE(int(failed.damage), damage);
    QStringList tried;
    for (const DownloadProtocol::PortTried& port : failed.ports)
        tried << port.label + (port.opened ? QStringLiteral(" silent") : " not opened: " + port.openFailure);
    QCOMPARE(tried, ports);
    // Reported once everything is over: whatever comes next changes nothing.
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedCancel);
    const QByteArray sent = rig.host.sent;
    QVERIFY(rig.protocol.receive(acceptedId.constData(), 9).empty());
    QVERIFY(rig.protocol.answerTimeout().empty());
    QVERIFY(rig.protocol.lineLost().empty());
    rig.now += DownloadProtocol::SilenceLimitMs;
    QVERIFY(rig.protocol.watchLine().empty());
    QCOMPARE(rig.host.sent, sent);
}

void ProtocolTest::finishedCarriesTheImage_data() {
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("chunk");
    QTest::newRow("full image in ticks") << 7566 << 44;
    QTest::newRow("short image in one chunk") << 400 << 0;
}

void ProtocolTest::finishedCarriesTheImage() {
    QFETCH(int, bytes);
    QFETCH(int, chunk);
    Rig rig;
    const QByteArray image = generated(300).left(bytes);
    rig.identify();
    rig.feed(dumpOf(image), chunk);
    QVERIFY(std::holds_alternative<DownloadProtocol::Finished>(rig.lastBatch.back()));
    QCOMPARE(std::get<DownloadProtocol::Finished>(rig.lastBatch.back()).image, image);
    QCOMPARE(rig.host.results, QList<bool>{true});
    QCOMPARE(rig.protocol.image(), image);
    QCOMPARE(rig.protocol.state(), DownloadProtocol::State::EndedOk);
    QVERIFY(!rig.host.open);
    QVERIFY(!rig.host.timerRunning);
    QVERIFY(rig.protocol.receive("\x50", 1).empty());
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
