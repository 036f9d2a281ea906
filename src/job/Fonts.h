// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/LabelJob.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace corvial {

// Face names the program's texts are set in.
QString uiFaceName();       // "ＭＳ Ｐゴシック"
QString verticalFaceName(); // "@ＭＳ ゴシック"

// Maps the Windows Japanese faces the program names onto installed Japanese Gothic faces
// (IPA, Noto CJK, ...), so Japanese text never falls back to a Latin face. Call once after
// the QGuiApplication exists; calling again does no harm.
void installJapaneseFontSubstitutions();

// Why labels set in font would print as empty boxes: no installed face draws the digits of
// a sample number with it. Empty when the font prints. Needs a QGuiApplication.
QString labelFontProblem(const QFont &font);

// The texts the labels of job draw, each once, in the order they are drawn: every sample's
// text as its sheet type prints it (a sample list's texts included) and every sample number.
QStringList jobDrawnTexts(const LabelJob &job);
// The first character of texts, in order, that font draws as an empty box even with every
// face Qt falls back on, as the printer draws it; 0 when every character is drawn. Needs a
// QGuiApplication.
char32_t firstUndrawnCharacter(const QFont &font, const QStringList &texts);
// Why job cannot print with its label font, in Japanese, naming the first character that no
// installed face draws and its U+XXXX; empty when every character of the job prints. Needs a
// QGuiApplication.
QString jobFontProblem(const LabelJob &job);

} // namespace corvial
