// SPDX-License-Identifier: GPL-3.0-or-later
// The jobs the history benchmarks write: a numbered list job as the window prints one,
// recorded as the programs record it.
#pragma once

#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "job/SheetTypes.h"

#include <QDateTime>
#include <cstdio>
#include <functional>

namespace corvial::bench {

inline SheetType numberedListType()
{
    for (SheetType t : SheetType::all()) {
        if (t.info().numbered && t.info().textBox.kind == TextBoxKind::Lines)
            return t;
    }
    return SheetType::all().front();
}

inline LabelJob listJob(int samples)
{
    LabelJob job;
    job.sheetType = numberedListType();
    job.sampleCount = samples;
    job.initialValue = 1201;
    job.proofText = QStringLiteral("検体\nLot 42");
    for (int i = 0; i < samples; ++i)
        job.sampleTexts << QStringLiteral("検体 %1\nLot %2").arg(i + 1).arg(4200 + i % 17);
    return job;
}

// Writes count jobs of samples samples into the open store, ten minutes apart back from now
// (job 0 the newest). shape (if given) adjusts job i's record and the CUPS id it ends with;
// each ends as outcome. False after saying why.
inline bool seedJobs(HistoryStore &store, int count, int samples, JobOutcome outcome,
                     const std::function<void(int i, HistoryRecord *, int *cupsJobId)> &shape = {})
{
    QString error;
    RecordSource source;
    source.program = QStringLiteral("bench_history");
    source.pdfPath = QStringLiteral("/tmp/x.pdf");
    const LabelJob job = listJob(samples);
    const HistoryRecord seed = recordOf(job, advanceAfterPrint(job), source);
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        HistoryRecord record = seed;
        record.startedUtc = newest.addSecs(-600LL * i);
        int cupsJobId = 0;
        if (shape)
            shape(i, &record, &cupsJobId);
        const qint64 id = store.begin(record, &error);
        if (id <= 0 || !store.finish(id, outcome, QString(), cupsJobId, &error)) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(error));
            return false;
        }
    }
    return true;
}

} // namespace corvial::bench
