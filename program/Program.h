#pragma once

#include "desktop_notifier.h"
#include "volume_source.h"

#include <memory>

class LinkOpener;
class Machines;
class QSettings;
class SeparatorWatcher;
class TMainForm;
class FormScreen;
class VolumeFollower;
class VolumeSampler;
class VolumeWatcher;

// The whole program, assembled in one place for the program block, the tests and the
// benchmarks alike: the screen, the separators of the regional settings, the host's link
// opener, the application's icon and menu face, the pictures, and the four forms in their order
// (main window, about dialog, total overview, settings dialog), each reached through its
// program-wide reference, each given the volumes it shows. The run's settings and the ticker
// start from their start values. Given a watcher of the host's volumes, the program is live: the
// drive windows follow the volumes as they are mounted and unmounted, their figures follow the
// volumes as they fill, and the desktop is told before one is full. Needs the application
// object; one program at a time.
class Program
{
public:
    // A live program tells the desktop through `notifier`, or the host's where none is given.
    explicit Program(VolumeSource &volumes, VolumeWatcher *changes = nullptr,
                     std::unique_ptr<DesktopNotifier> notifier = nullptr);
    ~Program();
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Shows the main window, centred, and asks for the focus: its first activation runs the
    // first refresh.
    void Show();

    TMainForm &Main() const { return *main; }
    // The volumes the forms show; another source takes their place at the next refresh.
    VolumeSource &Volumes() const { return *volumes; }
    void UseVolumes(VolumeSource &source);
    LinkOpener &Opener() const { return *opener; }
    // What keeps the drive windows and their figures in step with the volumes, where they are
    // followed.
    VolumeFollower *Follower() const { return follower.get(); }
    VolumeSampler *Sampler() const { return sampler.get(); }
    // This machine and the others a Prometheus server knows.
    Machines &Fleet() const { return *machines; }

private:
    VolumeSource *volumes;
    std::unique_ptr<FormScreen> screen;
    std::unique_ptr<SeparatorWatcher> separators;
    std::unique_ptr<LinkOpener> opener;
    // Owns the dialogs.
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<DesktopNotifier> notifier;
    // Refer to the main window: go first.
    std::unique_ptr<VolumeFollower> follower;
    std::unique_ptr<VolumeSampler> sampler;
    // What is remembered for the next start: the Prometheus server connected to.
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<Machines> machines;
};
