// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

namespace corvial {

class HistoryStore;

// Takes one piece of a listing's text; false (with a Japanese message in *error) stops it.
using ListingWrite = std::function<bool(const QByteArray &text, QString *error)>;

// The newest limit (> 0) entries of the open store started at or after since (invalid: any
// time), oldest first, as CSV (no byte order mark) or JSON, byte for byte as
// HistoryListingWriter writes them. Read through the database's own client library on the
// store's connection, a page of entries at a time, each page's text handed to write once its
// statement has ended: memory stays that of one page, and no statement waits on the reader.
// *more tells that older entries were left out. False with a Japanese message in *error
// (write's own when write returned false); pages already written stay written.
bool writeHistoryListing(HistoryStore &store, const QDateTime &since, int limit, bool json,
                         const ListingWrite &write, bool *more, QString *error);

// The SELECT whose rows the listing reads, all entries oldest first, on PostgreSQL (the
// sample texts as one array per entry) or SQLite (the sample texts read apart, with
// historyListingSamplesSql, their column left NULL): for measuring the listing against a
// client that reads the same rows.
QByteArray historyListingSql(bool postgres);
// SQLite: the sample texts of the job whose id is bound as the one parameter, in order.
QByteArray historyListingSamplesSql();

} // namespace corvial
