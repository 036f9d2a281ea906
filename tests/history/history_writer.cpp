// SPDX-License-Identifier: GPL-3.0-or-later
// Appends records to a history as a separate process would: history_writer DATABASE COUNT
// USER writes COUNT printed records for USER; any failure goes to stderr with exit code 1.
#include "history/HistoryStore.h"

#include <QCoreApplication>

#include <cstdio>

using namespace corvial;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    HistoryLocation location;
    HistoryStore store;
    QString error;
    bool ok =
        historyLocationFromValue(args.at(1), &location, &error) && store.open(location, &error);
    for (int i = 0; ok && i < args.at(2).toInt(); ++i) {
        HistoryRecord record;
        record.user = args.at(3);
        record.samples = 1;
        record.sampleTexts = {QString::number(i)};
        const qint64 id = store.begin(record, &error);
        ok = id > 0 && store.finish(id, JobOutcome::Printed, QString(), 0, &error);
    }
    if (!ok)
        std::fputs(qPrintable(error), stderr);
    return ok ? 0 : 1;
}
