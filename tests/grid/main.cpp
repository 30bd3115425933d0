#include <QApplication>
#include <QtTest>

#include <memory>
#include <vector>

// One executable for the grid: the plain logic classes and the widget.
std::vector<std::unique_ptr<QObject>> makeNumberPatternTests();
std::vector<std::unique_ptr<QObject>> makeTitleStateTests();
std::vector<std::unique_ptr<QObject>> makeFittingTests();
std::vector<std::unique_ptr<QObject>> makeLayoutTextTests();
std::vector<std::unique_ptr<QObject>> makeGridWidgetTests();
std::vector<std::unique_ptr<QObject>> makeGridEditingTests();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<QObject>> all;
    for (auto make : {makeNumberPatternTests, makeTitleStateTests, makeFittingTests, makeLayoutTextTests,
                      makeGridWidgetTests, makeGridEditingTests})
        for (auto& t : make())
            all.push_back(std::move(t));
    int failed = 0;
    for (auto& t : all)
        failed += QTest::qExec(t.get(), argc, argv) != 0 ? 1 : 0;
    return failed == 0 ? 0 : 1;
}
