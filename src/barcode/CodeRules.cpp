// SPDX-License-Identifier: GPL-3.0-or-later
#include "barcode/CodeRules.h"

#include "job/JobRules.h"
#include "job/LabelLayout.h"
#include "job/NumberText.h"
#include "job/SheetTypes.h"

#include <QtGlobal>

namespace corvial {

namespace {

constexpr int MicronsPerInch = 25400;
// Layout units of 1/250 inch per inch.
constexpr int UnitsPerInch = 250;

// Data codewords the widest number can take: ASCII encodation puts two digits in one.
int numberCodewords()
{
    return (widestNumberChars() + 1) / 2;
}

} // namespace

int moduleDots(int dpi)
{
    if (dpi <= 0)
        return MinModuleDots;
    const int nominal = dpi / NominalModulesPerInch;
    const int floorDots =
        int((qint64(dpi) * MinModuleMicrons + MicronsPerInch - 1) / MicronsPerInch);
    return qMax(nominal, qMax(MinModuleDots, floorDots));
}

bool isPrefixCharacter(QChar c)
{
    return c.unicode() > 0x20 && c.unicode() < 0x7F;
}

QString prefixCharactersOnly(const QString &typed)
{
    QString kept;
    for (const QChar c : typed) {
        if (isPrefixCharacter(c))
            kept.append(c);
    }
    return kept;
}

int widestNumberChars()
{
    // The highest number a job reaches: its first number and one more sample per label.
    const int highest = MaxFirstNumber + MaxJobLabels - 1;
    int widest = 0;
    for (const NumberStyle style : {NumberStyle::Padded, NumberStyle::Plain}) {
        for (int value = 0; value <= highest; value = value * 10 + 9)
            widest = qMax(widest, int(labelNumberText(value, style).size()));
        widest = qMax(widest, int(labelNumberText(highest, style).size()));
    }
    return widest;
}

namespace {

// Side in layout units of the square a code of sheet type 1..10 may take: its row's square,
// but never more than the label is high; 0 for a type without a code row.
int codeSide(SheetType sheetType)
{
    const CodeLayout *row = codeLayout(sheetType);
    if (!row)
        return 0;
    return qMin(row->code.side, sheetType.family().labelHeight);
}

// The largest symbol the type's square takes at the nominal module; 0 when none does.
int largestSymbolOf(SheetType sheetType)
{
    const int modules =
        codeSide(sheetType) * NominalModulesPerInch / UnitsPerInch - 2 * QuietZoneModules;
    return largestSquareSymbol(modules);
}

// Dots that a length of `units` layout units covers at least, wherever it starts: the page
// converts both ends by truncation, which can lose one dot of the span but no more than the
// truncated span itself.
int leastDots(int units, int dpi)
{
    return int(qint64(units) * dpi / UnitsPerInch);
}

} // namespace

int longestPrefix(SheetType sheetType)
{
    const int symbol = largestSymbolOf(sheetType);
    if (symbol == 0)
        return -1;
    const int room = squareDataCodewords(symbol) - numberCodewords();
    return room < 0 ? -1 : qMin(room, PrefixMaxChars);
}

bool hasCodeRoom(SheetType sheetType)
{
    return longestPrefix(sheetType) >= 0;
}

QString prefixProblem(const QString &prefix, SheetType sheetType)
{
    const int longest = longestPrefix(sheetType);
    if (longest < 0)
        return QStringLiteral("シートタイプ %1 のラベルには2次元コードを印刷する場所がありません。")
            .arg(sheetType.code());
    for (const QChar c : prefix) {
        if (!isPrefixCharacter(c))
            return QStringLiteral("コードの頭文字「%1」に使えない文字「%2」があります。"
                                  "ASCII の文字（空白を除く）だけが使えます。")
                .arg(prefix, QString(c));
    }
    if (prefix.size() > longest)
        return QStringLiteral("コードの頭文字「%1」は長すぎます。シートタイプ %2 のラベルの2次元"
                              "コードには %3 文字までの頭文字しか入りません。")
            .arg(prefix)
            .arg(sheetType.code())
            .arg(longest);
    return QString();
}

QString jobCodeProblem(const LabelJob &job)
{
    return job.code ? prefixProblem(job.codePrefix, job.sheetType) : QString();
}

QString codeResolutionProblem(SheetType sheetType, int dpiX, int dpiY)
{
    const int symbol = largestSymbolOf(sheetType);
    if (symbol == 0)
        return QStringLiteral("シートタイプ %1 のラベルには2次元コードを印刷する場所がありません。")
            .arg(sheetType.code());
    const int span = symbol + 2 * QuietZoneModules;
    const int side = codeSide(sheetType);
    if (span * moduleDots(dpiX) <= leastDots(side, dpiX) &&
        span * moduleDots(dpiY) <= leastDots(side, dpiY))
        return QString();
    return QStringLiteral("プリンターの解像度 %1 x %2 dpi では、2次元コードのモジュールが %3 x %4 "
                          "ドットになり、シートタイプ %5 のラベルのコードの場所に収まりません。")
        .arg(dpiX)
        .arg(dpiY)
        .arg(moduleDots(dpiX))
        .arg(moduleDots(dpiY))
        .arg(sheetType.code());
}

QByteArray codeData(const QString &prefix, const QString &numberText)
{
    // UTF-8 keeps a character that is not ASCII out of the range encodeDataMatrix takes, so
    // it is refused there rather than turned into another character.
    return (prefix + numberText).toUtf8();
}

PlacedCode placeCode(const DataMatrixSymbol &symbol, int left, int right, int top, int bottom,
                     int dpiX, int dpiY)
{
    PlacedCode placed;
    if (!symbol.isValid()) {
        placed.error =
            symbol.error.isEmpty() ? QStringLiteral("2次元コードがありません。") : symbol.error;
        return placed;
    }
    const int mx = moduleDots(dpiX);
    const int my = moduleDots(dpiY);
    const int span = symbol.modules + 2 * QuietZoneModules;
    if (span * mx > right - left || span * my > bottom - top) {
        placed.error = QStringLiteral("%1 x %2 モジュールの2次元コードが、%3 x %4 dpi では"
                                      "ラベルのコードの場所に収まりません。")
                           .arg(symbol.modules)
                           .arg(symbol.modules)
                           .arg(dpiX)
                           .arg(dpiY);
        return placed;
    }
    const int qTop = top + (bottom - top - span * my) / 2;
    placed.quiet = {left, qTop, left + span * mx, qTop + span * my};
    const int x0 = left + QuietZoneModules * mx;
    const int y0 = qTop + QuietZoneModules * my;
    placed.dark.reserve(symbol.dark.size());
    for (const ModuleRect &m : symbol.dark)
        placed.dark.append(
            {x0 + m.x * mx, y0 + m.y * my, x0 + (m.x + m.width) * mx, y0 + (m.y + m.height) * my});
    return placed;
}

} // namespace corvial
