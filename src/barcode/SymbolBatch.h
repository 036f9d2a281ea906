// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "barcode/DataMatrix.h"

#include <QByteArray>
#include <QVector>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvial {

// The symbols of a job's codes, encoded in label order on a thread of their own from the
// moment the batch is made, so that encoding runs beside the drawing of the pages instead
// of before it.
class SymbolBatch
{
public:
    // data: the codes' data in the order they will be asked for.
    explicit SymbolBatch(QVector<QByteArray> data);
    // Stops the encoding (a job that failed need not wait for the rest) and waits for it.
    ~SymbolBatch();
    SymbolBatch(const SymbolBatch &) = delete;
    SymbolBatch &operator=(const SymbolBatch &) = delete;

    // The symbol of data: waits until the batch has encoded it. Asked in the batch's order,
    // each call is a step forward; data the batch does not hold is encoded here.
    DataMatrixSymbol symbolOf(const QByteArray &data);

private:
    void encodeAll();

    const QVector<QByteArray> mData;
    QVector<DataMatrixSymbol> mSymbols;
    std::mutex mMutex;
    std::condition_variable mReady;
    int mDone = 0;       // symbols 0 .. mDone - 1 are encoded (guarded by mMutex)
    bool mStop = false;  // guarded by mMutex
    int mNext = 0;       // where the next symbolOf starts looking (caller's thread only)
    std::thread mWorker; // last: started once everything above is in place
};

} // namespace corvial
