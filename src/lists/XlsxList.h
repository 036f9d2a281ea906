// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/ListTable.h"

#include <QByteArray>
#include <QString>

namespace corvial {

// Most bytes the parts of an .xlsx that are read may unpack to, all together: far more than
// any list needs, far less than a crafted file (a zip bomb) would unpack to.
constexpr qint64 MaxXlsxUnpackedBytes = 64 * 1024 * 1024;

// The first worksheet of an .xlsx workbook (file content bytes), in the workbook's own sheet
// order, as cells: shared and inline strings with their rich-text runs joined (phonetic
// guides left out), numbers as the General format shows them, numbers in a date format as
// "yyyy/mm/dd", TRUE/FALSE, error values as written. Each part is checked against what is
// left of MaxXlsxUnpackedBytes from the zip directory before it is unpacked, and again while
// it is. fileName goes into the table; reasons are Japanese and name the part.
ListTableRead readXlsxList(const QByteArray &bytes, const QString &fileName);

} // namespace corvial
