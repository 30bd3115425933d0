#include "output/xls/TvteXLSWorksheet.h"

#include "output/xls/TvteXLSWorkbook.h"

#include <algorithm>

QString xlsSheetName(const QString& name) {
    static const QString forbidden = QStringLiteral("/\\?*[]:");
    QString t = xlsTrimmed(name.left(31));
    // Each step leaves a name Excel takes as it is.
    std::replace_if(
        t.begin(), t.end(), [](QChar c) { return forbidden.contains(c); }, QLatin1Char('_'));
    if (t.startsWith(QLatin1Char('\'')))
        t[0] = QLatin1Char('_');
    if (t.endsWith(QLatin1Char('\'')))
        t[t.size() - 1] = QLatin1Char('_');
    if (t.compare(QLatin1String("History"), Qt::CaseInsensitive) == 0)
        t += QLatin1Char('_');
    return t;
}

void TvteXLSWorksheet::setName(const QString& name) {
    m_name = xlsSheetName(name);
}

int TvteXLSWorksheet::IndexInWorkbook() const {
    return m_workbook ? m_workbook->indexOf(this) : -1;
}

TvteXLSRange& TvteXLSWorksheet::Ranges(int left, int top, int right, int bottom) {
    // No range that starts more than MaxRangeHeight rows above `top` can reach it.
    const int firstTop = top - m_maxRangeHeight + 1;
    // Filling row by row looks at the last few ranges only: step back over them first, and
    // bisect only when that does not settle the position.
    std::size_t i = m_ranges.size();
    int steps = 0;
    while (i > 0 && steps < 16 && m_ranges[i - 1]->Top() >= firstTop) {
        --i;
        ++steps;
    }
    if (i > 0 && steps == 16 && m_ranges[i - 1]->Top() >= firstTop) {
        auto from = std::partition_point(m_ranges.begin(), m_ranges.begin() + std::ptrdiff_t(i),
                                         [&](const auto& r) { return r->Top() < firstTop; });
        i = std::size_t(from - m_ranges.begin());
    }
    std::size_t insertAt = i;
    TvteXLSRange* found = nullptr;
    bool removed = false;
    while (i < m_ranges.size() && m_ranges[i]->Top() <= bottom) {
        TvteXLSRange& r = *m_ranges[i];
        if (r.Left() == left && r.Top() == top && r.Right() == right && r.Bottom() == bottom) {
            found = &r;
        } else if (r.Left() <= right && left <= r.Right() && r.Top() <= bottom && top <= r.Bottom()) {
            m_ranges.erase(m_ranges.begin() + std::ptrdiff_t(i));
            removed = true;
            continue;
        }
        if (r.Top() <= top)
            insertAt = i + 1;
        ++i;
    }
    if (!found) {
        auto range = std::make_unique<TvteXLSRange>(this, left, top, right, bottom);
        found = range.get();
        m_ranges.insert(m_ranges.begin() + std::ptrdiff_t(insertAt), std::move(range));
    }
    if (removed) {
        m_maxRangeHeight = 1;
        for (const auto& r : m_ranges)
            m_maxRangeHeight = std::max(m_maxRangeHeight, r->Bottom() - r->Top() + 1);
    } else {
        m_maxRangeHeight = std::max(m_maxRangeHeight, bottom - top + 1);
    }
    if (m_firstCol == -1 || m_firstCol > left)
        m_firstCol = left;
    if (m_firstRow == -1 || m_firstRow > top)
        m_firstRow = top;
    if (m_lastCol == -1 || m_lastCol < right)
        m_lastCol = right;
    if (m_lastRow == -1 || m_lastRow < bottom)
        m_lastRow = bottom;
    return *found;
}
