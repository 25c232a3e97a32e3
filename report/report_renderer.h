// SPDX-License-Identifier: Apache-2.0
// Drawing prepared report pages with Qt: onto any painter, millimetres turned into
// device units, or onto a paged device (printer, PDF writer) page by page.
#pragma once

#include "report/prepared_pages.h"

#include <QFont>
#include <string>
#include <vector>

class QPainter;
class QPagedPaintDevice;

QFont ToQFont(const TReportFont &font);

// The width of the text's widest line in millimetres, measured at a resolution
// fine enough that the printer and the PDF writer draw it no wider.
double MeasureTextMm(const TReportFont &font, const std::string &text);

// Draws one page with the paper's top-left corner at the painter's origin.
void RenderPreparedPage(QPainter &painter, const TPreparedPage &page, double unitsPerMmX,
                        double unitsPerMmY);

// Draws pages first to last (0-based, inclusive) onto a device whose painting
// origin is the paper's corner (a printer in full-page mode, a PDF writer without
// margins), starting a new device page for each. Throws std::runtime_error when
// the device cannot be painted on.
void RenderPreparedPages(QPagedPaintDevice &device, const std::vector<TPreparedPage> &pages,
                         std::size_t first, std::size_t last);
