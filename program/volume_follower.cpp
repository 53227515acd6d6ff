#include "volume_follower.h"

#include "Main.h"
#include "application.h"
#include "drive_report.h"
#include "volume_watcher.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

VolumeFollower::VolumeFollower(VolumeWatcher &changes, TMainForm &main) : main(main)
{
    quiet.setSingleShot(true);
    quiet.setInterval(QuietMs);
    ceiling.setSingleShot(true);
    ceiling.setInterval(CeilingMs);
    connect(&changes, &VolumeWatcher::Changed, this, &VolumeFollower::Recheck);
    for (QTimer *timer : {&quiet, &ceiling})
        connect(timer, &QTimer::timeout, this, EventHandler([this] { check(); }));
}

void VolumeFollower::Recheck()
{
    quiet.start();
    // The first change of a burst sets the latest moment; later ones leave it.
    if (!ceiling.isActive())
        ceiling.start();
}

void VolumeFollower::check()
{
    quiet.stop();
    ceiling.stop();
    if (holder)
        return; // looked at again when it closes
    QWidget *blocking = QApplication::activeModalWidget();
    if (!blocking)
        blocking = QApplication::activePopupWidget();
    if (blocking) {
        holder = blocking;
        holder->installEventFilter(this);
        return;
    }
    // Before the first refresh there is nothing to keep in step; that refresh sees the change.
    VolumeSource *volumes = main.Volumes();
    if (main.isVisible() && volumes) {
        const std::vector<WindowedDrive> &shown = main.ShownDrives();
        if (WindowsChanged(DriveWindowsNow(*volumes, shown), shown))
            main.AktualisierenClick(main.Aktualisieren);
    }
    ++checks;
}

bool VolumeFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == holder && (event->type() == QEvent::Hide || event->type() == QEvent::Destroy)) {
        holder->removeEventFilter(this);
        holder = nullptr;
        // Once the closing is through: the settings command's own scan runs right after its
        // dialog closes, and a check after it finds nothing left to do. Another dialog or menu
        // still up holds it again.
        QMetaObject::invokeMethod(this, EventHandler([this] { check(); }), Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
