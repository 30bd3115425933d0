#include <QtTest>

#include <memory>
#include <vector>

// One executable for the core helpers.
std::vector<std::unique_ptr<QObject>> makeCp1251Tests();
std::vector<std::unique_ptr<QObject>> makeDecimalTests();

int main(int argc, char** argv) {
    std::vector<std::unique_ptr<QObject>> all;
    for (auto make : {makeCp1251Tests, makeDecimalTests})
        for (auto& t : make())
            all.push_back(std::move(t));
    int failed = 0;
    for (auto& t : all)
        failed += QTest::qExec(t.get(), argc, argv) != 0 ? 1 : 0;
    return failed == 0 ? 0 : 1;
}
