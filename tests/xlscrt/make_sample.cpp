// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the workbooks the Python checkers read back with independent readers. The
// layout here and in sample.py must stay the same.
#include "xlscrt2.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kDataRows = 400;
constexpr int kStringRows = 3000;
constexpr int32_t kGrid = 0x01000000;
constexpr int32_t kFrame = 0x02000000;

// The heading texts go in as literal Shift-JIS bytes, so their decoding does not rest on
// the same converter that produced them.
constexpr const char *kUpperHeading = "\x8F\xE3\x92\x69"; // 上段
constexpr const char *kLowerHeading = "\x89\xBA\x92\x69"; // 下段

const char16_t *const kTexts[] = {u"ABC", u"ABCDEFG\r\nABCDEFGHIJ", u"検体①ｹﾝﾀｲ", u"", u" ",
                                  u"\r\n"};
constexpr int kFontCodes[] = {8, 10, 12, 11, 13, 14, 15, 9};
constexpr int kBackCodes[] = {9, 13, 30, 11, 22, 10, 15};
constexpr double kHeights[] = {15.0, 30.0, 20.0, 12.75};

int failures = 0;

void check(int32_t rc, const char *what)
{
    if (rc != 0) {
        std::fprintf(stderr, "make_sample: %s returned %d\n", what, int(rc));
        ++failures;
    }
}

QByteArray sjis(const QString &text)
{
    QStringEncoder encoder("windows-31j");
    return encoder.encode(text);
}

void putText(const QString &text, int col, int row)
{
    check(XlsPutStr(sjis(text).constData(), POS2(col, row, col, row)), "XlsPutStr");
}

void putLines(int32_t line, int col, int row)
{
    check(XlsPutLineTop(line, POS2(col, row, col, row)), "XlsPutLineTop");
    check(XlsPutLineBottom(line, POS2(col, row, col, row)), "XlsPutLineBottom");
    check(XlsPutLineLeft(line, POS2(col, row, col, row)), "XlsPutLineLeft");
    check(XlsPutLineRight(line, POS(col, row, col, row)), "XlsPutLineRight");
}

void writeExportLike()
{
    check(XlsPutStr(kUpperHeading, POS2(0, 0, 0, 0)), "XlsPutStr");
    check(XlsPutStr(kLowerHeading, POS2(1, 0, 1, 0)), "XlsPutStr");
    putText(QString::fromUtf16(u"内容　(26/12/07/１２ｍｍＸ２４ｍｍラベル)"), 2, 0);
    for (int c = 0; c < 3; ++c) {
        check(XlsPutRowHeight(25.0, POS2(c, 0, c, 0)), "XlsPutRowHeight");
        putLines(kGrid, c, 0);
    }
    for (int r = 1; r <= kDataRows; ++r) {
        const bool framed = r % 3 == 0;
        const int back = kBackCodes[r % 7];
        const int fill = framed ? 9 : back;
        const int32_t line = framed ? (kFrame | back) : kGrid;
        for (int c = 0; c < 3; ++c) {
            const int32_t ref = POS2(c, r, c, r);
            check(XlsPutRowHeight(kHeights[r % 4], ref), "XlsPutRowHeight");
            check(XlsPutColWidth(c == 0 ? 15 : c == 1 ? 10 : 40, ref), "XlsPutColWidth");
            if (c == 0)
                putText(QString::fromUtf16(kTexts[r % 6]), c, r);
            if (c == 1)
                putText(QString::asprintf("%04d", 97 + r), c, r);
            if (c < 2) {
                check(XlsPutFontColor(kFontCodes[r % 8], ref), "XlsPutFontColor");
                check(XlsPutBackColor(fill, ref), "XlsPutBackColor");
            }
            putLines(c < 2 ? line : kGrid, c, r);
        }
    }
    // A line of an unknown kind takes the line away again.
    check(XlsPutLineRight(0x03000000, POS2(2, 1, 2, 1)), "XlsPutLineRight");
    check(XlsPutColWidth(0, POS2(3, 1, 3, 1)), "XlsPutColWidth");
}

void writeManyStrings()
{
    for (int r = 0; r < kStringRows; ++r) {
        putText(QStringLiteral("%1:0").arg(r), 0, r);
        putText(QStringLiteral("%1:").arg(r) + QString::fromUtf16(u"検体").repeated(r % 50), 1, r);
        putText(QStringLiteral("%1:").arg(r) + QString(r % 300, QLatin1Char('x')), 2, r);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 ||
        (std::strcmp(argv[1], "export") != 0 && std::strcmp(argv[1], "strings") != 0)) {
        std::fprintf(stderr, "usage: make_sample export|strings FILE.xls\n");
        return 2;
    }
    int32_t handle = 0;
    check(XlsCreateBook(argv[2], 2002, 3, &handle), "XlsCreateBook");
    if (std::strcmp(argv[1], "export") == 0)
        writeExportLike();
    else
        writeManyStrings();
    check(XlsCloseBook(1), "XlsCloseBook");
    return failures == 0 ? 0 : 1;
}
