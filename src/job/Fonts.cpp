// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fonts.h"

#include <QFont>
#include <QFontMetrics>
#include <QStringList>

namespace corvial {

QString uiFaceName()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

QString verticalFaceName()
{
    return QStringLiteral("@ＭＳ ゴシック");
}

void installJapaneseFontSubstitutions()
{
    // Proportional faces first for the proportional MS face, fixed-pitch ones first for the
    // fixed one; whichever of them is installed wins.
    const QStringList proportional = {
        QStringLiteral("IPAPGothic"),       QStringLiteral("IPAexGothic"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
        QStringLiteral("VL PGothic"),       QStringLiteral("IPAGothic"),
        QStringLiteral("TakaoPGothic"),
    };
    const QStringList fixed = {
        QStringLiteral("IPAGothic"),        QStringLiteral("Noto Sans Mono CJK JP"),
        QStringLiteral("VL Gothic"),        QStringLiteral("IPAPGothic"),
        QStringLiteral("Noto Sans CJK JP"),
    };
    // The whole lists go in, in order: Qt takes the first one that is installed. Filtering
    // them by QFontDatabase::families() would miss every one of them in a Japanese locale,
    // where fontconfig lists the localised names ("IPA Pゴシック"), and leave the fixed-pitch
    // default face for the proportional one.
    const QStringList &p = proportional;
    const QStringList &f = fixed;
    QFont::insertSubstitutions(uiFaceName(), p);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), f);
    QFont::insertSubstitutions(verticalFaceName(), f);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), p);
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), f);
}

QString labelFontProblem(const QFont &font)
{
    // Asked of the font the system really draws with, after every substitution and its
    // fallbacks. (QRawFont would be the direct question, but crashes when fontconfig knows
    // no font at all.)
    const QFontMetrics metrics(font);
    bool digits = true;
    for (char c = '0'; digits && c <= '9'; ++c)
        digits = metrics.inFont(QLatin1Char(c));
    if (digits)
        return QString();
    return QStringLiteral("ラベルを印刷できるフォントがありません: 「%1」の代わりになるフォントで"
                          "数字を描けません。\n日本語フォント（fonts-ipafont-gothic など）を"
                          "入れてください。")
        .arg(font.family());
}

} // namespace corvial
