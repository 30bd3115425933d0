#include "image/Importer.h"

#include "core/Error.h"
#include "core/FileLayer.h"
#include "db/MeasurementSchema.h"
#include "db/MeasurementTable.h"
#include "image/ImageLog.h"

#include <QFileInfo>

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace image {
namespace {

using MeasurementSchema::Field;
constexpr int kFields = MeasurementSchema::kFieldCount;

// A real fits its field when its fixed-point text with the field's decimals fits the length.
bool fitsReal(double v, const MeasurementSchema::FieldDef& def) {
    if (!std::isfinite(v))
        return false;
    std::array<char, 400> buf;
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, def.decimals);
    return r.ec == std::errc() && r.ptr - buf.data() <= def.length;
}

// An integer field of length n holds -(10^(n-1) - 1) to 10^n - 1: -999 to 9999 for four digits.
bool fitsInt(int v, const MeasurementSchema::FieldDef& def) {
    long long top = 1;
    for (int i = 0; i < def.length; ++i)
        top *= 10;
    return v > -(top / 10) && v < top;
}

// Writes the rows of one image into a table, field by field in the order of the import.
class RowWriter {
public:
    RowWriter(DbfTable& table, ImportResult& result) : m_table(table), m_result(result) {
        for (int i = 0; i < kFields; ++i)
            m_index[i] = table.fieldIndex(MeasurementSchema::name(Field(i)));
    }

    void write(int k, const DecodedRecord& d) {
        m_table.append();
        setInt(Field::N, k);
        setReal(Field::A, d.A);
        setReal(Field::A_SR, d.A_SR);
        setReal(Field::F, d.F);
        setReal(Field::V, d.V);
        setReal(Field::V_SR, d.V_SR);
        setReal(Field::S, d.S);
        setReal(Field::S_SR, d.S_SR);
        setInt(Field::MODE, d.MODE);
        m_table.setValue(index(Field::TIME), d.TIME);
        m_table.setValue(index(Field::DATE), d.DATE);
        if (d.MODE == 1) {
            setReal(Field::TR_F, d.TR_F);
            setReal(Field::TR_A, d.TR_A);
            setReal(Field::TR_A_SR, d.TR_A_SR);
        } else if (d.MODE == 2) {
            setInt(Field::T, d.T);
            setInt(Field::DT, d.DT);
        }
        m_table.setValue(index(Field::COMMENT), QString());
        m_table.post();
    }

    void finish() {
        for (int i = 0; i < kFields; ++i)
            if (m_emptied[i])
                m_result.emptiedFields << MeasurementSchema::name(Field(i));
    }

private:
    int index(Field field) const { return m_index[std::size_t(field)]; }

    void setReal(Field field, const std::optional<double>& v) {
        if (!v)
            return;
        if (!fitsReal(*v, MeasurementSchema::field(field)))
            return leftEmpty(field);
        m_table.setValue(index(field), *v);
    }
    void setInt(Field field, const std::optional<int>& v) {
        if (!v)
            return;
        if (!fitsInt(*v, MeasurementSchema::field(field)))
            return leftEmpty(field);
        m_table.setValue(index(field), *v);
    }
    void leftEmpty(Field field) {
        m_emptied[std::size_t(field)] = true;
        ++m_result.emptiedValues;
    }

    DbfTable& m_table;
    ImportResult& m_result;
    std::array<int, kFields> m_index{};
    std::array<bool, kFields> m_emptied{};
};

void writeRows(DbfTable& table, const MemoryImage& image, const std::vector<int>& records,
               ImportResult& result) {
    RowWriter writer(table, result);
    for (int k : records)
        writer.write(k, image.decoded(k));
    writer.finish();
}

std::vector<int> allRecords(const MemoryImage& image) {
    std::vector<int> records(std::size_t(image.recordCount()));
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i] = int(i) + 1;
    return records;
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QString messageOf(const std::exception& e) {
    if (const auto* kv = dynamic_cast<const KvError*>(&e))
        return kv->message();
    return QString::fromLocal8Bit(e.what());
}

bool digits(const QString& text, int from, int count) {
    for (int i = from; i < from + count; ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    return true;
}

// dd.mm.yyyy of a day that exists in the Gregorian calendar.
bool isCalendarDate(const QString& text) {
    if (text.size() != 10 || text[2] != u'.' || text[5] != u'.' || !digits(text, 0, 2) ||
        !digits(text, 3, 2) || !digits(text, 6, 4))
        return false;
    const int day = text.mid(0, 2).toInt(), month = text.mid(3, 2).toInt(), year = text.mid(6, 4).toInt();
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// hh:mm:ss of a time of day.
bool isClockTime(const QString& text) {
    return text.size() == 8 && text[2] == u':' && text[5] == u':' && digits(text, 0, 2) &&
           digits(text, 3, 2) && digits(text, 6, 2) && text.mid(0, 2).toInt() < 24 &&
           text.mid(3, 2).toInt() < 60 && text.mid(6, 2).toInt() < 60;
}

// The reference key of an append: DATE and TIME of the last row in physical order, whatever its
// mode, or kNoRecordKey for a table without rows. The table's filter, index and current row are
// as they were afterwards. A row whose texts are no date and time would make every record of the
// memory later or none: the append is refused rather than guessed.
QString referenceKey(DbfTable& table) {
    const QString filter = table.filter();
    const bool filtered = table.filtered();
    const QString index = table.currentIndex();
    const int current = table.recNo();
    table.setFiltered(false);
    if (!index.isEmpty())
        table.selectIndex(QString());
    table.last();
    const int row = table.recordCount() > 0 ? table.recNo() : 0;
    const QString date = row ? table.value(MeasurementSchema::name(Field::DATE)).toString() : QString();
    const QString time = row ? table.value(MeasurementSchema::name(Field::TIME)).toString() : QString();
    if (!index.isEmpty())
        table.selectIndex(index);
    table.setFilter(filter);
    table.setFiltered(filtered);
    if (current > 0)
        table.goToRecNo(current);
    if (row == 0)
        return kNoRecordKey;
    if (!isCalendarDate(date) || !isClockTime(time))
        throw KvError(QStringLiteral("Дополнить таблицу «%1» нельзя: в её последней строке (запись %2) дата "
                                     "«%3» и время «%4», а нужны настоящие дата дд.мм.гггг и время "
                                     "чч:мм:сс — с ними сравниваются записи прибора. Таблица не изменена.")
                          .arg(fileName(table.path()))
                          .arg(row)
                          .arg(date, time));
    return date + time;
}

} // namespace

QString addedMessage(const ImportResult& result) {
    return QStringLiteral("Добавлено записей: %1").arg(result.added);
}

QString countCutMessage(const ImportResult& result) {
    if (!result.countWasCut())
        return {};
    return QStringLiteral("Образ памяти содержит записей: %1 (в заголовке указано %2).")
        .arg(result.recordCount)
        .arg(result.storedCount);
}

QString emptiedMessage(const ImportResult& result) {
    if (result.emptiedValues == 0)
        return {};
    const QString fields = result.emptiedFields.join(QStringLiteral(", "));
    return QStringLiteral("Значения, не помещающиеся в поле, оставлены пустыми: %1 (%2 %3).")
        .arg(result.emptiedValues)
        .arg(result.emptiedFields.size() == 1 ? QStringLiteral("поле") : QStringLiteral("поля"), fields);
}

QString foreignIndexMessage(const ImportResult& result) {
    if (result.foreignIndexFile.isEmpty())
        return {};
    return QStringLiteral("Файл индексов «%1» принадлежит другой программе и не обновлён.")
        .arg(result.foreignIndexFile);
}

QStringList notices(const ImportResult& result) {
    QStringList list;
    for (const QString& text : {countCutMessage(result), emptiedMessage(result), foreignIndexMessage(result)})
        if (!text.isEmpty())
            list << text;
    return list;
}

Importer::Importer(DbfTable& table, ImportHooks hooks) : m_table(table), m_hooks(std::move(hooks)) {}

void Importer::dropSortIndex() {
    if (m_hooks.resetSort)
        m_hooks.resetSort();
    if (!m_table.isOpen())
        return;
    // As the sort reset of the views does: a failure here (usually: there is no index) is ignored.
    try {
        m_table.selectIndex(QString());
    } catch (const KvError& e) {
        qCDebug(lcImage) << "record order not restored:" << e.message();
    }
    try {
        m_table.deleteIndex(MeasurementTable::kSortIndex);
    } catch (const KvError& e) {
        qCDebug(lcImage) << "sort index not deleted:" << e.message();
    }
    // No re-read here: the table applies the new index selection itself.
}

ImportResult Importer::createTable(const QString& path, const MemoryImage& image) {
    m_table.close();
    dropSortIndex();
    // Renaming over a table that another instance holds would leave that instance writing into
    // a file nobody sees any more.
    if (fileio::File::isLockedByWriter(path))
        throw KvError(
            QStringLiteral("Таблица «%1» уже открыта для записи другой программой.").arg(fileName(path)));

    ImportResult result;
    try {
        MeasurementTable::createBeside(m_table, path, [&] {
            result.storedCount = image.storedCount();
            result.recordCount = image.recordCount();
            writeRows(m_table, image, allRecords(image), result);
        });
    } catch (const std::exception& e) {
        throw KvError(QStringLiteral("Таблица «%1» не создана: %2").arg(fileName(path), messageOf(e)));
    }
    result.added = result.recordCount;

    try {
        m_table.selectIndex(QString());
    } catch (const KvError& e) {
        qCDebug(lcImage) << "record order not restored:" << e.message();
    }
    m_table.setFiltered(false);
    m_table.setFilter(QString());
    return result;
}

QString Importer::checkAppend() {
    if (!m_table.isOpen())
        throw KvError(QStringLiteral("Таблица не открыта."));
    if (m_table.access() != DbfTable::Access::Exclusive)
        throw KvError(
            QStringLiteral("Таблица «%1» открыта только для чтения.").arg(fileName(m_table.path())));
    m_table.requireWholeRecords();
    return referenceKey(m_table);
}

ImportResult Importer::append(const MemoryImage& image) {
    // Refused before anything changes, the sort included.
    const QString reference = checkAppend();
    const QString path = m_table.path();
    const DbfTable::Access access = m_table.access();

    dropSortIndex();
    // All rows of all modes, in physical order. The table is ours alone (opened exclusively), so
    // what it holds in memory is the file: no re-read is needed.
    const QString savedFilter = m_table.filter();
    m_table.setFiltered(false);
    m_table.setFilter(QString());

    if (m_hooks.hideViews)
        m_hooks.hideViews();
    struct ShowViews {
        const ImportHooks& hooks;
        ~ShowViews() {
            if (hooks.showViews)
                hooks.showViews();
        }
    } showViews{m_hooks};

    const auto restoreFilter = [&] {
        m_table.setFilter(savedFilter);
        m_table.setFiltered(!savedFilter.trimmed().isEmpty());
    };

    // Rows not later than the reference would be deleted again right away: they are never written,
    // which leaves the same table as appending and deleting them, without the cost.
    ImportResult result;
    result.storedCount = image.storedCount();
    result.recordCount = image.recordCount();
    std::vector<int> kept;
    for (int k = 1; k <= result.recordCount; ++k) {
        if (is_later(reference, image.decoded(k).key()))
            kept.push_back(k);
    }
    result.dropped = result.recordCount - int(kept.size());
    result.added = int(kept.size());
    if (m_table.indexFileIsForeign())
        result.foreignIndexFile = m_table.indexFileName();

    // The table keeps its lock throughout: rows deleted earlier are packed away, written beside
    // the table like the new rows, and the new file takes the place of the old one in one rename.
    try {
        if (kept.empty()) {
            if (m_table.physicalCount() > m_table.recordCount())
                m_table.pack();
        } else {
            m_table.changeBeside([&] {
                writeRows(m_table, image, kept, result);
                if (m_table.physicalCount() > m_table.recordCount())
                    m_table.pack();
            });
        }
    } catch (const std::exception& e) {
        const QString message =
            QStringLiteral("Записи не добавлены в таблицу «%1»: %2").arg(fileName(path), messageOf(e));
        try {
            // The table layer has read the untouched file again; only when that failed too is
            // the table closed, and opening it is the last try.
            if (!m_table.isOpen())
                MeasurementTable::open(m_table, path, access);
            m_table.first();
            restoreFilter();
        } catch (const KvError& again) {
            throw KvError(message + QLatin1Char('\n') + again.message());
        }
        throw KvError(message + QStringLiteral("\nТаблица осталась прежней."));
    }
    m_table.first();
    restoreFilter();
    return result;
}

} // namespace image
