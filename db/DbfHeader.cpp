#include "db/DbfHeader.h"

#include "core/Error.h"

#include <cstring>
#include <ctime>
#include <set>

namespace dbf {
namespace {

std::uint16_t get16(const char* p) {
    return std::uint8_t(p[0]) | std::uint16_t(std::uint8_t(p[1])) << 8;
}

std::uint32_t get32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}

void put16(char* p, std::uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

void put32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

bool validName(const QString& name) {
    if (name.isEmpty() || name.size() > 10)
        return false;
    if (!(name[0].isLetter() && name[0].unicode() < 0x80))
        return false;
    for (QChar c : name)
        if (c.unicode() >= 0x80 || !(c.isLetterOrNumber() || c == u'_'))
            return false;
    return true;
}

// Empty when the field is sound, else what is wrong with it.
QString fieldProblem(const DbfField& f) {
    if (!validName(f.name))
        return QStringLiteral("недопустимое имя поля «%1»").arg(f.name);
    if (f.type == 'C') {
        if (f.length < 1 || f.length > 254 || f.decimals != 0)
            return QStringLiteral("недопустимая длина текстового поля %1").arg(f.name);
    } else if (f.type == 'N') {
        if (f.length < 1 || f.length > 20 || f.decimals < 0 || f.decimals > 15 ||
            (f.decimals > 0 && f.decimals > f.length - 2))
            return QStringLiteral("недопустимая длина числового поля %1").arg(f.name);
    } else {
        return QStringLiteral("поле %1 неподдерживаемого типа").arg(f.name);
    }
    return {};
}

Layout lay(std::vector<DbfField> fields, QString* problem) {
    Layout l;
    std::set<QString> names;
    int offset = 1;
    for (DbfField& f : fields) {
        f.name = f.name.toUpper();
        QString p = fieldProblem(f);
        if (p.isEmpty() && !names.insert(f.name).second)
            p = QStringLiteral("поле %1 описано дважды").arg(f.name);
        if (!p.isEmpty()) {
            *problem = p;
            return l;
        }
        l.offsets.push_back(offset);
        offset += f.length;
    }
    if (fields.empty())
        *problem = QStringLiteral("нет ни одного поля");
    else if (fields.size() > 255 || offset > 65535)
        *problem = QStringLiteral("слишком много полей");
    l.fields = std::move(fields);
    l.headerLength = kFixedSize + kDescriptorSize * int(l.fields.size()) + 1;
    l.recordLength = offset;
    return l;
}

} // namespace

QString hexByte(std::uint8_t byte) {
    return QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

bool readableVersion(std::uint8_t version) {
    return version == kVersion || version == 0x83 || version == 0x8B;
}

void notATable(const QString& fileName, const QString& reason) {
    throw KvError(QStringLiteral("Файл «%1» не является таблицей dBase IV: %2.").arg(fileName, reason));
}

Layout layoutFor(std::vector<DbfField> fields) {
    QString problem;
    Layout l = lay(std::move(fields), &problem);
    if (!problem.isEmpty())
        throw KvError(QStringLiteral("Таблицу нельзя создать: %1.").arg(problem));
    return l;
}

void stampDate(char* p) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    p[0] = char(std::min(local.tm_year, 255));
    p[1] = char(local.tm_mon + 1);
    p[2] = char(local.tm_mday);
}

QByteArray buildHeader(const Layout& l, std::uint32_t count, std::uint8_t indexFlag, std::uint8_t driver) {
    QByteArray h(l.headerLength, '\0');
    char* p = h.data();
    p[0] = char(kVersion);
    stampDate(p + 1);
    put32(p + kCountOffset, count);
    put16(p + 8, std::uint16_t(l.headerLength));
    put16(p + 10, std::uint16_t(l.recordLength));
    p[kIndexFlagOffset] = char(indexFlag);
    p[kDriverOffset] = char(driver);
    for (size_t i = 0; i < l.fields.size(); ++i) {
        char* d = p + kFixedSize + kDescriptorSize * int(i);
        QByteArray name = l.fields[i].name.toLatin1();
        std::memcpy(d, name.constData(), name.size());
        d[11] = l.fields[i].type;
        d[16] = char(l.fields[i].length);
        d[17] = char(l.fields[i].decimals);
    }
    p[l.headerLength - 1] = kEndOfHeader;
    return h;
}

int claimedHeaderLength(const QByteArray& head, qint64 fileSize, const QString& fileName) {
    if (fileSize < kFixedSize + kDescriptorSize + 1 || head.size() < kFixedSize)
        notATable(fileName, QStringLiteral("файл слишком короткий"));
    if (!readableVersion(std::uint8_t(head[0])))
        notATable(
            fileName,
            QStringLiteral("неизвестная версия формата (байт 0 = 0x%1)").arg(hexByte(std::uint8_t(head[0]))));
    int length = get16(head.constData() + 8);
    if (length < kFixedSize + kDescriptorSize + 1)
        notATable(fileName, QStringLiteral("длина заголовка не согласуется с описаниями полей"));
    if (length > fileSize)
        notATable(fileName, QStringLiteral("файл короче своего заголовка"));
    return length;
}

Header parseHeader(const QByteArray& head, const QString& fileName) {
    const char* p = head.constData();
    const int length = int(head.size());
    Header h;
    h.count = get32(p + kCountOffset);
    h.indexFlag = std::uint8_t(p[kIndexFlagOffset]);
    h.driver = std::uint8_t(p[kDriverOffset]);
    h.bytes = head;
    std::vector<DbfField> fields;
    int at = kFixedSize;
    // The descriptors end at 0x0D; what follows it up to the header length is padding.
    while (at < length && p[at] != kEndOfHeader) {
        if (at + kDescriptorSize > length - 1)
            notATable(fileName, QStringLiteral("длина заголовка не согласуется с описаниями полей"));
        const char* d = p + at;
        const char* nul = static_cast<const char*>(std::memchr(d, '\0', 11));
        DbfField f;
        f.name = QString::fromLatin1(d, nul ? nul - d : 11);
        f.type = d[11];
        f.length = std::uint8_t(d[16]);
        f.decimals = f.type == 'N' ? std::uint8_t(d[17]) : 0;
        if (f.type == 'M')
            throw KvError(QStringLiteral("Таблица «%1» не читается: в ней есть поле примечаний (memo) %2, "
                                         "текст которого хранится в отдельном файле.")
                              .arg(fileName, f.name));
        if (f.type == 'C' && d[17] != 0)
            notATable(fileName, QStringLiteral("текстовое поле %1 длиннее 254 байт").arg(f.name));
        fields.push_back(f);
        at += kDescriptorSize;
    }
    if (at >= length || p[at] != kEndOfHeader)
        notATable(fileName, QStringLiteral("длина заголовка не согласуется с описаниями полей"));
    QString problem;
    h.layout = lay(std::move(fields), &problem);
    if (!problem.isEmpty())
        notATable(fileName, problem);
    // Records start where bytes 8–9 say, after any padding.
    h.layout.headerLength = length;
    if (h.layout.recordLength != get16(p + 10))
        notATable(fileName, QStringLiteral("длина записи не согласуется с описаниями полей"));
    return h;
}

} // namespace dbf
