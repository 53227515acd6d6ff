#pragma once

#include "volume_source_fake.h"

class TFormInfo;
class TGESAMT;
class TMainForm;
class Tanordnung;

// The program block for the form tests: the four forms in their order, with a fake volume
// source installed, created once per test program and destroyed at its end.
class Program
{
public:
    static Program &Get();

    // Shows the main window and gives it the focus, which runs the first refresh.
    void Start();
    // The standard drives, the program started and their drive windows open.
    void Ready();
    // Closes every drive window and lets them go.
    void CloseDriveWindows();
    // Drives C:, D: and E: as the usual test machine has them.
    void StandardDrives();

    FakeVolumeSource volumes;
    TMainForm *main = nullptr;
    TFormInfo *info = nullptr;
    TGESAMT *gesamt = nullptr;
    Tanordnung *settings = nullptr;

private:
    Program();
    friend class ProgramEnvironment;
    void destroy();
};
