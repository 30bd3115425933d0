#include "image/MemoryImage.h"

#include "core/Error.h"
#include "core/FileLayer.h"

#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace image {
namespace {

constexpr double kTwoPi = 6.283185307179586477;
constexpr double kFourPiSquared = 39.478417604357434476;

double sqrt2() {
    static const double value = std::sqrt(2.0);
    return value;
}

void checkPosition(int p, int width) {
    if (p < 0 || p + width > kImageSize)
        throw KvError(QStringLiteral("Чтение за пределами образа памяти (позиция %1).").arg(p));
}

// Two decimal digits with a leading zero, as the instrument's texts have them.
void appendTwoDigits(QString& text, int value) {
    if (value < 10)
        text += QLatin1Char('0');
    text += QString::number(value);
}

// A field of a key read as a decimal integer; anything else counts as 0.
int keyField(const QString& key, int from, int length) {
    if (from + length > key.size())
        return 0;
    int value = 0;
    for (int i = from; i < from + length; ++i) {
        const QChar c = key.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

float floatAt(const std::uint8_t* p) {
    std::uint32_t bits = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                         std::uint32_t(p[3]) << 24;
    return std::bit_cast<float>(bits);
}

} // namespace

std::uint16_t img_word(ImageBytes image, int p) {
    checkPosition(p, 2);
    return std::uint16_t(image[p] + 256 * image[p + 1]);
}

QString timeText(std::uint8_t second, std::uint8_t minute, std::uint8_t hour) {
    QString text;
    text.reserve(8);
    if (hour > 23)
        text += QStringLiteral("00");
    else
        appendTwoDigits(text, hour);
    text += QLatin1Char(':');
    if (minute > 59)
        text += QStringLiteral("00");
    else
        appendTwoDigits(text, minute);
    text += QLatin1Char(':');
    if (second > 59)
        text += QStringLiteral("00");
    else
        appendTwoDigits(text, second);
    return text;
}

QString dateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince2000) {
    QString text;
    text.reserve(10);
    if (day == 0 || day > 31)
        text += QStringLiteral("01");
    else
        appendTwoDigits(text, day);
    text += QLatin1Char('.');
    if (month == 0 || month > 12)
        text += QStringLiteral("01");
    else
        appendTwoDigits(text, month);
    text += QLatin1Char('.');
    text += QString::number(2000 + yearSince2000);
    return text;
}

QString img_time(ImageBytes image, int p) {
    checkPosition(p, 3);
    return timeText(image[p], image[p + 1], image[p + 2]);
}

QString img_date(ImageBytes image, int p) {
    checkPosition(p, 3);
    return dateText(image[p], image[p + 1], image[p + 2]);
}

bool is_later(const QString& reference, const QString& candidate) {
    // year, month, day, hour, minute, second: 0-based start and length in dd.mm.yyyyhh:mm:ss
    static constexpr int fields[6][2] = {{6, 4}, {3, 2}, {0, 2}, {10, 2}, {13, 2}, {16, 2}};
    for (const auto& field : fields) {
        const int r = keyField(reference, field[0], field[1]);
        const int c = keyField(candidate, field[0], field[1]);
        if (r != c)
            return c > r;
    }
    return false;
}

ImageRecord ImageRecord::parse(std::span<const std::uint8_t, kRecordSize> b) {
    ImageRecord r;
    r.a = floatAt(&b[0]);
    r.f = floatAt(&b[4]);
    r.mode = b[8];
    r.second = b[9];
    r.minute = b[10];
    r.hour = b[11];
    r.day = b[12];
    r.month = b[13];
    r.year = b[14];
    r.w15 = std::uint16_t(b[15] + 256 * b[16]);
    r.w19 = std::uint16_t(b[19] + 256 * b[20]);
    return r;
}

double roundToTenth(double x) {
    const double tenth = 0.1;
    const long double quotient = static_cast<long double>(x) / static_cast<long double>(tenth);
    // nearbyint follows the default rounding mode, to nearest with ties to even.
    const long double whole = std::nearbyint(quotient);
    return static_cast<double>(whole) * tenth;
}

DecodedRecord decode(const ImageRecord& record) {
    // Widen first: every use below sees the single-precision values as doubles.
    const double a = record.a;
    const double f = record.f;
    const double root2 = sqrt2();

    DecodedRecord d;
    if (a != 0) {
        d.A = a;
        d.A_SR = a * root2 / 2;
    }
    d.F = f;
    if (f != 0) {
        d.V = 1000 * a / (kTwoPi * f);
        d.V_SR = root2 * (1000 * a) / (kTwoPi * f * 2);
        d.S = 1000 * a / (kFourPiSquared * f * f);
        d.S_SR = 1000 * a * 2 / (kFourPiSquared * f * f);
    }
    d.MODE = record.mode;
    d.TIME = timeText(record.second, record.minute, record.hour);
    d.DATE = dateText(record.day, record.month, record.year);
    if (record.mode == 1) {
        d.TR_F = double(record.w15) / 10;
        d.TR_A = roundToTenth(double(record.w19) / 100);
        d.TR_A_SR = roundToTenth(double(record.w19) * root2 / 200);
    } else if (record.mode == 2) {
        d.T = record.w15;
        d.DT = record.w19;
    }
    return d;
}

void MemoryImage::load(const QByteArray& bytes) {
    if (bytes.size() > kImageSize)
        throw KvError(QStringLiteral("Данные длиной %1 байт не являются образом памяти прибора: "
                                     "образ занимает не более %2 байт.")
                          .arg(bytes.size())
                          .arg(kImageSize));
    if (!bytes.isEmpty())
        std::memcpy(m_bytes.data(), bytes.constData(), std::size_t(bytes.size()));
    m_loaded = int(bytes.size());
}

void MemoryImage::loadFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    // A regular file only, opened without waiting: a pipe or a device is refused, never read.
    const fileio::File file = fileio::File::openReadOnly(path);
    const qint64 size = file.size();
    if (size > kImageSize)
        throw KvError(QStringLiteral("Файл «%1» не является образом памяти прибора: его размер %2 байт, "
                                     "а образ занимает не более %3 байт.")
                          .arg(name)
                          .arg(size)
                          .arg(kImageSize));
    QByteArray data(size, Qt::Uninitialized);
    file.readAt(0, data.data(), size);
    load(data);
}

QByteArray MemoryImage::loadedBytes() const {
    return QByteArray(reinterpret_cast<const char*>(m_bytes.data()), m_loaded);
}

int MemoryImage::recordCount() const {
    const int whole = m_loaded < kFirstRecordOffset ? 0 : (m_loaded - kFirstRecordOffset) / kRecordSize;
    return std::min({storedCount(), whole, kMaxRecords});
}

ImageRecord MemoryImage::record(int k) const {
    if (k < 1 || k > recordCount())
        throw KvError(QStringLiteral("Записи %1 нет в образе памяти.").arg(k));
    const int start = kFirstRecordOffset + kRecordSize * (k - 1);
    return ImageRecord::parse(
        std::span<const std::uint8_t, kRecordSize>(m_bytes.data() + start, kRecordSize));
}

} // namespace image
