#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class TMainForm;
class VolumeWatcher;
class QWidget;

// Keeps the drive windows in step with the host's volumes without a click: once the host's
// changes have been quiet for a moment, or at the latest a second after the first change of a
// burst that goes on, it works out in one pass the windows a scan would open now and runs the
// refresh command only when they differ from those shown. While a modal dialog or a menu is up
// it waits, and looks again once when that closes; a refresh the user ran meanwhile leaves
// nothing to do.
class VolumeFollower : public QObject
{
    Q_OBJECT

public:
    VolumeFollower(VolumeWatcher &changes, TMainForm &main);

    // Looks again, as after a change of the host's volumes.
    void Recheck();

    // How long the host's changes must be quiet: a burst of mounts is one change.
    static constexpr int QuietMs = 300;
    // How long a burst that goes on (a machine that mounts and unmounts all the time) may hold
    // the check back.
    static constexpr int CeilingMs = 1000;

    // How many checks have run to their end, and whether one waits for a dialog or menu.
    int Checks() const { return checks; }
    bool Held() const { return !holder.isNull(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void check();

    TMainForm &main;
    QTimer quiet;
    QTimer ceiling;
    // The dialog or menu that holds the check back until it closes.
    QPointer<QWidget> holder;
    int checks = 0;
};
