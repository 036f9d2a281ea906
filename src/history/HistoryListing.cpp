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

QByteArray selectSql(bool postgres)
{
    QByteArray sql = "SELECT ";
    for (int c = 0; c < ListingColumnCount; ++c) {
        if (c > 0)
            sql += ", ";
        sql += !postgres && listingColumnKind(c) == ListingCellKind::Texts ? "NULL" : kColumnSql[c];
    }
    sql += " FROM jobs j LEFT JOIN outcomes o ON o.id = (SELECT MAX(l.id) FROM outcomes l "
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

bool listSqlite(sqlite3 *db, Listing &l, bool *more)
{
    auto failDb = [&] { return l.fail(systemReason(sqlite3_errmsg(db))); };
    auto prepare = [&](const QByteArray &sql, Statement *s) {
        return sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s->stmt, nullptr) ==
               SQLITE_OK;
    };
    const QByteArray since = l.since.isValid() ? utcText(l.since).toUtf8() : QByteArray();
    const QByteArray sinceSql = since.isEmpty() ? QByteArray() : " AND j.started_utc >= ?1";

    // The newest entry left out, if any: the listing starts after it.
    Statement cut;
    if (!prepare("SELECT j.started_utc, j.id FROM jobs j WHERE 1 = 1" + sinceSql +
                     " ORDER BY j.started_utc DESC, j.id DESC LIMIT 1 OFFSET " +
                     QByteArray::number(l.limit),
                 &cut))
        return failDb();
    if (!since.isEmpty())
        sqlite3_bind_text(cut.stmt, 1, since.constData(), int(since.size()), SQLITE_TRANSIENT);
    QByteArray afterTime;
    sqlite3_int64 afterId = 0;
    int rc = sqlite3_step(cut.stmt);
    if (rc == SQLITE_ROW) {
        afterTime = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(cut.stmt, 0)),
                               sqlite3_column_bytes(cut.stmt, 0));
        afterId = sqlite3_column_int64(cut.stmt, 1);
    } else if (rc != SQLITE_DONE) {
        return failDb();
    }
    *more = rc == SQLITE_ROW;

    const QByteArray order =
        " ORDER BY j.started_utc, j.id LIMIT " + QByteArray::number(kJobsPerPage);
    Statement first, next, samples;
    if (!prepare(selectSql(false) + sinceSql + order, &first) ||
        !prepare(selectSql(false) + sinceSql + " AND (j.started_utc, j.id) > (?2, ?3)" + order,
                 &next) ||
        !prepare(historyListingSamplesSql(), &samples))
        return failDb();
    bool after = *more;
    bool wide[ListingColumnCount];
    for (int c = 0; c < ListingColumnCount; ++c)
        wide[c] = isWide(c);

    // A text that is not UTF-8 read back the same (a lone surrogate went in through UTF-16)
    // is read as UTF-16, as the store's driver reads it, and written as the entries are.
    auto text = [&](sqlite3_stmt *s, int c, bool item) {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
        const QByteArrayView utf8(bytes, sqlite3_column_bytes(s, c));
        if (isStrictUtf8(utf8)) {
            item ? l.rows.textItem(utf8) : l.rows.text(utf8);
            return;
        }
        const QString wide16(static_cast<const QChar *>(sqlite3_column_text16(s, c)),
                             sqlite3_column_bytes16(s, c) / 2);
        item ? l.rows.textItem(QStringView(wide16)) : l.rows.text(QStringView(wide16));
    };

    for (;;) {
        sqlite3_stmt *page = after ? next.stmt : first.stmt;
        sqlite3_reset(page);
        if (!since.isEmpty())
            sqlite3_bind_text(page, 1, since.constData(), int(since.size()), SQLITE_STATIC);
        if (after) {
            sqlite3_bind_text(page, 2, afterTime.constData(), int(afterTime.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(page, 3, afterId);
        }
        int rows = 0;
        while ((rc = sqlite3_step(page)) == SQLITE_ROW) {
            ++rows;
            l.rows.startRow();
            for (int c = 0; c < ListingColumnCount; ++c) {
                const bool isNull = sqlite3_column_type(page, c) == SQLITE_NULL;
                switch (listingColumnKind(c)) {
                case ListingCellKind::Whole: {
                    const sqlite3_int64 v = sqlite3_column_int64(page, c);
                    l.rows.whole(wide[c] ? qint64(v) : qint64(int(v)));
                    break;
                }
                case ListingCellKind::Id: {
                    const sqlite3_int64 v = sqlite3_column_int64(page, c);
                    const qint64 id = wide[c] ? qint64(v) : qint64(int(v));
                    id > 0 ? l.rows.whole(id) : l.rows.null();
                    break;
                }
                case ListingCellKind::Real:
                    l.rows.real(sqlite3_column_double(page, c));
                    break;
                case ListingCellKind::Flag:
                    l.rows.flag(int(sqlite3_column_int64(page, c)) != 0);
                    break;
                case ListingCellKind::Text:
                    if (isNull && isOutcome(c))
                        l.rows.text(QByteArrayView("unfinished"));
                    else
                        text(page, c, false);
                    break;
                case ListingCellKind::Time: {
                    const QByteArrayView stored(
                        reinterpret_cast<const char *>(sqlite3_column_text(page, c)),
                        sqlite3_column_bytes(page, c));
                    if (isNull)
                        l.rows.null();
                    else if (isPlainHistoryTime(stored))
                        l.rows.plainTime(stored);
                    else
                        l.rows.time(historyTimeFromText(QString::fromUtf16(
                            static_cast<const char16_t *>(sqlite3_column_text16(page, c)),
                            sqlite3_column_bytes16(page, c) / 2)));
                    break;
                }
                case ListingCellKind::Texts: {
                    sqlite3_reset(samples.stmt);
                    sqlite3_bind_int64(samples.stmt, 1, sqlite3_column_int64(page, 0));
                    l.rows.startTexts();
                    while ((rc = sqlite3_step(samples.stmt)) == SQLITE_ROW)
                        text(samples.stmt, 0, true);
                    if (rc != SQLITE_DONE)
                        return failDb();
                    l.rows.endTexts();
                    break;
                }
                }
            }
            l.rows.endRow();
            afterTime = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(page, 1)),
                                   sqlite3_column_bytes(page, 1));
            afterId = sqlite3_column_int64(page, 0);
        }
        if (rc != SQLITE_DONE)
            return failDb();
        sqlite3_reset(page); // ends the page's read before its text goes out
        after = true;
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

// Writes one row of binary COPY data, its field count already read, to rows. False when the
// data is not what the listing's SELECT gives.
bool writePgRow(CopyReader &in, ListingRowWriter &rows)
{
    rows.startRow();
    for (int c = 0; c < ListingColumnCount && in.ok; ++c) {
        const qint64 size = in.number(4);
        const bool isNull = size == -1;
        const QByteArrayView v = isNull ? QByteArrayView() : in.bytes(size);
        const auto whole = [&] { return size == 2 || size == 4 || size == 8; };
        const auto integer = [&] {
            CopyReader n{v.data(), v.data() + v.size()};
            const qint64 value = n.number(int(v.size()));
            return isWide(c) ? value : qint64(int(value));
        };
        const auto text = [&](bool item) {
            if (isStrictUtf8(v)) {
                item ? rows.textItem(v) : rows.text(v);
            } else {
                // As the store's driver decodes it.
                const QString decoded = QString::fromUtf8(v);
                item ? rows.textItem(QStringView(decoded)) : rows.text(QStringView(decoded));
            }
        };
        switch (listingColumnKind(c)) {
        case ListingCellKind::Whole:
            if (!isNull && !whole())
                return false;
            rows.whole(isNull ? 0 : integer());
            break;
        case ListingCellKind::Id: {
            if (!isNull && !whole())
                return false;
            const qint64 id = isNull ? 0 : integer();
            id > 0 ? rows.whole(id) : rows.null();
            break;
        }
        case ListingCellKind::Real: {
            double value = 0;
            CopyReader n{v.data(), v.data() + v.size()};
            if (size == 8) {
                const quint64 bits = quint64(n.number(8));
                std::memcpy(&value, &bits, sizeof value);
            } else if (size == 4) {
                const quint32 bits = quint32(n.number(4));
                float f;
                std::memcpy(&f, &bits, sizeof f);
                value = f;
            } else if (!isNull) {
                return false;
            }
            rows.real(value);
            break;
        }
        case ListingCellKind::Flag:
            if (!isNull && !whole())
                return false;
            rows.flag(!isNull && int(integer()) != 0);
            break;
        case ListingCellKind::Text:
            if (isNull && isOutcome(c))
                rows.text(QByteArrayView("unfinished"));
            else
                text(false);
            break;
        case ListingCellKind::Time:
            if (isNull)
                rows.null();
            else if (isPlainHistoryTime(v))
                rows.plainTime(v);
            else
                rows.time(historyTimeFromText(QString::fromUtf8(v)));
            break;
        case ListingCellKind::Texts: {
            rows.startTexts();
            if (!isNull) {
                // An array: dimensions, a has-nulls flag, the element type, each
                // dimension's size and lower bound, then the elements.
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
                    if (isStrictUtf8(item)) {
                        rows.textItem(item);
                    } else {
                        const QString decoded = QString::fromUtf8(item);
                        rows.textItem(QStringView(decoded));
                    }
                }
            }
            rows.endTexts();
            break;
        }
        }
    }
    if (!in.ok)
        return false;
    rows.endRow();
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
    {
        const QByteArray sql = "SELECT j.started_utc, j.id FROM jobs j WHERE 1 = 1" + sinceSql +
                               " ORDER BY j.started_utc DESC, j.id DESC LIMIT 1 OFFSET " +
                               QByteArray::number(l.limit);
        PgResult cut{PQexec(conn, sql.constData())};
        if (PQresultStatus(cut.result) != PGRES_TUPLES_OK)
            return l.fail(systemReason(PQresultErrorMessage(cut.result)));
        *more = PQntuples(cut.result) > 0;
        if (*more)
            afterSql = " AND (j.started_utc, j.id) > (" +
                       pgLiteral(conn, PQgetvalue(cut.result, 0, 0)) + ", " +
                       QByteArray(PQgetvalue(cut.result, 0, 1)) + ")";
    }

    // The rows are written as they arrive, while the server makes the next ones; the text
    // goes out once the page's statement has ended.
    const QString badData = QStringLiteral("サーバーから届いた一覧のデータが読めません。");
    QByteArray data;
    for (;;) {
        data.truncate(0);
        qsizetype at = 0;
        bool header = false, ended = false, bad = false;
        int rows = 0;
        QByteArray lastTime;
        qint64 lastId = 0;
        const auto take = [&](const char *chunk, int size) {
            if (bad || ended)
                return;
            data.append(chunk, size);
            for (;;) {
                CopyReader in{data.constData() + at, data.constData() + data.size()};
                if (!header) {
                    // Signature, flags and the header extension.
                    const QByteArrayView signature = in.bytes(11);
                    in.number(4);
                    in.bytes(in.number(4));
                    if (!in.ok)
                        break; // more to come
                    bad = signature != QByteArrayView("PGCOPY\n\377\r\n\0", 11);
                    header = true;
                } else {
                    // A whole row is there before any of it is written.
                    CopyReader probe = in;
                    const qint64 fields = probe.number(2);
                    for (qint64 f = 0; f < fields && probe.ok; ++f)
                        probe.bytes(qMax<qint64>(0, probe.number(4)));
                    if (!probe.ok)
                        break;
                    in.number(2);
                    if (fields == -1) {
                        ended = true;
                    } else if (fields != ListingColumnCount || !writePgRow(in, l.rows) ||
                               in.at != probe.at) {
                        bad = true;
                    } else {
                        // Where the next page starts: after this row's time and id.
                        ++rows;
                        CopyReader row{data.constData() + at, in.at};
                        row.number(2);
                        const QByteArrayView id = row.bytes(row.number(4));
                        CopyReader idValue{id.data(), id.data() + id.size()};
                        lastId = idValue.number(int(id.size()));
                        lastTime = row.bytes(row.number(4)).toByteArray();
                    }
                }
                at = in.at - data.constData();
                if (bad || ended)
                    return;
            }
            // What was read is dropped, so the buffer holds at most a row.
            data.remove(0, at);
            at = 0;
        };
        QString reason;
        if (!copyOut(conn,
                     "COPY (" + selectSql(true) + sinceSql + afterSql +
                         " ORDER BY j.started_utc, j.id LIMIT " + QByteArray::number(kJobsPerPage) +
                         ") TO STDOUT (FORMAT binary)",
                     take, &reason))
            return l.fail(reason);
        if (bad || !ended)
            return l.fail(badData);
        if (rows > 0)
            afterSql = " AND (j.started_utc, j.id) > (" + pgLiteral(conn, lastTime) + ", " +
                       QByteArray::number(lastId) + ")";
        if (!l.flush())
            return false;
        if (rows < kJobsPerPage)
            return true;
    }
}

} // namespace

QByteArray historyListingSql(bool postgres)
{
    return selectSql(postgres) + " ORDER BY j.started_utc, j.id";
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
