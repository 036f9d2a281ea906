// SPDX-License-Identifier: GPL-3.0-or-later
// The label font on a machine whose fonts are all Latin: ctest runs this program with a font
// set-up of DejaVu alone. A job is refused by the first character that no face draws, with
// Qt's fallback faces counted, and a job whose every character is drawn still prints.
#include "window/WindowSupport.h"

#include "job/Fonts.h"
#include "job/TextCharacters.h"
#include "support/PdfProbe.h"
#include "support/SheetTypeOf.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace corvial;

class TestLatinFonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void undrawnCharacterRefusesTheJob_data();
    void undrawnCharacterRefusesTheJob();
    void windowRefusesAtPrint();
};

void TestLatinFonts::initTestCase()
{
    installJapaneseFontSubstitutions();
    // Run outside ctest, with the machine's own fonts, every row would mean something else.
    for (const QString &family : QFontDatabase::families())
        QVERIFY2(!QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese),
                 qPrintable(QStringLiteral("a Japanese face in the font set-up: ") + family));
    QVERIFY(!QFontDatabase::families().isEmpty());
}

void TestLatinFonts::undrawnCharacterRefusesTheJob_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("entryText");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<QStringList>("sampleTexts");
    QTest::addColumn<QString>("undrawn"); // empty: the job prints
    QTest::newRow("Latin text and numbers") << 2 << ""
                                            << "AB-12" << QStringList() << "";
    // DejaVu Sans draws Greek, though the face asked for is a Japanese one.
    QTest::newRow("Greek from a fallback face") << 2 << ""
                                                << "Ωμ" << QStringList() << "";
    QTest::newRow("Japanese text") << 2 << ""
                                   << "AB\n検体" << QStringList() << "検";
    QTest::newRow("half-width kana") << 5 << ""
                                     << "ｱｲ" << QStringList() << "ｱ";
    QTest::newRow("one sample of a list") << 2 << ""
                                          << "A" << QStringList{"A1", "B2", "C血清"} << "血";
    QTest::newRow("circle entry") << 1 << "検"
                                  << "" << QStringList() << "検";
    // Text the sheet type does not print stops nothing.
    QTest::newRow("entry text of a number sheet") << 2 << "検"
                                                  << "AB" << QStringList() << "";
}

void TestLatinFonts::undrawnCharacterRefusesTheJob()
{
    QFETCH(int, type);
    QFETCH(QString, entryText);
    QFETCH(QString, labelText);
    QFETCH(QStringList, sampleTexts);
    QFETCH(QString, undrawn);
    LabelJob job;
    job.sheetType = typeOf(type);
    job.sampleCount = 3;
    job.enteredText = entryText;
    job.proofText = labelText;
    job.sampleTexts = sampleTexts;
    job.labelFont = QFont(uiFaceName());
    const QString problem = jobFontProblem(job);
    if (undrawn.isEmpty()) {
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        return;
    }
    const char32_t c = undrawn.toUcs4().constFirst();
    QVERIFY2(problem.contains(QStringLiteral("「%1」（%2）").arg(undrawn, codePointName(c))),
             qPrintable(problem));
}

// The window says why at Print, before any printer is asked for, and prints nothing; the
// same window prints a Latin job, read back from its PDF.
void TestLatinFonts::windowRefusesAtPrint()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        QFile f(dir.filePath(QStringLiteral("start.txt")));
        const QByteArray settings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(settings) == settings.size());
    }
    auto dialogs = std::make_shared<PdfDialogs>();
    dialogs->pdfPath = dir.filePath(QStringLiteral("labels.pdf"));
    MainWindowEnvironment env;
    env.appDir = dir.path();
    env.dialogs = dialogs;
    TfrmMain w(env);
    // A click by position misses the radio button while the window lays its captions out
    // in DejaVu; the button's own click is what the user's does.
    w.findChild<QRadioButton *>(QLatin1String(sheetTypeRadioName(2)))->click();
    QCOMPARE(w.editor().sheetType.code(), 2);
    w.Memo8->setPlainText(QStringLiteral("検体 7"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    // The window prints away from its thread; the test waits for the end.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));
    QCOMPARE(dialogs->errors.size(), 1);
    QVERIFY2(dialogs->errors.constFirst().contains(QStringLiteral("「検」（U+691C）")),
             qPrintable(dialogs->errors.constFirst()));
    QCOMPARE(dialogs->printerAsked, 0);
    QVERIFY(!QFile::exists(dialogs->pdfPath));
    QCOMPARE(w.editor().startPos[2], 1);
    QVERIFY(!w.pnlPrint->isHidden());

    QTest::mouseClick(w.cmdBack, Qt::LeftButton);
    w.Memo8->setPlainText(QStringLiteral("Serum"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    // The window prints away from its thread; the test waits for the end.
    QVERIFY(QTest::qWaitFor([&w] { return !w.isBusy(); }, 30000));
    QVERIFY2(dialogs->errors.size() == 1, qPrintable(dialogs->errors.join(u'|')));
    bool ok = false;
    const QString text = runTool(QStringLiteral("pdftotext"), {dialogs->pdfPath, "-"}, &ok);
    QVERIFY2(ok && text.contains(QStringLiteral("Serum")), qPrintable(text));
}

QTEST_MAIN(TestLatinFonts)
#include "tst_latinfonts.moc"
