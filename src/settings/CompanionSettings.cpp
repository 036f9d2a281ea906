// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/CompanionSettings.h"

#include "files/BoundedFile.h"
#include "files/NearName.h"
#include "files/SafeFile.h"
#include "job/TextCharacters.h"
#include "settings/IniLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace corvial {

namespace {

enum class Section { None, History, Printer, Other };

enum class Key { Database, ConnectTimeout, LockTimeout, StatementTimeout, ScaleX, ScaleY };

struct KeyName
{
    Section section;
    Key key;
    const char *name;
};

// The names as the README gives them; nothing else is read.
constexpr KeyName kKeys[] = {
    {Section::History, Key::Database, "database"},
    {Section::History, Key::ConnectTimeout, "connectTimeout"},
    {Section::History, Key::LockTimeout, "lockTimeout"},
    {Section::History, Key::StatementTimeout, "statementTimeout"},
    {Section::Printer, Key::ScaleX, "scaleX"},
    {Section::Printer, Key::ScaleY, "scaleY"},
};

// Longest word a message echoes, in characters.
constexpr int kShownWordMax = 40;

QByteArray sectionName(Section s)
{
    return s == Section::History ? QByteArrayLiteral("history") : QByteArrayLiteral("printer");
}

QList<QByteArray> keyNamesOf(Section s)
{
    QList<QByteArray> names;
    for (const KeyName &k : kKeys) {
        if (k.section == s)
            names << QByteArray(k.name);
    }
    return names;
}

// A section or key name as a message may echo it: what a line that was meant as a URL holds
// after "://", ":" or "@" may be a password, so the echo stops there; what cannot be seen is
// written as U+XXXX.
QString shownWord(const QByteArray &word)
{
    qsizetype cut = word.size();
    for (char c : {':', '@', '/'}) {
        const qsizetype at = word.indexOf(c);
        if (at >= 0)
            cut = std::min(cut, at);
    }
    QString text = QString::fromUtf8(word.left(cut));
    if (cut < word.size() || text.size() > kShownWordMax)
        text = text.left(kShownWordMax) + QStringLiteral("…");
    return visibleText(text);
}

QString namesText(const QList<QByteArray> &names)
{
    QStringList shown;
    for (const QByteArray &n : names)
        shown << QString::fromLatin1(n);
    return shown.join(QStringLiteral("、"));
}

QString guessText(const QByteArray &near, bool section)
{
    if (near.isEmpty())
        return QString();
    const QString name = QString::fromLatin1(near);
    return QStringLiteral("%1 のことですか？").arg(section ? '[' + name + ']' : name);
}

bool parseTimeout(const QByteArray &value, int *seconds, QString *why)
{
    const bool digits =
        !value.isEmpty() && value.size() <= 4 &&
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int n = digits ? value.toInt() : -1;
    if (n < 0 || n > HistoryTimeoutMaxSeconds) {
        *why = QStringLiteral("0 から %1 までの整数 (秒) で書いてください (0 は時間を区切り"
                              "ません)。")
                   .arg(HistoryTimeoutMaxSeconds);
        return false;
    }
    *seconds = n;
    return true;
}

// Reads one file; kept apart from the result so that the result stays a plain value.
class Reader
{
public:
    Reader(const QByteArray &content, const QString &path) : mContent(content)
    {
        mOut.path = path;
        mOut.found = true;
    }

    CompanionSettings run()
    {
        // A file saved as UTF-16 would read as lines of rubbish between NUL bytes: nothing in
        // it, the scale included, can be trusted to mean what the lab wrote.
        if (mContent.startsWith("\xFF\xFE") || mContent.startsWith("\xFE\xFF")) {
            mOut.fileError = QStringLiteral("UTF-16 で保存されています。UTF-8 で保存し直して"
                                            "ください。");
            return mOut;
        }
        const IniText text = splitIni(mContent);
        for (int i = 0; i < text.lines.size() && mOut.fileError.isEmpty(); ++i)
            readLine(text.lines.at(i).text.trimmed(), i + 1);
        if (mOut.warnings.size() > MaxCompanionSettingsWarnings) {
            const qsizetype more = mOut.warnings.size() - (MaxCompanionSettingsWarnings - 1);
            mOut.warnings.resize(MaxCompanionSettingsWarnings - 1);
            mOut.warnings << QStringLiteral("%1 にはほかにも %2 か所、使われない行があります。")
                                 .arg(displayPath(mOut.path))
                                 .arg(more);
        }
        return mOut;
    }

private:
    void warn(int lineNo, const QString &text)
    {
        mOut.warnings << QStringLiteral("%1 の %2 行目: %3")
                             .arg(displayPath(mOut.path))
                             .arg(lineNo)
                             .arg(text);
    }

    QString &errorOf(Section s)
    {
        return s == Section::History ? mOut.historyError : mOut.printerError;
    }

    void refuse(int lineNo, const QString &key, const QString &why)
    {
        const QString where = QStringLiteral("[%1]").arg(QString::fromLatin1(sectionName(mIn)));
        errorOf(mIn) = QStringLiteral("%1 行目の %2 が正しくありません。%3")
                           .arg(lineNo)
                           .arg(key.isEmpty() ? where : where + ' ' + key, why);
    }

    void readLine(const QByteArray &t, int lineNo)
    {
        if (isIniComment(t))
            return;
        if (t.startsWith('[')) {
            QByteArray name;
            if (!isIniSection(t, &name)) {
                mOut.fileError =
                    QStringLiteral("%1 行目の節の名前が ] で閉じられていません。").arg(lineNo);
                return;
            }
            openSection(name, lineNo);
            return;
        }
        const qsizetype eq = t.indexOf('=');
        const QByteArray key = eq < 0 ? QByteArray() : t.left(eq).trimmed();
        if (mIn == Section::None) {
            warn(lineNo, QStringLiteral("%1 は節 ([history] や [printer]) より前に書かれて"
                                        "いるので使われません。")
                             .arg(eq < 0 ? QStringLiteral("この行") : shownWord(key)));
            return;
        }
        if (mIn == Section::Other) {
            // The section was already named in a warning; in one meant as a known section,
            // a key that is off as well is named too, so that one look mends both.
            if (mMeant != Section::None && eq >= 0 && !keyNamesOf(mMeant).contains(key)) {
                const QList<QByteArray> names = keyNamesOf(mMeant);
                warn(lineNo, QStringLiteral("この節を [%1] のつもりで書いたとしても、%2 という"
                                            "設定は [%1] にありません。%3")
                                 .arg(QString::fromLatin1(sectionName(mMeant)), shownWord(key),
                                      guessText(nearName(key, names), false)));
            }
            return;
        }
        // The first fault of a section stops its reading, as a file read top to bottom would.
        if (!errorOf(mIn).isEmpty())
            return;
        if (eq < 0) {
            refuse(lineNo, QString(), QStringLiteral("「名前=値」の形ではありません。"));
            return;
        }
        readSetting(key, t.mid(eq + 1).trimmed(), lineNo);
    }

    void openSection(const QByteArray &name, int lineNo)
    {
        mMeant = Section::None;
        for (Section s : {Section::History, Section::Printer}) {
            if (name == sectionName(s)) {
                mIn = s;
                return;
            }
        }
        mIn = Section::Other;
        const QByteArray near =
            nearName(name, {sectionName(Section::History), sectionName(Section::Printer)});
        if (!near.isEmpty())
            mMeant = near == sectionName(Section::History) ? Section::History : Section::Printer;
        warn(lineNo,
             QStringLiteral("[%1] という節はありません。%2この節の設定は使われません。")
                 .arg(shownWord(name),
                      near.isEmpty() ? QStringLiteral("使えるのは [history] と [printer] です。")
                                     : guessText(near, true) + ' '));
    }

    void readSetting(const QByteArray &key, const QByteArray &value, int lineNo)
    {
        const KeyName *known = nullptr;
        for (const KeyName &k : kKeys) {
            if (k.section == mIn && key == k.name)
                known = &k;
        }
        const QString shown = shownWord(key);
        if (!known) {
            // A misspelt name would leave the PC on its own history file, or print at 100 %,
            // while the lab believes it set: refused instead, with the name it may have meant.
            const QList<QByteArray> names = keyNamesOf(mIn);
            const QString guess = guessText(nearName(key, names), false);
            refuse(lineNo, shown,
                   QStringLiteral("[%1] に使えるのは %2 です。%3")
                       .arg(QString::fromLatin1(sectionName(mIn)), namesText(names), guess));
            return;
        }
        int &seenAt = mSeen[int(known->key)];
        if (seenAt) {
            refuse(lineNo, shown, QStringLiteral("%1 行目にも書かれています。").arg(seenAt));
            return;
        }
        seenAt = lineNo;
        QString why;
        HistorySettings &h = mOut.history;
        PrinterSettings &p = mOut.printer;
        bool ok = true;
        switch (known->key) {
        case Key::Database:
            h.database = {QString::fromUtf8(value), lineNo};
            break;
        case Key::ConnectTimeout:
            ok = parseTimeout(value, &h.connectTimeoutSeconds.value, &why);
            h.connectTimeoutSeconds.line = lineNo;
            break;
        case Key::LockTimeout:
            ok = parseTimeout(value, &h.lockTimeoutSeconds.value, &why);
            h.lockTimeoutSeconds.line = lineNo;
            break;
        case Key::StatementTimeout:
            ok = parseTimeout(value, &h.statementTimeoutSeconds.value, &why);
            h.statementTimeoutSeconds.line = lineNo;
            break;
        case Key::ScaleX:
            ok = parseScalePercent(QString::fromUtf8(value), &p.scaleXPermille.value, &why);
            p.scaleXPermille.line = lineNo;
            break;
        case Key::ScaleY:
            ok = parseScalePercent(QString::fromUtf8(value), &p.scaleYPermille.value, &why);
            p.scaleYPermille.line = lineNo;
            break;
        }
        if (!ok)
            refuse(lineNo, shown, why);
    }

    const QByteArray &mContent;
    CompanionSettings mOut;
    Section mIn = Section::None;
    Section mMeant = Section::None; // the known section an Other one is a near miss of
    QHash<int, int> mSeen;          // line each known key was first given on
};

} // namespace

QString companionSettingsPath(const QString &settingsPath)
{
    // Every name of one start.txt shares its settings, as it shares its history.
    const QString resolved = QFileInfo(settingsPath).canonicalFilePath();
    const QFileInfo settings(resolved.isEmpty() ? settingsPath : resolved);
    return settings.absoluteDir().filePath(QStringLiteral("corvial.ini"));
}

CompanionSettings parseCompanionSettings(const QByteArray &content, const QString &path)
{
    return Reader(content, path).run();
}

CompanionSettings readCompanionSettings(const QString &settingsPath)
{
    const QString iniPath = companionSettingsPath(settingsPath);
    struct stat st;
    if (::lstat(QFile::encodeName(iniPath).constData(), &st) != 0 && errno == ENOENT) {
        CompanionSettings none;
        none.path = iniPath;
        return none;
    }
    QByteArray content;
    QString reason;
    if (!readBoundedFile(iniPath, MaxCompanionSettingsBytes, &content, &reason)) {
        CompanionSettings unread;
        unread.path = iniPath;
        unread.found = true;
        unread.fileError = reason;
        return unread;
    }
    return parseCompanionSettings(content, iniPath);
}

QStringList companionSettingsWarnings(const QString &settingsPath)
{
    return readCompanionSettings(settingsPath).warnings;
}

} // namespace corvial
