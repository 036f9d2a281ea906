// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryLocation.h"

#include "files/BoundedFile.h"
#include "files/SafeFile.h"
#include "job/TextCharacters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#include <cerrno>
#include <sys/stat.h>

namespace corvial {

namespace {

const QString kScheme = QStringLiteral("postgresql://");
const QString kUrlForm = QStringLiteral("postgresql://ユーザー@ホスト:ポート/データベース");

bool refuse(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}

// A name part of the URL: percent-decoded, and refused when empty or when decoding gives
// characters no role or database name should hold.
bool urlPart(const QString &raw, const QString &what, QString *out, QString *reason)
{
    if (raw.isEmpty())
        return refuse(reason, QStringLiteral("%1がありません。").arg(what));
    const QString decoded = QUrl::fromPercentEncoding(raw.toUtf8());
    if (decoded.isEmpty() || firstForbiddenCharacter(decoded, false).found() ||
        decoded.contains(QChar(0xFFFD)))
        return refuse(reason, QStringLiteral("%1に使えない文字があります。").arg(what));
    *out = decoded;
    return true;
}

// url as a message may echo it: a password someone wrote into it is replaced by "***".
QString withoutPassword(const QString &url)
{
    const qsizetype start = url.indexOf(QStringLiteral("://"));
    const qsizetype at = url.indexOf(QLatin1Char('@'));
    const qsizetype colon = url.indexOf(QLatin1Char(':'), start + 3);
    if (start < 0 || at < 0 || colon < 0 || colon > at)
        return url;
    return url.left(colon + 1) + QStringLiteral("***") + url.mid(at);
}

} // namespace

QString HistoryLocation::displayName() const
{
    if (kind == Kind::SqliteFile)
        return displayPath(filePath);
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return visibleText(QStringLiteral("%1@%2:%3/%4").arg(user, shownHost).arg(port).arg(database));
}

QString historySettingsFileName()
{
    return QStringLiteral("corvial.ini");
}

bool parsePostgresUrl(const QString &url, HistoryLocation *out, QString *reason)
{
    const QString form = QStringLiteral("%1 の形で書いてください。").arg(kUrlForm);
    if (!url.startsWith(kScheme))
        return refuse(reason, QStringLiteral("postgresql:// で始まっていません。") + form);
    const QString rest = url.mid(kScheme.size());
    const qsizetype at = rest.indexOf(QLatin1Char('@'));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (at < 0 || (slash >= 0 && slash < at))
        return refuse(reason, QStringLiteral("ユーザー名がありません。") + form);
    if (slash < 0)
        return refuse(reason, QStringLiteral("データベース名がありません。") + form);
    const QString userPart = rest.left(at);
    // A password in a settings file that every user of the group reads would be shared
    // with all of them; libpq reads it from the user's own ~/.pgpass or PGPASSWORD instead.
    if (userPart.contains(QLatin1Char(':')))
        return refuse(reason, QStringLiteral("パスワードは書けません。~/.pgpass か環境変数 "
                                             "PGPASSWORD に設定してください。"));
    HistoryLocation loc;
    loc.kind = HistoryLocation::Kind::PostgreSql;
    if (!urlPart(userPart, QStringLiteral("ユーザー名"), &loc.user, reason))
        return false;

    QString hostPort = rest.mid(at + 1, slash - at - 1);
    QString portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        if (close < 0)
            return refuse(reason, QStringLiteral("ホスト名の [ が ] で閉じられていません。"));
        loc.host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return refuse(reason, QStringLiteral("ホスト名の ] の後には :ポート だけが書けます。"));
        portText = after.mid(1);
        if (after.size() == 1)
            return refuse(reason, QStringLiteral("ポート番号がありません。") + form);
    } else {
        const qsizetype colon = hostPort.indexOf(QLatin1Char(':'));
        loc.host = colon < 0 ? hostPort : hostPort.left(colon);
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
        if (colon >= 0 && portText.isEmpty())
            return refuse(reason, QStringLiteral("ポート番号がありません。") + form);
    }
    const bool bracketed = hostPort.startsWith(QLatin1Char('['));
    bool hostOk = !loc.host.isEmpty();
    for (QChar c : std::as_const(loc.host)) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_');
        if (!plain && !(bracketed && c == QLatin1Char(':')))
            hostOk = false;
    }
    if (!hostOk)
        return refuse(reason, QStringLiteral("ホスト名がないか、使えない文字があります。") + form);
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        const bool digitsOnly = std::all_of(portText.begin(), portText.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!ok || !digitsOnly || port < 1 || port > 65535)
            return refuse(reason,
                          QStringLiteral("ポート番号は 1 から 65535 の数で書いてください。"));
        loc.port = port;
    }
    const QString dbPart = rest.mid(slash + 1);
    if (dbPart.contains(QLatin1Char('/')) || dbPart.contains(QLatin1Char('?')) ||
        dbPart.contains(QLatin1Char('#')))
        return refuse(reason,
                      QStringLiteral("データベース名の後に余分なもの (/ ? #) があります。") + form);
    if (!urlPart(dbPart, QStringLiteral("データベース名"), &loc.database, reason))
        return false;
    *out = loc;
    return true;
}

bool historyLocationFromValue(const QString &value, HistoryLocation *out, QString *error)
{
    const QString v = value.trimmed();
    // Any URL is taken for one: a misspelt scheme must not become the name of a new file.
    if (v.contains(QStringLiteral("://")) || v.startsWith(QStringLiteral("postgresql:")) ||
        v.startsWith(QStringLiteral("postgres:"))) {
        QString reason;
        if (!parsePostgresUrl(v, out, &reason))
            return refuse(error, QStringLiteral("印刷履歴のデータベースの指定が正しくありません: "
                                                "%1\n%2")
                                     .arg(visibleText(withoutPassword(v)), reason));
        return true;
    }
    if (v.isEmpty())
        return refuse(error, QStringLiteral("印刷履歴のデータベースが指定されていません。"));
    HistoryLocation loc;
    loc.filePath = QFileInfo(v).absoluteFilePath();
    *out = loc;
    return true;
}

bool historyLocationForSettings(const QString &settingsPath, HistoryLocation *out, QString *error)
{
    // Every name of one start.txt shares one history, beside the file the links resolve
    // to: the package's start.txt in /var/lib/corvial-manager is reached through a link.
    const QString resolved = QFileInfo(settingsPath).canonicalFilePath();
    const QFileInfo settings(resolved.isEmpty() ? settingsPath : resolved);
    const QDir folder = settings.absoluteDir();
    const QString iniPath = folder.filePath(historySettingsFileName());

    HistoryLocation loc;
    loc.filePath = folder.filePath(QStringLiteral("history.sqlite"));
    struct stat st;
    if (::stat(QFile::encodeName(settings.absoluteFilePath()).constData(), &st) == 0)
        loc.fileMode = int(st.st_mode & 07777);

    const QByteArray iniName = QFile::encodeName(iniPath);
    if (::lstat(iniName.constData(), &st) != 0 && errno == ENOENT) {
        *out = loc;
        return true;
    }
    QByteArray content;
    QString reason;
    bool tooLarge = false;
    if (!readBoundedFile(iniPath, MaxHistorySettingsBytes, &content, &reason, &tooLarge))
        return refuse(error, QStringLiteral("印刷履歴の設定ファイルを読み込めませんでした: "
                                            "%1\n%2")
                                 .arg(displayPath(iniPath), reason));

    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    QString section;
    int databaseLine = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const int lineNo = i + 1;
        auto lineError = [&](const QString &why) {
            return refuse(error, QStringLiteral("印刷履歴の設定ファイルの %1 行目が正しくありません"
                                                ": %2\n%3")
                                     .arg(lineNo)
                                     .arg(displayPath(iniPath), why));
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return lineError(QStringLiteral("節の名前が ] で閉じられていません。"));
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        // Other sections belong to other settings and are left to their readers.
        if (section != QLatin1String("history"))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return lineError(QStringLiteral("「名前=値」の形ではありません。"));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        // A misspelt name would silently leave the PC on its own file while the others
        // share the server: refused instead.
        if (key != QLatin1String("database"))
            return lineError(QStringLiteral("[history] に「%1」という設定はありません。"
                                            "使えるのは database だけです。")
                                 .arg(visibleText(key)));
        if (databaseLine)
            return lineError(
                QStringLiteral("database は %1 行目にも書かれています。").arg(databaseLine));
        databaseLine = lineNo;
        if (!parsePostgresUrl(value, &loc, &reason))
            return lineError(reason);
    }
    *out = loc;
    return true;
}

} // namespace corvial
