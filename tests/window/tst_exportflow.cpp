// SPDX-License-Identifier: GPL-3.0-or-later
// Excel from the window: which types export, the save dialog, the overwrite question and the
// report of a failed write.
#include "WindowSupport.h"
#include "export/XlsCrtLibrary.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolButton>

using namespace corvial;

namespace {

TfrmMain &openJob(WindowFixture &fx, int type)
{
    TfrmMain &w = fx.create();
    if (type != 1)
        chooseType(w, type);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    return w;
}

void excel(TfrmMain &w)
{
    QTest::mouseClick(w.cmdExcel, Qt::LeftButton);
}

} // namespace

class TestExportFlow : public QObject
{
    Q_OBJECT

private slots:
    void onlyNumberedTypesExport_data();
    void onlyNumberedTypesExport();
    void cancelWritesNothing();
    void existingFileAsksOnce_data();
    void existingFileAsksOnce();
    void emptyCircleTextBecomesASpace();
    void failedWriteIsReported();
    void overlongProofTextIsRefused_data();
    void overlongProofTextIsRefused();
};

void TestExportFlow::onlyNumberedTypesExport_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("exports");
    for (int t = 1; t <= 10; ++t)
        QTest::newRow(QByteArray::number(t)) << t << isNumberedType(t);
}

void TestExportFlow::onlyNumberedTypesExport()
{
    QFETCH(int, type);
    QFETCH(bool, exports);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, type);
    fx.dialogs->saveName = fx.dir.filePath(QStringLiteral("out"));
    excel(w);
    QCOMPARE(fx.dialogs->saveAsked, exports ? 1 : 0);
    QCOMPARE(fx.xls->created, exports ? 1 : 0);
    if (exports) {
        QCOMPARE(fx.dialogs->lastFilter, QStringLiteral("Excel files (*.xls)"));
        // A name without an extension gets the workbook's, and the status line names the file.
        const QString written = fx.dir.filePath(QStringLiteral("out.xls"));
        QCOMPARE(fx.xls->path, QFile::encodeName(written));
        const auto *line = w.findChild<QStatusBar *>(QStringLiteral("statusLine"));
        QVERIFY(line);
        QVERIFY2(line->currentMessage().contains(QDir::toNativeSeparators(written)),
                 qPrintable(line->currentMessage()));
    }
    QVERIFY(fx.dialogs->errors.isEmpty());
    QVERIFY(fx.dialogs->messages.isEmpty());
    QVERIFY(!w.pnlPrint->isHidden());
}

void TestExportFlow::cancelWritesNothing()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 2);
    fx.dialogs->saveName.clear();
    excel(w);
    QCOMPARE(fx.dialogs->saveAsked, 1);
    QCOMPARE(fx.xls->created, 0);
    QVERIFY(fx.dialogs->questions.isEmpty());
}

void TestExportFlow::existingFileAsksOnce_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void TestExportFlow::existingFileAsksOnce()
{
    QFETCH(bool, yes);
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 5);
    const QString path = fx.dir.filePath(QStringLiteral("book.xls"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    fx.dialogs->saveName = path;
    fx.dialogs->answerYes = yes;
    excel(w);
    QCOMPARE(fx.dialogs->questions,
             QStringList{QStringLiteral("警告|同名のファイルがあります。重ねがきしますか？")});
    QCOMPARE(fx.xls->created, yes ? 1 : 0);
}

void TestExportFlow::emptyCircleTextBecomesASpace()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 1);
    QVERIFY(w.Label7->text().isEmpty());
    fx.dialogs->saveName = fx.dir.filePath(QStringLiteral("c.xls"));
    excel(w);
    QCOMPARE(w.Label7->text(), QStringLiteral(" "));
    QVERIFY(fx.xls->texts.contains(QByteArray(" ")));
}

void TestExportFlow::failedWriteIsReported()
{
    WindowFixture fx;
    TfrmMain &w = openJob(fx, 8);
    fx.dialogs->saveName = fx.dir.filePath(QStringLiteral("t.xls"));
    fx.xls->closeStatus = ENOSPC;
    excel(w);
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QCOMPARE(fx.dialogs->errors.first(), QStringLiteral(u"Excel ファイルを書き込めませんでした: ") +
                                             fx.dialogs->saveName + QLatin1Char('\n') +
                                             QString::fromLocal8Bit(strerror(ENOSPC)));
}

void TestExportFlow::overlongProofTextIsRefused_data()
{
    QTest::addColumn<bool>("realLibrary");
    QTest::addColumn<bool>("existing");
    QTest::newRow("recorded calls") << false << false;
    QTest::newRow("new file") << true << false;
    QTest::newRow("existing file") << true << true;
}

// A proof text edited on the print screen past what a cell holds: one message that names
// the cell, and no workbook, not even an empty one.
void TestExportFlow::overlongProofTextIsRefused()
{
    QFETCH(bool, realLibrary);
    QFETCH(bool, existing);
    WindowFixture fx;
    if (realLibrary)
        fx.library = std::make_shared<XlsCrtLibrary>();
    TfrmMain &w = openJob(fx, 2);
    const QString path = fx.dir.filePath(QStringLiteral("long.xls"));
    if (existing) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    }
    fx.dialogs->saveName = path;
    w.Memo3->setPlainText(QString(32768, QLatin1Char('X')));
    excel(w);
    QCOMPARE(fx.dialogs->errors.size(), 1);
    QVERIFY(fx.dialogs->messages.isEmpty());
    QCOMPARE(fx.dialogs->errors.first(),
             QStringLiteral(u"セル A2 の文字が長すぎるため、Excel ファイルを作成しませんでした: ") +
                 path + QLatin1Char('\n') + QString::fromLocal8Bit(strerror(EMSGSIZE)));
    QCOMPARE(fx.xls->created, 0);
    QFile f(path);
    if (existing) {
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    } else {
        QVERIFY(!f.exists());
    }
    QCOMPARE(QDir(fx.dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
             existing ? 2 : 1); // start.txt (and the old book)
}

QTEST_MAIN(TestExportFlow)
#include "tst_exportflow.moc"
