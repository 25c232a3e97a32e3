// SPDX-License-Identifier: Apache-2.0
// Shape1, the link indicator: a circle as wide as its box, centred in it, with a
// thin black outline, filled with the colour the worker asks for. Assistive
// technology reads it as a status bar whose name says the link state in words.
#pragma once

#include "link/worker_host.h"

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

// A colour of the form 0x00BBGGRR as Qt's colour; SystemGrayText becomes the
// palette's greyed-text colour.
QColor ColorToQColor(TColor color, const QPalette &palette);

// The link state that an indicator colour stands for, in words: "Link idle"
// (grey), "Searching for the meter" (blue), "Connected to the meter" (red),
// "Meter answered" (yellow); empty for any other colour.
QString LinkStateText(TColor color);

class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget *parent = nullptr);

    TColor BrushColor() const { return FBrushColor; }
    // Repaints the circle and, with it, renames the indicator for assistive
    // technology, which hears of the change.
    void SetBrushColor(TColor color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TColor FBrushColor = SystemGrayText;
};
