// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryStore.h"

#include "history/HistoryCells.h"

#include "files/SafeFile.h"
#include "job/SheetTypes.h"
#include "job/TextCharacters.h"

#include <QAtomicInteger>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

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
// How long a connection to the server may take, in seconds.
constexpr int kConnectSeconds = 5;
// Mode of a new history file when start.txt's cannot be looked at: the group shares it.
constexpr mode_t kDefaultFileMode = 0664;

// The columns of a job in the order they are written and read. Only the id column is
// declared differently on the two kinds of database; every statement is the same text.
const char *const kJobColumns =
    "started_utc, user_name, host_name, program, sheet_type, samples, repeat_count, "
    "first_number, number_style, start_position, labels, sheets, next_position, next_number, "
    "queue, pdf_path, list_file, list_sha256, marker, text_colour, back_colour, frame, "
    "alignment, font_family, font_points, font_style, code, code_prefix, reprint_of";
constexpr int kJobColumnCount = 29;

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime utcFromText(const QString &text)
{
    return historyTimeFromText(text);
}

// A system's reason on one line, as a message shows it.
QString reasonText(const QSqlError &error)
{
    // The server's reasons span lines and indent with tabs.
    return visibleText(error.text().simplified());
}

QString reasonText(const QSqlQuery &query)
{
    return reasonText(query.lastError());
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
}

// The conditions of filter (and of one id, or of waiting jobs only) as SQL to append after
// WHERE 1 = 1, with their values appended to *binds in order.
QString filterConditions(const HistoryFilter &filter, qint64 onlyId, bool waitingOnly,
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
    // The jobs that were ever waiting come from the partial index, so that not every job
    // of the history has its latest outcome looked up; of those, the ones still waiting.
    if (waitingOnly)
        sql += QStringLiteral(" AND j.id IN (SELECT w.job_id FROM outcomes w WHERE w.outcome = "
                              "'%1') AND o.outcome = '%1'")
                   .arg(outcomeWord(JobOutcome::Waiting));
    return sql;
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
    mDb.close();
    mDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(mConnection);
    mConnection.clear();
}

bool HistoryStore::isOpen() const
{
    return !mConnection.isEmpty() && mDb.isOpen();
}

QString HistoryStore::failure(const QString &what, const QString &reason) const
{
    return QStringLiteral("%1: %2\n%3").arg(what, mLocation.displayName(), reason);
}

bool HistoryStore::prepareFile(QString *error)
{
    const QByteArray name = QFile::encodeName(mLocation.filePath);
    const mode_t mode =
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
    // Made here rather than by SQLite so that it gets start.txt's bits whatever the umask:
    // every user of the group must be able to append. SQLite gives its -wal and -shm files
    // the bits of the database file.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EEXIST)
            return true; // another process made it first
        *error =
            failure(QStringLiteral("印刷履歴のファイルを作れませんでした"), qt_error_string(errno));
        return false;
    }
    const int chmodError = ::fchmod(fd, mode) == 0 ? 0 : errno;
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

bool HistoryStore::createSchema(QString *reason)
{
    const bool sqlite = mLocation.kind == HistoryLocation::Kind::SqliteFile;
    const QString idColumn = sqlite ? QStringLiteral("id INTEGER PRIMARY KEY")
                                    : QStringLiteral("id BIGINT GENERATED BY DEFAULT AS IDENTITY "
                                                     "PRIMARY KEY");
    if (!startWrite(reason))
        return false;
    QSqlQuery q(mDb);
    auto fail = [&]() {
        *reason = reasonText(q);
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    // Two PCs opening a new database at once would both create its tables; on the server
    // the second then fails, so the creation is serialized there.
    if (!sqlite && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7305119)")))
        return fail();
    // The server would otherwise tell of every table that already exists on each open.
    if (!sqlite && !q.exec(QStringLiteral("SET LOCAL client_min_messages = warning")))
        return fail();
    const QStringList statements = {
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
            "reprint_of BIGINT REFERENCES jobs (id))")
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
        QStringLiteral("CREATE INDEX IF NOT EXISTS outcomes_by_job ON outcomes (job_id, id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS jobs_by_start ON jobs (started_utc)"),
        // Every start of either program looks for jobs left waiting; with this the look costs
        // as little in a history of years as in a new one.
        QStringLiteral("CREATE INDEX IF NOT EXISTS outcomes_waiting ON outcomes (job_id) "
                       "WHERE outcome = '%1'")
            .arg(outcomeWord(JobOutcome::Waiting)),
    };
    for (const QString &statement : statements) {
        if (!q.exec(statement))
            return fail();
    }
    if (!q.exec(QStringLiteral("SELECT MAX(version) FROM history_schema")) || !q.next())
        return fail();
    const QVariant version = q.value(0);
    if (version.isNull()) {
        if (!q.prepare(QStringLiteral("INSERT INTO history_schema (version) VALUES (?)")))
            return fail();
        q.addBindValue(kSchemaVersion);
        if (!q.exec())
            return fail();
    } else if (version.toInt() > kSchemaVersion) {
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        *reason = QStringLiteral("新しい版の Corvial Manager が作った履歴です (版 %1)。"
                                 "この版では書き込めません。")
                      .arg(version.toInt());
        return false;
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail();
    return true;
}

bool HistoryStore::open(const HistoryLocation &location, QString *error)
{
    close();
    mLocation = location;
    const bool sqlite = location.kind == HistoryLocation::Kind::SqliteFile;
    if (sqlite && !prepareFile(error))
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
    if (sqlite) {
        mDb.setDatabaseName(location.filePath);
        mDb.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMilliseconds));
    } else {
        // The password, if the server asks for one, comes from the user's ~/.pgpass or
        // PGPASSWORD through libpq; it is never stored in our settings.
        mDb.setHostName(location.host);
        mDb.setPort(location.port);
        mDb.setUserName(location.user);
        mDb.setDatabaseName(location.database);
        // A server that stops answering mid-statement (a cable pulled, a PC asleep) must
        // not hold a print for the minutes TCP takes to give up on its own.
        mDb.setConnectOptions(QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=5;"
                                             "keepalives_interval=2;keepalives_count=3;"
                                             "tcp_user_timeout=%2")
                                  .arg(kConnectSeconds)
                                  .arg(kConnectSeconds * 3000));
    }
    if (!mDb.open()) {
        const QString reason = reasonText(mDb.lastError());
        close();
        *error = failure(what, reason);
        return false;
    }
    if (sqlite) {
        QSqlQuery q(mDb);
        // WAL lets readers go on while a writer appends; FULL sync makes a record that was
        // written before a job was sent survive a power cut. LIKE is made case-sensitive, as
        // it is on the server, so a search finds the same entries on both.
        const QStringList pragmas = {
            QStringLiteral("PRAGMA journal_mode=WAL"),
            QStringLiteral("PRAGMA synchronous=FULL"),
            QStringLiteral("PRAGMA foreign_keys=ON"),
            QStringLiteral("PRAGMA case_sensitive_like=ON"),
        };
        for (const QString &pragma : pragmas) {
            if (!q.exec(pragma)) {
                const QString reason = reasonText(q);
                close();
                *error = failure(what, reason);
                return false;
            }
        }
    }
    QString reason;
    if (!createSchema(&reason)) {
        close();
        *error = failure(what, reason);
        return false;
    }
    return true;
}

qint64 HistoryStore::begin(const HistoryRecord &r, QString *error)
{
    const QString what = QStringLiteral("印刷履歴に書き込めませんでした");
    if (!isOpen()) {
        *error = failure(what, QStringLiteral("履歴が開かれていません。"));
        return 0;
    }
    QString reason;
    if (!startWrite(&reason)) {
        *error = failure(what, reason);
        return 0;
    }
    QSqlQuery q(mDb);
    auto fail = [&]() -> qint64 {
        *error = failure(what, reasonText(q));
        QSqlQuery(mDb).exec(QStringLiteral("ROLLBACK"));
        return 0;
    };
    QStringList marks;
    for (int i = 0; i < kJobColumnCount; ++i)
        marks << QStringLiteral("?");
    if (!q.prepare(QStringLiteral("INSERT INTO jobs (%1) VALUES (%2) RETURNING id")
                       .arg(QLatin1String(kJobColumns), marks.join(QLatin1Char(',')))))
        return fail();
    const QVariantList values = jobValues(r);
    for (const QVariant &value : values) {
        // The server refuses NULL in the NOT NULL text columns: an unset string is empty.
        q.addBindValue(value.metaType().id() == QMetaType::QString && value.toString().isNull()
                           ? QVariant(QString(QLatin1String("")))
                           : value);
    }
    if (!q.exec() || !q.next())
        return fail();
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    // Many samples to a statement: one statement per sample made the record of a full job
    // cost more than everything else about it.
    constexpr int kSamplesPerInsert = 100;
    for (int from = 0; from < r.sampleTexts.size(); from += kSamplesPerInsert) {
        const int to = qMin(int(r.sampleTexts.size()), from + kSamplesPerInsert);
        QStringList rows;
        for (int i = from; i < to; ++i)
            rows << QStringLiteral("(?, ?, ?)");
        if (!q.prepare(QStringLiteral("INSERT INTO job_samples (job_id, sample_index, "
                                      "sample_text) VALUES %1")
                           .arg(rows.join(QLatin1Char(',')))))
            return fail();
        for (int i = from; i < to; ++i) {
            q.addBindValue(id);
            q.addBindValue(i);
            q.addBindValue(r.sampleTexts.at(i).isNull() ? QString(QLatin1String(""))
                                                        : r.sampleTexts.at(i));
        }
        if (!q.exec())
            return fail();
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail();
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
    QSqlQuery q(mDb);
    // A single INSERT is its own transaction; the foreign key refuses an id never begun.
    if (!q.prepare(QStringLiteral("INSERT INTO outcomes (job_id, recorded_utc, outcome, reason, "
                                  "cups_job_id) VALUES (?, ?, ?, ?, ?)"))) {
        *error = failure(what, reasonText(q));
        return false;
    }
    q.addBindValue(id);
    q.addBindValue(utcText(QDateTime::currentDateTimeUtc()));
    q.addBindValue(outcomeWord(outcome));
    q.addBindValue(reason.isNull() ? QString(QLatin1String("")) : reason);
    q.addBindValue(cupsJobId > 0 ? QVariant(cupsJobId) : QVariant(QMetaType(QMetaType::Int)));
    if (!q.exec()) {
        *error = failure(what, reasonText(q));
        return false;
    }
    return true;
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

bool HistoryStore::markLater(qint64 id, JobOutcome outcome, const QString &reason, QString *error)
{
    if (outcome != JobOutcome::Aborted && outcome != JobOutcome::Cancelled) {
        *error = failure(QStringLiteral("印刷履歴に書き込めませんでした"),
                         QStringLiteral("後から記録できるのは中止か取り消しだけです。"));
        return false;
    }
    return addEvent(id, outcome, reason, 0, error);
}

QString HistoryStore::entryColumns() const
{
    return QStringLiteral("SELECT j.id, %1, o.outcome, o.reason, o.recorded_utc, "
                          "(SELECT MAX(c.cups_job_id) FROM outcomes c WHERE c.job_id = j.id) "
                          "FROM jobs j LEFT JOIN outcomes o ON o.id = "
                          "(SELECT MAX(l.id) FROM outcomes l WHERE l.job_id = j.id) WHERE 1 = 1")
        .arg(QStringLiteral("j.") + QString::fromLatin1(kJobColumns)
                                        .split(QStringLiteral(", "))
                                        .join(QStringLiteral(", j.")));
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

bool HistoryStore::query(const HistoryFilter &filter, qint64 onlyId, bool waitingOnly,
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
    sql += filterConditions(filter, onlyId, waitingOnly, &binds);
    // One more than asked tells whether more entries match.
    sql += QStringLiteral(" ORDER BY j.started_utc DESC, j.id DESC LIMIT %1").arg(limit + 1);

    QSqlQuery q(mDb);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = failure(what, reasonText(q));
        return false;
    }
    for (const QVariant &value : std::as_const(binds))
        q.addBindValue(value);
    if (!q.exec()) {
        *error = failure(what, reasonText(q));
        return false;
    }
    QList<HistoryEntry> found;
    // Growing a list of large entries one by one moved the whole list many times over.
    found.reserve(qMin(limit, 100000));
    bool extra = false;
    QString reason;
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
    q.setForwardOnly(true);
    // The newest entry left out, if any: the listing starts after it.
    if (!q.prepare(QStringLiteral("SELECT j.started_utc, j.id FROM jobs j WHERE 1 = 1%1 ORDER BY "
                                  "j.started_utc DESC, j.id DESC LIMIT 1 OFFSET %2")
                       .arg(conditions, QString::number(qMax(1, filter.limit)))))
        return fail(reasonText(q));
    for (const QVariant &value : std::as_const(binds))
        q.addBindValue(value);
    if (!q.exec())
        return fail(reasonText(q));
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

bool HistoryStore::entries(const HistoryFilter &filter, QList<HistoryEntry> *out, QString *error,
                           bool *more)
{
    return query(filter, 0, false, out, error, more);
}

bool HistoryStore::entry(qint64 id, HistoryEntry *out, QString *error)
{
    QList<HistoryEntry> found;
    if (!query(HistoryFilter(), id, false, &found, error, nullptr))
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
    return query(filter, 0, true, out, error, nullptr);
}

} // namespace corvial
