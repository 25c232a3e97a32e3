// SPDX-License-Identifier: Apache-2.0
#include "app/window_font.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont WindowFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    // Qt substitutes a missing family silently; QFontInfo tells what was found.
    if (QFontInfo(font).family().compare(QStringLiteral("Tahoma"), Qt::CaseInsensitive) != 0) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSize(8);
    }
    return font;
}
