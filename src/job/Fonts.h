// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace corvial {

// Face names the program's texts are set in.
QString uiFaceName();       // "ＭＳ Ｐゴシック"
QString verticalFaceName(); // "@ＭＳ ゴシック"

// Maps the Windows Japanese faces the program names onto installed Japanese Gothic faces
// (IPA, Noto CJK, ...), so Japanese text never falls back to a Latin face. Call once after
// the QGuiApplication exists; calling again does no harm.
void installJapaneseFontSubstitutions();

} // namespace corvial
