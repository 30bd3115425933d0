#include "grid/TitleStateMachine.h"

#include <QtTest>

#include <memory>
#include <vector>

// A click script: "2" is a click on column 2, "^2" a Ctrl-click. States: n, u, d per column.
class TestTitleStates : public QObject {
    Q_OBJECT
    static QString statesText(const std::vector<TitleState>& states) {
        QString s;
        for (TitleState t : states)
            s += t == tsSortedUp ? u'u' : t == tsSortedDown ? u'd' : u'n';
        return s;
    }

private slots:
    void followsTheClickRule_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("noMulti");
        QTest::addColumn<QString>("states");  // after the last click
        QTest::addColumn<QString>("reports"); // 1 per click that changed the clicked column
        QTest::newRow("first click sorts up") << "1" << true << "nun"
                                              << "1";
        QTest::newRow("up then down then up again") << "1 1 1" << true << "nun"
                                                    << "111";
        QTest::newRow("second click is down") << "1 1" << true << "ndn"
                                              << "11";
        QTest::newRow("other column resets the first") << "1 1 2" << true << "nnu"
                                                       << "111";
        QTest::newRow("ctrl on sorted column clears it") << "1 ^1" << true << "nnn"
                                                         << "11";
        QTest::newRow("ctrl on unsorted column changes nothing") << "1 ^2" << true << "nun"
                                                                 << "10";
        QTest::newRow("ctrl leaves the other columns") << "0 ^2" << true << "unn"
                                                       << "10";
        QTest::newRow("after ctrl the next click is up") << "1 1 ^1 1" << true << "nun"
                                                         << "1111";
        QTest::newRow("multi states kept without the option") << "0 1 1" << false << "udn"
                                                              << "111";
        QTest::newRow("out of range column") << "7" << true << "nnn"
                                             << "0";
        QTest::newRow("negative column") << "-1" << true << "nnn"
                                         << "0";
    }
    void followsTheClickRule() {
        QFETCH(QString, clicks);
        QFETCH(bool, noMulti);
        QFETCH(QString, states);
        QFETCH(QString, reports);
        std::vector<TitleState> s(3, tsSortedNone);
        QString got;
        for (const QString& c : clicks.split(u' ')) {
            const bool ctrl = c.startsWith(u'^');
            const int column = (ctrl ? c.mid(1) : c).toInt();
            got += TitleStateMachine::click(s, column, ctrl, noMulti) ? u'1' : u'0';
        }
        QCOMPARE(statesText(s), states);
        QCOMPARE(got, reports);
    }
};

std::vector<std::unique_ptr<QObject>> makeTitleStateTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestTitleStates>());
    return v;
}

#include "test_title_states.moc"
