// SPDX-License-Identifier: GPL-3.0-or-later
#include "job/BytesLeft.h"
#include "job/Colours.h"
#include "job/JobRules.h"
#include "job/LabelLayout.h"
#include "job/NumberText.h"
#include "job/PrinterScale.h"
#include "job/ProofLabel.h"
#include "job/SheetTypes.h"
#include "job/ShiftJis.h"
#include "job/TextLimits.h"
#include "support/SheetTypeOf.h"

#include <QtTest>

#include <functional>

using namespace corvial;

namespace {

using Limit = std::function<QString(const QString &)>;

// The texts as they are typed: one line, a few lines, or a memo.
enum class Box { OneLine, Lines, Memo };

// The text box of sheet type `code`; no box at all for a number that is no sheet type.
TextBox boxOf(int code)
{
    const std::optional<SheetType> type = SheetType::fromCode(code);
    return type ? type->info().textBox : TextBox();
}

// How much the typed text may hold while the type is chosen: a type typed as lines sets it,
// the others leave the maximum the lines had before.
int boxMaxBytes(Box box, int sheetType)
{
    if (box == Box::Memo)
        return MemoMaxBytes;
    const TextBox tb = boxOf(sheetType);
    return tb.kind == TextBoxKind::Lines ? tb.totalBytes : LinesInitialMaxBytes;
}

Limit limitFor(Box box, int sheetType, int maxBytes)
{
    const TextBox tb = boxOf(sheetType);
    switch (box) {
    case Box::OneLine:
        return [=](const QString &t) { return limitOneLineText(t, tb); };
    case Box::Lines:
        return [=](const QString &t) { return limitLinesText(t, tb, maxBytes); };
    case Box::Memo:
        break;
    }
    return [=](const QString &t) { return limitMemoText(t, tb, maxBytes); };
}

// The keys a user presses to type the text: Enter for each line break (CR LF, CR or LF),
// one key per character otherwise (a surrogate pair is one character).
QStringList keystrokes(const QString &text)
{
    QStringList keys;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\r') || text.at(i) == QLatin1Char('\n')) {
            if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            keys << QStringLiteral("\n");
        } else if (text.at(i).isHighSurrogate() && i + 1 < text.size()) {
            keys << text.mid(i++, 2);
        } else {
            keys << text.mid(i, 1);
        }
    }
    return keys;
}

// A box with a native maximum length refuses a key whose result would exceed it before
// any change handler runs; a box without one passes every key to the handler, which then
// applies all limits itself. Both must end where a paste of the whole text ends.
QString typeInto(const QStringList &keys, const Limit &limit, int refuseAbove)
{
    QString state;
    for (const QString &key : keys) {
        const QString candidate = state + key;
        if (refuseAbove >= 0 && sjisLength(candidate) > refuseAbove)
            continue;
        state = limit(candidate);
    }
    return state;
}

QString repeated(const QString &piece, int times)
{
    return piece.repeated(times);
}

QString runsText(const QVector<SheetRun> &runs)
{
    QStringList parts;
    for (int i = 0; i < runs.size(); ++i) {
        const SheetRun &r = runs.at(i);
        parts << QStringLiteral("%1-%2").arg(r.firstPos).arg(r.lastPos);
        if (r.sheetNo != i + 1 || r.isLastSheet != (i + 1 == runs.size()))
            parts << QStringLiteral("(bad sheet %1)").arg(r.sheetNo);
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestJob : public QObject
{
    Q_OBJECT

private slots:
    void jobSplit_data();
    void jobSplit();
    void numberAdvance_data();
    void numberAdvance();
    void oneLineLimit_data();
    void oneLineLimit();
    void linesLimit_data();
    void linesLimit();
    void linesPerType_data();
    void linesPerType();
    void memoLimit_data();
    void memoLimit();
    void typingEqualsPaste_data();
    void typingEqualsPaste();
    void circleProof_data();
    void circleProof();
    void markers_data();
    void markers();
    void memoFontSize_data();
    void memoFontSize();
    void numberFontSize_data();
    void numberFontSize();
    void shiftJisBytes_data();
    void shiftJisBytes();
    void numberTexts_data();
    void numberTexts();
    void proofLabel_data();
    void proofLabel();
    void placedLines_data();
    void placedLines();
    void unprintableCharacters_data();
    void unprintableCharacters();
    void sheetTypeValues_data();
    void sheetTypeValues();
    void textBoxBounds_data();
    void textBoxBounds();
    void scalePercent_data();
    void scalePercent();
    void bytesLeftInBox_data();
    void bytesLeftInBox();
};

void TestJob::oneLineLimit_data()
{
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ABCDEF") << 1 << QStringLiteral("ABCDEF") << QStringLiteral("ABCDE");
    QTest::newRow("exactly 5") << 1 << QStringLiteral("ABCDE") << QStringLiteral("ABCDE");
    QTest::newRow("empty") << 1 << QString() << QString();
    QTest::newRow("three full-width") << 1 << QStringLiteral("あいう") << QStringLiteral("あい");
    QTest::newRow("partial at the end") << 1 << QStringLiteral("ABCDあ") << QStringLiteral("ABCD");
    QTest::newRow("half-width katakana")
        << 1 << QStringLiteral("ｱｲｳｴｵｶ") << QStringLiteral("ｱｲｳｴｵ");
    QTest::newRow("narrow after a dropped wide")
        << 1 << QStringLiteral("あいうA") << QStringLiteral("あいA");
    QTest::newRow("other type untouched")
        << 2 << QStringLiteral("ABCDEFGH") << QStringLiteral("ABCDEFGH");
    QTest::newRow("unknown type untouched")
        << 0 << QStringLiteral("ABCDEFGH") << QStringLiteral("ABCDEFGH");
}

void TestJob::oneLineLimit()
{
    QFETCH(int, sheetType);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(limitOneLineText(text, boxOf(sheetType)), expected);
}

void TestJob::linesLimit_data()
{
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("type 2 long first line")
        << 2 << 16 << QStringLiteral("12345678") << QStringLiteral("1234567");
    QTest::newRow("type 2 third line emptied")
        << 2 << 16 << QStringLiteral("ab\ncd\nef") << QStringLiteral("ab\ncd\n");
    QTest::newRow("type 2 break beyond max")
        << 2 << 16 << QStringLiteral("1234567\n1234567\n") << QStringLiteral("1234567\n1234567");
    QTest::newRow("type 2 partial wide dropped")
        << 2 << 16 << QStringLiteral("あいうえ") << QStringLiteral("あいう");
    QTest::newRow("type 2 half-width katakana")
        << 2 << 16 << QStringLiteral("ｱｲｳｴｵｶｷｸ\nｱｲｳｴｵｶｷｸ") << QStringLiteral("ｱｲｳｴｵｶｷ\nｱｲｳｴｵｶｷ");
    QTest::newRow("type 2 CR LF input")
        << 2 << 16 << QStringLiteral("ab\r\ncd\r\nef") << QStringLiteral("ab\ncd\n");
    QTest::newRow("type 2 lone CR")
        << 2 << 16 << QStringLiteral("ab\rcd") << QStringLiteral("ab\ncd");
    QTest::newRow("type 2 emoji counts 2")
        << 2 << 16 << QStringLiteral("ABCDE\U0001F600x") << QStringLiteral("ABCDE\U0001F600");
    QTest::newRow("type 2 katakana after a char without a form")
        << 2 << 16 << QStringLiteral("\U0001F600ｱｲｳｴｵｶ") << QStringLiteral("\U0001F600ｱｲｳｴｵ");
    QTest::newRow("type 9 13-byte lines")
        << 9 << 40 << QStringLiteral("1234567890123\n1234567890123\n1234567890123")
        << QStringLiteral("123456789012\n123456789012\n123456789012");
    QTest::newRow("type 9 fourth line emptied")
        << 9 << 40 << QStringLiteral("1234567890123\n1234567890123\nabc\ndef")
        << QStringLiteral("123456789012\n123456789012\nabc\n");
    QTest::newRow("type 8 lines 4-6 emptied, 7 on kept")
        << 8 << 49 << QStringLiteral("a\nb\nc\nd\ne\nf\ng\nh")
        << QStringLiteral("a\nb\nc\n\n\n\ng\nh");
    QTest::newRow("type 5 line 7 held by max")
        << 5 << 26 << QStringLiteral("a\nb\nc\nd\ne\nf\n") + repeated(QStringLiteral("g"), 16)
        << QStringLiteral("a\nb\n\n\n\n\n") + repeated(QStringLiteral("g"), 12);
    QTest::newRow("type 1 only empties lines 3-6")
        << 1 << 38 << QStringLiteral("12345678901234567890\nb\nc\nd")
        << QStringLiteral("12345678901234567890\nb\n\n");
    QTest::newRow("max never splits a wide char")
        << 3 << 5 << QStringLiteral("ABCDあ") << QStringLiteral("ABCD");
    QTest::newRow("max zero") << 2 << 0 << QStringLiteral("a\nb") << QString();
    QTest::newRow("negative max") << 2 << -4 << QStringLiteral("a") << QString();
    QTest::newRow("max before line rules would lose line 2")
        << 8 << 49
        << repeated(QStringLiteral("x"), 20) + QLatin1Char('\n') +
               repeated(QStringLiteral("y"), 20) + QLatin1Char('\n') +
               repeated(QStringLiteral("z"), 20)
        << repeated(QStringLiteral("x"), 15) + QLatin1Char('\n') +
               repeated(QStringLiteral("y"), 15) + QLatin1Char('\n') +
               repeated(QStringLiteral("z"), 15);
}

void TestJob::linesLimit()
{
    QFETCH(int, sheetType);
    QFETCH(int, maxBytes);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(limitLinesText(text, boxOf(sheetType), maxBytes), expected);
}

void TestJob::linesPerType_data()
{
    // Seven lines of 20 bytes, with room to spare: which lines keep how much.
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<QList<int>>("lineBytes");
    QTest::newRow("1") << 1 << QList<int>{20, 20, 0, 0, 0, 0, 20};
    QTest::newRow("2") << 2 << QList<int>{7, 7, 0, 0, 0, 0, 20};
    QTest::newRow("3") << 3 << QList<int>{20, 20, 0, 0, 0, 0, 20};
    QTest::newRow("4") << 4 << QList<int>{20, 20, 0, 0, 0, 0, 20};
    QTest::newRow("5") << 5 << QList<int>{12, 12, 0, 0, 0, 0, 20};
    QTest::newRow("6") << 6 << QList<int>{10, 10, 0, 0, 0, 0, 20};
    QTest::newRow("7") << 7 << QList<int>{12, 12, 0, 0, 0, 0, 20};
    QTest::newRow("8") << 8 << QList<int>{15, 15, 15, 0, 0, 0, 20};
    QTest::newRow("9") << 9 << QList<int>{12, 12, 12, 0, 0, 0, 20};
    QTest::newRow("10") << 10 << QList<int>{15, 15, 15, 0, 0, 0, 20};
}

void TestJob::linesPerType()
{
    QFETCH(int, sheetType);
    QFETCH(QList<int>, lineBytes);
    const QString text = QStringList(7, QString(20, QLatin1Char('x'))).join(QLatin1Char('\n'));
    const QStringList lines = memoLines(limitLinesText(text, boxOf(sheetType), 1000));
    QList<int> got;
    for (const QString &line : lines)
        got << int(line.size());
    QCOMPARE(got, lineBytes);
    const int checked = lineBytes.at(2) ? 3 : (lineBytes.at(0) < 20 ? 2 : 0);
    const TextBox box = boxOf(sheetType);
    QCOMPARE(box.kind == TextBoxKind::Lines ? box.lineCount : 0, checked);
    QCOMPARE(box.kind == TextBoxKind::Lines ? box.lineBytes : 0, checked ? lineBytes.at(0) : 0);
}

void TestJob::memoLimit_data()
{
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("11-byte line") << 3 << 88 << QStringLiteral("12345678901")
                                  << QStringLiteral("1234567890");
    QTest::newRow("fifth line emptied")
        << 3 << 88 << QStringLiteral("a\nb\nc\nd\ne") << QStringLiteral("a\nb\nc\nd\n");
    QTest::newRow("fourth line cut") << 3 << 88 << QStringLiteral("a\nb\nc\nあいうえおか")
                                     << QStringLiteral("a\nb\nc\nあいうえお");
    QTest::newRow("lines 5-11 emptied, 12 kept")
        << 3 << 88 << QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13")
        << QStringLiteral("1\n2\n3\n4\n\n\n\n\n\n\n\n12\n13");
    QTest::newRow("other type: no line cut, lines 5-11 emptied")
        << 2 << 88 << QStringLiteral("12345678901\nb\nc\nd\ne")
        << QStringLiteral("12345678901\nb\nc\nd\n");
    QTest::newRow("line 12 held by max")
        << 3 << 88
        << QStringList(4, QString(10, QLatin1Char('m'))).join(QLatin1Char('\n')) +
               QString(8, QLatin1Char('\n')) + QString(40, QLatin1Char('z'))
        << QStringList(4, QString(10, QLatin1Char('m'))).join(QLatin1Char('\n')) +
               QString(8, QLatin1Char('\n')) + QString(26, QLatin1Char('z'));
}

void TestJob::memoLimit()
{
    QFETCH(int, sheetType);
    QFETCH(int, maxBytes);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(limitMemoText(text, boxOf(sheetType), maxBytes), expected);
}

void TestJob::typingEqualsPaste_data()
{
    QTest::addColumn<QString>("text");
    const QString wide = QStringLiteral("検体番号試料保存容器冷凍庫");
    QTest::newRow("full-width lines") << wide + QLatin1Char('\n') + wide + QLatin1Char('\n') + wide;
    QTest::newRow("half-width katakana") << QStringLiteral("ｹﾝﾀｲﾊﾞﾝｺﾞｳｼﾘｮｳ\nﾎｿﾞﾝﾖｳｷ\nﾚｲﾄｳｺ");
    QTest::newRow("mixed widths") << QStringLiteral("あいうAえおBかCき\nｱあｲいｳうｴえ\nXYあZ");
    QTest::newRow("wide cut, narrow fits")
        << QStringLiteral("あいうえお1234\nかきくけこ567\nさしすせそ89");
    QTest::newRow("long line") << QString(120, QLatin1Char('L'));
    QTest::newRow("many lines")
        << QStringList(15, QStringLiteral("row ｱ行")).join(QLatin1Char('\n'));
    QTest::newRow("many empty lines then text")
        << QString(10, QLatin1Char('\n')) + QStringLiteral("tail text here");
    QTest::newRow("CR LF input") << QStringLiteral(
        "line1abcdefghij\r\nline2\r\n\r\nline4\r\nline5\r\nx\r\ny\r\nz");
    QTest::newRow("bare LF input")
        << QStringLiteral("line1abcdefghij\nline2\n\nline4\nline5\nx\ny\nz");
    QTest::newRow("lone CR input") << QStringLiteral("ab\rcd\ref\rgh");
    QTest::newRow("max reached past line 6") << QStringLiteral(
        "a\nb\nc\nd\ne\nf\nｱｲｳえおかきくけこさしすせそたちつてとなにぬねの0123456789");
    QTest::newRow("emoji") << QStringLiteral(
        "AB\U0001F600CD\U0001F600EF\U0001F600GH\n\U0001F600\U0001F600");
}

void TestJob::typingEqualsPaste()
{
    QFETCH(QString, text);
    const QStringList keys = keystrokes(text);
    for (Box box : {Box::OneLine, Box::Lines, Box::Memo}) {
        // One line is limited for the circle type only and leaves other types' text alone.
        const int lastType = box == Box::OneLine ? 1 : SheetTypeCount;
        for (int type = 1; type <= lastType; ++type) {
            const int maxBytes = boxMaxBytes(box, type);
            const Limit limit = limitFor(box, type, maxBytes);
            const QString pasted = limit(text);
            const QString where = QStringLiteral("box %1, type %2").arg(int(box)).arg(type);
            QVERIFY2(limit(pasted) == pasted, qPrintable(where));
            QVERIFY2(typeInto(keys, limit, -1) == pasted, qPrintable(where));
            if (box != Box::OneLine)
                QVERIFY2(typeInto(keys, limit, maxBytes) == pasted, qPrintable(where));
            if (box != Box::OneLine || type == 1)
                QVERIFY2(sjisLength(pasted) <= (box == Box::OneLine ? OneLineMaxBytes : maxBytes),
                         qPrintable(where));
        }
    }
}

void TestJob::circleProof_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("short") << QStringLiteral("AB") << QStringLiteral("AB");
    QTest::newRow("long") << QStringLiteral("ABCDEFG") << QStringLiteral("ABCDE");
    QTest::newRow("full-width") << QStringLiteral("あいう") << QStringLiteral("あい");
    QTest::newRow("wide across the limit") << QStringLiteral("ABCDあ") << QStringLiteral("ABCD");
}

void TestJob::circleProof()
{
    QFETCH(QString, entry);
    QFETCH(QString, expected);
    QCOMPARE(circleProofText(entry), expected);
}

void TestJob::markers_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QByteArray>("sjis");
    QTest::newRow("-20") << 0 << QByteArray("\x81\x7c\x82\x51\x82\x4f\x81\x8e");
    QTest::newRow("-80") << 1 << QByteArray("\x81\x7c\x82\x57\x82\x4f\x81\x8e");
    QTest::newRow("caution") << 2 << QByteArray("\x92\x8d\x88\xd3");
    QTest::newRow("danger") << 3 << QByteArray("\x8a\xeb\x8c\xaf");
    QTest::newRow("below") << -1 << QByteArray();
    QTest::newRow("above") << 4 << QByteArray();
}

void TestJob::markers()
{
    QFETCH(int, item);
    QFETCH(QByteArray, sjis);
    QCOMPARE(toSjis(markerText(item)), sjis);
}

void TestJob::memoFontSize_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<int>("points");
    QTest::newRow("empty") << QString() << 12;
    QTest::newRow("5 and 7 bytes") << QStringLiteral("ABCDE\nABCDEFG") << 10;
    QTest::newRow("both 5 or less") << QStringLiteral("ABCDE\nABCDE") << 12;
    QTest::newRow("6") << QStringLiteral("ABCDEF") << 10;
    QTest::newRow("8 on line 2") << QStringLiteral("A\nABCDEFGH") << 9;
    QTest::newRow("9") << QStringLiteral("ABCDEFGHI") << 9;
    QTest::newRow("10") << QStringLiteral("ABCDEFGHIJ") << 8;
    QTest::newRow("15") << QStringLiteral("ABCDEFGHIJKLMNO") << 8;
    QTest::newRow("third line ignored") << QStringLiteral("A\nB\nCCCCCCCCCCCC") << 12;
    QTest::newRow("full-width 6 bytes") << QStringLiteral("あいう") << 10;
    QTest::newRow("full-width 8 bytes") << QStringLiteral("X\nあいうえ") << 9;
    QTest::newRow("CR LF between lines") << QStringLiteral("ABCDEFGH\r\nA") << 9;
}

void TestJob::memoFontSize()
{
    QFETCH(QString, memo);
    QFETCH(int, points);
    QCOMPARE(memoFontSizeForText(memo), points);
}

void TestJob::numberFontSize_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("points");
    QTest::newRow("7 padded") << 7 << 0 << 12;
    QTest::newRow("7 plain") << 7 << 1 << 18;
    QTest::newRow("0 plain") << 0 << 1 << 18;
    QTest::newRow("9 plain") << 9 << 1 << 18;
    QTest::newRow("10 plain") << 10 << 1 << 16;
    QTest::newRow("99 plain") << 99 << 1 << 16;
    QTest::newRow("100 plain") << 100 << 1 << 14;
    QTest::newRow("999 plain") << 999 << 1 << 14;
    QTest::newRow("999 padded") << 999 << 0 << 12;
    QTest::newRow("1000 plain") << 1000 << 1 << 12;
    QTest::newRow("10389 plain") << 10389 << 1 << 12;
}

void TestJob::numberFontSize()
{
    QFETCH(int, n);
    QFETCH(int, style);
    QFETCH(int, points);
    QCOMPARE(NumberFontSize(n, NumberStyle(style)), points);
}

void TestJob::shiftJisBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QByteArray>("sjis");
    QTest::newRow("ASCII") << QStringLiteral("AB1") << 3 << QByteArray("AB1");
    QTest::newRow("half-width katakana")
        << QStringLiteral("ｱﾞﾟ") << 3 << QByteArray("\xb1\xde\xdf");
    QTest::newRow("full-width") << QStringLiteral("検体") << 4 << QByteArray("\x8c\x9f\x91\xcc");
    QTest::newRow("wave dash") << QStringLiteral("～") << 2 << QByteArray("\x81\x60");
    QTest::newRow("LF") << QStringLiteral("a\nb") << 4 << QByteArray("a\r\nb");
    QTest::newRow("CR LF is one break") << QStringLiteral("a\r\nb") << 4 << QByteArray("a\r\nb");
    // Stored as one "?" but counted as two bytes, the width the box reserves for it.
    QTest::newRow("no Shift-JIS form") << QStringLiteral("\U0001F600") << 2 << QByteArray("?");
    QTest::newRow("katakana after one without a form")
        << QStringLiteral("ｱ\U0001F600ｱ") << 4 << QByteArray("\xb1?\xb1");
    QTest::newRow("full-width after one without a form")
        << QStringLiteral("\U0001F600検") << 4 << QByteArray("?\x8c\x9f");
}

void TestJob::shiftJisBytes()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QFETCH(QByteArray, sjis);
    QCOMPARE(sjisLength(text), bytes);
    QCOMPARE(toSjis(text), sjis);
}

void TestJob::numberTexts_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::newRow("7 padded") << 7 << 0 << QStringLiteral("0007") << QStringLiteral("0007");
    QTest::newRow("7 plain") << 7 << 1 << QStringLiteral("7") << QStringLiteral("7");
    QTest::newRow("9990 padded") << 9990 << 0 << QStringLiteral("9990") << QStringLiteral("9990");
    QTest::newRow("10389 padded") << 10389 << 0 << QStringLiteral("10389")
                                  << QStringLiteral("0389");
    QTest::newRow("10389 plain") << 10389 << 1 << QStringLiteral("10389") << QStringLiteral("0389");
    QTest::newRow("123456 plain") << 123456 << 1 << QStringLiteral("123456")
                                  << QStringLiteral("123456");
}

void TestJob::numberTexts()
{
    QFETCH(int, value);
    QFETCH(int, style);
    QFETCH(QString, text);
    QFETCH(QString, label);
    QCOMPARE(numberText(value, NumberStyle(style)), text);
    QCOMPARE(labelNumberText(value, NumberStyle(style)), label);
}

void TestJob::proofLabel_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("proofText");
    QTest::addColumn<int>("textPoints");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("numberPoints");
    QTest::addColumn<bool>("fixedColours");

    const QString lines = QStringLiteral("ABCDEFG\nAB");
    const QString memo = QStringLiteral("AB\nCD\nEF");
    // Type 2 shows the number but leaves its size; types 5, 6, 8, 9 size it.
    QTest::newRow("2 padded") << 2 << 0 << lines << 2 << lines << 10 << "0007" << 0 << false;
    QTest::newRow("5 plain") << 5 << 1 << lines << 2 << lines << 10 << "7" << 18 << false;
    QTest::newRow("9 padded") << 9 << 0 << lines << 2 << lines << 10 << "0007" << 12 << false;
    QTest::newRow("7 text only") << 7 << 0 << lines << 4 << lines << 10 << "" << 0 << false;
    QTest::newRow("10 text only") << 10 << 1 << lines << 4 << lines << 10 << "" << 0 << false;
    // The memo type sizes by the text it shows.
    QTest::newRow("3 memo") << 3 << 0 << memo << 3 << memo << 12 << "" << 0 << false;
    // The marker is chosen: what was typed does not reach its proof.
    QTest::newRow("4 marker") << 4 << 0 << lines << 3 << QStringLiteral(u"注意") << 24 << "" << 0
                              << true;
}

void TestJob::proofLabel()
{
    QFETCH(int, type);
    QFETCH(int, style);
    QFETCH(QString, typed);
    ProofInput in;
    in.sheetType = typeOf(type);
    in.text = typed;
    in.marker = 2;
    in.initialValue = 7;
    in.numberStyle = NumberStyle(style);
    const ProofLabelContent p = proofLabelFor(in);
    QTEST(int(p.kind), "kind");
    QTEST(p.text, "proofText");
    QTEST(p.textPoints, "textPoints");
    QTEST(p.number, "number");
    QTEST(p.numberPoints, "numberPoints");
    QTEST(p.fixedColours, "fixedColours");
    if (p.fixedColours) {
        // Red behind white: the rows the lists must show for what is printed.
        QCOMPARE(BackColorOf(p.backColourIndex), ColourValue(0x0000FF));
        QCOMPARE(TextColorOf(p.textColourIndex), ColourValue(0xFFFFFF));
    }
}

void TestJob::placedLines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<int>("lines");
    QTest::newRow("2 always two") << 2 << QStringLiteral("A") << 2;
    QTest::newRow("3 one") << 3 << QStringLiteral("A\n") << 1;
    QTest::newRow("3 two") << 3 << QStringLiteral("A\nB") << 2;
    QTest::newRow("3 three gives four") << 3 << QStringLiteral("A\nB\nC") << 4;
    QTest::newRow("4 marker") << 4 << QStringLiteral("A\nB") << 1;
    QTest::newRow("5 second empty") << 5 << QStringLiteral("A\n") << 1;
    QTest::newRow("6 two") << 6 << QStringLiteral("A\nB") << 2;
    QTest::newRow("8 third without second") << 8 << QStringLiteral("A\n\nC") << 3;
    QTest::newRow("10 two") << 10 << QStringLiteral("A\nB\n") << 2;
    QTest::newRow("9 empty") << 9 << QString() << 1;
}

void TestJob::placedLines()
{
    QFETCH(int, type);
    QFETCH(QString, memo);
    QTEST(placedLineCount(labelLayout(typeOf(type)), memo), "lines");
}

void TestJob::jobSplit_data()
{
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("perSheet");
    QTest::addColumn<QString>("runs");
    QTest::addColumn<int>("next");
    QTest::newRow("circle 140+30") << 30 << 140 << 150 << "140-150 1-19" << 20;
    QTest::newRow("rect 50+60") << 60 << 50 << 60 << "50-60 1-49" << 50;
    QTest::newRow("exactly one sheet") << 150 << 1 << 150 << "1-150" << 1;
    QTest::newRow("one short of the end") << 149 << 1 << 150 << "1-149" << 150;
    QTest::newRow("tube72 72 from 1") << 72 << 1 << 72 << "1-72" << 1;
    QTest::newRow("tube95 400 from 95")
        << 400 << 95 << 95 << "95-95 1-95 1-95 1-95 1-95 1-19" << 20;
    QTest::newRow("circle 400 from 150") << 400 << 150 << 150 << "150-150 1-150 1-150 1-99" << 100;
    QTest::newRow("single label") << 1 << 7 << 60 << "7-7" << 8;
    QTest::newRow("start below 1") << 3 << 0 << 60 << "1-3" << 4;
    QTest::newRow("start past the sheet") << 2 << 500 << 150 << "150-150 1-1" << 2;
    QTest::newRow("no labels") << 0 << 9 << 60 << "" << 9;
}

void TestJob::jobSplit()
{
    QFETCH(int, labels);
    QFETCH(int, startPos);
    QFETCH(int, perSheet);
    QFETCH(QString, runs);
    QFETCH(int, next);
    QCOMPARE(runsText(corvial::splitJob(labels, startPos, perSheet)), runs);
    QCOMPARE(nextStartPos(labels, startPos, perSheet), next);
}

void TestJob::numberAdvance_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("next");
    QTest::newRow("plain") << 1 << 30 << 31;
    QTest::newRow("9990 + 10 wraps to 0") << 9990 << 10 << 0;
    QTest::newRow("9990 + 9 stays 9999") << 9990 << 9 << 9999;
    QTest::newRow("9999 + 400") << 9999 << 400 << 399;
    QTest::newRow("0 + 1") << 0 << 1 << 1;
}

void TestJob::numberAdvance()
{
    QFETCH(int, initial);
    QFETCH(int, samples);
    QFETCH(int, next);
    QCOMPARE(corvial::advancedInitialValue(initial, samples), next);
}

void TestJob::unprintableCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sheetType");
    QTest::addColumn<int>("line");      // 0: the text is taken
    QTest::addColumn<QString>("named"); // how the message names the character

    const auto row = [](const char *name, const QString &text, int type, int line,
                        const char *named) {
        QTest::newRow(name) << text << type << line << QString::fromLatin1(named);
    };
    row("tab", QStringLiteral("A\tB"), 3, 1, "U+0009");
    row("leading tab, second line", QStringLiteral("AB\n\tC"), 3, 2, "U+0009");
    row("line count after CR LF", QStringLiteral("A\r\nB\r\n\x1b"), 3, 3, "U+001B");
    row("NUL", QString::fromUtf16(u"ab\0c", 4), 5, 1, "U+0000");
    row("0x01 one-line box", QStringLiteral("a\x01"), 1, 1, "U+0001");
    row("DEL", QStringLiteral("a\x7f"), 2, 1, "U+007F");
    row("vertical tab", QStringLiteral("a\x0b"), 2, 1, "U+000B");
    row("C1 control", QStringLiteral("a\u0085"), 2, 1, "U+0085");
    row("right-to-left override", QStringLiteral("a\u202Eb"), 2, 1, "U+202E");
    row("isolate", QStringLiteral("a\u2066b"), 2, 1, "U+2066");
    row("zero-width joiner", QStringLiteral("a\u200Db"), 2, 1, "U+200D");
    row("byte order mark", QStringLiteral("\uFEFFa"), 2, 1, "U+FEFF");
    row("line separator", QStringLiteral("a\u2028b"), 3, 1, "U+2028");
    row("tag character", QString::fromUcs4(U"a\U000E0041", 2), 2, 1, "U+E0041");
    row("line breaks are taken", QStringLiteral("A\r\nB\rC\nD"), 3, 0, "");
    row("full-width space is printed", QStringLiteral("Ａ　Ｂ"), 3, 0, "");
}

void TestJob::unprintableCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, sheetType);
    QFETCH(int, line);
    QFETCH(QString, named);

    const TextProblem p = checkLabelText(text, typeOf(sheetType));
    if (line == 0) {
        QVERIFY(p.kind != TextProblem::Unprintable);
        return;
    }
    QCOMPARE(p.kind, TextProblem::Unprintable);
    QCOMPARE(p.line, line);
    const QString message = textProblemText(p, typeOf(sheetType));
    QVERIFY2(message.contains(named), qPrintable(message));
    // The message shows the character by name only: nothing in it can hide or reorder text.
    QVERIFY(!firstForbiddenCharacter(message, false).found());
    QVERIFY(visibleText(text).contains(named));
    QVERIFY(!firstForbiddenCharacter(visibleText(text), false).found());
}

void TestJob::sheetTypeValues_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("valid");
    QTest::newRow("zero") << 0 << false;
    QTest::newRow("negative") << -1 << false;
    QTest::newRow("first") << 1 << true;
    QTest::newRow("second") << 2 << true;
    QTest::newRow("last") << SheetTypeCount << true;
    QTest::newRow("past the last") << SheetTypeCount + 1 << false;
}

void TestJob::sheetTypeValues()
{
    QFETCH(int, code);
    QFETCH(bool, valid);
    const std::optional<SheetType> type = SheetType::fromCode(code);
    QCOMPARE(type.has_value(), valid);
    if (!type)
        return;
    // The value leads to the rows of its own number, however it was made.
    QCOMPARE(type->code(), code);
    QCOMPARE(type->info().code, code);
    QCOMPARE(type->family().family, type->info().family);
    QCOMPARE(SheetType::all().at(code - 1), *type);
    QCOMPARE(type == SheetType(), code == 1);
}

void TestJob::textBoxBounds_data()
{
    QTest::addColumn<int>("type");
    for (SheetType t : SheetType::all())
        QTest::newRow(qPrintable(QString::number(t.code()))) << t.code();
}

// A text that fills every line of a type's box is taken as it is; one byte or one line more
// is refused, by the line and the limit the box gives.
void TestJob::textBoxBounds()
{
    QFETCH(int, type);
    const SheetType t = typeOf(type);
    const TextBox box = t.info().textBox;
    if (box.kind == TextBoxKind::Marker) {
        QCOMPARE(checkLabelText(QStringLiteral("A"), t).kind, TextProblem::MarkerType);
        return;
    }
    QStringList lines(box.lineCount, QString(box.lineBytes, QLatin1Char('x')));
    const QString full = lines.join(QLatin1Char('\n'));
    QCOMPARE(checkLabelText(full, t).kind, TextProblem::None);

    lines.last() += QLatin1Char('x');
    const TextProblem wide = checkLabelText(lines.join(QLatin1Char('\n')), t);
    QCOMPARE(wide.kind, TextProblem::LineTooLong);
    QCOMPARE(wide.line, box.lineCount);
    QCOMPARE(wide.limit, box.lineBytes);
    QCOMPARE(wide.singleLine, box.lineCount == 1);

    const TextProblem tall = checkLabelText(full + QStringLiteral("\nx"), t);
    QCOMPARE(tall.kind, TextProblem::TooManyLines);
    QCOMPARE(tall.limit, box.lineCount);
    QCOMPARE(tall.lines, box.lineCount + 1);
}

// A typed or saved factor: read to the tenth, written back the same, anything else refused
// with a reason rather than read as something close to it. permille -1: refused.
void TestJob::scalePercent_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("permille");
    QTest::addColumn<QString>("written");
    QTest::newRow("one decimal") << "101.0" << 1010 << "101.0";
    QTest::newRow("whole percent") << "99" << 990 << "99.0";
    QTest::newRow("blanks and a percent sign") << " 100.5 % " << 1005 << "100.5";
    QTest::newRow("lowest") << "97.0" << 970 << "97.0";
    QTest::newRow("highest") << "103" << 1030 << "103.0";
    QTest::newRow("just above") << "103.1" << -1 << "";
    QTest::newRow("finer than a tenth") << "101.05" << -1 << "";
    QTest::newRow("comma as separator") << "101,0" << -1 << "";
    QTest::newRow("exponent") << "1.01e2" << -1 << "";
    QTest::newRow("dot without tenths") << "101." << -1 << "";
    QTest::newRow("full-width digits") << QStringLiteral("１０１") << -1 << "";
}

void TestJob::scalePercent()
{
    QFETCH(QString, text);
    QFETCH(int, permille);
    QFETCH(QString, written);
    int read = -7;
    QString reason;
    QCOMPARE(parseScalePercent(text, &read, &reason), permille >= 0);
    if (permille < 0) {
        QCOMPARE(read, -7);
        QVERIFY(!reason.isEmpty());
        return;
    }
    QCOMPARE(read, permille);
    QCOMPARE(formatScalePercent(read), written);
}

void TestJob::bytesLeftInBox_data()
{
    QTest::addColumn<int>("box"); // TextBoxKind
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("left"); // -1: the box has no limit for the type
    const int one = int(TextBoxKind::OneLine), lines = int(TextBoxKind::Lines),
              memo = int(TextBoxKind::Memo);
    QTest::newRow("round label, empty") << one << 1 << "" << 0 << 5;
    QTest::newRow("round label, full-width counts two") << one << 1 << "あA" << 0 << 2;
    QTest::newRow("round label, full") << one << 1 << "ABCDE" << 0 << 0;
    QTest::newRow("one-line box, other type") << one << 2 << "ABC" << 0 << -1;
    QTest::newRow("lines, first line") << lines << 2 << "12345" << 0 << 2;
    QTest::newRow("lines, second line") << lines << 2 << "1234567\nAB" << 1 << 5;
    QTest::newRow("lines, past the last line") << lines << 2 << "1\n2\n" << 2 << 0;
    QTest::newRow("lines, the whole text bounds the line") << lines << 2 << "1234567\n\n\n\n"
                                                           << 1 << 1;
    QTest::newRow("lines box, marker type") << lines << 4 << "" << 0 << -1;
    QTest::newRow("memo, line of full-width") << memo << 3 << "あいう" << 0 << 4;
    QTest::newRow("memo, fifth line") << memo << 3 << "a\nb\nc\nd\n" << 4 << 0;
    QTest::newRow("memo box, lines type") << memo << 5 << "a" << 0 << -1;
}

// What a box's counter says is what typing keeps: so many more bytes at the end of the line.
void TestJob::bytesLeftInBox()
{
    QFETCH(int, box);
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(int, left);
    const std::optional<int> room = bytesLeft(TextBoxKind(box), typeOf(type), text, line);
    QCOMPARE(room.value_or(-1), left);
    QCOMPARE(bytesLeftText(room).isEmpty(), !room);
    if (room)
        QVERIFY(bytesLeftText(room).contains(QString::number(left)));
}

QTEST_GUILESS_MAIN(TestJob)
#include "tst_job.moc"
