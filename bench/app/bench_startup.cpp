// SPDX-License-Identifier: GPL-3.0-or-later
// Milliseconds from process start to the main window on screen: our window, set up and linked
// as the program is, against a minimal Qt program (startup_minimal: a main window with a menu
// bar and a list widget, linked to Qt Widgets only), started in turns in the same run under
// the same display, so that the ratio does not depend on the machine. The same minimal window is
// also timed inside this program, which loads all our libraries: the difference to startup_minimal
// is what loading them costs, the rest is our window. Each child reports when its QApplication and
// its window were made and when the window was first exposed, on the monotonic clock the parent
// reads, so the figures include loading the program and its libraries.
#include "ProgramSetup.h"
#include "StartupProbe.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using startupbench::nowMs;

// The window of startup_minimal, made the same way: ten rows, our window's size.
std::unique_ptr<QMainWindow> minimalWindow()
{
    auto w = std::make_unique<QMainWindow>();
    w->menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Quit"));
    auto *list = new QListWidget(w.get());
    for (int i = 0; i < 10; ++i)
        list->addItem(QString::number(i));
    w->setCentralWidget(list);
    w->resize(915, 614);
    return w;
}

// dir empty: the minimal window; otherwise our window over start.txt in dir, set up as the
// program sets it up.
int child(int argc, char **argv, const QString &dir)
{
    QApplication app(argc, argv);
    std::unique_ptr<QMainWindow> w;
    double appMade = 0;
    if (dir.isEmpty()) {
        appMade = nowMs();
        w = minimalWindow();
    } else {
        corvial::setUpWindowProgram(app);
        appMade = nowMs();
        corvial::MainWindowEnvironment env;
        env.appDir = dir;
        w = std::make_unique<corvial::TfrmMain>(env);
    }
    w->winId();
    startupbench::ExposeWatch watch(appMade, nowMs());
    w->windowHandle()->installEventFilter(&watch);
    w->show();
    return app.exec();
}

struct Run
{
    double app = 0;    // process start to QApplication made (and set up)
    double window = 0; // making the window
    double shown = 0;  // process start to the window exposed
};

bool runChild(const QString &program, const QStringList &args, Run *run)
{
    QProcess p;
    const double start = nowMs();
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s %s\n", qPrintable(program), qPrintable(p.errorString()),
                     p.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> t = p.readAllStandardOutput().trimmed().split('\n').value(0).split(' ');
    if (t.size() != 3) {
        std::fprintf(stderr, "%s reported no times\n", qPrintable(program));
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

struct Child
{
    const char *name;
    QString program;
    QStringList args;
    std::vector<Run> runs;

    std::vector<double> shown() const
    {
        std::vector<double> out;
        for (const Run &r : runs)
            out.push_back(r.shown);
        return out;
    }

    void report() const
    {
        std::vector<double> app, window;
        for (const Run &r : runs) {
            app.push_back(r.app);
            window.push_back(r.window);
        }
        const std::vector<double> s = shown();
        std::printf("  %-38s median %6.1f ms (min %6.1f, max %6.1f); QApplication %5.1f ms, "
                    "window made in %5.1f ms\n",
                    name, median(s), *std::min_element(s.begin(), s.end()),
                    *std::max_element(s.begin(), s.end()), median(app), median(window));
    }
};

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

    const QString self = QCoreApplication::applicationFilePath();
    std::array<Child, 3> children{{
        {"our main window", self, {QStringLiteral("--child"), dir.path()}, {}},
        {"minimal window in our program", self, {QStringLiteral("--minimal")}, {}},
        {"minimal program (startup_minimal)",
         QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("startup_minimal")),
         {},
         {}},
    }};

    // One unmeasured start of each reads the libraries into the page cache, so that the first
    // measured run is not the only one that loads them from disk.
    for (const Child &c : children) {
        Run warm;
        if (!runChild(c.program, c.args, &warm))
            return 1;
    }
    constexpr int rounds = 15;
    std::vector<double> ratiosInOurs, ratiosToProgram;
    for (int i = 0; i < rounds; ++i) {
        // Each round starts with another child, evening out a machine that speeds up or slows
        // down while the bench runs.
        for (size_t k = 0; k < children.size(); ++k) {
            Child &c = children[(i + k) % children.size()];
            Run r;
            if (!runChild(c.program, c.args, &r))
                return 1;
            c.runs.push_back(r);
        }
        const double ours = children[0].runs.back().shown;
        ratiosInOurs.push_back(ours / children[1].runs.back().shown);
        ratiosToProgram.push_back(ours / children[2].runs.back().shown);
    }
    std::printf("startup: process start to main window shown, %d rounds (platform %s)\n", rounds,
                qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))
                    .toLocal8Bit()
                    .constData());
    for (const Child &c : children)
        c.report();
    const double oursMedian = median(children[0].shown());
    for (size_t k : {size_t(1), size_t(2)})
        std::printf("  our window against the %s: ratio of medians %.2fx, median of the rounds' "
                    "ratios %.2fx\n",
                    k == 1 ? "minimal window in our program" : "minimal program",
                    oursMedian / median(children[k].shown()),
                    median(k == 1 ? ratiosInOurs : ratiosToProgram));
    return 0;
}
