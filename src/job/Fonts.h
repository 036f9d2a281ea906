// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

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

} // namespace corvial
