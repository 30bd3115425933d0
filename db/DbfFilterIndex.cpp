// The filter and the indexes of DbfTable.
#include "db/DbfTable.h"

#include "db/DbfTableImpl.h"

#include "core/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <charconv>

using namespace dbf;

// The program only ever filters on "MODE=" and a number, so exactly that form is understood;
// anything else is refused instead of being half understood.
FilterTerm dbf::parseFilter(const QString& expression) {
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*([A-Za-z][A-Za-z0-9_]{0,9})\s*=\s*([+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+))\s*$)"));
    const QRegularExpressionMatch m = form.match(expression);
    if (!m.hasMatch())
        throw KvError(
            QStringLiteral("Фильтр «%1» не поддерживается: допустимо только условие вида ПОЛЕ=число.")
                .arg(expression));
    FilterTerm term;
    term.field = m.captured(1).toUpper();
    QByteArray number = m.captured(2).toLatin1();
    const char* b = number.constData();
    if (*b == '+')
        ++b;
    std::from_chars(b, number.constData() + number.size(), term.number);
    return term;
}

namespace {

// The filter must name a numeric field of the open table.
void checkFilterField(const DbfTable& table, const FilterTerm& term, const QString& expression) {
    const int f = table.fieldIndex(term.field);
    if (f < 0)
        throw KvError(QStringLiteral("В таблице нет поля «%1» для фильтра.").arg(term.field));
    if (table.fields()[size_t(f)].type != 'N')
        throw KvError(QStringLiteral("Поле «%1» не числовое, фильтр «%2» к нему неприменим.")
                          .arg(term.field, expression));
}

} // namespace

void DbfTable::setFilter(const QString& expression) {
    if (d->filterOn) {
        const FilterTerm term = parseFilter(expression);
        if (d->open)
            checkFilterField(*this, term, expression);
        post();
    }
    d->filterText = expression;
    d->dirty = true;
}

QString DbfTable::filter() const {
    return d->filterText;
}

void DbfTable::setFiltered(bool on) {
    if (on) {
        const FilterTerm term = parseFilter(d->filterText);
        if (d->open)
            checkFilterField(*this, term, d->filterText);
    }
    post();
    d->filterOn = on;
    d->dirty = true;
}

bool DbfTable::filtered() const {
    return d->filterOn;
}

void DbfTable::addIndex(const QString& name, const QString& field, bool descending) {
    d->requireOpen();
    const QString tag = name.trimmed();
    if (tag.isEmpty())
        throw KvError(QStringLiteral("У индекса должно быть имя."));
    const int f = d->fieldNumber(field);
    post();
    std::vector<IndexDef> defs = d->indexes;
    IndexDef def{tag, d->layout.fields[size_t(f)].name, descending};
    auto same = std::find_if(defs.begin(), defs.end(), [&](const IndexDef& x) {
        return x.name.compare(tag, Qt::CaseInsensitive) == 0;
    });
    if (same != defs.end())
        *same = def;
    else
        defs.push_back(def);
    // A read-only open keeps its indexes in memory and writes nothing.
    if (d->access == Access::Exclusive) {
        writeIndexFile(indexFilePath(d->path), d->layout, defs);
        if (d->indexFlag != 1)
            d->writeIndexFlag(1);
    }
    d->indexes = std::move(defs);
    d->dirty = true;
}

void DbfTable::deleteIndex(const QString& name) {
    d->requireOpen();
    auto it = std::find_if(d->indexes.begin(), d->indexes.end(), [&](const IndexDef& x) {
        return x.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0;
    });
    if (it == d->indexes.end())
        throw KvError(QStringLiteral("В таблице нет индекса «%1».").arg(name));
    post();
    std::vector<IndexDef> defs = d->indexes;
    defs.erase(defs.begin() + (it - d->indexes.begin()));
    if (d->access == Access::Exclusive) {
        const QString file = indexFilePath(d->path);
        if (defs.empty()) {
            // An index file without indexes is removed, and the header says so.
            if (QFile::exists(file) && !QFile::remove(file))
                throw KvError(
                    QStringLiteral("Не удалось удалить файл индексов «%1».").arg(QFileInfo(file).fileName()));
            d->writeIndexFlag(0);
        } else {
            writeIndexFile(file, d->layout, defs);
        }
    }
    d->indexes = std::move(defs);
    if (d->indexName.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
        d->indexName.clear();
    d->dirty = true;
}

void DbfTable::selectIndex(const QString& name) {
    const QString tag = name.trimmed();
    if (!tag.isEmpty() && d->open) {
        bool known = std::any_of(d->indexes.begin(), d->indexes.end(), [&](const IndexDef& x) {
            return x.name.compare(tag, Qt::CaseInsensitive) == 0;
        });
        if (!known)
            throw KvError(QStringLiteral("В таблице нет индекса «%1».").arg(name));
    }
    if (d->open)
        post();
    d->indexName = tag;
    d->dirty = true;
}

QString DbfTable::currentIndex() const {
    if (!d->open)
        return d->indexName;
    const IndexDef* def = d->selectedIndex();
    return def ? def->name : QString();
}

std::vector<QString> DbfTable::indexNames() const {
    std::vector<QString> names;
    for (const IndexDef& def : d->indexes)
        names.push_back(def.name);
    return names;
}

void DbfTable::regenerateIndexes() {
    d->requireOpen();
    post();
    if (d->access == Access::Exclusive && !d->indexes.empty()) {
        writeIndexFile(indexFilePath(d->path), d->layout, d->indexes);
        if (d->indexFlag != 1)
            d->writeIndexFlag(1);
    }
    d->dirty = true;
}

void DbfTable::closeIndexFile(const QString& fileName) {
    if (!d->open)
        return;
    const QString ours = QFileInfo(indexFilePath(d->path)).fileName();
    if (QFileInfo(fileName).fileName().compare(ours, Qt::CaseInsensitive) != 0)
        return;
    d->indexes.clear();
    d->dirty = true;
}

bool DbfTable::hasProductionIndex() const {
    return d->open && d->indexFlag != 0;
}
