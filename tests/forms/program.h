#pragma once

#include "Program.h"
#include "desktop_notifier.h"
#include "volume_source_fake.h"

#include <QStringList>

#include <vector>

class TFormInfo;
class TGESAMT;
class TMainForm;
class TMDIChild;
class Tanordnung;
class Machines;
class VolumeFollower;
class VolumeSampler;
class VolumeWatcher;

// Notes every notice it is given, and never reaches the user's desktop.
class RecordingNotifier : public DesktopNotifier
{
public:
    struct Notice
    {
        QString key;
        QString title;
        QString text;
        Urgency urgency;
    };
    void Notify(const QString &key, const QString &title, const QString &text,
                Urgency urgency) override
    {
        notices.push_back({key, title, text, urgency});
        emit Shown(key);
    }
    std::vector<Notice> notices;
};

// The program as it starts, on a fake volume source: each test makes its own, so tests run
// alone or together in any order. Given a watcher, it is live: its drive windows follow the
// volumes, their figures too, and its notices go to `notices`, or with `desktop` to the
// session bus's notification service.
class ProgramUnderTest
{
public:
    enum class Notices { Recorded, Desktop };
    explicit ProgramUnderTest(VolumeWatcher *changes = nullptr,
                              Notices notices = Notices::Recorded);

    // Shows the main window and gives it the focus, which runs the first refresh.
    void Start();
    // The standard drives, the program started and their drive windows open.
    void Ready();
    // Closes every drive window and lets them go.
    void CloseDriveWindows();
    // Drives C:, D: and E: as the usual test machine has them.
    void StandardDrives();
    // The refresh command, and the closed windows gone as the event loop lets them go.
    void Refresh();

    // This machine and the others, as the program offers them.
    Machines &Fleet() const { return program.Fleet(); }

    // The drive windows' captions, most recently focused first.
    QStringList Captions() const;
    // A drive window's figures row by row: occupied GB and %, free GB and %, total GB and %.
    static QStringList Figures(const TMDIChild *child);

    // The forms show another source's volumes for the guard's lifetime, then the fake's again.
    class UsingVolumes
    {
    public:
        UsingVolumes(ProgramUnderTest &tested, VolumeSource &source) : tested(tested)
        {
            tested.program.UseVolumes(source);
        }
        ~UsingVolumes() { tested.program.UseVolumes(tested.volumes); }
        UsingVolumes(const UsingVolumes &) = delete;
        UsingVolumes &operator=(const UsingVolumes &) = delete;

    private:
        ProgramUnderTest &tested;
    };

    FakeVolumeSource volumes;
    // Where the notices go, while they are recorded.
    RecordingNotifier *notices = nullptr;

private:
    std::unique_ptr<DesktopNotifier> recorded(Notices kind);

    Program program;

public:
    VolumeFollower *const follower;
    VolumeSampler *const sampler;

public:
    TMainForm *const main;
    TFormInfo *const info;
    TGESAMT *const gesamt;
    Tanordnung *const settings;
};
