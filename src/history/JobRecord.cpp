// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/JobRecord.h"

#include "barcode/CodeRules.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace corvial {

namespace {

struct Word
{
    int value;
    const char *word;
};

const Word kNumberStyles[] = {{int(NumberStyle::Padded), "padded"},
                              {int(NumberStyle::Plain), "plain"}};
const Word kAlignments[] = {{int(PrintAlign::Left), "left"},
                            {int(PrintAlign::Centre), "centre"},
                            {int(PrintAlign::Right), "right"}};

template <size_t N> QString wordOf(const Word (&table)[N], int value)
{
    for (const Word &w : table) {
        if (w.value == value)
            return QString::fromLatin1(w.word);
    }
    return QString();
}

template <size_t N> bool valueOf(const Word (&table)[N], const QString &word, int *value)
{
    for (const Word &w : table) {
        if (word == QLatin1String(w.word)) {
            *value = w.value;
            return true;
        }
    }
    return false;
}

// The login name, not $USER: a script may run with any environment, and the history says
// who printed.
QString userName()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(geteuid());
}

bool isOneLine(SheetType type)
{
    return type.info().textBox.kind == TextBoxKind::OneLine;
}

bool isMarker(SheetType type)
{
    return type.info().textBox.kind == TextBoxKind::Marker;
}

QString styleOf(const QFont &font)
{
    QStringList parts;
    if (font.bold())
        parts << QStringLiteral("bold");
    if (font.italic())
        parts << QStringLiteral("italic");
    return parts.join(QLatin1Char(' '));
}

} // namespace

QString recordHostName()
{
    return QSysInfo::machineHostName();
}

HistoryRecord recordOf(const LabelJob &job, const JobAdvance &advance, const RecordSource &source)
{
    HistoryRecord r;
    r.startedUtc = QDateTime::currentDateTimeUtc();
    r.user = userName();
    r.host = recordHostName();
    r.program = source.program;
    r.sheetType = job.sheetType.code();
    r.samples = job.sampleCount;
    r.repeat = job.repeatCount;
    r.firstNumber = job.initialValue;
    r.numberStyle = wordOf(kNumberStyles, int(job.numberStyle));
    r.startPosition = job.startPos;
    r.labels = advance.labels;
    r.sheets = advance.sheets;
    r.nextPosition = advance.nextStartPos;
    r.nextNumber = advance.nextInitialValue;
    r.queue = source.queue;
    r.cupsServer = source.cupsServer;
    r.pdfPath = source.pdfPath;
    if (!job.sampleTexts.isEmpty()) {
        r.sampleTexts = job.sampleTexts;
    } else {
        // A round label prints the line typed for it; every other type its proof text.
        const QString text = isOneLine(job.sheetType) ? job.enteredText : job.proofText;
        for (int i = 0; i < job.sampleCount; ++i)
            r.sampleTexts << text;
    }
    r.listFile = source.listFile;
    r.listSha256 = source.listSha256;
    r.jobFile = source.jobFile;
    r.jobSha256 = source.jobSha256;
    if (isMarker(job.sheetType))
        r.marker = job.proofText;
    r.textColour = job.textColourIndex;
    r.backColour = job.backColourIndex;
    r.frame = job.frame;
    r.alignment = wordOf(kAlignments, int(job.printAlign));
    r.fontFamily = job.labelFont.family();
    r.fontPoints = job.labelFont.pointSizeF() > 0 ? job.labelFont.pointSizeF() : 0;
    r.fontStyle = styleOf(job.labelFont);
    r.code = job.code;
    r.codePrefix = job.codePrefix;
    r.reprintOf = source.reprintOf;
    return r;
}

int sampleIndexOf(const HistoryRecord &record, int number)
{
    if (number < 0 || number >= HistoryNumberWrap)
        return -1;
    const int index = (number - record.firstNumber + HistoryNumberWrap) % HistoryNumberWrap;
    return index < record.samples ? index : -1;
}

namespace {

// The whole job of a record, as it was printed: every sample from its first number.
bool recordedJob(const HistoryEntry &entry, SheetType type, LabelJob *out, QString *error)
{
    const HistoryRecord &r = entry.record;
    LabelJob job;
    job.sheetType = type;
    job.sampleCount = r.samples;
    job.repeatCount = r.repeat;
    job.initialValue = r.firstNumber;
    int style = int(NumberStyle::Padded);
    int align = int(PrintAlign::Left);
    // A word this version does not know is not read as the default: the labels would differ
    // from the ones the record describes.
    if (!r.numberStyle.isEmpty() && !valueOf(kNumberStyles, r.numberStyle, &style)) {
        *error = QStringLiteral("履歴 %1 の番号の書き方「%2」はこのプログラムにありません。")
                     .arg(entry.id)
                     .arg(visibleText(r.numberStyle));
        return false;
    }
    if (!r.alignment.isEmpty() && !valueOf(kAlignments, r.alignment, &align)) {
        *error = QStringLiteral("履歴 %1 の文字の位置「%2」はこのプログラムにありません。")
                     .arg(entry.id)
                     .arg(visibleText(r.alignment));
        return false;
    }
    job.numberStyle = NumberStyle(style);
    job.printAlign = PrintAlign(align);
    // Each sample carries its text as a list would give it, so the renderer prints the
    // recorded text of every sample, whether the job came from a list or not. A record
    // written by this program holds one text per sample; one that holds fewer or more was
    // changed afterwards, and which sample was meant to get which text is lost.
    if (r.sampleTexts.size() != r.samples) {
        *error = QStringLiteral("履歴 %1 のジョブは印刷できません: %2 検体のジョブに文字が %3 "
                                "検体分記録されています。")
                     .arg(entry.id)
                     .arg(r.samples)
                     .arg(r.sampleTexts.size());
        return false;
    }
    // No size (0) is the face's own size, as a job whose font had none; below that is no size.
    if (r.fontPoints < 0) {
        *error = QStringLiteral("履歴 %1 のジョブは印刷できません: 文字の大きさ %2 ポイントは"
                                "使えません。")
                     .arg(entry.id)
                     .arg(r.fontPoints);
        return false;
    }
    job.sampleTexts = r.sampleTexts;
    job.proofText = isMarker(type) ? r.marker : job.sampleTexts.value(0);
    job.enteredText = isOneLine(type) ? job.sampleTexts.value(0) : QString();
    job.textColourIndex = r.textColour;
    job.backColourIndex = r.backColour;
    job.frame = r.frame;
    job.labelFont = QFont(r.fontFamily);
    if (r.fontPoints > 0)
        job.labelFont.setPointSizeF(r.fontPoints);
    job.labelFont.setBold(r.fontStyle.contains(QLatin1String("bold")));
    job.labelFont.setItalic(r.fontStyle.contains(QLatin1String("italic")));
    job.code = r.code;
    job.codePrefix = r.codePrefix;
    // A record may have been written by another version, on another PC or by hand: it is held
    // to the rules a job typed now is held to before anything prints.
    QString problem = jobRuleProblem(job);
    if (problem.isEmpty())
        problem = jobCodeProblem(job);
    if (!problem.isEmpty()) {
        *error = QStringLiteral("履歴 %1 のジョブは印刷できません: %2").arg(entry.id).arg(problem);
        return false;
    }
    *out = job;
    return true;
}

} // namespace

bool reprintJob(const HistoryEntry &entry, int first, int last, LabelJob *out, QString *error)
{
    const HistoryRecord &r = entry.record;
    const std::optional<SheetType> type = SheetType::fromCode(r.sheetType);
    if (!type) {
        *error = QStringLiteral("履歴 %1 のシートタイプ %2 はこのプログラムにありません。")
                     .arg(entry.id)
                     .arg(r.sheetType);
        return false;
    }
    LabelJob whole;
    if (!recordedJob(entry, *type, &whole, error))
        return false;
    const int from = sampleIndexOf(r, first);
    const int to = sampleIndexOf(r, last);
    const int lastNumber = (r.firstNumber + r.samples - 1) % HistoryNumberWrap;
    if (from < 0 || to < 0 || to < from) {
        *error = QStringLiteral("履歴 %1 の番号は %2～%3 です（%4～%5 は印刷できません）。")
                     .arg(entry.id)
                     .arg(r.firstNumber)
                     .arg(lastNumber)
                     .arg(first)
                     .arg(last);
        return false;
    }
    LabelJob job = whole;
    job.sampleCount = to - from + 1;
    job.initialValue = first;
    job.sampleTexts = r.sampleTexts.mid(from, job.sampleCount);
    job.proofText = isMarker(*type) ? r.marker : job.sampleTexts.value(0);
    job.enteredText = isOneLine(*type) ? job.sampleTexts.value(0) : QString();
    *out = job;
    return true;
}

} // namespace corvial
