// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPageLayout>
#include <QPrinter>
#include <QString>
#include <functional>

class QFont;
class QWidget;

namespace corvial {

// A printer choice the user confirmed: where the pages go and how a print dialog set the
// printer up. The window keeps it for the whole run and puts it back on its printer before
// every dialog and preview, since a dialog may change the printer and then be cancelled.
struct PrinterSetup
{
    QPrinter::OutputFormat format = QPrinter::NativeFormat;
    QString printerName; // the queue, for NativeFormat
    QString outputFile;  // the file, for PdfFormat
    QPageLayout pageLayout;
    bool fullPage = false;
    int resolution = 0; // dots per inch; 0 = the printer's own
    int copies = 1;
    bool collate = true;
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    QPrinter::ColorMode colourMode = QPrinter::Color;
    QPrinter::PageOrder pageOrder = QPrinter::FirstPageFirst;
    QPrinter::PaperSource paperSource = QPrinter::Auto;

    // The setup printer is in now.
    static PrinterSetup of(const QPrinter &printer);
    // Puts this setup on *printer: output first, since choosing a queue resets the rest.
    void applyTo(QPrinter *printer) const;
};

// The program's modal conversations with the user, behind one seam so the window's logic
// can be driven without a person in front of it.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A message with one OK button; returns when it is dismissed.
    virtual void message(QWidget *parent, const QString &text) = 0;
    // A failure reported by the platform (file, printer), with one OK button.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // A warning with Yes and No; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &caption, const QString &text) = 0;
    // The printer choice, offered as *printer is set up (a queue, or a PDF file and its
    // name); true when the user confirmed, and *printer is then set up.
    virtual bool choosePrinter(QWidget *parent, QPrinter *printer) = 0;
    // A file-save choice with a Qt name filter; empty when cancelled. Never asks about
    // overwriting: the caller asks once itself.
    virtual QString saveFileName(QWidget *parent, const QString &filter) = 0;
    // The font choice, starting from *font; true and *font replaced when confirmed.
    virtual bool chooseFont(QWidget *parent, QFont *font) = 0;
    // A file-open choice with a Qt name filter, opening in folder; empty when cancelled (and
    // from a seam that offers no files).
    virtual QString openFileName(QWidget *parent, const QString &filter, const QString &folder)
    {
        Q_UNUSED(parent)
        Q_UNUSED(filter)
        Q_UNUSED(folder)
        return QString();
    }
    // A zoomable preview of the pages that paint draws on the printer it is handed (the
    // preview's stand-in for *printer, with the same settings); paint may be called again
    // whenever the preview needs the pages anew. Nothing is printed from it: true when the
    // user asked to print, false when the preview was closed.
    virtual bool previewPages(QWidget *parent, QPrinter *printer,
                              const std::function<void(QPrinter *)> &paint) = 0;
};

// The platform's own dialogs.
class QtDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &caption, const QString &text) override;
    bool choosePrinter(QWidget *parent, QPrinter *printer) override;
    QString saveFileName(QWidget *parent, const QString &filter) override;
    bool chooseFont(QWidget *parent, QFont *font) override;
    QString openFileName(QWidget *parent, const QString &filter, const QString &folder) override;
    bool previewPages(QWidget *parent, QPrinter *printer,
                      const std::function<void(QPrinter *)> &paint) override;
};

} // namespace corvial
