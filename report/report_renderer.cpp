// SPDX-License-Identifier: Apache-2.0
#include "report/report_renderer.h"

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

// Draws one object after another, changing font and pen only when they change:
// a long report has a hundred thousand texts in a few fonts.
class TPagePainter {
public:
    TPagePainter(QPainter &painter, const TPreparedPage &page, double sx, double sy)
        : FPainter(painter), FX0(page.MarginLeft), FY0(page.MarginTop), FSx(sx), FSy(sy)
    {
        FLinePen.setWidthF(kLineWidthMm * sx);
        FLinePen.setCapStyle(Qt::FlatCap);
    }

    void Draw(const TPreparedText &text)
    {
        const QRectF box = ToDevice(text.Box, FX0, FY0, FSx, FSy);
        QRectF inner = box.adjusted(TextGapMm * FSx, 0, -TextGapMm * FSx, 0);
        if (inner.width() < 0)
            inner.setWidth(0);
        int flags = AlignmentFlags(text.Align) | Qt::AlignTop | Qt::TextDontClip;
        if (text.WordWrap)
            flags |= Qt::TextWordWrap;
        if (!FHaveFont || !(text.Font == FFont)) {
            FPainter.setFont(ToQFont(text.Font));
            FFont = text.Font;
            FHaveFont = true;
        }
        UsePen(FTextPen);
        // The clip holds the text in its box, an unwrapped line included.
        FPainter.setClipRect(box);
        const QString line = QString::fromUtf8(text.Text.data(), static_cast<qsizetype>(text.Text.size()));
        if (text.Condense < 1 && text.Condense > 0) {
            // Drawn into a box as much wider as the text is to be narrower,
            // then squeezed onto the box: the alignment holds as it is.
            FPainter.save();
            FPainter.translate(inner.left(), 0);
            FPainter.scale(text.Condense, 1);
            FPainter.drawText(QRectF(0, inner.top(), inner.width() / text.Condense, inner.height()), flags, line);
            FPainter.restore();
        } else {
            FPainter.drawText(inner, flags, line);
        }
        FPainter.setClipping(false);
    }

    void Draw(const TPreparedLine &line)
    {
        const QRectF box = ToDevice(line.Box, FX0, FY0, FSx, FSy);
        UsePen(FLinePen);
        FPainter.drawLine(box.topLeft(), box.bottomRight());
    }

private:
    QPainter &FPainter;
    double FX0, FY0, FSx, FSy;
    QPen FTextPen{Qt::black};
    QPen FLinePen{Qt::black};
    const QPen *FCurrentPen = nullptr;
    TReportFont FFont;
    bool FHaveFont = false;

    void UsePen(const QPen &pen)
    {
        if (FCurrentPen != &pen) {
            FPainter.setPen(pen);
            FCurrentPen = &pen;
        }
    }
};

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
    TPagePainter pagePainter(painter, page, unitsPerMmX, unitsPerMmY);
    for (const TPreparedObject &object : page.Objects)
        std::visit([&pagePainter](const auto &item) { pagePainter.Draw(item); }, object);
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
