// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// How a spreadsheet shows a cell, for the readers of both workbook formats.

// A number as a spreadsheet's General format shows it in a standard column: at most ten
// significant digits, no trailing zeros or point ("1", "0.333333333", "-2.5"), and from
// 1E+11 on (or below 1E-09) in exponent form "1.23457E+11".
QString generalNumberText(double value);
// Date of a spreadsheet day number (the 1900 system, with its day 60 = 1900/02/29, or the
// 1904 system) as "yyyy/mm/dd"; the time of day is dropped. Empty for a number no date
// stands for (negative, or beyond 9999/12/31).
QString serialDateText(double serial, bool system1904);
// "yyyy/mm/dd" of an ISO date "YYYY-MM-DD" (anything after it, such as a time, is dropped);
// the text unchanged when it does not start with one.
QString isoDateText(const QString &iso);
// Cell name as a spreadsheet shows it for column and row counted from 0: (1, 6) is "B7".
QString listCellName(int column, int row);
// Column name for column counted from 0: 0 "A", 25 "Z", 26 "AA".
QString listColumnName(int column);
// Column counted from 0 of the letters at the start of a cell reference such as "AB12";
// -1 when it starts with no letter or names a column beyond 16383 (XFD).
int columnOfReference(const QString &reference);

} // namespace corvial
