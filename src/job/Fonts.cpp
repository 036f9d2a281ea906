// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fonts.h"

#include "job/LabelLayout.h"
#include "job/NumberText.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QFont>
#include <QFontMetrics>
#include <QSet>
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

QStringList jobDrawnTexts(const LabelJob &job)
{
    // The same steps the renderer draws from, sample by sample: a text the sheet type does
    // not print (the circle entry on a number sheet, say) never stops a job.
    const CodeLayout *codeRow =
        job.code && job.sheetType.info().numbered ? codeLayout(job.sheetType) : nullptr;
    QStringList texts;
    QSet<QString> seen;
    for (int i = 0; i < job.sampleCount; ++i) {
        const LabelJob sample = sampleJob(job, i);
        LabelTexts t;
        t.enteredText = sample.enteredText;
        t.memo = sample.proofText;
        t.numberStyle = job.numberStyle;
        if (job.sheetType.info().numbered)
            t.number = labelNumberText(job.initialValue + i, job.numberStyle);
        const QVector<LabelStep> steps =
            codeRow ? labelSteps(codeRow->texts, t) : labelSteps(job.sheetType, t);
        for (const LabelStep &step : steps) {
            if (!step.text.isEmpty() && !seen.contains(step.text)) {
                seen.insert(step.text);
                texts << step.text;
            }
        }
    }
    return texts;
}

char32_t firstUndrawnCharacter(const QFont &font, const QStringList &texts)
{
    // QFontMetrics asks the font engine Qt lays text out with, which falls back on every
    // installed face for a character its own face lacks; the glyph runs QPainter draws come
    // from the same faces. (The glyph runs themselves would be the direct question, but
    // their QRawFont crashes when fontconfig knows no font at all.)
    const QFontMetrics metrics(font);
    QSet<char32_t> asked;
    for (const QString &text : texts) {
        for (const char32_t c : text.toUcs4()) {
            if (c == U'\n' || c == U'\r' || asked.contains(c))
                continue;
            asked.insert(c);
            if (!metrics.inFontUcs4(uint(c)))
                return c;
        }
    }
    return 0;
}

QString jobFontProblem(const LabelJob &job)
{
    const char32_t c = firstUndrawnCharacter(job.labelFont, jobDrawnTexts(job));
    if (c == 0)
        return QString();
    return QStringLiteral("ラベルを印刷できません: 文字「%1」（%2）を描けるフォントがありません。\n"
                          "「%3」にも、その代わりに使われるフォントにもこの文字がなく、ラベルには"
                          "空の四角が印刷されてしまいます。日本語フォント（fonts-ipafont-gothic "
                          "など）を入れるか、この文字を使わないでください。")
        .arg(visibleText(QString::fromUcs4(&c, 1)), codePointName(c),
             visibleText(job.labelFont.family()));
}

} // namespace corvial
