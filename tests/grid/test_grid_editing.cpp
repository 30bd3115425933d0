#include "GridFixture.h"

#include "core/Cp1251.h"

#include <QLineEdit>
#include <QSignalSpy>

class TestGridEditing : public QObject {
    Q_OBJECT

    static QLineEdit* editor(GridFixture& f) {
        return qobject_cast<QLineEdit*>(f.view()->indexWidget(f.view()->currentIndex()));
    }
    static void typeText(QWidget* w, const QString& text) {
        // QTest::keyClicks aborts on non-ASCII text here; single key events carry any text.
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    static void typeWhole(QWidget* w, const QString& text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, text, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, text, Qt::NoModifier);
    }
    static bool startEdit(GridFixture& f, int row, int column) {
        f.grid->setCurrentCell(row, column);
        QTest::keyClick(f.view(), Qt::Key_F2);
        return f.grid->isEditing() && editor(f) != nullptr;
    }

private slots:
    void reportsTheStartOfAnEdit() {
        GridFixture f;
        QVERIFY(f.show());
        QSignalSpy spy(f.grid.get(), &DBGridPro::initEdit);
        QVERIFY(startEdit(f, 0, f.col("COMMENT")));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(0).toInt(), f.col("COMMENT"));
        QCOMPARE(editor(f)->text(), QStringLiteral("note 0"));
        QVERIFY(f.grid->finishEdit()); // unchanged text posts harmlessly
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(f.link->rows[0][10].toString(), QStringLiteral("note 0"));
    }

    void readOnlyCellsAndTabStartNoEditor_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("key");
        QTest::newRow("F2 on N") << "N" << int(Qt::Key_F2);
        QTest::newRow("typing on A") << "A" << int(Qt::Key_X);
        QTest::newRow("F2 on DATE") << "DATE" << int(Qt::Key_F2);
        QTest::newRow("Tab on COMMENT") << "COMMENT" << int(Qt::Key_Tab);
        QTest::newRow("Backtab on COMMENT") << "COMMENT" << int(Qt::Key_Backtab);
    }
    void readOnlyCellsAndTabStartNoEditor() {
        QFETCH(QString, field);
        QFETCH(int, key);
        GridFixture f;
        QVERIFY(f.show());
        QSignalSpy spy(f.grid.get(), &DBGridPro::initEdit);
        f.grid->setCurrentCell(0, f.grid->columnIndex(field));
        QTest::keyClick(f.view(), Qt::Key(key));
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(spy.count(), 0);
    }

    void typingStartsTheEditor() {
        GridFixture f;
        QVERIFY(f.show());
        QSignalSpy spy(f.grid.get(), &DBGridPro::initEdit);
        f.grid->setCurrentCell(1, f.col("COMMENT"));
        QTest::keyClick(f.view(), Qt::Key_Z, Qt::NoModifier);
        QVERIFY(f.grid->isEditing());
        QCOMPARE(spy.count(), 1);
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[1][10].toString(), QStringLiteral("z"));
    }

    void noteEditorRefusesWhatTheCodePageCannotHold() {
        GridFixture f;
        const int note = f.col("COMMENT");
        f.grid->setColumnMaxLength(note, 50);
        f.grid->setColumnCharFilter(note, [](QChar c) { return cp1251::canEncode(c); });
        QVERIFY(f.show());
        QVERIFY(startEdit(f, 0, note));
        QLineEdit* e = editor(f);
        e->clear();
        QTest::keyClicks(e, "ab");
        typeText(e, QStringLiteral("Жё€№"));
        typeText(e, QStringLiteral("厂β"));         // not in Windows-1251: refused
        typeWhole(e, QStringLiteral("\U0001F600")); // a surrogate pair in one event
        typeWhole(e, QStringLiteral("xβ"));         // a mixed insertion is refused as a whole
        QCOMPARE(e->text(), QStringLiteral("abЖё€№"));
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[0][note].toString(), QStringLiteral("abЖё€№"));
    }

    void noteEditorStopsAtItsMaximumLength() {
        GridFixture f;
        const int note = f.col("COMMENT");
        f.grid->setColumnMaxLength(note, 50);
        QVERIFY(f.show());
        QVERIFY(startEdit(f, 2, note));
        QLineEdit* e = editor(f);
        e->clear();
        typeText(e, QString(48, u'Ж'));
        typeWhole(e, QStringLiteral("abc")); // would make 51: refused whole, not cut
        QCOMPARE(e->text().size(), 48);
        QTest::keyClicks(e, "xyz");
        QCOMPARE(e->text().size(), 50);
        QVERIFY(e->text().endsWith(QStringLiteral("xy")));
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[2][note].toString().size(), 50);
    }

    void overlongStoredTextCanStillBeShortened() {
        GridFixture f;
        const int note = f.col("COMMENT");
        f.link->rows[0][note] = QString(60, u'q');
        f.grid->setColumnMaxLength(note, 50);
        QVERIFY(f.show());
        QVERIFY(startEdit(f, 0, note));
        QLineEdit* e = editor(f);
        e->end(false);
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text().size(), 59);
        QTest::keyClicks(e, "r");
        QCOMPARE(e->text().size(), 59);
    }

    void numberCellsTakeEitherSeparatorAndRefuseText() {
        GridFixture f;
        const int asr = f.col("A_SR");
        f.grid->setColumnVisible(asr, true);
        QStringList errors;
        f.grid->setErrorHandler([&](const QString& m) { errors << m; });
        QVERIFY(f.show());

        QVERIFY(startEdit(f, 0, asr));
        editor(f)->setText(QStringLiteral("1,5"));
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[0][asr], QVariant(1.5));

        QVERIFY(startEdit(f, 1, asr));
        editor(f)->setText(QStringLiteral("2.25"));
        QVERIFY(f.grid->finishEdit());
        QCOMPARE(f.link->rows[1][asr], QVariant(2.25));

        const QVariant before = f.link->rows[2][asr];
        QVERIFY(startEdit(f, 2, asr));
        editor(f)->setText(QStringLiteral("abc"));
        QVERIFY(!f.grid->finishEdit());
        QCOMPARE(f.link->rows[2][asr], before);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains(QStringLiteral("abc")));

        QVERIFY(startEdit(f, 3, asr));
        editor(f)->setText(QString());
        QVERIFY(f.grid->finishEdit());
        QVERIFY(f.link->rows[3][asr].isNull()); // an empty cell is no value
    }

    void refusedValueIsReportedAndNotShown() {
        GridFixture f;
        QStringList errors;
        f.grid->setErrorHandler([&](const QString& m) { errors << m; });
        f.link->refuseMessage = QStringLiteral("Текст не помещается в поле COMMENT");
        QVERIFY(f.show());
        const int note = f.col("COMMENT");
        QVERIFY(startEdit(f, 4, note));
        editor(f)->setText(QStringLiteral("new"));
        QVERIFY(!f.grid->finishEdit());
        QCOMPARE(errors, QStringList{f.link->refuseMessage});
        QCOMPARE(f.view()->model()->index(4, note).data().toString(), QStringLiteral("note 4"));
    }

    void deletingFinishesTheEditFirst() {
        GridFixture f;
        QVERIFY(f.show());
        const int note = f.col("COMMENT");
        QVERIFY(startEdit(f, 5, note));
        editor(f)->setText(QStringLiteral("kept"));
        f.grid->selectRows({1});
        QCOMPARE(f.grid->deleteSelected(), 1);
        QVERIFY(!f.grid->isEditing());
        QCOMPARE(f.link->rows[4][note].toString(), QStringLiteral("kept")); // row 5 moved up to 4
    }
};

std::vector<std::unique_ptr<QObject>> makeGridEditingTests() {
    std::vector<std::unique_ptr<QObject>> v;
    v.push_back(std::make_unique<TestGridEditing>());
    return v;
}

#include "test_grid_editing.moc"
