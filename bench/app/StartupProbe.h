// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a child of bench_startup reports: the moments its QApplication and its main window
// were made and the moment the window was first exposed, on the clock the parent reads.

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace startupbench {

// Milliseconds on the monotonic clock, which parent and child share.
inline double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Installed on the main window's QWindow: at the first exposure prints
// "<application made> <window made> <exposed>" and ends the event loop.
class ExposeWatch : public QObject
{
public:
    ExposeWatch(double appMade, double windowMade) : mAppMade(appMade), mWindowMade(windowMade) {}

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

} // namespace startupbench
