// The code page tables of other programs' tables, judged by Qt's converters (ICU) where the build
// has them, and by characters whose places every reference names.
#include "core/CodePages.h"

#include <QStringDecoder>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Every code page with a table, and the name under which Qt's converters know it.
struct Page {
    int number;
    const char* qtName;
};
const Page pages[] = {
    {437, "IBM437"},
    {737, "IBM737"},
    {850, "IBM850"},
    {852, "IBM852"},
    {857, "IBM857"},
    {860, "IBM860"},
    {861, "IBM861"},
    {863, "IBM863"},
    {865, "IBM865"},
    {866, "IBM866"},
    {874, "windows-874"},
    {1250, "windows-1250"},
    {1251, "windows-1251"},
    {1252, "windows-1252"},
    {1253, "windows-1253"},
    {1254, "windows-1254"},
    {1255, "windows-1255"},
    {1256, "windows-1256"},
    {1257, "windows-1257"},
    {10000, "macintosh"},
    {10006, "x-mac-greek"},
    {10007, "x-mac-cyrillic"},
    {10029, "x-mac-centraleurroman"},
};

} // namespace

class TestCodePages : public QObject {
    Q_OBJECT
private slots:
    void tablesAgreeWithQtsConverters_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("qtName");
        for (const Page& p : pages)
            QTest::newRow(p.qtName) << p.number << QString::fromLatin1(p.qtName);
    }
    void tablesAgreeWithQtsConverters() {
        QFETCH(int, number);
        QFETCH(QString, qtName);
        const SingleByteCodePage* page = SingleByteCodePage::find(number);
        QVERIFY(page);
        // Every byte that has a character encodes back to itself, so that text of another program
        // is written back byte for byte; and no character has two bytes.
        QSet<QChar> seen;
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            const QString text = page->decode(&byte, 1);
            QCOMPARE(text.size(), 1);
            if (b < 0x80)
                QCOMPARE(text.at(0).unicode(), char16_t(b));
            if (text.at(0) == QChar(0xFFFD)) {
                QVERIFY(!page->encode(text));
                continue;
            }
            QVERIFY(!seen.contains(text.at(0)));
            seen.insert(text.at(0));
            QCOMPARE(page->encode(text), std::optional<QByteArray>(QByteArray(1, byte)));
        }
        QStringDecoder qt(qtName.toLatin1().constData(), QStringConverter::Flag::Stateless);
        if (!qt.isValid())
            QSKIP("Qt has no converter of that name in this build");
        QByteArray upper;
        for (int b = 0x80; b < 0x100; ++b)
            upper.append(char(b));
        const QString ours = page->decode(upper.constData(), upper.size());
        const QString theirs = qt.decode(upper);
        QCOMPARE(theirs.size(), ours.size());
        for (int i = 0; i < ours.size(); ++i)
            // IBM's tables have the Greek mu at 0xE6 of the DOS code pages where Microsoft's, and
            // Windows programs with them, have the micro sign.
            if (ours[i] != QChar(0xFFFD) && theirs[i] != QChar(0xFFFD) &&
                !(ours[i] == QChar(0x00B5) && theirs[i] == QChar(0x03BC)))
                QVERIFY2(ours[i] == theirs[i], qPrintable(QStringLiteral("byte %1: %2, Qt %3")
                                                              .arg(0x80 + i, 0, 16)
                                                              .arg(ours[i].unicode(), 0, 16)
                                                              .arg(theirs[i].unicode(), 0, 16)));
    }

    void charactersInTheirPlaces_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("character");
        QTest::newRow("cp866 А") << 866 << 0x80 << QStringLiteral("А");
        QTest::newRow("cp866 р") << 866 << 0xE0 << QStringLiteral("р");
        QTest::newRow("cp866 Ё") << 866 << 0xF0 << QStringLiteral("Ё");
        QTest::newRow("cp866 №") << 866 << 0xFC << QStringLiteral("№");
        QTest::newRow("cp437 ü") << 437 << 0x81 << QStringLiteral("ü");
        QTest::newRow("cp437 ß") << 437 << 0xE1 << QStringLiteral("ß");
        QTest::newRow("cp850 ı") << 850 << 0xD5 << QStringLiteral("ı");
        QTest::newRow("cp852 ł") << 852 << 0x88 << QStringLiteral("ł");
        QTest::newRow("cp1250 Š") << 1250 << 0x8A << QStringLiteral("Š");
        QTest::newRow("cp1251 №") << 1251 << 0xB9 << QStringLiteral("№");
        QTest::newRow("cp1251 я") << 1251 << 0xFF << QStringLiteral("я");
        QTest::newRow("cp1252 €") << 1252 << 0x80 << QStringLiteral("€");
        QTest::newRow("cp1254 ğ") << 1254 << 0xF0 << QStringLiteral("ğ");
        QTest::newRow("mac cyrillic А") << 10007 << 0x80 << QStringLiteral("А");
    }
    void charactersInTheirPlaces() {
        QFETCH(int, number);
        QFETCH(int, byte);
        QFETCH(QString, character);
        const SingleByteCodePage* page = SingleByteCodePage::find(number);
        QVERIFY(page);
        const char b = char(byte);
        QCOMPARE(page->decode(&b, 1), character);
    }

    void refusesWhatACodePageLacks() {
        const SingleByteCodePage* cp866 = SingleByteCodePage::find(866);
        QVERIFY(!cp866->encode(QStringLiteral("Цех €")));
        QCOMPARE(cp866->encodeReplacing(QStringLiteral("Ж€"), '_'), QByteArray("\x86_"));
        QVERIFY(!SingleByteCodePage::find(1252)->encode(QStringLiteral("Ж")));
        QVERIFY(!SingleByteCodePage::find(932)); // multi-byte: no table
    }
};

std::vector<std::unique_ptr<QObject>> makeCodePageTests() {
    std::vector<std::unique_ptr<QObject>> tests;
    tests.push_back(std::make_unique<TestCodePages>());
    return tests;
}

#include "test_code_pages.moc"
