// SPDX-License-Identifier: GPL-3.0-or-later
#include "Translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace corvial;

namespace {

// Texts of every push button of the dialog's button boxes, in widget order.
QStringList buttonTexts(const QWidget &dialog)
{
    QStringList out;
    for (const QDialogButtonBox *box : dialog.findChildren<QDialogButtonBox *>()) {
        for (const QAbstractButton *b : box->buttons())
            out << b->text();
    }
    return out;
}

QStringList labelTexts(const QWidget &dialog)
{
    QStringList out;
    for (const QLabel *l : dialog.findChildren<QLabel *>())
        out << l->text();
    return out;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // Runs before anything is installed: a failed load must leave Qt's texts untouched.
    void catalogueUnusable_data();
    void catalogueUnusable();
    void installs();
    void printDialog();
    void messageBoxButtons_data();
    void messageBoxButtons();
    void fileDialog();
    void fontDialog();
};

void TestPlatform::catalogueUnusable_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("no folder") << QByteArray() << false;
    QTest::newRow("no file") << QByteArray() << true;
    QTest::newRow("not a catalogue") << QByteArray("not a Qt message file\n") << true;
}

void TestPlatform::catalogueUnusable()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, folderExists);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.path();
    if (!folderExists)
        folder += QStringLiteral("/missing");
    if (!content.isEmpty()) {
        QFile file(dir.filePath(QStringLiteral("qtbase_ja.qm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(content) == content.size());
    }
    const int translatorsBefore = qApp->findChildren<QTranslator *>().size();

    QString error;
    QVERIFY(!installQtTranslations(*qApp, folder, &error));
    // The user learns which file was missing, in Japanese.
    QVERIFY2(error.contains(QDir::toNativeSeparators(folder + QStringLiteral("/qtbase_ja.qm"))),
             qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("翻訳ファイル")), qPrintable(error));
    QCOMPARE(qApp->findChildren<QTranslator *>().size(), translatorsBefore);
    QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel).buttons().value(0)->text(),
             QStringLiteral("Cancel"));
    // A null error pointer is allowed.
    QVERIFY(!installQtTranslations(*qApp, folder, nullptr));
}

void TestPlatform::installs()
{
    QString error;
    QVERIFY2(installQtTranslations(*qApp, &error), qPrintable(error));
    QVERIFY(error.isEmpty());
}

void TestPlatform::printDialog()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer);
    const QStringList buttons = buttonTexts(dialog);
    QVERIFY2(buttons.contains(QStringLiteral("キャンセル")), qPrintable(buttons.join(u'|')));
    QVERIFY2(buttons.contains(QStringLiteral("印刷(&P)")), qPrintable(buttons.join(u'|')));
    QVERIFY2(!buttons.contains(QStringLiteral("Cancel")), qPrintable(buttons.join(u'|')));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("印刷"));
}

void TestPlatform::messageBoxButtons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << QStringLiteral("キャンセル");
    QTest::newRow("Yes") << int(QMessageBox::Yes) << QStringLiteral("はい(&Y)");
    QTest::newRow("No") << int(QMessageBox::No) << QStringLiteral("いいえ(&N)");
    QTest::newRow("Save") << int(QMessageBox::Save) << QStringLiteral("保存");
    QTest::newRow("Close") << int(QMessageBox::Close) << QStringLiteral("閉じる");
}

void TestPlatform::messageBoxButtons()
{
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Corvial Manager"), QStringLiteral("-"),
                    QMessageBox::StandardButton(button));
    const QAbstractButton *b = box.button(QMessageBox::StandardButton(button));
    QVERIFY(b);
    QCOMPARE(b->text(), text);
}

void TestPlatform::fileDialog()
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList buttons = buttonTexts(dialog);
    QVERIFY2(buttons.contains(QStringLiteral("保存(&S)")), qPrintable(buttons.join(u'|')));
    QVERIFY2(buttons.contains(QStringLiteral("キャンセル")), qPrintable(buttons.join(u'|')));
    const QStringList labels = labelTexts(dialog);
    QVERIFY2(labels.contains(QStringLiteral("ファイル名(&N):")), qPrintable(labels.join(u'|')));
}

void TestPlatform::fontDialog()
{
    QFontDialog dialog;
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    const QStringList buttons = buttonTexts(dialog);
    QVERIFY2(buttons.contains(QStringLiteral("キャンセル")), qPrintable(buttons.join(u'|')));
    const QStringList labels = labelTexts(dialog);
    QVERIFY2(labels.contains(QStringLiteral("フォント(&F)")), qPrintable(labels.join(u'|')));
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
