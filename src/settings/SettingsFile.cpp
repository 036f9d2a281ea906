// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include "files/BoundedFile.h"
#include "files/SafeFile.h"

#include "job/SheetTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

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
    r.offsetX = boundedOffsetIndex(r.offsetX);
    r.offsetY = boundedOffsetIndex(r.offsetY);
    if (r.startPos < 1 || r.startPos > labelsInFamily(family))
        r.startPos = 1;
    return r;
}

constexpr int kMaxLinkDepth = 40; // as many links as a save follows (StagedFile)

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

QString settingsFilePath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("start.txt"));
}

bool readSettingsFile(const QString &path, SettingsLoad *out, QString *error)
{
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("設定ファイルを読み込めませんでした: %1\n%2")
                         .arg(displayPath(path), reason);
        return false;
    };
    // Looked at before it is opened, opened without blocking and checked once more: a FIFO
    // or a device never stalls the start.
    BoundedFile file;
    QString reason;
    if (!file.open(path, &reason))
        return fail(reason);
    const int fd = file.handle();

    // One byte more than the limit tells whether the file goes on beyond it.
    QByteArray content(MaxSettingsBytes + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, size_t(content.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(qt_error_string(errno));
        if (n == 0)
            break;
        got += n;
    }
    content.truncate(got);
    if (content.size() > MaxSettingsBytes) {
        content.truncate(MaxSettingsBytes);
        // Only the first five lines are used; whatever follows them may go unread, but a
        // line cut short would be taken for something it is not.
        if (content.count('\n') < kTailLine)
            return fail(QStringLiteral("先頭の %1 行が %2 バイトに収まっていません。")
                            .arg(kTailLine)
                            .arg(MaxSettingsBytes));
    }
    if (out)
        *out = parseSettings(content);
    return true;
}

bool checkReplaceable(const QString &path, bool *exists, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    *exists = ::stat(name.constData(), &st) == 0;
    if (!*exists && errno != ENOENT) {
        *reason = qt_error_string(errno);
        return false;
    }
    if (!*exists)
        return true;
    // A save replaces the file by renaming a new one over it: done to a FIFO or a device
    // (or a link to one), that would put an ordinary file in its place.
    if (!S_ISREG(st.st_mode)) {
        *reason = notRegularReason(st.st_mode);
        return false;
    }
    // The new file would take this name only; the other names would keep the old one.
    if (st.st_nlink > 1) {
        *reason = hardLinkedSettingsReason(int(st.st_nlink));
        return false;
    }
    if (::access(name.constData(), W_OK) != 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    return true;
}

bool writeSettingsFile(const QString &path, const Settings &settings, QString *error)
{
    bool exists = false;
    const auto fail = [&](const QString &reason) {
        if (error) {
            *error = QStringLiteral("設定ファイルを保存できませんでした: %1\n%2")
                         .arg(displayPath(path), reason);
            if (exists)
                *error += QStringLiteral("\n元の設定ファイルは変更していません。");
        }
        return false;
    };
    QString reason;
    if (!checkReplaceable(path, &exists, &reason))
        return fail(reason);

    // The new file takes the old one's place only once it is whole and on disk; its names
    // while it is written are the ones removeStaleSettingsTemporaries clears at the start.
    StagedFile staged(path, StagedNames::Beside);
    if (staged.create(&reason) && staged.write(formatSettings(settings), &reason) &&
        staged.commit(&reason))
        return true;
    if (!staged.replaced())
        return fail(reason);
    // The rename is only durable once the folder that holds it is on disk too; that alone
    // failed, so the file already holds the new positions.
    if (error)
        *error = QStringLiteral("設定ファイルを保存できませんでした: %1\n%2")
                     .arg(displayPath(path), reason);
    return false;
}

int settingsLinkCount(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return int(qMin<nlink_t>(st.st_nlink, nlink_t(std::numeric_limits<int>::max())));
}

QString hardLinkedSettingsReason(int links)
{
    return QStringLiteral(
               "このファイルには別の名前（ハードリンク）があり、名前は全部で %1 個です。"
               "保存すると新しいファイルはこの名前にだけ付き、ほかの名前で使っている人の"
               "開始位置とオフセットが失われます。"
               "共有するには、ハードリンクの代わりにシンボリックリンクを使ってください。")
        .arg(links);
}

int removeStaleSettingsTemporaries(const QString &settingsPath)
{
    QStringList names{QFileInfo(settingsPath).absoluteFilePath()};
    // A write through a link happens beside the file the link points to, so an interrupted
    // one leaves its temporary file there.
    QFileInfo target(settingsPath);
    for (int depth = 0; depth < kMaxLinkDepth && target.isSymLink(); ++depth)
        target.setFile(target.symLinkTarget());
    if (!target.isSymLink() && target.isFile() && !names.contains(target.absoluteFilePath()))
        names << target.absoluteFilePath();

    int removed = 0;
    for (const QString &file : names) {
        const QFileInfo info(file);
        const QDir dir = info.absoluteDir();
        const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &entry : entries) {
            if (!isBesideVersionName(entry, info.fileName()))
                continue;
            const QString candidate = dir.filePath(entry);
            struct stat st;
            if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            if (QFile::remove(candidate))
                ++removed;
        }
    }
    return removed;
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

QString unreadSettingsSaveError(const QString &path)
{
    return QStringLiteral("設定ファイルを保存できませんでした: %1\n"
                          "起動時に読み込めなかったファイルなので、上書きしません。\n"
                          "元の設定ファイルは変更していません。")
        .arg(displayPath(path));
}

} // namespace corvial
