// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/SheetTypes.h"

#include <QString>

class QWidget;

namespace corvial {

class TfrmMain;

// The entry control a label text of this kind is typed into (Edit2, Memo8 or Memo5); nullptr
// for the marker, which is chosen rather than typed.
QWidget *textBoxControl(const TfrmMain &w, TextBoxKind kind);
// The text of such a control, "\n" between lines; empty for nullptr.
QString textBoxText(const QWidget *control);
// Puts text into such a control; nothing for nullptr.
void setTextBoxText(QWidget *control, const QString &text);
// The sheet type of the window's type choice 1..SheetTypeCount; type 1 for any other number,
// which the window never holds.
SheetType chosenSheetType(int choice);

} // namespace corvial
