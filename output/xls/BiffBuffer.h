#pragma once

#include "output/xls/BiffRecords.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>

// Little-endian record bytes in memory. Records longer than one record body holds go through
// appendSplitRecord, which continues them in CONTINUE records.
class BiffBuffer {
public:
    static constexpr int maxBody = 8224;

    QByteArray& bytes() { return m_bytes; }
    const QByteArray& bytes() const { return m_bytes; }
    qsizetype size() const { return m_bytes.size(); }
    void clear() { m_bytes.resize(0); }
    void reserve(qsizetype n) { m_bytes.reserve(n); }

    void u8(std::uint8_t v) { m_bytes.append(char(v)); }
    void u16(std::uint16_t v) {
        const char b[2] = {char(v & 0xFF), char(v >> 8)};
        m_bytes.append(b, 2);
    }
    void u32(std::uint32_t v) {
        const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
        m_bytes.append(b, 4);
    }
    void f64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u32(std::uint32_t(bits));
        u32(std::uint32_t(bits >> 32));
    }
    void raw(const char* data, qsizetype n) { m_bytes.append(data, n); }
    void raw(const QByteArray& data) { m_bytes.append(data); }
    void utf16(const QString& text) {
        for (QChar c : text)
            u16(c.unicode());
    }
    void fill(char c, qsizetype n) { m_bytes.append(n, c); }

    void setU16(qsizetype at, std::uint16_t v) {
        m_bytes[at] = char(v & 0xFF);
        m_bytes[at + 1] = char(v >> 8);
    }
    void setU32(qsizetype at, std::uint32_t v) {
        setU16(at, std::uint16_t(v & 0xFFFF));
        setU16(at + 2, std::uint16_t(v >> 16));
    }

    // A record of at most maxBody bytes: begin, append the body, end.
    void begin(biff::Record type) {
        m_recordStart = m_bytes.size();
        u16(std::uint16_t(type));
        u16(0);
    }
    void end() { setU16(m_recordStart + 2, std::uint16_t(m_bytes.size() - m_recordStart - 4)); }

    void record(biff::Record type, const QByteArray& body) { appendSplitRecord(type, body); }
    void record16(biff::Record type, std::uint16_t value) {
        begin(type);
        u16(value);
        end();
    }

    // The first maxBody bytes under the record's type, the rest in CONTINUE records.
    void appendSplitRecord(biff::Record type, const QByteArray& body) {
        qsizetype at = 0;
        do {
            const qsizetype n = std::min<qsizetype>(maxBody, body.size() - at);
            u16(std::uint16_t(at == 0 ? type : biff::Record::Continue));
            u16(std::uint16_t(n));
            m_bytes.append(body.constData() + at, n);
            at += n;
        } while (at < body.size());
    }

private:
    QByteArray m_bytes;
    qsizetype m_recordStart = 0;
};
