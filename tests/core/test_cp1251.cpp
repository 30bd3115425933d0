#include "core/Cp1251.h"
#include "core/Error.h"

#include <QtTest>

#include <memory>
#include <vector>

class TestCp1251 : public QObject {
    Q_OBJECT
private slots:
    void roundTripsRussianText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("MODE=1") << QByteArray("MODE=1");
        QTest::newRow("cyrillic") << QStringLiteral("Цех1 ёЁ") << QByteArray("\xD6\xE5\xF5\x31\x20\xB8\xA8");
        QTest::newRow("no-break space and numero") << QStringLiteral("\u00A0№") << QByteArray("\xA0\xB9");
    }
    void roundTripsRussianText() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(cp1251::encode(text), bytes);
        QCOMPARE(cp1251::decode(bytes), text);
    }

    void refusesCharactersOutsideTheCodePage_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("chinese") << QStringLiteral("厂");
        QTest::newRow("greek beta") << QStringLiteral("β");
        QTest::newRow("emoji") << QStringLiteral("x\U0001F600");
        QTest::newRow("question mark lookalike") << QStringLiteral("ŵ");
        // 0x98 decodes to it; it must not come back as that byte.
        QTest::newRow("replacement character") << QStringLiteral("\uFFFD");
    }
    void refusesCharactersOutsideTheCodePage() {
        QFETCH(QString, text);
        QVERIFY(!cp1251::tryEncode(text).has_value());
        QVERIFY(!cp1251::canEncode(text));
        QVERIFY_THROWS_EXCEPTION(KvError, cp1251::encode(text));
    }

    // Every byte that decodes to a character must encode back to itself, so a table written by
    // another program is written back byte for byte; and the Cyrillic block sits where it belongs.
    void everyAssignedByteRoundTrips() {
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, static_cast<char>(b));
            const QString text = cp1251::decode(one);
            QCOMPARE(text.size(), 1);
            if (text.at(0) == QChar(0xFFFD))
                continue;
            auto back = cp1251::tryEncode(text);
            QVERIFY2(back.has_value(), qPrintable(QString::number(b, 16)));
            QCOMPARE(*back, one);
        }
        QCOMPARE(cp1251::decode(QByteArray("\xC0\xFF")), QStringLiteral("Ая"));
    }

    void replacesWhatTheCodePageLacks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<char>("replacement");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("all in the code page")
            << QStringLiteral("Цех №1") << '?' << QByteArray("\xD6\xE5\xF5 \xB9\x31");
        QTest::newRow("one foreign character") << QStringLiteral("a厂б") << '?' << QByteArray("a?\xE1");
        QTest::newRow("outside the BMP, per UTF-16 unit")
            << QStringLiteral("x\U0001F600") << '?' << QByteArray("x??");
        QTest::newRow("own replacement") << QStringLiteral("β=1") << '_' << QByteArray("_=1");
        QTest::newRow("empty") << QString() << '?' << QByteArray();
    }
    void replacesWhatTheCodePageLacks() {
        QFETCH(QString, text);
        QFETCH(char, replacement);
        QFETCH(QByteArray, bytes);
        QCOMPARE(cp1251::encodeReplacing(text, replacement), bytes);
    }

    void keepsAQuestionMarkTheUserTyped() { QCOMPARE(cp1251::encode(QStringLiteral("?")), QByteArray("?")); }
};

std::vector<std::unique_ptr<QObject>> makeCp1251Tests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestCp1251>());
    return v;
}

#include "test_cp1251.moc"
