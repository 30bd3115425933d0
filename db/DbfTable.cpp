#include "db/DbfTable.h"

#include "db/DbfTableImpl.h"

#include "core/Error.h"
#include "db/DbLog.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace dbf;
using fileio::File;
using fileio::Replacement;

const char* DbfTable::Impl::currentRecord() const {
    if (state == State::Edit || state == State::Append)
        return buffer.data();
    return cur >= 0 ? record(cur) : nullptr;
}

QString DbfTable::Impl::fileName() const {
    return QFileInfo(path).fileName();
}

void DbfTable::Impl::requireOpen() const {
    if (!open)
        throw KvError(QStringLiteral("Таблица не открыта."));
}

void DbfTable::Impl::requireWritable() const {
    requireOpen();
    if (access == Access::ReadOnly)
        throw KvError(QStringLiteral("Таблица «%1» открыта только для чтения.").arg(fileName()));
}

int DbfTable::Impl::fieldNumber(const QString& name) const {
    for (size_t i = 0; i < layout.fields.size(); ++i)
        if (layout.fields[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return int(i);
    throw KvError(QStringLiteral("В таблице нет поля «%1».").arg(name));
}

namespace {

QString unknownCodePageNotice(const QString& name, std::uint8_t driver) {
    return QStringLiteral("Кодовая страница таблицы «%1» неизвестна (байт 29 = 0x%2): текст прочитан в "
                          "кодировке Windows-1251, примечания изменить нельзя.")
        .arg(name, hexByte(driver));
}

QString shortNotice(const QString& name, std::uint32_t claimed, int whole, int partial, int recordLength) {
    QString text = QStringLiteral("В таблице «%1» записей меньше, чем указано в её заголовке: целых записей "
                                  "%2 из %3.")
                       .arg(name)
                       .arg(whole)
                       .arg(claimed);
    if (partial > 0)
        text += QStringLiteral(" Последняя запись оборвана (%1 байт из %2).").arg(partial).arg(recordLength);
    return text + QStringLiteral(" Дополнить таблицу можно после того, как она сохранена («Сохранить», "
                                 "в командной строке --repair).");
}

} // namespace

QString dbf::damagedIndexNotice(const QString& indexFile) {
    return QStringLiteral("Файл индексов «%1» повреждён: порядок сортировки из него не прочитан. Следующая "
                          "сортировка построит его заново, «Убрать сортировку» удалит его.")
        .arg(indexFile);
}

void DbfTable::Impl::load(const File& f, const QString& tablePath, Access how) {
    const QString name = QFileInfo(tablePath).fileName();
    const qint64 size = f.size();
    QByteArray head(std::min<qint64>(size, kFixedSize), '\0');
    f.readAt(0, head.data(), head.size());
    const int headerLength = claimedHeaderLength(head, size, name);
    head.resize(headerLength);
    f.readAt(0, head.data(), headerLength);
    Header h = parseHeader(head, name);
    std::optional<CodePage> page = CodePage::forDriver(h.driver);
    QStringList found; // what the open has to tell
    const bool unknownCodePage = !page;
    if (unknownCodePage) {
        // Read rather than refused: the digits and the dates are ASCII in every code page; only
        // the notes may show wrong letters, and so they are never written back.
        page = CodePage::windows1251();
        found << unknownCodePageNotice(name, h.driver);
    }

    // The records the file holds. A whole block after the counted records that starts with a
    // deletion mark is a record whose count was never written (an append interrupted between the
    // record and the header) and is counted in; zero bytes, the end mark or a partial block after
    // them are padding. A file shorter than its count opens with its whole records and is not
    // appended to until repair() has written them with the right count.
    const int recordLength = h.layout.recordLength;
    const qint64 whole = (size - headerLength) / recordLength;
    if (std::min<qint64>(whole, h.count) > 0x7FFFFFFF / recordLength)
        notATable(name, QStringLiteral("слишком много записей"));
    std::vector<char> records(size_t(std::min<qint64>(whole, std::max<qint64>(h.count, 0))) *
                              size_t(recordLength));
    const auto isRecordMark = [](char c) { return c == kLiveMark || c == kDeletedMark; };
    qint64 count = h.count;
    bool corrected = false;
    std::optional<Shortfall> shortBy;
    if (count > whole) {
        f.readAt(headerLength, records.data(), qint64(records.size()));
        count = whole;
        // Blocks of padding at the end are no records.
        while (count > 0 && !isRecordMark(records[size_t(count - 1) * size_t(recordLength)]))
            --count;
        int partial = 0;
        if (count == whole) {
            const qint64 rest = size - headerLength - whole * recordLength;
            char mark = 0;
            if (rest > 0)
                f.readAt(headerLength + whole * recordLength, &mark, 1);
            partial = isRecordMark(mark) ? int(rest) : 0;
        }
        records.resize(size_t(count) * size_t(recordLength));
        shortBy = Shortfall{h.count, partial};
    } else {
        f.readAt(headerLength, records.data(), qint64(records.size()));
        // The blocks after the counted ones, a chunk at a time, for as long as they are records.
        const qint64 perChunk = std::max(1, (1 << 20) / recordLength);
        std::vector<char> chunk;
        while (count < whole) {
            const qint64 n = std::min(whole - count, perChunk);
            chunk.resize(size_t(n) * size_t(recordLength));
            f.readAt(headerLength + count * recordLength, chunk.data(), qint64(chunk.size()));
            qint64 k = 0;
            while (k < n && isRecordMark(chunk[size_t(k) * size_t(recordLength)]))
                ++k;
            if (count + k > 0x7FFFFFFF / recordLength)
                notATable(name, QStringLiteral("слишком много записей"));
            records.insert(records.end(), chunk.begin(), chunk.begin() + k * recordLength);
            count += k;
            if (k < n)
                break;
        }
        if (count > h.count) {
            corrected = true;
            found << QStringLiteral("В таблице «%1» после записей, указанных в заголовке (%2), есть ещё %3: "
                                    "они прочитаны как записи таблицы.")
                         .arg(name)
                         .arg(h.count)
                         .arg(count - qint64(h.count));
        }
    }

    // The production index: ours is read and its tag selected by name; a damaged one of ours is
    // named in the notices and ignored (the next sort replaces it, deleting "db1" removes it);
    // another program's is left alone and never written.
    std::vector<IndexDef> defs;
    bool clearIndexFlag = false;
    const QString mdxPath = mdx::findFile(tablePath);
    mdx::ReadResult mdxRead;
    bool mdxNotAFile = false;
    switch (fileio::kindOf(mdxPath)) {
    case fileio::PathKind::File: {
        constexpr qint64 kMaxIndexFile = qint64(256) << 20;
        bool huge = false;
        QByteArray bytes;
        try {
            const File mdxFile = File::openReadOnly(mdxPath);
            const qint64 mdxSize = mdxFile.size();
            huge = mdxSize > kMaxIndexFile;
            bytes.resize(huge ? 2048 : mdxSize);
            mdxFile.readAt(0, bytes.data(), bytes.size());
        } catch (const KvError&) {
            bytes.clear(); // unreadable: judged as a file without content
        }
        mdxRead = mdx::read(bytes, h.layout, records.data(), int(count));
        if (huge && mdxRead.kind != mdx::Kind::Foreign && mdxRead.kind != mdx::Kind::Legacy)
            mdxRead.kind = mdx::Kind::Damaged;
        break;
    }
    case fileio::PathKind::Missing:
        clearIndexFlag = h.indexFlag != 0;
        break;
    default:
        // A folder or a pipe with the index file's name is neither read nor written nor removed.
        mdxNotAFile = true;
        break;
    }
    // A tag of ours on the date-time key is not kept up to date here: it stays while the records
    // stay as they are, and goes at their first change or when stale.
    const bool unkept =
        mdxRead.dateTime && (mdxRead.kind == mdx::Kind::Ours || mdxRead.kind == mdx::Kind::Stale);
    switch (mdxRead.kind) {
    case mdx::Kind::Ours:
    case mdx::Kind::Stale:
        if (!unkept)
            defs.push_back(mdxRead.def);
        break;
    case mdx::Kind::Legacy:
        if (h.indexFlag == 0 || readIndexFile(mdxPath, h.layout, defs) != IndexFileState::Ok)
            mdxRead.kind = mdx::Kind::Damaged;
        break;
    default:
        break;
    }
    if (mdxRead.kind == mdx::Kind::Damaged)
        found << damagedIndexNotice(QFileInfo(mdxPath).fileName());
    std::vector<char> flags;
    for (size_t i = 0; i < h.layout.fields.size(); ++i)
        flags.push_back(head[kFixedSize + kDescriptorSize * int(i) + 31]);

    open = true;
    path = tablePath;
    access = how;
    layout = std::move(h.layout);
    driver = h.driver;
    codePage = page;
    indexFlag = clearIndexFlag ? 0 : h.indexFlag;
    data = std::move(records);
    this->count = int(count);
    indexes = std::move(defs);
    indexPath = mdxPath;
    indexKind = mdxRead.kind;
    indexNotAFile = mdxNotAFile;
    tagOrder = std::move(mdxRead.order);
    tagOrderValid = indexKind == mdx::Kind::Ours && !unkept;
    tagPending = indexKind == mdx::Kind::Stale && !unkept;
    unkeptTag = unkept;
    fieldFlags = std::move(flags);
    header = std::move(h.bytes);
    textReadOnly = unknownCodePage;
    shortfall = shortBy;
    notices = std::move(found);
    state = State::Browse;
    buffer.clear();
    editRecord = -1;
    dirty = true;

    if (how == Access::Exclusive) {
        try {
            if (corrected) {
                writeCount();
                const char eof = kEndOfFile;
                out().writeAt(recordOffset(this->count), &eof, 1);
                out().truncate(recordOffset(this->count) + 1);
            }
            if (clearIndexFlag)
                writeIndexFlag(0);
            if (unkept && indexKind == mdx::Kind::Stale && !beside)
                removeTagFile();
            // A tag changed under us by another program is brought up to date with the records;
            // should that fail, the table still opens and the next change tries again.
            if (tagPending && !beside) {
                try {
                    writeTag();
                } catch (const KvError& e) {
                    qCDebug(lcDb) << "tag left for the next change:" << e.message();
                }
            }
        } catch (...) {
            reset(); // an open that reports failure must not leave the file held
            throw;
        }
    }
}

void DbfTable::Impl::noteIndexNotAFile() const {
    if (indexNotAFile)
        fileio::notify(QStringLiteral("«%1» не является файлом: таблица «%2» открыта без индекса.")
                           .arg(QFileInfo(indexPath).fileName(), fileName()));
}

void DbfTable::Impl::reset() {
    open = false;
    beside.reset();
    file.close();
    state = State::Inactive;
    data = {};
    visible = {};
    indexes.clear();
    indexPath.clear();
    indexKind = mdx::Kind::Missing;
    indexNotAFile = false;
    tagOrder = {};
    tagOrderValid = false;
    tagPending = false;
    unkeptTag = false;
    fieldFlags.clear();
    header.clear();
    textReadOnly = false;
    shortfall.reset();
    notices.clear();
    indexNotice = IndexNotice::None;
    buffer.clear();
    count = 0;
    pos = -1;
    cur = -1;
    dirty = true;
    relocate = false;
}

void DbfTable::Impl::writeHeaderBytes(int offset, const char* bytes, int size) {
    char date[3];
    stampDate(date);
    out().writeAt(1, date, 3);
    out().writeAt(offset, bytes, size);
}

void DbfTable::Impl::writeCount() {
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((std::uint32_t(count) >> (8 * i)) & 0xFF);
    writeHeaderBytes(kCountOffset, bytes, 4);
}

void DbfTable::Impl::writeIndexFlag(std::uint8_t flag) {
    const char byte = char(flag);
    writeHeaderBytes(kIndexFlagOffset, &byte, 1);
    indexFlag = flag;
}

DbfTable::DbfTable() : d(std::make_unique<Impl>()) {}

DbfTable::~DbfTable() {
    try {
        close();
    } catch (const std::exception& e) {
        // A destructor cannot report; close() already released the file.
        qCDebug(lcDb) << "closing at destruction failed:" << e.what();
    }
}

namespace {

// The bytes of a new, empty table at path; refuses a table that cannot be made there.
QByteArray emptyTable(const QString& path, const std::vector<DbfField>& fields, std::uint8_t languageDriver) {
    Layout layout = layoutFor(fields);
    if (!CodePage::forDriver(languageDriver))
        throw KvError(
            QStringLiteral("Таблицу нельзя создать: неизвестная кодовая страница %1.").arg(languageDriver));
    if (File::isLockedByWriter(path))
        throw KvError(QStringLiteral("Таблица «%1» открыта для записи другой программой, заменить её нельзя.")
                          .arg(QFileInfo(path).fileName()));
    QByteArray bytes = buildHeader(layout, 0, 0, languageDriver);
    bytes.append(kEndOfFile);
    return bytes;
}

} // namespace

void DbfTable::create(const QString& path, const std::vector<DbfField>& fields, std::uint8_t languageDriver) {
    const QByteArray bytes = emptyTable(path, fields, languageDriver);
    Replacement file(path);
    file.write(bytes);
    file.commit(false);
    // The index file of a replaced table describes records that are gone.
    fileio::removeFile(mdx::findFile(path));
}

void DbfTable::createBeside(const QString& path, const std::vector<DbfField>& fields,
                            std::uint8_t languageDriver, const std::function<void()>& fill) {
    close();
    const QByteArray bytes = emptyTable(path, fields, languageDriver);
    d->beside = std::make_unique<Replacement>(path);
    try {
        d->beside->write(bytes);
        d->load(d->out(), path, Access::Exclusive);
        first();
        fill();
        d->requireOpen();
        d->postPending();
        d->file = d->beside->commit(true);
        d->beside.reset();
    } catch (...) {
        d->reset();
        throw;
    }
    // The new table starts without an index: what the old one had describes records that are gone.
    fileio::removeFile(d->indexPath);
    d->noteIndexNotAFile();
    d->indexes.clear();
    d->indexKind = mdx::Kind::Missing;
    d->tagOrderValid = false;
    d->tagPending = false;
    d->dirty = true;
    first();
}

void DbfTable::changeBeside(const std::function<void()>& change) {
    d->requireWritable();
    if (d->beside) {
        change();
        return;
    }
    d->postPending();
    const int keep = d->cur;
    d->beside = std::make_unique<Replacement>(d->path);
    try {
        std::vector<char> chunk(1 << 20);
        const qint64 size = d->file.size();
        for (qint64 at = 0; at < size; at += qint64(chunk.size())) {
            const qint64 n = std::min<qint64>(qint64(chunk.size()), size - at);
            d->file.readAt(at, chunk.data(), n);
            d->beside->write(chunk.data(), n);
        }
        change();
        d->requireOpen();
        d->postPending();
        // The old file keeps its lock until the new one, locked already, has taken its place.
        d->file = d->beside->commit(true);
        d->beside.reset();
    } catch (...) {
        if (d->open) {
            d->tagPending = false;
            cancel();
            d->beside.reset();
            d->cur = keep;
            try {
                refresh(); // from the old file, never touched
            } catch (const KvError& e) {
                // refresh() has closed the table; the caller sees that and the first failure.
                qCDebug(lcDb) << "re-reading the old file failed:" << e.message();
            }
        }
        throw;
    }
    if (d->tagPending)
        d->writeTag();
}

void DbfTable::open(const QString& path, Access access) {
    close();
    d->file = access == Access::Exclusive ? File::openExclusive(path) : File::openReadOnly(path);
    try {
        d->load(d->file, path, access);
    } catch (...) {
        d->reset();
        throw;
    }
    // What writers of this table killed half-way left beside it goes now, while no one holds it.
    d->file.removeStaleTemporaries({d->indexPath});
    d->noteIndexNotAFile();
    first();
}

void DbfTable::close() {
    if (!d->open)
        return;
    // Closing always releases the file; a failing last write is still reported.
    struct Release {
        Impl* d;
        ~Release() { d->reset(); }
    } release{d.get()};
    d->postPending();
    if (d->access == Access::Exclusive)
        d->out().sync();
}

bool DbfTable::isOpen() const {
    return d->open;
}
DbfTable::State DbfTable::state() const {
    return d->open ? d->state : State::Inactive;
}
QString DbfTable::path() const {
    return d->path;
}
DbfTable::Access DbfTable::access() const {
    return d->access;
}
const std::vector<DbfField>& DbfTable::fields() const {
    return d->layout.fields;
}
std::uint8_t DbfTable::languageDriver() const {
    return d->driver;
}

int DbfTable::fieldIndex(const QString& name) const {
    for (size_t i = 0; i < d->layout.fields.size(); ++i)
        if (d->layout.fields[i].name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void DbfTable::refresh() {
    d->requireOpen();
    d->postPending();
    const int keep = d->cur;
    const std::vector<IndexDef> before = d->indexes;
    if (d->access == Access::ReadOnly)
        d->file = File::openReadOnly(d->path);
    try {
        d->load(d->out(), d->path, d->access);
    } catch (...) {
        // The file went bad under us: nothing of it can be trusted any more.
        d->reset();
        throw;
    }
    // Indexes that live in memory only (all of them on a read-only open or beside another
    // program's index file) outlast the re-reading; the index file's own tag comes from the file.
    for (const IndexDef& def : before) {
        const bool inFile = std::any_of(d->indexes.begin(), d->indexes.end(), [&](const IndexDef& x) {
            return x.name.compare(def.name, Qt::CaseInsensitive) == 0;
        });
        if (!inFile && fieldIndex(def.field) >= 0)
            d->indexes.push_back(def);
    }
    d->cur = keep < d->count ? keep : -1;
    d->pos = 0;
    d->ensure();
}

void DbfTable::pack() {
    d->requireWritable();
    d->postPending();
    const int length = d->layout.recordLength;
    int live = 0;
    for (int r = 0; r < d->count; ++r)
        live += d->record(r)[0] != kDeletedMark;

    // Inside changeBeside the packed table becomes the new file being written.
    std::optional<Replacement> own;
    Replacement& file = d->beside ? *d->beside : own.emplace(d->path);
    if (d->beside)
        file.rewind();
    // The header as the file has it (another writer's version byte and padding stay), with the
    // new count.
    QByteArray header = d->header;
    stampDate(header.data() + 1);
    for (int i = 0; i < 4; ++i)
        header[kCountOffset + i] = char((std::uint32_t(live) >> (8 * i)) & 0xFF);
    header[kIndexFlagOffset] = char(d->indexFlag);
    for (size_t i = 0; i < d->fieldFlags.size(); ++i)
        header[kFixedSize + kDescriptorSize * int(i) + 31] = d->fieldFlags[i];
    file.write(header);
    std::vector<char> chunk;
    chunk.reserve(1 << 20);
    for (int r = 0; r < d->count; ++r) {
        const char* rec = d->record(r);
        if (rec[0] == kDeletedMark)
            continue;
        chunk.insert(chunk.end(), rec, rec + length);
        if (chunk.size() + size_t(length) > chunk.capacity()) {
            file.write(chunk.data(), qint64(chunk.size()));
            chunk.clear();
        }
    }
    chunk.push_back(kEndOfFile);
    file.write(chunk.data(), qint64(chunk.size()));
    if (own)
        d->file = own->commit(true);

    char* out = d->data.data();
    for (int r = 0; r < d->count; ++r) {
        const char* rec = d->record(r);
        if (rec[0] == kDeletedMark)
            continue;
        if (out != rec)
            std::memmove(out, rec, size_t(length));
        out += length;
    }
    d->count = live;
    d->data.resize(size_t(live) * size_t(length));
    d->header = header;
    d->shortfall.reset(); // the packed file holds exactly its records
    d->cur = -1;
    d->dirty = true;
    d->recordsChanged();
    first();
}

QStringList DbfTable::openNotices() const {
    if (!d->open)
        return {};
    QStringList all;
    if (d->shortfall)
        all << shortNotice(d->fileName(), d->shortfall->claimed, d->count, d->shortfall->partial,
                           d->layout.recordLength);
    return all + d->notices;
}

bool DbfTable::isShort() const {
    return d->open && d->shortfall.has_value();
}

void DbfTable::requireWholeRecords() const {
    if (!isShort())
        return;
    throw KvError(
        QStringLiteral("Таблица «%1» короче своего заголовка (целых записей %2 из %3): дополнять её "
                       "нельзя, пока она не сохранена («Сохранить», в командной строке --repair).")
            .arg(d->fileName())
            .arg(d->count)
            .arg(d->shortfall->claimed));
}

QString DbfTable::repair() {
    d->requireWritable();
    if (!d->shortfall)
        return {};
    const Impl::Shortfall was = *d->shortfall;
    changeBeside([this] {
        const qint64 end = d->recordOffset(d->count);
        const char eof = kEndOfFile;
        d->out().writeAt(end, &eof, 1);
        d->out().truncate(end + 1);
        d->writeCount();
    });
    d->shortfall.reset();
    QString text = QStringLiteral("Таблица «%1» записана с числом записей %2 (в заголовке было %3).")
                       .arg(d->fileName())
                       .arg(d->count)
                       .arg(was.claimed);
    if (was.partial > 0)
        text += QStringLiteral(" Оборванная запись (%1 байт) отброшена.").arg(was.partial);
    return text;
}
