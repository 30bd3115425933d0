#include "grid/ColumnLayoutNames.h"

#include <charconv>
#include <cstdint>

namespace ColumnLayoutNames {

namespace {

struct ColorName {
    const char* name;
    std::uint32_t bgr; // TColor order: $00BBGGRR
};
const ColorName kColors[] = {
    {"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000}, {"clOlive", 0x008080},
    {"clNavy", 0x800000},   {"clPurple", 0x800080},  {"clTeal", 0x808000},  {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},     {"clLime", 0x00FF00},  {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},  {"clWhite", 0xFFFFFF},
};

bool isDigitOf(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return true;
    return base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'));
}

QColor fromBgr(std::uint32_t v) {
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

template <typename T> std::optional<T> parseInt(QStringView text, int base) {
    const QByteArray bytes = text.toLatin1();
    if (bytes.isEmpty())
        return std::nullopt;
    T v{};
    const auto r = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), v, base);
    if (r.ec != std::errc() || r.ptr != bytes.constData() + bytes.size())
        return std::nullopt;
    return v;
}

} // namespace

const OptionName kVisualOptions[3] = {
    {voEndEllipsis, "voEndEllipsis"}, {voWordWrap, "voWordWrap"}, {voSortMark, "voSortMark"}};
const StyleName kFontStyles[4] = {
    {fsBold, "fsBold"}, {fsItalic, "fsItalic"}, {fsUnderline, "fsUnderline"}, {fsStrikeOut, "fsStrikeOut"}};

QString alignmentName(ColumnAlignment a) {
    switch (a) {
    case ColumnAlignment::Right:
        return QStringLiteral("taRightJustify");
    case ColumnAlignment::Center:
        return QStringLiteral("taCenter");
    case ColumnAlignment::Left:
        break;
    }
    return QStringLiteral("taLeftJustify");
}

std::optional<ColumnAlignment> alignmentFromName(QStringView name) {
    if (name.compare(u"taLeftJustify", Qt::CaseInsensitive) == 0)
        return ColumnAlignment::Left;
    if (name.compare(u"taRightJustify", Qt::CaseInsensitive) == 0)
        return ColumnAlignment::Right;
    if (name.compare(u"taCenter", Qt::CaseInsensitive) == 0)
        return ColumnAlignment::Center;
    return std::nullopt;
}

QString sortStateName(TitleState s) {
    switch (s) {
    case tsSortedUp:
        return QStringLiteral("tsSortedUp");
    case tsSortedDown:
        return QStringLiteral("tsSortedDown");
    case tsSortedNone:
        break;
    }
    return QStringLiteral("tsSortedNone");
}

std::optional<TitleState> sortStateFromName(QStringView name) {
    if (name.compare(u"tsSortedNone", Qt::CaseInsensitive) == 0)
        return tsSortedNone;
    if (name.compare(u"tsSortedUp", Qt::CaseInsensitive) == 0)
        return tsSortedUp;
    if (name.compare(u"tsSortedDown", Qt::CaseInsensitive) == 0)
        return tsSortedDown;
    return std::nullopt;
}

QString colorText(const QColor& color, const char* defaultName) {
    if (!color.isValid())
        return QString::fromLatin1(defaultName);
    const std::uint32_t bgr = std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
                              (std::uint32_t(color.blue()) << 16);
    for (const auto& c : kColors)
        if (c.bgr == bgr)
            return QString::fromLatin1(c.name);
    return QString::number(bgr);
}

std::optional<QColor> colorFromText(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    if (text.startsWith(u"cl", Qt::CaseInsensitive)) {
        for (const auto& c : kColors)
            if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
                return fromBgr(c.bgr);
        // The grid's own colours and the system colours all mean "the default one" here.
        static const char* const defaults[] = {"clDefault", "clNone",      "clWindow",       "clWindowText",
                                               "clBtnFace", "clHighlight", "clHighlightText"};
        for (const char* d : defaults)
            if (text.compare(QLatin1String(d), Qt::CaseInsensitive) == 0)
                return QColor();
        return std::nullopt;
    }
    std::optional<std::int64_t> v;
    if (text.startsWith(u'$'))
        v = parseInt<std::int64_t>(text.mid(1), 16);
    else
        v = parseInt<std::int64_t>(text, 10);
    if (!v)
        return std::nullopt;
    std::int64_t n = *v;
    if (n < 0)
        n += std::int64_t(1) << 32; // system colours are written as negative numbers
    if (n >= 0 && n <= 0xFFFFFF)
        return fromBgr(std::uint32_t(n));
    if ((n & 0xFF000000) == 0x80000000 || n == 0x1FFFFFFF || n == 0x20000000)
        return QColor(); // a system colour, clNone or clDefault
    return std::nullopt;
}

QString quote(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("''");
    QString out;
    bool open = false;
    for (const char32_t cp : text.toUcs4()) {
        if (cp >= 32 && cp < 127) {
            if (!open) {
                out += u'\'';
                open = true;
            }
            if (cp == U'\'')
                out += u'\'';
            out += QChar(char16_t(cp));
        } else {
            if (open) {
                out += u'\'';
                open = false;
            }
            out += u'#';
            out += QString::number(std::uint32_t(cp));
        }
    }
    if (open)
        out += u'\'';
    return out;
}

std::optional<QString> unquote(QStringView text) {
    constexpr qsizetype kMaxLength = 4096;
    QString out;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool any = false;
    while (i < n) {
        const QChar c = text[i];
        if (c == u' ' || c == u'\t' || c == u'+') {
            ++i;
        } else if (c == u'\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == u'\'') {
                    if (i + 1 < n && text[i + 1] == u'\'') {
                        out += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (text[i].isNull())
                    return std::nullopt; // what #0 cannot say, a raw NUL does not say either
                out += text[i++];
            }
            if (!closed)
                return std::nullopt;
            any = true;
        } else if (c == u'#') {
            ++i;
            int base = 10;
            if (i < n && text[i] == u'$') {
                base = 16;
                ++i;
            }
            const qsizetype start = i;
            while (i < n && i - start < 10 && isDigitOf(text[i], base))
                ++i;
            const auto cp = parseInt<std::uint32_t>(text.mid(start, i - start), base);
            if (!cp || *cp == 0 || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF))
                return std::nullopt;
            const char32_t ch = char32_t(*cp);
            out += QString::fromUcs4(&ch, 1);
            any = true;
        } else {
            return std::nullopt;
        }
        if (out.size() > kMaxLength)
            return std::nullopt;
    }
    if (!any || !QStringView(out).isValidUtf16())
        return std::nullopt;
    return out;
}

} // namespace ColumnLayoutNames
