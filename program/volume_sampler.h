#pragma once

#include "drive_report.h"
#include "fill_trend.h"
#include "fill_warning.h"
#include "volume_source.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

class DesktopNotifier;
class TMainForm;
class TMDIChild;

// Keeps the figures of the drive windows, and of the total overview while it is open, in step
// with their volumes: it asks the shown volumes in one pass every 2 s while the main window is
// on the screen, every 60 s while it is minimised or hidden, and changes in place only what
// changed. It never waits on a volume: answers of volumes that may hang are collected as they
// come, within the pass's bound. From each volume's readings it estimates when the volume will
// be full, marks its window when it fills up, and tells the user once per level on the desktop.
// A drive that stands for another mount now is the follower's business: it says so and leaves
// the window alone.
class VolumeSampler : public QObject
{
    Q_OBJECT

public:
    VolumeSampler(TMainForm &main, DesktopNotifier *notifier);
    ~VolumeSampler() override;

    static constexpr int VisibleMs = 2000;
    static constexpr int HiddenMs = 60000;

    // Samples now, as the timer does.
    void Sample() { sample(); }

    // How often the volumes have been sampled to the end, and how long until the next time.
    int Samples() const { return samples; }
    int Interval() const { return timer.interval(); }

signals:
    // A shown drive stands for another mount than its window, or none.
    void MountsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What this run has seen of one volume.
    struct Track
    {
        VolumeHistory history;
        WarningMemory memory;
        FillMark mark = FillMark::None;
        std::string timeToFull;
    };

    void sample();
    void collect();
    void finish();
    void follow(TMDIChild *child, const VolumeSpace &space);
    void markAll();
    void pace();
    std::string trackKey(const TMDIChild *child) const;

    TMainForm &main;
    DesktopNotifier *notifier;
    QTimer timer;
    // While answers of volumes that may hang are still out: the pass, and who waits for them.
    QTimer collecting;
    std::unique_ptr<Pass> pass;
    std::vector<QPointer<TMDIChild>> waiting;
    bool overviewWaits = false;
    std::map<std::string, Track> tracks;
    int samples = 0;
};
