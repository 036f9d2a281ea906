// SPDX-License-Identifier: GPL-3.0-or-later
#include "barcode/CodeRules.h"
#include "job/Fonts.h"
#include "job/LabelLayout.h"
#include "print/LabelGeometry.h"
#include "print/PrintJob.h"
#include "print/PrinterCanvas.h"
#include "support/CodeProbe.h"
#include "support/RecordingCanvas.h"
#include "support/SheetTypeOf.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvial;

namespace {

constexpr int RedIndex = 5; // ListBox19 "Red"
constexpr int UnitsPerInch = 250;

// A prefix whose every character costs a whole data codeword, whatever encodation the
// encoder picks: lower case and punctuation alternate, so no mode packs them tighter.
QString costlyPrefix(int chars)
{
    QString s;
    for (int i = 0; i < chars; ++i)
        s.append(i % 2 ? QLatin1Char('!') : QLatin1Char('a'));
    return s;
}

LabelJob codeJob(int type, int samples)
{
    LabelJob job;
    job.sheetType = typeOf(type);
    job.sampleCount = samples;
    job.proofText = QStringLiteral("Tube\nAB-12");
    job.enteredText = QStringLiteral("AB");
    job.labelFont = QFont(uiFaceName());
    job.labelFont.setBold(true);
    job.code = true;
    return job;
}

// What the reader sees: the number as the label prints it, with the prefix before it.
QString expectedId(const QString &prefix, int value, int style)
{
    const QString digits = QString::number(value);
    QString shown = style == 0 ? digits.rightJustified(4, QLatin1Char('0')) : digits;
    if (shown.size() == 5)
        shown = shown.mid(1);
    return prefix + shown;
}

// Every code of a printed PDF read back, in the order the labels were printed.
QStringList decodeJob(const QString &pdf, const QPrinter &printer, const LabelJob &job, int dpi,
                      QString *problem)
{
    const LabelPositions pos =
        ComputeLabelPositions(job.sheetType.family(), job.offsetX, job.offsetY, job.scale);
    const QPoint origin = printer.pageLayout().paintRectPixels(dpi).topLeft();
    QVector<CodeCrop> crops;
    for (const SheetRun &run :
         splitJob(jobLabelCount(job), job.startPos, job.sheetType.family().labels)) {
        for (int s = run.firstPos; s <= run.lastPos; ++s)
            crops.append({run.sheetNo, codeSquare(job, pos, s, dpi).translated(origin)});
    }
    return readCodes(pdf, dpi, crops, problem);
}

// job printed to a PDF at dpi, and every code of it read back in the order the labels were
// printed; an empty list with *problem set when printing or reading failed.
QStringList printAndDecode(const LabelJob &job, int dpi, QString *problem)
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("codes.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdfPrinter(printer, pdf, dpi);
    {
        PrinterCanvas canvas(&printer);
        if (!dir.isValid() || !printJob(canvas, job, problem))
            return {};
    }
    return decodeJob(pdf, printer, job, dpi, problem);
}

} // namespace

class TestCodes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { installJapaneseFontSubstitutions(); }

    void moduleSize_data();
    void moduleSize();
    void prefixTyping_data();
    void prefixTyping();
    void longestPrefixFitsTheSquare();
    void textsStayBesideTheCode();
    void refusedJobs_data();
    void refusedJobs();
    void codesReadBack_data();
    void codesReadBack();
    void scaledCodesReadBack_data();
    void scaledCodesReadBack();
    void labelsWithoutCodeUnchanged();
};

void TestCodes::moduleSize_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("dots"); // 0: only the rule's bounds are checked
    QTest::newRow("600 dpi") << 600 << 8;
    QTest::newRow("300 dpi") << 300 << 4;
    for (const int dpi : {72, 96, 150, 200, 203, 220, 240, 360, 406, 720, 1200, 2400})
        QTest::newRow(qPrintable(QStringLiteral("%1 dpi").arg(dpi))) << dpi << 0;
}

void TestCodes::moduleSize()
{
    QFETCH(int, dpi);
    QFETCH(int, dots);
    const int m = moduleDots(dpi);
    if (dots > 0)
        QCOMPARE(m, dots);
    QVERIFY(m >= 2);
    QVERIFY2(qint64(m) * 25400 >= qint64(250) * dpi, "module under 0.25 mm");
    // Never above 1/75 inch unless the floors of 2 dots and 0.25 mm force it.
    if (qint64(m) * 75 > dpi)
        QVERIFY(m == 2 || qint64(m - 1) * 25400 < qint64(250) * dpi);
    // And no smaller than it need be: one dot more would still stay within 1/75 inch only
    // when the rule took too few.
    QVERIFY(qint64(m + 1) * 75 > dpi);
}

void TestCodes::prefixTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("ascii") << QStringLiteral("LAB-") << QStringLiteral("LAB-");
    QTest::newRow("japanese") << QStringLiteral("ラボA-") << QStringLiteral("A-");
    QTest::newRow("full-width letter") << QStringLiteral("ＬＡＢ1") << QStringLiteral("1");
    QTest::newRow("space and tab") << QStringLiteral("A B\tC") << QStringLiteral("ABC");
}

void TestCodes::prefixTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(prefixCharactersOnly(typed), kept);
    // A prefix that still holds a refused character is refused as a whole.
    if (typed != kept)
        QVERIFY(!prefixProblem(typed, typeOf(5)).isEmpty());
}

void TestCodes::longestPrefixFitsTheSquare()
{
    // The types whose labels have room for a code; the round labels do not.
    for (const int type : {2, 5, 6, 8, 9})
        QVERIFY2(hasCodeRoom(typeOf(type)), qPrintable(QString::number(type)));
    const QString widest(widestNumberChars(), QLatin1Char('8'));
    QCOMPARE(widestNumberChars(), 4);
    for (int type = 1; type <= SheetTypeCount; ++type) {
        const CodeLayout *row = codeLayout(typeOf(type));
        const int longest = longestPrefix(typeOf(type));
        QCOMPARE(hasCodeRoom(typeOf(type)), row != nullptr && isNumberedType(type));
        if (!row) {
            QCOMPARE(longest, -1);
            QVERIFY(!prefixProblem(QString(), typeOf(type)).isEmpty());
            continue;
        }
        // Symbol and quiet zone at 1/75 inch a module, within the square and the label.
        const int room = qMin(row->code.side, LabelHeight(typeOf(type))) * 75 / UnitsPerInch;
        const DataMatrixSymbol fits = encodeDataMatrix(codeData(costlyPrefix(longest), widest));
        QVERIFY2(fits.isValid(), qPrintable(fits.error));
        QVERIFY2(fits.modules + 2 * QuietZoneModules <= room,
                 qPrintable(QStringLiteral("type %1: %2 modules").arg(type).arg(fits.modules)));
        QVERIFY(prefixProblem(costlyPrefix(longest), typeOf(type)).isEmpty());
        QVERIFY(longest <= PrefixMaxChars);
        const QString tooLong = costlyPrefix(longest + 1);
        const QString refusal = prefixProblem(tooLong, typeOf(type));
        QVERIFY(refusal.contains(QString::number(longest)));
        QVERIFY(refusal.contains(tooLong));
        if (longest < PrefixMaxChars) {
            const DataMatrixSymbol over = encodeDataMatrix(codeData(tooLong, widest));
            QVERIFY(over.modules + 2 * QuietZoneModules > room);
        }
    }
}

void TestCodes::textsStayBesideTheCode()
{
    for (int type = 1; type <= SheetTypeCount; ++type) {
        const CodeLayout *row = codeLayout(typeOf(type));
        if (!row)
            continue;
        QCOMPARE(row->texts.sheetType, type);
        QVERIFY(row->code.left > 0);
        QVERIFY(row->code.left + row->code.side < LabelWidth(typeOf(type)));
        QVERIFY(row->code.side <= LabelHeight(typeOf(type)));
        const int right = row->code.left + row->code.side;
        // Every text of every line count and length, in both number styles, starts right
        // of the square; sizes never grow against the label without a code.
        for (const QString &memo :
             {QStringLiteral("A"), QStringLiteral("ABCDEFGHIJKLMNO"), QStringLiteral("AB\nCD"),
              QStringLiteral("ABCDE\nF\nGHIJKLMN")}) {
            for (const int style : {0, 1}) {
                LabelTexts texts;
                texts.memo = memo;
                texts.number = QStringLiteral("0007");
                texts.numberStyle = NumberStyle(style);
                const QVector<LabelStep> with = labelSteps(row->texts, texts);
                const QVector<LabelStep> without = labelSteps(typeOf(type), texts);
                QCOMPARE(with.size(), without.size());
                for (int i = 0; i < with.size(); ++i) {
                    QVERIFY(with[i].points <= without[i].points);
                    if (with[i].text.isEmpty())
                        continue;
                    const bool number = with[i].text == texts.number;
                    // A plain number is centred; a half of four digits at 10 points is far
                    // less than its distance from the square.
                    const int left = with[i].centred ? with[i].x - 40 : with[i].x;
                    QVERIFY2(left >= right, qPrintable(QStringLiteral("type %1 '%2' at %3")
                                                           .arg(type)
                                                           .arg(with[i].text)
                                                           .arg(left)));
                    if (number)
                        QCOMPARE(with[i].x, without[i].x);
                }
            }
        }
    }
}

void TestCodes::refusedJobs_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("names"); // a word the refusal must contain
    QTest::newRow("memo type") << 3 << QString() << 600 << QStringLiteral("シートタイプ 3");
    QTest::newRow("prefix too long") << 6 << costlyPrefix(longestPrefix(typeOf(6)) + 1) << 600
                                     << QString::number(longestPrefix(typeOf(6)));
    QTest::newRow("coarse printer") << 5 << QString() << 96 << QStringLiteral("96");
}

void TestCodes::refusedJobs()
{
    QFETCH(int, type);
    QFETCH(QString, prefix);
    QFETCH(int, dpi);
    QFETCH(QString, names);
    LabelJob job = codeJob(type, 3);
    job.codePrefix = prefix;
    RecordingCanvas canvas(dpi, dpi);
    QString error;
    QVERIFY(!printJob(canvas, job, &error));
    QVERIFY2(error.contains(names), qPrintable(error));
    QVERIFY(canvas.calls.isEmpty());
}

void TestCodes::codesReadBack_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("startPos");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("offsetX");
    QTest::addColumn<int>("offsetY");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("back");
    QTest::addColumn<bool>("listed"); // each sample's own text from a sample list
    // Each numbered type at both resolutions; starts in the middle of a sheet with a sheet
    // break, numbers passing 9999, plain numbers, repeats and moved grids spread over them.
    QTest::newRow("2 at 600, past 9999, break") << 2 << 600 << 55 << 9 << 1 << 9995 << 0 << 10 << 10
                                                << QStringLiteral("LAB-") << 0 << false;
    QTest::newRow("2 at 300, plain, offsets")
        << 2 << 300 << 1 << 8 << 1 << 7 << 1 << 0 << 20 << QStringLiteral("LAB-") << 0 << false;
    QTest::newRow("5 at 600, repeat, break") << 5 << 600 << 90 << 5 << 2 << 120 << 0 << 14 << 6
                                             << QStringLiteral("CRYO-95") << 0 << false;
    QTest::newRow("5 at 300, plain past 9999")
        << 5 << 300 << 40 << 8 << 1 << 9996 << 1 << 10 << 10 << QString() << 0 << false;
    QTest::newRow("6 at 600, red labels") << 6 << 600 << 23 << 6 << 1 << 1 << 0 << 3 << 17
                                          << QStringLiteral("S6-") << RedIndex << false;
    QTest::newRow("6 at 300, break")
        << 6 << 300 << 93 << 5 << 1 << 500 << 1 << 10 << 10 << QStringLiteral("a!~") << 0 << false;
    QTest::newRow("8 at 600, longest prefix") << 8 << 600 << 70 << 6 << 1 << 9998 << 0 << 20 << 0
                                              << QStringLiteral("ABCDEFGH") << 0 << false;
    QTest::newRow("8 at 300, plain, sample list")
        << 8 << 300 << 5 << 6 << 1 << 42 << 1 << 12 << 10 << QStringLiteral("T8_") << 0 << true;
    QTest::newRow("9 at 600, repeat 3")
        << 9 << 600 << 31 << 3 << 3 << 77 << 1 << 10 << 10 << QStringLiteral("x9.") << 0 << false;
    QTest::newRow("9 at 300, break, offsets")
        << 9 << 300 << 69 << 6 << 1 << 9999 << 0 << 5 << 15 << QStringLiteral("LAB-") << 0 << false;
}

void TestCodes::codesReadBack()
{
    QFETCH(int, type);
    QFETCH(int, dpi);
    QFETCH(int, startPos);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(int, first);
    QFETCH(int, style);
    QFETCH(int, offsetX);
    QFETCH(int, offsetY);
    QFETCH(QString, prefix);
    QFETCH(int, back);
    QFETCH(bool, listed);

    LabelJob job = codeJob(type, samples);
    job.startPos = startPos;
    job.repeatCount = repeat;
    job.initialValue = first;
    job.numberStyle = NumberStyle(style);
    job.offsetX = offsetX;
    job.offsetY = offsetY;
    job.codePrefix = prefix;
    job.backColourIndex = back;
    job.printAlign = PrintAlign::Right;
    for (int k = 0; listed && k < samples; ++k)
        job.sampleTexts << QStringLiteral("Sample %1\nBox %2").arg(k + 1).arg(k % 3);

    QStringList expected;
    for (int k = 0; k < samples * repeat; ++k)
        expected << expectedId(prefix, first + k / repeat, style);
    QString problem;
    const QStringList decoded = printAndDecode(job, dpi, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(decoded, expected);
}

void TestCodes::scaledCodesReadBack_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("scaleX");
    QTest::addColumn<int>("scaleY");
    // The last labels of a sheet, where the scale moves them furthest, and the next sheet.
    QTest::newRow("2 at 600, 101 %") << 2 << 600 << 1010 << 1010;
    QTest::newRow("5 at 300, 101 % across, 99 % along") << 5 << 300 << 1010 << 990;
    QTest::newRow("9 at 600, the ends of the range") << 9 << 600 << 970 << 1030;
}

// Scaled, the codes keep whole printer dots per module and still decode.
void TestCodes::scaledCodesReadBack()
{
    QFETCH(int, type);
    QFETCH(int, dpi);
    QFETCH(int, scaleX);
    QFETCH(int, scaleY);
    constexpr int Samples = 6;
    LabelJob job = codeJob(type, Samples);
    job.startPos = job.sheetType.family().labels - 3;
    job.initialValue = 41;
    job.codePrefix = QStringLiteral("LAB-");
    job.scale = {scaleX, scaleY};
    QStringList expected;
    for (int k = 0; k < Samples; ++k)
        expected << expectedId(job.codePrefix, job.initialValue + k, 0);
    QString problem;
    const QStringList decoded = printAndDecode(job, dpi, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(decoded, expected);
}

void TestCodes::labelsWithoutCodeUnchanged()
{
    // Every page operation of jobs with the code off (and a prefix typed) hashed per sheet
    // type; the hashes are those of the same jobs printed before labels could carry codes.
    const QByteArray before[SheetTypeCount] = {
        "2acf0abd3988add0fa6b059af592c27fd8e594de", "9239b9a3da857cd27b2ba5f9b9883e73443aa18a",
        "79fd939ac4cffab88cb1a1927e9f7d9cabc12ca5", "be63ef2d487a86f769b889a0ce39544caea8a950",
        "19d3075fb150f4d84f8656d9e8af15cb26d79cf3", "408c94270c15fb3156fb2717d4cb4a9d5e2b1302",
        "32b128e31441756a8217a1fc6a799dcf3d0457a0", "2f6d307929359b5ac0db19ef6fcd63e4a8c91eb9",
        "0810d9c0c790ba01bb66ae4a32d2d56a0395b12a", "dc798de445bf86ce87227b12f2f2bd260d828832",
    };
    for (int type = 1; type <= SheetTypeCount; ++type) {
        RecordingCanvas canvas(600, 300);
        QString text;
        for (const int style : {0, 1}) {
            LabelJob job = codeJob(type, 3);
            job.code = false;
            job.codePrefix = QStringLiteral("LAB-");
            // The memo proof holds other lines than the number proof.
            job.proofText = proofKindOf(type) == ProofKind::Memo ? QStringLiteral("WXYZ\nV")
                                                                 : QStringLiteral("AB\nCDEFG\nH");
            job.enteredText = QStringLiteral("ABCDE");
            job.repeatCount = 2;
            job.initialValue = 9998;
            job.numberStyle = NumberStyle(style);
            job.printAlign = PrintAlign(2 + style);
            job.startPos = LabelsPerSheet(type) - 2;
            job.offsetX = 13;
            job.offsetY = 7;
            job.frame = style == 1;
            QVERIFY(printJob(canvas, job, nullptr));
        }
        QVERIFY(canvas.callsOf(CanvasCall::FillRectangle).isEmpty());
        const QByteArray hash =
            QCryptographicHash::hash(recordedCalls(canvas).join(QLatin1Char('\n')).toUtf8(),
                                     QCryptographicHash::Sha1)
                .toHex();
        QCOMPARE(hash, before[type - 1]);
    }
}

QTEST_MAIN(TestCodes)
#include "tst_codes.moc"
