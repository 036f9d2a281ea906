// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "../support/RecordingCanvas.h"
#include "Controls.h"
#include "Dialogs.h"
#include "TfrmMain.h"
#include "export/XlsApi.h"
#include "history/HistoryStore.h"

#include <QFile>
#include <QFont>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace corvial {

// Dialog answers scripted by the test, and a record of what was asked.
class FakeDialogs : public Dialogs
{
public:
    QStringList messages;
    QStringList errors;
    QStringList questions;
    bool answerYes = true;
    bool printerAccepted = true;
    int printerAsked = 0;
    QString saveName;
    int saveAsked = 0;
    QString lastFilter;
    bool fontAccepted = true;
    QFont fontToChoose;
    QFont fontOffered;
    int fontAsked = 0;

    void message(QWidget *, const QString &text) override { messages << text; }
    void error(QWidget *, const QString &text) override { errors << text; }
    bool askYesNo(QWidget *, const QString &caption, const QString &text) override
    {
        questions << caption + QLatin1Char('|') + text;
        return answerYes;
    }
    QList<QPrinter *> printersOffered;
    // Where the printer of each print dialog and preview wrote when it was offered, in order.
    struct Offer
    {
        QPrinter::OutputFormat format;
        QString file;
        QString name;
    };
    QList<Offer> offers;
    void noteOffer(const QPrinter *printer)
    {
        offers << Offer{printer->outputFormat(), printer->outputFileName(), printer->printerName()};
    }
    bool choosePrinter(QWidget *, QPrinter *printer) override
    {
        ++printerAsked;
        printersOffered << printer;
        noteOffer(printer);
        return printerAccepted;
    }
    QString saveFileName(QWidget *, const QString &filter) override
    {
        ++saveAsked;
        lastFilter = filter;
        return saveName;
    }
    bool chooseFont(QWidget *, QFont *font) override
    {
        ++fontAsked;
        fontOffered = *font;
        if (fontAccepted)
            *font = fontToChoose;
        return fontAccepted;
    }
    // The preview draws its pages previewPaints times (a real one redraws after a page
    // set-up change), then closes, asking for Print when previewPrintWanted.
    QList<QPrinter *> previewPrinters;
    int previewPaints = 1;
    bool previewPrintWanted = false;
    bool previewPages(QWidget *, QPrinter *printer,
                      const std::function<void(QPrinter *)> &paint) override
    {
        previewPrinters << printer;
        noteOffer(printer);
        for (int i = 0; i < previewPaints; ++i)
            paint(printer);
        return previewPrintWanted;
    }
};

// The window's print dialog, answered with "Print to File": a PDF of the whole A4 sheet
// without margins at dpi, as the batch printer writes one.
class PdfDialogs : public FakeDialogs
{
public:
    QString pdfPath;
    int dpi = 600;
    bool choosePrinter(QWidget *, QPrinter *printer) override
    {
        noteOffer(printer);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfPath);
        printer->setResolution(dpi);
        printer->setFullPage(true);
        printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                           QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
        return true;
    }
};

// A workbook library that only counts what it is asked, for window-level export tests.
class CountingXls : public XlsApi
{
public:
    int created = 0;
    QByteArray path;
    QList<QByteArray> texts;
    int32_t closeStatus = 0;

    int32_t XlsCreateBook(const QByteArray &p, int32_t, int32_t, int32_t *handle) override
    {
        ++created;
        path = p;
        if (handle)
            *handle = 1;
        return 0;
    }
    int32_t POS2(int32_t c, int32_t r, int32_t, int32_t) override { return r * 256 + c; }
    int32_t POS(int32_t c, int32_t r, int32_t, int32_t) override { return r * 256 + c; }
    void XlsPutStr(const QByteArray &text, int32_t) override { texts << text; }
    void XlsPutRowHeight(double, int32_t) override {}
    void XlsPutLineTop(int32_t, int32_t) override {}
    void XlsPutLineBottom(int32_t, int32_t) override {}
    void XlsPutLineLeft(int32_t, int32_t) override {}
    void XlsPutLineRight(int32_t, int32_t) override {}
    void XlsPutColWidth(int32_t, int32_t) override {}
    void XlsPutFontColor(int32_t, int32_t) override {}
    void XlsPutBackColor(int32_t, int32_t) override {}
    int32_t XlsCloseBook(int32_t) override { return closeStatus; }
    int32_t XlsFirstRefusal(int32_t *operation, int32_t *column, int32_t *row) override
    {
        *operation = 0;
        *column = *row = -1;
        return 0;
    }
};

// Hands the window a canvas that draws into one the test keeps, so the recording outlives
// the print.
class ForwardingCanvas : public PageCanvas
{
public:
    explicit ForwardingCanvas(PageCanvas &target) : mTarget(target) {}
    int resolutionX() const override { return mTarget.resolutionX(); }
    int resolutionY() const override { return mTarget.resolutionY(); }
    bool beginDocument() override { return mTarget.beginDocument(); }
    bool newPage() override { return mTarget.newPage(); }
    bool endDocument() override { return mTarget.endDocument(); }
    void setPen(int w, ColourValue c) override { mTarget.setPen(w, c); }
    void setSolidBrush(ColourValue c) override { mTarget.setSolidBrush(c); }
    void clearBrush() override { mTarget.clearBrush(); }
    void ellipse(int a, int b, int c, int d) override { mTarget.ellipse(a, b, c, d); }
    void rectangle(int a, int b, int c, int d) override { mTarget.rectangle(a, b, c, d); }
    void line(int a, int b, int c, int d) override { mTarget.line(a, b, c, d); }
    void fillRectangles(const QVector<QRect> &r, ColourValue c) override
    {
        mTarget.fillRectangles(r, c);
    }
    void setFont(const QFont &f) override { mTarget.setFont(f); }
    void setFontSize(int p) override { mTarget.setFontSize(p); }
    void setFontColour(ColourValue c) override { mTarget.setFontColour(c); }
    void textOut(int x, int y, const QString &t) override { mTarget.textOut(x, y, t); }
    int textWidth(const QString &t) const override { return mTarget.textWidth(t); }
    QString errorString() const override { return mTarget.errorString(); }

private:
    PageCanvas &mTarget;
};

// A program folder with a start.txt, and a main window created on it with fakes.
struct WindowFixture
{
    QTemporaryDir dir;
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    std::shared_ptr<CountingXls> xls = std::make_shared<CountingXls>();
    std::shared_ptr<XlsApi> library;  // when set, the window exports through this instead
    RecordingCanvas canvas{300, 300}; // what every print of the window draws
    int canvasesMade = 0;
    bool realPrinter = false; // true: the window prints through its own printer canvas
    std::function<JobPhaseLookup> jobLookup; // what the window learns of queued jobs
    std::unique_ptr<TfrmMain> window;

    static QByteArray defaultSettings()
    {
        return "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n";
    }

    QString settingsPath() const { return dir.filePath(QStringLiteral("start.txt")); }

    void writeSettings(const QByteArray &content) const
    {
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QByteArray readSettings() const
    {
        QFile f(settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Creates the window; with settings == nullptr no start.txt is written.
    TfrmMain &create(const char *settings = "10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n")
    {
        if (settings)
            writeSettings(QByteArray(settings));
        MainWindowEnvironment env;
        env.appDir = dir.path();
        env.dialogs = dialogs;
        env.workbook = library ? library : std::shared_ptr<XlsApi>(xls);
        env.today = [] { return QDate(2026, 12, 7); };
        if (!realPrinter) {
            env.canvasFactory = [this](QPrinter *) -> std::unique_ptr<PageCanvas> {
                ++canvasesMade;
                return std::make_unique<ForwardingCanvas>(canvas);
            };
        }
        env.jobLookup = jobLookup;
        window = std::make_unique<TfrmMain>(env);
        return *window;
    }
};

// Types text key by key as a keyboard (or an input method, for Japanese) delivers it;
// "\n" is the Return key.
inline void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(w, Qt::Key_Return);
        else if (c.unicode() < 0x80)
            QTest::keyClick(w, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Chooses a sheet type as a user does: a click on its radio button.
inline void chooseType(TfrmMain &w, int type)
{
    QTest::mouseClick(w.findChild<QRadioButton *>(QLatin1String(sheetTypeRadioName(type))),
                      Qt::LeftButton);
}

// Selects row in a list box as a user does: a click on the item.
inline void clickRow(ChoiceList *list, int row)
{
    const ChoiceListItem item = list->item(row);
    QVERIFY(item);
    list->scrollToItem(item);
    const QRect r = list->visualItemRect(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

// start.txt with every family at no offset and position 1, but `family` at `start`; lineEnd
// LF instead of the program's CR LF makes any rewrite of the file show.
inline QByteArray settingsWithStart(int family, int start, const char *lineEnd = "\r\n")
{
    QByteArray out;
    for (int f = 1; f <= 4; ++f)
        out += "10,10," + QByteArray::number(f == family ? start : 1) + lineEnd;
    return out + lineEnd;
}

// Waits, handling events as the program's loop does, until the print or the list read the
// window runs has ended; false when it still runs after timeoutMs.
inline bool idle(TfrmMain &w, int timeoutMs = 30000)
{
    return QTest::qWaitFor([&w] { return !w.isBusy(); }, timeoutMs);
}

// The jobs of the history beside the fixture's start.txt, oldest first; a failure is warned.
inline QList<HistoryEntry> historyOf(const WindowFixture &fx)
{
    HistoryLocation where;
    where.filePath = fx.dir.filePath(QStringLiteral("history.sqlite"));
    HistoryStore store;
    QList<HistoryEntry> entries;
    QString error;
    if (!store.open(where, &error) || !store.entries(HistoryFilter(), &entries, &error))
        qWarning("%s", qPrintable(error));
    return entries;
}

// Presses Print as a user does and waits until the print has ended.
inline void pressPrint(TfrmMain &w)
{
    QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
    QVERIFY(idle(w));
}

// A window whose print screen shows samples x repeat labels of the type from position s.
inline TfrmMain &openJob(WindowFixture &fx, int type, int samples, int repeat, int s,
                         const char *lineEnd = "\r\n")
{
    TfrmMain &w = fx.create(settingsWithStart(FamilyOfType(type), s, lineEnd).constData());
    if (type != 1)
        chooseType(w, type);
    clickRow(w.ListBox2, samples - 1);
    if (repeat > 1)
        clickRow(w.ListBox1, repeat - 1);
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    return w;
}

} // namespace corvial
