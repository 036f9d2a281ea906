// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/XlsApi.h"
#include "job/ShiftJis.h"

#include <QList>
#include <QStringList>

// Stands in for the workbook library and keeps every put as (cell, operation, argument).
// References are fresh numbers on every POS/POS2 call, so a put that reuses an old one,
// comes without one, or leaves one unused is noted in faults.
class RecordingXlsApi : public corvial::XlsApi
{
public:
    struct Call
    {
        int column;
        int row;
        QString op;     // "str", "height", "top", ..., "font", "fill"
        QString arg;    // texts decoded from Shift-JIS with CR and LF shown as \r \n
        QByteArray raw; // the bytes of a text
        bool viaPos;    // the reference came from POS, not POS2
    };

    int32_t createStatus = 0;
    int32_t closeStatus = 0;
    // What XlsFirstRefusal answers; status 0: no put was refused.
    int32_t refusalStatus = 0;
    int32_t refusalOperation = 0;
    int32_t refusalColumn = -1;
    int32_t refusalRow = -1;
    int refusalQueries = 0;

    QByteArray path;
    int32_t version = 0;
    int32_t sheets = 0;
    int32_t *handle = nullptr;
    int creates = 0;
    int closes = 0;
    int32_t closeMode = -1;
    QList<Call> calls;
    QStringList faults;

    int32_t XlsCreateBook(const QByteArray &p, int32_t v, int32_t s, int32_t *h) override
    {
        if (creates++ > 0)
            faults << QStringLiteral("second XlsCreateBook");
        path = p;
        version = v;
        sheets = s;
        handle = h;
        mOpen = createStatus == 0;
        return createStatus;
    }
    int32_t POS2(int32_t c1, int32_t r1, int32_t c2, int32_t r2) override
    {
        return fetch(c1, r1, c2, r2, false);
    }
    int32_t POS(int32_t c1, int32_t r1, int32_t c2, int32_t r2) override
    {
        return fetch(c1, r1, c2, r2, true);
    }
    void XlsPutStr(const QByteArray &t, int32_t cell) override
    {
        QString shown = corvial::fromSjis(t);
        shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
        shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
        put(cell, QStringLiteral("str"), shown, t);
    }
    void XlsPutRowHeight(double h, int32_t cell) override
    {
        put(cell, QStringLiteral("height"), QString::number(h));
    }
    void XlsPutLineTop(int32_t l, int32_t cell) override
    {
        put(cell, QStringLiteral("top"), hex(l));
    }
    void XlsPutLineBottom(int32_t l, int32_t cell) override
    {
        put(cell, QStringLiteral("bottom"), hex(l));
    }
    void XlsPutLineLeft(int32_t l, int32_t cell) override
    {
        put(cell, QStringLiteral("left"), hex(l));
    }
    void XlsPutLineRight(int32_t l, int32_t cell) override
    {
        put(cell, QStringLiteral("right"), hex(l));
    }
    void XlsPutColWidth(int32_t w, int32_t cell) override
    {
        put(cell, QStringLiteral("width"), QString::number(w));
    }
    void XlsPutFontColor(int32_t c, int32_t cell) override
    {
        put(cell, QStringLiteral("font"), QString::number(c));
    }
    void XlsPutBackColor(int32_t c, int32_t cell) override
    {
        put(cell, QStringLiteral("fill"), QString::number(c));
    }
    int32_t XlsCloseBook(int32_t mode) override
    {
        if (!mOpen)
            faults << QStringLiteral("XlsCloseBook without an open book");
        if (mPending)
            faults << QStringLiteral("reference left unused before XlsCloseBook");
        ++closes;
        closeMode = mode;
        mOpen = false;
        return closeStatus;
    }
    int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row) override
    {
        // Asked once the book is closed, so it never stands between a reference and its put.
        if (mOpen || closes == 0)
            faults << QStringLiteral("XlsFirstRefusal before XlsCloseBook");
        ++refusalQueries;
        *operation = refusalOperation;
        *column = refusalColumn;
        *row = refusalRow;
        return refusalStatus;
    }

    // Operations on one cell in call order, "op arg|op arg|..."; a POS reference shows as op@POS.
    QString cell(int column, int row) const
    {
        QStringList ops;
        for (const Call &c : calls) {
            if (c.column == column && c.row == row)
                ops << c.op + (c.viaPos ? QStringLiteral("@POS ") : QStringLiteral(" ")) + c.arg;
        }
        return ops.join(QLatin1Char('|'));
    }
    // The cells in the order they were written, one name per run of calls on the same cell.
    QString cellOrder() const
    {
        QStringList names;
        for (const Call &c : calls) {
            const QString name = QChar(u'A' + c.column) + QString::number(c.row);
            if (names.isEmpty() || names.last() != name)
                names << name;
        }
        return names.join(QLatin1Char(' '));
    }
    // The first call of op on the cell, or nullptr.
    const Call *find(int column, int row, const QString &op) const
    {
        for (const Call &c : calls) {
            if (c.column == column && c.row == row && c.op == op)
                return &c;
        }
        return nullptr;
    }
    QString arg(int column, int row, const QString &op) const
    {
        const Call *c = find(column, row, op);
        return c ? c->arg : QStringLiteral("<none>");
    }
    // Highest row that received any call.
    int lastRow() const
    {
        int last = -1;
        for (const Call &c : calls)
            last = qMax(last, c.row);
        return last;
    }

private:
    static QString hex(int32_t v)
    {
        return QStringLiteral("0x") + QString::number(uint32_t(v), 16).rightJustified(8, u'0');
    }
    int32_t fetch(int32_t c1, int32_t r1, int32_t c2, int32_t r2, bool viaPos)
    {
        if (c1 != c2 || r1 != r2)
            faults << QStringLiteral("range instead of one cell");
        if (mPending)
            faults << QStringLiteral("reference left unused");
        mPending = true;
        mRef = ++mNextRef;
        mColumn = c1;
        mRow = r1;
        mViaPos = viaPos;
        return mRef;
    }
    void put(int32_t cell, const QString &op, const QString &arg, const QByteArray &raw = {})
    {
        if (!mOpen)
            faults << op + QStringLiteral(" without an open book");
        if (!mPending || cell != mRef)
            faults << op + QStringLiteral(" without a reference fetched just before it");
        mPending = false;
        calls.append({mColumn, mRow, op, arg, raw, mViaPos});
    }

    bool mOpen = false;
    bool mPending = false;
    int32_t mRef = 0;
    int32_t mNextRef = 1000;
    int mColumn = -1;
    int mRow = -1;
    bool mViaPos = false;
};
