// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>

namespace xlscrt {

// Every integer in the container and in the records is little-endian.

// Appends v as 1, 2 or 4 little-endian bytes to out.
inline void putU8(QByteArray &out, uint32_t v)
{
    out.append(char(v & 0xFF));
}
inline void putU16(QByteArray &out, uint32_t v)
{
    putU8(out, v);
    putU8(out, v >> 8);
}
inline void putU32(QByteArray &out, uint32_t v)
{
    putU16(out, v);
    putU16(out, v >> 16);
}

// Overwrites 2 or 4 bytes at pos (0 <= pos, pos + width <= out.size()) with v.
inline void setU16(QByteArray &out, qsizetype pos, uint32_t v)
{
    out[pos] = char(v & 0xFF);
    out[pos + 1] = char((v >> 8) & 0xFF);
}
inline void setU32(QByteArray &out, qsizetype pos, uint32_t v)
{
    setU16(out, pos, v);
    setU16(out, pos + 2, v >> 16);
}

} // namespace xlscrt
