// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryLocation.h"

#include "files/SafeFile.h"
#include "job/TextCharacters.h"
#include "settings/CompanionSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

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

// url as a message may echo it: whatever may be a password is replaced by "***". A
// password may hold "@", ":" or "/" as typed, so everything from the first ":" after the
// user to the last "@" is hidden (the host and database are what the message is about); a
// libpq "password=" parameter loses its value too.
QString withoutPassword(const QString &url)
{
    QString shown = url;
    const qsizetype start = shown.indexOf(QStringLiteral("://"));
    const qsizetype at = shown.lastIndexOf(QLatin1Char('@'));
    if (start >= 0 && at > start) {
        const qsizetype colon = shown.indexOf(QLatin1Char(':'), start + 3);
        if (colon >= 0 && colon < at)
            shown = shown.left(colon + 1) + QStringLiteral("***") + shown.mid(at);
    }
    qsizetype from = 0;
    for (;;) {
        const qsizetype key = shown.indexOf(QStringLiteral("password="), from, Qt::CaseInsensitive);
        if (key < 0)
            break;
        const qsizetype value = key + 9;
        qsizetype end = shown.indexOf(QLatin1Char('&'), value);
        if (end < 0)
            end = shown.size();
        shown.replace(value, end - value, QStringLiteral("***"));
        from = value + 3;
    }
    return shown;
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

    HistoryLocation loc;
    loc.filePath = settings.absoluteDir().filePath(QStringLiteral("history.sqlite"));
    struct stat st;
    if (::stat(QFile::encodeName(settings.absoluteFilePath()).constData(), &st) == 0)
        loc.fileMode = int(st.st_mode & 07777);

    const CompanionSettings read = readCompanionSettings(settingsPath);
    const auto fail = [&](const QString &reason) {
        return refuse(error, QStringLiteral("印刷履歴の設定ファイルを読み込めませんでした: "
                                            "%1\n%2")
                                 .arg(displayPath(read.path), reason));
    };
    if (!read.fileError.isEmpty())
        return fail(read.fileError);
    if (!read.historyError.isEmpty())
        return fail(read.historyError);
    const HistorySettings &h = read.history;
    if (h.database.line) {
        QString reason;
        if (!parsePostgresUrl(h.database.value, &loc, &reason))
            return fail(QStringLiteral("%1 行目の [history] database が正しくありません。%2")
                            .arg(h.database.line)
                            .arg(reason));
    }
    loc.connectTimeoutSeconds = h.connectTimeoutSeconds.value;
    loc.lockTimeoutSeconds = h.lockTimeoutSeconds.value;
    loc.statementTimeoutSeconds = h.statementTimeoutSeconds.value;
    *out = loc;
    return true;
}

} // namespace corvial
