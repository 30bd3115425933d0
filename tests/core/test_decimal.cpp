#include "core/Decimal.h"

#include <QtTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

Q_DECLARE_METATYPE(decimal::Syntax)

class TestDecimal : public QObject {
    Q_OBJECT
private slots:
    // The rounded texts agree with Python's Decimal(repr(v)).quantize(..., ROUND_HALF_UP): the
    // half step is judged on the shortest decimal text, not on the binary double.
    void formatsRoundedDigits_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("minIntegerDigits");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("minDecimals");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        const QString dot = QStringLiteral(".");
        QTest::newRow("decimal half rounds up") << 0.0005 << 1 << 3 << 3 << dot << "0.001";
        QTest::newRow("half as written, binary below") << 1.005 << 1 << 2 << 2 << dot << "1.01";
        QTest::newRow("another binary-inexact half") << 2.675 << 1 << 2 << 2 << dot << "2.68";
        QTest::newRow("shortest text 0.125") << 0.125 << 1 << 2 << 2 << dot << "0.13";
        QTest::newRow("just below half") << 0.00049 << 1 << 3 << 3 << dot << "0.000";
        QTest::newRow("carry adds a digit") << 99.9996 << 2 << 3 << 3 << dot << "100.000";
        QTest::newRow("carry with no decimals") << 9.5 << 1 << 0 << 0 << dot << "10";
        QTest::newRow("half away from zero") << 41.5 << 3 << 0 << 0 << dot << "042";
        QTest::newRow("negative half away from zero") << -0.25 << 3 << 1 << 1 << dot << "-000.3";
        QTest::newRow("negative carry") << -99.95 << 1 << 1 << 1 << dot << "-100.0";
        QTest::newRow("negative that shows zeros has no sign") << -0.0004 << 2 << 3 << 3 << dot << "00.000";
        QTest::newRow("negative zero") << -0.0 << 1 << 0 << 0 << dot << "0";
        QTest::newRow("integer digits are never cut") << 123.4 << 2 << 3 << 3 << dot << "123.400";
        QTest::newRow("zeros dropped down to the minimum") << 1.1 << 1 << 2 << 1 << dot << "1.1";
        QTest::newRow("rounding leaves zeros to drop") << 1.999 << 1 << 2 << 0 << dot << "2";
        QTest::newRow("short value padded to the minimum") << 1.5 << 1 << 4 << 2 << dot << "1.50";
        QTest::newRow("no integer digit asked") << 0.5 << 0 << 2 << 0 << dot << ".5";
        QTest::newRow("nothing left to show is 0") << 0.004 << 0 << 2 << 0 << dot << "0";
        QTest::newRow("more places than the shortest text")
            << 0.1 << 1 << 20 << 20 << dot << "0.10000000000000000000";
        QTest::newRow("huge value") << 1e20 << 1 << 1 << 1 << dot << "100000000000000000000.0";
        QTest::newRow("smallest double")
            << std::numeric_limits<double>::denorm_min() << 2 << 3 << 3 << dot << "00.000";
        QTest::newRow("comma") << 1234.56789 << 1 << 4 << 4 << QStringLiteral(",") << "1234,5679";
        QTest::newRow("multi-character separator") << 1.5 << 1 << 2 << 2 << QStringLiteral("٫٫") << "1٫٫50";
    }
    void formatsRoundedDigits() {
        QFETCH(double, value);
        QFETCH(int, minIntegerDigits);
        QFETCH(int, decimals);
        QFETCH(int, minDecimals);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(decimal::format(value, {minIntegerDigits, decimals, minDecimals}, separator), expected);
    }

    void shortestHasNoExponent_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tenth") << 0.1 << "0,1";
        QTest::newRow("small") << 1e-5 << "0,00001";
        QTest::newRow("negative") << -2.5 << "-2,5";
        QTest::newRow("whole") << 3.0 << "3";
        QTest::newRow("large") << 1e21 << "1000000000000000000000";
    }
    void shortestHasNoExponent() {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(decimal::shortest(value, u","), expected);
    }

    void notANumberGivesEmptyText_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }
    void notANumberGivesEmptyText() {
        QFETCH(double, value);
        QCOMPARE(decimal::format(value, {2, 3, 3}, u"."), QString());
        QCOMPARE(decimal::shortest(value, u"."), QString());
    }

    void readsDecimalText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<decimal::Syntax>("syntax");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        using S = decimal::Syntax;
        QTest::newRow("typed comma") << "2,25" << S::Typed << true << 2.25;
        QTest::newRow("typed point") << "0.5" << S::Typed << true << 0.5;
        QTest::newRow("typed white space around") << " \t-3,5\n" << S::Typed << true << -3.5;
        QTest::newRow("typed no-break space around") << "\u00A07\u00A0" << S::Typed << true << 7.0;
        QTest::newRow("typed plus") << "+7" << S::Typed << true << 7.0;
        QTest::newRow("typed exponent") << "1,5E-2" << S::Typed << true << 0.015;
        QTest::newRow("typed no integer digit") << ",5" << S::Typed << true << 0.5;
        QTest::newRow("typed no decimal digit") << "5," << S::Typed << true << 5.0;
        QTest::newRow("typed empty") << "" << S::Typed << false << 0.0;
        QTest::newRow("typed blank") << "  " << S::Typed << false << 0.0;
        QTest::newRow("typed sign alone") << "+" << S::Typed << false << 0.0;
        QTest::newRow("typed grouping by space") << "1 000" << S::Typed << false << 0.0;
        QTest::newRow("typed grouping by no-break space") << "1\u00A0000" << S::Typed << false << 0.0;
        QTest::newRow("typed two separators") << "1.000,5" << S::Typed << false << 0.0;
        QTest::newRow("typed words") << "два" << S::Typed << false << 0.0;
        QTest::newRow("typed typographic minus") << "\u22125" << S::Typed << false << 0.0;
        QTest::newRow("typed arabic-indic digit") << "\u0663" << S::Typed << false << 0.0;
        QTest::newRow("typed full-width digit") << "\uFF11" << S::Typed << false << 0.0;
        QTest::newRow("typed hexadecimal") << "0x10" << S::Typed << false << 0.0;
        QTest::newRow("typed trailing sign") << "5%" << S::Typed << false << 0.0;
        QTest::newRow("typed exponent without digits") << "1e" << S::Typed << false << 0.0;
        QTest::newRow("typed out of range") << "1e400" << S::Typed << false << 0.0;
        QTest::newRow("plain point") << " 2.5 " << S::Plain << true << 2.5;
        QTest::newRow("plain minus") << "-1e3" << S::Plain << true << -1000.0;
        QTest::newRow("plain comma") << "1,5" << S::Plain << false << 0.0;
        QTest::newRow("plain plus") << "+1" << S::Plain << false << 0.0;
    }
    void readsDecimalText() {
        QFETCH(QString, text);
        QFETCH(decimal::Syntax, syntax);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto number = decimal::read(text, syntax);
        QCOMPARE(number.has_value(), ok);
        if (ok)
            QCOMPARE(*number, value);
    }

    void readsInfinityAndNotANumber() {
        QCOMPARE(decimal::read(u"-inf").value_or(0), -std::numeric_limits<double>::infinity());
        QVERIFY(std::isnan(decimal::read(u"nan").value_or(0)));
    }

    // Any double, written shortest with either separator, reads back as itself.
    void shortestTextReadsBackExactly() {
        std::mt19937_64 bits(20240201);
        int checked = 0;
        while (checked < 5000) {
            const double v = std::bit_cast<double>(std::uint64_t(bits()));
            if (!std::isfinite(v))
                continue;
            for (const char16_t* separator : {u".", u","}) {
                const auto back = decimal::read(decimal::shortest(v, separator));
                QVERIFY2(back && std::bit_cast<std::uint64_t>(*back) == std::bit_cast<std::uint64_t>(v),
                         qPrintable(decimal::shortest(v, u".")));
            }
            ++checked;
        }
    }
};

std::vector<std::unique_ptr<QObject>> makeDecimalTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestDecimal>());
    return v;
}

#include "test_decimal.moc"
