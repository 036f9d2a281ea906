// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/HistoryLocation.h"
#include "history/HistoryOpenMode.h"
#include "history/HistoryRecord.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <memory>

class QSqlQuery;

namespace corvial {

struct WaitingScope;

// Which entries to list; every condition that is set must hold.
struct HistoryFilter
{
    QDateTime since;            // started at or after this moment; invalid: any time
    QDateTime before;           // started before this moment; invalid: any time
    int sampleNumber = -1;      // 0..9999: jobs that printed this number; -1: any
    QString text;               // part of any sample's text (case as typed); empty: any
    int sheetType = 0;          // 1..10: jobs of that sheet type; 0: any
    bool firstPrints = false;   // true: jobs printed for the first time, no reprints
    QList<JobOutcome> outcomes; // jobs whose latest outcome is one of these; empty: any
    QString jobFile;            // jobs read from this job file (as records name it); empty: any
    QString jobSha256;          // with jobFile: and from bytes of this SHA-256 (hex)
    int limit = 1000;           // most entries given back (> 0), so a long history stays bounded
};

// One page of a listing, in listing order; false (with a Japanese message in *error) stops it.
using HistoryPage = std::function<bool(const QList<HistoryEntry> &entries, QString *error)>;

// The print history: an append-only log of print attempts. A job is written once when it
// starts; its completion and any later abort or cancellation are further events, the latest
// of which is its outcome. A job sent to CUPS gets its CUPS id as an event of its own the
// moment the queue took it (markSent), so that a job whose completion is lost can still be
// followed. Nothing is ever changed or removed, so a record written before a
// job was sent survives whatever happens to the program afterwards.
//
// Each store has its own database connection and must be used from the thread that opened
// it; a worker thread opens a store of its own.
class HistoryStore
{
public:
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the history at location; with CreateWhenMissing the file and the tables are made
    // when missing, with ExistingOnly a missing file or missing tables are refused and
    // nothing is made. Tables of an older version are upgraded in place; with ExistingOnly,
    // one that cannot be (a file or a database role that may only read it) is read as it
    // stands, the columns it lacks empty, and no record can be begun in it. PostgreSQL
    // connections get location's connect, lock and statement timeouts. False with a
    // Japanese message naming the database and the system's reason in *error.
    bool open(const HistoryLocation &location, QString *error,
              HistoryOpenMode mode = HistoryOpenMode::CreateWhenMissing);
    // Closes the connection; the store can be opened again.
    void close();
    bool isOpen() const;
    const HistoryLocation &location() const { return mLocation; }
    // The open connection, for a reader that goes through the driver's own library (the
    // long listing); an invalid one when the store is closed.
    QSqlDatabase connection() const { return mDb; }
    // The jobs table as a statement names it after FROM: "jobs", or for an older history read
    // as it stands, a derived table that gives the columns it lacks as empty (NULL for the
    // print server), so that every reader selects the same columns.
    QString jobsSource() const { return mJobsSource; }

    // Writes record as a started attempt; call before the job is sent. The new entry's id
    // (> 0), or 0 with a Japanese message in *error when it could not be written.
    qint64 begin(const HistoryRecord &record, QString *error);
    // Records how the attempt id ended (any outcome but Unfinished), with the reason of a
    // failure and the queue's job id (0 when none). False with a Japanese message in *error.
    bool finish(qint64 id, JobOutcome outcome, const QString &reason, int cupsJobId,
                QString *error);
    // Records that the queue took attempt id as its job cupsJobId (> 0), before the attempt
    // ended; the entry stays Unfinished, with that id. False with a Japanese message.
    bool markSent(qint64 id, int cupsJobId, QString *error);
    // Records that the attempt id was aborted or cancelled after it had been left waiting or
    // sent (outcome must be Aborted or Cancelled). Written only while its latest event is
    // still that one, checked and written in one transaction, so that two programs checking
    // at once write it once; *written (if given) tells whether this call wrote it. False
    // with a Japanese message in *error.
    bool markLater(qint64 id, JobOutcome outcome, const QString &reason, QString *error,
                   bool *written = nullptr);

    // Entries matching filter, newest first, at most filter.limit of them; *more (if given)
    // tells that further ones match. False with a Japanese message in *error.
    bool entries(const HistoryFilter &filter, QList<HistoryEntry> *out, QString *error,
                 bool *more = nullptr);
    // The newest filter.limit entries matching filter, oldest first, handed to page a page at
    // a time so that a listing of the whole history is never held at once; *more (if given)
    // tells that older ones match. False with a Japanese message in *error (page's own when
    // page stopped it).
    bool entriesOldestFirst(const HistoryFilter &filter, const HistoryPage &page, QString *error,
                            bool *more = nullptr);
    // The newest filter.limit entries matching filter, newest first, handed to page as they
    // are read: the first page holds at most firstPage (> 0) entries, so that a window can show
    // rows before the rest is read, later ones more. *more (if given) tells that further ones
    // match. False with a Japanese message in *error (page's own when page stopped it).
    bool entriesNewestFirst(const HistoryFilter &filter, int firstPage, const HistoryPage &page,
                            QString *error, bool *more = nullptr);
    // The attempts to print job file jobFile (as records name it) with bytes of SHA-256
    // jobSha256, newest first, at most 100: one begun and never finished is Unfinished (with
    // the CUPS id of markSent, if the queue took it), the others have their latest outcome, as
    // entries() gives them. None for an empty jobFile. False with a Japanese message.
    bool entriesOfJobFile(const QString &jobFile, const QString &jobSha256,
                          QList<HistoryEntry> *out, QString *error);
    // The entry id. False with a Japanese message in *error, also when there is none.
    bool entry(qint64 id, HistoryEntry *out, QString *error);
    // Entries whose latest outcome is Waiting, newest first, at most limit of them.
    bool waitingEntries(QList<HistoryEntry> *out, QString *error, int limit = 1000);
    // Entries a re-check follows, newest first, at most limit: those host sent through print
    // server cupsServer (both non-empty) whose latest event is Waiting, or the CUPS id of
    // markSent. Records that name no server are never among them. Only id, outcome,
    // cupsJobId and the record's queue, host and cupsServer are filled: entry() gives the
    // rest of the few a re-check ends.
    bool waitingEntries(const QString &host, const QString &cupsServer, QList<HistoryEntry> *out,
                        QString *error, int limit = 1000);

private:
    bool query(const HistoryFilter &filter, qint64 onlyId, const WaitingScope *waiting,
               QList<HistoryEntry> *out, QString *error, bool *more);
    QString entryColumns() const;
    void readEntry(const QSqlQuery &q, HistoryEntry *e) const;
    bool readSampleTexts(QList<HistoryEntry> *entries, QString *reason);
    bool addEvent(qint64 id, JobOutcome outcome, const QString &reason, int cupsJobId,
                  QString *error);
    bool addFollowUp(qint64 id, JobOutcome outcome, const QString &reason, QString *error,
                     bool *written);
    bool prepareFile(HistoryOpenMode mode, QString *error);
    bool hasTables(bool *all, QString *reason);
    bool createSchema(HistoryOpenMode mode, QString *reason);
    bool addLaterColumns(QString *reason);
    bool readAsItStands(QString *reason);
    bool setTimeouts(QString *reason);
    bool startWrite(QString *reason);
    QString failure(const QString &what, const QString &reason) const;

    HistoryLocation mLocation;
    QString mConnection;
    QSqlDatabase mDb;
    QString mJobsSource = QStringLiteral("jobs");
    // Why an older history read as it stands could not be upgraded; empty when it was.
    QString mNotUpgraded;
    // The statements every record writes, parsed once per connection.
    std::unique_ptr<QSqlQuery> mInsertJob;
    std::unique_ptr<QSqlQuery> mInsertSamples;
    std::unique_ptr<QSqlQuery> mInsertEvent;
};

} // namespace corvial
