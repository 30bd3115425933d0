#pragma once

#include "output/xls/XlsValue.h"

#include <QString>

#include <array>
#include <cstdint>

struct TvteXLSFont {
    enum class Pitch : std::uint8_t { Default = 0, Fixed = 1, Variable = 2 }; // pitch-and-family byte
    QString Name = QStringLiteral("Arial");
    int Size = 10; // points
    TvteXLSColor Color = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    std::uint8_t Charset = 1; // the default character set
    Pitch FontPitch = Pitch::Default;

    // Face names compare case-sensitively; colours as stored, before a system colour is resolved.
    bool operator==(const TvteXLSFont&) const = default;
};

struct TvteXLSBorder {
    TvteXLSColor Color = 0;
    std::uint8_t LineStyle = 0; // the cell border line style code of the file; 0 draws nothing
    std::uint8_t Weight = 0;    // kept for the caller, not written
    bool drawn() const { return LineStyle != 0; }
};

struct TvteXLSBorders {
    enum Edge { DiagonalDown = 0, DiagonalUp = 1, Bottom = 2, Left = 3, Right = 4, Top = 5 };
    std::array<TvteXLSBorder, 6> items{};
    TvteXLSBorder& operator[](Edge e) { return items[e]; }
    const TvteXLSBorder& operator[](Edge e) const { return items[e]; }
};

struct TvteXLSPageSetup {
    bool BlackAndWhite = false;
    QString CenterFooter;
    QString CenterHeader;
    bool CenterHorizontally = false;
    bool CenterVertically = false;
    bool Draft = false;
    std::int32_t FirstPageNumber = 1;
    std::int32_t FitToPagesTall = 1;
    std::int32_t FitToPagesWide = 1;
    QString LeftFooter;
    QString LeftHeader;
    std::uint8_t Order = 0;       // 1: over, then down
    std::uint8_t Orientation = 0; // 0 portrait, otherwise landscape
    std::uint8_t PaperSize = 9;   // A4
    bool PrintGridLines = false;
    bool PrintHeadings = false;
    bool PrintNotes = false;
    QString RightFooter;
    QString RightHeader;
    // The margin records read these as inches; they are kept unconverted.
    double LeftMargin = 2.0;
    double RightMargin = 2.0;
    double TopMargin = 2.5;
    double BottomMargin = 2.5;
    double FooterMargin = 0;
    double HeaderMargin = 0;
    std::int32_t Zoom = 100;
    std::int32_t Copies = 0;
};
