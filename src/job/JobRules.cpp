// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/JobRules.h"

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

QString sheetTypeWord(int sheetType)
{
    return QStringLiteral("シートタイプ %1（%2）")
        .arg(sheetType)
        .arg(QString::fromUtf8(sheetTypeInfo(sheetType).caption));
}

TextProblem checkLabelText(const QString &typed, int sheetType)
{
    // Lines are counted and printed alike whatever ended them.
    QString text = typed;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    const SheetTypeInfo &info = sheetTypeInfo(sheetType);
    TextProblem p;
    if (info.source == EntrySource::Marker) {
        p.kind = TextProblem::MarkerType;
        return p;
    }
    p.forbidden = firstForbiddenCharacter(typed);
    if (p.forbidden.found()) {
        p.kind = TextProblem::Unprintable;
        p.line = p.forbidden.line;
        const char32_t one[1] = {p.forbidden.code};
        p.character = QString::fromUcs4(one, 1);
        return p;
    }
    p.character = firstNonShiftJis(text);
    if (!p.character.isEmpty()) {
        p.kind = TextProblem::NotShiftJis;
        return p;
    }

    const QStringList lines = memoLines(text);
    const int lineCount = memoLineCount(text);
    int allowedLines = 0;
    int lineBytes = 0;
    int checkedLines = 0;
    int maxBytes = 0;
    QString limited;
    switch (info.source) {
    case EntrySource::Edit2:
        allowedLines = 1;
        lineBytes = info.edit2Limit;
        checkedLines = 1;
        maxBytes = info.edit2Limit;
        limited = limitEdit2Text(text, sheetType);
        p.singleLine = true;
        // A one-line box cannot take a line break at all.
        if (text.contains(QLatin1Char('\n'))) {
            p.kind = TextProblem::TooManyLines;
            p.limit = 1;
            p.lines = int(lines.size());
            return p;
        }
        break;
    case EntrySource::Memo5:
        allowedLines = 4;
        lineBytes = info.memo5LineBytes;
        checkedLines = 4;
        maxBytes = Memo5MaxBytes;
        limited = limitMemo5Text(text, sheetType);
        break;
    case EntrySource::Memo8:
        allowedLines = info.memo8KeptLines;
        lineBytes = info.memo8LineBytes;
        checkedLines = info.memo8Lines;
        maxBytes = info.memo8Limit;
        limited = limitMemo8Text(text, sheetType, info.memo8Limit);
        break;
    case EntrySource::Marker:
        break;
    }
    p.singleLine = allowedLines == 1;
    if (lineCount > allowedLines) {
        p.kind = TextProblem::TooManyLines;
        p.limit = allowedLines;
        p.lines = lineCount;
        return p;
    }
    for (int k = 0; k < checkedLines && k < lines.size(); ++k) {
        const int n = sjisLength(lines.at(k));
        if (n <= lineBytes)
            continue;
        p.kind = TextProblem::LineTooLong;
        p.line = k + 1;
        p.bytes = n;
        p.limit = lineBytes;
        return p;
    }
    const int bytes = sjisLength(text);
    if (bytes > maxBytes) {
        p.kind = TextProblem::TextTooLong;
        p.bytes = bytes;
        p.limit = maxBytes;
        return p;
    }
    // The entry box's own limit has the last word.
    if (limited != text) {
        p.kind = TextProblem::CutByLimit;
        p.cut = limited;
    }
    return p;
}

QString textProblemText(const TextProblem &p, int sheetType)
{
    const QString type = sheetTypeWord(sheetType);
    switch (p.kind) {
    case TextProblem::None:
        return QString();
    case TextProblem::Unprintable: {
        return QStringLiteral("%1 行目に%2があります。ラベルに印刷できない文字は使えません。")
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
    const int perSheet = LabelsPerSheet(job.sheetType);
    JobAdvance a;
    a.labels = jobLabelCount(job);
    a.sheets = int(splitJob(a.labels, job.startPos, perSheet).size());
    a.nextStartPos = nextStartPos(a.labels, job.startPos, perSheet);
    a.numbered = isNumberedType(job.sheetType);
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

QString exportedCircleText(const LabelJob &job)
{
    return isCircleType(job.sheetType) ? circleExportText(job.circleText) : job.circleText;
}

} // namespace corvial
