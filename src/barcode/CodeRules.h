// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "barcode/DataMatrix.h"
#include "job/LabelJob.h"
#include "job/SheetTypes.h"

#include <QString>
#include <QVector>

namespace corvial {

// How big a sample's 2-D code is printed and where it goes. The code holds the prefix the
// user typed followed by the sample number exactly as the label prints it ("LAB-0007", or
// "LAB-7" with plain numbers).

// Module size. A module is a whole number of printer dots, so that every module of a
// symbol comes out the same size: the largest whole number of dots not above 1/75 inch
// (0.339 mm), but at least 2 dots and at least 0.25 mm. That gives 8 dots at 600 dpi, 4 at
// 300 dpi and 16 at 1200 dpi, all exactly 0.339 mm; 2 dots at 200 dpi (0.254 mm); 3 dots at
// 220 dpi (0.346 mm, where 2 dots would be under 0.25 mm). Below 150 dpi the 2-dot floor
// makes the module larger than 1/75 inch and the larger symbols no longer fit their square
// (placeCode then says so). 0.25 mm is the smallest module that ordinary hand and rack
// scanners resolve on a thermal or laser print; 1/75 inch is the size the code squares of
// the label layouts are measured in.
constexpr int NominalModulesPerInch = 75;
constexpr int MinModuleDots = 2;
constexpr int MinModuleMicrons = 250;
// Light modules around the symbol, on every side; nothing else is drawn in them.
constexpr int QuietZoneModules = 1;
// Characters a prefix may have at most, on any sheet type.
constexpr int PrefixMaxChars = 8;

// Dots a side of one module at dpi dots per inch (dpi > 0; anything else gives the floor).
int moduleDots(int dpi);

// True for the characters a prefix may hold: visible ASCII, '!' .. '~'. A space is refused
// too: it cannot be seen on the label, and ID fields of lab systems trim it.
bool isPrefixCharacter(QChar c);
// The typed text with every character removed that a prefix may not hold, as refusing
// each one as it is typed would have left it.
QString prefixCharactersOnly(const QString &typed);

// Characters of the widest sample number a label prints (labelNumberText keeps the last
// four characters of a five-digit number, so a job that passes 9999 prints four).
int widestNumberChars();

// The longest prefix the sheet type allows: as many characters as the largest square
// symbol that fits the type's code square (with its quiet zone, at the nominal module of
// 1/75 inch, inside the label box's height) can hold next to the widest number, at most
// PrefixMaxChars. Any printable ASCII character costs at most one data codeword and two
// digits one, so every prefix of that length fits whatever its characters. -1 for a type
// that has no code row or no room for a code.
int longestPrefix(SheetType sheetType);
// True when the sheet type can print a code (longestPrefix >= 0).
bool hasCodeRoom(SheetType sheetType);
// Empty when prefix may be printed in the codes of the sheet type; otherwise the
// message that refuses it, naming the prefix and giving the longest prefix the type
// allows (or saying that the type has no room for a code).
QString prefixProblem(const QString &prefix, SheetType sheetType);

// Empty when the 2-D codes of job may be printed on its sheet type: none asked for, or a
// type with room for them and a prefix it allows; otherwise prefixProblem's message. The
// resolution is the output's, checked with codeResolutionProblem.
QString jobCodeProblem(const LabelJob &job);

// Empty when the largest symbol that the sheet type allows, with its quiet zone, fits the
// type's code square at dpiX x dpiY dots per inch, wherever the label lies on the page;
// otherwise the message that says the printer's resolution is too coarse. Checked before a
// job prints, so that no sheet stops half drawn.
QString codeResolutionProblem(SheetType sheetType, int dpiX, int dpiY);

// The data of one label's code: the prefix followed by the number text as printed.
QByteArray codeData(const QString &prefix, const QString &numberText);

// A rectangle in printer dots, left/top inclusive and right/bottom exclusive.
struct DotRect
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool operator==(const DotRect &o) const
    {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2;
    }
};

// One code placed on the page: the light square of symbol and quiet zone, and the dark
// modules on it.
struct PlacedCode
{
    DotRect quiet;
    QVector<DotRect> dark;
    QString error; // Japanese; empty when the code fits its square
};

// Places a symbol in a label's code square, in dots: the quiet zone starts at the square's
// left edge `left`, the symbol is centred vertically between `top` and `bottom` (the
// label's box), modules of moduleDots(dpiX) x moduleDots(dpiY). Refused with an error when
// symbol and quiet zone reach past `right` (the square's right edge) or past the label's
// height, or when the symbol is not valid.
PlacedCode placeCode(const DataMatrixSymbol &symbol, int left, int right, int top, int bottom,
                     int dpiX, int dpiY);

} // namespace corvial
