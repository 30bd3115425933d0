#include "grid/ColumnFitting.h"

#include <QtTest>

#include <memory>
#include <numeric>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {
int sum(const std::vector<int>& v) {
    return std::accumulate(v.begin(), v.end(), 0);
}
} // namespace

class TestFitting : public QObject {
    Q_OBJECT
private slots:
    void equalWidthCountsHiddenColumns() {
        QCOMPARE(ColumnFitting::equalWidth(900, 13), 69);
        QCOMPARE(ColumnFitting::equalWidth(900, 11), 81);
        QCOMPARE(ColumnFitting::equalWidth(900, 0), 0);
        QCOMPARE(ColumnFitting::equalWidth(-5, 3), 0);
    }

    void fitsInProportion_data() {
        QTest::addColumn<std::vector<int>>("design");
        QTest::addColumn<int>("available");
        QTest::addColumn<std::vector<int>>("expected");
        QTest::newRow("ten equal columns") << std::vector<int>(10, 69) << 880 << std::vector<int>(10, 88);
        QTest::newRow("doubles") << std::vector<int>{35, 63, 49} << 294 << std::vector<int>{70, 126, 98};
        QTest::newRow("spare pixels to largest remainders")
            << std::vector<int>{1, 1, 1} << 100 << std::vector<int>{34, 33, 33};
        QTest::newRow("shrinks") << std::vector<int>{200, 100} << 150 << std::vector<int>{100, 50};
        QTest::newRow("zero widths share equally")
            << std::vector<int>{0, 0} << 50 << std::vector<int>{25, 25};
        QTest::newRow("negative widths count as zero")
            << std::vector<int>{-40, 10} << 100 << std::vector<int>{ColumnFitting::kMinWidth, 92};
        QTest::newRow("minimum width kept") << std::vector<int>{1, 1000} << 200 << std::vector<int>{8, 192};
        QTest::newRow("too narrow: all minimum") << std::vector<int>{50, 50} << 10 << std::vector<int>{8, 8};
        QTest::newRow("empty") << std::vector<int>{} << 500 << std::vector<int>{};
        QTest::newRow("huge widths do not overflow") << std::vector<int>{2000000000, 2000000000} << 2000000000
                                                     << std::vector<int>{1000000000, 1000000000};
    }
    void fitsInProportion() {
        QFETCH(std::vector<int>, design);
        QFETCH(int, available);
        QFETCH(std::vector<int>, expected);
        QCOMPARE(ColumnFitting::fit(design, available), expected);
    }

    void fitAddsUpExactly() {
        // Spot-check many widths: the fitted sum is the available width whenever it can be.
        std::vector<int> design{35, 63, 49, 148, 106, 102, 101, 101, 1, 7};
        for (int available = 80; available < 3000; available += 37) {
            const auto w = ColumnFitting::fit(design, available);
            QCOMPARE(int(w.size()), int(design.size()));
            QCOMPARE(sum(w), available);
            for (int x : w)
                QVERIFY(x >= ColumnFitting::kMinWidth);
        }
    }

    void resizeKeepsTheDraggedWidth() {
        const auto w = ColumnFitting::resize({100, 100, 100}, 0, 150, 300);
        QCOMPARE(w, (std::vector<int>{150, 75, 75}));
        const auto clamped = ColumnFitting::resize({100, 100, 100}, 2, 1000, 300);
        QCOMPARE(clamped, (std::vector<int>{8, 8, 284}));
        const auto narrow = ColumnFitting::resize({100, 100}, 1, 0, 200);
        QCOMPARE(narrow, (std::vector<int>{192, 8}));
        QCOMPARE(ColumnFitting::resize({100}, 0, 20, 300), std::vector<int>{300});
        QCOMPARE(ColumnFitting::resize({10, 20}, 5, 20, 60), (std::vector<int>{20, 40}));
    }
};

std::vector<std::unique_ptr<QObject>> makeFittingTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestFitting>());
    return v;
}

#include "test_fitting.moc"
