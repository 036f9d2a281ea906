// SPDX-License-Identifier: GPL-3.0-or-later
// Milliseconds from process start to the main window on screen, for our window and for a
// minimal Qt main window (a menu bar and a list widget) started the same way in the same run,
// so that the ratio does not depend on the machine or the display. The parent starts this
// program again as a child, alternating the two windows; each child reports the moment its
// window is first exposed, and the moments its QApplication and its window were made. Both
// read the same monotonic clock, so the figures include loading the program and its
// libraries. Both children set up the application alike (Japanese font substitutions and a
// Japanese menu title), so the pair differs only in the window.
#include "TfrmMain.h"
#include "job/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

class ExposeWatch : public QObject
{
public:
    explicit ExposeWatch(double appMade, double windowMade)
        : mAppMade(appMade), mWindowMade(windowMade)
    {
    }

    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (!mSeen && e->type() == QEvent::Expose && static_cast<QWindow *>(o)->isExposed()) {
            mSeen = true;
            std::printf("%.3f %.3f %.3f\n", mAppMade, mWindowMade, nowMs());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    double mAppMade;
    double mWindowMade;
    bool mSeen = false;
};

std::unique_ptr<QMainWindow> minimalWindow()
{
    auto w = std::make_unique<QMainWindow>();
    w->menuBar()->addMenu(QStringLiteral("ファイル"))->addAction(QStringLiteral("終了"));
    auto *list = new QListWidget(w.get());
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    w->setCentralWidget(list);
    w->resize(400, 300);
    return w;
}

// dir empty: the minimal window; otherwise our window over start.txt in dir.
int child(int argc, char **argv, const QString &dir)
{
    QApplication app(argc, argv);
    corvial::installJapaneseFontSubstitutions();
    const double appMade = nowMs();
    std::unique_ptr<QMainWindow> w;
    if (dir.isEmpty()) {
        w = minimalWindow();
    } else {
        corvial::MainWindowEnvironment env;
        env.appDir = dir;
        w = std::make_unique<corvial::TfrmMain>(env);
    }
    w->winId();
    ExposeWatch watch(appMade, nowMs());
    w->windowHandle()->installEventFilter(&watch);
    w->show();
    return app.exec();
}

struct Run
{
    double app = 0;    // process start to QApplication made
    double window = 0; // making the window
    double shown = 0;  // process start to the window exposed
};

bool runChild(const QStringList &args, Run *run)
{
    QProcess p;
    const double start = nowMs();
    p.start(QCoreApplication::applicationFilePath(), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> t = p.readAllStandardOutput().trimmed().split('\n').value(0).split(' ');
    if (t.size() != 3) {
        std::fprintf(stderr, "child reported no times\n");
        return false;
    }
    run->app = t[0].toDouble() - start;
    run->window = t[1].toDouble() - t[0].toDouble();
    run->shown = t[2].toDouble() - start;
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void report(const char *name, const std::vector<Run> &runs)
{
    std::vector<double> app, window, shown;
    for (const Run &r : runs) {
        app.push_back(r.app);
        window.push_back(r.window);
        shown.push_back(r.shown);
    }
    std::printf("  %-26s median %6.1f ms (min %6.1f, max %6.1f); of which QApplication %5.1f ms, "
                "making the window %5.1f ms\n",
                name, median(shown), *std::min_element(shown.begin(), shown.end()),
                *std::max_element(shown.begin(), shown.end()), median(app), median(window));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && QByteArray(argv[1]) == "--minimal")
        return child(argc, argv, QString());

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile settings(QDir(dir.path()).filePath(QStringLiteral("start.txt")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n");
    settings.close();

    // One unmeasured start of each loads the libraries into the page cache, so that the first
    // measured run is not the only one that reads them from disk.
    constexpr int runs = 15;
    const QStringList ourArgs{QStringLiteral("--child"), dir.path()};
    const QStringList minimalArgs{QStringLiteral("--minimal")};
    Run warm;
    if (!runChild(ourArgs, &warm) || !runChild(minimalArgs, &warm))
        return 1;
    std::vector<Run> ours(runs), minimal(runs);
    std::vector<double> ratios;
    for (int i = 0; i < runs; ++i) {
        // Alternating which goes first evens out a machine that speeds up or slows down.
        const bool oursFirst = i % 2 == 0;
        if (!runChild(oursFirst ? ourArgs : minimalArgs, oursFirst ? &ours[i] : &minimal[i]) ||
            !runChild(oursFirst ? minimalArgs : ourArgs, oursFirst ? &minimal[i] : &ours[i]))
            return 1;
        ratios.push_back(ours[i].shown / minimal[i].shown);
    }
    std::printf("startup: process start to main window shown, %d paired runs (platform %s)\n", runs,
                qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))
                    .toLocal8Bit()
                    .constData());
    report("our main window", ours);
    report("minimal menu + list window", minimal);
    std::vector<double> oursShown, minimalShown;
    for (int i = 0; i < runs; ++i) {
        oursShown.push_back(ours[i].shown);
        minimalShown.push_back(minimal[i].shown);
    }
    std::printf("  ratio of medians %.2fx, median of paired ratios %.2fx\n",
                median(oursShown) / median(minimalShown), median(ratios));
    return 0;
}
