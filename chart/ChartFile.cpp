#include "chart/ChartFile.h"

#include "chart/TrendChart.h"
#include "core/Error.h"
#include "core/FileLayer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace chart {

std::optional<PictureFormat> pictureFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return PictureFormat::Png;
    if (suffix == QLatin1String("svg"))
        return PictureFormat::Svg;
    if (suffix == QLatin1String("pdf"))
        return PictureFormat::Pdf;
    return std::nullopt;
}

void saveChart(const TrendChart& chart, const QString& path, const QSize& size) {
    const auto format = pictureFormatOf(path);
    if (!format)
        throw KvError(QStringLiteral("Рисунок сохраняется в файл PNG, SVG или PDF, а не «%1».").arg(path));
    if (size.width() < 16 || size.height() < 16 || size.width() > 20000 || size.height() > 20000)
        throw KvError(
            QStringLiteral("Размер рисунка %1×%2 не годится.").arg(size.width()).arg(size.height()));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QRectF area(QPointF(0, 0), QSizeF(size));
    switch (*format) {
    case PictureFormat::Png: {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.paint(painter, area);
        }
        if (!image.save(&buffer, "PNG"))
            throw KvError(QStringLiteral("Не удалось составить рисунок PNG."));
        break;
    }
    case PictureFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(area);
        svg.setTitle(chart.title());
        svg.setDescription(chart.valueTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            throw KvError(QStringLiteral("Не удалось составить рисунок SVG."));
        chart.paint(painter, area);
        painter.end();
        break;
    }
    case PictureFormat::Pdf: {
        // One page of the picture's proportions, 270 mm wide, drawn at the asked pixel size.
        QPdfWriter pdf(&buffer);
        pdf.setTitle(chart.title());
        pdf.setCreator(QStringLiteral("Кварнел-ЛД5"));
        const QSizeF pageMm(270.0, 270.0 * size.height() / size.width());
        pdf.setPageSize(QPageSize(pageMm, QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(int(std::lround(size.width() / (270.0 / 25.4))));
        QPainter painter;
        if (!painter.begin(&pdf))
            throw KvError(QStringLiteral("Не удалось составить документ PDF."));
        const QRect viewport = painter.viewport();
        painter.scale(viewport.width() / area.width(), viewport.height() / area.height());
        chart.paint(painter, area);
        painter.end();
        break;
    }
    }
    buffer.close();
    fileio::saveAtomically(path, bytes);
}

} // namespace chart
