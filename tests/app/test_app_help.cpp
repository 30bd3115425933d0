#include "AppFixture.h"

#include "chart/SeverityZones.h"
#include "chart/TrendSeries.h"
#include "image/Importer.h"
#include "link/DownloadTexts.h"
#include "ui/HelpBook.h"
#include "ui/HelpViewer.h"
#include "ui/HelpWindow.h"
#include "ui/ImageList.h"
#include "ui/TForm4.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QImage render(const QIcon& icon, int px, qreal dpr = 1.0) {
    return icon.pixmap(QSize(px, px), dpr).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The same SVG drawn straight by the SVG renderer, independent of the icon machinery.
QImage renderSvg(const QString& path, int px) {
    QSvgRenderer svg(path);
    QImage image(px, px, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    svg.render(&p);
    return image;
}

int opaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 0;
    return n;
}

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

const QString manualDir = QStringLiteral(KV_SOURCE_DIR "/ui/help");

void writePage(const QString& path, const QString& html) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(html.toUtf8());
}

} // namespace

class TestAppHelp : public QObject {
    Q_OBJECT

private slots:
    // --- the help command ---
    void helpOpensTheManualWindow_data() {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("menu") << QStringLiteral("N34");
        QTest::newRow("toolbar") << QStringLiteral("ToolButton7");
        QTest::newRow("F1") << QStringLiteral("F1");
    }
    void helpOpensTheManualWindow() {
        QFETCH(QString, trigger);
        QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("itp.hlp")));
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        ModalAnswer answers;
        if (trigger == QLatin1String("F1")) {
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(&w, Qt::Key_F1);
        } else {
            control(w, trigger.toLatin1().constData())->trigger();
        }
        QCOMPARE(answers.unexpected(), 0);
        QVERIFY(answers.seen().empty());
        auto* help = w.findChild<HelpWindow*>(QStringLiteral("HelpWindow"));
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(!help->isModal());
        QCOMPARE(help->currentPage(), help->book().home());

        // The contents list every page, the page on error messages among them, with their headings.
        QStringList titles;
        for (int i = 0; i < help->Contents->topLevelItemCount(); ++i)
            titles << help->Contents->topLevelItem(i)->text(0);
        QVERIFY(titles.size() >= 10);
        QVERIFY2(titles.contains(QStringLiteral("Сообщения программы: что значат и что делать")),
                 qPrintable(titles.join(QLatin1Char('|'))));
        QVERIFY(help->Contents->topLevelItem(1)->childCount() > 0);

        // A second F1 shows the same window rather than another one.
        control(w, "N34")->trigger();
        QCOMPARE(w.findChildren<HelpWindow*>().size(), 1);
    }

    void searchFindsAWordAndShowsItsPage() {
        QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("itp.hlp")));
        AppFixture f;
        auto p = f.start();
        HelpWindow* help = p->Form1->showHelpWindow();
        help->SearchText->setText(QStringLiteral("DIALOUT"));
        QTest::keyClick(help->SearchText, Qt::Key_Return);
        QVERIFY(help->SearchResults->count() >= 1);
        const QUrl first = help->SearchResults->item(0)->data(Qt::UserRole).toUrl();
        QVERIFY2(first.path().endsWith(QStringLiteral("connect.html")), qPrintable(first.toString()));
        QCOMPARE(help->currentPage(), first);
        QVERIFY(help->Page->toPlainText().contains(QStringLiteral("dialout")));
        QVERIFY(!help->Page->extraSelections().isEmpty());

        // How to download and what a message means: both answered by the search.
        help->search(QStringLiteral("Прибор не обнаружен"));
        QVERIFY(help->SearchResults->count() >= 1);
        bool errorsPage = false;
        for (int i = 0; i < help->SearchResults->count(); ++i)
            errorsPage |= help->SearchResults->item(i)
                              ->data(Qt::UserRole)
                              .toUrl()
                              .path()
                              .endsWith(QStringLiteral("errors.html"));
        QVERIFY(errorsPage);

        help->search(QStringLiteral("  "));
        QCOMPARE(help->SearchResults->count(), 0);
        QVERIFY(help->Page->extraSelections().isEmpty());

        help->search(QStringLiteral("шрдлуэтаоин"));
        QCOMPARE(help->SearchResults->count(), 1);
        QVERIFY(!(help->SearchResults->item(0)->flags() & Qt::ItemIsSelectable));

        // Back and forward walk the pages shown.
        const QUrl errors = help->book().pages().last().url;
        help->showPage(help->book().home());
        help->showPage(errors);
        QVERIFY(help->Back->isEnabled());
        help->Back->click();
        QCOMPARE(help->currentPage(), help->book().home());
        QVERIFY(help->Forward->isEnabled());
        help->Forward->click();
        QCOMPARE(help->currentPage(), errors);
    }

    // The "itp.hlp" beside the program wins only where a viewer for it exists.
    void helpFileBesideTheProgramNeedsAViewer_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("viewer");
        QTest::newRow("present, viewer") << true << true;
        QTest::newRow("present, no viewer") << true << false;
        QTest::newRow("missing, viewer") << false << true;
    }
    void helpFileBesideTheProgramNeedsAViewer() {
        QFETCH(bool, present);
        QFETCH(bool, viewer);
        const QString hlp = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("itp.hlp"));
        QFile::remove(hlp);
        if (present) {
            QFile file(hlp);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        AppFixture f;
        QStringList asked;
        StartOptions options;
        options.winHelpViewer = [&](const QString& path) {
            asked << path;
            return viewer;
        };
        auto p = f.start(options);
        TForm1& w = *p->Form1;
        ModalAnswer answers;
        control(w, "N34")->trigger();
        QFile::remove(hlp);
        QCOMPARE(answers.unexpected(), 0);
        QVERIFY(answers.seen().empty());
        QCOMPARE(asked, present ? QStringList{hlp} : QStringList{});
        auto* help = w.findChild<HelpWindow*>(QStringLiteral("HelpWindow"));
        QCOMPARE(help != nullptr && help->isVisible(), !(present && viewer));
    }

    void thePlatformViewerIsOnlyAskedWhereOneExists() {
#ifndef Q_OS_WIN
        // No WinHelp viewer outside Windows: the built-in manual is shown instead.
        QVERIFY(!openInWinHelpViewer(QStringLiteral(KV_SOURCE_DIR "/README.md")));
#else
        QSKIP("decided by the shell's file types");
#endif
    }

    // --- the pictures ---
    void everyPictureIsOursAndDistinct() {
        const std::vector<QIcon> images = makeImageList();
        QCOMPARE(int(images.size()), kImageListSize);
        for (int i = 0; i < kImageListSize; ++i) {
            const QString path = imageListPath(i);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            for (int px : {16, 32}) {
                const QImage shown = render(images[std::size_t(i)], px);
                QCOMPARE(shown.size(), QSize(px, px));
                QVERIFY2(opaquePixels(shown) > px * px / 8, qPrintable(path));
                QCOMPARE(shown, renderSvg(path, px));
                for (int j = 0; j < i; ++j)
                    QVERIFY2(shown != render(images[std::size_t(j)], px), qPrintable(path));
            }
            // At 200 % the picture is drawn anew at twice the pixels, not scaled up.
            QImage sharp = render(images[std::size_t(i)], 16, 2.0);
            sharp.setDevicePixelRatio(1.0);
            QCOMPARE(sharp.size(), QSize(32, 32));
            QCOMPARE(sharp, renderSvg(path, 32));
        }
        const QImage app = render(applicationIcon(), 32);
        QVERIFY(opaquePixels(app) > 32 * 32 / 2);
        QCOMPARE(app, renderSvg(applicationIconPath(), 32));
    }

    // Each command carries the picture of its kind: blank page, opening folder, floppy disk, red
    // cross, book with a question mark, printer, page with a magnifying glass.
    void windowAndCommandsShowOurPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("picture");
        const std::pair<const char*, const char*> rows[] = {
            {"N2", "new"},           {"N3", "open"},           {"N15", "save"},
            {"N32", "stop"},         {"N34", "help"},          {"N19", "print"},
            {"N18", "preview"},      {"ToolButton1", "new"},   {"ToolButton2", "open"},
            {"ToolButton3", "save"}, {"ToolButton4", "print"}, {"ToolButton5", "preview"},
            {"ToolButton6", "stop"}, {"ToolButton7", "help"},
        };
        for (const auto& [name, picture] : rows)
            QTest::newRow(name) << QString::fromLatin1(name)
                                << QStringLiteral(":/icons/%1.svg").arg(QLatin1String(picture));
    }
    void windowAndCommandsShowOurPictures() {
        QFETCH(QString, name);
        QFETCH(QString, picture);
        AppFixture f;
        auto p = f.start();
        TForm1& w = *p->Form1;
        QCOMPARE(render(control(w, name.toLatin1().constData())->icon(), 16), renderSvg(picture, 16));
        QCOMPARE(render(w.windowIcon(), 32), renderSvg(applicationIconPath(), 32));
        QCOMPARE(render(p->Form4->windowIcon(), 32), renderSvg(applicationIconPath(), 32));
    }

    // --- the manual's pages ---
    void everyLinkOfTheManualResolves() {
        const QDir dir(manualDir);
        const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() >= 10);
        const QString qrc = readFile(dir.filePath(QStringLiteral("manual.qrc")));
        initProgramResources();
        int checked = 0;
        for (const QString& page : pages) {
            QVERIFY2(qrc.contains(QStringLiteral("<file>%1</file>").arg(page)),
                     qPrintable(page + " not built in"));
            QVERIFY2(QFile::exists(QStringLiteral(":/help/") + page), qPrintable(page));
            const QString html = readFile(dir.filePath(page));
            QVERIFY2(!HelpBook::titleOf(html).isEmpty(), qPrintable(page + " has no title"));
            const QStringList anchors = HelpBook::anchorsOf(html);
            QCOMPARE(QSet<QString>(anchors.begin(), anchors.end()).size(), anchors.size());
            for (const QString& link : HelpBook::linksOf(html)) {
                const QString file = link.section(QLatin1Char('#'), 0, 0);
                const QString anchor = link.section(QLatin1Char('#'), 1);
                QVERIFY2(!link.contains(QLatin1Char(':')), qPrintable(page + ": external link " + link));
                const QString target = file.isEmpty() ? page : file;
                QVERIFY2(pages.contains(target), qPrintable(page + ": no page " + link));
                if (!anchor.isEmpty())
                    QVERIFY2(HelpBook::anchorsOf(readFile(dir.filePath(target))).contains(anchor),
                             qPrintable(page + ": no anchor " + link));
                ++checked;
            }
            static const QRegularExpression image(QStringLiteral("<img[^>]*src=\"qrc(:[^\"]+)\""));
            for (auto it = image.globalMatch(html); it.hasNext();) {
                const QString res = it.next().captured(1);
                QVERIFY2(QFile::exists(res), qPrintable(page + ": no picture " + res));
            }
        }
        QVERIFY(checked > 50);
        // Every page is reached from the contents page.
        const HelpBook book = HelpBook::read(manualDir);
        QCOMPARE(book.pages().size(), pages.size() - 1);
    }

    // The messages a user meets most are each explained on the page of messages, word for word.
    void errorsPageExplainsTheMessages() {
        const QString errors = HelpBook::plainText(readFile(manualDir + QStringLiteral("/errors.html")));
        const QStringList messages = {
            downloadtext::lineLost(),
            QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"),
            QStringLiteral("Вы подключили не тот прибор !"),
            QStringLiteral("Неизвестная или новая версия прибора !"),
            QStringLiteral("База данных повреждена !"),
            QStringLiteral("Сохранить изменения в таблицах ?"),
            QStringLiteral("Настройки программы не удаётся записать"),
            QStringLiteral("Таблица не открыта."),
            QStringLiteral("Нет текущей записи для удаления."),
            QStringLiteral("Файл индексов «…» принадлежит другой программе и оставлен как был: таблица "
                           "отсортирована только на экране."),
            QStringLiteral("Файл индексов «…» принадлежит другой программе и оставлен как был."),
            QStringLiteral("Файл индексов «…» был повреждён и построен заново."),
            QStringLiteral("Файл индексов «…» был повреждён и удалён."),
            QStringLiteral("примечания изменить нельзя."),
            QStringLiteral("Рисунок сохраняется в файл PNG, SVG или PDF, а не «…»."),
            QStringLiteral("Не удалось начать печать."),
            QStringLiteral("Зоны вибрации строятся только для виброскорости СКЗ: --value V --rms."),
            QStringLiteral("Пороги есть только у записей режима 1 («Ждущий»)."),
            QStringLiteral("«…» не является файлом."),
            QStringLiteral("Отчёт записывается в файл .pdf, а не «…»."),
        };
        for (const QString& m : messages)
            QVERIFY2(errors.contains(m), qPrintable(m));

        // The append's notice about another program's index, as the program words it.
        image::ImportResult appended;
        appended.foreignIndexFile = QStringLiteral("…");
        const QString notice = image::foreignIndexMessage(appended);
        QVERIFY(!notice.isEmpty());
        QVERIFY2(errors.contains(notice), qPrintable(notice));
    }

    // The chart page names every quantity and every machine class the chart window offers, each
    // class in a row of its own with the limits the window draws.
    void chartPageMatchesTheClassesAndQuantities() {
        const QString html = readFile(manualDir + QStringLiteral("/chart.html"));
        const QString text = HelpBook::plainText(html);
        for (int mode = 0; mode < 3; ++mode)
            for (chart::Quantity q : chart::quantitiesFor(mode))
                QVERIFY2(text.contains(chart::quantityName(q)), qPrintable(chart::quantityName(q)));
        QVERIFY(!chart::severityClasses().empty());
        for (const chart::SeverityClass& c : chart::severityClasses()) {
            static const QRegularExpression cell(QStringLiteral("<td>([^<]*)</td>"));
            const QString start = QStringLiteral("<tr><td>%1</td>").arg(c.name);
            const qsizetype at = html.indexOf(start);
            QVERIFY2(at >= 0, qPrintable(c.name));
            const QString row = html.mid(at, html.indexOf(QStringLiteral("</tr>"), at) - at);
            QStringList cells;
            for (auto it = cell.globalMatch(row); it.hasNext();)
                cells << it.next().captured(1);
            QCOMPARE(cells.size(), 4);
            const double limits[3] = {c.limits.ab, c.limits.bc, c.limits.cd};
            for (int i = 0; i < 3; ++i) {
                bool ok = false;
                const double shown =
                    QString(cells[i + 1]).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
                QVERIFY2(ok, qPrintable(c.name + QLatin1Char(' ') + cells[i + 1]));
                QVERIFY2(qFuzzyCompare(shown, limits[i]),
                         qPrintable(c.name + QLatin1Char(' ') + cells[i + 1]));
            }
        }
    }

    // --- the book itself, on pages of the test's own ---
    void bookReadsContentsInOrderAndSearchesAllWords() {
        QTemporaryDir dir;
        writePage(
            dir.filePath(QStringLiteral("index.html")),
            QStringLiteral("<html><head><title>Начало</title></head><body><a href=\"a.html\">quick start</a>"
                           "<h2 id=\"contents\">C</h2><a href=\"b.html\">B</a> <a href=\"a.html#x\">A</a> <a "
                           "href=\"b.html\">B again</a>"
                           " <a href=\"missing.html\">gone</a> <a href=\"http://example.org\">web</a>"
                           "</body></html>"));
        writePage(dir.filePath(QStringLiteral("a.html")),
                  QStringLiteral("<html><head><title>Страница А</title></head><body><h1>Страница А</h1>"
                                 "<h2 id=\"x\">Порт</h2><p>Порт COM1 и порт COM2.</p>"
                                 "<h2 id=\"y\">Кабель</h2><p>Кабель прибора.</p></body></html>"));
        writePage(
            dir.filePath(QStringLiteral("b.html")),
            QStringLiteral("<html><head><title>Страница Б</title></head><body><p>Один порт, кабель &amp; "
                           "<b>прибор</b>.</p></body></html>"));
        const HelpBook book = HelpBook::read(dir.path());
        QCOMPARE(book.homeTitle(), QStringLiteral("Начало"));
        QCOMPARE(book.pages().size(), 2);
        QCOMPARE(book.pages()[0].title, QStringLiteral("Страница Б"));
        QCOMPARE(book.pages()[1].title, QStringLiteral("Страница А"));
        QCOMPARE(book.pages()[1].sections.size(), 2);
        QCOMPARE(book.pages()[1].sections[1].title, QStringLiteral("Кабель"));
        QCOMPARE(book.pages()[1].sections[1].url.fragment(), QStringLiteral("y"));

        // Every word must be on the page; case is ignored; more occurrences rank first.
        QList<HelpBook::Hit> hits = book.search(QStringLiteral("ПОРТ"));
        QCOMPARE(hits.size(), 2);
        QCOMPARE(hits[0].page, 1);
        QCOMPARE(hits[0].count, 3);
        hits = book.search(QStringLiteral("кабель прибор"));
        QCOMPARE(hits.size(), 2);
        hits = book.search(QStringLiteral("кабель COM2"));
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits[0].page, 1);
        QVERIFY(hits[0].excerpt.contains(QStringLiteral("Кабель")));
        // Markup is not text: entities read as their characters, tags do not match.
        QCOMPARE(book.search(QStringLiteral("&")).size(), 1);
        QVERIFY(book.search(QStringLiteral("<b>")).isEmpty());
        QVERIFY(book.search(QStringLiteral("   ")).isEmpty());
        // Short words do not narrow a query that has longer ones; the excerpt is not the title.
        QCOMPARE(book.search(QStringLiteral("и COM2")).size(), 1);
        QCOMPARE(book.search(QStringLiteral("и")).size(), 2);
        hits = book.search(QStringLiteral("страница порт"));
        QCOMPARE(hits.size(), 1);
        QVERIFY(hits[0].excerpt != QStringLiteral("Страница А"));
    }
};

QTEST_MAIN(TestAppHelp)
#include "test_app_help.moc"
