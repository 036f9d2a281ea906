// SPDX-License-Identifier: GPL-3.0-or-later
// A job written to the history and read back prints again as it printed: the record keeps
// everything the renderer draws from, for any range of the job's samples.
#include "barcode/CodeRules.h"
#include "history/HistoryStore.h"
#include "history/JobRecord.h"
#include "job/ProofLabel.h"
#include "print/PrintJob.h"
#include "support/RecordingCanvas.h"

#include <QTemporaryDir>
#include <QTest>

using namespace corvial;

namespace {

enum class Kind { NumberedCode, Round, Marker, Memo };

SheetType typeWith(Kind kind)
{
    for (SheetType t : SheetType::all()) {
        const SheetTypeInfo &info = t.info();
        const bool fits = kind == Kind::NumberedCode ? info.numbered && hasCodeRoom(t)
                          : kind == Kind::Round      ? info.textBox.kind == TextBoxKind::OneLine
                          : kind == Kind::Marker     ? info.textBox.kind == TextBoxKind::Marker
                                                     : info.textBox.kind == TextBoxKind::Memo;
        if (fits)
            return t;
    }
    qFatal("no sheet type of the kind asked for");
}

// The job as the batch printer builds it from typed text (or from a list).
LabelJob jobOf(Kind kind, int first, int samples, const QStringList &list)
{
    LabelJob job;
    job.sheetType = typeWith(kind);
    job.sampleCount = list.isEmpty() ? samples : int(list.size());
    job.repeatCount = job.sheetType.info().repeatShown ? 2 : 1;
    job.initialValue = first;
    job.numberStyle = NumberStyle::Plain;
    job.printAlign = PrintAlign::Right;
    job.startPos = 3;
    job.textColourIndex = 2;
    job.backColourIndex = 1;
    job.frame = kind == Kind::Round;
    job.labelFont = QFont(QStringLiteral("Noto Sans CJK JP"));
    job.labelFont.setBold(true);
    job.sampleTexts = list;
    ProofInput in;
    in.sheetType = job.sheetType;
    in.text = list.isEmpty() ? QStringLiteral("AB") : list.first();
    in.marker = 2;
    in.initialValue = first;
    in.numberStyle = job.numberStyle;
    const ProofLabelContent proof = proofLabelFor(in);
    job.proofText = proof.kind == ProofKind::Circle ? proof.circleText : proof.text;
    if (kind == Kind::Round)
        job.enteredText = in.text;
    if (proof.fixedColours) {
        job.textColourIndex = proof.textColourIndex;
        job.backColourIndex = proof.backColourIndex;
    }
    job.code = kind == Kind::NumberedCode;
    job.codePrefix = job.code ? QStringLiteral("LAB-") : QString();
    return job;
}

// The label drawing calls of job with their arguments, leaving out the state carried over
// from earlier labels and the page, which a reprint from another start position changes;
// what is set up before the first label is left out too.
QStringList labelCalls(const LabelJob &job)
{
    RecordingCanvas canvas;
    QString error;
    if (!printJob(canvas, job, &error))
        return {QStringLiteral("failed: ") + error};
    QStringList calls;
    bool labels = false;
    for (const CanvasCall &c : canvas.calls) {
        labels = labels || c.kind == CanvasCall::SetPen;
        if (labels && c.kind != CanvasCall::BeginDocument && c.kind != CanvasCall::NewPage &&
            c.kind != CanvasCall::EndDocument)
            calls << QStringLiteral("%1 %2,%3,%4,%5 v%6 c%7 '%8' %9/%10")
                         .arg(int(c.kind))
                         .arg(c.x1)
                         .arg(c.y1)
                         .arg(c.x2)
                         .arg(c.y2)
                         .arg(c.value)
                         .arg(c.colour)
                         .arg(c.text, c.font.family())
                         .arg(c.font.pointSize());
    }
    return calls;
}

} // namespace

class TestJobRecord : public QObject
{
    Q_OBJECT

private slots:
    void reprintDrawsAsPrinted_data();
    void reprintDrawsAsPrinted();
};

void TestJobRecord::reprintDrawsAsPrinted_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("from"); // sample numbers printed again
    QTest::addColumn<int>("to");
    const QStringList list = {QStringLiteral("A1"), QStringLiteral("B2"), QStringLiteral("C3"),
                              QStringLiteral("D4"), QStringLiteral("E5")};
    QTest::newRow("numbered typed whole")
        << int(Kind::NumberedCode) << 40 << 6 << QStringList() << 40 << 45;
    QTest::newRow("numbered list middle") << int(Kind::NumberedCode) << 7 << 0 << list << 8 << 10;
    QTest::newRow("numbered across 9999")
        << int(Kind::NumberedCode) << 9998 << 0 << list << 9999 << 1;
    QTest::newRow("round typed middle") << int(Kind::Round) << 1 << 5 << QStringList() << 2 << 4;
    QTest::newRow("round list last") << int(Kind::Round) << 1 << 0 << list << 5 << 5;
    QTest::newRow("marker") << int(Kind::Marker) << 1 << 4 << QStringList() << 2 << 3;
    QTest::newRow("memo list") << int(Kind::Memo) << 1 << 0 << list << 1 << 3;
}

void TestJobRecord::reprintDrawsAsPrinted()
{
    QFETCH(int, kind);
    QFETCH(int, first);
    QFETCH(int, samples);
    QFETCH(QStringList, list);
    QFETCH(int, from);
    QFETCH(int, to);
    const LabelJob job = jobOf(Kind(kind), first, samples, list);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HistoryLocation location;
    location.filePath = dir.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store;
    QString error;
    QVERIFY2(store.open(location, &error), qPrintable(error));
    RecordSource source;
    source.program = QStringLiteral("corvial-batch");
    source.pdfPath = dir.filePath(QStringLiteral("out.pdf"));
    const qint64 id = store.begin(recordOf(job, advanceAfterPrint(job), source), &error);
    QVERIFY2(id > 0, qPrintable(error));
    HistoryEntry entry;
    QVERIFY2(store.entry(id, &entry, &error), qPrintable(error));

    LabelJob again;
    QVERIFY2(reprintJob(entry, from, to, &again, &error), qPrintable(error));
    // From where the first of those samples printed, the reprint lays its labels where the
    // job laid them, so its drawing is a run of the job's drawing.
    const int perSheet = job.sheetType.family().labels;
    const int skipped = sampleIndexOf(entry.record, from) * job.repeatCount;
    again.startPos = (job.startPos - 1 + skipped) % perSheet + 1;
    again.offsetX = job.offsetX;
    again.offsetY = job.offsetY;
    QCOMPARE(again.sampleCount,
             sampleIndexOf(entry.record, to) - sampleIndexOf(entry.record, from) + 1);
    const QStringList original = labelCalls(job);
    const QStringList reprinted = labelCalls(again);
    QVERIFY(!reprinted.isEmpty());
    bool found = false;
    for (qsizetype at = 0; !found && at + reprinted.size() <= original.size(); ++at)
        found = original.mid(at, reprinted.size()) == reprinted;
    QVERIFY2(found, qPrintable(reprinted.join(QLatin1Char('\n'))));

    // A number the job did not print is refused, not wrapped into another sample.
    const int outside = (first + job.sampleCount) % HistoryNumberWrap;
    QVERIFY(!reprintJob(entry, from, outside, &again, &error));
    QVERIFY(error.contains(QString::number(outside)));
}

QTEST_MAIN(TestJobRecord)
#include "tst_jobrecord.moc"
