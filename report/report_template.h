// SPDX-License-Identifier: Apache-2.0
// The template of a banded report as plain data: a page with its objects and its
// bands. Lengths are millimetres; positions of page objects count from the top-left
// corner of the printable area, those of band objects from the top-left corner of
// their band. Nothing here draws.
#pragma once

#include <string>
#include <variant>
#include <vector>

class TReportDataSet;

struct TReportFont {
    std::string Family = "Arial";
    double SizePt = 10;
    bool Bold = false;

    bool operator==(const TReportFont &) const = default;
};

enum class TTextAlign { Left, Center, Right };

struct TReportBox {
    double Left = 0, Top = 0, Width = 0, Height = 0;

    double Right() const { return Left + Width; }
    double Bottom() const { return Top + Height; }
    bool operator==(const TReportBox &) const = default;
};

// The blank kept inside a text box on its left and right, so that a text never
// touches the box's edge (about two screen pixels).
inline constexpr double TextGapMm = 0.5;

// A text box. Its text may hold expressions in square brackets: [DATE], [TIME] and
// [<record source>."<field>"]. Texts are top-aligned, clipped at the box.
struct TTextObject {
    std::string Name;
    TReportBox Box;
    std::string Text;  // UTF-8; lines separated by '\n'
    TReportFont Font;
    TTextAlign Align = TTextAlign::Left;
    bool WordWrap = true;
    // Off: square brackets are printed as they stand.
    bool AllowExpressions = true;
    // On: the box keeps its right edge and takes the width of its text, which then
    // stays on one line.
    bool AutoWidth = false;
    // On: the text stays on one line in its box; a text wider than the box is
    // drawn condensed to the box's width rather than wrapped below the box's
    // bottom, where the clip would hide it (a data row's "PM", say).
    bool FitWidth = false;
};

// A thin black line from the box's top-left to its bottom-right corner; a
// horizontal rule has height 0.
struct TLineObject {
    std::string Name;
    TReportBox Box;
};

using TReportObject = std::variant<TTextObject, TLineObject>;

enum class TBandKind {
    ReportTitle,   // once, at the top of the first page
    ColumnHeader,  // under the title on the first page, at the top of every further page
    MasterData,    // once per record of its record source
};

struct TReportBand {
    std::string Name;
    TBandKind Kind = TBandKind::MasterData;
    double Height = 0;
    std::vector<TReportObject> Objects;
    TReportDataSet *DataSet = nullptr;  // the record source of a data band
};

struct TReportPage {
    std::string Name;
    double PaperWidth = 210, PaperHeight = 297;  // A4 portrait
    double MarginLeft = 10, MarginTop = 10, MarginRight = 10, MarginBottom = 10;
    // Printed once, on the first page, over the bands.
    std::vector<TReportObject> Objects;
    // Printed in this order, one below the other with no gap.
    std::vector<TReportBand> Bands;

    double PrintableWidth() const { return PaperWidth - MarginLeft - MarginRight; }
    double PrintableHeight() const { return PaperHeight - MarginTop - MarginBottom; }
};
