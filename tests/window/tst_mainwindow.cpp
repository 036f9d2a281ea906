// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, screens, tool buttons, companion windows, sheet types and the offset lists,
// driven through the real main window.
#include "WindowSupport.h"

#include "TAboutBox.h"
#include "TfrmLib.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

using namespace corvial;

namespace {

bool shown(const QWidget *w)
{
    return !w->isHidden();
}

QList<QByteArray> settingsLines(const QByteArray &file)
{
    return file.split('\n');
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void validFileOpensEntryScreen();
    void creationFillsListsAndPlacesPanels();
    void shapeArraysFollowTheSheetGrids_data();
    void shapeArraysFollowTheSheetGrids();
    void firstTickFocusesEdit2AndStopsTimer();
    void missingFileShowsMessageAndCloses();
    void printScreenPerType_data();
    void printScreenPerType();
    void backRestoresColoursAndKeepsEntries();
    void companionWindowsDisableMainWindow_data();
    void companionWindowsDisableMainWindow();
    void libraryNoticeHasItsThirteenLines();

    void repeatChoiceFollowsType();
    void memo8ClearedAndLimitRaised();
    void markerTypeHidesNumberControls();
    void clickingCurrentTypeChangesNothing();
    void memo8LimitPerType_data();
    void memo8LimitPerType();

    void offsetListSavesItsFamily();
    void printSetSelectsTheFamilysOffsets();
    void malformedLinesWarnOnceAfterOpening();
    void companionSettingsWarnOnceInTheStatusLine();
    void outOfRangeValuesAreBroughtIntoRange();
    void failedSaveKeepsValuesAndReports();
    void tailSurvivesAWriteByteForByte();
    void fifoInPlaceOfStartTxtIsNeitherReadNorReplaced();
};

void TestMainWindow::validFileOpensEntryScreen()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QVERIFY(fx.dialogs->messages.isEmpty());
    QCOMPARE(w.ListBox2->selectedRow(), 29);
    QCOMPARE(w.ListBox12->selectedRow(), 0);
    QCOMPARE(w.ListBox1->selectedRow(), 0);
    QVERIFY(w.RadioButton10->isChecked());
    QCOMPARE(w.editor().sheetType.code(), 1);
    QCOMPARE(w.editor().sampleCount, 30);
    QCOMPARE(w.editor().repeatCount, 1);
    QCOMPARE(w.editor().initialValue, 1);
    QCOMPARE(int(w.editor().numberStyle), 0);
    QCOMPARE(int(w.editor().printAlign), 1);
    QVERIFY(w.N2->isChecked());
    QVERIFY(!w.N3->isChecked());

    QVERIFY(shown(w.cmdVersion));
    QVERIFY(shown(w.cmdEnd));
    QVERIFY(!shown(w.cmdExcel));
    QVERIFY(!shown(w.cmdBack));
    QCOMPARE(w.cmdEnd->pos(), QPoint(80, 8));
    QCOMPARE(w.cmdVersion->pos(), QPoint(8, 8));

    QVERIFY(shown(w.pnlMain));
    for (QWidget *hidden : std::initializer_list<QWidget *>{w.pnlPrint, w.pnlCircle, w.pnlRect,
                                                            w.PnlTube, w.pnlMicro, w.GroupBox2})
        QVERIFY2(!shown(hidden), qPrintable(hidden->objectName()));
    for (QWidget *on : std::initializer_list<QWidget *>{w.Edit2, w.ListBox1, w.Label5, w.ListBox12,
                                                        w.Label3, w.Label14})
        QVERIFY2(shown(on), qPrintable(on->objectName()));
    for (QWidget *off : std::initializer_list<QWidget *>{w.Memo5, w.Memo8, w.RadioGroup1})
        QVERIFY2(!shown(off), qPrintable(off->objectName()));
    QVERIFY(w.settingsFolder().endsWith(QDir::separator()));
}

void TestMainWindow::creationFillsListsAndPlacesPanels()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QCOMPARE(w.ListBox1->count(), 5);
    QCOMPARE(w.ListBox2->count(), 400);
    QCOMPARE(w.ListBox12->count(), 9990);
    QCOMPARE(w.ListBox12->item(9989)->text(), QStringLiteral("9990"));
    QCOMPARE(w.ListBox2->item(0)->text(), QStringLiteral("1"));
    QCOMPARE(w.ListBox21->count(), 9);
    QCOMPARE(w.ListBox21->item(8)->text(), QStringLiteral("White"));
    QCOMPARE(w.ListBox19->count(), 8);
    QCOMPARE(w.ListBox19->item(2)->text(), QStringLiteral("SkyBlue"));
    QCOMPARE(w.ListBox21->selectedRow(), 0);
    QCOMPARE(w.ListBox19->selectedRow(), 0);
    QCOMPARE(w.ListBox23->count(), 21);
    QCOMPARE(w.ListBox23->item(0)->text(), QStringLiteral("-5"));
    QCOMPARE(w.ListBox23->item(1)->text(), QStringLiteral("-4.5"));
    QCOMPARE(w.ListBox23->item(10)->text(), QStringLiteral("0"));
    QCOMPARE(w.ListBox25->item(20)->text(), QStringLiteral("5"));
    QCOMPARE(w.ListBox25->selectedRow(), 10);
    QCOMPARE(w.ListBox23->selectedRow(), 10);

    QCOMPARE(w.pnlCircle->geometry(), QRect(119, 133, 289, 425));
    QCOMPARE(w.pnlMicro->geometry(), QRect(47, 133, 361, 425));
    QCOMPARE(w.PnlTube->geometry(), QRect(95, 133, 313, 393));
    QCOMPARE(w.pnlRect->geometry(), QRect(63, 128, 345, 401));
    QCOMPARE(w.pnlPrint->geometry(), QRect(408, 133, 433, 428));
    QCOMPARE(w.pnlMain->geometry(), QRect(56, 128, 793, 385));
    for (QFrame *p :
         {w.pnlCircle, w.pnlMicro, w.PnlTube, w.pnlRect, w.pnlPrint, w.pnl150, w.pnlmemo, w.pnlNum})
        QCOMPARE(p->frameStyle(), int(QFrame::NoFrame));
    QCOMPARE(w.pnlMain->frameShadow(), QFrame::Sunken);
    QCOMPARE(w.editor().labelFont.family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QVERIFY(w.editor().labelFont.bold());
}

void TestMainWindow::shapeArraysFollowTheSheetGrids_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("element");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("circle 1") << 1 << 1 << "Shape201" << QRect(56, 32, 17, 17);
    QTest::newRow("circle 12") << 1 << 12 << "Shape212" << QRect(72, 56, 17, 17);
    QTest::newRow("circle 150") << 1 << 150 << "Shape350" << QRect(56 + 144, 32 + 336, 17, 17);
    QTest::newRow("rect 1") << 2 << 1 << "Rect01" << QRect(56, 80, 30, 15);
    QTest::newRow("rect 27") << 2 << 27 << "rect27" << QRect(56 + 80, 80 + 96, 30, 15);
    QTest::newRow("rect 60") << 2 << 60 << "Rect60" << QRect(256, 296, 30, 15);
    QTest::newRow("tube95 1") << 3 << 1 << "Shape98" << QRect(48, 56, 41, 12);
    QTest::newRow("tube95 6") << 3 << 6 << "Shape103" << QRect(48, 72, 41, 12);
    QTest::newRow("tube95 95") << 3 << 95 << "Shape192" << QRect(240, 344, 41, 12);
    QTest::newRow("tube72 8") << 4 << 8 << "Shape200" << QRect(248, 88, 65, 14);
    QTest::newRow("tube72 9") << 4 << 9 << "Shape352" << QRect(32, 104, 65, 14);
    QTest::newRow("tube72 72") << 4 << 72 << "Shape415" << QRect(248, 344, 65, 14);
}

void TestMainWindow::shapeArraysFollowTheSheetGrids()
{
    QFETCH(int, family);
    QFETCH(int, element);
    QFETCH(QString, name);
    QFETCH(QRect, bounds);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    const QVector<ShapeCell *> *arrays[] = {&w.circleShapes, &w.rectShapes, &w.tube95Shapes,
                                            &w.tube72Shapes};
    const QVector<ShapeCell *> &shapes = *arrays[family - 1];
    QCOMPARE(shapes.size(), labelsInFamily(family) + 1);
    ShapeCell *s = shapes.at(element);
    QVERIFY(s);
    QCOMPARE(s->objectName(), name);
    QCOMPARE(s->geometry(), bounds);
    QCOMPARE(s->fillColour(), QColor(Qt::white));
}

void TestMainWindow::firstTickFocusesEdit2AndStopsTimer()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.Timer1->interval(), 100);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(!w.Timer1->isActive());
    QCOMPARE(w.focusWidget(), static_cast<QWidget *>(w.Edit2));
    QVERIFY(w.isVisible());
}

void TestMainWindow::missingFileShowsMessageAndCloses()
{
    WindowFixture fx;
    QSignalSpy dummy(qApp, &QCoreApplication::aboutToQuit);
    TfrmMain &w = fx.create(nullptr);
    QSignalSpy closed(&w, &TfrmMain::closed);
    QCOMPARE(fx.dialogs->messages, QStringList{QStringLiteral("スタートファイルがありません。")});
    QVERIFY(w.closesAtFirstTick());
    QVERIFY(w.Timer1->isActive());
    // Nothing after the message ran: no list is filled, the design-time screen stays.
    QCOMPARE(w.ListBox2->count(), 0);
    QCOMPARE(w.ListBox12->count(), 0);
    QVERIFY(!shown(w.pnlMain));
    QVERIFY(closed.wait(1000));
    QVERIFY(!w.isVisible());
    QVERIFY(!QFile::exists(fx.settingsPath()));
}

void TestMainWindow::printScreenPerType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<bool>("alignChoice");
    QTest::addColumn<QString>("proof");
    QTest::addColumn<bool>("numberPanel");
    QTest::newRow("1") << 1 << "pnlCircle" << false << "pnl150" << false;
    QTest::newRow("2") << 2 << "pnlRect" << false << "pnlNum" << true;
    QTest::newRow("3") << 3 << "pnlRect" << false << "pnlmemo" << false;
    QTest::newRow("4") << 4 << "pnlRect" << false << "pnlmemo" << false;
    QTest::newRow("5") << 5 << "PnlTube" << false << "pnlNum" << true;
    QTest::newRow("6") << 6 << "PnlTube" << true << "pnlNum" << true;
    QTest::newRow("7") << 7 << "PnlTube" << true << "pnlNum" << false;
    QTest::newRow("8") << 8 << "pnlMicro" << false << "pnlNum" << true;
    QTest::newRow("9") << 9 << "pnlMicro" << true << "pnlNum" << true;
    QTest::newRow("10") << 10 << "pnlMicro" << true << "pnlNum" << false;
}

void TestMainWindow::printScreenPerType()
{
    QFETCH(int, type);
    QFETCH(QString, preview);
    QFETCH(bool, alignChoice);
    QFETCH(QString, proof);
    QFETCH(bool, numberPanel);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    QCOMPARE(w.editor().sheetType.code(), type);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);

    QVERIFY(!shown(w.pnlMain));
    QVERIFY(shown(w.pnlPrint));
    for (QFrame *p : {w.pnlCircle, w.pnlRect, w.PnlTube, w.pnlMicro})
        QCOMPARE(shown(p), p->objectName() == preview);
    QCOMPARE(shown(w.GroupBox2), alignChoice);
    for (QFrame *p : {w.pnl150, w.pnlNum, w.pnlmemo})
        QCOMPARE(shown(p), p->objectName() == proof);
    if (proof == QLatin1String("pnlNum"))
        QCOMPARE(shown(w.Panel5), numberPanel);
    // Version, Excel, Back, End.
    QVERIFY(shown(w.cmdExcel) && shown(w.cmdBack));
    QCOMPARE(w.cmdExcel->x(), 80);
    QCOMPARE(w.cmdBack->x(), 152);
    QCOMPARE(w.cmdEnd->x(), 224);
    QCOMPARE(w.cmdVersion->x(), 8);
    for (QToolButton *b : {w.cmdVersion, w.cmdExcel, w.cmdBack, w.cmdEnd})
        QCOMPARE(b->y(), 8);
}

void TestMainWindow::backRestoresColoursAndKeepsEntries()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 5);
    QTest::keyClicks(w.Memo8, QStringLiteral("AB"));
    QTest::keyClicks(w.Edit2, QStringLiteral("XY"));
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    clickRow(w.ListBox19, 1);
    clickRow(w.ListBox21, 2);
    QCOMPARE(w.Memo3->palette().color(QPalette::Base), QColor(255, 255, 0));

    QTest::mouseClick(w.cmdBack, Qt::LeftButton);
    QCOMPARE(w.ListBox19->selectedRow(), 0);
    QCOMPARE(w.ListBox21->selectedRow(), 0);
    QCOMPARE(w.Memo3->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(w.Memo3->palette().color(QPalette::Text), QColor(Qt::black));
    QVERIFY(shown(w.pnlMain));
    QVERIFY(!shown(w.pnlPrint));
    QVERIFY(!shown(w.cmdBack));
    QCOMPARE(w.cmdEnd->x(), 80);
    QVERIFY(shown(w.Memo8));
    QCOMPARE(w.Memo8->toPlainText(), QStringLiteral("AB"));
    QCOMPARE(w.Edit2->text(), QStringLiteral("XY"));
}

void TestMainWindow::companionWindowsDisableMainWindow_data()
{
    QTest::addColumn<bool>("library");
    QTest::addColumn<bool>("byCloseBox");
    QTest::newRow("version, OK") << false << false;
    QTest::newRow("version, close box") << false << true;
    QTest::newRow("library, OK") << true << false;
    QTest::newRow("library, close box") << true << true;
}

void TestMainWindow::companionWindowsDisableMainWindow()
{
    QFETCH(bool, library);
    QFETCH(bool, byCloseBox);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QWidget *companion = library ? static_cast<QWidget *>(w.frmLib()) : w.AboutBox();
    QVERIFY(!companion->isVisible());
    if (library)
        w.N4->trigger();
    else
        QTest::mouseClick(w.cmdVersion, Qt::LeftButton);
    QVERIFY(companion->isVisible());
    QVERIFY(!w.isEnabled());
    QVERIFY(!w.cmdPrintSet->isEnabled());

    if (byCloseBox)
        companion->close();
    else if (library)
        QTest::mouseClick(w.frmLib()->Button1, Qt::LeftButton);
    else
        QTest::mouseClick(w.AboutBox()->OKButton, Qt::LeftButton);
    QVERIFY(!companion->isVisible());
    QVERIFY(w.isEnabled());
    QVERIFY(w.isVisible());
}

void TestMainWindow::libraryNoticeHasItsThirteenLines()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    const QStringList lines = w.frmLib()->Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 13);
    QCOMPARE(lines.at(0), QStringLiteral("ライブラリーの登録を行っていただかないとエクセルファ"));
    QVERIFY(lines.at(7).isEmpty());
    QCOMPARE(lines.at(12), QStringLiteral("regsvr32.exe  C:\\WINDOWS\\SYSTEM32\\XlsCrt2.dll"));
    QCOMPARE(w.frmLib()->windowTitle(), QStringLiteral("ライブラリーの登録"));
    QCOMPARE(w.AboutBox()->windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(w.AboutBox()->size(), QSize(273, 195));
    // The program's own picture is built in, whatever icon theme the desktop has.
    QVERIFY(QFile::exists(QStringLiteral(":/icons/corvial-manager.png")));
    QVERIFY(!w.cmdPrint->icon().pixmap(32, 32).isNull());
}

void TestMainWindow::repeatChoiceFollowsType()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    clickRow(w.ListBox1, 2);
    QCOMPARE(w.editor().repeatCount, 3);
    chooseType(w, 3);
    QVERIFY(!shown(w.ListBox1));
    QVERIFY(!shown(w.Label5));
    QCOMPARE(w.editor().repeatCount, 1);
    QCOMPARE(w.ListBox1->selectedRow(), 0);
    chooseType(w, 2);
    QVERIFY(shown(w.ListBox1));
    QVERIFY(shown(w.Label5));
    QCOMPARE(w.ListBox1->selectedRow(), 0);

    clickRow(w.ListBox1, 2);
    chooseType(w, 7);
    QCOMPARE(w.editor().repeatCount, 1);
}

void TestMainWindow::memo8ClearedAndLimitRaised()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    QCOMPARE(w.memo8MaxLength(), 16);
    QTest::keyClicks(w.Memo8, QStringLiteral("ABC"));
    QCOMPARE(w.Memo8->toPlainText(), QStringLiteral("ABC"));
    chooseType(w, 8);
    QVERIFY(w.Memo8->toPlainText().isEmpty());
    QCOMPARE(w.memo8MaxLength(), 49);
}

void TestMainWindow::markerTypeHidesNumberControls()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QTest::keyClicks(w.Edit2, QStringLiteral("AB"));
    chooseType(w, 4);
    for (QWidget *off : std::initializer_list<QWidget *>{w.Edit2, w.Memo5, w.Memo8, w.ListBox12,
                                                         w.Label3, w.Label14, w.ListBox1, w.Label5})
        QVERIFY2(!shown(off), qPrintable(off->objectName()));
    QVERIFY(shown(w.RadioGroup1));
    chooseType(w, 1);
    for (QWidget *on : std::initializer_list<QWidget *>{w.Edit2, w.ListBox12, w.Label3, w.Label14,
                                                        w.ListBox1, w.Label5})
        QVERIFY2(shown(on), qPrintable(on->objectName()));
    QVERIFY(!shown(w.RadioGroup1));
    QCOMPARE(w.Edit2->text(), QStringLiteral("AB"));
}

void TestMainWindow::clickingCurrentTypeChangesNothing()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    chooseType(w, 5);
    QTest::keyClicks(w.Memo8, QStringLiteral("KEEP"));
    chooseType(w, 5);
    QCOMPARE(w.Memo8->toPlainText(), QStringLiteral("KEEP"));
    QCOMPARE(w.editor().sheetType.code(), 5);
}

void TestMainWindow::memo8LimitPerType_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<int>("limit");
    QTest::newRow("none chosen") << QList<int>{} << 38;
    QTest::newRow("2") << QList<int>{2} << 16;
    QTest::newRow("5") << QList<int>{5} << 26;
    QTest::newRow("6") << QList<int>{6} << 22;
    QTest::newRow("7") << QList<int>{7} << 26;
    QTest::newRow("8") << QList<int>{8} << 49;
    QTest::newRow("9") << QList<int>{9} << 40;
    QTest::newRow("10") << QList<int>{10} << 49;
    QTest::newRow("3 keeps 38") << QList<int>{3} << 38;
    QTest::newRow("4 after 9 keeps 40") << QList<int>{9, 4} << 40;
    QTest::newRow("1 after 2 keeps 16") << QList<int>{2, 1} << 16;
}

void TestMainWindow::memo8LimitPerType()
{
    QFETCH(QList<int>, types);
    QFETCH(int, limit);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    for (int t : types)
        chooseType(w, t);
    QCOMPARE(w.memo8MaxLength(), limit);
}

void TestMainWindow::offsetListSavesItsFamily()
{
    WindowFixture fx;
    TfrmMain &w = fx.create("10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc\r\n");
    chooseType(w, 6);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    clickRow(w.ListBox23, 10);
    QCOMPARE(w.editor().offsetY[3], 10);
    QCOMPARE(fx.readSettings(), QByteArray("10,10,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\nabc\r\n"));
    clickRow(w.ListBox23, 14);
    QCOMPARE(fx.readSettings(), QByteArray("10,10,1\r\n12,8,41\r\n10,14,1\r\n9,11,70\r\nabc\r\n"));
    clickRow(w.ListBox25, 0);
    QCOMPARE(w.editor().offsetX[3], 0);
    QCOMPARE(fx.readSettings(), QByteArray("10,10,1\r\n12,8,41\r\n0,14,1\r\n9,11,70\r\nabc\r\n"));
}

void TestMainWindow::printSetSelectsTheFamilysOffsets()
{
    WindowFixture fx;
    TfrmMain &w = fx.create("3,4,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\n");
    QCOMPARE(w.ListBox25->selectedRow(), 3);
    QCOMPARE(w.ListBox23->selectedRow(), 4);
    chooseType(w, 9);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    QCOMPARE(w.ListBox25->selectedRow(), 9);
    QCOMPARE(w.ListBox23->selectedRow(), 11);
    // Selecting from the program writes nothing.
    QCOMPARE(fx.readSettings(), QByteArray("3,4,1\r\n12,8,41\r\n10,10,1\r\n9,11,70\r\n"));
}

void TestMainWindow::malformedLinesWarnOnceAfterOpening()
{
    WindowFixture fx;
    const QByteArray content = "10,10,1\r\n12,x,41\r\n10,10\r\n9,11,70\r\n";
    TfrmMain &w = fx.create(content.constData());
    QVERIFY(fx.dialogs->messages.isEmpty());
    QCOMPARE(w.editor().offsetX[2], 0);
    QCOMPARE(w.editor().offsetY[2], 0);
    QCOMPARE(w.editor().startPos[2], 1);
    QCOMPARE(w.editor().offsetX[3], 0);
    QCOMPARE(w.editor().offsetX[4], 9);
    w.showStartupWarnings();
    QCOMPARE(fx.dialogs->messages.size(), 1);
    QVERIFY(fx.dialogs->messages.first().contains(QLatin1Char('2')));
    QVERIFY(fx.dialogs->messages.first().contains(QLatin1Char('3')));
    w.showStartupWarnings();
    QCOMPARE(fx.dialogs->messages.size(), 1);
    QCOMPARE(fx.readSettings(), content);
}

// A misspelt section of corvial.ini is told in the status line once the window is open,
// without a dialog to click away, and only once.
void TestMainWindow::companionSettingsWarnOnceInTheStatusLine()
{
    WindowFixture fx;
    const QString ini = QDir(fx.dir.path()).filePath(QStringLiteral("corvial.ini"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly) &&
                f.write("[Printer]\nscaleX=101.0\n[histroy]\n") > 0);
    }
    TfrmMain &w = fx.create();
    QVERIFY(!w.findChild<QStatusBar *>(QStringLiteral("statusLine")));
    w.showStartupWarnings();
    auto *line = w.findChild<QStatusBar *>(QStringLiteral("statusLine"));
    QVERIFY(line);
    // The line names the first warning; none is lost at the window's edge: the tip holds
    // every one, the last too.
    const QString shown = line->currentMessage();
    QVERIFY2(shown.contains(ini + QStringLiteral(" の 1 行目: [Printer]")) &&
                 shown.contains(QStringLiteral("[printer] のことですか")),
             qPrintable(shown));
    QVERIFY2(line->toolTip().contains(shown.mid(shown.indexOf(ini))) &&
                 line->toolTip().contains(QStringLiteral("[histroy]")),
             qPrintable(line->toolTip()));
    QVERIFY(fx.dialogs->messages.isEmpty());
    line->clearMessage();
    w.showStartupWarnings();
    QVERIFY(line->currentMessage().isEmpty());
}

void TestMainWindow::outOfRangeValuesAreBroughtIntoRange()
{
    WindowFixture fx;
    TfrmMain &w = fx.create("25,-3,151\r\n10,10,60\r\n10,10,0\r\n10,10,73\r\n");
    QCOMPARE(w.editor().offsetX[1], 20);
    QCOMPARE(w.editor().offsetY[1], 0);
    QCOMPARE(w.editor().startPos[1], 1);
    QCOMPARE(w.editor().startPos[2], 60);
    QCOMPARE(w.editor().startPos[3], 1);
    QCOMPARE(w.editor().startPos[4], 1);
    QVERIFY(fx.dialogs->messages.isEmpty());
}

void TestMainWindow::failedSaveKeepsValuesAndReports()
{
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    // A directory in the file's place defeats the write even for root.
    QVERIFY(QFile::remove(fx.settingsPath()));
    QVERIFY(QDir(fx.dir.path()).mkdir(QStringLiteral("start.txt")));
    clickRow(w.ListBox25, 13);
    QCOMPARE(w.editor().offsetX[1], 13);
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY(!fx.dialogs->errors.first().isEmpty());
    QVERIFY(QFileInfo(fx.settingsPath()).isDir());
}

void TestMainWindow::tailSurvivesAWriteByteForByte()
{
    WindowFixture fx;
    const QByteArray tail = QByteArray("\x83\x89\x83\x78\x83\x8b \xff\x01 tail", 14);
    TfrmMain &w = fx.create(
        QByteArray("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n" + tail + "\r\nline six\r\n")
            .constData());
    QCOMPARE(w.editor().settingsTail, tail);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    clickRow(w.ListBox25, 11);
    const QList<QByteArray> lines = settingsLines(fx.readSettings());
    QCOMPARE(lines.size(), 6); // five lines and the empty text after the last break
    QCOMPARE(lines.at(0), QByteArray("11,10,1\r"));
    QCOMPARE(lines.at(4), tail + '\r');
    QVERIFY(lines.at(5).isEmpty());
}

void TestMainWindow::fifoInPlaceOfStartTxtIsNeitherReadNorReplaced()
{
    WindowFixture fx;
    const QByteArray fifo = QFile::encodeName(fx.settingsPath());
    QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
    // Opening the FIFO for reading would wait for a writer that never comes.
    TfrmMain &w = fx.create(nullptr);
    QVERIFY(!w.closesAtFirstTick());
    QCOMPARE(w.editor().offsetX[1], 0);
    QCOMPARE(w.editor().offsetY[1], 0);
    QCOMPARE(w.editor().startPos[1], 1);
    QVERIFY(fx.dialogs->messages.isEmpty());
    w.showStartupWarnings();
    QCOMPARE(fx.dialogs->messages.size(), 1);
    const QString warning = fx.dialogs->messages.first();
    QVERIFY2(warning.startsWith(QStringLiteral("設定ファイルを読み込めませんでした: ") +
                                fx.settingsPath() + '\n'),
             qPrintable(warning));
    QVERIFY(warning.contains(QStringLiteral("名前付きパイプ")));
    QVERIFY(warning.contains(QStringLiteral("初期値で始めます")));

    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    clickRow(w.ListBox25, 13);
    QCOMPARE(w.editor().offsetX[1], 13);
    QCOMPARE(fx.dialogs->errors.size(), 1);
    const QString error = fx.dialogs->errors.first();
    QVERIFY2(error.startsWith(QStringLiteral("設定ファイルを保存できませんでした: ") +
                              fx.settingsPath() + '\n'),
             qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("次に保存できるまで")));
    struct stat st;
    QCOMPARE(::lstat(fifo.constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
