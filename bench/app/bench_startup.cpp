// SPDX-License-Identifier: GPL-3.0-or-later
// Milliseconds from process start to the main window on screen. The parent starts this
// program again as a child, which builds the real main window (filling its 9,990 + 400 list
// items) and reports the moment the window is first exposed; both read the same monotonic
// clock, so the figure includes loading the program and its libraries.
#include "TfrmMain.h"
#include "job/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
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
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (!mSeen && e->type() == QEvent::Expose && static_cast<QWindow *>(o)->isExposed()) {
            mSeen = true;
            std::printf("%.3f\n", nowMs());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    bool mSeen = false;
};

int child(int argc, char **argv, const QString &dir)
{
    QApplication app(argc, argv);
    corvial::installJapaneseFontSubstitutions();
    corvial::MainWindowEnvironment env;
    env.appDir = dir;
    corvial::TfrmMain w(env);
    w.winId();
    ExposeWatch watch;
    w.windowHandle()->installEventFilter(&watch);
    w.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--child")
        return child(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QFile settings(QDir(dir.path()).filePath(QStringLiteral("start.txt")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("10,10,1\r\n10,10,1\r\n10,10,1\r\n10,10,1\r\n\r\n");
    settings.close();

    constexpr int runs = 9;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        const double start = nowMs();
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), dir.path()});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            std::fprintf(stderr, "child failed: %s\n", p.readAllStandardError().constData());
            return 1;
        }
        const QByteArray shown = p.readAllStandardOutput().trimmed().split('\n').value(0);
        times.push_back(shown.toDouble() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("startup: process start to main window shown: median %.1f ms, min %.1f ms, "
                "max %.1f ms over %d runs (platform %s)\n",
                times[runs / 2], times.front(), times.back(), runs,
                qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))
                    .toLocal8Bit()
                    .constData());
    return 0;
}
