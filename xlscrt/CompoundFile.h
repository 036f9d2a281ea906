// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace xlscrt {

// Streams below this size belong in the mini stream, which we never write.
inline constexpr qsizetype kMiniStreamCutoff = 4096;
// A version 3 container records stream sizes in 32 bits and readers take them as signed.
inline constexpr qsizetype kMaxStreamSize = 0x7FFFF000;

// Wraps a BIFF stream (0..kMaxStreamSize bytes) as the "Workbook" stream of an OLE2
// compound file, version 3, 512-byte sectors; the stream is zero-padded to at least
// kMiniStreamCutoff bytes first. Returns the whole file.
QByteArray compoundFile(const QByteArray &workbookStream);

} // namespace xlscrt
