#include "app/indicator_shape.h"

#include <QPainter>

#include <algorithm>

QColor ColorToQColor(TColor color, const QPalette &palette)
{
    if (color == SystemGrayText)
        return palette.color(QPalette::Disabled, QPalette::Text);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TShape::TShape(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TShape::SetBrushColor(TColor color)
{
    if (color == FBrushColor)
        return;
    FBrushColor = color;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(ColorToQColor(FBrushColor, palette()));
    // The circle spans the box's smaller side, centred; the outline's centre line
    // lies half a pixel inside, so the circle covers exactly that many pixels.
    const int side = std::min(width(), height());
    const QRectF circle((width() - side) / 2.0 + 0.5, (height() - side) / 2.0 + 0.5, side - 1, side - 1);
    painter.drawEllipse(circle);
}
