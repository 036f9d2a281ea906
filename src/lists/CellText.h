// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// How a spreadsheet shows a cell, for the readers of both workbook formats.
//
// A number is shown by the shape of its number format, as the spreadsheet would show it in
// a column wide enough:
// - General (and every format that is neither a date nor a time: "0.00", "#,##0", "0%"...):
//   the General form, so "1.50" in a "0.00" column reads "1.5"; labels carry the value, not
//   its decoration.
// - Date (the format shows a year, month or day, with or without a time): "yyyy/mm/dd"; a
//   time of day beside the date is dropped.
// - TimeOfDay ("h:mm", "hh:mm:ss", "h:mm AM/PM", "mm:ss"...): the time of day of the number's
//   fraction in 24-hour form "h:mm" ("hh:mm" when the format pads hours), with ":ss" when the
//   format shows seconds. The value is rounded to the second first and then cut to what the
//   format shows: 12:34:56 in "h:mm" shows "12:34", and 23:59:59.6 shows "0:00".
// - Elapsed ("[h]:mm", "[h]:mm:ss", "[m]:ss"...): the whole duration in hours, "36:00" for
//   1.5 days, with ":ss" when seconds are shown ("[m]:ss" too reads as hours).
// NaN, infinity, a date beyond 9999/12/31 and a negative date or time show no text (a
// spreadsheet shows "#####" or nothing there); readers refuse such cells by name.

enum class NumberShape { General, Date, TimeOfDay, Elapsed };

struct NumberFormat
{
    NumberShape shape = NumberShape::General;
    bool seconds = false;     // the format shows seconds
    bool paddedHours = false; // "hh": hours below 10 get a leading zero
};

// Shape of a number format: classified by its code when there is one, else by the built-in
// format id (0..163, the general and the Japanese locale's built-ins).
NumberFormat numberFormatOf(int numFmtId, const QString &formatCode);
// Text of value in format (see above), serial days in the 1900 or the 1904 system; empty
// when the value has none.
QString formattedNumberText(double value, const NumberFormat &format, bool system1904);
// A number as a spreadsheet's General format shows it in a standard column: at most ten
// significant digits, no trailing zeros or point ("1", "0.333333333", "-2.5"), and from
// 1E+11 on (or below 1E-09) in exponent form "1.23457E+11"; "0" for numbers closer to zero
// than the smallest normal double (the spreadsheet has none); empty for NaN and infinity.
QString generalNumberText(double value);
// Date of a spreadsheet day number (the 1900 system, with its day 60 = 1900/02/29, or the
// 1904 system) as "yyyy/mm/dd"; the time of day is dropped. Empty for a number no date
// stands for (negative, or beyond 9999/12/31).
QString serialDateText(double serial, bool system1904);
// "yyyy/mm/dd" of an ISO date "YYYY-MM-DD" (anything after it, such as a time, is dropped);
// the text unchanged when it does not start with one.
QString isoDateText(const QString &iso);
// The sentence refusing a number cell whose value cannot be shown (see formattedNumberText):
// names the cell (column, row from 0) and the value as stored.
QString unshowableNumberText(int column, int row, const QString &stored);
// The sentence refusing a cell that holds a spreadsheet error value such as "#N/A".
QString errorCellText(int column, int row, const QString &errorName);
// The sentence refusing a formula cell saved without its result.
QString uncachedFormulaText(int column, int row);
// Cell name as a spreadsheet shows it for column and row counted from 0: (1, 6) is "B7".
QString listCellName(int column, int row);
// Column name for column counted from 0: 0 "A", 25 "Z", 26 "AA".
QString listColumnName(int column);
// Column counted from 0 of the letters at the start of a cell reference such as "AB12";
// -1 when it starts with no letter or names a column beyond 16383 (XFD).
int columnOfReference(const QString &reference);

} // namespace corvial
