// Shape1, the link indicator: a circle as wide as its box, centred in it, with a
// thin black outline, filled with the colour the worker asks for.
#pragma once

#include "link/worker_host.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

// A colour of the form 0x00BBGGRR as Qt's colour; SystemGrayText becomes the
// palette's greyed-text colour.
QColor ColorToQColor(TColor color, const QPalette &palette);

class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget *parent = nullptr);

    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TColor FBrushColor = SystemGrayText;
};
