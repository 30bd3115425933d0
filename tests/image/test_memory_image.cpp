#include "core/Error.h"
#include "image/MemoryImage.h"
#include "tests/support/TestImages.h"

#include <QTemporaryDir>
#include <QtTest>

#include <charconv>
#include <cmath>
#include <optional>

using namespace image;

using Value = std::optional<double>;
Q_DECLARE_METATYPE(Value)

namespace {

// The value rounded to 10 significant digits, as the worked records give them.
QString tenDigits(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 9);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}
QString tenDigits(const Value& v) {
    return v ? tenDigits(*v) : QStringLiteral("empty");
}
Value ten(double v) {
    return v;
}

QByteArray fromHex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

ImageRecord parse(const QByteArray& bytes) {
    return ImageRecord::parse(std::span<const std::uint8_t, kRecordSize>(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), kRecordSize));
}

// Independent judge of the one-decimal rounding: the exact quotient of two doubles, rounded half to
// even in integer arithmetic, times the double 0.1.
double exactRoundToTenth(double x) {
    const double tenth = 0.1;
    int ex = 0, et = 0;
    const auto X = static_cast<unsigned __int128>(std::ldexp(std::frexp(x, &ex), 53));
    const auto D = static_cast<unsigned __int128>(std::ldexp(std::frexp(tenth, &et), 53));
    unsigned __int128 num = X, den = D;
    const int shift = ex - et;
    if (shift >= 0)
        num <<= shift;
    else
        den <<= -shift;
    unsigned __int128 q = num / den;
    const unsigned __int128 twiceRest = 2 * (num % den);
    if (twiceRest > den || (twiceRest == den && (q & 1)))
        ++q;
    return double(static_cast<unsigned long long>(q)) * tenth;
}

QByteArray imageWithCount(int stored, int length) {
    std::vector<testimages::RecordSpec> none;
    QByteArray bytes = testimages::buildImage(none, length, stored);
    return bytes;
}

} // namespace

class TestMemoryImage : public QObject {
    Q_OBJECT
private slots:
    void decodesTheWorkedRecords_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Value>("A");
        QTest::addColumn<Value>("A_SR");
        QTest::addColumn<double>("F");
        QTest::addColumn<Value>("V");
        QTest::addColumn<Value>("V_SR");
        QTest::addColumn<Value>("S");
        QTest::addColumn<Value>("S_SR");
        QTest::addColumn<int>("MODE");
        QTest::addColumn<QString>("TIME");
        QTest::addColumn<QString>("DATE");
        QTest::addColumn<Value>("TR_F");
        QTest::addColumn<Value>("TR_A");
        QTest::addColumn<Value>("TR_A_SR");
        QTest::addColumn<Value>("T");
        QTest::addColumn<Value>("DT");
        const Value none;
        QTest::newRow("operative")
            << fromHex("00 00 C0 3F 00 00 48 42 00 05 1E 0E 19 0C 09 00 00 00 00 00 00 00 00") << ten(1.5)
            << ten(1.060660172) << 50.0 << ten(4.774648293) << ten(3.376186186) << ten(0.01519817755)
            << ten(0.03039635509) << 0 << "14:30:05"
            << "25.12.2009" << none << none << none << none << none;
        QTest::newRow("standby")
            << fromHex("C3 F5 1C 41 AA 27 1F 43 01 00 05 08 01 03 0A D2 04 00 00 01 01 00 00")
            << ten(9.810000420) << ten(6.936717820) << 159.1549377 << ten(9.810000749) << ten(6.936718053)
            << ten(0.009810001079) << ten(0.01962000216) << 1 << "08:05:00"
            << "01.03.2010" << ten(123.4) << ten(2.6) << ten(1.8) << none << none;
        QTest::newRow("observation")
            << fromHex("00 00 00 00 00 00 A0 42 02 3B 3B 17 1F 0C 09 3C 00 00 00 0A 00 00 00") << none << none
            << 80.0 << ten(0) << ten(0) << ten(0) << ten(0) << 2 << "23:59:59"
            << "31.12.2009" << none << none << none << ten(60) << ten(10);
    }
    void decodesTheWorkedRecords() {
        QFETCH(QByteArray, bytes);
        const DecodedRecord d = decode(parse(bytes));
        QFETCH(Value, A);
        QFETCH(Value, A_SR);
        QFETCH(double, F);
        QFETCH(Value, V);
        QFETCH(Value, V_SR);
        QFETCH(Value, S);
        QFETCH(Value, S_SR);
        QFETCH(int, MODE);
        QFETCH(QString, TIME);
        QFETCH(QString, DATE);
        QFETCH(Value, TR_F);
        QFETCH(Value, TR_A);
        QFETCH(Value, TR_A_SR);
        QFETCH(Value, T);
        QFETCH(Value, DT);
        QCOMPARE(tenDigits(d.A), tenDigits(A));
        QCOMPARE(tenDigits(d.A_SR), tenDigits(A_SR));
        QCOMPARE(tenDigits(d.F), tenDigits(F));
        QCOMPARE(tenDigits(d.V), tenDigits(V));
        QCOMPARE(tenDigits(d.V_SR), tenDigits(V_SR));
        QCOMPARE(tenDigits(d.S), tenDigits(S));
        QCOMPARE(tenDigits(d.S_SR), tenDigits(S_SR));
        QCOMPARE(d.MODE, MODE);
        QCOMPARE(d.TIME, TIME);
        QCOMPARE(d.DATE, DATE);
        QCOMPARE(tenDigits(d.TR_F), tenDigits(TR_F));
        QCOMPARE(tenDigits(d.TR_A), tenDigits(TR_A));
        QCOMPARE(tenDigits(d.TR_A_SR), tenDigits(TR_A_SR));
        QCOMPARE(d.T ? Value(*d.T) : Value(), T);
        QCOMPARE(d.DT ? Value(*d.DT) : Value(), DT);
    }

    void storesTheWidenedSinglePrecisionValue() {
        const DecodedRecord d =
            decode(parse(fromHex("C3 F5 1C 41 AA 27 1F 43 01 00 05 08 01 03 0A D2 04 00 00 01 01 00 00")));
        QCOMPARE(*d.A, 9.81000041961669921875);
        QCOMPARE(d.F, double(159.1549377f));
    }

    void roundsThresholdsToOneDecimal_data() {
        QTest::addColumn<int>("w19");
        QTest::addColumn<int>("tenths");
        QTest::newRow("35 half step down") << 35 << 3;
        QTest::newRow("25 half step down") << 25 << 2;
        QTest::newRow("257") << 257 << 26;
        QTest::newRow("45 half step down") << 45 << 4;
        QTest::newRow("75 half step down") << 75 << 7;
        QTest::newRow("155 half step down") << 155 << 15;
        QTest::newRow("5 half step to even") << 5 << 0;
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("65535") << 65535 << 6553;
    }
    void roundsThresholdsToOneDecimal() {
        QFETCH(int, w19);
        QFETCH(int, tenths);
        ImageRecord r;
        r.mode = 1;
        r.w19 = std::uint16_t(w19);
        QCOMPARE(*decode(r).TR_A, double(tenths) * 0.1);
    }

    // Every word the instrument can store, against exact arithmetic; and the words where plain
    // double arithmetic would have gone wrong are exactly the known 2164.
    void roundingAgreesWithExactArithmeticForEveryWord() {
        const double root2 = std::sqrt(2.0);
        int plainDoubleWrong = 0;
        for (int w = 0; w <= 65535; ++w) {
            ImageRecord r;
            r.mode = 1;
            r.w19 = std::uint16_t(w);
            const DecodedRecord d = decode(r);
            const double x = double(w) / 100;
            if (*d.TR_A != exactRoundToTenth(x))
                QFAIL(qPrintable(QStringLiteral("TR_A for w19 = %1").arg(w)));
            if (*d.TR_A_SR != exactRoundToTenth(double(w) * root2 / 200))
                QFAIL(qPrintable(QStringLiteral("TR_A_SR for w19 = %1").arg(w)));
            volatile double tenth = 0.1;
            if (std::nearbyint(x / tenth) * tenth != *d.TR_A)
                ++plainDoubleWrong;
        }
        QCOMPARE(plainDoubleWrong, 2164);
    }

    void decodesEdgeRecords() {
        ImageRecord r;
        r.a = 0;
        r.f = 25;
        DecodedRecord d = decode(r);
        QVERIFY(!d.A && !d.A_SR);
        QCOMPARE(*d.V, 0.0);
        QCOMPARE(*d.S_SR, 0.0);

        r.a = 2;
        r.f = 0;
        d = decode(r);
        QCOMPARE(*d.A, 2.0);
        QCOMPARE(d.F, 0.0);
        QVERIFY(!d.V && !d.V_SR && !d.S && !d.S_SR);

        r.mode = 3;
        r.w15 = 100;
        r.w19 = 100;
        d = decode(r);
        QCOMPARE(d.MODE, 3);
        QVERIFY(!d.TR_F && !d.TR_A && !d.TR_A_SR && !d.T && !d.DT);

        r.w15 = 65535;
        r.mode = 1;
        QCOMPARE(*decode(r).TR_F, 6553.5);
        r.mode = 2;
        QCOMPARE(*decode(r).T, 65535);
    }

    void makesTimeAndDateTexts_data() {
        QTest::addColumn<QByteArray>("bytes"); // second minute hour day month year
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::newRow("ordinary") << fromHex("05 1E 0E 19 0C 09") << "14:30:05"
                                  << "25.12.2009";
        QTest::newRow("out of range time") << fromHex("3C 3C 18 00 0D 0A") << "00:00:00"
                                           << "01.01.2010";
        QTest::newRow("largest valid") << fromHex("3B 3B 17 1F 0C FF") << "23:59:59"
                                       << "31.12.2255";
        QTest::newRow("all bytes 255") << fromHex("FF FF FF FF FF FF") << "00:00:00"
                                       << "01.01.2255";
        QTest::newRow("31 February unchanged") << fromHex("00 00 00 1F 02 0B") << "00:00:00"
                                               << "31.02.2011";
        QTest::newRow("day 32 month 0") << fromHex("09 09 09 20 00 00") << "09:09:09"
                                        << "01.01.2000";
    }
    void makesTimeAndDateTexts() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, time);
        QFETCH(QString, date);
        MemoryImage image;
        QByteArray raw(4000, '\0');
        raw.replace(1000, 6, bytes);
        image.load(raw);
        QCOMPARE(img_time(image.bytes(), 1000), time);
        QCOMPARE(img_date(image.bytes(), 1003), date);
    }

    void refusesPositionsOutsideTheBuffer() {
        MemoryImage image;
        QCOMPARE(img_word(image.bytes(), kImageSize - 2), 0);
        QVERIFY_THROWS_EXCEPTION(KvError, img_word(image.bytes(), kImageSize - 1));
        QVERIFY_THROWS_EXCEPTION(KvError, img_time(image.bytes(), kImageSize - 2));
        QVERIFY_THROWS_EXCEPTION(KvError, img_date(image.bytes(), -1));
    }

    void ordersKeys_data() {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<bool>("later");
        QTest::newRow("year decides") << "31.12.200923:59:59"
                                      << "01.01.201000:00:00" << true;
        QTest::newRow("equal") << "25.12.200914:30:05"
                               << "25.12.200914:30:05" << false;
        QTest::newRow("one second later") << "25.12.200914:30:05"
                                          << "25.12.200914:30:06" << true;
        QTest::newRow("one second earlier") << "25.12.200914:30:05"
                                            << "25.12.200914:30:04" << false;
        QTest::newRow("month before day") << "31.01.201000:00:00"
                                          << "01.02.201000:00:00" << true;
        QTest::newRow("day before hour") << "02.01.201000:00:00"
                                         << "01.01.201023:59:59" << false;
        QTest::newRow("no record yet") << kNoRecordKey << "01.01.200000:00:00" << true;
        QTest::newRow("earlier year") << "01.01.201100:00:00"
                                      << "31.12.201023:59:59" << false;
        QTest::newRow("non-numeric reference") << "xx.xx.xxxxxx:xx:xx"
                                               << "01.01.200000:00:00" << true;
        QTest::newRow("short reference") << "01.01.2010"
                                         << "01.01.201000:00:01" << true;
    }
    void ordersKeys() {
        QFETCH(QString, reference);
        QFETCH(QString, candidate);
        QFETCH(bool, later);
        QCOMPARE(is_later(reference, candidate), later);
    }

    void cutsTheCountToTheRecordsLoaded_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("count");
        QTest::newRow("none") << 0 << kCompleteDumpSize << 0;
        QTest::newRow("three in a complete dump") << 3 << kCompleteDumpSize << 3;
        QTest::newRow("315 fill a complete dump") << 315 << kCompleteDumpSize << 315;
        QTest::newRow("316 do not fit a complete dump") << 316 << kCompleteDumpSize << 315;
        QTest::newRow("short dump") << 3 << 316 + 23 * 2 + 22 << 2;
        QTest::newRow("exactly two") << 3 << 316 + 23 * 2 << 2;
        QTest::newRow("header only") << 3 << 315 << 0;
        QTest::newRow("full buffer") << 65535 << kImageSize << kMaxRecords;
    }
    void cutsTheCountToTheRecordsLoaded() {
        QFETCH(int, stored);
        QFETCH(int, length);
        QFETCH(int, count);
        MemoryImage image;
        image.load(imageWithCount(stored, length).left(length));
        QCOMPARE(image.loadedSize(), length);
        QCOMPARE(image.recordCount(), count);
        if (count > 0)
            QCOMPARE(image.record(count).mode, std::uint8_t(0));
        QVERIFY_THROWS_EXCEPTION(KvError, image.record(count + 1));
    }

    void keepsBytesBeyondTheLoadAndCountsOnlyTheLoad() {
        MemoryImage image;
        QCOMPARE(image.recordCount(), 0);
        image.load(QByteArray(kImageSize, char(0x77)));
        image.load(QByteArray(100, char(0x11)));
        QCOMPARE(image.bytes()[99], 0x11);
        QCOMPARE(image.bytes()[100], 0x77);
        QCOMPARE(image.storedCount(), 0x7777);
        QCOMPARE(image.recordCount(), 0);
        QCOMPARE(image.loadedBytes(), QByteArray(100, char(0x11)));
    }

    void refusesMoreThan8192Bytes() {
        MemoryImage image;
        image.load(QByteArray(10, char(1)));
        QVERIFY_THROWS_EXCEPTION(KvError, image.load(QByteArray(kImageSize + 1, char(2))));
        QCOMPARE(image.loadedSize(), 10);
        QCOMPARE(image.bytes()[0], 1);
        QCOMPARE(image.bytes()[10], 0);

        QTemporaryDir dir;
        QFile big(dir.filePath(QStringLiteral("big.bin")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(kImageSize + 1, char(3)));
        big.close();
        try {
            image.loadFile(big.fileName());
            QFAIL("a file of 8193 bytes was taken");
        } catch (const KvError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("8193")), qPrintable(e.message()));
        }
        QCOMPARE(image.loadedSize(), 10);
        QCOMPARE(image.bytes()[5], 1);
    }

    void loadsABinFileWhole() {
        using namespace testimages;
        const QByteArray bytes =
            buildImage(sequence(7, QDateTime(QDate(2010, 3, 1), QTime(8, 0))), kImageSize);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Замер.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        MemoryImage image;
        image.loadFile(path);
        QCOMPARE(image.loadedSize(), kImageSize);
        QCOMPARE(image.loadedBytes(), bytes);
        QCOMPARE(image.recordCount(), 7);
        QCOMPARE(image.decoded(7).key(), QStringLiteral("01.03.201008:06:00"));
        QCOMPARE(image.decoded(2).MODE, 1);
        QCOMPARE(image.decoded(3).MODE, 2);
    }

    void reportsFilesThatCannotBeRead() {
        QTemporaryDir dir;
        MemoryImage image;
        QVERIFY_THROWS_EXCEPTION(KvError, image.loadFile(dir.filePath(QStringLiteral("missing.bin"))));
        QVERIFY_THROWS_EXCEPTION(KvError, image.loadFile(dir.path()));
        QCOMPARE(image.loadedSize(), 0);
    }

    void generatorRoundTripsRecords() {
        using namespace testimages;
        const QDateTime when(QDate(2009, 12, 25), QTime(14, 30, 5));
        const QByteArray rec = encodeRecord(RecordSpec::operative(1.5f, 50.0f, when));
        QCOMPARE(rec, fromHex("00 00 C0 3F 00 00 48 42 00 05 1E 0E 19 0C 09 00 00 00 00 00 00 00 00"));
        const QByteArray standby = encodeRecord(
            RecordSpec::standby(9.81f, 159.1549377f, 1234, 257, QDateTime(QDate(2010, 3, 1), QTime(8, 5))));
        QCOMPARE(standby, fromHex("C3 F5 1C 41 AA 27 1F 43 01 00 05 08 01 03 0A D2 04 00 00 01 01 00 00"));
        const QByteArray image = buildImage({RecordSpec(), RecordSpec()}, 0);
        QCOMPARE(image.size(), kCompleteDumpSize);
        QCOMPARE(image.mid(kCountOffset, 2), fromHex("02 00"));
    }
};

QTEST_APPLESS_MAIN(TestMemoryImage)
#include "test_memory_image.moc"
