#pragma once

#include "core/ImageSize.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// The instrument's measurement memory after the transfer encoding is removed.
//
// Layout: a header of 314 bytes that is not interpreted, the record count (unsigned 16-bit,
// little-endian) at offset 314, and 23-byte records from offset 316. At most 342 whole records
// fit in the 8192 bytes.

namespace image {

constexpr int kCountOffset = 314;
constexpr int kFirstRecordOffset = 316;
constexpr int kRecordSize = 23;
constexpr int kMaxRecords = (kImageSize - kFirstRecordOffset) / kRecordSize; // 342
// What a complete dump of the instrument holds: the header, room for 315 records and 5 more bytes.
constexpr int kCompleteDumpSize = 7566;

// The reference key that stands for "no previous record".
inline const QString kNoRecordKey = QStringLiteral("00.00.000000:00:00");

using ImageBytes = std::span<const std::uint8_t, kImageSize>;

// The pure routines over the buffer. p is record start plus field offset; a position whose
// bytes lie outside the buffer throws KvError instead of reading past it.
std::uint16_t img_word(ImageBytes image, int p);
QString img_time(ImageBytes image, int p); // p: the second byte; "hh:mm:ss"
QString img_date(ImageBytes image, int p); // p: the day byte; "dd.mm.yyyy"

// True when candidate (dd.mm.yyyyhh:mm:ss) is strictly later than reference. A field that is not
// a decimal number (only a row written by other software can hold one) counts as 0, so such a
// reference lets every record through rather than losing any.
bool is_later(const QString& reference, const QString& candidate);

// The same texts from the bytes themselves.
QString timeText(std::uint8_t second, std::uint8_t minute, std::uint8_t hour);
QString dateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince2000);

// One 23-byte record as the instrument stores it.
struct ImageRecord {
    float a = 0; // acceleration amplitude, m/s²
    float f = 0; // frequency, Hz
    std::uint8_t mode = 0;
    std::uint8_t second = 0, minute = 0, hour = 0;
    std::uint8_t day = 0, month = 0, year = 0; // year minus 2000
    std::uint16_t w15 = 0;                     // mode 1: threshold frequency in 0.1 Hz; mode 2: duration, min
    std::uint16_t w19 = 0; // mode 1: threshold acceleration in 0.01 m/s²; mode 2: interval, s

    static ImageRecord parse(std::span<const std::uint8_t, kRecordSize> bytes);
};

// The values one record yields, named after the table fields that receive them. An empty
// optional is a value that is not produced: its field stays empty.
struct DecodedRecord {
    std::optional<double> A, A_SR;
    double F = 0;
    std::optional<double> V, V_SR, S, S_SR;
    int MODE = 0;
    QString TIME, DATE;
    std::optional<double> TR_F, TR_A, TR_A_SR;
    std::optional<int> T, DT;

    QString key() const { return DATE + TIME; }
};

DecodedRecord decode(const ImageRecord& record);

// x rounded to one decimal the way the instrument's software does it: the quotient by the double
// 0.1 is rounded half to even. Formed in extended precision, because that double lies above 0.1
// and a value exactly on a half step must therefore round down (0.75 gives 0.7); in plain double
// arithmetic 0.75 / 0.1 comes out as exactly 7.5 and would round up.
double roundToTenth(double x);

// The one buffer of a run. Zero at start and never cleared: a load writes its bytes from offset 0
// and leaves the bytes beyond as an earlier load left them.
class MemoryImage {
public:
    MemoryImage() { m_bytes.fill(0); }

    ImageBytes bytes() const { return ImageBytes(m_bytes); }

    // Writes bytes from offset 0. More than 8192 bytes are not an image of this instrument:
    // KvError, and nothing changes.
    void load(const QByteArray& bytes);
    // Reads a .bin file whole into the buffer. A file that cannot be read or is larger than 8192
    // bytes throws KvError and changes nothing.
    void loadFile(const QString& path);

    // Bytes written by the last load (0 before any load).
    int loadedSize() const { return m_loaded; }
    // The last load's bytes, as a .bin file keeps them.
    QByteArray loadedBytes() const;

    // The count the image states at offset 314.
    int storedCount() const { return img_word(bytes(), kCountOffset); }
    // The records that lie wholly inside the loaded bytes (and so inside the buffer); never more
    // than storedCount(). Records beyond are never read.
    int recordCount() const;

    // Record k, 1-based, 1 <= k <= recordCount().
    ImageRecord record(int k) const;
    DecodedRecord decoded(int k) const { return decode(record(k)); }

private:
    std::array<std::uint8_t, kImageSize> m_bytes;
    int m_loaded = 0;
};

} // namespace image
