// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "job/Colours.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <QVector>

namespace corvial {

class JobWatcher;

// How a document sent to a print queue ended, as far as the canvas followed it.
enum class JobEnd {
    NotSent,      // no queue job (a PDF, a preview, or it failed before the queue took it)
    Completed,    // the queue printed it
    Aborted,      // the queue gave up on it: not printed
    Cancelled,    // cancelled before it was printed
    StillWaiting, // not ended when the wait ran out or was given up; the queue prints it later
};

// The print queue's job of the last document, as the canvas found and followed it.
struct QueueJob
{
    int id = 0; // the queue's job id, 0 when none was sent
    JobEnd end = JobEnd::NotSent;
};

// The page operations the sheet renderer draws with. Coordinates are printer dots from the
// top-left corner of the page's drawable area, x to the right and y downwards. One document
// is begun, gets a new page between sheets and is ended after the last one.
class PageCanvas
{
public:
    virtual ~PageCanvas() = default;
    // Horizontal and vertical dots per inch of the page (> 0).
    virtual int resolutionX() const = 0;
    virtual int resolutionY() const = 0;
    // Starts the document and opens its first page; false on failure, errorString() says why.
    virtual bool beginDocument() = 0;
    // Ends the current page and opens the next one; false on failure.
    virtual bool newPage() = 0;
    // Ends the current page and the document, which is then printed; false on failure,
    // including when the document did not arrive whole where it was sent.
    virtual bool endDocument() = 0;
    // Outline pen for ellipse and rectangle: width in dots (>= 0) and colour.
    virtual void setPen(int widthDots, ColourValue colour) = 0;
    // Solid fill for shapes; text cells are filled with it too.
    virtual void setSolidBrush(ColourValue colour) = 0;
    // No fill and a transparent text background.
    virtual void clearBrush() = 0;
    // Ellipse inscribed in the box (x1, y1)-(x2, y2), filled with the brush, outlined by the pen.
    virtual void ellipse(int x1, int y1, int x2, int y2) = 0;
    // Rectangle (x1, y1)-(x2, y2), filled with the brush, outlined by the pen.
    virtual void rectangle(int x1, int y1, int x2, int y2) = 0;
    // Rectangles in dots (QRect's x, y, width, height), filled in the colour with no outline;
    // pen and brush stay as they were. 2-D codes are drawn with it: their modules come out
    // on whole dots, and a whole symbol goes to the page in one operation.
    virtual void fillRectangles(const QVector<QRect> &rects, ColourValue colour) = 0;
    // Straight line from (x1, y1) to (x2, y2) dots in the pen's width and colour.
    virtual void line(int x1, int y1, int x2, int y2) = 0;
    // Face, style and character set of the given font; its size is set with setFontSize.
    virtual void setFont(const QFont &face) = 0;
    // Font size in points (1/72 inch at the page's resolution).
    virtual void setFontSize(int points) = 0;
    // Colour of the glyphs drawn by textOut.
    virtual void setFontColour(ColourValue colour) = 0;
    // Draws one line of text with the top-left corner of its cell at (x, y) dots.
    virtual void textOut(int x, int y, const QString &text) = 0;
    // Width in dots of one line of text in the current font and size.
    virtual int textWidth(const QString &text) const = 0;
    // Why the last call that returned false failed.
    virtual QString errorString() const = 0;
    // Something the user should know about a document that did print (a paused printer
    // holds it, say); empty when there is nothing to say.
    virtual QString notice() const { return QString(); }

    // Only a canvas that sends its document to a print queue does anything with these.
    // The title the queue lists the next document under; the canvas adds a token of its own,
    // so that the job it finds on the queue afterwards is this document's and no other's.
    virtual void setDocumentTitle(const QString &title) { Q_UNUSED(title); }
    // Follows the queue's job to its end (not owned; null: a time bound). It must outlive
    // endDocument().
    virtual void setJobWatcher(JobWatcher *watcher) { Q_UNUSED(watcher); }
    // The queue's job of the last document.
    virtual QueueJob queueJob() const { return QueueJob(); }
};

} // namespace corvial
