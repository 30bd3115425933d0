// The rules of the points without files: which record belongs to which point, the note an
// assignment writes, the checks of the catalogue, and the overview's figures, states and roll-up.
#include "PointsTables.h"

#include "core/Error.h"
#include "points/CatalogueModel.h"
#include "points/Notes.h"
#include "points/Overview.h"
#include "points/OverviewText.h"

#include <QtTest>

using namespace points;

namespace {

std::optional<double> opt(double v) {
    return std::isnan(v) ? std::nullopt : std::optional(v);
}
constexpr double none = std::numeric_limits<double>::quiet_NaN();

const QString fan = QStringLiteral("Цех 2/Вентилятор");

Overview overviewOf(const std::vector<PointEntry>& catalogue, const std::vector<MeasurementRow>& rows,
                    QDate today = QDate(2025, 4, 1), std::optional<int> mode = std::nullopt) {
    OverviewOptions o;
    o.today = today;
    o.mode = mode;
    return computeOverview(catalogue, rows, o);
}

// One point's values in time order, a day apart from 01.03.2025.
std::vector<MeasurementRow> series(const QString& name, const QList<double>& values) {
    std::vector<MeasurementRow> rows;
    for (int i = 0; i < values.size(); ++i)
        rows.push_back(row(QDate(2025, 3, 1).addDays(i).toString(QStringLiteral("dd.MM.yyyy")),
                           QStringLiteral("10:00:00"), values[i], name, 0, i + 1));
    return rows;
}

} // namespace

class TestPoints : public QObject {
    Q_OBJECT
private slots:
    void noteBelongsToThePointOfItsName_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<bool>("belongs");
        QTest::newRow("exact") << fan << true;
        QTest::newRow("trailing blanks") << fan + QStringLiteral("   ") << true;
        QTest::newRow("free text after ;") << fan + QStringLiteral(";горячий подшипник") << true;
        QTest::newRow("; and nothing") << fan + QStringLiteral(";") << true;
        QTest::newRow("near miss, longer name") << QStringLiteral("Цех 2/Вентилятор 3") << false;
        QTest::newRow("near miss, a point below") << QStringLiteral("Цех 2/Вентилятор/П1") << false;
        QTest::newRow("shorter") << QStringLiteral("Цех 2/Вент") << false;
        QTest::newRow("letter case") << QStringLiteral("цех 2/вентилятор") << false;
        QTest::newRow("blank before ;") << fan + QStringLiteral(" ;x") << false;
        QTest::newRow("leading blank") << QStringLiteral(" ") + fan << false;
        QTest::newRow("empty") << QString() << false;
    }
    void noteBelongsToThePointOfItsName() {
        QFETCH(QString, note);
        QFETCH(bool, belongs);
        QCOMPARE(belongsTo(note, fan), belongs);
        const PointIndex index(
            {point(QStringLiteral("Цех 2")), point(fan), point(fan + QStringLiteral(" 3/П1"))});
        QCOMPARE(index.pointOf(note), belongs ? 1 : -1);
    }

    void assignmentKeepsWhatTheNoteSaid_data() {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("assigned"); // empty: left as it is (too long or unchanged)
        const QString pump = QStringLiteral("Цех 3/Компрессор");
        QTest::newRow("empty") << QString() << pump;
        QTest::newRow("blanks only") << QStringLiteral("   ") << pump;
        QTest::newRow("another point") << fan << pump;
        QTest::newRow("another point with text") << fan + QStringLiteral(";горячий") << pump + ";горячий";
        QTest::newRow("near miss kept whole")
            << QStringLiteral("Цех 2/Вентилятор 3") << pump + QStringLiteral(";Цех 2/Вентилятор 3");
        QTest::newRow("free text") << QStringLiteral("после ремонта")
                                   << pump + QStringLiteral(";после ремонта");
        QTest::newRow("already this point") << pump + QStringLiteral(";x") << QString();
        // The name has 16 characters; with ";" 33 more make exactly 50.
        QTest::newRow("fits in 50") << QString(33, QLatin1Char('x'))
                                    << pump + ";" + QString(33, QLatin1Char('x'));
        QTest::newRow("51 refused") << QString(34, QLatin1Char('x')) << QString();
        QTest::newRow("replacing a shorter name refused")
            << QStringLiteral("П1;") + QString(47, QLatin1Char('y')) << QString();
    }
    void assignmentKeepsWhatTheNoteSaid() {
        QFETCH(QString, note);
        QFETCH(QString, assigned);
        const QString pump = QStringLiteral("Цех 3/Компрессор");
        const PointIndex index({point(fan), point(pump), point(QStringLiteral("П1"))});
        const AssignmentPlan plan = planAssignment({{7, note}}, pump, index);
        if (assigned.isEmpty()) {
            QVERIFY(plan.changes.empty());
            QCOMPARE(plan.tooLong.size(), size_t(note.startsWith(pump) ? 0 : 1));
        } else {
            QCOMPARE(plan.changes.size(), size_t(1));
            QCOMPARE(plan.changes[0].recNo, 7);
            QCOMPARE(plan.changes[0].note, assigned);
            QVERIFY(plan.tooLong.empty());
        }
    }

    void badNamesAndLevelsAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QList<double>>("levels"); // A_B, B_C, C_D, BASE, ALERT, DANGER; NaN blank
        QTest::addColumn<QString>("problem");      // empty: accepted
        const QList<double> blank{none, none, none, none, none, none};
        QTest::newRow("class only") << fan << "II" << blank << "";
        QTest::newRow("own limits") << fan << "" << QList<double>{1, 2, 3, none, none, none} << "";
        QTest::newRow("50 characters") << QString(50, QChar(u'ж')) << "I" << blank << "";
        QTest::newRow("51 characters") << QString(51, QChar(u'ж')) << "I" << blank << "длиннее 50";
        QTest::newRow(";") << "Цех;1"
                           << "I" << blank << "«;»";
        QTest::newRow("not Windows-1251") << "Цех 1/Насос ✓"
                                          << "I" << blank << "Windows-1251";
        QTest::newRow("empty level") << "Цех 1//П1"
                                     << "I" << blank << "пустой уровень";
        QTest::newRow("unknown class") << fan << "V" << blank << "неизвестный класс «V»";
        QTest::newRow("neither class nor limits") << fan << "" << blank << "ни класс, ни границы";
        QTest::newRow("two limits") << fan << "II" << QList<double>{1, 2, none, none, none, none}
                                    << "не все три";
        QTest::newRow("falling limits")
            << fan << "" << QList<double>{1, 3, 2, none, none, none} << "не возрастают";
        QTest::newRow("alert above danger")
            << fan << "" << QList<double>{1, 2, 3, none, 5, 4} << "выше уровня аварии";
        QTest::newRow("alert above C_D")
            << fan << "" << QList<double>{1, 2, 3, none, 3.001, none} << "выше уровня аварии";
        QTest::newRow("alert at danger") << fan << "" << QList<double>{1, 2, 3, none, 4, 4} << "";
        QTest::newRow("negative base")
            << fan << "I" << QList<double>{none, none, none, -1, none, none} << "отрицательно";
    }
    void badNamesAndLevelsAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, cls);
        QFETCH(QList<double>, levels);
        QFETCH(QString, problem);
        PointEntry e = point(name, cls);
        e.ab = opt(levels[0]);
        e.bc = opt(levels[1]);
        e.cd = opt(levels[2]);
        e.base = opt(levels[3]);
        e.alert = opt(levels[4]);
        e.danger = opt(levels[5]);
        const auto found = entryProblem(e);
        if (problem.isEmpty()) {
            QVERIFY2(!found, qPrintable(found.value_or(QString())));
            return;
        }
        QVERIFY(found);
        QVERIFY2(found->contains(problem), qPrintable(*found));

        // Typed: refused by the model and nothing added. Written by another program: shown on the
        // point, which is left out of the states and of its machine's.
        CatalogueModel model;
        try {
            model.add(e);
            QFAIL("added");
        } catch (const KvError& error) {
            QVERIFY2(error.message().contains(problem, Qt::CaseInsensitive), qPrintable(error.message()));
        }
        QVERIFY(model.entries().empty());
        const Overview o = overviewOf({e, point(name + QStringLiteral("/ok"))}, series(name, {9.0}));
        QCOMPARE(o.points[0].state, State::CatalogueError);
        QVERIFY(o.points[0].error.startsWith(QStringLiteral("ошибка в каталоге: ")));
        QVERIFY(o.points[0].error.contains(problem));
        for (const LevelStatus& l : o.levels)
            QCOMPARE(l.state, State::NoMeasurements);
    }

    // Class II: 1.12, 2.8, 7.1. The alert level by default is min(base + 0.7, 3.5), the danger level
    // 7.1; with a baseline of 1.1 the alert is 1.8, which a sum in floating point misses.
    void statesAndZonesAtBelowAndAboveTheirLimits_data() {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QList<double>>("levels"); // A_B, B_C, C_D, BASE, ALERT, DANGER
        QTest::addColumn<QList<double>>("values"); // in time order; the last is judged
        QTest::addColumn<QString>("zone");
        QTest::addColumn<State>("state");
        QTest::addColumn<double>("alert");
        QTest::addColumn<double>("danger");
        const QList<double> blank{none, none, none, none, none, none};
        const QList<double> base1{none, none, none, 1.0, none, none};
        QTest::newRow("below A/B") << "II" << base1 << QList<double>{1.119999999} << "A" << State::Normal
                                   << 1.7 << 7.1;
        QTest::newRow("at A/B") << "II" << base1 << QList<double>{1.12} << "B" << State::Normal << 1.7 << 7.1;
        QTest::newRow("below alert") << "II" << base1 << QList<double>{1.699999999} << "B" << State::Normal
                                     << 1.7 << 7.1;
        QTest::newRow("at alert") << "II" << base1 << QList<double>{1.7} << "B" << State::Warning << 1.7
                                  << 7.1;
        QTest::newRow("above alert") << "II" << base1 << QList<double>{1.700000001} << "B" << State::Warning
                                     << 1.7 << 7.1;
        QTest::newRow("below B/C") << "II" << base1 << QList<double>{2.799999999} << "B" << State::Warning
                                   << 1.7 << 7.1;
        QTest::newRow("at B/C") << "II" << base1 << QList<double>{2.8} << "C" << State::Warning << 1.7 << 7.1;
        QTest::newRow("below danger")
            << "II" << base1 << QList<double>{7.099999999} << "C" << State::Warning << 1.7 << 7.1;
        QTest::newRow("at danger = C/D")
            << "II" << base1 << QList<double>{7.1} << "D" << State::Alarm << 1.7 << 7.1;
        QTest::newRow("above danger")
            << "II" << base1 << QList<double>{7.100000001} << "D" << State::Alarm << 1.7 << 7.1;
        QTest::newRow("baseline from the first record, at alert")
            << "II" << blank << QList<double>{1.1, 0.5, 1.8} << "B" << State::Warning << 1.8 << 7.1;
        QTest::newRow("baseline from the first record, below alert")
            << "II" << blank << QList<double>{1.1, 1.799999999} << "B" << State::Normal << 1.8 << 7.1;
        QTest::newRow("alert capped at 1.25 B/C")
            << "II" << QList<double>{none, none, none, 3.0, none, none} << QList<double>{3.5} << "C"
            << State::Warning << 3.5 << 7.1;
        QTest::newRow("below the cap") << "II" << QList<double>{none, none, none, 3.0, none, none}
                                       << QList<double>{3.499999999} << "C" << State::Normal << 3.5 << 7.1;
        QTest::newRow("stored levels, below alert")
            << "" << QList<double>{1, 2, 4, none, 2.5, 3} << QList<double>{2.499} << "C" << State::Normal
            << 2.5 << 3.0;
        QTest::newRow("stored levels, at alert") << "" << QList<double>{1, 2, 4, none, 2.5, 3}
                                                 << QList<double>{2.5} << "C" << State::Warning << 2.5 << 3.0;
        QTest::newRow("stored levels, at danger") << "" << QList<double>{1, 2, 4, none, 2.5, 3}
                                                  << QList<double>{3.0} << "C" << State::Alarm << 2.5 << 3.0;
        QTest::newRow("stored limits win over the class")
            << "IV" << QList<double>{1, 2, 4, 0.0, none, none} << QList<double>{4.0} << "D" << State::Alarm
            << 0.5 << 4.0;
        QTest::newRow("class I without limits")
            << "I" << QList<double>{none, none, none, 0.0, none, none} << QList<double>{0.71} << "B"
            << State::Warning << 0.45 << 4.5;
    }
    void statesAndZonesAtBelowAndAboveTheirLimits() {
        QFETCH(QString, cls);
        QFETCH(QList<double>, levels);
        QFETCH(QList<double>, values);
        QFETCH(QString, zone);
        QFETCH(State, state);
        QFETCH(double, alert);
        QFETCH(double, danger);
        PointEntry e = point(fan, cls);
        e.ab = opt(levels[0]);
        e.bc = opt(levels[1]);
        e.cd = opt(levels[2]);
        e.base = opt(levels[3]);
        e.alert = opt(levels[4]);
        e.danger = opt(levels[5]);
        const Overview o = overviewOf({e}, series(fan, values));
        const PointStatus& p = o.points[0];
        QCOMPARE(p.count, int(values.size()));
        QCOMPARE(QString(zoneLetter(p.zone)), zone);
        QCOMPARE(p.state, state);
        QCOMPARE(p.alert, alert);
        QCOMPARE(p.danger, danger);
        QCOMPARE(p.lastValue, values.back());
    }

    // B/C of class II is 2.8, so 25 % is 0.7 from the baseline 1.1, up or down.
    void significantChangeIsMoreThanAQuarterOfBC_data() {
        QTest::addColumn<double>("last");
        QTest::addColumn<bool>("significant");
        QTest::addColumn<QString>("change");
        QTest::newRow("none") << 1.1 << false << "0.0";
        QTest::newRow("+25 %") << 1.8 << false << "25.0";
        QTest::newRow("just above +25 %") << 1.800000001 << true << "25.0";
        QTest::newRow("-25 %") << 0.4 << false << "-25.0";
        QTest::newRow("just below -25 %") << 0.399999999 << true << "-25.0";
        QTest::newRow("fall to zero") << 0.0 << true << "-39.3";
        QTest::newRow("tiny fall has no sign") << 1.0999 << false << "0.0";
    }
    void significantChangeIsMoreThanAQuarterOfBC() {
        QFETCH(double, last);
        QFETCH(bool, significant);
        QFETCH(QString, change);
        PointEntry e = point(fan);
        e.base = 1.1;
        const Overview o = overviewOf({e}, series(fan, {5.0, last}));
        QCOMPARE(o.points[0].significant, significant);
        QCOMPARE(pointFields(o.points[0], u".", false)[7], change);
    }

    void overdueCountsTheDaysSinceTheLastRecord_data() {
        QTest::addColumn<int>("days"); // -1: blank
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("overdue");
        // The last record is of 02.03.2025.
        QTest::newRow("30 days, after 30") << 30 << QDate(2025, 4, 1) << false;
        QTest::newRow("30 days, after 31") << 30 << QDate(2025, 4, 2) << true;
        QTest::newRow("same day") << 1 << QDate(2025, 3, 2) << false;
        QTest::newRow("0: not scheduled") << 0 << QDate(2026, 1, 1) << false;
        QTest::newRow("blank: not scheduled") << -1 << QDate(2026, 1, 1) << false;
    }
    void overdueCountsTheDaysSinceTheLastRecord() {
        QFETCH(int, days);
        QFETCH(QDate, today);
        QFETCH(bool, overdue);
        PointEntry e = point(fan);
        if (days >= 0)
            e.days = days;
        PointEntry silent = point(QStringLiteral("Цех 2/Насос"));
        silent.days = 1;
        const Overview o = overviewOf({e, silent}, series(fan, {1.0, 1.0}), today);
        QCOMPARE(o.points[0].overdue, overdue);
        QCOMPARE(o.levels[0].overdue, overdue); // "Цех 2"
        // Without a measurement a point is never overdue: it shows nothing but "нет замеров".
        QCOMPARE(o.points[1].overdue, false);
        QCOMPARE(pointFields(o.points[1], u".", false), QStringList({QStringLiteral("Цех 2/Насос"), "0", "",
                                                                     "", "", "", "нет замеров", "", "", ""}));
    }

    void levelsShowTheWorstStateOfTheirPoints() {
        PointEntry bad = point(QStringLiteral("Цех 2/Компрессор/П1"), QStringLiteral("X"));
        PointEntry due = point(QStringLiteral("Цех 1/Насос/П2"));
        due.days = 10;
        PointEntry warn = point(QStringLiteral("Цех 2/Компрессор/П2"));
        warn.base = 0.0;
        const std::vector<PointEntry> catalogue{
            point(QStringLiteral("Цех 1/Насос/П1")),
            due,
            point(QStringLiteral("Цех 1/Вентилятор/П1")),
            bad,
            warn,
            point(QStringLiteral("Цех 2/Компрессор")),
        };
        std::vector<MeasurementRow> rows;
        const std::initializer_list<std::pair<const char*, double>> values{{"Цех 1/Насос/П1", 8.0},
                                                                           {"Цех 1/Насос/П2", 1.0},
                                                                           {"Цех 2/Компрессор/П1", 9.0},
                                                                           {"Цех 2/Компрессор/П2", 2.9},
                                                                           {"Цех 2/Компрессор", 0.5}};
        for (const auto& [name, value] : values)
            rows.push_back(row(QStringLiteral("01.03.2025"), QStringLiteral("10:00:00"), value,
                               QString::fromUtf8(name), 0, int(rows.size()) + 1));
        // With its baseline of 0, "Цех 2/Компрессор/П2" warns from 0.7 on.
        const Overview o = overviewOf(catalogue, rows);
        QCOMPARE(o.points[0].state, State::Alarm);
        QCOMPARE(o.points[1].state, State::Normal);
        QVERIFY(o.points[1].overdue);
        QCOMPARE(o.points[2].state, State::NoMeasurements);
        QCOMPARE(o.points[3].state, State::CatalogueError);
        QCOMPARE(o.points[4].state, State::Warning);
        QCOMPARE(o.points[5].state, State::Normal);

        // Path, depth, state, overdue, points. The point named as a level counts for it too; the one
        // in error does not count for the state.
        QStringList levels;
        for (const LevelStatus& l : o.levels)
            levels << QStringLiteral("%1 %2 %3 %4 %5")
                          .arg(l.path)
                          .arg(l.depth)
                          .arg(stateText(l.state), yesNo(l.overdue))
                          .arg(l.points);
        QCOMPARE(levels, (QStringList{"Цех 1 0 авария да 3", "Цех 1/Насос 1 авария да 2",
                                      "Цех 1/Вентилятор 1 нет замеров нет 1", "Цех 2 0 предупреждение нет 3",
                                      "Цех 2/Компрессор 1 предупреждение нет 3"}));
    }

    // Which records count and in what order they are taken.
    void recordsCountOnceInDateTimeOrder() {
        const QString d1 = QStringLiteral("01.03.2025"), d2 = QStringLiteral("15.02.2025");
        const QString t = QStringLiteral("10:00:00");
        std::vector<MeasurementRow> rows{
            row(d1, t, 1.0, fan, 0, 1),
            row(d2, t, 2.0, fan, 0, 2), // earliest: the baseline
            row(d1, t, 3.0, fan, 0, 3), // same moment as record 1, later record number
            row(d1, t, 3.0, fan, 0, 4), // the same measurement twice in one table: both count
            row(d1, t, 3.0, fan, 1, 1), // ... and in a second table: counts no more
            row(d1, t, 4.0, fan, 1, 2), // same moment, later table: the last record
            row(d1, QStringLiteral("09:59:59"), 9.0, fan, 1, 3),
            row(d1, t, none, fan, 1, 4),                                 // no value
            row(d1, t, 5.0, QStringLiteral("Цех 2/Вентилятор 3"), 1, 5), // no point
            row(d1, t, 5.0, QStringLiteral("Цех 2/Вентилятор 3"), 0, 5), // no point, a duplicate
            row(d1, t, 5.0, QString(), 0, 6),                            // no point
            row(QStringLiteral("31.02.2025"), t, 5.0, fan, 0, 7),        // no such day
        };
        MeasurementRow otherMode = row(d1, QStringLiteral("23:00:00"), 6.0, fan, 1, 6);
        otherMode.mode = 1;
        rows.push_back(otherMode);

        PointEntry e = point(fan);
        e.days = 1;
        Overview o = overviewOf({e}, rows, QDate(2025, 3, 3), 0);
        const PointStatus& p = o.points[0];
        QCOMPARE(p.count, 6);
        QCOMPARE(p.lastValue, 4.0);
        QCOMPARE(p.lastTable, 1);
        QCOMPARE(p.lastRecNo, 2);
        QCOMPARE(p.baseline, 2.0);
        QCOMPARE(p.lastDate, d1);
        QVERIFY(p.overdue);
        QCOMPARE(o.unassigned, 2);
        QCOMPARE(o.duplicates, 2);
        QCOMPARE(o.undated, 1);

        // Without the mode the other mode's later record is the last one.
        o = overviewOf({e}, rows, QDate(2025, 3, 3));
        QCOMPARE(o.points[0].count, 7);
        QCOMPARE(o.points[0].lastValue, 6.0);
        QCOMPARE(o.points[0].lastTime, QStringLiteral("23:00:00"));

        // Records of one table only are never taken for copies of each other.
        for (MeasurementRow& r : rows)
            r.table = 0;
        QCOMPARE(overviewOf({e}, rows, QDate(2025, 3, 3), 0).points[0].count, 7);
    }

    void csvIsForARussianSpreadsheet() {
        PointEntry bad = point(QStringLiteral("Цех 1/Б"), QStringLiteral("X"));
        PointEntry e = point(QStringLiteral("Цех 1/А"));
        e.base = 2.0;
        std::vector<MeasurementRow> rows = series(e.name, {1.5});
        rows.push_back(
            row(QStringLiteral("01.03.2025"), QStringLiteral("10:00:00"), 1.0, QStringLiteral("x")));
        const QByteArray csv = overviewCsv(overviewOf({e, bad, point(QStringLiteral("Цех 1/В"))}, rows));
        const QByteArray want = "\xEF\xBB\xBF"
                                "Точка;Замеров;Дата;Время;V СКЗ, мм/с;Зона;Состояние;Изменение, % от B/C;"
                                "Значимое изменение;Просрочен\r\n"
                                "Цех 1/А;1;01.03.2025;10:00:00;1,500;B;норма;-17,9;нет;нет\r\n"
                                "Цех 1/Б;0;;;;;ошибка в каталоге: неизвестный класс «X»;;;\r\n"
                                "Цех 1/В;0;;;;;нет замеров;;;\r\n"
                                "без точки;1;;;;;;;;\r\n";
        QCOMPARE(QString::fromUtf8(csv), QString::fromUtf8(want));
        QCOMPARE(csv, want);
    }

    void modelRefusesAChangeWholeAndNamesThePoint() {
        CatalogueModel m;
        m.add(point(QStringLiteral("Цех 1/Насос/П1")));
        m.add(point(QStringLiteral("Цех 1/Насос/П2")));
        m.add(point(QStringLiteral("Цех 1/Помпа/П1")));
        QVERIFY_THROWS_EXCEPTION(KvError, m.add(point(QStringLiteral("Цех 1/Насос/П1"))));

        // A class fills its limits in; danger below one point's C/D is fine, an alert above it not.
        m.setClass({QStringLiteral("Цех 1/Насос/П1"), QStringLiteral("Цех 1/Насос/П2")},
                   QStringLiteral("III"));
        QCOMPARE(m.entries()[1].cd, std::optional(11.2));
        m.setLimits({QStringLiteral("Цех 1/Насос/П2")}, ZoneLimits{1, 2, 3});
        const std::vector<PointEntry> before = m.entries();
        try {
            m.setLevels({QStringLiteral("Цех 1/Насос/П1"), QStringLiteral("Цех 1/Насос/П2")}, 5.0,
                        std::nullopt);
            QFAIL("accepted");
        } catch (const KvError& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Точка «Цех 1/Насос/П2»: Уровень предупреждения выше уровня аварии."));
        }
        QCOMPARE(m.entries(), before);

        // A level with all its points; a clash with an existing name is refused whole.
        QVERIFY_THROWS_EXCEPTION(KvError,
                                 m.renameLevel(QStringLiteral("Цех 1/Насос"), QStringLiteral("Цех 1/Помпа")));
        QCOMPARE(m.entries(), before);
        const NameChanges changes =
            m.renameLevel(QStringLiteral("Цех 1/Насос"), QStringLiteral("Цех 2/Насос Н-3"));
        QCOMPARE(changes, (NameChanges{{"Цех 1/Насос/П1", "Цех 2/Насос Н-3/П1"},
                                       {"Цех 1/Насос/П2", "Цех 2/Насос Н-3/П2"}}));
        QCOMPARE(m.entries()[0].name, QStringLiteral("Цех 2/Насос Н-3/П1"));
        QVERIFY_THROWS_EXCEPTION(KvError, m.rename(QStringLiteral("Цех 1/Помпа/П1"), QStringLiteral("П;1")));
        QVERIFY_THROWS_EXCEPTION(KvError, m.rename(QStringLiteral("нет такой"), QStringLiteral("П1")));
        m.remove({QStringLiteral("Цех 1/Помпа/П1")});
        QCOMPARE(m.entries().size(), size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestPoints)
#include "test_points.moc"
