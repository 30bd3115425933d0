#include "MemorySource.h"
#include "PdfText.h"

#include "core/Error.h"
#include "report/ReportEngine.h"
#include "report/ui/PreviewWindow.h"
#include "report/ui/PrintDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace report;

namespace {

// Three pages: 27 + 30 + 13 rows.
PreparedReport threePages() {
    ReportTemplate t;
    t.name = QStringLiteral("preview");
    auto obj = [](double left, double width, double height, const QString& text) {
        TextObject o;
        o.rect = QRectF(left, 0, width, height);
        o.text = text;
        o.frame = true;
        return o;
    };
    t.bands = {
        {BandType::ReportTitle, 17.7, {obj(6.9, 60, 17.7, QStringLiteral("Титул"))}},
        {BandType::PageHeader, 11.1, {obj(6.9, 40, 11.1, QStringLiteral("Номер"))}},
        {BandType::MasterData, 5.5, {obj(6.9, 40, 5.5, QStringLiteral("замер [Src.\"ID\"]"))}},
        {BandType::PageFooter, 5.5, {obj(250, 40, 5.5, QStringLiteral("Стр. [PAGE#] из [TOTALPAGES]"))}},
    };
    MemorySource s(QStringLiteral("Src"), {QStringLiteral("ID")});
    for (int i = 1; i <= 70; ++i)
        s.addRow({QVariant(qint64(i))});
    return prepareReport(t, s);
}

// Closes the message box a step under test opens, so the test never waits for a person.
void closeNextMessageBox(QString* text) {
    QTimer::singleShot(0, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->close();
        }
    });
}

} // namespace

class ReportPreviewTest : public QObject {
    Q_OBJECT
private slots:
    void navigationMovesAndClampsAndUpdatesControls();
    void zoomModes();
    void findShowsAndHighlightsTheMatch();
    void loadReplacesTheReportOrKeepsItOnDamage();
    void printDialogReadsOurPageList_data();
    void printDialogReadsOurPageList();
    void printDialogStaysOpenOnAnUnreadableList();
    void printerPrintsTheChosenPagesToPdf();
    void aPaperTheUserChoseIsKeptAndThePageFitted();
    void thePageListSitsWithTheRangeChoice();
    void savedReportNamesEndInKvr_data();
    void savedReportNamesEndInKvr();
    void fileDialogsShareTheCallersFolder();
};

void ReportPreviewTest::navigationMovesAndClampsAndUpdatesControls() {
    PreviewWindow w(threePages());
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("Предварительный просмотр"));
    auto* box = w.findChild<QSpinBox*>();
    QVERIFY(box);
    QCOMPARE(w.currentPage(), 0);
    QCOMPARE(box->maximum(), 3);
    w.nextPage();
    QCOMPARE(w.currentPage(), 1);
    QCOMPARE(box->value(), 2);
    w.lastPage();
    QCOMPARE(w.currentPage(), 2);
    w.nextPage();
    QCOMPARE(w.currentPage(), 2);
    w.previousPage();
    QCOMPARE(w.currentPage(), 1);
    w.firstPage();
    w.previousPage();
    QCOMPARE(w.currentPage(), 0);
    w.showPage(99);
    QCOMPARE(w.currentPage(), 2);
    box->setValue(1); // typing a page number
    QCOMPARE(w.currentPage(), 0);
    bool sawTotal = false;
    for (QLabel* l : w.findChildren<QLabel*>())
        sawTotal |= l->text().contains(QStringLiteral("из 3"));
    QVERIFY(sawTotal);
}

void ReportPreviewTest::zoomModes() {
    PreviewWindow w(threePages());
    w.resize(900, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* scroll = w.findChild<QScrollArea*>();
    const QSize room = scroll->viewport()->size();
    w.setZoom(PreviewWindow::Zoom::WholePage);
    QVERIFY(297 * w.pixelsPerMm() <= room.width());
    QVERIFY(210 * w.pixelsPerMm() <= room.height());
    QVERIFY(297 * w.pixelsPerMm() > room.width() * 0.8 || 210 * w.pixelsPerMm() > room.height() * 0.8);
    w.setZoom(PreviewWindow::Zoom::FitWidth);
    QVERIFY(297 * w.pixelsPerMm() <= room.width());
    QVERIFY(297 * w.pixelsPerMm() > room.width() * 0.85);
    w.setZoom(PreviewWindow::Zoom::Percent, 100);
    const double actual = w.pixelsPerMm();
    QVERIFY(qAbs(actual - w.logicalDpiX() / 25.4) < 1e-9);
    w.setZoom(PreviewWindow::Zoom::Percent, 200);
    QVERIFY(qAbs(w.pixelsPerMm() - 2 * actual) < 1e-9);
    w.resize(600, 500); // a percentage does not follow the window
    QCoreApplication::processEvents();
    QVERIFY(qAbs(w.pixelsPerMm() - 2 * actual) < 1e-9);
}

void ReportPreviewTest::findShowsAndHighlightsTheMatch() {
    PreviewWindow w(threePages());
    w.resize(900, 700);
    w.show();
    QVERIFY(w.find(QStringLiteral("замер 40")));
    QCOMPARE(w.currentPage(), 1);
    const TextMatch m = w.currentMatch();
    QCOMPARE(w.report().pages[m.page].items[m.item].text, QStringLiteral("замер 40"));
    auto* view = w.findChild<PageView*>();
    QCOMPARE(view->highlight(), m.item);
    const QImage shot = view->grab().toImage();
    // The right end of the cell holds no text of "замер 40".
    const QRect cellRect = view->itemRect(m.item);
    const QPoint inside(cellRect.right() - 4, cellRect.center().y());
    QCOMPARE(QColor(shot.pixel(inside)), QColor(255, 230, 0));

    QVERIFY(w.find(QStringLiteral("Стр.")));
    QCOMPARE(w.currentPage(), 0);
    QVERIFY(w.findNext());
    QCOMPARE(w.currentPage(), 1);
    QVERIFY(w.findNext());
    QVERIFY(w.findNext());
    QCOMPARE(w.currentPage(), 0); // wrapped round

    QVERIFY(!w.find(QStringLiteral("нет такого")));
    QCOMPARE(view->highlight(), -1);
    bool noted = false;
    for (QLabel* l : w.findChildren<QLabel*>())
        noted |= l->text().contains(QStringLiteral("не найден"));
    QVERIFY(noted);
}

void ReportPreviewTest::loadReplacesTheReportOrKeepsItOnDamage() {
    QTemporaryDir dir;
    PreviewWindow w(threePages());
    w.lastPage();
    const QString bad = dir.filePath(QStringLiteral("bad.kvr"));
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("KVRP\x01\x00garbage");
    f.close();
    QVERIFY_THROWS_EXCEPTION(KvError, w.loadFile(bad));
    QCOMPARE(w.report().pageCount(), 3);
    QCOMPARE(w.currentPage(), 2);

    PreparedReport one = threePages();
    one.pages.resize(1);
    const QString good = dir.filePath(QStringLiteral("one.kvr"));
    one.saveFile(good);
    w.loadFile(good);
    QCOMPARE(w.report(), one);
    QCOMPARE(w.currentPage(), 0);
}

void ReportPreviewTest::printDialogReadsOurPageList_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("range");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("our list") << "1,3" << int(QAbstractPrintDialog::AllPages) << QList<int>{1, 3};
    QTest::newRow("our list wins over the range")
        << "2-3" << int(QAbstractPrintDialog::CurrentPage) << QList<int>{2, 3};
    QTest::newRow("all") << "" << int(QAbstractPrintDialog::AllPages) << QList<int>{};
    QTest::newRow("current page") << "" << int(QAbstractPrintDialog::CurrentPage) << QList<int>{2};
}

void ReportPreviewTest::printDialogReadsOurPageList() {
    QFETCH(QString, list);
    QFETCH(int, range);
    QFETCH(QList<int>, pages);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("x.pdf")));
    ReportPrintDialog dialog(&printer, 3, 2);
    PageListField* field = dialog.findChild<PageListField*>();
    QVERIFY(field);
    QCOMPARE(field, dialog.pageListField());
    field->setText(list);
    dialog.setPrintRange(QAbstractPrintDialog::PrintRange(range));
    const PrintJob job = dialog.job();
    QCOMPARE(QList<int>(job.pages.begin(), job.pages.end()), pages);
}

void ReportPreviewTest::printDialogStaysOpenOnAnUnreadableList() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    ReportPrintDialog dialog(&printer, 3, 1);
    dialog.pageListField()->setText(QStringLiteral("1,7"));
    QVERIFY_THROWS_EXCEPTION(KvError, dialog.job());
    dialog.show();
    QString message;
    closeNextMessageBox(&message);
    dialog.accept();
    QVERIFY2(message.contains(QStringLiteral("7")), qPrintable(message));
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);
}

void ReportPreviewTest::printerPrintsTheChosenPagesToPdf() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printReport(threePages(), printer, PrintJob{{3, 1}, 1, true});
    const QStringList pages = pdfPagesText(pdf);
    QCOMPARE(pages.size(), 2);
    QVERIFY(pages[0].contains(QStringLiteral("Стр. 3 из 3")));
    QVERIFY(pages[0].contains(QStringLiteral("замер 70")));
    QVERIFY(pages[1].contains(QStringLiteral("Титул")));
}

void ReportPreviewTest::aPaperTheUserChoseIsKeptAndThePageFitted() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("portrait.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    // As the print dialog leaves it when the user picks A4 upright.
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    printReport(threePages(), printer, PrintJob{{3}, 1, true});
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(60000));
    const QString text = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("Page size:       595 x 842")), qPrintable(text));
    // The footer stands 250 mm from the left edge: on an upright sheet only a fitted page keeps it.
    const QStringList pages = pdfPagesText(pdf);
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages[0].contains(QStringLiteral("Стр. 3 из 3")), qPrintable(pages[0]));
}

void ReportPreviewTest::thePageListSitsWithTheRangeChoice() {
    QPrinter printer(QPrinter::HighResolution);
    ReportPrintDialog dialog(&printer, 3, 1);
    auto* range = dialog.findChild<QWidget*>(QStringLiteral("gbPrintRange"));
    if (!range)
        QSKIP("the platform's own print dialog has no range box of ours to arrange");
    QCOMPARE(dialog.pageListField()->parentWidget(), range);
    dialog.show();
    // The range box itself stays folded away until the user unfolds the options.
    QVERIFY(!dialog.pageListField()->isHidden());
    if (auto* native = range->findChild<QWidget*>(QStringLiteral("pagesLineEdit")))
        QVERIFY(native->isHidden());
    // It is not in a tab of its own any more.
    for (auto* tabs : dialog.findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(tabs->widget(i) != dialog.pageListField());
}

void ReportPreviewTest::savedReportNamesEndInKvr_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension") << "/tmp/отчёт"
                                  << "/tmp/отчёт.kvr";
    QTest::newRow("dotted folder") << "/home/ivan.petrov/отчёт"
                                   << "/home/ivan.petrov/отчёт.kvr";
    QTest::newRow("already .kvr") << "/home/ivan.petrov/a.kvr"
                                  << "/home/ivan.petrov/a.kvr";
    QTest::newRow("upper case") << "/tmp/A.KVR"
                                << "/tmp/A.KVR";
    QTest::newRow("another extension") << "/tmp/a.pdf"
                                       << "/tmp/a.pdf.kvr";
    QTest::newRow("kvr only inside") << "/tmp/a.kvr.bak"
                                     << "/tmp/a.kvr.bak.kvr";
}

void ReportPreviewTest::savedReportNamesEndInKvr() {
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QCOMPARE(PreparedReport::fileNameFor(chosen), saved);
}

// The save and open dialogs start in the caller's folder and move it to the folder of the file
// chosen; the save goes under the chosen name with ".kvr" added, into that folder.
void ReportPreviewTest::fileDialogsShareTheCallersFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ivan.petrov")));
    const QString elsewhere = dir.filePath(QStringLiteral("ivan.petrov"));
    QString folder = QDir::toNativeSeparators(dir.path());
    PreviewWindow w(threePages());
    w.folder = &folder;
    QStringList starts;
    QString answer = elsewhere + QStringLiteral("/отчёт");
    w.chooseFile = [&](const QString&, const QString& start) {
        starts << start;
        return answer;
    };
    w.saveAs();
    QVERIFY(QFile::exists(elsewhere + QStringLiteral("/отчёт.kvr")));
    QCOMPARE(folder, QDir::toNativeSeparators(elsewhere));
    answer.clear(); // the open dialog cancelled: the folder stays
    w.open();
    QCOMPARE(starts,
             (QStringList{QDir::toNativeSeparators(dir.path()), QDir::toNativeSeparators(elsewhere)}));
    QCOMPARE(folder, QDir::toNativeSeparators(elsewhere));
}

QTEST_MAIN(ReportPreviewTest)
#include "test_report_preview.moc"
