// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Job files: one job as a JSON object whose keys are the batch printer's option names. The
// object is turned into the options it stands for and read by the very checks of the command
// line; only the wording of a refusal differs, naming the key as the file wrote it.

#include "BatchOptions.h"
#include "files/JsonObject.h"
#include "lists/ListTable.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvial {

// Most bytes of a job file: a job is a few hundred bytes, 400 samples' texts some ten kB.
constexpr qint64 MaxJobFileBytes = 1024 * 1024;
// Levels of a job file: the object, the "texts" array, a sample's array of lines.
constexpr int MaxJobFileDepth = 3;

// How a job file's job is placed: the watcher's own choices override and confine it.
struct JobFileContext
{
    bool confined = false; // a watched folder's job: pdf, xls as a path, printer, settings,
                           // history-db, no-history, list, text-file are refused naming the key
    QStringList beside;    // arguments decided outside the file, e.g. "--printer=Q",
                           // "--pdf=/out/a.pdf", "--settings=…", "--history-db=…"
    QString xlsWhenTrue;   // the path `"xls": true` stands for; empty: true is refused
};
// Parses a job file's bytes (already read; fileName for messages, jobFile for the record) into a
// command to run, refusals worded with the key.
BatchCommand parseJobFile(const QByteArray &bytes, const QString &fileName, const QString &jobFile,
                          const JobFileContext &context);

// The options a job file's object stands for, or why it cannot stand for any.
struct JobFileArguments
{
    QStringList arguments;          // "--option=value" and "--flag", in the file's order
    QHash<QString, QString> keyOf;  // option (its nameOf) -> the key that gave it
    std::optional<ListTable> texts; // "texts" as the sample list --list would have read
    QString key;                    // the key refused, or empty for the file as a whole
    QString why;                    // empty when the arguments stand
    bool keyRefused = false; // the key may not stand there; false: its value is of the wrong kind

    bool ok() const { return why.isEmpty(); }
};

// The arguments of the object read (keys in file order), for the context: unknown keys (with
// the near name), keys that do not describe a job, keys the context confines or sets beside,
// values of the wrong JSON type, and "texts" beside what it decides are refused here; every
// value is checked later, as the command line's. listName is what --list names for "texts".
JobFileArguments jobFileArguments(const JsonObjectRead &read, const JobFileContext &context,
                                  const QString &listName);

} // namespace corvial
