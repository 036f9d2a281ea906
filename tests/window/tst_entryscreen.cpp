// SPDX-License-Identifier: GPL-3.0-or-later
// The entry screen's lines: the job's size, the room left in the text box, a list's columns
// across a type switch, the last job's numbers from the history, and the menus reaching it all.
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
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

using namespace corvial;

namespace {

// Offers a list file of three samples in three columns; the heading question is answered no.
struct ListDialogs : FakeDialogs
{
    QString offered;
    QString openFileName(QWidget *, const QString &, const QString &) override { return offered; }
};

// The window on sheet type 2, with that list loaded when withList.
TfrmMain &openOnType2(WindowFixture &fx, bool withList)
{
    auto dialogs = std::make_shared<ListDialogs>();
    dialogs->answerYes = false;
    dialogs->offered = fx.dir.filePath(QStringLiteral("list.csv"));
    QFile f(dialogs->offered);
    if (f.open(QIODevice::WriteOnly))
        f.write("AB,x,1\nCD,y,2\nEF,z,3\n");
    f.close();
    fx.dialogs = dialogs;
    TfrmMain &w = fx.create();
    chooseType(w, 2);
    if (withList) {
        w.findChild<QAction *>(QStringLiteral("mnuListLoad"))->trigger();
        // The list is read away from the window's thread; the callers check what it set.
        idle(w);
    }
    return w;
}

QString labelText(TfrmMain &w, const char *name)
{
    auto *l = w.findChild<QLabel *>(QLatin1String(name));
    return l && !l->isHidden() ? l->text() : QString();
}

} // namespace

class TestEntryScreen : public QObject
{
    Q_OBJECT

private slots:
    void summaryLine_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<bool>("list");
        QTest::newRow("circle 30 x 1") << 1 << 30 << 1 << false;
        QTest::newRow("rectangle 100 x 5, too many") << 2 << 100 << 5 << false;
        QTest::newRow("list of 3, 2 each") << 2 << 3 << 2 << true;
    }
    void summaryLine()
    {
        QFETCH(int, type);
        QFETCH(int, samples);
        QFETCH(int, repeat);
        QFETCH(bool, list);
        WindowFixture fx;
        TfrmMain &w = openOnType2(fx, list);
        if (type != 2)
            chooseType(w, type);
        if (!list)
            clickRow(w.ListBox2, samples - 1);
        clickRow(w.ListBox1, repeat - 1);
        QCOMPARE(w.editor().sampleCount, samples);
        const auto extent = list ? std::optional<ListExtent>({3, 2}) : std::nullopt;
        QCOMPARE(labelText(w, "lblJobSummary"),
                 summarizeJob(typeOf(type), samples, repeat, 1, extent).text);
    }

    void bytesCounter_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("typed");
        QTest::newRow("one line") << 1 << "Edit2" << int(TextBoxKind::OneLine) << "AB";
        QTest::newRow("lines, second") << 8 << "Memo8" << int(TextBoxKind::Lines) << "A\nあい";
        QTest::newRow("memo, third") << 3 << "Memo5" << int(TextBoxKind::Memo) << "1\n2\n345";
    }
    void bytesCounter()
    {
        QFETCH(int, type);
        QFETCH(QString, box);
        QFETCH(int, kind);
        QFETCH(QString, typed);
        WindowFixture fx;
        TfrmMain &w = fx.create();
        chooseType(w, type);
        QWidget *field = w.findChild<QWidget *>(box);
        typeText(field, typed);
        const int line = int(typed.count(QLatin1Char('\n')));
        QCOMPARE(labelText(w, "lblBytesLeft").simplified(),
                 bytesLeftText(bytesLeft(TextBoxKind(kind), typeOf(type), typed, line)));
        QVERIFY(w.findChild<QLabel *>(QStringLiteral("lblBytesLeft"))->x() >
                field->geometry().right());
    }

    void listColumnsOnSwitch_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("setAside");
        QTest::newRow("one line: B and C set aside") << 1 << "列 B〜C は印刷されません";
        QTest::newRow("marker: every column") << 4 << "列 A〜C は印刷されません";
    }
    void listColumnsOnSwitch()
    {
        QFETCH(int, type);
        QFETCH(QString, setAside);
        WindowFixture fx;
        TfrmMain &w = openOnType2(fx, true);
        const QStringList listed = w.editor().sampleTexts;
        const QStringList asked = fx.dialogs->questions;
        chooseType(w, type);
        QCOMPARE(w.editor().sheetType.code(), type);
        QCOMPARE(fx.dialogs->questions, asked);
        QVERIFY2(labelText(w, "lblList").contains(setAside), qPrintable(labelText(w, "lblList")));
        // The marker prints none of the list; a type with texts takes it up again.
        QCOMPARE(w.editor().sampleTexts.isEmpty(), type == 4);
        chooseType(w, 2);
        QCOMPARE(w.editor().sampleTexts, listed);
        QCOMPARE(w.editor().sampleCount, 3);
        QVERIFY(fx.dialogs->errors.isEmpty());
    }

    void continueNumbers_data()
    {
        QTest::addColumn<int>("historyType"); // 0: no history
        QTest::addColumn<int>("outcome");
        QTest::newRow("printed 562-573") << 1 << int(JobOutcome::Printed);
        QTest::newRow("failed: nothing to go on from") << 1 << int(JobOutcome::Failed);
        QTest::newRow("another type's job") << 2 << int(JobOutcome::Printed);
        QTest::newRow("no history") << 0 << 0;
    }
    void continueNumbers()
    {
        QFETCH(int, historyType);
        QFETCH(int, outcome);
        WindowFixture fx;
        fx.writeSettings(WindowFixture::defaultSettings());
        HistoryLocation where;
        QString error;
        QVERIFY(historyLocationForSettings(fx.settingsPath(), &where, &error));
        LastJob last;
        if (historyType > 0) {
            HistoryStore store;
            QVERIFY2(store.open(where, &error), qPrintable(error));
            HistoryRecord r;
            r.startedUtc = QDateTime::currentDateTimeUtc();
            r.sheetType = historyType;
            r.samples = r.labels = 12;
            r.firstNumber = 562;
            r.nextNumber = 574;
            r.numberStyle = QStringLiteral("padded");
            r.sampleTexts = QStringList(12, QStringLiteral("S"));
            const qint64 id = store.begin(r, &error);
            QVERIFY2(id > 0 && store.finish(id, JobOutcome(outcome), {}, 0, &error),
                     qPrintable(error));
            QVERIFY(lastJobOfType(store, typeOf(1), &last, &error));
        }
        const bool shown = !lastJobText(last).isEmpty();
        QCOMPARE(shown, historyType == 1 && outcome == int(JobOutcome::Printed));
        TfrmMain &w = fx.create(nullptr);
        QSignalSpy looked(&w, &TfrmMain::lastJobLooked);
        QVERIFY(looked.wait(10000));
        auto *button = w.findChild<QPushButton *>(QStringLiteral("cmdContinue"));
        QCOMPARE(labelText(w, "lblLastJob"), lastJobText(last));
        QCOMPARE(!button->isHidden(), shown);
        QCOMPARE(w.editor().initialValue, 1);
        if (shown) {
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(w.editor().initialValue, last.nextNumber);
            QCOMPARE(w.ListBox12->currentRow(), last.nextNumber - 1);
        }
    }

    void menusFit_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *name : {"N2", "N3", "N4", "N5", "N6", "mnuPrinterScale", "mnuHistory",
                                 "mnuListLoad", "mnuListUnload"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void menusFit()
    {
        QFETCH(QString, action);
        WindowFixture fx;
        TfrmMain &w = fx.create();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *more = w.menuBar()->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button"));
        QVERIFY(!more || more->isHidden());
        QAction *wanted = w.findChild<QAction *>(action);
        bool reached = false;
        for (QAction *top : w.menuBar()->actions())
            reached = reached || top == wanted ||
                      (top->menu() && top->menu()->actions().contains(wanted));
        QVERIFY(wanted && reached);
    }

    // A documents folder that does not exist must not turn into the file name.
    void listDialogStartsWithoutName()
    {
        QTemporaryDir home;
        QString name = QStringLiteral("?"), folder;
        QTimer::singleShot(200, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
                folder = dialog->directory().absolutePath();
                dialog->reject();
            }
        });
        QtDialogs dialogs;
        QVERIFY(dialogs.openFileName(nullptr, QStringLiteral("*.csv"), home.filePath("Documents"))
                    .isEmpty());
        QCOMPARE(name, QString());
        QCOMPARE(folder, QDir(home.path()).absolutePath());
    }
};

QTEST_MAIN(TestEntryScreen)
#include "tst_entryscreen.moc"
