#pragma once

#include <QtTest>

#include <initializer_list>
#include <memory>
#include <vector>

using SuiteMaker = std::vector<std::unique_ptr<QObject>> (*)();

// Runs the test classes of several files as one executable: non-zero when any of them failed.
inline int runSuites(int argc, char** argv, std::initializer_list<SuiteMaker> makers) {
    std::vector<std::unique_ptr<QObject>> all;
    for (SuiteMaker make : makers)
        for (auto& t : make())
            all.push_back(std::move(t));
    int failed = 0;
    for (auto& t : all)
        failed += QTest::qExec(t.get(), argc, argv) != 0 ? 1 : 0;
    return failed == 0 ? 0 : 1;
}
