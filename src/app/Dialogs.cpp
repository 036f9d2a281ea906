// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

namespace corvial {

namespace {

const char *const kTitle = "Corvial Manager";

// The platform's print dialog opens on a printer queue whatever it is handed: building it
// renames the printer to a queue, and its "Print to File (PDF)" entry only appears once it is
// shown. A user who wrote a PDF last would send the next job to that queue by pressing Print
// out of habit, so the file entry and file are chosen again on showing, and the settings the
// queue replaced are put back.
class OfferingPrintDialog : public QPrintDialog
{
public:
    OfferingPrintDialog(QPrinter *printer, const PrinterSetup &offered, QWidget *parent)
        : QPrintDialog(printer, parent), mOffered(offered)
    {
    }

    void setVisible(bool visible) override
    {
        QPrintDialog::setVisible(visible);
        if (visible && !mOfferMade) {
            mOfferMade = true;
            offerFile();
        }
    }

private:
    void offerFile()
    {
        if (mOffered.format != QPrinter::PdfFormat)
            return;
        // The dialog's own widgets, by the names its form gives them; a dialog without them
        // (another platform) is left as it opened.
        auto *printers = findChild<QComboBox *>(QStringLiteral("printers"));
        auto *file = findChild<QLineEdit *>(QStringLiteral("filename"));
        const int entry = printers ? printers->findText(tr("Print to File (PDF)")) : -1;
        if (entry < 0 || !file)
            return;
        printers->setCurrentIndex(entry);
        file->setText(QDir::toNativeSeparators(mOffered.outputFile));
        mOffered.applyTo(printer());
    }

    PrinterSetup mOffered;
    bool mOfferMade = false;
};

} // namespace

PrinterSetup PrinterSetup::of(const QPrinter &printer)
{
    PrinterSetup s;
    s.format = printer.outputFormat();
    s.printerName = printer.printerName();
    s.outputFile = printer.outputFileName();
    s.pageLayout = printer.pageLayout();
    s.fullPage = printer.fullPage();
    s.resolution = printer.resolution();
    s.copies = printer.copyCount();
    s.collate = printer.collateCopies();
    s.duplex = printer.duplex();
    s.colourMode = printer.colorMode();
    s.pageOrder = printer.pageOrder();
    s.paperSource = printer.paperSource();
    return s;
}

void PrinterSetup::applyTo(QPrinter *printer) const
{
    printer->setOutputFormat(format);
    if (format == QPrinter::NativeFormat) {
        printer->setPrinterName(printerName);
        printer->setOutputFileName(QString());
    } else {
        printer->setOutputFileName(outputFile);
    }
    printer->setPageLayout(pageLayout);
    printer->setFullPage(fullPage);
    if (resolution > 0)
        printer->setResolution(resolution);
    printer->setCopyCount(copies);
    printer->setCollateCopies(collate);
    printer->setDuplex(duplex);
    printer->setColorMode(colourMode);
    printer->setPageOrder(pageOrder);
    printer->setPaperSource(paperSource);
}

void QtDialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Information, QLatin1String(kTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QLatin1String(kTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

namespace {

bool askYesNoWithDefault(QWidget *parent, const QString &caption, const QString &text,
                         bool yesByDefault)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace

bool QtDialogs::askYesNo(QWidget *parent, const QString &caption, const QString &text)
{
    return askYesNoWithDefault(parent, caption, text, true);
}

bool QtDialogs::askYesNoDefaultNo(QWidget *parent, const QString &caption, const QString &text)
{
    return askYesNoWithDefault(parent, caption, text, false);
}

bool QtDialogs::choosePrinter(QWidget *parent, QPrinter *printer)
{
    // Taken before the dialog is built: building it already changes the printer.
    OfferingPrintDialog dialog(printer, PrinterSetup::of(*printer), parent);
    return dialog.exec() == QDialog::Accepted;
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::openFileName(QWidget *parent, const QString &filter, const QString &folder)
{
    // The dialog takes a path that is no folder for a file to select and writes its last
    // part into the name box ("Documents" in a home without that folder). It starts in the
    // nearest folder that exists instead, with the name box empty.
    QString start = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo(start).isDir() && QFileInfo(start).absolutePath() != start)
        start = QFileInfo(start).absolutePath();
    return QFileDialog::getOpenFileName(parent, QString(), start, filter);
}

bool QtDialogs::chooseFont(QWidget *parent, QFont *font)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, *font, parent);
    if (ok)
        *font = chosen;
    return ok;
}

bool QtDialogs::previewPages(QWidget *parent, QPrinter *printer,
                             const std::function<void(QPrinter *)> &paint)
{
    QPrintPreviewDialog dialog(printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter *target) { paint(target); });
    // The preview's own print button would print behind the program's back: no start
    // position or number would move on. It only closes the preview and asks for Print.
    bool printWanted = false;
    const QString printText = QCoreApplication::translate("QPrintPreviewDialog", "Print");
    for (QAction *action : dialog.findChildren<QAction *>()) {
        if (action->text() != printText)
            continue;
        QObject::disconnect(action, nullptr, &dialog, nullptr);
        QObject::connect(action, &QAction::triggered, &dialog, [&dialog, &printWanted] {
            printWanted = true;
            dialog.accept();
        });
    }
    dialog.exec();
    return printWanted;
}

} // namespace corvial
