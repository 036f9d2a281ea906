// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "print/PageCanvas.h"

#include <QFont>
#include <QString>
#include <QVector>

namespace corvial {

// One page operation as the renderer issued it, with the drawing state in force at that
// moment, so a test can ask "was this text drawn on an opaque cell?" without replaying.
struct CanvasCall
{
    enum Kind {
        BeginDocument,
        NewPage,
        EndDocument,
        SetPen,
        SetSolidBrush,
        ClearBrush,
        Ellipse,
        Rectangle,
        SetFont,
        SetFontSize,
        SetFontColour,
        TextOut,
        Line,
        FillRectangle,
    };

    Kind kind = BeginDocument;
    // Box of Ellipse/Rectangle and ends of Line (x1, y1)-(x2, y2); TextOut uses (x1, y1).
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    // Pen width of SetPen, points of SetFontSize, place of a FillRectangle in its call.
    int value = 0;
    // Colour argument of SetPen, SetSolidBrush, SetFontColour, FillRectangle.
    ColourValue colour = 0;
    QString text;   // TextOut
    QFont font;     // SetFont
    bool ok = true; // result of BeginDocument, NewPage, EndDocument

    // State in force when the call was made (after it, for the state-setting calls).
    int page = 0; // 1-based page of the open document, 0 when none is open
    int penWidth = 0;
    ColourValue penColour = 0;
    bool brushSolid = true;
    ColourValue brushColour = 0xFFFFFF;
    int fontSize = 0;
    ColourValue fontColour = 0;
};

// A PageCanvas that records every call. Resolution is whatever the test sets; textWidth is
// charWidth dots per UTF-16 code unit, so widths are known in advance. Any call of a kind can
// be made to fail, and misuse of the document order (drawing with no document open, a second
// begin, a new page or end with none open) is counted in misuse.
class RecordingCanvas : public PageCanvas
{
public:
    explicit RecordingCanvas(int x = 600, int y = 600) : dpiX(x), dpiY(y) {}

    int dpiX;
    int dpiY;
    int charWidth = 10;
    // 1-based count of the call of that kind that fails (0: none fails).
    int failBeginAt = 0;
    int failNewPageAt = 0;
    int failEndAt = 0;
    QString failureText = QStringLiteral("The printer stopped responding");

    QVector<CanvasCall> calls;
    int misuse = 0;
    int documentsBegun = 0;
    int documentsEnded = 0;

    int resolutionX() const override { return dpiX; }
    int resolutionY() const override { return dpiY; }

    bool beginDocument() override
    {
        ++mBegins;
        const bool ok = failBeginAt != mBegins;
        if (mPage != 0)
            ++misuse;
        if (ok) {
            ++documentsBegun;
            mPage = 1;
        } else {
            mError = failureText;
        }
        record(CanvasCall::BeginDocument).ok = ok;
        return ok;
    }

    bool newPage() override
    {
        ++mNewPages;
        const bool ok = failNewPageAt != mNewPages;
        if (mPage == 0)
            ++misuse;
        if (ok)
            ++mPage;
        else
            mError = failureText;
        record(CanvasCall::NewPage).ok = ok;
        return ok;
    }

    bool endDocument() override
    {
        ++mEnds;
        const bool ok = failEndAt != mEnds;
        if (mPage == 0)
            ++misuse;
        CanvasCall &c = record(CanvasCall::EndDocument);
        c.ok = ok;
        if (ok) {
            ++documentsEnded;
            mPagesPrinted += mPage;
        } else {
            mError = failureText;
        }
        mPage = 0;
        return ok;
    }

    void setPen(int widthDots, ColourValue colour) override
    {
        mState.penWidth = widthDots;
        mState.penColour = colour;
        CanvasCall &c = record(CanvasCall::SetPen);
        c.value = widthDots;
        c.colour = colour;
    }

    void setSolidBrush(ColourValue colour) override
    {
        mState.brushSolid = true;
        mState.brushColour = colour;
        record(CanvasCall::SetSolidBrush).colour = colour;
    }

    void clearBrush() override
    {
        mState.brushSolid = false;
        record(CanvasCall::ClearBrush);
    }

    void ellipse(int x1, int y1, int x2, int y2) override
    {
        shape(CanvasCall::Ellipse, x1, y1, x2, y2);
    }
    void rectangle(int x1, int y1, int x2, int y2) override
    {
        shape(CanvasCall::Rectangle, x1, y1, x2, y2);
    }

    void line(int x1, int y1, int x2, int y2) override { shape(CanvasCall::Line, x1, y1, x2, y2); }
    // One FillRectangle call per rectangle, (x1, y1)-(x2, y2) with right and bottom excluded;
    // value counts the rectangles of one fillRectangles from 0.
    void fillRectangles(const QVector<QRect> &rects, ColourValue colour) override
    {
        for (int i = 0; i < rects.size(); ++i) {
            const QRect &r = rects.at(i);
            shape(CanvasCall::FillRectangle, r.x(), r.y(), r.x() + r.width(), r.y() + r.height());
            calls.last().colour = colour;
            calls.last().value = i;
        }
    }

    void setFont(const QFont &face) override { record(CanvasCall::SetFont).font = face; }

    void setFontSize(int points) override
    {
        mState.fontSize = points;
        record(CanvasCall::SetFontSize).value = points;
    }

    void setFontColour(ColourValue colour) override
    {
        mState.fontColour = colour;
        record(CanvasCall::SetFontColour).colour = colour;
    }

    void textOut(int x, int y, const QString &text) override
    {
        if (mPage == 0)
            ++misuse;
        CanvasCall &c = record(CanvasCall::TextOut);
        c.x1 = x;
        c.y1 = y;
        c.text = text;
    }

    int textWidth(const QString &text) const override { return charWidth * int(text.size()); }

    QString errorString() const override { return mError; }

    // Pages of all documents ended successfully.
    int pagesPrinted() const { return mPagesPrinted; }

    // The recorded calls of one kind, in order.
    QVector<CanvasCall> callsOf(CanvasCall::Kind kind) const
    {
        QVector<CanvasCall> out;
        for (const CanvasCall &c : calls) {
            if (c.kind == kind)
                out << c;
        }
        return out;
    }

    int count(CanvasCall::Kind kind) const { return int(callsOf(kind).size()); }

    // TextOut calls drawn on one page (1-based).
    QVector<CanvasCall> textsOnPage(int page) const
    {
        QVector<CanvasCall> out;
        for (const CanvasCall &c : calls) {
            if (c.kind == CanvasCall::TextOut && c.page == page)
                out << c;
        }
        return out;
    }

    // Forgets everything recorded; the settings (resolution, widths, failures) stay.
    void clear()
    {
        calls.clear();
        misuse = documentsBegun = documentsEnded = 0;
        mBegins = mNewPages = mEnds = mPage = mPagesPrinted = 0;
        mState = CanvasCall();
        mError.clear();
    }

private:
    CanvasCall &record(CanvasCall::Kind kind)
    {
        CanvasCall c = mState;
        c.kind = kind;
        c.page = mPage;
        calls << c;
        return calls.last();
    }

    void shape(CanvasCall::Kind kind, int x1, int y1, int x2, int y2)
    {
        if (mPage == 0)
            ++misuse;
        CanvasCall &c = record(kind);
        c.x1 = x1;
        c.y1 = y1;
        c.x2 = x2;
        c.y2 = y2;
    }

    CanvasCall mState;
    QString mError;
    int mBegins = 0;
    int mNewPages = 0;
    int mEnds = 0;
    int mPage = 0;
    int mPagesPrinted = 0;
};

// Every recorded call with every argument and the drawing state it was made in.
inline QStringList recordedCalls(const RecordingCanvas &canvas)
{
    QStringList out;
    for (const CanvasCall &c : canvas.calls) {
        out << QStringLiteral("%1 %2,%3,%4,%5 v%6 c%7 '%8' %9/%10 ok%11 p%12 pen%13/%14 "
                              "brush%15/%16 font%17/%18")
                   .arg(int(c.kind))
                   .arg(c.x1)
                   .arg(c.y1)
                   .arg(c.x2)
                   .arg(c.y2)
                   .arg(c.value)
                   .arg(c.colour)
                   .arg(c.text, c.font.family())
                   .arg(c.font.pointSize())
                   .arg(c.ok)
                   .arg(c.page)
                   .arg(c.penWidth)
                   .arg(c.penColour)
                   .arg(c.brushSolid)
                   .arg(c.brushColour)
                   .arg(c.fontSize)
                   .arg(c.fontColour);
    }
    return out;
}

} // namespace corvial
