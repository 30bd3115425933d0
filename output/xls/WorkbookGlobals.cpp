#include "output/xls/BiffBuffer.h"
#include "output/xls/CompoundFile.h"
#include "output/xls/WorkbookStream.h"

namespace workbook_stream {

void appendString16(BiffBuffer& b, const QString& text) {
    b.u16(std::uint16_t(text.size()));
    b.u8(0x01);
    b.utf16(text);
}

void appendBof(BiffBuffer& b, biff::Substream type, std::uint32_t lowestVersion) {
    b.begin(biff::Record::Bof);
    b.u16(biff::biff8Version);
    b.u16(std::uint16_t(type));
    b.u16(3515); // build and year of the application that wrote the file, as Excel 97 writes them
    b.u16(1996);
    b.u32(0); // no file history flags
    b.u32(lowestVersion);
    b.end();
}

namespace {

void writeAccess(BiffBuffer& b, const QString& userName) {
    // The published layout (count, option byte, characters): readers that follow it refuse
    // a bare name, so the name is written that way, padded with blanks to 112 bytes.
    constexpr int size = 112;
    const QString name = userName.left((size - 3) / 2);
    b.begin(biff::Record::WriteAccess);
    const qsizetype start = b.size();
    appendString16(b, name);
    b.fill(0x20, size - (b.size() - start));
    b.end();
}

void font(BiffBuffer& b, const TvteXLSFont& f, std::uint16_t colorIndex) {
    b.begin(biff::Record::Font);
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
        b.begin(biff::Record::Xf);
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
        b.begin(biff::Record::Style);
        b.raw(reinterpret_cast<const char*>(body), 4);
        b.end();
    }
}

} // namespace

void writeGlobals(StorageStream& out, const TvteXLSWorkbook& workbook, const WorkbookTables& tables,
                  std::vector<SheetPositions>& positions) {
    const std::int64_t start = out.position();
    BiffBuffer b;
    appendBof(b, biff::Substream::Globals, biff::biff8Version);
    b.record16(biff::Record::InterfaceHdr, 1252);
    b.record16(biff::Record::Mms, 0);
    b.begin(biff::Record::InterfaceEnd);
    b.end();
    writeAccess(b, workbook.UserName());
    b.record16(biff::Record::CodePage, 1252);
    b.record16(biff::Record::Dsf, 0);
    b.begin(biff::Record::Excel9File);
    b.end();
    {
        BiffBuffer t;
        for (int i = 0; i < workbook.SheetCount(); ++i)
            t.u16(std::uint16_t(i + 1));
        b.record(biff::Record::TabId, t.bytes());
    }
    b.record16(biff::Record::FnGroupCount, 14);
    b.record16(biff::Record::WindowProtect, 0);
    b.record16(biff::Record::Protect, 0);
    b.record16(biff::Record::Password, 0);
    b.record16(biff::Record::Prot4Rev, 0);
    b.record16(biff::Record::Prot4RevPass, 0);
    b.begin(biff::Record::Window1);
    for (std::uint16_t v : {360, 30, 7454, 6240, 0x0038, 0, 0, 1, 600})
        b.u16(v);
    b.end();
    b.record16(biff::Record::Backup, 0);
    b.record16(biff::Record::HideObj, 0);
    b.record16(biff::Record::Date1904, 0);
    b.record16(biff::Record::Precision, 1);
    b.record16(biff::Record::RefreshAll, 0);
    b.record16(biff::Record::BookBool, 0);

    for (std::size_t i = 0; i < tables.fonts().size(); ++i)
        font(b, tables.fonts()[i], tables.fontColorIndexes()[i]);
    for (const auto& f : tables.formats()) {
        b.begin(biff::Record::Format);
        b.u16(f.index);
        appendString16(b, f.text);
        b.end();
    }
    styleXfs(b);
    for (const auto& x : tables.cellFormats()) {
        b.begin(biff::Record::Xf);
        b.raw(reinterpret_cast<const char*>(x.data()), qsizetype(x.size()));
        b.end();
    }
    styles(b);
    if (tables.paletteChanged()) {
        b.begin(biff::Record::Palette);
        b.u16(56);
        for (TvteXLSColor c : tables.palette()) {
            b.u8(std::uint8_t(c & 0xFF));
            b.u8(std::uint8_t((c >> 8) & 0xFF));
            b.u8(std::uint8_t((c >> 16) & 0xFF));
            b.u8(0);
        }
        b.end();
    }
    b.record16(biff::Record::UsesElfs, 0);

    positions.assign(std::size_t(workbook.SheetCount()), {});
    for (int i = 0; i < workbook.SheetCount(); ++i) {
        const QString& name = workbook.SheetAt(i).Name();
        positions[std::size_t(i)].boundSheetField = start + b.size() + 4;
        b.begin(biff::Record::BoundSheet);
        b.u32(0);
        b.u16(0x0000);
        b.u8(std::uint8_t(name.size()));
        b.u8(0x01);
        b.utf16(name);
        b.end();
    }
    b.begin(biff::Record::Country);
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
        b.record(biff::Record::ExtSst, ext.bytes());
    }
    b.begin(biff::Record::Eof);
    b.end();
    out.write(b.bytes());
}

} // namespace workbook_stream
