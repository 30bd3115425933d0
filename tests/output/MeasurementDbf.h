#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

// Writes measurement table files byte by byte in the dBase IV layout of the table, so that
// tests and benchmarks can make tables of any size quickly and without the table layer.
struct MeasurementRow {
    int n = 1;
    QByteArray date = "01.02.2009"; // Windows-1251 bytes
    QByteArray time = "10:20:30";
    int mode = 0;
    std::optional<double> a, f, v, s, dt, t, trF, trA;
    QByteArray comment;
};

namespace measurement_dbf {

inline void put(QByteArray& rec, int at, int width, const QByteArray& text, bool right) {
    QByteArray field = text.left(width);
    if (right)
        field = QByteArray(width - field.size(), ' ') + field;
    else
        field += QByteArray(width - field.size(), ' ');
    rec.replace(at, width, field);
}

inline QByteArray fixed9(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 9);
    return QByteArray(buf, int(r.ptr - buf));
}

inline void putNumber(QByteArray& rec, int at, const std::optional<double>& v) {
    if (v)
        put(rec, at, 18, fixed9(*v), true);
}

inline void putInt(QByteArray& rec, int at, const std::optional<double>& v) {
    if (v)
        put(rec, at, 4, QByteArray::number(qint64(*v)), true);
}

inline QByteArray record(const MeasurementRow& r) {
    QByteArray rec(265, ' ');
    put(rec, 1, 4, QByteArray::number(r.n), true);
    put(rec, 5, 10, r.date, false);
    put(rec, 15, 8, r.time, false);
    put(rec, 23, 4, QByteArray::number(r.mode), true);
    putNumber(rec, 27, r.a);
    putNumber(rec, 45, r.a ? std::optional<double>(*r.a * 0.70710678118654752) : std::nullopt);
    putNumber(rec, 63, r.f);
    putNumber(rec, 81, r.v);
    putNumber(rec, 99, r.v ? std::optional<double>(*r.v * 0.70710678118654752) : std::nullopt);
    putNumber(rec, 117, r.s);
    putNumber(rec, 135, r.s ? std::optional<double>(*r.s * 2) : std::nullopt);
    putInt(rec, 153, r.dt);
    putInt(rec, 157, r.t);
    putNumber(rec, 161, r.trF);
    putNumber(rec, 179, r.trA);
    putNumber(rec, 197, r.trA ? std::optional<double>(*r.trA * 0.70710678118654752) : std::nullopt);
    put(rec, 215, 50, r.comment, false);
    return rec;
}

inline QByteArray file(const std::vector<MeasurementRow>& rows) {
    struct F {
        const char* name;
        char type;
        int length, decimals;
    };
    static const F fields[17] = {{"N", 'N', 4, 0},        {"DATE", 'C', 10, 0},   {"TIME", 'C', 8, 0},
                                 {"MODE", 'N', 4, 0},     {"A", 'N', 18, 9},      {"A_SR", 'N', 18, 9},
                                 {"F", 'N', 18, 9},       {"V", 'N', 18, 9},      {"V_SR", 'N', 18, 9},
                                 {"S", 'N', 18, 9},       {"S_SR", 'N', 18, 9},   {"DT", 'N', 4, 0},
                                 {"T", 'N', 4, 0},        {"TR_F", 'N', 18, 9},   {"TR_A", 'N', 18, 9},
                                 {"TR_A_SR", 'N', 18, 9}, {"COMMENT", 'C', 50, 0}};
    QByteArray out(32, '\0');
    out[0] = 0x03;
    out[1] = char(126);
    out[2] = 12;
    out[3] = 9;
    const std::uint32_t count = std::uint32_t(rows.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = char((count >> (8 * i)) & 0xFF);
    out[8] = char(577 & 0xFF);
    out[9] = char(577 >> 8);
    out[10] = char(265 & 0xFF);
    out[11] = char(265 >> 8);
    out[29] = char(0xC9);
    for (const F& f : fields) {
        QByteArray d(32, '\0');
        d.replace(0, int(qstrlen(f.name)), f.name);
        d[11] = f.type;
        d[16] = char(f.length);
        d[17] = char(f.decimals);
        out += d;
    }
    out += '\x0D';
    out.reserve(out.size() + qsizetype(rows.size()) * 265 + 1);
    for (const MeasurementRow& r : rows)
        out += record(r);
    out += '\x1A';
    return out;
}

inline bool write(const QString& path, const std::vector<MeasurementRow>& rows) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(file(rows)) >= 0 && f.flush();
}

} // namespace measurement_dbf
