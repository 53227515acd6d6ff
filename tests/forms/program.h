#pragma once

#include "Program.h"
#include "volume_source_fake.h"

#include <QStringList>

class TFormInfo;
class TGESAMT;
class TMainForm;
class TMDIChild;
class Tanordnung;
class VolumeFollower;
class VolumeWatcher;

// The program as it starts, on a fake volume source: each test makes its own, so tests run
// alone or together in any order. Given a watcher, its drive windows follow the volumes.
class ProgramUnderTest
{
public:
    explicit ProgramUnderTest(VolumeWatcher *changes = nullptr);

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

private:
    Program program;

public:
    VolumeFollower *const follower;

public:
    TMainForm *const main;
    TFormInfo *const info;
    TGESAMT *const gesamt;
    Tanordnung *const settings;
};
