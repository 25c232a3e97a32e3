#include "platform/report/report_renderer.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringList>
#include <stdexcept>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kMeasureDpi = 1200;
// The engine's thin line: one screen pixel at 96 per inch.
constexpr double kLineWidthMm = kMmPerInch / 96;

int AlignmentFlags(TTextAlign align)
{
    switch (align) {
    case TTextAlign::Center: return Qt::AlignHCenter;
    case TTextAlign::Right: return Qt::AlignRight;
    case TTextAlign::Left: break;
    }
    return Qt::AlignLeft;
}

QRectF ToDevice(const TReportBox &box, double x0, double y0, double sx, double sy)
{
    return QRectF((x0 + box.Left) * sx, (y0 + box.Top) * sy, box.Width * sx, box.Height * sy);
}

void DrawText(QPainter &painter, const TPreparedText &text, double x0, double y0, double sx, double sy)
{
    const QRectF box = ToDevice(text.Box, x0, y0, sx, sy);
    QRectF inner = box.adjusted(TextGapMm * sx, 0, -TextGapMm * sx, 0);
    if (inner.width() < 0)
        inner.setWidth(0);
    int flags = AlignmentFlags(text.Align) | Qt::AlignTop;
    if (text.WordWrap)
        flags |= Qt::TextWordWrap;
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(ToQFont(text.Font));
    painter.setPen(Qt::black);
    // An unwrapped line may reach beyond the inner box; the clip still holds it.
    painter.drawText(inner, flags | Qt::TextDontClip, QString::fromUtf8(text.Text.data(),
                                                                         static_cast<qsizetype>(text.Text.size())));
    painter.restore();
}

void DrawLine(QPainter &painter, const TPreparedLine &line, double x0, double y0, double sx, double sy)
{
    const QRectF box = ToDevice(line.Box, x0, y0, sx, sy);
    painter.save();
    QPen pen(Qt::black);
    pen.setWidthF(kLineWidthMm * sx);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.restore();
}

} // namespace

QFont ToQFont(const TReportFont &font)
{
    QFont result(QString::fromStdString(font.Family));
    result.setPointSizeF(font.SizePt);
    result.setBold(font.Bold);
    return result;
}

double MeasureTextMm(const TReportFont &font, const std::string &text)
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = static_cast<int>(kMeasureDpi / kMmPerInch * 1000 + 0.5);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    const QFontMetricsF metrics(ToQFont(font), &device);
    double widest = 0;
    for (const QString &line : QString::fromStdString(text).split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest * kMmPerInch / device.logicalDpiX();
}

void RenderPreparedPage(QPainter &painter, const TPreparedPage &page, double unitsPerMmX,
                        double unitsPerMmY)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (const TPreparedObject &object : page.Objects) {
        if (const auto *text = std::get_if<TPreparedText>(&object))
            DrawText(painter, *text, page.MarginLeft, page.MarginTop, unitsPerMmX, unitsPerMmY);
        else
            DrawLine(painter, std::get<TPreparedLine>(object), page.MarginLeft, page.MarginTop,
                     unitsPerMmX, unitsPerMmY);
    }
    painter.restore();
}

void RenderPreparedPages(QPagedPaintDevice &device, const std::vector<TPreparedPage> &pages,
                         std::size_t first, std::size_t last)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw std::runtime_error("The report could not be started on the printer or file");
    const double sx = device.logicalDpiX() / kMmPerInch;
    const double sy = device.logicalDpiY() / kMmPerInch;
    for (std::size_t i = first; i <= last && i < pages.size(); ++i) {
        if (i > first && !device.newPage()) {
            painter.end();
            throw std::runtime_error("The printer or file refused a new page of the report");
        }
        RenderPreparedPage(painter, pages[i], sx, sy);
    }
    if (!painter.end())
        throw std::runtime_error("The report could not be finished on the printer or file");
}
