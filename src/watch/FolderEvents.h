// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace corvial {

// The file-system events of one folder, from inotify: the watcher wakes on them instead of
// looking at the folder again and again. Files renamed into the folder are told apart from
// files written there, since a rename delivers a file whole.
class FolderEvents : public QObject
{
    Q_OBJECT
public:
    explicit FolderEvents(QObject *parent = nullptr);
    ~FolderEvents() override;

    // Starts watching folder. False with the system's reason in *error.
    bool watch(const QString &folder, QString *error);

signals:
    void movedIn(const QString &name);
    void changed(const QString &name);
    // Events were lost (the kernel's queue overflowed): look at the whole folder.
    void overflowed();
    // The folder itself was removed or moved away.
    void folderGone();

private:
    void readEvents();

    int mFd = -1;
    int mWatch = -1;
    QSocketNotifier *mNotifier = nullptr;
};

} // namespace corvial
