// SPDX-License-Identifier: GPL-3.0-or-later
// How soon the print history window opens over a history with 1,000 jobs left waiting in a
// print queue, each of which the look at waiting jobs asks the print server about: from the
// menu action to the window painted, to its first rows and to its last, beside the steps the
// window used to finish before it was shown at all (open the history, look at the waiting
// jobs, list the newest jobs), timed in line on the same history. Medians of alternating
// runs in one process.
#include "Dialogs.h"
#include "HistorySeed.h"
#include "HistoryTableModel.h"
#include "HistoryWindow.h"
#include "TfrmMain.h"
#include "history/WaitingJobs.h"
#include "job/Fonts.h"
#include "print/CupsQueue.h"
#include "sequence/CupsJobLookup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace corvial;

namespace {

constexpr int Runs = 7;
constexpr int WaitingJobs = 1000;
constexpr int SeedSamples = 20;
// Far above the ids a print server has given, so that the server knows none of them and
// every run finds the same 1,000 jobs still waiting.
constexpr int FirstCupsId = 900000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Answers nothing and asks nobody; counts what would have been told.
class QuietDialogs : public Dialogs
{
public:
    int told = 0;
    void message(QWidget *, const QString &) override { ++told; }
    void error(QWidget *, const QString &text) override
    {
        ++told;
        std::fprintf(stderr, "bench_historywindow: %s\n", qPrintable(text));
    }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
    bool choosePrinter(QWidget *, QPrinter *) override { return false; }
    QString saveFileName(QWidget *, const QString &) override { return QString(); }
    bool chooseFont(QWidget *, QFont *) override { return false; }
    bool previewPages(QWidget *, QPrinter *, const std::function<void(QPrinter *)> &) override
    {
        return false;
    }
};

bool seedWaiting(const HistoryLocation &where, const QString &queue)
{
    HistoryStore store;
    QString error;
    if (!store.open(where, &error)) {
        std::fprintf(stderr, "bench_historywindow: %s\n", qPrintable(error));
        return false;
    }
    const QString host = recordHostName();
    const QString server = cupsServerName();
    return bench::seedJobs(store, WaitingJobs, SeedSamples, JobOutcome::Waiting,
                           [&](int i, HistoryRecord *r, int *cupsJobId) {
                               r->queue = queue;
                               r->pdfPath.clear();
                               r->host = host;
                               r->cupsServer = server;
                               *cupsJobId = FirstCupsId + i;
                           });
}

// What the window waited for before it was built and shown.
double inlineMs(const HistoryLocation &where, bool *ok)
{
    QElapsedTimer timer;
    timer.start();
    HistoryStore store;
    QString error;
    QList<HistoryEntry> found;
    bool done = store.open(where, &error);
    if (done) {
        // What the look found is not needed here; that it ran is what is timed.
        recheckWaitingJobs(store, recordHostName(), cupsServerName(), &cupsJobLooks);
        done = store.entries(HistoryFilter(), &found, &error);
        HistoryTableModel model;
        model.setEntries(found);
    }
    if (!done)
        std::fprintf(stderr, "bench_historywindow: %s\n", qPrintable(error));
    *ok = done && *ok;
    return msSince(timer);
}

// Notes when a widget of the history window is first painted.
class PaintWatch : public QObject
{
public:
    const QElapsedTimer *timer = nullptr;
    double paintedMs = -1;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(object);
        if (paintedMs < 0 && event->type() == QEvent::Paint && widget &&
            qobject_cast<HistoryWindow *>(widget->window()))
            paintedMs = msSince(*timer);
        return false;
    }
};

struct Opening
{
    double returnedMs = -1, paintedMs = -1, firstRowsMs = -1, lastRowsMs = -1;
};

Opening openFromMenu(TfrmMain &w, bool *ok)
{
    Opening o;
    QElapsedTimer timer;
    PaintWatch watch;
    watch.timer = &timer;
    qApp->installEventFilter(&watch);
    timer.start();
    w.mnuHistory->trigger();
    o.returnedMs = msSince(timer);
    auto *h = w.findChild<HistoryWindow *>();
    if (!h || !h->isVisible()) {
        std::fprintf(stderr, "bench_historywindow: the menu opened no window\n");
        *ok = false;
        return o;
    }
    QEventLoop loop;
    QObject::connect(h->model(), &QAbstractItemModel::rowsInserted, &loop, [&] {
        if (o.firstRowsMs < 0)
            o.firstRowsMs = msSince(timer);
    });
    QObject::connect(h, &HistoryWindow::loadEnded, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (h->isLoading())
        loop.exec();
    o.lastRowsMs = msSince(timer);
    QCoreApplication::processEvents(); // a paint not yet made when the rows came
    o.paintedMs = watch.paintedMs;
    qApp->removeEventFilter(&watch);
    *ok = !h->isLoading() && h->model()->rowCount() > 0 && *ok;
    h->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installJapaneseFontSubstitutions();
    QTemporaryDir dir;
    QFile start(dir.filePath(QStringLiteral("start.txt")));
    if (!dir.isValid() || !start.open(QIODevice::WriteOnly) ||
        start.write("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n") < 0) {
        std::fprintf(stderr, "bench_historywindow: no start.txt could be written\n");
        return 1;
    }
    start.close();
    HistoryLocation where;
    QString error;
    if (!historyLocationForSettings(start.fileName(), &where, &error)) {
        std::fprintf(stderr, "bench_historywindow: %s\n", qPrintable(error));
        return 1;
    }
    const QString queue = qEnvironmentVariable("CORVIAL_CUPS_QUEUE", QStringLiteral("CorvialPDF"));
    if (!seedWaiting(where, queue))
        return 1;

    auto dialogs = std::make_shared<QuietDialogs>();
    MainWindowEnvironment env;
    env.appDir = dir.path();
    env.dialogs = dialogs;
    TfrmMain w(env);
    w.show();
    QCoreApplication::processEvents();
    bool ok = true;
    openFromMenu(w, &ok); // fonts, styles and the driver loaded once
    inlineMs(where, &ok);
    std::vector<double> before, returned, painted, first, last;
    for (int i = 0; i < Runs && ok; ++i) {
        before.push_back(inlineMs(where, &ok));
        const Opening o = openFromMenu(w, &ok);
        returned.push_back(o.returnedMs);
        painted.push_back(o.paintedMs);
        first.push_back(o.firstRowsMs);
        last.push_back(o.lastRowsMs);
    }
    if (!ok)
        return 1;
    std::printf("(d) history window over %d jobs waiting on queue %s, median of %d:\n"
                "    before (opened, looked at, listed in line, then shown): %.1f ms before "
                "the window could show\n"
                "    now: menu returned %.1f ms, window painted %.1f ms, first rows %.1f ms, "
                "all rows and the look %.1f ms\n",
                WaitingJobs, qPrintable(queue), Runs, median(before), median(returned),
                median(painted), median(first), median(last));
    return 0;
}
