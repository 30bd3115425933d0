#include "ui/HelpBook.h"

#include "ui/ImageList.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocument>

#include <algorithm>

namespace {

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// A title or heading as one line of text: tags gone, entities read.
QString stripTags(const QString& html) {
    return HelpBook::plainText(html).simplified();
}

} // namespace

HelpBook HelpBook::builtIn() {
    initProgramResources();
    return read(QStringLiteral(":/help"));
}

QString HelpBook::titleOf(const QString& html) {
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = title.match(html);
    return m.hasMatch() ? stripTags(m.captured(1)) : QString();
}

QList<HelpBook::Section> HelpBook::headingsOf(const QString& html, const QUrl& page) {
    static const QRegularExpression heading(QStringLiteral("<h2 id=\"([^\"]+)\"[^>]*>(.*?)</h2>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QList<Section> sections;
    for (auto it = heading.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QUrl url = page;
        url.setFragment(m.captured(1));
        sections.append({stripTags(m.captured(2)), url});
    }
    return sections;
}

QStringList HelpBook::linksOf(const QString& html) {
    static const QRegularExpression href(QStringLiteral("<a\\s[^>]*href=\"([^\"]*)\""));
    QStringList links;
    for (auto it = href.globalMatch(html); it.hasNext();)
        links.append(it.next().captured(1));
    return links;
}

QStringList HelpBook::anchorsOf(const QString& html) {
    static const QRegularExpression id(QStringLiteral("\\s(?:id|name)=\"([^\"]+)\""));
    QStringList anchors;
    for (auto it = id.globalMatch(html); it.hasNext();)
        anchors.append(it.next().captured(1));
    return anchors;
}

QString HelpBook::plainText(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

HelpBook HelpBook::read(const QString& folder, const QString& indexFile) {
    HelpBook book;
    const QDir dir(folder);
    const auto urlOf = [&](const QString& name) {
        return folder.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + dir.filePath(name))
                                                   : QUrl::fromLocalFile(dir.filePath(name));
    };
    const QString index = readText(dir.filePath(indexFile));
    book.m_home = urlOf(indexFile);
    book.m_homeTitle = titleOf(index);

    // The pages are those the contents part of the index links to, in its order; links in the text
    // above it (a quick start) do not reorder them.
    const qsizetype contents = index.indexOf(QStringLiteral("id=\"contents\""));
    QSet<QString> seen;
    for (const QString& link : linksOf(contents < 0 ? index : index.mid(contents))) {
        const QString name = link.section(QLatin1Char('#'), 0, 0);
        if (name.isEmpty() || name.contains(QLatin1Char(':')) || name == indexFile || seen.contains(name))
            continue;
        seen.insert(name);
        const QString html = readText(dir.filePath(name));
        if (html.isEmpty())
            continue;
        Page page;
        page.url = urlOf(name);
        page.title = titleOf(html);
        page.sections = headingsOf(html, page.url);
        page.text = plainText(html);
        book.m_pages.append(page);
    }
    return book;
}

QStringList HelpBook::searchWords(const QString& query) {
    const QStringList all = query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList longer;
    for (const QString& w : all)
        if (w.size() > 2)
            longer << w;
    return longer.isEmpty() ? all : longer;
}

QList<HelpBook::Hit> HelpBook::search(const QString& query) const {
    const QStringList words = searchWords(query);
    QList<Hit> hits;
    if (words.isEmpty())
        return hits;
    for (int i = 0; i < m_pages.size(); ++i) {
        const Page& page = m_pages[i];
        const QString& text = page.text;
        Hit hit;
        hit.page = i;
        bool all = true;
        for (const QString& w : words) {
            const int n = int(text.count(w, Qt::CaseInsensitive));
            if (n == 0) {
                all = false;
                break;
            }
            hit.count += n;
        }
        if (!all)
            continue;
        // The first line with the word that says more than the page's title.
        for (qsizetype at = text.indexOf(words.first(), 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(words.first(), at + 1, Qt::CaseInsensitive)) {
            const qsizetype from = text.lastIndexOf(QLatin1Char('\n'), at) + 1;
            qsizetype to = text.indexOf(QLatin1Char('\n'), at);
            if (to < 0)
                to = text.size();
            QString line = text.mid(from, to - from).simplified();
            if (line == page.title || line.isEmpty())
                continue;
            if (line.size() > 160) {
                const qsizetype start = std::max<qsizetype>(0, at - from - 60);
                line = (start > 0 ? QStringLiteral("…") : QString()) + line.mid(start, 150) +
                       QStringLiteral("…");
            }
            hit.excerpt = line;
            break;
        }
        hits.append(hit);
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.count > b.count; });
    return hits;
}
