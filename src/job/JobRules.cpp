// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/JobRules.h"

#include "job/Colours.h"
#include "job/ProofLabel.h"
#include "job/ShiftJis.h"
#include "job/TextLimits.h"

#include <QStringEncoder>
#include <QtGlobal>

namespace corvial {

namespace {

// Sample numbers have four digits; the numbering starts again at 0 after 9999.
constexpr int NumberWrap = 10000;

// The first character of text without a Shift-JIS form, or an empty string. Every text of
// this program is a Shift-JIS byte string: such a character would reach the workbook as "?"
// and break the byte counts of the limits.
QString firstNonShiftJis(const QString &text)
{
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    for (char32_t cp : text.toUcs4()) {
        if (cp < 0x80)
            continue;
        const char32_t one[1] = {cp};
        const QString s = QString::fromUcs4(one, 1);
        const QByteArray bytes = encoder.encode(s);
        if (encoder.hasError() || bytes.isEmpty())
            return s;
    }
    return QString();
}

} // namespace

bool exceedsJobSize(const LabelJob &job)
{
    return qint64(job.sampleCount) * job.repeatCount > MaxJobLabels;
}

QString tooManyLabelsText()
{
    return QStringLiteral("プリントラベル数が４００を越えていますので、再設定お願いいたします。");
}

QString sheetTypeWord(SheetType sheetType)
{
    return QStringLiteral("シートタイプ %1（%2）")
        .arg(sheetType.code())
        .arg(QString::fromUtf8(sheetType.info().caption));
}

namespace {

// A control or invisible character, then one without a Shift-JIS form; false when there is
// neither. typed is the text as given, text the same with its line breaks made "\n".
bool characterProblem(const QString &typed, const QString &text, TextProblem &p)
{
    p.forbidden = firstForbiddenCharacter(typed);
    if (p.forbidden.found()) {
        p.kind = TextProblem::Unprintable;
        p.line = p.forbidden.line;
        const char32_t one[1] = {p.forbidden.code};
        p.character = QString::fromUcs4(one, 1);
        return true;
    }
    p.character = firstNonShiftJis(text);
    if (p.character.isEmpty())
        return false;
    p.kind = TextProblem::NotShiftJis;
    return true;
}

// Too many lines, a line or the whole text too long for the box; false when it fits.
bool sizeProblem(const QString &text, const TextBox &box, TextProblem &p)
{
    const QStringList lines = memoLines(text);
    // A one-line text cannot take a line break at all, however short its lines.
    const int lineCount = box.kind == TextBoxKind::OneLine && text.contains(QLatin1Char('\n'))
                              ? int(lines.size())
                              : memoLineCount(text);
    if (lineCount > box.lineCount) {
        p.kind = TextProblem::TooManyLines;
        p.limit = box.lineCount;
        p.lines = lineCount;
        return true;
    }
    for (int k = 0; k < box.lineCount && k < lines.size(); ++k) {
        const int n = sjisLength(lines.at(k));
        if (n <= box.lineBytes)
            continue;
        p.kind = TextProblem::LineTooLong;
        p.line = k + 1;
        p.bytes = n;
        p.limit = box.lineBytes;
        return true;
    }
    const int bytes = sjisLength(text);
    if (bytes <= box.totalBytes)
        return false;
    p.kind = TextProblem::TextTooLong;
    p.bytes = bytes;
    p.limit = box.totalBytes;
    return true;
}

} // namespace

TextProblem checkLabelText(const QString &typed, SheetType sheetType)
{
    const TextBox &box = sheetType.info().textBox;
    TextProblem p;
    if (box.kind == TextBoxKind::Marker) {
        p.kind = TextProblem::MarkerType;
        return p;
    }
    // Lines are counted and printed alike whatever ended them.
    QString text = typed;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (characterProblem(typed, text, p))
        return p;
    p.singleLine = box.lineCount == 1;
    if (sizeProblem(text, box, p))
        return p;
    // The cut that typing makes has the last word.
    const QString limited = limitedByBox(text, box);
    if (limited != text) {
        p.kind = TextProblem::CutByLimit;
        p.cut = limited;
    }
    return p;
}

QString textProblemText(const TextProblem &p, SheetType sheetType)
{
    const QString type = sheetTypeWord(sheetType);
    switch (p.kind) {
    case TextProblem::None:
        return QString();
    case TextProblem::Unprintable: {
        return QStringLiteral("%1 行目に%2 があります。ラベルに印刷できない文字は使えません。")
            .arg(p.line)
            .arg(forbiddenCharacterWords(p.forbidden));
    }
    case TextProblem::NotShiftJis:
        return QStringLiteral("「%1」（U+%2）は Shift-JIS で表せない文字です。")
            .arg(p.character, QString::number(uint(p.character.toUcs4().value(0)), 16)
                                  .toUpper()
                                  .rightJustified(4, QLatin1Char('0')));
    case TextProblem::MarkerType:
        return QStringLiteral("%1は文字ではなく印を選びます。").arg(type);
    case TextProblem::TooManyLines:
        return QStringLiteral("%1の文字は %2 行までです（%3 行あります）。")
            .arg(type)
            .arg(p.limit)
            .arg(p.lines);
    case TextProblem::LineTooLong: {
        const QString which = p.singleLine ? QStringLiteral("%1の文字").arg(type)
                                           : QStringLiteral("%1の %2 行目").arg(type).arg(p.line);
        return QStringLiteral(
                   "%1は %2 バイトまでです（%3 バイトあります。全角文字は 2 バイトです）。")
            .arg(which)
            .arg(p.limit)
            .arg(p.bytes);
    }
    case TextProblem::TextTooLong:
        return QStringLiteral(
                   "%1の文字は改行（2 バイト）を含めて %2 バイトまでです（%3 バイトあります）。")
            .arg(type)
            .arg(p.limit)
            .arg(p.bytes);
    case TextProblem::CutByLimit:
        return QStringLiteral(
                   "%1の入力の制限を超えています（そのままでは「%2」に切り詰められます）。")
            .arg(type, p.cut);
    }
    return QString();
}

QString repeatProblem(SheetType sheetType, int repeatCount)
{
    if (sheetType.info().repeatShown || repeatCount == 1)
        return QString();
    return QStringLiteral("%1はサンプルごとに 1 枚だけ印刷します。").arg(sheetTypeWord(sheetType));
}

namespace {

QString rangeProblem(const QString &what, int value, int low, int high)
{
    if (value >= low && value <= high)
        return QString();
    return QStringLiteral("%1は %2～%3 です（%4）。").arg(what).arg(low).arg(high).arg(value);
}

bool isMarkerText(const QString &text)
{
    for (int i = 0; i < MarkerCount; ++i) {
        if (text == markerText(i))
            return true;
    }
    return false;
}

// The text each sample prints, checked as typing it for the type would have been.
QString sampleTextProblem(const LabelJob &job)
{
    const SheetType type = job.sheetType;
    const bool marker = type.info().textBox.kind == TextBoxKind::Marker;
    const int samples = job.sampleTexts.isEmpty() ? 1 : int(job.sampleTexts.size());
    for (int i = 0; i < samples; ++i) {
        const LabelJob sample = sampleJob(job, i);
        const QString &text = type.info().textBox.kind == TextBoxKind::OneLine ? sample.enteredText
                                                                               : sample.proofText;
        const QString which = job.sampleTexts.isEmpty()
                                  ? QStringLiteral("ラベルの")
                                  : QStringLiteral("サンプル %1 の").arg(i + 1);
        if (marker) {
            if (!isMarkerText(text))
                return QStringLiteral("%1印「%2」は%3の印ではありません。")
                    .arg(which, visibleText(text), sheetTypeWord(type));
            continue;
        }
        const TextProblem problem = checkLabelText(text, type);
        if (problem.kind != TextProblem::None)
            return which + QStringLiteral("文字: ") + textProblemText(problem, type);
    }
    return QString();
}

} // namespace

QString jobRuleProblem(const LabelJob &job)
{
    const SheetType type = job.sheetType;
    for (const QString &problem : {rangeProblem(QStringLiteral("サンプル数"), job.sampleCount,
                                                MinSampleCount, MaxSampleCount),
                                   rangeProblem(QStringLiteral("1 サンプルのラベル数"),
                                                job.repeatCount, MinRepeatCount, MaxRepeatCount),
                                   repeatProblem(type, job.repeatCount),
                                   rangeProblem(QStringLiteral("最初の番号"), job.initialValue,
                                                MinFirstNumber, MaxFirstNumber)}) {
        if (!problem.isEmpty())
            return problem;
    }
    if (exceedsJobSize(job))
        return QStringLiteral("サンプル数 × ラベル数: %1 × %2 = %3 ラベル。")
                   .arg(job.sampleCount)
                   .arg(job.repeatCount)
                   .arg(jobLabelCount(job)) +
               tooManyLabelsText();
    if (!job.sampleTexts.isEmpty() && job.sampleTexts.size() != job.sampleCount)
        return QStringLiteral("サンプル数 %1 に対して文字が %2 サンプル分あります。")
            .arg(job.sampleCount)
            .arg(job.sampleTexts.size());
    const QString text = sampleTextProblem(job);
    if (!text.isEmpty())
        return text;
    for (const QString &problem : {rangeProblem(QStringLiteral("文字の色の番号"),
                                                job.textColourIndex, 0, TextColourCount - 1),
                                   rangeProblem(QStringLiteral("背景の色の番号"),
                                                job.backColourIndex, 0, BackColourCount - 1)}) {
        if (!problem.isEmpty())
            return problem;
    }
    // A size given in pixels has no point size (-1); the renderer then keeps the layout's.
    const double points = job.labelFont.pointSizeF();
    if (points > 0 && !(points >= MinLabelFontPoints && points <= MaxLabelFontPoints))
        return QStringLiteral("文字の大きさは %1～%2 ポイントです（%3）。")
            .arg(MinLabelFontPoints)
            .arg(MaxLabelFontPoints)
            .arg(points);
    return QString();
}

QVector<SheetRun> splitJob(int labels, int startPos, int perSheet)
{
    QVector<SheetRun> runs;
    if (labels <= 0 || perSheet <= 0)
        return runs;
    const qint64 s = qBound(1, startPos, perSheet);
    const qint64 last = s + labels - 1;
    const int sheets = int((last + perSheet - 1) / perSheet);
    runs.reserve(sheets);
    for (int j = 1; j <= sheets; ++j) {
        const bool isLast = j == sheets;
        runs.append({j, j == 1 ? int(s) : 1,
                     isLast ? int(last - qint64(sheets - 1) * perSheet) : perSheet, isLast});
    }
    return runs;
}

int nextStartPos(int labels, int startPos, int perSheet)
{
    if (perSheet <= 0)
        return 1;
    const qint64 last = qint64(qBound(1, startPos, perSheet)) + qMax(labels, 0) - 1;
    return int(last % perSheet) + 1;
}

int advancedInitialValue(int initialValue, int sampleCount)
{
    const int next = initialValue + sampleCount;
    return next > NumberWrap - 1 ? next - NumberWrap : next;
}

JobAdvance advanceAfterPrint(const LabelJob &job)
{
    const int perSheet = job.sheetType.family().labels;
    JobAdvance a;
    a.labels = jobLabelCount(job);
    a.sheets = int(splitJob(a.labels, job.startPos, perSheet).size());
    a.nextStartPos = nextStartPos(a.labels, job.startPos, perSheet);
    a.numbered = job.sheetType.info().numbered;
    a.nextInitialValue =
        a.numbered ? advancedInitialValue(job.initialValue, job.sampleCount) : job.initialValue;
    return a;
}

QString printedSummaryText(const JobAdvance &advance)
{
    return QStringLiteral("印刷しました: %1 枚、%2 ラベル、次の開始位置 %3、次の番号 %4")
        .arg(advance.sheets)
        .arg(advance.labels)
        .arg(advance.nextStartPos)
        .arg(advance.numbered ? QString::number(advance.nextInitialValue) : QStringLiteral("なし"));
}

QString exportedProofText(const LabelJob &job)
{
    return job.sheetType.family().shape == LabelShape::Ellipse ? circleExportText(job.proofText)
                                                               : job.proofText;
}

} // namespace corvial
