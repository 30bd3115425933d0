#include "output/xls/BiffBuffer.h"
#include "output/xls/CompoundFile.h"
#include "output/xls/WorkbookStream.h"

namespace workbook_stream {

void appendString16(BiffBuffer& b, const QString& text) {
    b.u16(std::uint16_t(text.size()));
    b.u8(0x01);
    b.utf16(text);
}

namespace {

void writeAccess(BiffBuffer& b, const QString& userName) {
    // The published layout (count, option byte, characters): readers that follow it refuse
    // a bare name, so the name is written that way, padded with blanks to 112 bytes.
    constexpr int size = 112;
    const QString name = userName.left((size - 3) / 2);
    b.begin(0x005C);
    const qsizetype start = b.size();
    appendString16(b, name);
    b.fill(0x20, size - (b.size() - start));
    b.end();
}

void font(BiffBuffer& b, const TvteXLSFont& f, std::uint16_t colorIndex) {
    b.begin(0x0031);
    b.u16(std::uint16_t(f.Size * 20));
    b.u16(std::uint16_t((f.Italic ? 0x0002 : 0) | (f.StrikeOut ? 0x0008 : 0)));
    b.u16(colorIndex);
    b.u16(f.Bold ? 1000 : 100);
    b.u16(0);
    b.u8(f.Underline ? 1 : 0);
    b.u8(std::uint8_t(f.FontPitch));
    b.u8(f.Charset);
    b.u8(0);
    b.u8(std::uint8_t(f.Name.size()));
    b.u8(0x01);
    b.utf16(f.Name);
    b.end();
}

void styleXfs(BiffBuffer& b) {
    static const std::uint8_t head[3][10] = {{0x00, 0x00, 0x00, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0x00},
                                             {0x01, 0x00, 0x00, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF4},
                                             {0x02, 0x00, 0x00, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF4}};
    static const std::uint8_t plain[10] = {0x00, 0x00, 0x00, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF4};
    static const std::uint8_t tail[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
    for (int i = 0; i < 15; ++i) {
        const std::uint8_t* h = i == 0 ? head[0] : i <= 2 ? head[1] : i <= 4 ? head[2] : plain;
        b.begin(0x00E0);
        b.raw(reinterpret_cast<const char*>(h), 10);
        b.raw(reinterpret_cast<const char*>(tail), 10);
        b.end();
    }
}

void styles(BiffBuffer& b) {
    static const std::uint8_t bodies[6][4] = {{0x10, 0x80, 0x04, 0xFF}, {0x11, 0x80, 0x07, 0xFF},
                                              {0x00, 0x80, 0x00, 0xFF}, {0x12, 0x80, 0x05, 0xFF},
                                              {0x13, 0x80, 0x03, 0xFF}, {0x14, 0x80, 0x06, 0xFF}};
    for (const auto& body : bodies) {
        b.begin(0x0293);
        b.raw(reinterpret_cast<const char*>(body), 4);
        b.end();
    }
}

} // namespace

void writeGlobals(StorageStream& out, const TvteXLSWorkbook& workbook, const WorkbookTables& tables,
                  std::vector<SheetPositions>& positions) {
    const std::int64_t start = out.position();
    BiffBuffer b;
    b.begin(0x0809);
    b.u16(0x0600);
    b.u16(0x0005);
    b.u16(3515);
    b.u16(1996);
    b.u32(0);
    b.u32(0x0600);
    b.end();
    b.record16(0x00E1, 1252);
    b.record16(0x00C1, 0);
    b.begin(0x00E2);
    b.end();
    writeAccess(b, workbook.UserName());
    b.record16(0x0042, 1252);
    b.record16(0x0161, 0);
    b.begin(0x01C0);
    b.end();
    {
        BiffBuffer t;
        for (int i = 0; i < workbook.SheetCount(); ++i)
            t.u16(std::uint16_t(i + 1));
        b.record(0x013D, t.bytes());
    }
    b.record16(0x009C, 14);
    b.record16(0x0019, 0);
    b.record16(0x0012, 0);
    b.record16(0x0013, 0);
    b.record16(0x01AF, 0);
    b.record16(0x01BC, 0);
    b.begin(0x003D);
    for (std::uint16_t v : {360, 30, 7454, 6240, 0x0038, 0, 0, 1, 600})
        b.u16(v);
    b.end();
    b.record16(0x0040, 0);
    b.record16(0x008D, 0);
    b.record16(0x0022, 0);
    b.record16(0x000E, 1);
    b.record16(0x01B7, 0);
    b.record16(0x00DA, 0);

    for (std::size_t i = 0; i < tables.fonts().size(); ++i)
        font(b, tables.fonts()[i], tables.fontColorIndexes()[i]);
    for (const auto& f : tables.formats()) {
        b.begin(0x041E);
        b.u16(f.index);
        appendString16(b, f.text);
        b.end();
    }
    styleXfs(b);
    for (const auto& x : tables.cellFormats()) {
        b.begin(0x00E0);
        b.raw(reinterpret_cast<const char*>(x.data()), qsizetype(x.size()));
        b.end();
    }
    styles(b);
    if (tables.paletteChanged()) {
        b.begin(0x0092);
        b.u16(56);
        for (TvteXLSColor c : tables.palette()) {
            b.u8(std::uint8_t(c & 0xFF));
            b.u8(std::uint8_t((c >> 8) & 0xFF));
            b.u8(std::uint8_t((c >> 16) & 0xFF));
            b.u8(0);
        }
        b.end();
    }
    b.record16(0x0160, 0);

    positions.assign(std::size_t(workbook.SheetCount()), {});
    for (int i = 0; i < workbook.SheetCount(); ++i) {
        const QString& name = workbook.SheetAt(i).Name();
        positions[std::size_t(i)].boundSheetField = start + b.size() + 4;
        b.begin(0x0085);
        b.u32(0);
        b.u16(0x0000);
        b.u8(std::uint8_t(name.size()));
        b.u8(0x01);
        b.utf16(name);
        b.end();
    }
    b.begin(0x008C);
    b.u16(7);
    b.u16(7);
    b.end();
    if (tables.sstCount() > 0) {
        const std::int64_t sstAt = start + b.size();
        b.raw(tables.sstBlock());
        BiffBuffer ext;
        ext.u16(8);
        for (const auto& bucket : tables.sstBuckets()) {
            ext.u32(std::uint32_t(sstAt + bucket.blockOffset));
            ext.u16(bucket.recordOffset);
            ext.u16(0);
        }
        b.record(0x00FF, ext.bytes());
    }
    b.begin(0x000A);
    b.end();
    out.write(b.bytes());
}

} // namespace workbook_stream
