#pragma once

#include <QSize>
#include <QString>

#include <optional>

namespace chart {

class TrendChart;

enum class PictureFormat { Png, Svg, Pdf };

// By the extension of path (any case); empty for another one.
std::optional<PictureFormat> pictureFormatOf(const QString& path);

// Writes the chart drawn at size (pixels; for PDF the page takes the same proportions) as the
// format of path's extension: written beside, then renamed over the file. Throws KvError.
void saveChart(const TrendChart& chart, const QString& path, const QSize& size);

} // namespace chart
