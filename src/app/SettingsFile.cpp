// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SettingsFile.h"

#include "job/SheetTypes.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <limits>

namespace corvial {

namespace {

constexpr int kTailLine = 5;

// Splits at LF, dropping a CR that directly precedes it; a bare CR stays part of the line.
// A final line without an ending counts, an ending at the very end opens no new line.
QList<QByteArray> splitLines(const QByteArray &content, int maxLines)
{
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < content.size() && lines.size() < maxLines) {
        qsizetype lf = content.indexOf('\n', from);
        const bool ended = lf >= 0;
        if (!ended)
            lf = content.size();
        qsizetype end = lf;
        if (ended && end > from && content.at(end - 1) == '\r')
            --end;
        lines << content.mid(from, end - from);
        from = lf + 1;
    }
    return lines;
}

// Optional "-", then one or more ASCII digits, within 32 bits. Anything else (blanks, "+",
// an empty field, an overflow) is refused rather than read as 0, so a damaged file is noticed.
bool parseField(const QByteArray &field, int *value)
{
    qsizetype i = 0;
    const bool negative = !field.isEmpty() && field.at(0) == '-';
    if (negative)
        i = 1;
    if (i >= field.size())
        return false;
    qint64 v = 0;
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    for (; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        if (v > limit)
            return false;
    }
    *value = int(negative ? -v : v);
    return true;
}

bool parseRecord(const QByteArray &line, FamilySettings *record)
{
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() != 3)
        return false;
    FamilySettings r;
    if (!parseField(fields.at(0), &r.offsetX) || !parseField(fields.at(1), &r.offsetY) ||
        !parseField(fields.at(2), &r.startPos))
        return false;
    *record = r;
    return true;
}

// The window lists offer exactly 21 offsets and the preview paints only real label
// positions, so a value from an edited file is brought back to something they can show.
FamilySettings normalised(FamilySettings r, int family)
{
    r.offsetX = qBound(MinOffsetIndex, r.offsetX, MaxOffsetIndex);
    r.offsetY = qBound(MinOffsetIndex, r.offsetY, MaxOffsetIndex);
    if (r.startPos < 1 || r.startPos > labelsInFamily(family))
        r.startPos = 1;
    return r;
}

} // namespace

SettingsLoad parseSettings(const QByteArray &content)
{
    SettingsLoad load;
    const QList<QByteArray> lines = splitLines(content, kTailLine);
    for (int n = 1; n <= SettingsRecordLines && n <= lines.size(); ++n) {
        FamilySettings record;
        if (parseRecord(lines.at(n - 1), &record))
            load.settings.family[n] = normalised(record, n);
        else
            load.malformedLines << n;
    }
    if (lines.size() >= kTailLine)
        load.settings.tail = lines.at(kTailLine - 1);
    return load;
}

QByteArray formatSettings(const Settings &settings)
{
    QByteArray out;
    for (int f = 1; f <= SettingsRecordLines; ++f) {
        const FamilySettings &r = settings.family[f];
        out += QByteArray::number(r.offsetX) + ',' + QByteArray::number(r.offsetY) + ',' +
               QByteArray::number(r.startPos) + "\r\n";
    }
    // A line break inside the tail would push records of a later read out of place; the
    // tail read from a file never holds one.
    qsizetype end = settings.tail.indexOf('\n');
    if (end < 0)
        end = settings.tail.size();
    out += settings.tail.left(end) + "\r\n";
    return out;
}

bool readSettingsFile(const QString &path, SettingsLoad *out, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (out)
        *out = parseSettings(content);
    return true;
}

bool writeSettingsFile(const QString &path, const Settings &settings, QString *error)
{
    QSaveFile file(path);
    const QByteArray content = formatSettings(settings);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(content) != content.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString settingsWarningText(const QList<int> &malformedLines)
{
    if (malformedLines.isEmpty())
        return QString();
    QStringList numbers;
    for (int n : malformedLines)
        numbers << QString::number(n);
    return QStringLiteral("start.txt の %1 行目が正しくありません。"
                          "その行のシートはオフセット -5、開始位置 1 の初期値で始めます。")
        .arg(numbers.join(QStringLiteral("、")));
}

} // namespace corvial
