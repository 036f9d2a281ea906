// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkbookExport.h"

#include "XlsApi.h"
#include "files/SafeFile.h"
#include "job/NumberText.h"
#include "job/SheetTypes.h"
#include "job/ShiftJis.h"
#include "job/TextCharacters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>

namespace corvial {

namespace {

constexpr int32_t kBookVersion = 2002;
constexpr int32_t kBookSheets = 3;
constexpr int32_t kCloseMode = 1;

constexpr int32_t kGridLine = 0x01000000;
constexpr int32_t kFrameLine = 0x02000000;

constexpr int kTextColumn = 0;
constexpr int kNumberColumn = 1;
constexpr int kTitleColumn = 2;

constexpr double kHeadingRowHeight = 25.0;
constexpr double kCircleRowHeight = 20.0;
constexpr double kOneLineRowHeight = 15.0;
constexpr double kTwoLineRowHeight = 30.0;

constexpr int kCircleTextWidth = 6;
constexpr int kNumberWidth = 10;
constexpr int kTitleWidth = 40;

// Palette codes by list position. The workbook palette has no exact "Lime", so Lime and
// Green share the pure green of code 11.
constexpr int kTextColourCodes[] = {8, 10, 12, 11, 13, 14, 15, 11, 9};
constexpr int kBackColourCodes[] = {9, 13, 30, 11, 22, 10, 15, 11};

constexpr int kMaxDataRows = 65535;

// One cell of the sheet. Every operation first asks the library for a fresh reference:
// the library only promises that a reference is good for the call that follows it.
class Cell
{
public:
    Cell(XlsApi &api, int column, int row) : mApi(api), mColumn(column), mRow(row) {}

    void text(const QByteArray &sjis) { put(&XlsApi::XlsPutStr, sjis); }
    void rowHeight(double height) { put(&XlsApi::XlsPutRowHeight, height); }
    void columnWidth(int width) { put(&XlsApi::XlsPutColWidth, int32_t(width)); }
    void fontColour(int code) { put(&XlsApi::XlsPutFontColor, int32_t(code)); }
    void fill(int code) { put(&XlsApi::XlsPutBackColor, int32_t(code)); }
    // Top, bottom, left, right. rightByPos: the right side's reference comes from POS.
    void borders(int32_t line, bool rightByPos = false)
    {
        put(&XlsApi::XlsPutLineTop, line);
        put(&XlsApi::XlsPutLineBottom, line);
        put(&XlsApi::XlsPutLineLeft, line);
        const int32_t cell = rightByPos ? mApi.POS(mColumn, mRow, mColumn, mRow) : ref();
        mApi.XlsPutLineRight(line, cell);
    }

private:
    int32_t ref() { return mApi.POS2(mColumn, mRow, mColumn, mRow); }

    // The reference is asked for first, then the value is put, as the library expects.
    template <typename Value, typename Arg> void put(void (XlsApi::*op)(Value, int32_t), Arg v)
    {
        const int32_t cell = ref();
        (mApi.*op)(v, cell);
    }

    XlsApi &mApi;
    int mColumn;
    int mRow;
};

// What every data row of the job shares.
struct RowLayout
{
    QByteArray headingText;
    QByteArray headingNumber;
    double rowHeight = 0.0;
    int textWidth = 0;
    QList<QByteArray> labelTexts; // of row 1, 2, ...; the last one serves every later row
    int32_t textLine = kGridLine; // borders of the text and number cells
    int textFill = 0;             // fill of the text and number cells
    int fontColour = 0;
    bool framed = false;
};

// Column A's text for one label text, as the table has always held a typed one: a single
// line as it stands; otherwise the first two lines, since a third does not fit the label.
QString rowText(const QString &text)
{
    if (memoLineCount(text) == 1)
        return text;
    return memoLine(text, 0) + QLatin1Char('\n') + memoLine(text, 1);
}

RowLayout layoutOf(const ExportJob &job)
{
    RowLayout l;
    // A list gives every row its own text; the table's headings and row height then follow
    // the list as a whole (one line only when every sample has one) and column A is as wide
    // as its widest text.
    const QStringList texts =
        job.sampleTexts.isEmpty() ? QStringList{job.proofText} : job.sampleTexts;
    bool oneLine = true;
    for (const QString &t : texts)
        oneLine = oneLine && memoLineCount(t) == 1;
    const int backCode = exportBackColourCode(job.backColourIndex);

    // The circle proof shows its text above the number, whatever the number proof still
    // holds from an earlier job of another sheet type.
    const bool isRound = job.sheetType.family().shape == LabelShape::Ellipse;
    const bool textAndNumber = isRound || oneLine;
    l.headingText = toSjis(textAndNumber ? QStringLiteral(u"文字") : QStringLiteral(u"上段"));
    l.headingNumber = toSjis(textAndNumber ? QStringLiteral(u"数字") : QStringLiteral(u"下段"));

    if (isRound) {
        l.rowHeight = kCircleRowHeight;
        l.textWidth = kCircleTextWidth;
        if (job.sampleTexts.isEmpty())
            l.labelTexts << toSjis(circleExportText(job.proofText));
        for (const QString &t : job.sampleTexts)
            l.labelTexts << toSjis(circleExportText(t));
    } else {
        l.rowHeight = oneLine ? kOneLineRowHeight : kTwoLineRowHeight;
        int bytes = 0;
        for (const QString &t : texts) {
            bytes = std::max({bytes, sjisLength(memoLine(t, 0)), sjisLength(memoLine(t, 1))});
            l.labelTexts << toSjis(rowText(t));
        }
        // 1.5 characters per byte, truncated; a width past any column's is the library's
        // to bring to its widest.
        l.textWidth = int(std::min<qint64>(qint64(bytes) * 3 / 2, INT_MAX));
    }

    l.framed = isRound && job.frame;
    // A framed circle label is a white centre in a ring of the background colour: the
    // ring becomes the cell border, the centre the fill.
    l.textLine = l.framed ? (kFrameLine | backCode) : kGridLine;
    l.textFill = l.framed ? exportBackColourCode(0) : backCode;
    l.fontColour = exportTextColourCode(job.textColourIndex);
    return l;
}

void writeHeadingRow(XlsApi &api, const RowLayout &l, const QByteArray &title)
{
    Cell(api, kTextColumn, 0).text(l.headingText);
    Cell(api, kNumberColumn, 0).text(l.headingNumber);
    Cell(api, kTitleColumn, 0).text(title);
    for (int column : {kTextColumn, kNumberColumn, kTitleColumn}) {
        Cell cell(api, column, 0);
        cell.rowHeight(kHeadingRowHeight);
        cell.borders(kGridLine);
    }
}

void writeDataRow(XlsApi &api, const RowLayout &l, int row, const QByteArray &number)
{
    Cell text(api, kTextColumn, row);
    text.rowHeight(l.rowHeight);
    text.columnWidth(l.textWidth);
    text.text(l.labelTexts.at(std::min<qsizetype>(row, l.labelTexts.size()) - 1));
    text.borders(l.textLine);
    text.fontColour(l.fontColour);
    text.fill(l.textFill);

    Cell num(api, kNumberColumn, row);
    num.rowHeight(l.rowHeight);
    num.columnWidth(kNumberWidth);
    num.text(number);
    num.fontColour(l.fontColour);
    num.fill(l.textFill);
    // The ring's right edge has always been drawn through POS; a library that tells the
    // two references apart keeps seeing the call it was written for.
    num.borders(l.textLine, l.framed);

    Cell empty(api, kTitleColumn, row);
    empty.rowHeight(l.rowHeight);
    empty.columnWidth(kTitleWidth);
    empty.borders(kGridLine);
}

// What the refused put was to set, as the message names it.
QString refusedValueName(XlsOperation operation)
{
    switch (operation) {
    case XlsOperation::PutStr:
        return QStringLiteral(u"文字");
    case XlsOperation::PutRowHeight:
        return QStringLiteral(u"行の高さ");
    case XlsOperation::PutLineTop:
    case XlsOperation::PutLineBottom:
    case XlsOperation::PutLineLeft:
    case XlsOperation::PutLineRight:
        return QStringLiteral(u"罫線");
    case XlsOperation::PutColWidth:
        return QStringLiteral(u"列の幅");
    case XlsOperation::PutFontColor:
        return QStringLiteral(u"文字の色");
    case XlsOperation::PutBackColor:
        return QStringLiteral(u"背景の色");
    case XlsOperation::None:
        break;
    }
    return QStringLiteral(u"値");
}

} // namespace

ExportJob exportJobOf(const LabelJob &job, const QDate &date)
{
    ExportJob e;
    e.sheetType = job.sheetType;
    e.sampleCount = job.sampleCount;
    e.initialValue = job.initialValue;
    e.numberStyle = job.numberStyle;
    e.proofText = job.proofText;
    e.textColourIndex = job.textColourIndex;
    e.backColourIndex = job.backColourIndex;
    e.frame = job.frame;
    e.date = date;
    e.sampleTexts = job.sampleTexts;
    return e;
}

bool isExportableType(SheetType sheetType)
{
    // The table is a list of samples by number, so only numbered labels have one.
    return sheetType.info().numbered;
}

int exportTextColourCode(int listPosition)
{
    if (listPosition < 0 || listPosition >= int(std::size(kTextColourCodes)))
        return kTextColourCodes[0];
    return kTextColourCodes[listPosition];
}

int exportBackColourCode(int listPosition)
{
    if (listPosition < 0 || listPosition >= int(std::size(kBackColourCodes)))
        return kBackColourCodes[0];
    return kBackColourCodes[listPosition];
}

QString labelSizeName(SheetType sheetType)
{
    if (!isExportableType(sheetType))
        return QString();
    return QString::fromUtf8(sheetType.info().exportSizeName);
}

QString exportTitle(SheetType sheetType, const QDate &date)
{
    if (!isExportableType(sheetType))
        return QString();
    // The C locale: the title is read by people who expect 26/12/07 whatever language
    // the desktop runs in, with ASCII digits and "/" between the parts.
    const QString day = QLocale::c().toString(date, QStringLiteral("yy/MM/dd"));
    return QStringLiteral(u"内容　(") + day + QLatin1Char('/') + labelSizeName(sheetType) +
           QStringLiteral(u"ラベル)");
}

ExportResult writeWorkbook(XlsApi &api, const QString &path, const ExportJob &job,
                           int32_t *bookHandle)
{
    ExportResult result;
    result.outcome = ExportResult::Outcome::NotStarted;
    result.status = EINVAL;
    if (!isExportableType(job.sheetType))
        return result;
    // A worksheet has 65536 rows, one of them the heading, and the last sample's number
    // must not overflow. Refused before a book is started, so nothing is half written.
    if (job.sampleCount > kMaxDataRows ||
        (job.sampleCount > 0 && qint64(job.initialValue) + job.sampleCount - 1 > INT_MAX))
        return result;

    const RowLayout layout = layoutOf(job);
    // The library would refuse the text too, but only after the book had been filled; the
    // units are counted on the very bytes it would decode. Rows without a text of their own
    // hold the last one, so the first row that holds a text names the cell.
    for (qsizetype i = 0; i < layout.labelTexts.size() && i < job.sampleCount; ++i) {
        if (fromSjis(layout.labelTexts.at(i)).size() > kMaxCellTextUnits) {
            result.outcome = ExportResult::Outcome::CellRefused;
            result.status = EMSGSIZE;
            result.operation = XlsOperation::PutStr;
            result.column = kTextColumn;
            result.row = int(i) + 1;
            return result;
        }
    }

    // Only a regular file is ever replaced: a workbook renamed over a FIFO or a device
    // would take its place. The library refuses it too, but cannot say so in words.
    result.detail = outputProblem(path);
    if (!result.detail.isEmpty())
        return result;

    // File names on this system are bytes in the file system's encoding; a Shift-JIS
    // name would create a file that nobody can find under the name they typed.
    result.status =
        api.XlsCreateBook(QFile::encodeName(path), kBookVersion, kBookSheets, bookHandle);
    // Without a book every later call fails too, and the library's close would only say
    // that no book is open; the reason the book could not be started is the useful one.
    if (result.status != 0)
        return result;

    writeHeadingRow(api, layout, toSjis(exportTitle(job.sheetType, job.date)));
    for (int row = 1; row <= job.sampleCount; ++row) {
        // Written in full: the workbook has room for a fifth digit the label has not.
        const QString number = numberText(job.initialValue + row - 1, job.numberStyle);
        writeDataRow(api, layout, row, toSjis(number));
    }
    result.status = api.XlsCloseBook(kCloseMode);
    if (result.status == 0) {
        result.outcome = ExportResult::Outcome::Written;
        return result;
    }
    int32_t operation = 0;
    int32_t column = -1;
    int32_t row = -1;
    const int32_t refused = api.XlsFirstRefusal(&operation, &column, &row);
    if (refused == 0) {
        result.outcome = ExportResult::Outcome::NotWritten;
        return result;
    }
    result.outcome = ExportResult::Outcome::CellRefused;
    result.status = refused;
    result.operation = XlsOperation(operation);
    result.column = column;
    result.row = row;
    return result;
}

QString spreadsheetCellName(int column, int row)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

QString exportErrorText(const QString &path, const ExportResult &result)
{
    const QString file = visibleText(QDir::toNativeSeparators(path));
    const QString reason = QString::fromLocal8Bit(std::strerror(result.status));
    QString what;
    switch (result.outcome) {
    case ExportResult::Outcome::Written:
        return QString();
    case ExportResult::Outcome::NotStarted:
        what = QStringLiteral(u"Excel ファイルを作成できませんでした: %1").arg(file);
        break;
    case ExportResult::Outcome::NotWritten:
        what = QStringLiteral(u"Excel ファイルを書き込めませんでした: %1").arg(file);
        break;
    case ExportResult::Outcome::CellRefused: {
        // The user knows the workbook from a spreadsheet program, where the heading is
        // row 1, so the cell is named the way it would show there.
        const QString cell =
            result.column >= 0 && result.row >= 0
                ? QStringLiteral(u"セル %1 の").arg(spreadsheetCellName(result.column, result.row))
                : QString();
        if (result.operation == XlsOperation::PutStr && result.status == EMSGSIZE)
            what = QStringLiteral(u"%1文字が長すぎるため、Excel ファイルを作成しませんでした: %2")
                       .arg(cell, file);
        else
            what = QStringLiteral(
                       u"%1%2を設定できなかったため、Excel ファイルを作成しませんでした: %3")
                       .arg(cell, refusedValueName(result.operation), file);
        break;
    }
    }
    return what + QLatin1Char('\n') + (result.detail.isEmpty() ? reason : result.detail);
}

QString workbookPathFor(const QString &chosen)
{
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QStringLiteral(".xls");
}

QString exportWrittenText(const QString &path, const ExportJob &job)
{
    return QStringLiteral("Excel ファイル「%1」に %2 件のサンプルを書き出しました。")
        .arg(QDir::toNativeSeparators(path))
        .arg(job.sampleCount);
}

} // namespace corvial
