// SPDX-License-Identifier: GPL-3.0-or-later
// Excel from the window: which types export, the save dialog, the overwrite question and the
// report of a failed write.
#include "WindowSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using namespace corvial;
using P = TfrmMainProbe;

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
        // The path is used as the dialog returned it: no extension is added.
        QCOMPARE(fx.xls->path, QFile::encodeName(fx.dir.filePath(QStringLiteral("out"))));
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
    QVERIFY(fx.dialogs->errors.first().contains(QStringLiteral("t.xls")));
    QVERIFY(fx.dialogs->errors.first().contains(QString::fromLocal8Bit(strerror(ENOSPC))));
}

QTEST_MAIN(TestExportFlow)
#include "tst_exportflow.moc"
