// SPDX-License-Identifier: Apache-2.0
// The wait overlay Form12, shown while acquisition stops or the program ends.
#include "app/Unit12.h"

#include "app/window_font.h"

#include <algorithm>

TForm12::TForm12(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    // It only asks the operator to wait: the keyboard stays with the main
    // window, which takes no input while the overlay is up.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(WindowFont());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(StopOverlayWidth, StopOverlayHeight);

    Panel1 = new QLabel(StopOverlayCaption, this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setGeometry(0, 0, StopOverlayWidth, StopOverlayHeight);
}

void TForm12::resizeEvent(QResizeEvent *event)
{
    Panel1->setGeometry(rect());
    QWidget::resizeEvent(event);
}

QPoint StopOverlayPosition(const QRect &mainFrame, const QSize &overlayFrame)
{
    return {mainFrame.left() + ((mainFrame.width() - overlayFrame.width()) >> 1),
            mainFrame.top() + ((mainFrame.height() - overlayFrame.height()) >> 1)};
}

QPoint FirstShowOverlayPosition(const QRect &mainFrame, const QSize &overlayFrame, const QRect &desktop)
{
    const int left = mainFrame.left() + (mainFrame.width() - overlayFrame.width()) / 2;
    const int top = mainFrame.top() + (mainFrame.height() - overlayFrame.height()) / 2;
    return {std::max(left, desktop.left()), std::max(top, desktop.top())};
}
