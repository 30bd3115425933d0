#pragma once

#include "output/xls/TvteXLSWorkbook.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The tables of one save that the file needs beyond the model: fonts, number formats, cell
// formats, palette and shared strings, derived range by range in sheet and range list order.
class WorkbookTables {
public:
    struct RangeEntry {
        std::uint16_t xf = 0;
        std::int32_t sst = -1;
        std::uint16_t font = 0;
        std::uint16_t format = 0;
    };
    struct NumberFormat {
        std::uint16_t index;
        QString text;
    };
    using XfBody = std::array<std::uint8_t, 20>;
    struct SstBucket {
        std::int64_t blockOffset; // of the string within the SST block
        std::uint16_t recordOffset;
    };

    explicit WorkbookTables(const TvteXLSWorkbook& workbook);

    const std::vector<TvteXLSFont>& fonts() const { return m_fonts; }
    const std::vector<std::uint16_t>& fontColorIndexes() const { return m_fontColors; }
    const std::vector<NumberFormat>& formats() const { return m_formats; }
    const std::vector<XfBody>& cellFormats() const { return m_xfs; }
    bool paletteChanged() const { return m_paletteChanged; }
    const std::array<TvteXLSColor, 56>& palette() const { return m_palette; }
    const std::vector<RangeEntry>& entries(int sheet) const { return m_entries[std::size_t(sheet)]; }
    int sstCount() const { return m_sstCount; }
    const QByteArray& sstBlock() const { return m_sst; }
    const std::vector<SstBucket>& sstBuckets() const { return m_buckets; }

    static const std::array<TvteXLSColor, 56>& defaultPalette();
    // The RGB of a system colour, as the classic Windows colour scheme has it.
    static TvteXLSColor systemColor(std::uint32_t index);

private:
    std::uint16_t colorIndex(TvteXLSColor color);
    std::uint16_t fontIndex(const TvteXLSFont& font);
    std::uint16_t formatIndex(const QString& format);
    std::uint16_t xfIndex(const TvteXLSRange& range, const RangeEntry& entry);
    void addSharedString(const QString& text);

    std::array<TvteXLSColor, 56> m_palette;
    bool m_paletteChanged = false;
    std::vector<TvteXLSColor> m_usedColors;
    std::vector<TvteXLSFont> m_fonts;
    std::vector<std::uint16_t> m_fontColors;
    std::vector<NumberFormat> m_formats;
    int m_appendedFormats = 0;
    std::vector<XfBody> m_xfs;
    std::size_t m_lastFont = 0, m_lastXf = 0;
    std::vector<std::vector<RangeEntry>> m_entries;
    QByteArray m_sst;
    qsizetype m_sstRecord = 0; // start of the record being filled
    std::vector<SstBucket> m_buckets;
    int m_sstCount = 0;
};
