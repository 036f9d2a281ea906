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
    for (int i = 0; i < 10; ++i)
        list->addItem(QString::number(i));
    w.setCentralWidget(list);
    w.resize(915, 614);
    w.winId();
    startupbench::ExposeWatch watch(appMade, startupbench::nowMs());
    w.windowHandle()->installEventFilter(&watch);
    w.show();
    return app.exec();
}
