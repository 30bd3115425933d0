#include <QtTest>

#ifdef KV_GRID_WIDGET_TESTS
#include <QApplication>
#else
#include <QGuiApplication>
#endif

#include <memory>
#include <vector>

// Two executables share this entry: the grid's logic (fonts, no widgets) and the grid widget.
#ifdef KV_GRID_WIDGET_TESTS
std::vector<std::unique_ptr<QObject>> makeGridWidgetTests();
std::vector<std::unique_ptr<QObject>> makeGridEditingTests();
using Application = QApplication;
#define KV_GRID_SUITES makeGridWidgetTests, makeGridEditingTests
#else
std::vector<std::unique_ptr<QObject>> makeNumberPatternTests();
std::vector<std::unique_ptr<QObject>> makeTitleStateTests();
std::vector<std::unique_ptr<QObject>> makeFittingTests();
std::vector<std::unique_ptr<QObject>> makeLayoutTextTests();
using Application = QGuiApplication;
#define KV_GRID_SUITES makeNumberPatternTests, makeTitleStateTests, makeFittingTests, makeLayoutTextTests
#endif

int main(int argc, char** argv) {
    Application app(argc, argv);
    std::vector<std::unique_ptr<QObject>> all;
    for (auto make : {KV_GRID_SUITES})
        for (auto& t : make())
            all.push_back(std::move(t));
    int failed = 0;
    for (auto& t : all)
        failed += QTest::qExec(t.get(), argc, argv) != 0 ? 1 : 0;
    return failed == 0 ? 0 : 1;
}
