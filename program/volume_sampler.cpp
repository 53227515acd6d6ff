#include "volume_sampler.h"

#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "desktop_notifier.h"
#include "drive_report.h"
#include "mdi_frame.h"

#include <QAction>
#include <QEvent>

#include <algorithm>
#include <chrono>

namespace {

Microseconds now()
{
    return std::chrono::duration_cast<Microseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

QString text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

VolumeSampler::VolumeSampler(TMainForm &main, DesktopNotifier *notifier)
    : main(main), notifier(notifier)
{
    timer.setInterval(HiddenMs);
    connect(&timer, &QTimer::timeout, this, EventHandler([this] { sample(); }));
    collecting.setInterval(50);
    connect(&collecting, &QTimer::timeout, this, EventHandler([this] { collect(); }));
    // New windows carry what is known of their volumes at once, not a sample later.
    connect(main.Frame(), &MdiFrame::ChildrenChanged, this, EventHandler([this] { markAll(); }));
    // After the command has taken the setting over: its handler runs queued as well.
    connect(main.WarnungenAnzeigen, &QAction::triggered, this, EventHandler([this] { markAll(); }),
            Qt::QueuedConnection);
    main.installEventFilter(this);
    timer.start();
    pace();
}

VolumeSampler::~VolumeSampler()
{
    main.removeEventFilter(this);
}

bool VolumeSampler::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &main && (event->type() == QEvent::Show || event->type() == QEvent::Hide ||
                             event->type() == QEvent::WindowStateChange))
        pace();
    return QObject::eventFilter(watched, event);
}

void VolumeSampler::pace()
{
    const int interval = main.isVisible() && !main.isMinimized() ? VisibleMs : HiddenMs;
    if (interval != timer.interval())
        timer.start(interval);
}

std::string VolumeSampler::trackKey(const TMDIChild *child) const
{
    return std::to_string(child->Drive()) + '\n' + child->Key();
}

void VolumeSampler::sample()
{
    if (pass)
        return; // the last sample still collects its answers
    VolumeSource *source = main.Volumes();
    const bool overview = GESAMT && GESAMT->isVisible();
    if (!source || (main.MDIChildCount() == 0 && !overview)) {
        ++samples;
        return;
    }
    pass = source->open();
    std::vector<std::u16string> roots;
    bool moved = false;
    for (int i = 0; i < main.MDIChildCount(); ++i) {
        TMDIChild *child = main.MDIChildren(i);
        const std::u16string root = DriveRoot(child->Drive());
        // Gone from the host's list: whatever is to be done is the follower's to find out.
        if (pass->identity(root).key.empty() && !child->Key().empty()) {
            moved = true;
            continue;
        }
        roots.push_back(root);
        waiting.emplace_back(child);
    }
    overviewWaits = overview;
    pass->ask(overview ? DriveRoots() : roots);
    if (moved)
        emit MountsChanged();
    collect();
}

void VolumeSampler::collect()
{
    bool moved = false;
    std::erase_if(waiting, [&](const QPointer<TMDIChild> &child) {
        if (!child)
            return true;
        const std::u16string root = DriveRoot(child->Drive());
        if (!pass->ready(root))
            return false;
        const std::optional<VolumeSpace> space = pass->space(root);
        // Its answer may show another filesystem than the window's, under the same name.
        if (pass->identity(root).key != child->Key())
            moved = true;
        else if (space)
            follow(child, *space);
        return true;
    });
    if (overviewWaits) {
        const std::vector<std::u16string> roots = DriveRoots();
        if (std::all_of(roots.begin(), roots.end(),
                        [&](const std::u16string &root) { return pass->ready(root); })) {
            overviewWaits = false;
            if (GESAMT && GESAMT->isVisible())
                GESAMT->ShowOverview(OverviewOf(ReportDrives(*pass)));
        }
    }
    if (moved)
        emit MountsChanged();
    if (waiting.empty() && !overviewWaits)
        finish();
    else if (!collecting.isActive())
        collecting.start();
}

void VolumeSampler::finish()
{
    collecting.stop();
    pass.reset();
    // What is known of volumes no longer shown goes with them.
    std::map<std::string, Track> kept;
    for (int i = 0; i < main.MDIChildCount(); ++i) {
        const auto known = tracks.find(trackKey(main.MDIChildren(i)));
        if (known != tracks.end())
            kept.insert(std::move(*known));
    }
    tracks = std::move(kept);
    ++samples;
}

void VolumeSampler::follow(TMDIChild *child, const VolumeSpace &space)
{
    // Figures that cannot be (no capacity, more free than there is) are no reading: the window
    // keeps what it shows, the trend and the warning take nothing from them.
    if (space.totalBytes < (int64_t{1} << 30) || space.freeBytes < 0 ||
        space.freeBytes > space.totalBytes)
        return;
    child->ShowFigures(StatsOf(space));
    Track &track = tracks[trackKey(child)];
    const Microseconds time = now();
    track.history.Add(time, space.totalBytes, space.freeBytes);
    // A machine that keeps a history of its own knows better than this run's readings.
    const std::optional<std::chrono::seconds> timeToFull =
        space.timeToFull ? space.timeToFull : TimeToFull(track.history, time);
    const WarningLevel level =
        WarningLevelOf(space.totalBytes, space.freeBytes, space.readOnly, timeToFull);
    track.mark = level == WarningLevel::Critical  ? FillMark::Nearly
                 : level == WarningLevel::Warning ? FillMark::Soon
                                                  : FillMark::None;
    track.timeToFull = timeToFull ? TimeToFullText(*timeToFull) : std::string();
    child->ShowFilling(Settings.ShowWarnings ? track.mark : FillMark::None, track.timeToFull);
    if (!Settings.ShowWarnings || !notifier)
        return;
    if (track.memory.NoticeDue(level, space.totalBytes, space.freeBytes, time) &&
        level != WarningLevel::None) {
        const std::u16string root = DriveRoot(child->Drive());
        std::string drive(root.begin(), root.end());
        // Another machine's drive is named with its machine: "C:\ auf host-b".
        if (const VolumeSource *source = main.Volumes(); source && !source->machine().empty())
            drive += " auf " + source->machine();
        notifier->Notify(
            text(trackKey(child)), text(WarningTitle(level, drive)),
            text(WarningText(space.totalBytes, space.freeBytes, timeToFull, child->Description())),
            level == WarningLevel::Critical ? DesktopNotifier::Urgency::Critical
                                            : DesktopNotifier::Urgency::Normal);
    }
}

void VolumeSampler::markAll()
{
    for (int i = 0; i < main.MDIChildCount(); ++i) {
        TMDIChild *child = main.MDIChildren(i);
        const auto known = tracks.find(trackKey(child));
        if (known != tracks.end())
            child->ShowFilling(Settings.ShowWarnings ? known->second.mark : FillMark::None,
                               known->second.timeToFull);
    }
}
