// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompoundFile.h"

#include "Bytes.h"

#include <algorithm>

namespace xlscrt {

namespace {

constexpr qsizetype kSector = 512;
constexpr uint32_t kIdsPerSector = kSector / 4;
constexpr uint32_t kHeaderDifatSlots = 109;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

void putDirectoryEntry(QByteArray &out, const char16_t *name, int type, uint32_t child,
                       uint32_t start, uint32_t size)
{
    const qsizetype begin = out.size();
    int units = 0;
    for (const char16_t *p = name; p && *p; ++p, ++units)
        putU16(out, *p);
    out.append(64 - units * 2, '\0');
    // An unused entry has no name at all, not even the terminator.
    putU16(out, units ? (units + 1) * 2 : 0);
    putU8(out, type);
    putU8(out, type ? 1 : 0); // black: a one-node tree is trivially balanced
    putU32(out, kNoStream);   // left sibling
    putU32(out, kNoStream);   // right sibling
    putU32(out, child);
    out.append(16 + 4 + 16, '\0'); // class id, state bits, creation and modification times
    putU32(out, start);
    putU32(out, size);
    putU32(out, 0); // size high dword, always 0 in version 3
    Q_ASSERT(out.size() - begin == 128);
}

} // namespace

QByteArray compoundFile(const QByteArray &workbookStream)
{
    const qsizetype streamSize = std::max(workbookStream.size(), kMiniStreamCutoff);
    const auto w = uint32_t((streamSize + kSector - 1) / kSector);

    // The FAT has to describe its own sectors and those of the DIFAT, which in turn
    // grows with the FAT: take the smallest FAT that covers everything.
    uint32_t f = 1;
    uint32_t d = 0;
    for (;; ++f) {
        d = f > kHeaderDifatSlots
                ? (f - kHeaderDifatSlots + kIdsPerSector - 2) / (kIdsPerSector - 1)
                : 0;
        if (w + f + d + 1 <= f * kIdsPerSector)
            break;
    }
    const uint32_t fatStart = w;
    const uint32_t difatStart = w + f;
    const uint32_t dirSector = w + f + d;

    QByteArray out;
    out.reserve(qsizetype(dirSector + 2) * kSector);

    out.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.append(16, '\0'); // class id
    putU16(out, 0x003E);  // minor version
    putU16(out, 0x0003);  // major version 3: 512-byte sectors
    putU16(out, 0xFFFE);  // byte order mark
    putU16(out, 9);       // sector shift
    putU16(out, 6);       // mini sector shift
    out.append(6, '\0');
    putU32(out, 0); // directory sector count: must stay 0 in version 3
    putU32(out, f);
    putU32(out, dirSector);
    putU32(out, 0); // transaction signature
    putU32(out, uint32_t(kMiniStreamCutoff));
    putU32(out, kEndOfChain); // no mini FAT
    putU32(out, 0);
    putU32(out, d ? difatStart : kEndOfChain);
    putU32(out, d);
    for (uint32_t i = 0; i < kHeaderDifatSlots; ++i)
        putU32(out, i < f ? fatStart + i : kFreeSect);

    out.append(workbookStream);
    out.append(kSector + qsizetype(w) * kSector - out.size(), '\0');

    for (uint32_t i = 0; i < f * kIdsPerSector; ++i) {
        uint32_t next = kFreeSect;
        if (i + 1 < w)
            next = i + 1;
        else if (i + 1 == w || i == dirSector)
            next = kEndOfChain;
        else if (i >= fatStart && i < difatStart)
            next = kFatSect;
        else if (i >= difatStart && i < dirSector)
            next = kDifSect;
        putU32(out, next);
    }

    // Each DIFAT sector lists the FAT sectors the header had no room for, and links on.
    uint32_t fatIndex = kHeaderDifatSlots;
    for (uint32_t s = 0; s < d; ++s) {
        for (uint32_t k = 0; k + 1 < kIdsPerSector; ++k, ++fatIndex)
            putU32(out, fatIndex < f ? fatStart + fatIndex : kFreeSect);
        putU32(out, s + 1 < d ? difatStart + s + 1 : kEndOfChain);
    }

    putDirectoryEntry(out, u"Root Entry", 5, 1, kEndOfChain, 0);
    putDirectoryEntry(out, u"Workbook", 2, kNoStream, 0, uint32_t(streamSize));
    putDirectoryEntry(out, nullptr, 0, kNoStream, 0, 0);
    putDirectoryEntry(out, nullptr, 0, kNoStream, 0, 0);
    return out;
}

} // namespace xlscrt
