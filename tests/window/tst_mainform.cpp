// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as its Designer form draws it, and what the form promises the user: Tab in
// screen order onto the chosen radio button, whole list rows, a read-only box that looks it,
// and the number proof's text starting where the screen shows it.
#include "FormReader.h"
#include "WindowSupport.h"

#include <QApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>

using namespace corvial;

namespace {

// A shown, active window with sheet type `type` chosen on the entry screen.
TfrmMain &openEntry(WindowFixture &fx, int type)
{
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    w.show();
    QApplication::setActiveWindow(&w);
    [&w] { QVERIFY(QTest::qWaitForWindowActive(&w)); }();
    return w;
}

QString radioName(int sheetType)
{
    return QLatin1String(sheetTypeRadioName(sheetType));
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void windowIsItsForm();
    void tabFollowsTheScreen_data();
    void tabFollowsTheScreen();
    void listsShowWholeRows();
    void readOnlyBoxLooksReadOnly_data();
    void readOnlyBoxLooksReadOnly();
    void numberProofShowsItsFirstCharacter();
};

void TestMainForm::windowIsItsForm()
{
    QString error;
    const QList<FormWidget> widgets =
        readForm(QStringLiteral(CORVIAL_FORMS_DIR "/TfrmMain.ui"), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(widgets.size() > 1);
    // Without start.txt the window stops before placing anything at run time: what shows
    // is the form as drawn.
    WindowFixture fx;
    TfrmMain &w = fx.create(nullptr);

    const FormWidget &top = widgets.first();
    QCOMPARE(w.objectName(), top.name);
    QCOMPARE(w.size(), top.geometry.size());
    QCOMPARE(w.windowTitle(), top.strings.value(QStringLiteral("windowTitle")));
    for (const FormWidget &f : widgets.mid(1)) {
        const auto *c = w.findChild<QWidget *>(f.name);
        QVERIFY2(c, qPrintable(f.name));
        QVERIFY2(c->inherits(f.className.toLatin1()), qPrintable(f.name));
        QCOMPARE(c->parentWidget()->objectName(), f.parentName);
        // The menu bar and its menus are placed by the window, not by their bounds.
        if (!f.geometry.isNull() && !c->inherits("QMenuBar") && !c->inherits("QMenu"))
            QCOMPARE(c->geometry(), f.geometry);
        for (auto p = f.strings.cbegin(); p != f.strings.cend(); ++p)
            QCOMPARE(c->property(p.key().toLatin1()).toString(), p.value());
    }
}

void TestMainForm::tabFollowsTheScreen_data()
{
    QTest::addColumn<int>("type"); // chosen on the entry screen
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("back"); // Shift+Tab
    QTest::addColumn<QString>("to");

    const QString printSet = QStringLiteral("cmdPrintSet");
    const QString lastList = QStringLiteral("ListBox1");
    QTest::newRow("last list to the first sheet type") << 1 << lastList << false << radioName(1);
    QTest::newRow("last list to the chosen sheet type") << 8 << lastList << false << radioName(8);
    QTest::newRow("sheet type to PrintSet") << 5 << radioName(5) << false << printSet;
    QTest::newRow("PrintSet back to the chosen sheet type")
        << 10 << printSet << true << radioName(10);
    QTest::newRow("chosen sheet type back to the last list")
        << 8 << radioName(8) << true << lastList;
}

void TestMainForm::tabFollowsTheScreen()
{
    QFETCH(int, type);
    QFETCH(QString, from);
    QFETCH(bool, back);
    QFETCH(QString, to);
    WindowFixture fx;
    TfrmMain &w = openEntry(fx, type);
    auto *start = w.findChild<QWidget *>(from);
    QVERIFY(start);
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), start);
    if (back)
        QTest::keyClick(start, Qt::Key_Backtab, Qt::ShiftModifier);
    else
        QTest::keyClick(start, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), to);
}

void TestMainForm::listsShowWholeRows()
{
    WindowFixture fx;
    TfrmMain &w = openEntry(fx, 6);
    for (const bool printScreen : {false, true}) {
        if (printScreen)
            QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
        int checked = 0;
        for (ChoiceList *l : w.findChildren<ChoiceList *>()) {
            if (!l->isVisible())
                continue;
            ++checked;
            const int row = l->sizeHintForRow(0);
            const int shown = l->viewport()->height();
            const QString what =
                l->objectName() + QStringLiteral(": %1 px rows in %2 px").arg(row).arg(shown);
            // The rows end where the box's inside ends (a box too low for one row shows
            // its top), and each row is tall enough for its text.
            QVERIFY2(shown % row == 0 || shown < row, qPrintable(what));
            QVERIFY2(row >= l->fontMetrics().height(), qPrintable(what));
        }
        QVERIFY(checked > 2);
    }
}

void TestMainForm::readOnlyBoxLooksReadOnly_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("one-line text") << QStringLiteral("Edit2");
    QTest::newRow("two-line text") << QStringLiteral("Memo8");
    QTest::newRow("number proof") << QStringLiteral("Memo3");
    QTest::newRow("memo proof") << QStringLiteral("Memo7");
}

void TestMainForm::readOnlyBoxLooksReadOnly()
{
    QFETCH(QString, box);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    QWidget *b = w.findChild<QWidget *>(box);
    QVERIFY(b);
    const QColor editable = b->palette().color(QPalette::Base);
    QVERIFY(editable != b->palette().color(QPalette::Window));
    // A proof shows the label's own colours whether it can be typed into or not.
    const bool looks = b->property("readOnlyLook").toBool();
    QVERIFY(b->setProperty("readOnly", true));
    QCOMPARE(b->palette().color(QPalette::Base) == b->palette().color(QPalette::Window), looks);
    QVERIFY(b->setProperty("readOnly", false));
    QCOMPARE(b->palette().color(QPalette::Base), editable);
}

void TestMainForm::numberProofShowsItsFirstCharacter()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 6, 2, 1, 1);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.Memo3->isVisible());
    w.Memo3->setPlainText(QStringLiteral("1"));
    // The box lies partly left of the print screen, which cuts it there; its first glyph
    // must start right of that edge, inside the text area.
    QVERIFY(w.Memo3->mapTo(w.pnlPrint, QPoint()).x() < 0);
    const QRect first = w.Memo3->cursorRect(QTextCursor(w.Memo3->document()));
    QVERIFY(w.Memo3->viewport()->rect().contains(first.topLeft()));
    QVERIFY(w.Memo3->viewport()->mapTo(w.pnlPrint, first.topLeft()).x() >= 0);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
