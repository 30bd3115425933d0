#include "tests/support/TestImages.h"

#include "core/Error.h"
#include "image/MemoryImage.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace image::testimages {
namespace {

void putFloat(char* p, float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = char((bits >> (8 * i)) & 0xFF);
}

void putWord(char* p, std::uint16_t value) {
    p[0] = char(value & 0xFF);
    p[1] = char(value >> 8);
}

} // namespace

RecordSpec& RecordSpec::at(const QDateTime& when) {
    const QDate date = when.date();
    const QTime time = when.time();
    if (date.year() < 2000 || date.year() > 2255)
        throw KvError(QStringLiteral("Год %1 не хранится в записи прибора.").arg(date.year()));
    second = std::uint8_t(time.second());
    minute = std::uint8_t(time.minute());
    hour = std::uint8_t(time.hour());
    day = std::uint8_t(date.day());
    month = std::uint8_t(date.month());
    year = std::uint8_t(date.year() - 2000);
    return *this;
}

RecordSpec RecordSpec::operative(float a, float f, const QDateTime& when) {
    RecordSpec r;
    r.a = a;
    r.f = f;
    r.mode = 0;
    return r.at(when);
}

RecordSpec RecordSpec::standby(float a, float f, std::uint16_t thresholdTenthsHz,
                               std::uint16_t thresholdHundredths, const QDateTime& when) {
    RecordSpec r = operative(a, f, when);
    r.mode = 1;
    r.w15 = thresholdTenthsHz;
    r.w19 = thresholdHundredths;
    return r;
}

RecordSpec RecordSpec::observation(float a, float f, std::uint16_t durationMin, std::uint16_t intervalS,
                                   const QDateTime& when) {
    RecordSpec r = operative(a, f, when);
    r.mode = 2;
    r.w15 = durationMin;
    r.w19 = intervalS;
    return r;
}

QByteArray encodeRecord(const RecordSpec& r) {
    QByteArray bytes(kRecordSize, '\0');
    char* p = bytes.data();
    putFloat(p, r.a);
    putFloat(p + 4, r.f);
    p[8] = char(r.mode);
    p[9] = char(r.second);
    p[10] = char(r.minute);
    p[11] = char(r.hour);
    p[12] = char(r.day);
    p[13] = char(r.month);
    p[14] = char(r.year);
    putWord(p + 15, r.w15);
    putWord(p + 19, r.w19);
    return bytes;
}

QByteArray buildImage(const std::vector<RecordSpec>& records, int length, int storedCount) {
    const int needed = kFirstRecordOffset + kRecordSize * int(records.size());
    if (length <= 0)
        length = std::max(kCompleteDumpSize, needed);
    length = std::min(length, kImageSize);
    QByteArray image(std::max(length, needed), '\0');
    for (int i = 0; i < kCountOffset; ++i)
        image[i] = char((i * 37 + 11) & 0xFF);
    putWord(image.data() + kCountOffset, std::uint16_t(storedCount < 0 ? int(records.size()) : storedCount));
    for (std::size_t k = 0; k < records.size(); ++k) {
        const QByteArray rec = encodeRecord(records[k]);
        std::memcpy(image.data() + kFirstRecordOffset + kRecordSize * int(k), rec.constData(), kRecordSize);
    }
    // Records past the requested length (a short dump) are cut off like the instrument's would be.
    image.truncate(std::min(length, int(image.size())));
    return image;
}

std::vector<RecordSpec> sequence(int count, const QDateTime& start, int stepSeconds) {
    std::vector<RecordSpec> records;
    records.reserve(std::size_t(std::max(count, 0)));
    for (int k = 0; k < count; ++k) {
        const QDateTime when = start.addSecs(qint64(k) * stepSeconds);
        const float a = 0.25f + 0.37f * float(k % 50);
        const float f = 10.0f + 7.5f * float(k % 40);
        switch (k % 3) {
        case 0:
            records.push_back(RecordSpec::operative(a, f, when));
            break;
        case 1:
            records.push_back(
                RecordSpec::standby(a, f, std::uint16_t(100 + k), std::uint16_t(25 + 10 * (k % 30)), when));
            break;
        default:
            records.push_back(
                RecordSpec::observation(a, f, std::uint16_t(1 + k % 120), std::uint16_t(1 + k % 60), when));
            break;
        }
    }
    return records;
}

} // namespace image::testimages
