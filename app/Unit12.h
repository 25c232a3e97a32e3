// SPDX-License-Identifier: Apache-2.0
// The overlay Form12: a small borderless window on top of the others that asks
// the operator to wait while acquisition stops or the program ends.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

inline const QString StopOverlayCaption = QStringLiteral("Shuting down.... please wait");
inline constexpr int StopOverlayWidth = 189;
inline constexpr int StopOverlayHeight = 56;

class TForm12 : public QWidget {
    Q_OBJECT
public:
    // Hidden until shown; takes no focus when shown.
    explicit TForm12(QWidget *parent = nullptr);

    // Fills the window with a raised edge and the caption centred.
    QLabel *Panel1;

protected:
    void resizeEvent(QResizeEvent *event) override;
};

// Where the overlay goes each time it is shown: centred on the main window's
// outer frame, each difference halved by an arithmetic shift right.
QPoint StopOverlayPosition(const QRect &mainFrame, const QSize &overlayFrame);

// Where the overlay's stored placement puts it the first time it is shown:
// centred with the halving truncating towards zero, then moved onto the
// desktop's left or top edge when it would lie beyond it.
QPoint FirstShowOverlayPosition(const QRect &mainFrame, const QSize &overlayFrame, const QRect &desktop);
