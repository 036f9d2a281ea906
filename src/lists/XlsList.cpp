// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/XlsList.h"

#include "files/BoundedFile.h"
#include "lists/CellText.h"

#include <QFile>

#include <freexl.h>

namespace corvial {

namespace {

struct XlsHandle
{
    const void *handle = nullptr;
    ~XlsHandle()
    {
        if (handle)
            freexl_close(handle);
    }
};

QString cellValueText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return generalNumberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(cell.value.text_value);
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
        return isoDateText(QString::fromUtf8(cell.value.text_value));
    default:
        return QString();
    }
}

} // namespace

ListTableRead readXlsList(const BoundedFile &file, const QString &fileName)
{
    ListTableRead read;
    read.table.fileName = fileName;
    const auto fail = [&](const QString &why) {
        read.reason = why;
        return read;
    };
    // The library opens files by name only. The name of the descriptor already opened and
    // checked is used, so nothing but that regular file can be read, whatever happened to the
    // name meanwhile.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file.handle());
    XlsHandle xls;
    int status = freexl_open(self.constData(), &xls.handle);
    if (status != FREEXL_OK)
        return fail(QStringLiteral("Excel 97-2003 形式 (.xls) のブックとして読めません "
                                   "(FreeXL エラー %1)。ファイルが壊れているか、別の形式です。")
                        .arg(status));
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        return fail(QStringLiteral("パスワードで保護されたブックは読めません。"));
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0)
        return fail(QStringLiteral("ブックにシートがありません。"));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(xls.handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(xls.handle, &rows, &columns) != FREEXL_OK)
        return fail(QStringLiteral("最初のシートを読めません。"));
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            status = freexl_get_cell_value(xls.handle, r, c, &cell);
            if (status != FREEXL_OK)
                return fail(QStringLiteral("セル %1 を読めません (FreeXL エラー %2)。")
                                .arg(listCellName(c, int(r)))
                                .arg(status));
            if (!keepCell(read.table, int(r), c, cellValueText(cell)))
                return read;
        }
    }
    return read;
}

} // namespace corvial
