// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryStore.h"

#include "history/HistoryCells.h"

#include "files/SafeFile.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvial {

namespace {

// The schema this program writes; a history made by a newer one is not written to.
constexpr int kSchemaVersion = 1;
// How long a writer waits for another to finish before it gives up, in milliseconds.
constexpr int kBusyMilliseconds = 5000;
// How long the server may leave a sent packet unacknowledged before the connection is
// given up, in milliseconds: a server that stops answering mid-statement (a cable pulled, a
// PC asleep) must not hold a print for the minutes TCP takes on its own.
constexpr int kUnansweredMilliseconds = 15000;
// A job sent to CUPS whose completion was never written is followed this many days: CUPS
// forgets ended jobs long before, and every print asks about the followed ones, so the
// look must not grow with the years of a history.
constexpr int kSentFollowDays = 14;
// Key of the advisory lock that serializes the creation and upgrade of the tables, and the
// class of the per-job locks under which a later event is checked and written.
constexpr int kSchemaLockKey = 7305119;
constexpr int kJobLockClass = 7305120;
// Mode of a new history file when start.txt's cannot be looked at: the group shares it.
constexpr mode_t kDefaultFileMode = 0664;

// The columns of a job in the order they are written and read. Only the id column is
// declared differently on the two kinds of database; every statement is the same text.
const char *const kJobColumns =
    "started_utc, user_name, host_name, program, sheet_type, samples, repeat_count, "
    "first_number, number_style, start_position, labels, sheets, next_position, next_number, "
    "queue, pdf_path, list_file, list_sha256, marker, text_colour, back_colour, frame, "
    "alignment, font_family, font_points, font_style, code, code_prefix, reprint_of, "
    "cups_server, job_file, job_sha256";
constexpr int kJobColumnCount = 32;

// The columns jobs gained after its first version: a history made before one gets it in
// place, declared so. Older programs go on writing to it, as they name the columns they
// write; their rows get the default. missing is what a history read as it stands gives for
// it: no print server (so that no re-check takes its rows for this PC's jobs), no job file.
struct LaterColumn
{
    const char *name;
    const char *declaration;
    const char *missing;
};
const LaterColumn kLaterColumns[] = {
    {"cups_server", "TEXT", "CAST(NULL AS TEXT)"},
    {"job_file", "TEXT NOT NULL DEFAULT ''", "CAST('' AS TEXT)"},
    {"job_sha256", "TEXT NOT NULL DEFAULT ''", "CAST('' AS TEXT)"},
};

// Attempts of one job file given back: a file is printed once, after a few failed tries at
// most; more means something prints it over and over, and the newest are what tell.
constexpr int kJobFileAttempts = 100;

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime utcFromText(const QString &text)
{
    return historyTimeFromText(text);
}

// A system's reason on one line, as a message shows it: what the driver was doing, then the
// database's own words (QSqlError::text() runs the two together with a bare space).
QString reasonText(const QSqlError &error)
{
    // The server's reasons span lines and indent with tabs.
    const QString database = error.databaseText().simplified();
    const QString driver = error.driverText().simplified();
    QString text = driver.isEmpty() || database.contains(driver)
                       ? database
                       : (database.isEmpty() ? driver : driver + QStringLiteral(": ") + database);
    // The server's codes for a wait or statement cut short by the timeouts of open().
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("55P03"))
        text = QStringLiteral("別の接続が履歴をロックしたままで、待てる時間を過ぎました。") + text;
    else if (code == QLatin1String("57014"))
        text = QStringLiteral("データベースが時間内に答えませんでした。") + text;
    return visibleText(text);
}

QString reasonText(const QSqlQuery &query)
{
    return reasonText(query.lastError());
}

// Runs the forward-only query sql on q with binds in order. False with the database's reason.
bool runSelect(QSqlQuery &q, const QString &sql, const QVariantList &binds, QString *reason)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *reason = reasonText(q);
        return false;
    }
    for (const QVariant &value : binds)
        q.addBindValue(value);
    if (!q.exec()) {
        *reason = reasonText(q);
        return false;
    }
    return true;
}

QString likePattern(const QString &text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == QLatin1Char('!') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('!');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QVariant nullableId(qint64 id)
{
    return id > 0 ? QVariant(id) : QVariant(QMetaType(QMetaType::LongLong));
}

QAtomicInteger<quint64> connectionCounter;

// The values of a jobs row, in the order of kJobColumns.
QVariantList jobValues(const HistoryRecord &r)
{
    const QDateTime started =
        r.startedUtc.isValid() ? r.startedUtc : QDateTime::currentDateTimeUtc();
    return {
        utcText(started),
        r.user,
        r.host,
        r.program,
        r.sheetType,
        r.samples,
        r.repeat,
        r.firstNumber,
        r.numberStyle,
        r.startPosition,
        r.labels,
        r.sheets,
        r.nextPosition,
        r.nextNumber,
        r.queue,
        r.pdfPath,
        r.listFile,
        r.listSha256,
        r.marker,
        r.textColour,
        r.backColour,
        int(r.frame),
        r.alignment,
        r.fontFamily,
        r.fontPoints,
        r.fontStyle,
        int(r.code),
        r.codePrefix,
        nullableId(r.reprintOf),
        r.cupsServer,
        r.jobFile,
        r.jobSha256,
    };
}

// Reads the kJobColumns of a row from column *c on, leaving *c after them.
void readJobColumns(const QSqlQuery &q, int *column, HistoryRecord *record)
{
    int &c = *column;
    HistoryRecord &r = *record;
    r.startedUtc = utcFromText(q.value(c++).toString());
    r.user = q.value(c++).toString();
    r.host = q.value(c++).toString();
    r.program = q.value(c++).toString();
    r.sheetType = q.value(c++).toInt();
    r.samples = q.value(c++).toInt();
    r.repeat = q.value(c++).toInt();
    r.firstNumber = q.value(c++).toInt();
    r.numberStyle = q.value(c++).toString();
    r.startPosition = q.value(c++).toInt();
    r.labels = q.value(c++).toInt();
    r.sheets = q.value(c++).toInt();
    r.nextPosition = q.value(c++).toInt();
    r.nextNumber = q.value(c++).toInt();
    r.queue = q.value(c++).toString();
    r.pdfPath = q.value(c++).toString();
    r.listFile = q.value(c++).toString();
    r.listSha256 = q.value(c++).toString();
    r.marker = q.value(c++).toString();
    r.textColour = q.value(c++).toInt();
    r.backColour = q.value(c++).toInt();
    r.frame = q.value(c++).toInt() != 0;
    r.alignment = q.value(c++).toString();
    r.fontFamily = q.value(c++).toString();
    r.fontPoints = q.value(c++).toDouble();
    r.fontStyle = q.value(c++).toString();
    r.code = q.value(c++).toInt() != 0;
    r.codePrefix = q.value(c++).toString();
    r.reprintOf = q.value(c++).toLongLong();
    r.cupsServer = q.value(c++).toString();
    r.jobFile = q.value(c++).toString();
    r.jobSha256 = q.value(c++).toString();
}

} // namespace

// Which waiting entries a query is for: any waiting one, or those a re-check of host and
// print server follows.
struct WaitingScope
{
    bool followed = false;
    QString host;
    QString server;
};

namespace {

// " AND ..." holding the jobs whose latest outcome is one of outcomes, asked of the events
// themselves so that a listing that joins no latest event can use it too.
QString latestOutcomeIn(const QList<JobOutcome> &outcomes)
{
    QStringList words;
    bool unfinished = false;
    for (const JobOutcome o : outcomes) {
        // A job sent whose completion was lost has an Unfinished event; one never sent none.
        unfinished = unfinished || o == JobOutcome::Unfinished;
        if (o != JobOutcome::Unknown)
            words << QLatin1Char('\'') + outcomeWord(o) + QLatin1Char('\'');
    }
    const QString latest = QStringLiteral(
        "(SELECT l.outcome FROM outcomes l WHERE l.job_id = j.id ORDER BY l.id DESC LIMIT 1)");
    QStringList any;
    if (!words.isEmpty())
        any << QStringLiteral("%1 IN (%2)").arg(latest, words.join(QLatin1Char(',')));
    if (unfinished)
        any << latest + QStringLiteral(" IS NULL");
    return any.isEmpty() ? QStringLiteral(" AND 1 = 0")
                         : QStringLiteral(" AND (%1)").arg(any.join(QStringLiteral(" OR ")));
}

// The conditions of filter (and of one id, or of waiting jobs only) as SQL to append after
// WHERE 1 = 1, with their values appended to *binds in order.
QString filterConditions(const HistoryFilter &filter, qint64 onlyId, const WaitingScope *waiting,
                         QVariantList *bindsOut)
{
    QString sql;
    QVariantList &binds = *bindsOut;
    if (onlyId > 0) {
        sql += QStringLiteral(" AND j.id = ?");
        binds << onlyId;
    }
    if (filter.since.isValid()) {
        sql += QStringLiteral(" AND j.started_utc >= ?");
        binds << utcText(filter.since);
    }
    if (filter.before.isValid()) {
        sql += QStringLiteral(" AND j.started_utc < ?");
        binds << utcText(filter.before);
    }
    if (filter.sampleNumber >= 0) {
        // The distance forward from the first number, counting on from 0 after 9999, is
        // within the job's samples.
        // Only the types that print numbers have printed one; a memo job's first number is
        // just what the list showed.
        QStringList numbered;
        for (const SheetType type : SheetType::all()) {
            if (type.info().numbered)
                numbered << QString::number(type.code());
        }
        sql += QStringLiteral(" AND j.sheet_type IN (%2)"
                              " AND ((CAST(? AS INTEGER) - j.first_number + %1) % %1) "
                              "< j.samples")
                   .arg(HistoryNumberWrap)
                   .arg(numbered.join(QLatin1Char(',')));
        binds << filter.sampleNumber % HistoryNumberWrap;
    }
    if (!filter.text.isEmpty()) {
        sql += QStringLiteral(" AND EXISTS (SELECT 1 FROM job_samples s WHERE s.job_id = j.id "
                              "AND s.sample_text LIKE ? ESCAPE '!')");
        binds << likePattern(filter.text);
    }
    if (filter.sheetType > 0) {
        sql += QStringLiteral(" AND j.sheet_type = ?");
        binds << filter.sheetType;
    }
    if (!filter.jobFile.isEmpty()) {
        // A record of no job file holds an empty hash, never a null one.
        sql += QStringLiteral(" AND j.job_file = ? AND j.job_sha256 = ?");
        binds << filter.jobFile
              << (filter.jobSha256.isNull() ? QStringLiteral("") : filter.jobSha256);
    }
    if (filter.firstPrints)
        sql += QStringLiteral(" AND COALESCE(j.reprint_of, 0) = 0");
    if (!filter.outcomes.isEmpty())
        sql += latestOutcomeIn(filter.outcomes);
    // The jobs that were ever waiting come from the partial index, so that not every job
    // of the history has its latest outcome looked up; of those, the ones still waiting.
    if (waiting && !waiting->followed) {
        sql += QStringLiteral(" AND j.id IN (SELECT w.job_id FROM outcomes w WHERE w.outcome = "
                              "'%1') AND o.outcome = '%1'")
                   .arg(outcomeWord(JobOutcome::Waiting));
    } else if (waiting) {
        // A job sent whose completion was lost has the CUPS id of markSent as its latest
        // event; the recent jobs come from the start index, so that the jobs of years that
        // were all sent so are not looked through on every print.
        sql += QStringLiteral(" AND j.host_name = ? AND j.cups_server = ?"
                              " AND j.id IN (SELECT w.job_id FROM outcomes w WHERE w.outcome = "
                              "'%1' UNION SELECT s.id FROM jobs s WHERE s.started_utc >= ?)"
                              " AND o.outcome IN ('%1', '%2')")
                   .arg(outcomeWord(JobOutcome::Waiting), outcomeWord(JobOutcome::Unfinished));
        binds << waiting->host << waiting->server
              << utcText(QDateTime::currentDateTimeUtc().addDays(-kSentFollowDays));
    }
    return sql;
}

QString filterConditions(const HistoryFilter &filter, qint64 onlyId, bool waitingOnly,
                         QVariantList *binds)
{
    const WaitingScope any;
    return filterConditions(filter, onlyId, waitingOnly ? &any : nullptr, binds);
}

// "0,1,...,count-1": the indices of a job's samples as they come joined from the store.
QStringView sampleIndexList(qsizetype count)
{
    // One list grown as longer jobs come, so that checking a job costs one comparison.
    static thread_local QString list;
    static thread_local QList<qsizetype> ends = {0};
    while (ends.size() <= count) {
        if (ends.size() > 1)
            list += QLatin1Char(',');
        list += QString::number(ends.size() - 1);
        ends << list.size();
    }
    return QStringView(list).left(ends.at(count));
}

// Where and how the connection goes: the SQLite file, or the server with its bounds.
void setConnection(QSqlDatabase &db, const HistoryLocation &location)
{
    if (location.kind == HistoryLocation::Kind::SqliteFile) {
        db.setDatabaseName(location.filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMilliseconds));
        return;
    }
    // The password, if the server asks for one, comes from the user's ~/.pgpass or
    // PGPASSWORD through libpq; it is never stored in our settings. libpq takes 0 as no
    // bound, as the location does.
    db.setHostName(location.host);
    db.setPort(location.port);
    db.setUserName(location.user);
    db.setDatabaseName(location.database);
    db.setConnectOptions(QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=5;"
                                        "keepalives_interval=2;keepalives_count=3;"
                                        "tcp_user_timeout=%2")
                             .arg(qMax(0, location.connectTimeoutSeconds))
                             .arg(kUnansweredMilliseconds));
}

// The settings of an SQLite connection every store relies on; false with the reason.
// Puts the file into WAL mode unless it is in it already, as every history but a new one is:
// asking costs no lock, switching needs the file to itself. Programs opening a new history at
// the same moment each hold a read lock while they ask for that, and SQLite answers one of
// them "locked" at once rather than let both wait for ever; that one asks again, within the
// busy timeout the other waits.
bool useWriteAheadLog(QSqlQuery &q, QString *reason)
{
    if (q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next() &&
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
        q.finish();
        return true;
    }
    q.finish();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
            q.finish();
            return true;
        }
        const bool locked = q.lastError().nativeErrorCode() == QLatin1String("5") ||
                            q.lastError().nativeErrorCode() == QLatin1String("6");
        if (!locked || waited.elapsed() >= kBusyMilliseconds) {
            *reason = reasonText(q);
            return false;
        }
        q.finish();
        QThread::msleep(20);
    }
}

bool tuneSqlite(QSqlDatabase &connection, QString *reason)
{
    QSqlQuery q(connection);
    // WAL lets readers go on while a writer appends.
    if (!useWriteAheadLog(q, reason))
        return false;
    // FULL sync makes a record that was written before a job was sent survive a power cut.
    // LIKE is made case-sensitive, as it is on the server, so a search finds the same
    // entries on both.
    const QStringList pragmas = {
        QStringLiteral("PRAGMA synchronous=FULL"),
        QStringLiteral("PRAGMA foreign_keys=ON"),
        QStringLiteral("PRAGMA case_sensitive_like=ON"),
    };
    for (const QString &pragma : pragmas) {
        if (!q.exec(pragma)) {
            *reason = reasonText(q);
            return false;
        }
    }
    // Each print is a process of its own. Closing the last connection would copy the log
    // into the database and delete it, and the next process would make it anew: four
    // more waits for the disk than the two commits of the record, a good part of what a
    // record cost. The log stays and is copied when it has grown, as SQLite does anyway.
    const QVariant handle = connection.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (sqlite3 *db = *static_cast<sqlite3 *const *>(handle.constData()))
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    return true;
}

// The statements that write a job and its texts, parsed once per connection: parsing them
// again for every job was much of what a record cost. False with the reason.
bool prepareInserts(QSqlDatabase &db, bool sqlite, std::unique_ptr<QSqlQuery> *jobOut,
                    std::unique_ptr<QSqlQuery> *samplesOut, QString *reason)
{
    QStringList marks;
    for (int i = 0; i < kJobColumnCount; ++i)
        marks << QStringLiteral("?");
    auto job = std::make_unique<QSqlQuery>(db);
    auto samples = std::make_unique<QSqlQuery>(db);
    // All of a job's texts in one statement, as one JSON array the database takes apart,
    // rather than a row of bound values per sample.
    const QString samplesSql =
        sqlite ? QStringLiteral("INSERT INTO job_samples (job_id, sample_index, sample_text) "
                                "SELECT ?, CAST(e.key AS INTEGER), e.value FROM json_each(?) e")
               : QStringLiteral("INSERT INTO job_samples (job_id, sample_index, sample_text) "
                                "SELECT CAST(? AS BIGINT), CAST(e.n - 1 AS INTEGER), e.t "
                                "FROM json_array_elements_text(CAST(? AS JSON)) "
                                "WITH ORDINALITY AS e(t, n)");
    if (!job->prepare(QStringLiteral("INSERT INTO jobs (%1) VALUES (%2) RETURNING id")
                          .arg(QLatin1String(kJobColumns), marks.join(QLatin1Char(','))))) {
        *reason = reasonText(*job);
        return false;
    }
    if (!samples->prepare(samplesSql)) {
        *reason = reasonText(*samples);
        return false;
    }
    *jobOut = std::move(job);
    *samplesOut = std::move(samples);
    return true;
}

// The texts as one JSON array, each as the database's UTF-8 holds it: a lone surrogate
// (which no label prints) becomes what a text bound on its own became, instead of a JSON
// escape that PostgreSQL refuses, losing the whole record.
QString sampleTextsJson(const QStringList &sampleTexts)
{
    QStringList texts;
    texts.reserve(sampleTexts.size());
    for (const QString &t : sampleTexts)
        texts << QString::fromUtf8(t.toUtf8());
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}

} // namespace

HistoryStore::HistoryStore() = default;

HistoryStore::~HistoryStore()
{
    close();
}

void HistoryStore::close()
{
    if (mConnection.isEmpty())
        return;
    // Prepared statements belong to the connection and go before it.
    mInsertJob.reset();
    mInsertSamples.reset();
    mInsertEvent.reset();
    mDb.close();
    mDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(mConnection);
    mConnection.clear();
    mJobsSource = QStringLiteral("jobs");
    mNotUpgraded.clear();
}

bool HistoryStore::isOpen() const
{
    return !mConnection.isEmpty() && mDb.isOpen();
}

QString HistoryStore::failure(const QString &what, const QString &reason) const
{
    return QStringLiteral("%1: %2\n%3").arg(what, mLocation.displayName(), reason);
}

bool HistoryStore::prepareFile(HistoryOpenMode mode, QString *error)
{
    const QByteArray name = QFile::encodeName(mLocation.filePath);
    const mode_t bits =
        mLocation.fileMode >= 0 ? mode_t(mLocation.fileMode) & 0666 : kDefaultFileMode;
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        // SQLite would open a FIFO and wait on it, or write its pages into a device.
        if (!S_ISREG(st.st_mode)) {
            *error =
                failure(QStringLiteral("印刷履歴を開けませんでした"), notRegularReason(st.st_mode));
            return false;
        }
        return true;
    }
    if (mode == HistoryOpenMode::ExistingOnly) {
        *error = failure(QStringLiteral("印刷履歴がありません"), qt_error_string(errno));
        return false;
    }
    // Made here rather than by SQLite so that it gets start.txt's bits whatever the umask:
    // every user of the group must be able to append. SQLite gives its -wal and -shm files
    // the bits of the database file.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, bits);
    if (fd < 0) {
        if (errno == EEXIST)
            return true; // another process made it first
        *error =
            failure(QStringLiteral("印刷履歴のファイルを作れませんでした"), qt_error_string(errno));
        return false;
    }
    const int chmodError = ::fchmod(fd, bits) == 0 ? 0 : errno;
    ::close(fd);
    if (chmodError) {
        *error = failure(QStringLiteral("印刷履歴のファイルを作れませんでした"),
                         qt_error_string(chmodError));
        return false;
    }
    return true;
}

bool HistoryStore::startWrite(QString *reason)
{
    QSqlQuery q(mDb);
    // An immediate transaction takes the write lock at once, waiting out the busy timeout,
    // instead of failing when a read inside it would later have to become a write.
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    if (!q.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))) {
        *reason = reasonText(q);
        return false;
    }
    return true;
}

bool HistoryStore::setTimeouts(QString *reason)
{
    // Without them a lock another PC holds (an advisory lock, LOCK TABLE) or a statement
    // the server never finishes would hold the print until someone kills the program.
    QSqlQuery q(mDb);
    if (!q.prepare(QStringLiteral("SELECT set_config('lock_timeout', ?, false), "
                                  "set_config('statement_timeout', ?, false)"))) {
        *reason = reasonText(q);
        return false;
    }
    // A wait for a lock is part of its statement: a statement bound shorter than the lock
    // bound would end the wait first and blame the statement, so it is never shorter.
    const qint64 lockMs = qint64(qMax(0, mLocation.lockTimeoutSeconds)) * 1000;
    qint64 statementMs = qint64(qMax(0, mLocation.statementTimeoutSeconds)) * 1000;
    if (lockMs > 0 && statementMs > 0 && lockMs >= statementMs)
        statementMs = lockMs + 1000;
    q.addBindValue(QString::number(lockMs));
    q.addBindValue(QString::number(statementMs));
    if (!q.exec()) {
        *reason = reasonText(q);
        return false;
    }
    return true;
}

bool HistoryStore::hasTables(bool *all, QString *reason)
{
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    const QString names = QStringLiteral("'history_schema', 'jobs', 'job_samples', 'outcomes'");
    QSqlQuery q(mDb);
    const QString sql =
        sqlite ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND "
                                "name IN (%1)")
               : QStringLiteral("SELECT COUNT(*) FROM information_schema.tables WHERE "
                                "table_schema = current_schema() AND table_name IN (%1)");
    if (!q.exec(sql.arg(names)) || !q.next()) {
        *reason = reasonText(q);
        return false;
    }
    *all = q.value(0).toInt() == 4;
    return true;
}

namespace {

// A schema version as stored: a whole number from 1 on, written as an integer (or, by hand,
// as its digits). Anything else is refused rather than read as some other number.
bool versionOf(const QVariant &value, qint64 *version)
{
    bool ok = false;
    const int type = value.metaType().id();
    if (type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::UInt ||
        type == QMetaType::ULongLong) {
        *version = value.toLongLong(&ok);
    } else if (type == QMetaType::QString || type == QMetaType::QByteArray) {
        const QString text = value.toString();
        ok = !text.isEmpty() && text.size() <= 18 &&
             std::all_of(text.cbegin(), text.cend(),
                         [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
        if (ok)
            *version = text.toLongLong(&ok);
    }
    return ok && *version >= 1;
}

// The history's tables, created when the history is new.
QStringList schemaTables(bool sqlite)
{
    const QString idColumn = sqlite ? QStringLiteral("id INTEGER PRIMARY KEY")
                                    : QStringLiteral("id BIGINT GENERATED BY DEFAULT AS IDENTITY "
                                                     "PRIMARY KEY");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS history_schema (version INTEGER NOT NULL)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS jobs (%1, started_utc VARCHAR(40) NOT NULL, "
            "user_name TEXT NOT NULL, host_name TEXT NOT NULL, program TEXT NOT NULL, "
            "sheet_type INTEGER NOT NULL, samples INTEGER NOT NULL, "
            "repeat_count INTEGER NOT NULL, first_number INTEGER NOT NULL, "
            "number_style TEXT NOT NULL, start_position INTEGER NOT NULL, "
            "labels INTEGER NOT NULL, sheets INTEGER NOT NULL, next_position INTEGER NOT NULL, "
            "next_number INTEGER NOT NULL, queue TEXT NOT NULL, pdf_path TEXT NOT NULL, "
            "list_file TEXT NOT NULL, list_sha256 TEXT NOT NULL, marker TEXT NOT NULL, "
            "text_colour INTEGER NOT NULL, back_colour INTEGER NOT NULL, "
            "frame INTEGER NOT NULL, alignment TEXT NOT NULL, font_family TEXT NOT NULL, "
            "font_points DOUBLE PRECISION NOT NULL, font_style TEXT NOT NULL, "
            "code INTEGER NOT NULL, code_prefix TEXT NOT NULL, "
            "reprint_of BIGINT REFERENCES jobs (id), cups_server TEXT, "
            "job_file TEXT NOT NULL DEFAULT '', job_sha256 TEXT NOT NULL DEFAULT '')")
            .arg(idColumn),
        QStringLiteral("CREATE TABLE IF NOT EXISTS job_samples ("
                       "job_id BIGINT NOT NULL REFERENCES jobs (id), "
                       "sample_index INTEGER NOT NULL, sample_text TEXT NOT NULL, "
                       "PRIMARY KEY (job_id, sample_index))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS outcomes (%1, "
                       "job_id BIGINT NOT NULL REFERENCES jobs (id), "
                       "recorded_utc VARCHAR(40) NOT NULL, outcome VARCHAR(16) NOT NULL, "
                       "reason TEXT NOT NULL, cups_job_id INTEGER)")
            .arg(idColumn),
    };
}

// The indexes, made whether or not the tables were just made, so that a history made
// before an index gains it.
QStringList schemaIndexes()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS outcomes_by_job ON outcomes (job_id, id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS jobs_by_start ON jobs (started_utc)"),
        // Every start of either program looks for jobs left waiting; with this the look costs
        // as little in a history of years as in a new one.
        QStringLiteral("CREATE INDEX IF NOT EXISTS outcomes_waiting ON outcomes (job_id) "
                       "WHERE outcome = '%1'")
            .arg(outcomeWord(JobOutcome::Waiting)),
        // A watched folder asks, for every file it finds, whether that file was printed.
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS jobs_by_job_file ON jobs (job_file, job_sha256)"),
    };
}

// Runs the statements in order; false at the first that fails, q then says why.
bool execAll(QSqlQuery &q, const QStringList &statements)
{
    for (const QString &statement : statements) {
        if (!q.exec(statement))
            return false;
    }
    return true;
}

// The newest schema version the history holds, 0 when it holds none. False with the reason.
bool newestVersion(QSqlQuery &q, qint64 *newest, QString *reason)
{
    if (!q.exec(QStringLiteral("SELECT version FROM history_schema"))) {
        *reason = reasonText(q);
        return false;
    }
    *newest = 0;
    // A hand-made table of millions of rows must not be read whole.
    for (int row = 0; row < 1000 && q.next(); ++row) {
        qint64 version = 0;
        if (!versionOf(q.value(0), &version)) {
            *reason =
                QStringLiteral("履歴の版「%1」が数ではありません。この履歴には書き込めません。")
                    .arg(visibleText(q.value(0).toString()).left(40));
            return false;
        }
        *newest = qMax(*newest, version);
    }
    if (q.lastError().isValid()) {
        *reason = reasonText(q);
        return false;
    }
    return true;
}

// Why a listing or a reprint finds nothing to read.
QString noTablesReason()
{
    return QStringLiteral("印刷の記録がまだありません（履歴の表がありません）。"
                          "履歴は最初の印刷で作られます。");
}

QString newerVersionReason(qint64 newest)
{
    return QStringLiteral("新しい版の Corvial Manager が作った履歴です (版 %1)。"
                          "この版では書き込めません。")
        .arg(newest);
}

// The later columns the jobs table lacks, in kLaterColumns' order. False with the reason.
bool missingLaterColumns(QSqlQuery &q, bool sqlite, QList<const LaterColumn *> *missing,
                         QString *reason)
{
    const QString sql =
        sqlite ? QStringLiteral("SELECT name FROM pragma_table_info('jobs')")
               : QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                "table_schema = current_schema() AND table_name = 'jobs'");
    if (!q.exec(sql)) {
        *reason = reasonText(q);
        return false;
    }
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    if (q.lastError().isValid()) {
        *reason = reasonText(q);
        return false;
    }
    q.finish();
    missing->clear();
    for (const LaterColumn &column : kLaterColumns) {
        if (!present.contains(QLatin1String(column.name)))
            *missing << &column;
    }
    return true;
}

} // namespace

bool HistoryStore::addLaterColumns(QString *reason)
{
    // Histories written before a column was kept get it in place; their rows have the
    // column's default. Runs inside createSchema's transaction, under the creation lock on
    // the server.
    QSqlQuery q(mDb);
    QList<const LaterColumn *> missing;
    if (!missingLaterColumns(q, mLocation.kind == HistoryLocation::Kind::SqliteFile, &missing,
                             reason))
        return false;
    for (const LaterColumn *column : std::as_const(missing)) {
        if (!q.exec(QStringLiteral("ALTER TABLE jobs ADD COLUMN %1 %2")
                        .arg(QLatin1String(column->name), QLatin1String(column->declaration)))) {
            *reason = reasonText(q);
            return false;
        }
    }
    return true;
}

bool HistoryStore::readAsItStands(QString *reason)
{
    // A listing must not depend on the right to change the history: a file this user may
    // only read, or a role that does not own the tables, still lists what it holds. Read
    // under the same conditions as an upgrade, without writing anything.
    const QString why = *reason;
    bool all = false;
    if (!hasTables(&all, reason))
        return false;
    if (!all) {
        *reason = noTablesReason();
        return false;
    }
    QSqlQuery q(mDb);
    qint64 newest = 0;
    if (!newestVersion(q, &newest, reason))
        return false;
    if (newest > kSchemaVersion) {
        *reason = newerVersionReason(newest);
        return false;
    }
    QList<const LaterColumn *> missing;
    if (!missingLaterColumns(q, mLocation.kind == HistoryLocation::Kind::SqliteFile, &missing,
                             reason))
        return false;
    if (missing.isEmpty())
        return true;
    QStringList given;
    for (const LaterColumn *column : std::as_const(missing))
        given << QStringLiteral("%1 AS %2")
                     .arg(QLatin1String(column->missing), QLatin1String(column->name));
    mJobsSource = QStringLiteral("(SELECT *, %1 FROM jobs)").arg(given.join(QStringLiteral(", ")));
    mNotUpgraded = why;
    return true;
}

bool HistoryStore::createSchema(HistoryOpenMode mode, QString *reason)
{
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    if (!startWrite(reason))
        return false;
    QSqlQuery q(mDb);
    auto rollback = [&]() {
        q.finish();
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    auto fail = [&]() {
        *reason = reasonText(q);
        return rollback();
    };
    // Two PCs opening a new database at once would both create its tables; on the server
    // the second then fails, so the creation is serialized there.
    if (!sqlite && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey)))
        return fail();
    // The server would otherwise tell of every table that already exists on each open.
    if (!sqlite && !q.exec(QStringLiteral("SET LOCAL client_min_messages = warning")))
        return fail();
    if (mode == HistoryOpenMode::CreateWhenMissing) {
        if (!execAll(q, schemaTables(sqlite)))
            return fail();
    } else {
        // Looked at again under the lock: the tables open() saw are still all there.
        bool all = false;
        if (!hasTables(&all, reason))
            return rollback();
        if (!all) {
            *reason = noTablesReason();
            return rollback();
        }
    }
    if (!addLaterColumns(reason))
        return rollback();
    if (!execAll(q, schemaIndexes()))
        return fail();
    qint64 newest = 0;
    if (!newestVersion(q, &newest, reason))
        return rollback();
    q.finish();
    if (newest == 0) {
        if (!q.prepare(QStringLiteral("INSERT INTO history_schema (version) VALUES (?)")))
            return fail();
        q.addBindValue(kSchemaVersion);
        if (!q.exec())
            return fail();
    } else if (newest > kSchemaVersion) {
        *reason = newerVersionReason(newest);
        return rollback();
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail();
    return true;
}

bool HistoryStore::open(const HistoryLocation &location, QString *error, HistoryOpenMode mode)
{
    close();
    mLocation = location;
    const bool sqlite = location.kind == HistoryLocation::Kind::SqliteFile;
    if (sqlite && !prepareFile(mode, error))
        return false;

    mConnection = QStringLiteral("corvial-history-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    mDb = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
                                    mConnection);
    const QString what = QStringLiteral("印刷履歴を開けませんでした");
    if (!mDb.isValid()) {
        const QString reason = reasonText(mDb.lastError());
        close();
        *error = failure(
            what, QStringLiteral("データベースのドライバー (%1) がありません。%2")
                      .arg(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), reason));
        return false;
    }
    setConnection(mDb, location);
    auto fail = [&](const QString &reason) {
        close();
        *error = failure(what, reason);
        return false;
    };
    if (!mDb.open())
        return fail(reasonText(mDb.lastError()));
    QString reason;
    if (!sqlite && !setTimeouts(&reason))
        return fail(reason);
    if (mode == HistoryOpenMode::ExistingOnly) {
        // Before the pragmas below, which would turn any SQLite file into one of ours.
        bool all = false;
        if (!hasTables(&all, &reason))
            return fail(reason);
        if (!all)
            return fail(noTablesReason());
    }
    if (sqlite && !tuneSqlite(mDb, &reason))
        return fail(reason);
    if (!createSchema(mode, &reason) &&
        !(mode == HistoryOpenMode::ExistingOnly && readAsItStands(&reason)))
        return fail(reason);
    return true;
}

qint64 HistoryStore::begin(const HistoryRecord &r, QString *error)
{
    const QString what = QStringLiteral("印刷履歴に書き込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return 0;
    }
    // Its record would lack what the re-check and the watched folder go by.
    if (!mNotUpgraded.isEmpty()) {
        *error = failure(what, QStringLiteral("履歴が古い版のままで、この版の記録の列を足せません"
                                              "でした: %1")
                                   .arg(mNotUpgraded));
        return 0;
    }
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    if (!mInsertJob) {
        QString reason;
        if (!prepareInserts(mDb, sqlite, &mInsertJob, &mInsertSamples, &reason)) {
            *error = failure(what, reason);
            return 0;
        }
    }
    QString reason;
    if (!startWrite(&reason)) {
        *error = failure(what, reason);
        return 0;
    }
    QSqlQuery &q = *mInsertJob;
    auto fail = [&](const QSqlQuery &failed) -> qint64 {
        *error = failure(what, reasonText(failed));
        mInsertJob->finish();
        mInsertSamples->finish();
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return 0;
    };
    const QVariantList values = jobValues(r);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        // The server refuses NULL in the NOT NULL text columns: an unset string is empty.
        q.bindValue(i, value.metaType().id() == QMetaType::QString && value.toString().isNull()
                           ? QVariant(QString(QLatin1String("")))
                           : value);
    }
    if (!q.exec() || !q.next())
        return fail(q);
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    if (!r.sampleTexts.isEmpty()) {
        QSqlQuery &s = *mInsertSamples;
        s.bindValue(0, id);
        s.bindValue(1, sampleTextsJson(r.sampleTexts));
        if (!s.exec())
            return fail(s);
        // A text the array did not carry whole would be lost without a word.
        if (s.numRowsAffected() != r.sampleTexts.size()) {
            *error = failure(what, QStringLiteral("検体の文字列 %1 個のうち %2 個しか書き込まれ"
                                                  "ませんでした。")
                                       .arg(r.sampleTexts.size())
                                       .arg(s.numRowsAffected()));
            QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
            return 0;
        }
        s.finish();
    }
    QSqlQuery commit(mDb);
    if (!commit.exec(QStringLiteral("COMMIT")))
        return fail(commit);
    return id;
}

bool HistoryStore::addEvent(qint64 id, JobOutcome outcome, const QString &reason, int cupsJobId,
                            QString *error)
{
    const QString what = QStringLiteral("印刷履歴に書き込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    if (!mInsertEvent) {
        auto event = std::make_unique<QSqlQuery>(mDb);
        if (!event->prepare(QStringLiteral("INSERT INTO outcomes (job_id, recorded_utc, outcome, "
                                           "reason, cups_job_id) VALUES (?, ?, ?, ?, ?)"))) {
            *error = failure(what, reasonText(*event));
            return false;
        }
        mInsertEvent = std::move(event);
    }
    QSqlQuery &q = *mInsertEvent;
    // A single INSERT is its own transaction; the foreign key refuses an id never begun.
    q.bindValue(0, id);
    q.bindValue(1, utcText(QDateTime::currentDateTimeUtc()));
    q.bindValue(2, outcomeWord(outcome));
    q.bindValue(3, reason.isNull() ? QString(QLatin1String("")) : reason);
    q.bindValue(4, cupsJobId > 0 ? QVariant(cupsJobId) : QVariant(QMetaType(QMetaType::Int)));
    const bool ok = q.exec();
    if (!ok)
        *error = failure(what, reasonText(q));
    q.finish();
    return ok;
}

bool HistoryStore::finish(qint64 id, JobOutcome outcome, const QString &reason, int cupsJobId,
                          QString *error)
{
    if (outcome == JobOutcome::Unfinished) {
        *error = failure(
            QStringLiteral("印刷履歴に書き込めませんでした"),
            QStringLiteral("終わった印刷に「%1」は記録できません。").arg(outcomeJapanese(outcome)));
        return false;
    }
    return addEvent(id, outcome, reason, cupsJobId, error);
}

bool HistoryStore::markSent(qint64 id, int cupsJobId, QString *error)
{
    if (cupsJobId <= 0) {
        *error = failure(QStringLiteral("印刷履歴に書き込めませんでした"),
                         QStringLiteral("CUPS のジョブ番号 %1 は記録できません。").arg(cupsJobId));
        return false;
    }
    // The attempt has not ended, so its outcome stays "unfinished"; the id is what lets a
    // later re-check follow it should its completion never be written.
    return addEvent(id, JobOutcome::Unfinished, QString(), cupsJobId, error);
}

bool HistoryStore::markLater(qint64 id, JobOutcome outcome, const QString &reason, QString *error,
                             bool *written)
{
    if (written)
        *written = false;
    if (outcome != JobOutcome::Aborted && outcome != JobOutcome::Cancelled) {
        *error = failure(QStringLiteral("印刷履歴に書き込めませんでした"),
                         QStringLiteral("後から記録できるのは中止か取り消しだけです。"));
        return false;
    }
    return addFollowUp(id, outcome, reason, error, written);
}

bool HistoryStore::addFollowUp(qint64 id, JobOutcome outcome, const QString &reason, QString *error,
                               bool *written)
{
    const QString what = QStringLiteral("印刷履歴に書き込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    QString why;
    if (!startWrite(&why)) {
        *error = failure(what, why);
        return false;
    }
    QSqlQuery q(mDb);
    auto fail = [&]() {
        *error = failure(what, reasonText(q));
        q.finish();
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    // Two programs re-checking at once both saw the job waiting; the one that comes second
    // must see the other's event. SQLite's immediate transaction already lets one writer
    // in at a time; on the server a lock per job does, and each statement after it sees
    // what the other committed.
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    if (!sqlite) {
        if (!q.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(%1, CAST(? AS INTEGER))")
                           .arg(kJobLockClass)))
            return fail();
        q.addBindValue(int(id % 2147483647));
        if (!q.exec())
            return fail();
    }
    if (!q.prepare(QStringLiteral("SELECT outcome FROM outcomes WHERE job_id = ? "
                                  "ORDER BY id DESC LIMIT 1")))
        return fail();
    q.addBindValue(id);
    if (!q.exec())
        return fail();
    const QString latest = q.next() ? q.value(0).toString() : QString();
    if (q.lastError().isValid())
        return fail();
    q.finish();
    if (latest != outcomeWord(JobOutcome::Waiting) &&
        latest != outcomeWord(JobOutcome::Unfinished)) {
        // Ended already, by another program or its own completion: nothing to add.
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return true;
    }
    if (!addEvent(id, outcome, reason, 0, error)) {
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail();
    if (written)
        *written = true;
    return true;
}

QString HistoryStore::entryColumns() const
{
    return QStringLiteral("SELECT j.id, %1, o.outcome, o.reason, o.recorded_utc, "
                          "(SELECT MAX(c.cups_job_id) FROM outcomes c WHERE c.job_id = j.id) "
                          "FROM %2 j LEFT JOIN outcomes o ON o.id = "
                          "(SELECT MAX(l.id) FROM outcomes l WHERE l.job_id = j.id) WHERE 1 = 1")
        .arg(QStringLiteral("j.") + QString::fromLatin1(kJobColumns)
                                        .split(QStringLiteral(", "))
                                        .join(QStringLiteral(", j.")),
             mJobsSource);
}

void HistoryStore::readEntry(const QSqlQuery &q, HistoryEntry *entry) const
{
    HistoryEntry &e = *entry;
    int c = 0;
    e.id = q.value(c++).toLongLong();
    readJobColumns(q, &c, &e.record);
    const QVariant outcome = q.value(c++);
    // A word this version does not know (a newer one's, or a hand edit) is shown as it
    // stands; one such row must not keep the rest of the history from being listed.
    if (!outcome.isNull() && !outcomeFromWord(outcome.toString(), &e.outcome)) {
        e.outcome = JobOutcome::Unknown;
        e.unknownOutcome = outcome.toString();
    }
    e.reason = q.value(c++).toString();
    const QVariant recorded = q.value(c++);
    if (!recorded.isNull())
        e.outcomeUtc = utcFromText(recorded.toString());
    e.cupsJobId = q.value(c++).toInt();
}

bool HistoryStore::readSampleTexts(QList<HistoryEntry> *entries, QString *reason)
{
    // A job's texts come joined into one row with their indices beside them: read a row per
    // text, the 2 million samples of a long history cost more than all else in a listing.
    // The separator is a control character that the label text rule refuses; the indices
    // prove that each text was split where it ended and that the texts came in order (SQLite
    // promises no order within group_concat). A job they do not prove is read text by text.
    // The ids are the store's own integers, written into the statement so that no driver's
    // limit on bound values applies.
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    const QString joined = sqlite ? QStringLiteral("group_concat(%1, %2)")
                                  : QStringLiteral("string_agg(%1, %2 ORDER BY s.sample_index)");
    const QString separatorSql = sqlite ? QStringLiteral("char(31)") : QStringLiteral("chr(31)");
    const QChar separator(0x1f);
    const QString joinedSql =
        QStringLiteral("SELECT s.job_id, %1, %2 FROM job_samples s WHERE s.job_id IN (%3) "
                       "GROUP BY s.job_id")
            .arg(joined.arg(QStringLiteral("CAST(s.sample_index AS TEXT)"), QStringLiteral("','")),
                 joined.arg(QStringLiteral("s.sample_text"), separatorSql));
    constexpr qsizetype kJobsPerRead = 500;
    QHash<qint64, qsizetype> at;
    at.reserve(entries->size());
    for (qsizetype i = 0; i < entries->size(); ++i)
        at.insert(entries->at(i).id, i);
    QList<qsizetype> unproven;
    for (qsizetype from = 0; from < entries->size(); from += kJobsPerRead) {
        QStringList ids;
        const qsizetype to = qMin(entries->size(), from + kJobsPerRead);
        for (qsizetype i = from; i < to; ++i)
            ids << QString::number(entries->at(i).id);
        QSqlQuery s(mDb);
        s.setForwardOnly(true);
        if (!s.exec(joinedSql.arg(ids.join(QLatin1Char(','))))) {
            *reason = reasonText(s);
            return false;
        }
        while (s.next()) {
            const qsizetype index = at.value(s.value(0).toLongLong());
            QStringList texts = s.value(2).toString().split(separator);
            if (s.value(1).toString() == sampleIndexList(texts.size()))
                (*entries)[index].record.sampleTexts = std::move(texts);
            else
                unproven << index;
        }
        if (s.lastError().isValid()) {
            *reason = reasonText(s);
            return false;
        }
    }
    for (const qsizetype index : std::as_const(unproven)) {
        QSqlQuery s(mDb);
        s.setForwardOnly(true);
        if (!s.prepare(QStringLiteral("SELECT sample_text FROM job_samples WHERE job_id = ? "
                                      "ORDER BY sample_index"))) {
            *reason = reasonText(s);
            return false;
        }
        s.addBindValue(entries->at(index).id);
        if (!s.exec()) {
            *reason = reasonText(s);
            return false;
        }
        QStringList &texts = (*entries)[index].record.sampleTexts;
        while (s.next())
            texts << s.value(0).toString();
        if (s.lastError().isValid()) {
            *reason = reasonText(s);
            return false;
        }
    }
    return true;
}

bool HistoryStore::query(const HistoryFilter &filter, qint64 onlyId, const WaitingScope *waiting,
                         QList<HistoryEntry> *out, QString *error, bool *more)
{
    const QString what = QStringLiteral("印刷履歴を読み込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    const int limit = qMax(1, filter.limit);
    QString sql = entryColumns();
    QVariantList binds;
    sql += filterConditions(filter, onlyId, waiting, &binds);
    // One more than asked tells whether more entries match.
    sql += QStringLiteral(" ORDER BY j.started_utc DESC, j.id DESC LIMIT %1").arg(limit + 1);

    QSqlQuery q(mDb);
    QString reason;
    if (!runSelect(q, sql, binds, &reason)) {
        *error = failure(what, reason);
        return false;
    }
    QList<HistoryEntry> found;
    // Growing a list of large entries one by one moved the whole list many times over.
    found.reserve(qMin(limit, 100000));
    bool extra = false;
    while (q.next()) {
        if (found.size() == limit) {
            extra = true;
            break;
        }
        HistoryEntry e;
        readEntry(q, &e);
        found << std::move(e);
    }
    if (q.lastError().isValid()) {
        *error = failure(what, reasonText(q));
        return false;
    }
    q.finish();

    if (!readSampleTexts(&found, &reason)) {
        *error = failure(what, reason);
        return false;
    }
    *out = std::move(found);
    if (more)
        *more = extra;
    return true;
}

bool HistoryStore::entriesOldestFirst(const HistoryFilter &filter, const HistoryPage &page,
                                      QString *error, bool *more)
{
    const QString what = QStringLiteral("印刷履歴を読み込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    auto fail = [&](const QString &reason) {
        *error = failure(what, reason);
        return false;
    };
    QVariantList binds;
    const QString conditions = filterConditions(filter, 0, false, &binds);
    QSqlQuery q(mDb);
    // The newest entry left out, if any: the listing starts after it.
    QString why;
    if (!runSelect(q,
                   QStringLiteral("SELECT j.started_utc, j.id FROM %3 j WHERE 1 = 1%1 ORDER BY "
                                  "j.started_utc DESC, j.id DESC LIMIT 1 OFFSET %2")
                       .arg(conditions, QString::number(qMax(1, filter.limit)), mJobsSource),
                   binds, &why))
        return fail(why);
    QVariantList after;
    if (q.next())
        after = {q.value(0), q.value(1)};
    else if (q.lastError().isValid())
        return fail(reasonText(q));
    q.finish();
    if (more)
        *more = !after.isEmpty();

    // Page after page, each starting after the last entry of the one before: memory stays
    // that of one page however long the history, and every page is one indexed range.
    constexpr int kEntriesPerPage = 1000;
    QList<HistoryEntry> found;
    found.reserve(kEntriesPerPage);
    QString reason;
    for (;;) {
        QString sql = entryColumns() + conditions;
        if (!after.isEmpty())
            sql += QStringLiteral(" AND (j.started_utc, j.id) > (?, ?)");
        sql += QStringLiteral(" ORDER BY j.started_utc, j.id LIMIT %1").arg(kEntriesPerPage);
        if (!q.prepare(sql))
            return fail(reasonText(q));
        for (const QVariant &value : std::as_const(binds))
            q.addBindValue(value);
        for (const QVariant &value : std::as_const(after))
            q.addBindValue(value);
        if (!q.exec())
            return fail(reasonText(q));
        found.clear();
        while (q.next()) {
            HistoryEntry e;
            readEntry(q, &e);
            found << std::move(e);
            after = {q.value(1), q.value(0)};
        }
        if (q.lastError().isValid())
            return fail(reasonText(q));
        q.finish();
        if (found.isEmpty())
            return true;
        if (!readSampleTexts(&found, &reason))
            return fail(reason);
        if (!page(found, error))
            return false;
        if (found.size() < kEntriesPerPage)
            return true;
    }
}

bool HistoryStore::entriesNewestFirst(const HistoryFilter &filter, int firstPage,
                                      const HistoryPage &page, QString *error, bool *more)
{
    const QString what = QStringLiteral("印刷履歴を読み込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    auto fail = [&](const QString &reason) {
        *error = failure(what, reason);
        return false;
    };
    QVariantList binds;
    const QString conditions = filterConditions(filter, 0, false, &binds);
    // Pages grow: the first is small so that it comes quickly, the later ones cost fewer
    // statements. Each starts after the last entry handed over, one indexed range.
    constexpr int kLargestPage = 500;
    int left = qMax(1, filter.limit);
    int size = qBound(1, firstPage, kLargestPage);
    QVariantList after;
    QSqlQuery q(mDb);
    QString reason;
    for (;;) {
        const int wanted = qMin(size, left);
        QString sql = entryColumns() + conditions;
        if (!after.isEmpty())
            sql += QStringLiteral(" AND (j.started_utc, j.id) < (?, ?)");
        // One more than the page tells whether anything follows it.
        sql += QStringLiteral(" ORDER BY j.started_utc DESC, j.id DESC LIMIT %1").arg(wanted + 1);
        if (!runSelect(q, sql, binds + after, &reason))
            return fail(reason);
        QList<HistoryEntry> found;
        found.reserve(wanted);
        bool further = false;
        while (q.next()) {
            if (found.size() == wanted) {
                further = true;
                break;
            }
            HistoryEntry e;
            readEntry(q, &e);
            found << std::move(e);
            after = {q.value(1), q.value(0)};
        }
        if (q.lastError().isValid())
            return fail(reasonText(q));
        q.finish();
        if (!readSampleTexts(&found, &reason))
            return fail(reason);
        left -= int(found.size());
        if (more)
            *more = further && left == 0;
        if (!found.isEmpty() && !page(found, error))
            return false;
        if (!further || left == 0)
            return true;
        size = qMin(size * 2, kLargestPage);
    }
}

bool HistoryStore::entries(const HistoryFilter &filter, QList<HistoryEntry> *out, QString *error,
                           bool *more)
{
    return query(filter, 0, nullptr, out, error, more);
}

bool HistoryStore::entriesOfJobFile(const QString &jobFile, const QString &jobSha256,
                                    QList<HistoryEntry> *out, QString *error)
{
    // Records of no job file name none; they are no file's attempts.
    if (jobFile.isEmpty()) {
        out->clear();
        return true;
    }
    HistoryFilter filter;
    filter.jobFile = jobFile;
    filter.jobSha256 = jobSha256;
    filter.limit = kJobFileAttempts;
    return query(filter, 0, nullptr, out, error, nullptr);
}

bool HistoryStore::entry(qint64 id, HistoryEntry *out, QString *error)
{
    QList<HistoryEntry> found;
    if (!query(HistoryFilter(), id, nullptr, &found, error, nullptr))
        return false;
    if (found.isEmpty()) {
        *error = failure(QStringLiteral("印刷履歴を読み込めませんでした"),
                         QStringLiteral("番号 %1 の記録はありません。").arg(id));
        return false;
    }
    *out = found.first();
    return true;
}

bool HistoryStore::waitingEntries(QList<HistoryEntry> *out, QString *error, int limit)
{
    HistoryFilter filter;
    filter.limit = limit;
    const WaitingScope any;
    return query(filter, 0, &any, out, error, nullptr);
}

bool HistoryStore::waitingEntries(const QString &host, const QString &cupsServer,
                                  QList<HistoryEntry> *out, QString *error, int limit)
{
    if (host.isEmpty() || cupsServer.isEmpty()) {
        // Records that name neither are older ones, whose PC or server nobody can tell.
        out->clear();
        return true;
    }
    const QString what = QStringLiteral("印刷履歴を読み込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return false;
    }
    WaitingScope followed;
    followed.followed = true;
    followed.host = host;
    followed.server = cupsServer;
    QVariantList binds;
    // Every print asks this: only what the question to CUPS needs is read, not the 30
    // columns of a thousand jobs that will mostly stay as they are.
    const QString sql =
        QStringLiteral("SELECT j.id, j.queue, o.outcome, "
                       "(SELECT MAX(c.cups_job_id) FROM outcomes c WHERE c.job_id = j.id) "
                       "FROM %1 j LEFT JOIN outcomes o ON o.id = "
                       "(SELECT MAX(l.id) FROM outcomes l WHERE l.job_id = j.id) WHERE 1 = 1")
            .arg(mJobsSource) +
        filterConditions(HistoryFilter(), 0, &followed, &binds) +
        QStringLiteral(" ORDER BY j.started_utc DESC, j.id DESC LIMIT %1").arg(qMax(1, limit));
    QSqlQuery q(mDb);
    QString reason;
    if (!runSelect(q, sql, binds, &reason)) {
        *error = failure(what, reason);
        return false;
    }
    QList<HistoryEntry> found;
    while (q.next()) {
        HistoryEntry e;
        e.id = q.value(0).toLongLong();
        e.record.queue = q.value(1).toString();
        e.record.host = host;
        e.record.cupsServer = cupsServer;
        outcomeFromWord(q.value(2).toString(), &e.outcome);
        e.cupsJobId = q.value(3).toInt();
        found << std::move(e);
    }
    if (q.lastError().isValid()) {
        *error = failure(what, reasonText(q));
        return false;
    }
    *out = std::move(found);
    return true;
}

} // namespace corvial
