#include "output/xls/WorkbookTables.h"

#include "core/Cp1251.h"
#include "output/xls/BiffRecords.h"

#include <algorithm>

namespace {

constexpr TvteXLSColor bgr(std::uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// The colours a palette change must never overwrite.
constexpr std::array<TvteXLSColor, 16> basicColors = {
    bgr(0xFFFFFF), bgr(0x000000), bgr(0xC0C0C0), bgr(0x808080), bgr(0xFF0000), bgr(0x800000),
    bgr(0xFFFF00), bgr(0x808000), bgr(0x00FF00), bgr(0x008000), bgr(0x00FFFF), bgr(0x008080),
    bgr(0x0000FF), bgr(0x000080), bgr(0xFF00FF), bgr(0x800080)};

constexpr int sstRecordLimit = 8228; // a record with its header

const WorkbookTables::XfBody fixedCellFormats[6] = {
    {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
    {0x01, 0x00, 0x2C, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
    {0x01, 0x00, 0x2A, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
    {0x01, 0x00, 0x09, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
    {0x01, 0x00, 0x2B, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
    {0x01, 0x00, 0x29, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20},
};

void put16(WorkbookTables::XfBody& b, int at, std::uint32_t v) {
    b[std::size_t(at)] = std::uint8_t(v & 0xFF);
    b[std::size_t(at + 1)] = std::uint8_t((v >> 8) & 0xFF);
}

void putU16(QByteArray& b, qsizetype at, std::uint16_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void appendU16(QByteArray& b, std::uint16_t v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

} // namespace

const std::array<TvteXLSColor, 56>& WorkbookTables::defaultPalette() {
    static const std::array<TvteXLSColor, 56> palette = {
        bgr(0x000000), bgr(0xFFFFFF), bgr(0xFF0000), bgr(0x00FF00), bgr(0x0000FF), bgr(0xFFFF00),
        bgr(0xFF00FF), bgr(0x00FFFF), bgr(0x800000), bgr(0x008000), bgr(0x000080), bgr(0x808000),
        bgr(0x800080), bgr(0x008080), bgr(0xC0C0C0), bgr(0x808080), bgr(0x9999FF), bgr(0x993366),
        bgr(0xFFFFCC), bgr(0xCCFFFF), bgr(0x660066), bgr(0xFF8080), bgr(0x0066CC), bgr(0xCCCCFF),
        bgr(0x000080), bgr(0xFF00FF), bgr(0xFFFF00), bgr(0x00FFFF), bgr(0x800080), bgr(0x800000),
        bgr(0x008080), bgr(0x0000FF), bgr(0x00CCFF), bgr(0xCCFFFF), bgr(0xCCFFCC), bgr(0xFFFF99),
        bgr(0x99CCFF), bgr(0xFF99CC), bgr(0xCC99FF), bgr(0xFFCC99), bgr(0x3366FF), bgr(0x33CCCC),
        bgr(0x99CC00), bgr(0xFFCC00), bgr(0xFF9900), bgr(0xFF6600), bgr(0x666699), bgr(0x969696),
        bgr(0x003366), bgr(0x339966), bgr(0x003300), bgr(0x333300), bgr(0x993300), bgr(0x993366),
        bgr(0x333399), bgr(0x333333)};
    return palette;
}

TvteXLSColor WorkbookTables::systemColor(std::uint32_t index) {
    // No system colour table here: the classic Windows scheme, window text black.
    static const std::uint32_t scheme[] = {
        0xC0C0C0, 0x008080, 0x000080, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
        0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x000080, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
        0x000000, 0xC0C0C0, 0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000, 0xFFFFE1};
    return index < std::size(scheme) ? bgr(scheme[index]) : 0;
}

WorkbookTables::WorkbookTables(const TvteXLSWorkbook& workbook) : m_palette(defaultPalette()) {
    TvteXLSFont defaultFont;
    defaultFont.Color = xlsWindowTextColor;
    m_fonts.assign(4, defaultFont);
    static const std::pair<std::uint16_t, const char16_t*> builtIn[] = {
        {5, u"#,##0\"р.\";\\-#,##0\"р.\""},
        {6, u"#,##0\"р.\";[Red]\\-#,##0\"р.\""},
        {7, u"#,##0.00\"р.\";\\-#,##0.00\"р.\""},
        {8, u"#,##0.00\"р.\";[Red]\\-#,##0.00\"р.\""},
        {42, u"_-* #,##0\"р.\"_-;\\-* #,##0\"р.\"_-;_-* \"-\"\"р.\"_-;_-@_-"},
        {41, u"_-* #,##0_р_._-;\\-* #,##0_р_._-;_-* \"-\"_р_._-;_-@_-"},
        {44, u"_-* #,##0.00\"р.\"_-;\\-* #,##0.00\"р.\"_-;_-* \"-\"??\"р.\"_-;_-@_-"},
        {43, u"_-* #,##0.00_р_._-;\\-* #,##0.00_р_._-;_-* \"-\"??_р_._-;_-@_-"}};
    for (const auto& [index, text] : builtIn)
        m_formats.push_back({index, QString::fromUtf16(text)});
    m_xfs.assign(std::begin(fixedCellFormats), std::end(fixedCellFormats));

    m_entries.resize(std::size_t(workbook.SheetCount()));
    for (int s = 0; s < workbook.SheetCount(); ++s) {
        const TvteXLSWorksheet& sheet = workbook.SheetAt(s);
        auto& entries = m_entries[std::size_t(s)];
        entries.resize(std::size_t(sheet.RangeCount()));
        for (int r = 0; r < sheet.RangeCount(); ++r) {
            const TvteXLSRange& range = sheet.RangeAt(r);
            entries[std::size_t(r)].font = fontIndex(range.Font);
            entries[std::size_t(r)].format = formatIndex(range.NumberFormat);
        }
    }
    for (const TvteXLSFont& font : m_fonts)
        m_fontColors.push_back(colorIndex(font.Color));

    m_sst.reserve(4096);
    appendU16(m_sst, std::uint16_t(biff::Record::Sst));
    appendU16(m_sst, 8);
    m_sst.append(8, '\0');
    for (int s = 0; s < workbook.SheetCount(); ++s) {
        const TvteXLSWorksheet& sheet = workbook.SheetAt(s);
        auto& entries = m_entries[std::size_t(s)];
        for (int r = 0; r < sheet.RangeCount(); ++r) {
            const TvteXLSRange& range = sheet.RangeAt(r);
            RangeEntry& e = entries[std::size_t(r)];
            e.xf = xfIndex(range, e);
            if (!range.Value().isNumber()) {
                const QByteArray text = range.Value().toText8();
                if (!text.isEmpty()) {
                    e.sst = m_sstCount;
                    addSharedString(cp1251::decode(text));
                }
            }
        }
    }
    if (m_sstCount > 0) {
        for (int i = 0; i < 2; ++i) {
            putU16(m_sst, 4 + 4 * i, std::uint16_t(m_sstCount & 0xFFFF));
            putU16(m_sst, 6 + 4 * i, std::uint16_t(std::uint32_t(m_sstCount) >> 16));
        }
    } else {
        m_sst.clear();
    }
}

std::uint16_t WorkbookTables::colorIndex(TvteXLSColor color) {
    if (color & xlsSystemColorFlag)
        color = systemColor(color & 0xFFFFFF);
    color &= 0xFFFFFF;
    if (std::find(m_usedColors.begin(), m_usedColors.end(), color) == m_usedColors.end())
        m_usedColors.push_back(color);
    for (std::size_t i = 0; i < m_palette.size(); ++i)
        if (m_palette[i] == color)
            return std::uint16_t(i + 8);
    for (std::size_t i = 0; i < m_palette.size(); ++i) {
        const TvteXLSColor slot = m_palette[i];
        if (std::find(basicColors.begin(), basicColors.end(), slot) == basicColors.end() &&
            std::find(m_usedColors.begin(), m_usedColors.end(), slot) == m_usedColors.end()) {
            m_palette[i] = color;
            m_paletteChanged = true;
            return std::uint16_t(i + 8);
        }
    }
    return 8;
}

std::uint16_t WorkbookTables::fontIndex(const TvteXLSFont& font) {
    // Entries after the four equal defaults are all different, so the last match, when it
    // matches again, is the first match of the search too.
    if (m_lastFont < m_fonts.size() && m_fonts[m_lastFont] == font)
        return std::uint16_t(m_lastFont + 1);
    for (std::size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i] == font) {
            m_lastFont = i;
            return std::uint16_t(i + 1);
        }
    m_lastFont = m_fonts.size();
    m_fonts.push_back(font);
    return std::uint16_t(m_fonts.size());
}

std::uint16_t WorkbookTables::formatIndex(const QString& format) {
    if (format.isEmpty())
        return 0;
    for (const NumberFormat& f : m_formats)
        if (f.text.compare(format, Qt::CaseInsensitive) == 0)
            return f.index;
    const auto index = std::uint16_t(50 + m_appendedFormats++);
    m_formats.push_back({index, format});
    return index;
}

std::uint16_t WorkbookTables::xfIndex(const TvteXLSRange& range, const RangeEntry& entry) {
    using E = TvteXLSBorders;
    const TvteXLSBorders& b = range.Borders;
    auto lookup = [&](E::Edge edge) -> std::uint32_t {
        return b[edge].drawn() ? colorIndex(b[edge].Color) : 0;
    };
    const std::uint32_t diagDown = lookup(E::DiagonalDown);
    const std::uint32_t diagUp = lookup(E::DiagonalUp);
    const std::uint32_t left = lookup(E::Left);
    const std::uint32_t right = lookup(E::Right);
    const std::uint32_t top = lookup(E::Top);
    const std::uint32_t bottom = lookup(E::Bottom);
    const std::uint32_t fore = colorIndex(range.FillForeColor);
    const std::uint32_t back = colorIndex(range.FillBackColor);
    std::uint32_t diagColor = 0, diagStyle = 0;
    if (b[E::DiagonalUp].drawn()) {
        diagColor = diagUp;
        diagStyle = b[E::DiagonalUp].LineStyle;
    } else if (b[E::DiagonalDown].drawn()) {
        diagColor = diagDown;
        diagStyle = b[E::DiagonalDown].LineStyle;
    }
    auto style = [&](E::Edge edge) -> std::uint32_t { return b[edge].LineStyle & 0x0Fu; };

    XfBody x{};
    put16(x, 0, entry.font);
    put16(x, 2, entry.format);
    put16(x, 4, 0x0001);
    x[6] = std::uint8_t((range.HorizontalAlignment & 0x07) | (range.WrapText ? 0x08 : 0) |
                        ((range.VerticalAlignment & 0x07) << 4));
    x[7] = range.Rotation;
    put16(x, 8, 0x7C00u | (range.isMerged() ? 0x0020u : 0u));
    put16(x, 10, style(E::Left) | style(E::Right) << 4 | style(E::Top) << 8 | style(E::Bottom) << 12);
    put16(x, 12,
          (left & 0x7F) | (right & 0x7F) << 7 | (b[E::DiagonalDown].drawn() ? 0x4000u : 0u) |
              (b[E::DiagonalUp].drawn() ? 0x8000u : 0u));
    const std::uint32_t area = (top & 0x7F) | (bottom & 0x7F) << 7 | (diagColor & 0x7F) << 14 |
                               (diagStyle & 0x0F) << 21 | std::uint32_t(range.FillPattern & 0x3F) << 26;
    put16(x, 14, area & 0xFFFF);
    put16(x, 16, area >> 16);
    put16(x, 18, (fore & 0x7F) | (back & 0x7F) << 7);

    // The list holds no two equal bodies, so the last match is the only one.
    if (m_lastXf < m_xfs.size() && m_xfs[m_lastXf] == x)
        return std::uint16_t(m_lastXf + 15);
    for (std::size_t i = 0; i < m_xfs.size(); ++i)
        if (m_xfs[i] == x) {
            m_lastXf = i;
            return std::uint16_t(i + 15);
        }
    m_lastXf = m_xfs.size();
    m_xfs.push_back(x);
    return std::uint16_t(m_xfs.size() - 1 + 15);
}

void WorkbookTables::addSharedString(const QString& text) {
    auto used = [&] { return m_sst.size() - m_sstRecord; };
    auto startContinue = [&] {
        m_sstRecord = m_sst.size();
        appendU16(m_sst, std::uint16_t(biff::Record::Continue));
        appendU16(m_sst, 0);
    };
    auto grow = [&](qsizetype n) { putU16(m_sst, m_sstRecord + 2, std::uint16_t(used() + n - 4)); };

    if (sstRecordLimit - used() < 5)
        startContinue();
    if (m_sstCount % 8 == 0)
        m_buckets.push_back({m_sst.size(), std::uint16_t(used())});
    ++m_sstCount;
    grow(3);
    appendU16(m_sst, std::uint16_t(text.size()));
    m_sst.append('\x01');
    qsizetype at = 0;
    while (true) {
        const qsizetype piece = std::min<qsizetype>(text.size() - at, (sstRecordLimit - used()) / 2);
        grow(2 * piece);
        for (qsizetype i = at; i < at + piece; ++i)
            appendU16(m_sst, text[i].unicode());
        at += piece;
        if (at >= text.size())
            break;
        startContinue();
        grow(1);
        m_sst.append('\x01');
    }
}
