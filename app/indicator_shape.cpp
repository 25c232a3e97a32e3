// SPDX-License-Identifier: Apache-2.0
#include "app/indicator_shape.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <mutex>

namespace {

// The indicator tells the operator how the link stands, and changes by itself:
// a status bar, which screen readers read out on request.
QAccessibleInterface *IndicatorAccessible(const QString &, QObject *object)
{
    if (auto *shape = qobject_cast<TShape *>(object))
        return new QAccessibleWidget(shape, QAccessible::StatusBar);
    return nullptr;
}

} // namespace

QColor ColorToQColor(TColor color, const QPalette &palette)
{
    if (color == SystemGrayText)
        return palette.color(QPalette::Disabled, QPalette::Text);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

QString LinkStateText(TColor color)
{
    switch (color) {
    case IndicatorGrey: return QStringLiteral("Link idle");
    case IndicatorBlue: return QStringLiteral("Searching for the meter");
    case IndicatorRed: return QStringLiteral("Connected to the meter");
    case IndicatorYellow: return QStringLiteral("Meter answered");
    default: return {};
    }
}

TShape::TShape(QWidget *parent) : QWidget(parent)
{
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(IndicatorAccessible); });
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(LinkStateText(FBrushColor));
}

void TShape::SetBrushColor(TColor color)
{
    if (color == FBrushColor)
        return;
    FBrushColor = color;
    update();
    // Sends the name change to assistive technology.
    setAccessibleName(LinkStateText(color));
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
