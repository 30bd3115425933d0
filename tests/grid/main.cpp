#include "RunSuites.h"

#ifdef KV_GRID_WIDGET_TESTS
#include <QApplication>
#else
#include <QGuiApplication>
#endif

// Two executables share this entry: the grid's logic (fonts, no widgets) and the grid widget.
#ifdef KV_GRID_WIDGET_TESTS
std::vector<std::unique_ptr<QObject>> makeGridWidgetTests();
std::vector<std::unique_ptr<QObject>> makeGridEditingTests();
std::vector<std::unique_ptr<QObject>> makeGridTitleTests();
using Application = QApplication;
#define KV_GRID_SUITES makeGridWidgetTests, makeGridEditingTests, makeGridTitleTests
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
    return runSuites(argc, argv, {KV_GRID_SUITES});
}
