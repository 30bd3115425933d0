// Navigation, field values and editing of DbfTable.
#include "db/DbfTable.h"

#include "db/DbfTableImpl.h"

#include "core/Error.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

using namespace dbf;

const dbf::IndexDef* DbfTable::Impl::selectedIndex() const {
    if (indexName.isEmpty())
        return nullptr;
    for (const IndexDef& def : indexes)
        if (def.name.compare(indexName, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

void DbfTable::Impl::rebuild() {
    visible.clear();
    visible.reserve(size_t(count));
    const int length = layout.recordLength;
    const char* base = data.data();
    int filterField = -1;
    double filterNumber = 0;
    bool nothing = false;
    if (filterOn) {
        FilterTerm term = parseFilter(filterText);
        for (size_t i = 0; i < layout.fields.size(); ++i)
            if (layout.fields[i].name.compare(term.field, Qt::CaseInsensitive) == 0 &&
                layout.fields[i].type == 'N')
                filterField = int(i);
        filterNumber = term.number;
        // A filter on a field this table lacks lets nothing through.
        nothing = filterField < 0;
    }
    int textField = -1;
    if (filterOn && !textFilterText.isEmpty()) {
        for (size_t i = 0; i < layout.fields.size(); ++i)
            if (layout.fields[i].name.compare(textFilterField, Qt::CaseInsensitive) == 0 &&
                layout.fields[i].type == 'C')
                textField = int(i);
        nothing = nothing || textField < 0;
    }
    if (!nothing) {
        const int offset = filterField >= 0 ? layout.offsets[size_t(filterField)] : 0;
        const int width = filterField >= 0 ? layout.fields[size_t(filterField)].length : 0;
        const auto passes = [&](int r) {
            const char* rec = base + qint64(r) * length;
            if (rec[0] == kDeletedMark)
                return false;
            double v;
            if (filterField >= 0 && !(numericValue(rec + offset, width, v) && v == filterNumber))
                return false;
            return textField < 0 ||
                   fieldValue(rec, textField).toString().contains(textFilterText, Qt::CaseInsensitive);
        };
        const IndexDef* def = selectedIndex();
        if (def && def == tagDef()) {
            // The order of the tag, which the index file holds.
            for (int r : currentTagOrder())
                if (passes(r))
                    visible.push_back(r);
        } else {
            for (int r = 0; r < count; ++r)
                if (passes(r))
                    visible.push_back(r);
            if (def) {
                const int f = fieldNumber(def->field);
                mdx::sortRecords(visible, base, length, layout.offsets[size_t(f)], layout.fields[size_t(f)],
                                 def->descending);
            }
        }
    }
    dirty = false;
}

const std::vector<int>& DbfTable::Impl::visibleList() {
    if (dirty && open) {
        rebuild();
        relocate = true;
    }
    return visible;
}

void DbfTable::Impl::ensure() {
    visibleList();
    if (!relocate || !open)
        return;
    relocate = false;
    const int n = int(visible.size());
    if (cur >= 0) {
        auto it = std::find(visible.begin(), visible.end(), cur);
        if (it != visible.end()) {
            pos = int(it - visible.begin());
            return;
        }
        pos = 0; // the record left the view: start at the top
    } else {
        pos = pos < 0 ? -1 : n;
    }
    cur = pos >= 0 && pos < n ? visible[size_t(pos)] : -1;
}

void DbfTable::Impl::setPos(int p) {
    const int n = int(visible.size());
    pos = std::clamp(p, -1, n);
    cur = pos >= 0 && pos < n ? visible[size_t(pos)] : -1;
}

void DbfTable::first() {
    d->requireOpen();
    post();
    d->ensure();
    d->setPos(0);
}

void DbfTable::last() {
    d->requireOpen();
    post();
    d->ensure();
    d->setPos(std::max(0, int(d->visible.size()) - 1));
}

void DbfTable::next() {
    d->requireOpen();
    post();
    d->ensure();
    if (d->pos < int(d->visible.size()))
        d->setPos(d->pos + 1);
}

void DbfTable::prior() {
    d->requireOpen();
    post();
    d->ensure();
    if (d->pos >= 0)
        d->setPos(d->pos - 1);
}

bool DbfTable::eof() const {
    if (!d->open)
        return true;
    d->ensure();
    return d->visible.empty() || d->pos >= int(d->visible.size());
}

bool DbfTable::bof() const {
    if (!d->open)
        return true;
    d->ensure();
    return d->visible.empty() || d->pos < 0;
}

int DbfTable::recordCount() const {
    if (!d->open)
        return 0;
    return int(d->visibleList().size());
}

int DbfTable::physicalCount() const {
    return d->open ? d->count : 0;
}

int DbfTable::position() const {
    if (!d->open)
        return -1;
    d->ensure();
    return d->cur >= 0 ? d->pos : -1;
}

void DbfTable::moveTo(int position) {
    d->requireOpen();
    post();
    d->ensure();
    d->setPos(std::clamp(position, 0, std::max(0, int(d->visible.size()) - 1)));
}

int DbfTable::recNo() const {
    if (!d->open || d->state == State::Append)
        return 0;
    d->ensure();
    return d->cur + 1;
}

bool DbfTable::goToRecNo(int recNo) {
    d->requireOpen();
    post();
    d->ensure();
    auto it = std::find(d->visible.begin(), d->visible.end(), recNo - 1);
    if (it == d->visible.end())
        return false;
    d->setPos(int(it - d->visible.begin()));
    return true;
}

QVariant DbfTable::value(const QString& field) const {
    return value(d->fieldNumber(field));
}

bool DbfTable::isNull(const QString& field) const {
    return value(field).isNull();
}

QVariant DbfTable::value(int field) const {
    d->requireOpen();
    if (d->state == State::Browse)
        d->ensure();
    return d->fieldValue(d->currentRecord(), field);
}

const char* DbfTable::Impl::readRecord(int r) const {
    return state == State::Edit && r == editRecord ? buffer.data() : record(r);
}

QVariant DbfTable::recordValue(int recNo, int field) const {
    d->requireOpen();
    const bool inRange = recNo >= 1 && recNo <= d->count;
    return d->fieldValue(inRange ? d->readRecord(recNo - 1) : nullptr, field);
}

bool DbfTable::recordDeleted(int recNo) const {
    d->requireOpen();
    return recNo >= 1 && recNo <= d->count && d->readRecord(recNo - 1)[0] == kDeletedMark;
}

int DbfTable::recNoAt(int position) const {
    d->requireOpen();
    const std::vector<int>& rows = d->visibleList();
    return position >= 0 && position < int(rows.size()) ? rows[size_t(position)] + 1 : 0;
}

QVariant DbfTable::valueAt(int position, int field) const {
    return recordValue(recNoAt(position), field);
}

QVariant DbfTable::Impl::fieldValue(const char* rec, int field) const {
    if (field < 0 || field >= int(layout.fields.size()))
        throw KvError(QStringLiteral("В таблице нет поля номер %1.").arg(field));
    if (!rec)
        return {};
    const DbfField& f = layout.fields[size_t(field)];
    const char* p = rec + layout.offsets[size_t(field)];
    if (f.type == 'C') {
        int n = f.length;
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        if (n == 0)
            return {};
        return codePage->decode(p, n);
    }
    Number v = parseNumber(p, f.length);
    switch (v.kind) {
    case Number::Integer:
        return f.decimals == 0 ? QVariant(qint64(v.integer)) : QVariant(double(v.integer));
    case Number::Real:
        return v.real;
    default:
        return {}; // blanks, or text no number can be read from
    }
}

namespace {

QString shown(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

[[noreturn]] void refuseNumber(const DbfField& f, const QString& value, Fit fit) {
    switch (fit) {
    case Fit::NotInteger:
        throw KvError(QStringLiteral("Поле %1 принимает только целые числа, а не %2.").arg(f.name, value));
    case Fit::NotFinite:
        throw KvError(QStringLiteral("В поле %1 нельзя записать %2.").arg(f.name, value));
    default:
        throw KvError(
            QStringLiteral("Значение %2 не помещается в поле %1 (%3 знаков, из них %4 после точки).")
                .arg(f.name, value)
                .arg(f.length)
                .arg(f.decimals));
    }
}

void encodeNumber(const DbfField& f, const QVariant& value, char* out) {
    bool integer = false;
    qint64 i = 0;
    double r = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        integer = true;
        i = value.toLongLong();
        break;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max())) {
            integer = true;
            i = qint64(value.toULongLong());
        } else {
            r = value.toDouble();
        }
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        r = value.toDouble();
        break;
    case QMetaType::QString: {
        const QByteArray text = value.toString().toLatin1();
        Number n = parseNumber(text.constData(), int(text.size()));
        if (n.kind == Number::None) {
            std::memset(out, ' ', size_t(f.length));
            return;
        }
        if (n.kind == Number::Bad)
            throw KvError(QStringLiteral("В поле %1 нужно число, а не «%2».").arg(f.name, value.toString()));
        integer = n.kind == Number::Integer;
        i = n.integer;
        r = n.real;
        break;
    }
    default:
        throw KvError(QStringLiteral("В поле %1 нужно число.").arg(f.name));
    }
    Fit fit = Fit::Ok;
    if (integer)
        fit = f.decimals == 0 ? formatInteger(i, f.length, out)
                              : formatReal(double(i), f.length, f.decimals, out);
    else
        fit = formatReal(r, f.length, f.decimals, out);
    if (fit != Fit::Ok)
        refuseNumber(f, integer ? QString::number(i) : shown(r), fit);
}

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

void DbfTable::setValue(const QString& field, const QVariant& value) {
    setValue(d->fieldNumber(field), value);
}

void DbfTable::setValue(int field, const QVariant& value) {
    d->requireWritable();
    if (field < 0 || field >= int(d->layout.fields.size()))
        throw KvError(QStringLiteral("В таблице нет поля номер %1.").arg(field));
    if (d->state == State::Browse)
        edit();
    const DbfField& f = d->layout.fields[size_t(field)];
    char* out = d->buffer.data() + d->layout.offsets[size_t(field)];
    // Encode into a scratch copy first: a refused value leaves the field as it was.
    std::vector<char> cell(size_t(f.length), ' ');
    if (f.type == 'N') {
        if (!value.isNull())
            encodeNumber(f, value, cell.data());
    } else if (!value.isNull()) {
        const QString text = value.toString();
        // In a code page this program does not know only a new record's ASCII text is safe to write.
        if (d->textReadOnly && (d->state != State::Append || !isAscii(text)))
            throw KvError(QStringLiteral("Кодовая страница таблицы «%1» неизвестна: текст поля %2 изменить "
                                         "нельзя.")
                              .arg(d->fileName(), f.name));
        std::optional<QByteArray> bytes = d->codePage->encode(text);
        if (!bytes)
            throw KvError(
                QStringLiteral("Текст «%1» для поля %2 содержит символы, которых нет в кодировке таблицы.")
                    .arg(text, f.name));
        if (bytes->size() > f.length)
            throw KvError(QStringLiteral("Текст «%1» не помещается в поле %2 (не более %3 знаков).")
                              .arg(text, f.name)
                              .arg(f.length));
        std::memcpy(cell.data(), bytes->constData(), size_t(bytes->size()));
    }
    std::memcpy(out, cell.data(), cell.size());
}

void DbfTable::append() {
    d->requireWritable();
    requireWholeRecords();
    post();
    d->buffer.assign(size_t(d->layout.recordLength), ' ');
    d->state = State::Append;
}

void DbfTable::edit() {
    d->requireWritable();
    if (d->state != State::Browse)
        return;
    d->ensure();
    if (d->cur < 0)
        throw KvError(QStringLiteral("Нет текущей записи для правки."));
    const char* rec = d->record(d->cur);
    d->buffer.assign(rec, rec + d->layout.recordLength);
    d->editRecord = d->cur;
    d->state = State::Edit;
}

void DbfTable::Impl::postPending() {
    if (!open)
        return;
    const int length = layout.recordLength;
    if (state == State::Edit) {
        out().writeAt(recordOffset(editRecord), buffer.data(), length);
        char* rec = data.data() + qint64(editRecord) * length;
        bool keyChanged = false;
        if (const IndexDef* def = tagDef()) {
            const int f = fieldNumber(def->field);
            const int at = layout.offsets[size_t(f)];
            keyChanged =
                std::memcmp(rec + at, buffer.data() + at, size_t(layout.fields[size_t(f)].length)) != 0;
        }
        std::memcpy(rec, buffer.data(), size_t(length));
        state = State::Browse;
        cur = editRecord;
        dirty = true; // the key or the filter field may have changed
        buffer.clear();
        if (keyChanged)
            recordsChanged();
        return;
    } else if (state == State::Append) {
        // The record and the end mark first, then the count: a crash in between leaves a whole
        // record beyond the count, which opening counts in again.
        const int r = count;
        std::vector<char> bytes(buffer);
        bytes.push_back(kEndOfFile);
        out().writeAt(recordOffset(r), bytes.data(), qint64(bytes.size()));
        if (data.capacity() < data.size() + size_t(length))
            data.reserve(std::max(data.size() * 3 / 2, data.size() + size_t(length) * 64));
        data.insert(data.end(), buffer.begin(), buffer.end());
        ++count;
        state = State::Browse;
        cur = r;
        dirty = true;
        writeCount();
        buffer.clear();
        recordsChanged();
        return;
    }
    buffer.clear();
}

void DbfTable::post() {
    d->postPending();
}

void DbfTable::cancel() {
    if (d->state == State::Edit || d->state == State::Append)
        d->state = State::Browse;
    d->buffer.clear();
}

void DbfTable::deleteRecord() {
    d->requireWritable();
    // Deleting a record not yet posted only drops it.
    if (d->state == State::Append) {
        cancel();
        return;
    }
    cancel();
    d->ensure();
    if (d->cur < 0)
        throw KvError(QStringLiteral("Нет текущей записи для удаления."));
    const char mark = kDeletedMark;
    d->out().writeAt(d->recordOffset(d->cur), &mark, 1);
    d->data[size_t(qint64(d->cur) * d->layout.recordLength)] = kDeletedMark;
    // The next visible record becomes current; after the last one, the one before it.
    const int n = int(d->visible.size());
    if (d->pos + 1 < n)
        d->cur = d->visible[size_t(d->pos + 1)];
    else if (d->pos - 1 >= 0)
        d->cur = d->visible[size_t(d->pos - 1)];
    else
        d->cur = -1;
    d->pos = 0;
    d->dirty = true;
}

bool DbfTable::isDeleted() const {
    const char* rec = d->open ? d->currentRecord() : nullptr;
    return rec && rec[0] == kDeletedMark;
}
