#include "grid/ColumnLayoutNames.h"
#include "grid/ColumnLayoutText.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <unordered_set>

using namespace ColumnLayoutNames;

// The reader takes stored texts as untrusted: it works line by line, every value is checked
// before it is used, and whatever does not parse is skipped.
namespace {

constexpr qsizetype kMaxText = 4 * 1024 * 1024;
constexpr size_t kMaxItems = 4096;
constexpr int kMaxWidth = 10000;
constexpr qsizetype kMaxJoined = 16 * 1024;

std::optional<int> parseInt(QStringView text, int lo, int hi) {
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty())
        return std::nullopt;
    long long v = 0;
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (*first == '+')
        ++first;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || v < lo || v > hi)
        return std::nullopt;
    return static_cast<int>(v);
}

// "[a, b]" -> {"a", "b"}; nullopt when the brackets are missing.
std::optional<QStringList> parseSet(QStringView text) {
    text = text.trimmed();
    if (text.size() < 2 || text.front() != u'[' || text.back() != u']')
        return std::nullopt;
    QStringList out;
    for (const auto part : text.mid(1, text.size() - 2).split(u',')) {
        const auto name = part.trimmed();
        if (!name.isEmpty())
            out << name.toString();
    }
    return out;
}

bool isIdentChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_' ||
           u == u'.';
}

// Splits "Name = Value"; false when the line is no property assignment.
bool splitProperty(QStringView line, QStringView& name, QStringView& value) {
    qsizetype i = 0;
    while (i < line.size() && isIdentChar(line[i]))
        ++i;
    if (i == 0)
        return false;
    name = line.left(i);
    QStringView rest = line.mid(i).trimmed();
    if (rest.isEmpty() || rest.front() != u'=')
        return false;
    value = rest.mid(1).trimmed();
    return true;
}

struct ItemFont {
    bool any = false;
    QFont font;
};

void readProperty(QStringView name, QStringView value, ColumnLayoutText::StoredColumn& item, ItemFont& font) {
    auto is = [&](const char* n) { return name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; };
    if (is("FieldName")) {
        if (auto s = unquote(value); s && !s->trimmed().isEmpty() && s->size() <= 256)
            item.fieldName = *s;
    } else if (is("Width")) {
        if (auto w = parseInt(value, 0, kMaxWidth))
            item.width = *w;
    } else if (is("Alignment")) {
        if (auto a = alignmentFromName(value))
            item.alignment = *a;
    } else if (is("Color")) {
        if (auto c = colorFromText(value))
            item.color = *c;
    } else if (is("SortState")) {
        if (auto s = sortStateFromName(value))
            item.sortState = *s;
    } else if (is("VisualOptions")) {
        if (auto set = parseSet(value)) {
            ColumnVisualOptions options;
            for (const QString& n : *set)
                for (const auto& o : kVisualOptions)
                    if (n.compare(QLatin1String(o.name), Qt::CaseInsensitive) == 0)
                        options |= o.option;
            item.visualOptions = options;
        }
    } else if (is("Font.Name")) {
        if (auto s = unquote(value); s && !s->trimmed().isEmpty() && s->size() <= 128) {
            font.font.setFamily(*s);
            font.any = true;
        }
    } else if (is("Font.Height")) {
        if (auto h = parseInt(value, -500, 500); h && *h != 0) {
            font.font.setPixelSize(*h < 0 ? -*h : *h);
            font.any = true;
        }
    } else if (is("Font.Size")) {
        if (auto pt = parseInt(value, 1, 400)) {
            font.font.setPointSize(*pt);
            font.any = true;
        }
    } else if (is("Font.Style")) {
        if (auto set = parseSet(value)) {
            int bits = 0;
            for (const QString& n : *set)
                for (const auto& s : kFontStyles)
                    if (n.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
                        bits |= s.bit;
            font.font.setBold(bits & fsBold);
            font.font.setItalic(bits & fsItalic);
            font.font.setUnderline(bits & fsUnderline);
            font.font.setStrikeOut(bits & fsStrikeOut);
            font.any = true;
        }
    } else if (is("Font.Color")) {
        if (auto c = colorFromText(value))
            item.fontColor = *c;
    }
    // Font.Charset is read over: Qt chooses glyphs by character, not by character set.
}

// Physical lines, with a value continued by "+" at the end of a line joined to the next one.
QStringList logicalLines(QStringView text) {
    QStringList out;
    QString pending;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && text[i] != u'\r' && text[i] != u'\n')
            continue;
        const QString line = text.mid(start, i - start).trimmed().toString();
        start = i + 1;
        if (line.isEmpty())
            continue;
        if (!pending.isEmpty()) {
            const bool continues = line.front() == u'\'' || line.front() == u'#';
            if (continues && pending.size() + line.size() <= kMaxJoined) {
                pending += line;
                if (!pending.endsWith(u'+')) {
                    out << pending;
                    pending.clear();
                }
                continue;
            }
            out << pending;
            pending.clear();
        }
        if (line.endsWith(u'+') && line.contains(u'='))
            pending = line;
        else
            out << line;
    }
    if (!pending.isEmpty())
        out << pending;
    return out;
}

bool isWord(const QString& line, const char* word) {
    return line.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

} // namespace

namespace ColumnLayoutText {

std::vector<StoredColumn> read(const QString& input) {
    std::vector<StoredColumn> items;
    const QStringView text = QStringView(input).left(kMaxText);

    enum class State { Outside, Collection, Item };
    State state = State::Outside;
    StoredColumn item;
    ItemFont font;

    auto begin = [&] {
        item = StoredColumn();
        font = ItemFont();
        state = State::Item;
    };
    auto finish = [&] {
        if (font.any)
            item.font = font.font;
        if (!item.fieldName.isEmpty() && items.size() < kMaxItems)
            items.push_back(item);
    };

    for (const QString& line : logicalLines(text)) {
        if (items.size() >= kMaxItems)
            break;
        QString word = line;
        bool closesCollection = false;
        if (word.endsWith(u'>') && word.size() > 1 && !word.contains(u'=')) {
            word.chop(1);
            word = word.trimmed();
            closesCollection = true;
        }
        if (state == State::Item) {
            if (isWord(word, "end")) {
                finish();
                state = closesCollection ? State::Outside : State::Collection;
            } else if (isWord(word, "item")) {
                // The previous item lost its "end": it is incomplete and dropped.
                begin();
            } else if (line == u">") {
                state = State::Outside; // collection closed inside an item: the item is dropped
            } else {
                QStringView name, value;
                if (splitProperty(line, name, value))
                    readProperty(name, value, item, font);
            }
            continue;
        }
        if (isWord(line, "item")) {
            begin();
            continue;
        }
        if (line == u">") {
            state = State::Outside;
            continue;
        }
        QStringView name, value;
        if (splitProperty(line, name, value) && name.compare(u"Data", Qt::CaseInsensitive) == 0)
            state = value == u"<" ? State::Collection : State::Outside;
        // "object ...", "end" of the object and anything else outside an item carry nothing.
    }
    // An item cut off before its "end" is not trusted: its last value may be cut too.
    return items;
}

int apply(const std::vector<StoredColumn>& stored, std::vector<GridColumn>& columns) {
    std::vector<int> matched; // column indexes in item order
    std::unordered_set<int> seen;
    for (const StoredColumn& s : stored) {
        int index = -1;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].fieldName.compare(s.fieldName, Qt::CaseInsensitive) == 0) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index < 0 || !seen.insert(index).second)
            continue;
        GridColumn& c = columns[index];
        if (s.width)
            c.width = *s.width;
        if (s.sortState)
            c.sortState = *s.sortState;
        if (s.visualOptions)
            c.visualOptions = *s.visualOptions;
        if (s.color)
            c.color = *s.color;
        if (s.alignment)
            c.alignment = *s.alignment;
        if (s.font)
            c.font = *s.font;
        if (s.fontColor)
            c.fontColor = *s.fontColor;
        matched.push_back(index);
    }
    std::vector<int> places(matched);
    std::sort(places.begin(), places.end());
    const std::vector<GridColumn> before(columns);
    for (size_t k = 0; k < places.size(); ++k)
        columns[places[k]] = before[matched[k]];
    return static_cast<int>(matched.size());
}

} // namespace ColumnLayoutText
