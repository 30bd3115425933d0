#include "core/Cp1251.h"
#include "core/Error.h"

#include <QtTest>

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
    }
    void refusesCharactersOutsideTheCodePage() {
        QFETCH(QString, text);
        QVERIFY(!cp1251::tryEncode(text).has_value());
        QVERIFY(!cp1251::canEncode(text));
        QVERIFY_THROWS_EXCEPTION(KvError, cp1251::encode(text));
    }

    void keepsAQuestionMarkTheUserTyped() { QCOMPARE(cp1251::encode(QStringLiteral("?")), QByteArray("?")); }
};

QTEST_APPLESS_MAIN(TestCp1251)
#include "test_cp1251.moc"
