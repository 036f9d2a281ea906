// SPDX-License-Identifier: GPL-3.0-or-later
#include "barcode/SymbolBatch.h"

namespace corvial {

SymbolBatch::SymbolBatch(QVector<QByteArray> data)
    : mData(std::move(data)), mSymbols(mData.size()), mWorker([this] { encodeAll(); })
{
}

SymbolBatch::~SymbolBatch()
{
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mWorker.join();
}

void SymbolBatch::encodeAll()
{
    for (int i = 0; i < mData.size(); ++i) {
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            if (mStop)
                return;
        }
        // Each slot is written once, before mDone passes it; readers only look below mDone.
        mSymbols[i] = encodeDataMatrix(mData.at(i));
        {
            const std::lock_guard<std::mutex> lock(mMutex);
            mDone = i + 1;
        }
        mReady.notify_all();
    }
}

DataMatrixSymbol SymbolBatch::symbolOf(const QByteArray &data)
{
    int i = mNext;
    while (i < mData.size() && mData.at(i) != data)
        ++i;
    if (i == mData.size())
        return encodeDataMatrix(data);
    mNext = i;
    std::unique_lock<std::mutex> lock(mMutex);
    mReady.wait(lock, [this, i] { return mDone > i; });
    return mSymbols.at(i);
}

} // namespace corvial
