// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrinterCanvas.h"

#include "files/SafeFile.h"
#include "job/TextCharacters.h"
#include "print/CupsQueue.h"
#include "print/JobFollow.h"

#include <numeric>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLineF>
#include <QPaintEngine>
#include <QPrinter>
#include <QRandomGenerator>
#include <QRectF>

namespace corvial {

namespace {

QRectF boxOf(int x1, int y1, int x2, int y2)
{
    return QRectF(x1, y1, x2 - x1, y2 - y1);
}

// Why the PDF at path is not a whole document, or empty when it is. Qt's PDF writer does not
// report a write that failed (a full disk, a file size limit): the file then ends early,
// without the cross-reference table its last lines point to.
QString incompletePdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const qint64 size = file.size();
    const auto cutShort = [size] {
        return QStringLiteral("PDF が最後まで書き込まれませんでした（%1 バイトで途切れています）。"
                              "ディスクの空き容量を確かめてください。")
            .arg(size);
    };
    if (size < 64 || !file.read(5).startsWith("%PDF-"))
        return cutShort();
    const qint64 tailSize = qMin<qint64>(size, 1024);
    file.seek(size - tailSize);
    const QByteArray tail = file.read(tailSize);
    const qsizetype start = tail.lastIndexOf("startxref");
    if (start < 0 || tail.indexOf("%%EOF", start) < 0)
        return cutShort();
    bool ok = false;
    const qint64 xref =
        tail.mid(start + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref >= size || !file.seek(xref) || !file.read(4).startsWith("xref"))
        return cutShort();
    return QString();
}

} // namespace

PrinterCanvas::PrinterCanvas(QPrinter *printer)
    : mPrinter(printer), mPen(Qt::black, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
{
}

PrinterCanvas::~PrinterCanvas()
{
    // A job that failed half-way leaves the painter open; closing it here hands the printer
    // back in a usable state instead of leaving a half-begun document behind.
    if (mPainter.isActive())
        mPainter.end();
    restoreOutputName();
}

int PrinterCanvas::resolutionX() const
{
    return mPrinter ? mPrinter->logicalDpiX() : 0;
}

int PrinterCanvas::resolutionY() const
{
    return mPrinter ? mPrinter->logicalDpiY() : 0;
}

bool PrinterCanvas::beginDocument()
{
    mError.clear();
    if (!mPrinter)
        return fail(QStringLiteral("印刷できませんでした。プリンターが選ばれていません。"));
    if (mPainter.isActive())
        return fail(
            QStringLiteral("印刷を始められませんでした: %1\n別の印刷がまだ終わっていません。")
                .arg(targetName()));
    mNotice.clear();
    mSentTitle.clear();
    mJobId = 0;
    mJobEnd = JobEnd::NotSent;
    // A preview draws into pictures and never writes a file or sends a job.
    const QString file = mPrinter->outputFileName();
    if (!drawsPreview()) {
        if (!file.isEmpty() && !beginPdf(file))
            return false;
        if (file.isEmpty() && mPrinter->outputFormat() == QPrinter::NativeFormat &&
            !mPrinter->printerName().isEmpty() && !beginQueue())
            return false;
    }
    if (!mPainter.begin(mPrinter))
        return fail(QStringLiteral(
                        "印刷を始められませんでした: %1\nプリンターが印刷を受け付けませんでした。")
                        .arg(targetName()));
    if (printerFailed()) {
        mPainter.end();
        return fail(
            QStringLiteral("印刷を始められませんでした: %1\nプリンターがエラーを報告しました。")
                .arg(targetName()));
    }
    mPainter.setRenderHint(QPainter::Antialiasing);
    mPainter.setFont(mFont);
    return true;
}

bool PrinterCanvas::newPage()
{
    if (!mPainter.isActive())
        return fail(QStringLiteral("印刷できませんでした: %1\n印刷中の文書がありません。")
                        .arg(targetName()));
    if (!mPrinter->newPage() || printerFailed())
        return fail(QStringLiteral(
                        "次のシートを始められませんでした: %1\nプリンターがエラーを報告しました。")
                        .arg(targetName()));
    return true;
}

bool PrinterCanvas::endDocument()
{
    if (!mPainter.isActive())
        return fail(QStringLiteral("印刷できませんでした: %1\n印刷中の文書がありません。")
                        .arg(targetName()));
    const bool ended = mPainter.end();
    // Qt sends a queue's job from end() and keeps quiet about a refusal; CUPS still knows
    // why, for this thread, until the next request.
    const QString submitError = cupsErrorText();
    const bool queued = !mSentTitle.isEmpty();
    if (queued)
        mPrinter->setDocName(mDocNameBefore);
    if (!ended || printerFailed())
        return fail(
            QStringLiteral("印刷を終えられませんでした: %1\nプリンターがエラーを報告しました。")
                .arg(targetName()));
    if (mStaged)
        return finishPdf();
    if (queued)
        return finishQueue(submitError);
    return true;
}

bool PrinterCanvas::beginPdf(const QString &file)
{
    mOutputFile = file;
    mStaged = std::make_unique<StagedFile>(file);
    QString why;
    if (!mStaged->create(&why)) {
        mStaged.reset();
        mOutputFile.clear();
        return fail(QStringLiteral("印刷ファイルを書き込めませんでした: %1\n%2")
                        .arg(QDir::toNativeSeparators(file), why));
    }
    mPrinter->setOutputFileName(mStaged->tempPath());
    return true;
}

bool PrinterCanvas::finishPdf()
{
    const QString name = QDir::toNativeSeparators(mOutputFile);
    const QString written = mStaged->tempPath();
    restoreOutputName();
    QString why = incompletePdf(written);
    if (why.isEmpty() && mStaged->commit(&why)) {
        mStaged.reset();
        return true;
    }
    mStaged.reset();
    return fail(QStringLiteral("印刷ファイルを書き込めませんでした: %1\n%2").arg(name, why));
}

bool PrinterCanvas::beginQueue()
{
    const QString name = mPrinter->printerName();
    const QueueState queue = cupsQueueState(name);
    if (!queue.answered)
        return fail(QStringLiteral("印刷を始められませんでした: %1\n"
                                   "CUPS からプリンターの状態を得られませんでした: %2")
                        .arg(name, queue.reason));
    if (!queue.accepting)
        return fail(
            QStringLiteral("印刷できませんでした: %1\nプリンターがジョブを受け付けていません"
                           "（%2）。")
                .arg(name, queue.reason.isEmpty() ? QStringLiteral("理由は示されていません")
                                                  : queue.reason));
    if (queue.stopped)
        mNotice = QStringLiteral("プリンター「%1」は一時停止中です。ラベルはプリンターが再開されて"
                                 "から印刷されます。")
                      .arg(name);
    // Two jobs of one user sent to one queue at the same moment are told apart by this
    // token alone, whatever order CUPS numbers them in.
    const QString token =
        QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, u'0');
    // The caller's title, else the document name the printer was given.
    mDocNameBefore = mPrinter->docName();
    QString title = mTitle.isEmpty() ? mDocNameBefore : mTitle;
    if (title.isEmpty())
        title = QStringLiteral("Corvial Manager");
    mSentTitle = title + QLatin1Char(' ') + token;
    mPrinter->setDocName(mSentTitle);
    return true;
}

bool PrinterCanvas::finishQueue(const QString &submitError)
{
    const QString name = mPrinter->printerName();
    const TitledJob job = cupsJobTitled(name, mSentTitle);
    mSentTitle.clear();
    if (job.id == 0) {
        const QueueState queue = cupsQueueState(name);
        QString why = submitError;
        if (why.isEmpty())
            why = queue.reason;
        if (why.isEmpty())
            why = job.reason;
        return fail(QStringLiteral("印刷できませんでした: %1\nプリンターがジョブを受け付けません"
                                   "でした（%2）。")
                        .arg(name, why.isEmpty() ? QStringLiteral("理由は示されていません") : why));
    }
    return followQueueJob(name, job.id);
}

bool PrinterCanvas::followQueueJob(const QString &name, int id)
{
    mJobId = id;
    TimeBoundWatcher usual(DefaultJobWaitSeconds);
    JobWatcher &watcher = mWatcher ? *mWatcher : usual;
    watcher.sent(name, id);
    const JobStatus job = followCupsJob(name, id, watcher);
    const QString shown = visibleText(name);
    if (job.phase == JobPhase::Completed) {
        // A pause that ended while we waited no longer needs saying.
        mJobEnd = JobEnd::Completed;
        mNotice.clear();
        return true;
    }
    if (job.phase == JobPhase::Aborted || job.phase == JobPhase::Cancelled) {
        // The job's own message says what the device did. After that, an abort is best
        // told by the queue's message (CUPS often puts the device's failure only there), a
        // cancellation by the job's reasons (who cancelled it).
        const bool aborted = job.phase == JobPhase::Aborted;
        QString why = job.message;
        if (why.isEmpty())
            why = aborted ? cupsQueueState(name).reason : job.reasons;
        if (why.isEmpty())
            why = aborted ? job.reasons : cupsQueueState(name).reason;
        if (why.isEmpty())
            why = QStringLiteral("理由は示されていません");
        mJobEnd = aborted ? JobEnd::Aborted : JobEnd::Cancelled;
        return fail((aborted ? QStringLiteral("印刷できませんでした: %1\nCUPS がジョブ %2 を"
                                              "中止しました（%3）。")
                             : QStringLiteral("印刷できませんでした: %1\nジョブ %2 は印刷が終わる"
                                              "前に取り消されました（%3）。"))
                        .arg(shown)
                        .arg(id)
                        .arg(visibleText(why)));
    }

    // CUPS keeps the job and prints it when it can; the user only needs to know that it has
    // not come out yet, and why.
    mJobEnd = JobEnd::StillWaiting;
    const QueueState queue = cupsQueueState(name);
    if (queue.stopped) {
        mNotice = QStringLiteral("プリンター「%1」は一時停止中です。ジョブ %2 はプリンターが再開"
                                 "されてから印刷されます。")
                      .arg(shown)
                      .arg(id);
    } else if (job.phase == JobPhase::Unknown) {
        mNotice = QStringLiteral("ジョブ %2 が印刷されたかを CUPS に確かめられませんでした"
                                 "（プリンター「%1」: %3）。CUPS に送ったものとして扱います。")
                      .arg(shown)
                      .arg(id)
                      .arg(visibleText(job.error));
    } else if (job.held) {
        mNotice = QStringLiteral("プリンター「%1」のジョブ %2 は CUPS で保留されています"
                                 "（%3）。保留が解かれると印刷されます。")
                      .arg(shown)
                      .arg(id)
                      .arg(job.reasons.isEmpty() ? QStringLiteral("job-hold-until-specified")
                                                 : job.reasons);
    } else {
        QString state = job.message;
        if (state.isEmpty())
            state = queue.reason;
        if (state.isEmpty())
            state = job.processing ? QStringLiteral("印刷中") : QStringLiteral("順番待ち");
        mNotice = QStringLiteral("プリンター「%1」のジョブ %2 はまだ印刷が終わっていません"
                                 "（%3）。CUPS がプリンターに送り終えると印刷されます。")
                      .arg(shown)
                      .arg(id)
                      .arg(visibleText(state));
    }
    return true;
}

void PrinterCanvas::setDocumentTitle(const QString &title)
{
    mTitle = title;
}

void PrinterCanvas::setJobWatcher(JobWatcher *watcher)
{
    mWatcher = watcher;
}

void PrinterCanvas::restoreOutputName()
{
    // The window keeps its printer for the next job; it must not offer our temporary name.
    if (mPrinter && !mOutputFile.isEmpty())
        mPrinter->setOutputFileName(mOutputFile);
    mOutputFile.clear();
}

QString PrinterCanvas::notice() const
{
    return mNotice;
}

void PrinterCanvas::setPen(int widthDots, ColourValue colour)
{
    mPen.setWidth(qMax(widthDots, 0));
    mPen.setColor(toQColor(colour));
}

void PrinterCanvas::setSolidBrush(ColourValue colour)
{
    mBrushSolid = true;
    mBrushColour = toQColor(colour);
}

void PrinterCanvas::clearBrush()
{
    mBrushSolid = false;
}

void PrinterCanvas::ellipse(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    prepareShape();
    mPainter.drawEllipse(boxOf(x1, y1, x2, y2));
}

void PrinterCanvas::rectangle(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    prepareShape();
    mPainter.drawRect(boxOf(x1, y1, x2, y2));
}

void PrinterCanvas::fillRectangles(const QVector<QRect> &rects, ColourValue colour)
{
    if (!mPainter.isActive() || rects.isEmpty())
        return;
    // One call for all of them: a PDF then gets one fill of many rectangles instead of one
    // fill with its own state per module.
    mPainter.setPen(Qt::NoPen);
    mPainter.setBrush(toQColor(colour));
    // Rectangles on a common grid (the modules of a code) go to the page in units of that
    // grid: a PDF then holds small numbers, which makes it smaller and quicker to compress.
    const QPoint origin = rects.first().topLeft();
    int grid = 0;
    for (const QRect &r : rects) {
        for (const int v : {r.x() - origin.x(), r.y() - origin.y(), r.width(), r.height()})
            grid = std::gcd(grid, v);
    }
    if (grid <= 1 || rects.size() == 1) {
        mPainter.drawRects(rects.constData(), int(rects.size()));
        return;
    }
    QVector<QRect> inGrid;
    inGrid.reserve(rects.size());
    for (const QRect &r : rects)
        inGrid.append(QRect((r.x() - origin.x()) / grid, (r.y() - origin.y()) / grid,
                            r.width() / grid, r.height() / grid));
    mPainter.save();
    mPainter.translate(origin);
    mPainter.scale(grid, grid);
    mPainter.drawRects(inGrid.constData(), int(inGrid.size()));
    mPainter.restore();
}

void PrinterCanvas::line(int x1, int y1, int x2, int y2)
{
    if (!mPainter.isActive())
        return;
    mPainter.setPen(mPen);
    mPainter.drawLine(QLineF(x1, y1, x2, y2));
}

void PrinterCanvas::setFont(const QFont &face)
{
    const int points = mFont.pointSize();
    mFont = face;
    if (points > 0)
        mFont.setPointSize(points);
    if (mPainter.isActive())
        mPainter.setFont(mFont);
}

void PrinterCanvas::setFontSize(int points)
{
    mFont.setPointSize(qMax(points, 1));
    if (mPainter.isActive())
        mPainter.setFont(mFont);
}

void PrinterCanvas::setFontColour(ColourValue colour)
{
    mFontColour = toQColor(colour);
}

void PrinterCanvas::textOut(int x, int y, const QString &text)
{
    if (!mPainter.isActive() || text.isEmpty())
        return;
    const QFontMetrics metrics = mPainter.fontMetrics();
    if (mBrushSolid)
        mPainter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                          mBrushColour);
    mPainter.setPen(mFontColour);
    mPainter.drawText(QPoint(x, y + metrics.ascent()), text);
}

int PrinterCanvas::textWidth(const QString &text) const
{
    if (mPainter.isActive())
        return mPainter.fontMetrics().horizontalAdvance(text);
    return mPrinter ? QFontMetrics(mFont, mPrinter).horizontalAdvance(text) : 0;
}

QString PrinterCanvas::errorString() const
{
    return mError;
}

bool PrinterCanvas::fail(const QString &message)
{
    mError = message;
    return false;
}

QString PrinterCanvas::targetName() const
{
    if (!mPrinter)
        return QStringLiteral("プリンター");
    if (!mOutputFile.isEmpty())
        return visibleText(QDir::toNativeSeparators(mOutputFile));
    if (!mPrinter->outputFileName().isEmpty())
        return visibleText(QDir::toNativeSeparators(mPrinter->outputFileName()));
    if (!mPrinter->printerName().isEmpty())
        return visibleText(mPrinter->printerName());
    return QStringLiteral("プリンター");
}

bool PrinterCanvas::printerFailed() const
{
    return !mPrinter || mPrinter->printerState() == QPrinter::Error;
}

bool PrinterCanvas::drawsPreview() const
{
    // QPrintPreviewWidget swaps in its own engine, which records pages as pictures.
    const QPaintEngine *engine = mPrinter ? mPrinter->paintEngine() : nullptr;
    return engine && engine->type() == QPaintEngine::Picture;
}

void PrinterCanvas::prepareShape()
{
    mPainter.setPen(mPen);
    if (mBrushSolid)
        mPainter.setBrush(mBrushColour);
    else
        mPainter.setBrush(Qt::NoBrush);
}

} // namespace corvial
