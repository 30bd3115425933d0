#include "RunSuites.h"

// One executable for the core helpers.
std::vector<std::unique_ptr<QObject>> makeCp1251Tests();
std::vector<std::unique_ptr<QObject>> makeDecimalTests();
std::vector<std::unique_ptr<QObject>> makeCodePageTests();

int main(int argc, char** argv) {
    return runSuites(argc, argv, {makeCp1251Tests, makeDecimalTests, makeCodePageTests});
}
