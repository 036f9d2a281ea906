// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// How much larger than drawn a job is put on the page, across (x) and along (y), in tenths
// of a percent: 1000 is 100.0 %. It mends a printer that stretches or shrinks its pages; one
// pair belongs to one start.txt, as the offsets do.
struct PrinterScale
{
    int permilleX = 1000;
    int permilleY = 1000;

    // True at 100.0 % both ways, where every job is drawn exactly as without a scale.
    bool isIdentity() const;
    friend bool operator==(PrinterScale a, PrinterScale b)
    {
        return a.permilleX == b.permilleX && a.permilleY == b.permilleY;
    }
    friend bool operator!=(PrinterScale a, PrinterScale b) { return !(a == b); }
};

// The factors a scale may have, in tenths of a percent (97.0 % .. 103.0 %): more than the
// 1 % printers are known to stretch, less than a wrong measurement would ask for.
constexpr int ScalePermilleMin = 970;
constexpr int ScalePermilleMax = 1030;
constexpr int ScalePermilleNominal = 1000;

// Lengths of the two rulers of the calibration sheet, in millimetres.
constexpr int RulerAcrossMm = 180;
constexpr int RulerAlongMm = 260;

// True for a factor in ScalePermilleMin..ScalePermilleMax.
bool isScalePermille(int permille);
// The factor that makes a ruler drawn nominalMm long come out at nominalMm when the printer
// put it measuredMm long (both > 0): nominal / measured in tenths of a percent, rounded to
// the nearest. -1 when measuredMm is not > 0; the result may lie outside the range.
int scaleFromMeasured(double nominalMm, double measuredMm);
// A factor as written in the settings and shown: "101.0", "99.5", "100.0".
QString formatScalePercent(int permille);
// The range as messages and help name it: "97.0 〜 103.0 %".
QString scaleRangeText();
// Reads a factor in percent: digits with at most one decimal ("101", "99.5", blanks around
// it allowed, a "%" after it too). False with a Japanese reason in *reason for anything
// else, for a value finer than 0.1 % and for one outside the range; *permille then stays.
bool parseScalePercent(const QString &text, int *permille, QString *reason);

} // namespace corvial
