// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick bench_startup measures our window against: a Qt program with nothing but a
// main window, a menu bar and a list widget, linked to Qt Widgets only.
#include "StartupProbe.h"

#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const double appMade = startupbench::nowMs();
    QMainWindow w;
    w.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Quit"));
    auto *list = new QListWidget(&w);
    list->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    w.setCentralWidget(list);
    w.resize(400, 300);
    w.winId();
    startupbench::ExposeWatch watch(appMade, startupbench::nowMs());
    w.windowHandle()->installEventFilter(&watch);
    w.show();
    return app.exec();
}
