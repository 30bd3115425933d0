#include "grid/NumberPattern.h"

#include <QLocale>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

class TestNumberPattern : public QObject {
    Q_OBJECT
private slots:
    void formatsByPattern_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("expected");
        const QString dot = QStringLiteral(".");
        const QString comma = QStringLiteral(",");
        QTest::newRow("s pattern pads both sides") << "00.000" << 5.5 << dot << "05.500";
        QTest::newRow("avf pattern") << "000.0" << 12.5 << dot << "012.5";
        QTest::newRow("rms of 2.0") << "00.000" << 2.0 * std::sqrt(2.0) / 2 << dot << "01.414";
        QTest::newRow("rms of 2.0, comma locale")
            << "00.000" << 2.0 * std::sqrt(2.0) / 2 << comma << "01,414";
        QTest::newRow("half rounds up") << "00.000" << 0.0005 << dot << "00.001";
        QTest::newRow("just below half rounds down") << "00.000" << 0.00049 << dot << "00.000";
        QTest::newRow("carry into integer digits") << "00.000" << 1.9996 << dot << "02.000";
        QTest::newRow("carry adds a digit") << "00.000" << 99.9996 << dot << "100.000";
        QTest::newRow("decimal half as written") << "0.00" << 1.005 << dot << "1.01";
        QTest::newRow("binary-inexact half") << "0.00" << 2.675 << dot << "2.68";
        QTest::newRow("one decimal up") << "000.0" << 0.05 << dot << "000.1";
        QTest::newRow("one decimal down") << "000.0" << 0.04 << dot << "000.0";
        QTest::newRow("negative") << "00.000" << -5.5 << dot << "-05.500";
        QTest::newRow("negative rounding away from zero") << "000.0" << -0.25 << dot << "-000.3";
        QTest::newRow("negative that rounds to zero has no sign") << "00.000" << -0.0004 << dot << "00.000";
        QTest::newRow("negative zero") << "00.000" << -0.0 << dot << "00.000";
        QTest::newRow("integer digits beyond the pattern") << "00.000" << 123.4 << dot << "123.400";
        QTest::newRow("zero") << "00.000" << 0.0 << dot << "00.000";
        QTest::newRow("integer pattern rounds") << "000" << 41.5 << dot << "042";
        QTest::newRow("optional digits") << "#.##" << 0.5 << dot << ".5";
        QTest::newRow("optional decimals trimmed") << "0.0#" << 1.1 << dot << "1.1";
        QTest::newRow("literal suffix") << "0.0 Hz" << 3.25 << dot << "3.3 Hz";
        QTest::newRow("huge value") << "0.0" << 1e20 << dot << "100000000000000000000.0";
        QTest::newRow("tiny value") << "00.000" << 1e-300 << dot << "00.000";
        QTest::newRow("multi-character separator") << "0.00" << 1.5 << QStringLiteral("٫٫") << "1٫٫50";
    }
    void formatsByPattern() {
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, point);
        QFETCH(QString, expected);
        QCOMPARE(NumberPattern(pattern).format(value, point), expected);
    }

    void notANumberShowsEmpty() {
        const NumberPattern p(QStringLiteral("00.000"));
        QCOMPARE(p.format(std::numeric_limits<double>::quiet_NaN(), QStringLiteral(".")), QString());
        QCOMPARE(p.format(std::numeric_limits<double>::infinity(), QStringLiteral(".")), QString());
    }

    void usesTheLocaleDecimalSeparator() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QString ru = NumberPattern(QStringLiteral("00.000")).format(1.41421356);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString en = NumberPattern(QStringLiteral("00.000")).format(1.41421356);
        QLocale::setDefault(saved);
        QCOMPARE(ru, QStringLiteral("01,414"));
        QCOMPARE(en, QStringLiteral("01.414"));
    }

    void displaysFieldValues_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("null shows empty") << "00.000" << QVariant() << "";
        QTest::newRow("null double shows empty") << "00.000" << QVariant(QMetaType(QMetaType::Double)) << "";
        QTest::newRow("integer by pattern") << "000.0" << QVariant(qint64(7)) << "007,0";
        QTest::newRow("integer without pattern") << "" << QVariant(qint64(-35)) << "-35";
        QTest::newRow("double without pattern") << "" << QVariant(0.1) << "0,1";
        QTest::newRow("double without pattern, no exponent") << "" << QVariant(1e-5) << "0,00001";
        QTest::newRow("numeric text by pattern") << "00.000" << QVariant(QStringLiteral("1.5")) << "01,500";
        QTest::newRow("plain text stays") << "00.000" << QVariant(QStringLiteral("abc")) << "abc";
        QTest::newRow("text without pattern") << "" << QVariant(QStringLiteral("01.02.2024")) << "01.02.2024";
    }
    void displaysFieldValues() {
        QFETCH(QString, pattern);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(NumberPattern(pattern).display(value, QStringLiteral(",")), expected);
    }
};

std::vector<std::unique_ptr<QObject>> makeNumberPatternTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestNumberPattern>());
    return v;
}

#include "test_number_pattern.moc"
