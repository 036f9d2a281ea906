// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/PageCanvas.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QString>

#include <memory>

class QPrinter;

namespace corvial {

class JobWatcher;
class StagedFile;

// The page operations on a QPrinter: drawn at the printer's own resolution, with page
// coordinates from the top-left corner of its drawable area.
//
// A document counts as printed only when it arrived whole: a PDF is written beside its file
// under another name, checked to be complete, synced and only then put in the file's
// place, so a failure leaves an earlier file as it was; a CUPS queue is asked before the
// job whether it takes jobs, and afterwards the job is followed until CUPS prints it, gives
// up on it, or the watcher stops waiting.
class PrinterCanvas : public PageCanvas
{
public:
    // printer: the page target, not owned; it must outlive the canvas.
    explicit PrinterCanvas(QPrinter *printer);
    ~PrinterCanvas() override;
    PrinterCanvas(const PrinterCanvas &) = delete;
    PrinterCanvas &operator=(const PrinterCanvas &) = delete;

    // The page operations as PageCanvas describes them. The resolution is the printer's
    // logical resolution; failures name the print file or the printer.

    int resolutionX() const override;
    int resolutionY() const override;
    bool beginDocument() override;
    bool newPage() override;
    bool endDocument() override;
    void setPen(int widthDots, ColourValue colour) override;
    void setSolidBrush(ColourValue colour) override;
    void clearBrush() override;
    void ellipse(int x1, int y1, int x2, int y2) override;
    void rectangle(int x1, int y1, int x2, int y2) override;
    void fillRectangles(const QVector<QRect> &rects, ColourValue colour) override;
    void line(int x1, int y1, int x2, int y2) override;
    void setFont(const QFont &face) override;
    void setFontSize(int points) override;
    void setFontColour(ColourValue colour) override;
    void textOut(int x, int y, const QString &text) override;
    int textWidth(const QString &text) const override;
    QString errorString() const override;
    QString notice() const override;

    // A queue's job is found by its title, never by guessing which of this user's jobs is
    // new; without a watcher the job is followed for DefaultJobWaitSeconds.
    void setDocumentTitle(const QString &title) override;
    void setJobWatcher(JobWatcher *watcher) override;
    QueueJob queueJob() const override { return {mJobId, mJobEnd}; }
    // CUPS's id of the last job sent, 0 when none was.
    int jobId() const { return mJobId; }
    // How the last job sent ended.
    JobEnd jobEnd() const { return mJobEnd; }

private:
    bool beginPdf(const QString &file);
    bool beginQueue();
    bool finishPdf();
    bool finishQueue(const QString &submitError);
    bool followQueueJob(const QString &name, int id);
    void restoreOutputName();

    bool fail(const QString &message);
    QString targetName() const;
    bool printerFailed() const;
    bool drawsPreview() const;
    void prepareShape();

    QPrinter *mPrinter;
    QPainter mPainter;
    QPen mPen;
    bool mBrushSolid = true;
    QColor mBrushColour = Qt::white;
    QColor mFontColour = Qt::black;
    QFont mFont;
    QString mError;
    QString mNotice;
    QString mOutputFile; // the PDF asked for; the printer writes to mStaged
    std::unique_ptr<StagedFile> mStaged;
    QString mTitle;     // what the caller wants the queue's job called
    QString mSentTitle; // the unique title the document went to the queue under
    QString mDocNameBefore;
    JobWatcher *mWatcher = nullptr;
    int mJobId = 0;
    JobEnd mJobEnd = JobEnd::NotSent;
};

} // namespace corvial
