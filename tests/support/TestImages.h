#pragma once

#include <QByteArray>
#include <QDateTime>

#include <cstdint>
#include <vector>

// Builds memory images as the instrument would send them, for the tests, the fuzz seeds and the
// benchmarks (library kv_test_images); no part of the program.
namespace image::testimages {

// One record as the instrument stores it. The defaults make a valid operative record.
struct RecordSpec {
    float a = 1.5f;
    float f = 50.0f;
    std::uint8_t mode = 0;
    std::uint8_t second = 0, minute = 0, hour = 12;
    std::uint8_t day = 1, month = 1, year = 10; // year minus 2000
    std::uint16_t w15 = 0;
    std::uint16_t w19 = 0;

    // The time stamp bytes from a date-time between 2000 and 2255.
    RecordSpec& at(const QDateTime& when);
    static RecordSpec operative(float a, float f, const QDateTime& when);
    static RecordSpec standby(float a, float f, std::uint16_t thresholdTenthsHz,
                              std::uint16_t thresholdHundredths, const QDateTime& when);
    static RecordSpec observation(float a, float f, std::uint16_t durationMin, std::uint16_t intervalS,
                                  const QDateTime& when);
};

// The 23 bytes of one record.
QByteArray encodeRecord(const RecordSpec& record);

// A whole image: a header (bytes 0 to 313 filled with a recognisable pattern, as the instrument
// leaves its own settings there), the count at offset 314, the records from 316, then zeros up to
// length bytes. length 0 means the size of a complete dump (7566), or just enough for the
// records when they do not fit in it. storedCount < 0 stores records.size().
QByteArray buildImage(const std::vector<RecordSpec>& records, int length = 0, int storedCount = -1);

// count records of the three modes in turn (0, 1, 2, 0, ...), stepSeconds apart from start,
// with values that vary from record to record.
std::vector<RecordSpec> sequence(int count, const QDateTime& start, int stepSeconds = 60);

} // namespace image::testimages
