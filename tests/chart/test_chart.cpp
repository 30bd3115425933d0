// The window-free chart: the series of a view, the zones, the axes, the drawing's point mapping
// and the picture files.
#include "ChartTables.h"
#include "chart/Axes.h"
#include "chart/ChartFile.h"
#include "chart/SeverityZones.h"
#include "chart/TrendChart.h"
#include "chart/TrendSeries.h"
#include "core/Error.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

using namespace chart;

class TestChartSeries : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;

private slots:
    void initTestCase() {
        m_path = m_dir.filePath(QStringLiteral("Тренд.dbf"));
        writeChartTable(m_path, unorderedRows());
    }

    // The filter of the page holds and neither physical order nor a sort index (on DATE as text,
    // on the value itself) changes the order of the time axis.
    void seriesIsInDateTimeOrderWhateverTheSort_data() {
        QTest::addColumn<QString>("sortField");
        QTest::addColumn<bool>("descending");
        QTest::newRow("record order") << QString() << false;
        QTest::newRow("DATE text ascending") << QStringLiteral("DATE") << false;
        QTest::newRow("V descending") << QStringLiteral("V") << true;
        QTest::newRow("TIME descending") << QStringLiteral("TIME") << true;
    }
    void seriesIsInDateTimeOrderWhateverTheSort() {
        QFETCH(QString, sortField);
        QFETCH(bool, descending);
        DbfTable t;
        MeasurementTable::open(t, m_path, DbfTable::Access::ReadOnly);
        t.setFilter(MeasurementTable::modeFilter(0));
        t.setFiltered(true);
        if (!sortField.isEmpty()) {
            t.addIndex(QStringLiteral("db1"), sortField, descending);
            t.selectIndex(QStringLiteral("db1"));
        }
        t.moveTo(2);
        const int current = t.recNo();
        const Series s = buildSeries(t, QStringLiteral("V"));
        QCOMPARE(s.recNo, (std::vector<int>{3, 1, 6, 4, 8}));
        QVERIFY(std::is_sorted(s.x.begin(), s.x.end()));
        QCOMPARE(s.x[1], *momentOf(QStringLiteral("15.03.2024"), QStringLiteral("08:00:00")));
        QCOMPARE(s.x[2] - s.x[1], 1000.0);
        QCOMPARE(t.recNo(), current); // the grid's current record stays
    }

    void missingValuesAreGapsNotZeros() {
        DbfTable t;
        MeasurementTable::open(t, m_path, DbfTable::Access::ReadOnly);
        t.setFilter(MeasurementTable::modeFilter(0));
        t.setFiltered(true);
        const Series s = buildSeries(t, QStringLiteral("V"));
        QCOMPARE(s.size(), 5);
        QVERIFY(std::isnan(s.y[2])); // record 6 has no velocity
        QCOMPARE(s.valueCount(), 4);
        QCOMPARE(s.y[0], 1.0);
        // The line breaks at the gap: no point is drawn or found there.
        TrendChart c;
        c.setSeries(s);
        QVERIFY(!c.position(2, QRectF(0, 0, 800, 500)));
        QVERIFY(c.position(1, QRectF(0, 0, 800, 500)));
    }

    void undatedRecordsAreLeftOutAndCounted() {
        QCOMPARE(*momentOf(QStringLiteral("15.03.2024"), QStringLiteral("08:07:09")),
                 double(QDateTime(QDate(2024, 3, 15), QTime(8, 7, 9), Qt::UTC).toMSecsSinceEpoch()));
        QCOMPARE(*momentOf(QStringLiteral("01.01.1969"), QStringLiteral("00:00:00")), -365 * 86400e3);
        for (const char* bad : {"1.02.2024", "01-02-2024", "00.01.2024", "01.13.2024", "xx.01.2024"})
            QCOMPARE(momentOf(QString::fromLatin1(bad), QStringLiteral("10:00:00")), std::nullopt);
        QCOMPARE(momentOf(QStringLiteral("31.02.2024"), QStringLiteral("10:00:00")), std::nullopt);
        QCOMPARE(momentOf(QStringLiteral("01.02.2024"), QStringLiteral("25:00:00")), std::nullopt);
        const QString path = m_dir.filePath(QStringLiteral("undated.dbf"));
        writeChartTable(path, {{QStringLiteral("31.02.2024"), QStringLiteral("10:00:00"), 0, 1.0},
                               {QStringLiteral("01.02.2024"), QStringLiteral("10:00:00"), 0, 2.0}});
        DbfTable t;
        MeasurementTable::open(t, path, DbfTable::Access::ReadOnly);
        const Series s = buildSeries(t, QStringLiteral("V"));
        QCOMPARE(s.size(), 1);
        QCOMPARE(s.recNo.front(), 2);
        QCOMPARE(s.undated, 1);
    }

    // The data format picks the member of the pair; thresholds only on "Ждущий".
    void dataFormatSwitchesThePlottedField_data() {
        QTest::addColumn<int>("quantity");
        QTest::addColumn<bool>("rms");
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("firstValue"); // of record 3, V = 1.0
        const double half = std::sqrt(2.0) / 2;
        QTest::newRow("A amplitude") << int(Quantity::Acceleration) << false << false << "A" << 0.1;
        QTest::newRow("A rms") << int(Quantity::Acceleration) << true << false << "A_SR" << 0.1 * half;
        QTest::newRow("V amplitude") << int(Quantity::Velocity) << false << true << "V" << 1.0;
        QTest::newRow("V rms") << int(Quantity::Velocity) << true << false << "V_SR" << half;
        QTest::newRow("S single") << int(Quantity::Displacement) << true << false << "S" << 0.01;
        QTest::newRow("S full") << int(Quantity::Displacement) << false << true << "S_SR" << 0.02;
        QTest::newRow("F either") << int(Quantity::Frequency) << true << true << "F" << 43.0;
    }
    void dataFormatSwitchesThePlottedField() {
        QFETCH(int, quantity);
        QFETCH(bool, rms);
        QFETCH(bool, full);
        QFETCH(QString, field);
        QFETCH(double, firstValue);
        QCOMPARE(fieldFor(Quantity(quantity), {rms, full}), field);
        DbfTable t;
        MeasurementTable::open(t, m_path, DbfTable::Access::ReadOnly);
        t.setFilter(MeasurementTable::modeFilter(0));
        t.setFiltered(true);
        const Series s = buildSeries(t, field);
        QVERIFY(std::abs(s.y.front() - firstValue) < 1e-9);
    }

    void thresholdsOnlyOnStandby() {
        QCOMPARE(quantitiesFor(0).size(), std::size_t(4));
        QCOMPARE(quantitiesFor(1).size(), std::size_t(6));
        QCOMPARE(fieldFor(Quantity::ThresholdAcceleration, {true, false}), QStringLiteral("TR_A_SR"));
        QCOMPARE(parseQuantity(QStringLiteral("tr_a")), std::optional(Quantity::ThresholdAcceleration));
        QCOMPARE(parseQuantity(QStringLiteral("X")), std::nullopt);
        QVERIFY(axisTitle(Quantity::Velocity, {true, false}).contains(QStringLiteral("СКЗ")));
        QVERIFY(axisTitle(Quantity::Velocity, {true, false}).endsWith(QStringLiteral("мм/с")));
    }
};

class TestChartZones : public QObject {
    Q_OBJECT
private slots:
    // On a boundary the value belongs to the upper zone; just below, to the lower one.
    void zoneOfValuesAroundEachBoundary_data() {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<double>("ab");
        QTest::addColumn<double>("bc");
        QTest::addColumn<double>("cd");
        QTest::newRow("I") << "I" << 0.71 << 1.8 << 4.5;
        QTest::newRow("II") << "II" << 1.12 << 2.8 << 7.1;
        QTest::newRow("III") << "III" << 1.8 << 4.5 << 11.2;
        QTest::newRow("IV") << "IV" << 2.8 << 7.1 << 18.0;
        QTest::newRow("1r") << "1r" << 2.3 << 4.5 << 7.1;
        QTest::newRow("1f") << "1f" << 3.5 << 7.1 << 11.0;
        QTest::newRow("2r") << "2r" << 1.4 << 2.8 << 4.5;
        QTest::newRow("2f") << "2f" << 2.3 << 4.5 << 7.1;
        QTest::newRow("custom") << "custom:1,2.5,6" << 1.0 << 2.5 << 6.0;
    }
    void zoneOfValuesAroundEachBoundary() {
        QFETCH(QString, cls);
        QFETCH(double, ab);
        QFETCH(double, bc);
        QFETCH(double, cd);
        const auto limits = parseZones(cls);
        QVERIFY(limits);
        QCOMPARE(*limits, (ZoneLimits{ab, bc, cd}));
        const double bounds[3] = {ab, bc, cd};
        for (int b = 0; b < 3; ++b) {
            QCOMPARE(zoneOf(bounds[b], *limits), Zone(b + 1));
            QCOMPARE(zoneOf(std::nextafter(bounds[b], 0.0), *limits), Zone(b));
            QCOMPARE(zoneOf(bounds[b] * 1.001, *limits), Zone(b + 1));
        }
        QCOMPARE(zoneOf(0.0, *limits), ZoneA);
        QCOMPARE(zoneOf(1000.0, *limits), ZoneD);
    }

    void badZoneTextsAreRefused_data() {
        QTest::addColumn<QString>("text");
        for (const char* t : {"V", "i", "custom:", "custom:1,2", "custom:3,2,1", "custom:0,1,2",
                              "custom:1,1,2", "custom:a,b,c", "custom:1,2,inf", "custom:1,2,3,4"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }
    void badZoneTextsAreRefused() {
        QFETCH(QString, text);
        QCOMPARE(parseZones(text), std::nullopt);
    }

    void countsSkipGapsAndTellTheLastRecordsZone() {
        Series s;
        s.x = {1, 2, 3, 4, 5, 6};
        s.y = {0.5, 1.12, std::nan(""), 2.8, 7.1, 2.0};
        s.recNo = {1, 2, 3, 4, 5, 6};
        const ZoneCounts c = countZones(s, *parseZones(QStringLiteral("II")));
        QCOMPARE(c.count, (std::array<int, 4>{1, 2, 1, 1}));
        QCOMPARE(c.last, int(ZoneB));
        s.y.back() = std::nan("");
        QCOMPARE(countZones(s, *parseZones(QStringLiteral("II"))).last, int(ZoneD));
        QCOMPARE(countZones(Series{}, *parseZones(QStringLiteral("II"))).last, -1);
        QVERIFY(zonesApply(Quantity::Velocity, {true, false}));
        QVERIFY(!zonesApply(Quantity::Velocity, {false, false}));
        QVERIFY(!zonesApply(Quantity::Acceleration, {true, false}));
    }
};

class TestChartAxes : public QObject {
    Q_OBJECT
private slots:
    // From an hour to years the labels stay few, ascending and distinct, in the form of the span.
    void timeLabelsStayReadable_data() {
        QTest::addColumn<double>("span");
        QTest::addColumn<QString>("shape"); // of the first label's first line
        const double h = 3600e3;
        QTest::newRow("an hour") << h << "^\\d\\d:\\d\\d$";
        QTest::newRow("a day") << 24 * h << "^\\d\\d:\\d\\d$";
        QTest::newRow("a month") << 30 * 24 * h << "^\\d\\d\\.\\d\\d\\.\\d{4}$";
        QTest::newRow("two years") << 730 * 24 * h << "^\\d\\d\\.\\d{4}$";
        QTest::newRow("twenty years") << 7300 * 24 * h << "^\\d{4}$";
    }
    void timeLabelsStayReadable() {
        QFETCH(double, span);
        QFETCH(QString, shape);
        const double from = *momentOf(QStringLiteral("17.05.2021"), QStringLiteral("13:17:00"));
        const std::vector<Tick> ticks = timeTicks(from, from + span, 8);
        QVERIFY2(ticks.size() >= 2 && ticks.size() <= 8, qPrintable(QString::number(ticks.size())));
        QVERIFY(
            QRegularExpression(shape).match(ticks.front().label.section(QLatin1Char('\n'), 0, 0)).hasMatch());
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            QVERIFY(ticks[i].at >= from && ticks[i].at <= from + span);
            if (i > 0) {
                QVERIFY(ticks[i].at > ticks[i - 1].at);
                QVERIFY(ticks[i].label != ticks[i - 1].label);
            }
        }
    }

    void valueTicksAreRound() {
        const std::vector<Tick> lin = linearTicks(0, 7.3, 6);
        QCOMPARE(lin.front().at, 0.0);
        QCOMPARE(lin[1].at, 2.0);
        QCOMPARE(lin[1].label, QStringLiteral("2"));
        const std::vector<Tick> small = linearTicks(0.01, 0.05, 5);
        QCOMPARE(small.front().label, QStringLiteral("0.01"));
        const std::vector<Tick> log = logTicks(0.05, 200, 12);
        QCOMPARE(log.front().at, 0.1);
        QVERIFY(std::any_of(log.begin(), log.end(),
                            [](const Tick& t) { return t.at == 100 && t.label == "100"; }));
        QVERIFY(logTicks(0, 10, 5).empty());
        // Inside one step of 1, 2, 5 the log axis still gets labels.
        const std::vector<Tick> narrow = logTicks(2.1, 2.6, 5);
        QVERIFY(narrow.size() >= 2);
        QCOMPARE(narrow.front().label, QStringLiteral("2.1"));
    }
};

class TestChartDrawing : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    static Series longSeries(int n) {
        Series s;
        for (int i = 0; i < n; ++i) {
            s.x.push_back(1.6e12 + i * 60e3);
            // Distinct values, one outlier.
            s.y.push_back(i == n / 3 ? 50.0 : 2 + std::sin(i * 0.01) + i * 1e-6);
            s.recNo.push_back(i + 1);
        }
        return s;
    }

private slots:
    // Crowded columns are drawn as their span, yet a click finds the exact record.
    void aClickOnAPointFindsItsRecord() {
        TrendChart c;
        c.setSeries(longSeries(100000));
        const QRectF area(0, 0, 1200, 700);
        const int outlier = 100000 / 3;
        const auto at = c.position(outlier, area);
        QVERIFY(at);
        QCOMPARE(c.pointAt(*at, area), outlier);
        QCOMPARE(c.pointAt(QPointF(at->x(), at->y() + 40), area), -1); // nothing there
        c.zoomAt(*at, area, 0.001, false);
        QVERIFY(c.visibleCount() < 200);
        for (int i : {outlier - 7, outlier, outlier + 5}) {
            const auto p = c.position(i, area);
            QVERIFY(p);
            QCOMPARE(c.pointAt(*p + QPointF(2, -2), area), i);
        }
        // The outlier is painted even where 80 records share a pixel column.
        c.resetRange();
        QImage image(1200, 700, QImage::Format_RGB32);
        QPainter painter(&image);
        c.paint(painter, area);
        painter.end();
        const QPointF top = *c.position(outlier, area);
        const QColor pixel = image.pixelColor(QPoint(int(top.x()), int(top.y()) + 2));
        QVERIFY2(pixel.blue() > pixel.red() + 40, qPrintable(pixel.name()));
    }

    void zoomKeepsThePointerAndResetShowsAll() {
        TrendChart c;
        c.setSeries(longSeries(1000));
        const QRectF area(0, 0, 1000, 600);
        const QRectF plot = c.plotRect(area);
        const auto p = c.position(500, area);
        c.zoomAt(*p, area, 0.5, false);
        QVERIFY(c.zoomed());
        QVERIFY(std::abs(c.position(500, area)->x() - p->x()) < 1e-6);
        c.zoomTo(QRectF(plot.left() + 10, plot.top() + 10, 100, 100), area);
        QVERIFY(c.range().x1 - c.range().x0 < (c.fullRange().x1 - c.fullRange().x0) / 10);
        c.resetRange();
        QVERIFY(!c.zoomed());
        c.setLogScale(true);
        QVERIFY(c.range().y0 > 0);
    }

    void eachPictureFormatIsWrittenAndReadable_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("png") << "chart.png";
        QTest::newRow("svg") << "chart.svg";
        QTest::newRow("pdf") << "chart.PDF";
    }
    void eachPictureFormatIsWrittenAndReadable() {
        QFETCH(QString, name);
        TrendChart c;
        c.setTitle(QStringLiteral("Цех1 — Оперативный"));
        c.setValueTitle(axisTitle(Quantity::Velocity, {true, false}));
        c.setSeries(longSeries(20000));
        c.setZones(parseZones(QStringLiteral("II")), QStringLiteral("II"));
        const QString path = m_dir.filePath(name);
        saveChart(c, path, QSize(1600, 900));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        switch (*pictureFormatOf(path)) {
        case PictureFormat::Png: {
            QImage image;
            QVERIFY(image.loadFromData(bytes, "PNG"));
            QCOMPARE(image.size(), QSize(1600, 900));
            break;
        }
        case PictureFormat::Svg: {
            QXmlStreamReader xml(bytes);
            int paths = 0;
            while (!xml.atEnd())
                if (xml.readNext() == QXmlStreamReader::StartElement &&
                    (xml.name() == QLatin1String("path") || xml.name() == QLatin1String("polyline")))
                    ++paths;
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QVERIFY(paths > 10);
            QVERIFY(bytes.size() < 4 * 1024 * 1024); // crowded columns keep the file small
            break;
        }
        case PictureFormat::Pdf: {
            QVERIFY(bytes.startsWith("%PDF-"));
            const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
            if (pdfinfo.isEmpty())
                QSKIP("pdfinfo (poppler-utils) is not installed");
            QProcess p;
            p.start(pdfinfo, {path});
            QVERIFY(p.waitForFinished(30000));
            const QString info = QString::fromUtf8(p.readAllStandardOutput());
            QCOMPARE(p.exitCode(), 0);
            QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
            break;
        }
        }
        // Written beside and renamed: nothing else is left in the folder.
        for (const QString& entry : QDir(m_dir.path()).entryList(QDir::Files))
            QVERIFY2(QStringList({"chart.png", "chart.svg", "chart.PDF"}).contains(entry), qPrintable(entry));
    }

    void anUnknownFormatOrSizeWritesNothing() {
        TrendChart c;
        const QString path = m_dir.filePath(QStringLiteral("chart.bmp"));
        QVERIFY_THROWS_EXCEPTION(KvError, saveChart(c, path, QSize(800, 600)));
        QVERIFY(!QFile::exists(path));
        const QString png = m_dir.filePath(QStringLiteral("tiny.png"));
        QVERIFY_THROWS_EXCEPTION(KvError, saveChart(c, png, QSize(0, 600)));
        QVERIFY(!QFile::exists(png));
    }
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int failed = 0;
    TestChartSeries series;
    failed += QTest::qExec(&series, argc, argv) != 0;
    TestChartZones zones;
    failed += QTest::qExec(&zones, argc, argv) != 0;
    TestChartAxes axes;
    failed += QTest::qExec(&axes, argc, argv) != 0;
    TestChartDrawing drawing;
    failed += QTest::qExec(&drawing, argc, argv) != 0;
    return failed ? 1 : 0;
}

#include "test_chart.moc"
