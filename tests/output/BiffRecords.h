#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <vector>

// Splits a BIFF8 record stream into its records, for looking at them one by one.
struct BiffRecord {
    std::uint16_t type;
    QByteArray body;
    qsizetype offset; // of the record header in the stream
};

inline std::uint16_t le16(const QByteArray& b, qsizetype at) {
    return std::uint16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}
inline std::uint32_t le32(const QByteArray& b, qsizetype at) {
    return std::uint32_t(le16(b, at)) | std::uint32_t(le16(b, at + 2)) << 16;
}
inline double leF64(const QByteArray& b, qsizetype at) {
    std::uint64_t bits = std::uint64_t(le32(b, at)) | std::uint64_t(le32(b, at + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

inline std::vector<BiffRecord> biffRecords(const QByteArray& stream) {
    std::vector<BiffRecord> out;
    qsizetype at = 0;
    while (at + 4 <= stream.size()) {
        const std::uint16_t type = le16(stream, at);
        const std::uint16_t len = le16(stream, at + 2);
        out.push_back({type, stream.mid(at + 4, len), at});
        at += 4 + len;
    }
    return out;
}

inline QByteArray hexBytes(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

inline QString utf16At(const QByteArray& b, qsizetype at, int chars) {
    QString s;
    for (int i = 0; i < chars; ++i)
        s.append(QChar(le16(b, at + 2 * i)));
    return s;
}
