// SPDX-License-Identifier: GPL-3.0-or-later
// The entry screen's lines: the job's size, the room left in the text box, a list's columns
// across a type switch, the last job's numbers from the history, and the menus that reach it all.
#include "../support/SheetTypeOf.h"
#include "WindowSupport.h"
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "job/BytesLeft.h"
#include "lists/JobSummary.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using namespace corvial;

namespace {

// Offers the list file the test wrote; the heading question is answered no.
class ListDialogs : public FakeDialogs
{
public:
    QString offered;
    QString openFileName(QWidget *, const QString &, const QString &) override { return offered; }
};

QLabel *label(TfrmMain &w, const char *name)
{
    auto *l = w.findChild<QLabel *>(QLatin1String(name));
    if (!l)
        qFatal("no label %s", name);
    return l;
}

// The window, with a three-column list of three samples loaded for type 2 when withList.
TfrmMain &openWithList(WindowFixture &fx, std::shared_ptr<ListDialogs> dialogs, bool withList)
{
    fx.dialogs = dialogs;
    dialogs->answerYes = false;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    if (withList) {
        dialogs->offered = fx.dir.filePath(QStringLiteral("list.csv"));
        QFile f(dialogs->offered);
        if (f.open(QIODevice::WriteOnly))
            f.write("AB,x,1\nCD,y,2\nEF,z,3\n");
        f.close();
        w.findChild<QAction *>(QStringLiteral("mnuListLoad"))->trigger();
    }
    return w;
}

} // namespace

class TestEntryScreen : public QObject
{
    Q_OBJECT

private slots:
    void summaryLine_data();
    void summaryLine();
    void bytesCounter_data();
    void bytesCounter();
    void listColumnsOnSwitch_data();
    void listColumnsOnSwitch();
    void continueNumbers_data();
    void continueNumbers();
    void menusFit_data();
    void menusFit();
    void listDialogStartsWithoutName();
};

void TestEntryScreen::summaryLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<bool>("list");
    QTest::newRow("circle 30 x 1") << 1 << 30 << 1 << false;
    QTest::newRow("rectangle 100 x 5, too many") << 2 << 100 << 5 << false;
    QTest::newRow("memo, no repeat") << 3 << 61 << 1 << false;
    QTest::newRow("list of 3, 2 each") << 2 << 3 << 2 << true;
}

void TestEntryScreen::summaryLine()
{
    QFETCH(int, type);
    QFETCH(int, samples);
    QFETCH(int, repeat);
    QFETCH(bool, list);
    WindowFixture fx;
    TfrmMain &w = openWithList(fx, std::make_shared<ListDialogs>(), list);
    if (type != 2)
        chooseType(w, type);
    if (!list)
        clickRow(w.ListBox2, samples - 1);
    if (!w.ListBox1->isHidden())
        clickRow(w.ListBox1, repeat - 1);
    const JobEditor &job = w.editor();
    QCOMPARE(job.sampleCount, samples);
    const std::optional<ListExtent> extent =
        list ? std::optional<ListExtent>(ListExtent{3, 2}) : std::nullopt;
    QCOMPARE(label(w, "lblJobSummary")->text(),
             summarizeJob(typeOf(type), samples, repeat, 1, extent).text);
}

void TestEntryScreen::bytesCounter_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("typed");
    QTest::newRow("circle, one line") << 1 << "Edit2" << int(TextBoxKind::OneLine) << "AB";
    QTest::newRow("rectangle, second line") << 2 << "Memo8" << int(TextBoxKind::Lines) << "ABC\nD";
    QTest::newRow("tube 72, full width") << 8 << "Memo8" << int(TextBoxKind::Lines) << "あい";
    QTest::newRow("memo, third line") << 3 << "Memo5" << int(TextBoxKind::Memo) << "1\n2\n345";
}

void TestEntryScreen::bytesCounter()
{
    QFETCH(int, type);
    QFETCH(QString, box);
    QFETCH(int, kind);
    QFETCH(QString, typed);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    QWidget *field = w.findChild<QWidget *>(box);
    typeText(field, typed);
    const int line = int(typed.count(QLatin1Char('\n')));
    QLabel *counter = label(w, "lblBytesLeft");
    QVERIFY(!counter->isHidden());
    QCOMPARE(counter->text(),
             bytesLeftText(bytesLeft(TextBoxKind(kind), typeOf(type), typed, line)));
    QVERIFY(counter->x() > field->geometry().right());
}

void TestEntryScreen::listColumnsOnSwitch_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("setAside");
    QTest::newRow("one line: B and C set aside") << 1 << "列 B〜C";
    QTest::newRow("three lines: all printed") << 8 << "";
    QTest::newRow("marker: every column") << 4 << "列 A〜C";
}

void TestEntryScreen::listColumnsOnSwitch()
{
    QFETCH(int, type);
    QFETCH(QString, setAside);
    WindowFixture fx;
    auto dialogs = std::make_shared<ListDialogs>();
    TfrmMain &w = openWithList(fx, dialogs, true);
    const QStringList listed = w.editor().sampleTexts;
    QCOMPARE(listed.size(), 3);
    const QStringList loadQuestions = dialogs->questions;
    chooseType(w, type);
    QCOMPARE(w.editor().sheetType.code(), type);
    QCOMPARE(dialogs->questions, loadQuestions);
    const QString shown = label(w, "lblList")->text();
    QCOMPARE(shown.contains(QStringLiteral("は印刷されません")), !setAside.isEmpty());
    QVERIFY2(shown.contains(setAside), qPrintable(shown));
    // The marker prints none of the list; a type with texts takes it up again.
    QCOMPARE(w.editor().sampleTexts.isEmpty(), type == 4);
    chooseType(w, 2);
    QCOMPARE(w.editor().sampleTexts, listed);
    QCOMPARE(w.editor().sampleCount, 3);
    QVERIFY(dialogs->errors.isEmpty());
}

void TestEntryScreen::continueNumbers_data()
{
    QTest::addColumn<int>("historyType"); // 0: no history
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("shown");
    QTest::newRow("printed 562-573") << 1 << int(JobOutcome::Printed) << true;
    QTest::newRow("waiting in the queue") << 1 << int(JobOutcome::Waiting) << true;
    QTest::newRow("failed: nothing to go on from") << 1 << int(JobOutcome::Failed) << false;
    QTest::newRow("another type's job") << 2 << int(JobOutcome::Printed) << false;
    QTest::newRow("no history") << 0 << int(JobOutcome::Printed) << false;
}

void TestEntryScreen::continueNumbers()
{
    QFETCH(int, historyType);
    QFETCH(int, outcome);
    QFETCH(bool, shown);
    WindowFixture fx;
    fx.writeSettings(WindowFixture::defaultSettings());
    HistoryLocation where;
    QString error;
    QVERIFY(historyLocationForSettings(fx.settingsPath(), &where, &error));
    QString expected;
    LastJob last;
    if (historyType > 0) {
        HistoryStore store;
        QVERIFY2(store.open(where, &error), qPrintable(error));
        HistoryRecord r;
        r.startedUtc = QDateTime::currentDateTimeUtc();
        r.user = QStringLiteral("lab");
        r.sheetType = historyType;
        r.samples = 12;
        r.firstNumber = 562;
        r.nextNumber = 574;
        r.labels = 12;
        r.numberStyle = QStringLiteral("padded");
        r.sampleTexts = QStringList(12, QStringLiteral("S"));
        const qint64 id = store.begin(r, &error);
        QVERIFY2(id > 0 && store.finish(id, JobOutcome(outcome), QString(), 0, &error),
                 qPrintable(error));
        QVERIFY(lastJobOfType(store, typeOf(1), &last, &error));
        expected = lastJobText(last);
    }
    QCOMPARE(expected.isEmpty(), !shown);
    TfrmMain &w = fx.create(nullptr);
    QSignalSpy looked(&w, &TfrmMain::lastJobLooked);
    QLabel *lastJob = label(w, "lblLastJob");
    auto *button = w.findChild<QPushButton *>(QStringLiteral("cmdContinue"));
    if (historyType > 0)
        QVERIFY(looked.wait(10000));
    QCOMPARE(!lastJob->isHidden(), shown);
    QCOMPARE(!button->isHidden(), shown);
    QCOMPARE(w.editor().initialValue, 1);
    if (!shown)
        return;
    QCOMPARE(lastJob->text(), expected);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(w.editor().initialValue, last.nextNumber);
    QCOMPARE(w.ListBox12->currentRow(), last.nextNumber - 1);
}

void TestEntryScreen::menusFit_data()
{
    QTest::addColumn<QString>("action");
    for (const char *name : {"N2", "N3", "N4", "N5", "N6", "mnuPrinterScale", "mnuHistory",
                             "mnuListLoad", "mnuListUnload"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestEntryScreen::menusFit()
{
    QFETCH(QString, action);
    WindowFixture fx;
    TfrmMain &w = fx.create();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *more = w.menuBar()->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button"));
    QVERIFY(!more || more->isHidden());
    auto *wanted = w.findChild<QAction *>(action);
    QVERIFY(wanted);
    // Reached from the bar: on it, or in one of the menus on it.
    bool reached = false;
    for (QAction *top : w.menuBar()->actions()) {
        reached =
            reached || top == wanted || (top->menu() && top->menu()->actions().contains(wanted));
        QVERIFY(w.menuBar()->actionGeometry(top).right() < w.menuBar()->width());
    }
    QVERIFY(reached);
}

void TestEntryScreen::listDialogStartsWithoutName()
{
    QTemporaryDir home;
    QString name = QStringLiteral("?");
    QString folder;
    QTimer::singleShot(200, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name = edit->text();
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    QtDialogs dialogs;
    const QString chosen =
        dialogs.openFileName(nullptr, QStringLiteral("*.csv"), home.filePath("Documents"));
    QVERIFY(chosen.isEmpty());
    QCOMPARE(name, QString());
    QCOMPARE(folder, QDir(home.path()).absolutePath());
}

QTEST_MAIN(TestEntryScreen)
#include "tst_entryscreen.moc"
