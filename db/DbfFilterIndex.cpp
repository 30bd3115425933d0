// The filter and the indexes of DbfTable.
#include "db/DbfTable.h"

#include "db/DbfTableImpl.h"

#include "core/Error.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
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

void DbfTable::setTextFilter(const QString& field, const QString& text) {
    if (d->filterOn)
        post();
    d->textFilterField = field;
    d->textFilterText = text;
    d->dirty = true;
}

QString DbfTable::textFilter() const {
    return d->textFilterText;
}

const IndexDef* DbfTable::Impl::tagDef() const {
    for (const IndexDef& def : indexes)
        if (def.name.compare(mdx::kTagName, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

bool DbfTable::Impl::ownsIndexFile() const {
    return open && access == Access::Exclusive && indexKind != mdx::Kind::Foreign && !indexNotAFile;
}

const std::vector<int>& DbfTable::Impl::currentTagOrder() {
    if (!tagOrderValid) {
        const IndexDef* def = tagDef();
        const int f = fieldNumber(def->field);
        tagOrder = mdx::tagOrder(data.data(), count, layout.recordLength, layout.offsets[size_t(f)],
                                 layout.fields[size_t(f)], def->descending);
        tagOrderValid = true;
    }
    return tagOrder;
}

void DbfTable::Impl::recordsChanged() {
    tagOrderValid = false;
    dirty = true;
    if (unkeptTag && ownsIndexFile()) {
        // A tag this table cannot bring up to date goes rather than mislead other programs.
        tagPending = true;
        if (!beside)
            writeTag();
        return;
    }
    if (!tagDef() || !ownsIndexFile())
        return;
    tagPending = true;
    // Inside a change written beside the table the file follows once the table is in place.
    if (!beside)
        writeTag();
}

void DbfTable::Impl::writeTag() {
    const IndexDef* def = tagDef();
    if (!def && unkeptTag && ownsIndexFile()) {
        removeTagFile();
        return;
    }
    if (!def || !ownsIndexFile())
        return;
    const int f = fieldNumber(def->field);
    mdx::TagSource source;
    source.tableName = codePage->encodeReplacing(QFileInfo(path).completeBaseName(), '_');
    source.field = layout.fields[size_t(f)];
    source.descending = def->descending;
    source.data = data.data();
    source.count = count;
    source.recordLength = layout.recordLength;
    source.fieldOffset = layout.offsets[size_t(f)];
    stampDate(source.date.data());
    const QByteArray bytes = mdx::build(source, currentTagOrder());
    fileio::Replacement file(indexPath);
    file.write(bytes);
    file.commit(false);
    if (indexKind == mdx::Kind::Damaged || indexNotice == IndexNotice::Removed)
        indexNotice = IndexNotice::Rebuilt;
    indexKind = mdx::Kind::Ours;
    unkeptTag = false;
    tagPending = false;
    if (indexFlag != 1)
        writeIndexFlag(1);
    writeFieldFlags(f);
}

void DbfTable::Impl::removeTagFile() {
    if (!ownsIndexFile())
        return;
    if (!fileio::removeFile(indexPath))
        throw KvError(QStringLiteral("Не удалось удалить файл индексов «%1»: %2.")
                          .arg(QFileInfo(indexPath).fileName(), fileio::writeReasonOf(indexPath, errno)));
    if (indexKind == mdx::Kind::Damaged)
        indexNotice = IndexNotice::Removed;
    indexKind = mdx::Kind::Missing;
    unkeptTag = false;
    tagPending = false;
    if (indexFlag != 0)
        writeIndexFlag(0);
    writeFieldFlags(-1);
}

void DbfTable::Impl::writeFieldFlags(int taggedField) {
    for (size_t i = 0; i < fieldFlags.size(); ++i) {
        const char flag = int(i) == taggedField ? 1 : 0;
        if (fieldFlags[i] == flag)
            continue;
        out().writeAt(kFixedSize + kDescriptorSize * qint64(i) + 31, &flag, 1);
        fieldFlags[i] = flag;
    }
}

namespace {
bool isTagName(const QString& name) {
    return name.trimmed().compare(mdx::kTagName, Qt::CaseInsensitive) == 0;
}
} // namespace

void DbfTable::addIndex(const QString& name, const QString& field, bool descending) {
    d->requireOpen();
    const QString tag = name.trimmed();
    if (tag.isEmpty())
        throw KvError(QStringLiteral("У индекса должно быть имя."));
    const int f = d->fieldNumber(field);
    const DbfField& key = d->layout.fields[size_t(f)];
    if (isTagName(tag) && key.type != 'N' && key.type != 'C')
        throw KvError(QStringLiteral("По полю «%1» индекс не строится.").arg(key.name));
    post();
    std::vector<IndexDef> defs = d->indexes;
    IndexDef def{tag, key.name, descending};
    auto same = std::find_if(defs.begin(), defs.end(), [&](const IndexDef& x) {
        return x.name.compare(tag, Qt::CaseInsensitive) == 0;
    });
    if (same != defs.end())
        *same = def;
    else
        defs.push_back(def);
    const std::vector<IndexDef> before = std::move(d->indexes);
    d->indexes = std::move(defs);
    d->dirty = true;
    if (!isTagName(tag))
        return; // other indexes live in memory only: the production file holds one tag
    d->tagOrderValid = false;
    // A read-only open or another program's index file: the order is kept in memory only.
    try {
        d->writeTag();
    } catch (...) {
        d->indexes = before;
        throw;
    }
}

void DbfTable::deleteIndex(const QString& name) {
    d->requireOpen();
    auto it = std::find_if(d->indexes.begin(), d->indexes.end(), [&](const IndexDef& x) {
        return x.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0;
    });
    if (it == d->indexes.end()) {
        // A file of ours whose tag was not read goes all the same: there is no other way out.
        if (isTagName(name) && d->ownsIndexFile() && (d->indexKind == mdx::Kind::Damaged || d->unkeptTag)) {
            post();
            d->removeTagFile();
            return;
        }
        throw KvError(QStringLiteral("В таблице нет индекса «%1».").arg(name));
    }
    post();
    if (isTagName(name))
        d->removeTagFile(); // the file held this one tag only, so it goes, and byte 28 with it
    d->indexes.erase(it);
    if (d->indexName.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
        d->indexName.clear();
    d->tagOrderValid = false;
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
    // A file of ours that is up to date is left as it is.
    if (d->tagDef() && (d->indexKind != mdx::Kind::Ours || d->tagPending)) {
        d->tagOrderValid = false;
        d->writeTag();
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
    d->tagOrderValid = false;
    d->dirty = true;
}

bool DbfTable::hasProductionIndex() const {
    return d->open && d->indexFlag != 0;
}

bool DbfTable::indexFileIsForeign() const {
    return d->open && d->indexKind == mdx::Kind::Foreign;
}

bool DbfTable::indexFileIsDamaged() const {
    return d->open && d->indexKind == mdx::Kind::Damaged;
}

QString DbfTable::takeIndexNotice() {
    const Impl::IndexNotice notice = d->indexNotice;
    d->indexNotice = Impl::IndexNotice::None;
    const QString file = QFileInfo(d->indexPath).fileName();
    switch (notice) {
    case Impl::IndexNotice::Removed:
        return QStringLiteral("Файл индексов «%1» был повреждён и удалён.").arg(file);
    case Impl::IndexNotice::Rebuilt:
        return QStringLiteral("Файл индексов «%1» был повреждён и построен заново.").arg(file);
    case Impl::IndexNotice::None:
        break;
    }
    return {};
}

QString DbfTable::indexFileName() const {
    return d->open ? QFileInfo(d->indexPath).fileName() : QString();
}
