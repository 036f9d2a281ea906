// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/HistoryListing.h"

#include "history/HistoryCells.h"
#include "history/HistoryStore.h"
#include "job/TextCharacters.h"

#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstring>
#include <functional>
#include <memory>

namespace corvial {

namespace {

// Jobs a page holds. A page's text is held until its statement has ended; a thousand full
// jobs stay within the memory the listing of entries always took.
constexpr int kJobsPerPage = 1000;

// The listing's columns as the database gives them, in listing order (HistoryCells' keys);
// the sample texts are PostgreSQL's expression, SQLite reads them apart. Every column is
// named: the tables may gain columns that the listing does not show.
const char *const kColumnSql[ListingColumnCount] = {
    "j.id",
    "j.started_utc",
    "j.user_name",
    "j.host_name",
    "j.program",
    "j.sheet_type",
    "j.samples",
    "j.repeat_count",
    "j.first_number",
    "j.number_style",
    "j.start_position",
    "j.labels",
    "j.sheets",
    "j.next_position",
    "j.next_number",
    "j.queue",
    "(SELECT MAX(c.cups_job_id) FROM outcomes c WHERE c.job_id = j.id)",
    "j.pdf_path",
    "(SELECT array_agg(s.sample_text ORDER BY s.sample_index) FROM job_samples s "
    "WHERE s.job_id = j.id)",
    "j.list_file",
    "j.list_sha256",
    "j.job_file",
    "j.job_sha256",
    "j.marker",
    "j.text_colour",
    "j.back_colour",
    "j.frame",
    "j.alignment",
    "j.font_family",
    "j.font_points",
    "j.font_style",
    "j.code",
    "j.code_prefix",
    "o.outcome",
    "o.reason",
    "o.recorded_utc",
    "j.reprint_of",
};

// The entry's own id and the record it reprints are 64-bit; every other number is read as
// the entries' ints are.
bool isWide(int column)
{
    return column == 0 || column == ListingColumnCount - 1;
}

// The outcome column: NULL there means the job has no event yet, which lists as unfinished.
bool isOutcome(int column)
{
    static const int outcome = [] {
        for (int c = 0; c < ListingColumnCount; ++c) {
            if (std::strcmp(listingColumnKey(c), "outcome") == 0)
                return c;
        }
        return -1;
    }();
    return column == outcome;
}

// jobs: the jobs table as the store names it (HistoryStore::jobsSource).
QByteArray selectSql(bool postgres, const QByteArray &jobs)
{
    QByteArray sql = "SELECT ";
    for (int c = 0; c < ListingColumnCount; ++c) {
        if (c > 0)
            sql += ", ";
        sql += !postgres && listingColumnKind(c) == ListingCellKind::Texts ? "NULL" : kColumnSql[c];
    }
    sql += " FROM " + jobs +
           " j LEFT JOIN outcomes o ON o.id = (SELECT MAX(l.id) FROM outcomes l "
           "WHERE l.job_id = j.id) WHERE 1 = 1";
    return sql;
}

QString utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString systemReason(const char *text)
{
    return visibleText(QString::fromUtf8(text).simplified());
}

// The newest entry left out by the limit, if any: the listing starts after it.
QByteArray cutSql(const QByteArray &jobs, const QByteArray &sinceSql, int limit)
{
    return "SELECT j.started_utc, j.id FROM " + jobs + " j WHERE 1 = 1" + sinceSql +
           " ORDER BY j.started_utc DESC, j.id DESC LIMIT 1 OFFSET " + QByteArray::number(limit);
}

// Rows after the one with this time and id; both given as SQL (a parameter or a literal).
QByteArray afterRowSql(const QByteArray &time, const QByteArray &id)
{
    return " AND (j.started_utc, j.id) > (" + time + ", " + id + ")";
}

QByteArray pageOrderSql()
{
    return " ORDER BY j.started_utc, j.id LIMIT " + QByteArray::number(kJobsPerPage);
}

qint64 listedWhole(int column, qint64 value)
{
    return isWide(column) ? value : qint64(int(value));
}

void writeId(ListingRowWriter &rows, qint64 id)
{
    id > 0 ? rows.whole(id) : rows.null();
}

// A job with no outcome yet lists as unfinished; false when the cell is not that.
bool writeUnfinished(ListingRowWriter &rows, int column, bool isNull)
{
    if (!isNull || !isOutcome(column))
        return false;
    rows.text(QByteArrayView("unfinished"));
    return true;
}

// A time as stored: one in the store's own form is written as it is, any other read first.
template <typename Decode>
void writeTime(ListingRowWriter &rows, bool isNull, QByteArrayView stored, Decode decoded)
{
    if (isNull)
        rows.null();
    else if (isPlainHistoryTime(stored))
        rows.plainTime(stored);
    else
        rows.time(historyTimeFromText(decoded()));
}

// What one listing needs whichever the database: where the page's text goes and how its
// failures read.
struct Listing
{
    HistoryStore &store;
    QDateTime since;
    int limit;
    const ListingWrite &write;
    ListingRowWriter rows;
    QByteArray page;
    QString *error;

    QByteArray jobs() const { return store.jobsSource().toUtf8(); }
    bool fail(const QString &reason)
    {
        *error = QStringLiteral("印刷履歴を読み込めませんでした: %1\n%2")
                     .arg(store.location().displayName(), reason);
        return false;
    }
    // Hands the page's text to write and starts the next page in the same buffer.
    bool flush()
    {
        if (page.isEmpty())
            return true;
        const bool written = write(page, error);
        page.truncate(0);
        return written;
    }
};

// SQLite: a statement prepared once and finalized however the listing ends.
struct Statement
{
    sqlite3_stmt *stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

QByteArrayView columnBytes(sqlite3_stmt *s, int c)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
    return QByteArrayView(text, sqlite3_column_bytes(s, c));
}

QStringView columnText16(sqlite3_stmt *s, int c)
{
    const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(s, c));
    return QStringView(text, sqlite3_column_bytes16(s, c) / 2);
}

// A text that is not UTF-8 read back the same (a lone surrogate went in through UTF-16)
// is read as UTF-16, as the store's driver reads it, and written as the entries are.
void writeSqliteText(ListingRowWriter &rows, sqlite3_stmt *s, int c, bool item)
{
    const QByteArrayView utf8 = columnBytes(s, c);
    if (isStrictUtf8(utf8)) {
        item ? rows.textItem(utf8) : rows.text(utf8);
        return;
    }
    const QStringView wide16 = columnText16(s, c);
    item ? rows.textItem(wide16) : rows.text(wide16);
}

// One SQLite listing: its statements, prepared once, and where the next page starts.
struct SqliteListing
{
    sqlite3 *db;
    Listing &l;
    QByteArray since;
    Statement first, next, samples;
    QByteArray afterTime;
    sqlite3_int64 afterId = 0;

    bool failDb() { return l.fail(systemReason(sqlite3_errmsg(db))); }
    bool prepare(const QByteArray &sql, Statement *s)
    {
        return sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s->stmt, nullptr) ==
               SQLITE_OK;
    }

    bool findCut(const QByteArray &sinceSql, bool *more)
    {
        Statement cut;
        if (!prepare(cutSql(l.jobs(), sinceSql, l.limit), &cut))
            return failDb();
        if (!since.isEmpty())
            sqlite3_bind_text(cut.stmt, 1, since.constData(), int(since.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(cut.stmt);
        if (rc == SQLITE_ROW) {
            afterTime = columnBytes(cut.stmt, 0).toByteArray();
            afterId = sqlite3_column_int64(cut.stmt, 1);
        } else if (rc != SQLITE_DONE) {
            return failDb();
        }
        *more = rc == SQLITE_ROW;
        return true;
    }

    bool prepareAll(const QByteArray &sinceSql)
    {
        const QByteArray order = pageOrderSql();
        const QByteArray select = selectSql(false, l.jobs());
        return prepare(select + sinceSql + order, &first) &&
               prepare(select + sinceSql + afterRowSql("?2", "?3") + order, &next) &&
               prepare(historyListingSamplesSql(), &samples);
    }

    bool writeSamples(sqlite3_int64 jobId)
    {
        sqlite3_reset(samples.stmt);
        sqlite3_bind_int64(samples.stmt, 1, jobId);
        l.rows.startTexts();
        int rc;
        while ((rc = sqlite3_step(samples.stmt)) == SQLITE_ROW)
            writeSqliteText(l.rows, samples.stmt, 0, true);
        if (rc != SQLITE_DONE)
            return failDb();
        l.rows.endTexts();
        return true;
    }

    bool writeCell(sqlite3_stmt *page, int c)
    {
        const bool isNull = sqlite3_column_type(page, c) == SQLITE_NULL;
        switch (listingColumnKind(c)) {
        case ListingCellKind::Whole:
            l.rows.whole(listedWhole(c, sqlite3_column_int64(page, c)));
            break;
        case ListingCellKind::Id:
            writeId(l.rows, listedWhole(c, sqlite3_column_int64(page, c)));
            break;
        case ListingCellKind::Real:
            l.rows.real(sqlite3_column_double(page, c));
            break;
        case ListingCellKind::Flag:
            l.rows.flag(int(sqlite3_column_int64(page, c)) != 0);
            break;
        case ListingCellKind::Text:
            if (!writeUnfinished(l.rows, c, isNull))
                writeSqliteText(l.rows, page, c, false);
            break;
        case ListingCellKind::Time:
            writeTime(l.rows, isNull, columnBytes(page, c), [&] {
                const QStringView wide16 = columnText16(page, c);
                return QString::fromUtf16(wide16.utf16(), wide16.size());
            });
            break;
        case ListingCellKind::Texts:
            return writeSamples(sqlite3_column_int64(page, 0));
        }
        return true;
    }

    // Writes one page of rows to the listing's page text; rows says how many there were.
    bool writePage(bool after, int *rows)
    {
        sqlite3_stmt *page = after ? next.stmt : first.stmt;
        sqlite3_reset(page);
        if (!since.isEmpty())
            sqlite3_bind_text(page, 1, since.constData(), int(since.size()), SQLITE_STATIC);
        if (after) {
            sqlite3_bind_text(page, 2, afterTime.constData(), int(afterTime.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(page, 3, afterId);
        }
        int rc;
        while ((rc = sqlite3_step(page)) == SQLITE_ROW) {
            ++*rows;
            l.rows.startRow();
            for (int c = 0; c < ListingColumnCount; ++c) {
                if (!writeCell(page, c))
                    return false;
            }
            l.rows.endRow();
            afterTime = columnBytes(page, 1).toByteArray();
            afterId = sqlite3_column_int64(page, 0);
        }
        if (rc != SQLITE_DONE)
            return failDb();
        sqlite3_reset(page); // ends the page's read before its text goes out
        return true;
    }
};

bool listSqlite(sqlite3 *db, Listing &l, bool *more)
{
    SqliteListing s{db, l, l.since.isValid() ? utcText(l.since).toUtf8() : QByteArray(), {}, {}, {},
                    {}, 0};
    const QByteArray sinceSql = s.since.isEmpty() ? QByteArray() : " AND j.started_utc >= ?1";
    if (!s.findCut(sinceSql, more))
        return false;
    if (!s.prepareAll(sinceSql))
        return s.failDb();
    for (bool after = *more;; after = true) {
        int rows = 0;
        if (!s.writePage(after, &rows))
            return false;
        if (!l.flush())
            return false;
        if (rows < kJobsPerPage)
            return true;
    }
}

// PostgreSQL's binary COPY data, read with every length checked against what is left.
struct CopyReader
{
    const char *at;
    const char *end;
    bool ok = true;

    bool has(qint64 n)
    {
        ok = ok && n >= 0 && end - at >= n;
        return ok;
    }
    // A big-endian signed number of 1 to 8 bytes.
    qint64 number(int bytes)
    {
        if (bytes < 1 || bytes > 8 || !has(bytes))
            return 0;
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | uchar(at[i]);
        at += bytes;
        // Sign-extended from its width.
        const int shift = 64 - 8 * bytes;
        return qint64(v << shift) >> shift;
    }
    QByteArrayView bytes(qint64 n)
    {
        if (!has(n))
            return {};
        const QByteArrayView v(at, n);
        at += n;
        return v;
    }
};

struct PgResult
{
    PGresult *result;
    ~PgResult() { PQclear(result); }
};

// Runs one COPY ... TO STDOUT, handing take each piece of its data as it arrives; false with
// the server's reason.
bool copyOut(PGconn *conn, const QByteArray &sql,
             const std::function<void(const char *data, int size)> &take, QString *reason)
{
    {
        PgResult r{PQexec(conn, sql.constData())};
        if (PQresultStatus(r.result) != PGRES_COPY_OUT) {
            *reason = systemReason(PQerrorMessage(conn));
            return false;
        }
    }
    for (;;) {
        char *buffer = nullptr;
        const int n = PQgetCopyData(conn, &buffer, 0);
        if (n > 0) {
            take(buffer, n);
            PQfreemem(buffer);
            continue;
        }
        if (n == -2) {
            *reason = systemReason(PQerrorMessage(conn));
            // The connection goes on being the store's: leave no result unread.
            while (PGresult *r = PQgetResult(conn))
                PQclear(r);
            return false;
        }
        break;
    }
    bool ok = true;
    while (PGresult *r = PQgetResult(conn)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK && ok) {
            *reason = systemReason(PQresultErrorMessage(r));
            ok = false;
        }
        PQclear(r);
    }
    return ok;
}

QByteArray pgLiteral(PGconn *conn, const QByteArray &text)
{
    std::unique_ptr<char, decltype(&PQfreemem)> quoted(
        PQescapeLiteral(conn, text.constData(), size_t(text.size())), &PQfreemem);
    return quoted ? QByteArray(quoted.get()) : QByteArray("NULL");
}

// As the store's driver decodes a text that is not UTF-8.
void writePgText(ListingRowWriter &rows, QByteArrayView v, bool item)
{
    if (isStrictUtf8(v)) {
        item ? rows.textItem(v) : rows.text(v);
    } else {
        const QString decoded = QString::fromUtf8(v);
        item ? rows.textItem(QStringView(decoded)) : rows.text(QStringView(decoded));
    }
}

// One field of a COPY row: its length (-1 for NULL) and its bytes.
struct PgField
{
    qint64 size;
    QByteArrayView v;

    bool isNull() const { return size == -1; }
    bool isWhole() const { return size == 2 || size == 4 || size == 8; }
    qint64 integer(int column) const
    {
        CopyReader n{v.data(), v.data() + v.size()};
        return listedWhole(column, n.number(int(v.size())));
    }
    // A float4 or float8; false when it is neither (nor NULL, which reads as 0).
    bool real(double *value) const
    {
        *value = 0;
        CopyReader n{v.data(), v.data() + v.size()};
        if (size == 8) {
            const quint64 bits = quint64(n.number(8));
            std::memcpy(value, &bits, sizeof *value);
        } else if (size == 4) {
            const quint32 bits = quint32(n.number(4));
            float f;
            std::memcpy(&f, &bits, sizeof f);
            *value = f;
        } else if (!isNull()) {
            return false;
        }
        return true;
    }
};

// The sample texts, an array: dimensions, a has-nulls flag, the element type, each
// dimension's size and lower bound, then the elements. False when it is not that.
bool writePgTexts(ListingRowWriter &rows, QByteArrayView v)
{
    CopyReader a{v.data(), v.data() + v.size()};
    const qint64 dimensions = a.number(4);
    a.number(4);
    a.number(4);
    qint64 count = dimensions == 0 ? 0 : a.number(4);
    a.number(4);
    if (!a.ok || dimensions > 1 || count < 0)
        return false;
    for (; count > 0; --count) {
        const qint64 n = a.number(4);
        const QByteArrayView item = a.bytes(n);
        if (!a.ok)
            return false;
        writePgText(rows, item, true);
    }
    return true;
}

// False when the field is not what the listing's SELECT gives in this column.
bool writePgCell(ListingRowWriter &rows, int c, const PgField &f)
{
    switch (listingColumnKind(c)) {
    case ListingCellKind::Whole:
        if (!f.isNull() && !f.isWhole())
            return false;
        rows.whole(f.isNull() ? 0 : f.integer(c));
        break;
    case ListingCellKind::Id:
        if (!f.isNull() && !f.isWhole())
            return false;
        writeId(rows, f.isNull() ? 0 : f.integer(c));
        break;
    case ListingCellKind::Real: {
        double value;
        if (!f.real(&value))
            return false;
        rows.real(value);
        break;
    }
    case ListingCellKind::Flag:
        if (!f.isNull() && !f.isWhole())
            return false;
        rows.flag(!f.isNull() && int(f.integer(c)) != 0);
        break;
    case ListingCellKind::Text:
        if (!writeUnfinished(rows, c, f.isNull()))
            writePgText(rows, f.v, false);
        break;
    case ListingCellKind::Time:
        writeTime(rows, f.isNull(), f.v, [&] { return QString::fromUtf8(f.v); });
        break;
    case ListingCellKind::Texts:
        rows.startTexts();
        if (!f.isNull() && !writePgTexts(rows, f.v))
            return false;
        rows.endTexts();
        break;
    }
    return true;
}

// Writes one row of binary COPY data, its field count already read, to rows. False when the
// data is not what the listing's SELECT gives.
bool writePgRow(CopyReader &in, ListingRowWriter &rows)
{
    rows.startRow();
    for (int c = 0; c < ListingColumnCount && in.ok; ++c) {
        const qint64 size = in.number(4);
        const PgField field{size, size == -1 ? QByteArrayView() : in.bytes(size)};
        if (!writePgCell(rows, c, field))
            return false;
    }
    if (!in.ok)
        return false;
    rows.endRow();
    return true;
}

// One page of a PostgreSQL listing as its COPY data arrives: rows are written as soon as
// each is whole, and where the next page starts is noted.
struct PgPage
{
    ListingRowWriter &rows;
    QByteArray data;
    qsizetype at = 0;
    bool header = false, ended = false, bad = false;
    int count = 0;
    QByteArray lastTime;
    qint64 lastId = 0;

    // A new page in the same buffer.
    void start()
    {
        data.truncate(0);
        at = 0;
        header = ended = bad = false;
        count = 0;
        lastTime.clear();
        lastId = 0;
    }

    // Signature, flags and the header extension; false while more is to come.
    bool readHeader(CopyReader &in)
    {
        const QByteArrayView signature = in.bytes(11);
        in.number(4);
        in.bytes(in.number(4));
        if (!in.ok)
            return false;
        bad = signature != QByteArrayView("PGCOPY\n\377\r\n\0", 11);
        header = true;
        return true;
    }

    // A whole row is there before any of it is written; false while more is to come.
    bool readRow(CopyReader &in)
    {
        CopyReader probe = in;
        const qint64 fields = probe.number(2);
        for (qint64 f = 0; f < fields && probe.ok; ++f)
            probe.bytes(qMax<qint64>(0, probe.number(4)));
        if (!probe.ok)
            return false;
        in.number(2);
        if (fields == -1)
            ended = true;
        else if (fields != ListingColumnCount || !writePgRow(in, rows) || in.at != probe.at)
            bad = true;
        else
            noteRow(in.at);
        return true;
    }

    // Where the next page starts: after this row's time and id.
    void noteRow(const char *rowEnd)
    {
        ++count;
        CopyReader row{data.constData() + at, rowEnd};
        row.number(2);
        const QByteArrayView id = row.bytes(row.number(4));
        CopyReader idValue{id.data(), id.data() + id.size()};
        lastId = idValue.number(int(id.size()));
        lastTime = row.bytes(row.number(4)).toByteArray();
    }

    void take(const char *chunk, int size)
    {
        if (bad || ended)
            return;
        data.append(chunk, size);
        for (;;) {
            CopyReader in{data.constData() + at, data.constData() + data.size()};
            if (!(header ? readRow(in) : readHeader(in)))
                break; // more to come
            at = in.at - data.constData();
            if (bad || ended)
                return;
        }
        // What was read is dropped, so the buffer holds at most a row.
        data.remove(0, at);
        at = 0;
    }
};

// Finds the newest entry the limit leaves out; afterSql then starts the listing after it.
bool findPgCut(PGconn *conn, Listing &l, const QByteArray &sinceSql, QByteArray *afterSql,
               bool *more)
{
    PgResult cut{PQexec(conn, cutSql(l.jobs(), sinceSql, l.limit).constData())};
    if (PQresultStatus(cut.result) != PGRES_TUPLES_OK)
        return l.fail(systemReason(PQresultErrorMessage(cut.result)));
    *more = PQntuples(cut.result) > 0;
    if (*more)
        *afterSql = afterRowSql(pgLiteral(conn, PQgetvalue(cut.result, 0, 0)),
                                QByteArray(PQgetvalue(cut.result, 0, 1)));
    return true;
}

bool listPostgres(PGconn *conn, Listing &l, bool *more)
{
    if (PQstatus(conn) != CONNECTION_OK)
        return l.fail(systemReason(PQerrorMessage(conn)));
    // A COPY in the middle of another statement's rows would take the connection from it.
    if (PQtransactionStatus(conn) == PQTRANS_ACTIVE)
        return l.fail(QStringLiteral("データベースへの接続が別の処理の途中です。"));
    // Literals rather than bound values: COPY takes none.
    const QByteArray sinceSql =
        l.since.isValid() ? " AND j.started_utc >= " + pgLiteral(conn, utcText(l.since).toUtf8())
                          : QByteArray();
    QByteArray afterSql;
    if (!findPgCut(conn, l, sinceSql, &afterSql, more))
        return false;

    // The rows are written as they arrive, while the server makes the next ones; the text
    // goes out once the page's statement has ended.
    const QString badData = QStringLiteral("サーバーから届いた一覧のデータが読めません。");
    PgPage page{l.rows, {}, 0, false, false, false, 0, {}, 0};
    for (;;) {
        page.start();
        const auto take = [&page](const char *chunk, int size) { page.take(chunk, size); };
        QString reason;
        if (!copyOut(conn,
                     "COPY (" + selectSql(true, l.jobs()) + sinceSql + afterSql + pageOrderSql() +
                         ") TO STDOUT (FORMAT binary)",
                     take, &reason))
            return l.fail(reason);
        if (page.bad || !page.ended)
            return l.fail(badData);
        if (page.count > 0)
            afterSql = afterRowSql(pgLiteral(conn, page.lastTime), QByteArray::number(page.lastId));
        if (!l.flush())
            return false;
        if (page.count < kJobsPerPage)
            return true;
    }
}

} // namespace

QByteArray historyListingSql(bool postgres)
{
    return selectSql(postgres, "jobs") + " ORDER BY j.started_utc, j.id";
}

QByteArray historyListingSamplesSql()
{
    return "SELECT sample_text FROM job_samples WHERE job_id = ?1 ORDER BY sample_index";
}

bool writeHistoryListing(HistoryStore &store, const QDateTime &since, int limit, bool json,
                         const ListingWrite &write, bool *more, QString *error)
{
    Listing l{store, since, qMax(1, limit), write, ListingRowWriter(json, false), {}, error};
    l.rows.setOutput(&l.page);
    bool older = false;
    const QVariant handle = store.isOpen() ? store.connection().driver()->handle() : QVariant();
    bool listed = false;
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        listed = listSqlite(*static_cast<sqlite3 *const *>(handle.constData()), l, &older);
    } else if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 ||
                                    qstrcmp(handle.typeName(), "pg_conn*") == 0)) {
        // Qt names the type by libpq's struct.
        listed = listPostgres(*static_cast<PGconn *const *>(handle.constData()), l, &older);
    } else {
        return l.fail(QStringLiteral("履歴が開かれていません。"));
    }
    if (!listed)
        return false;
    if (more)
        *more = older;
    l.rows.finish();
    return l.flush();
}

} // namespace corvial
