#include "program.h"

#include "../gui_helpers.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "mdi_frame.h"

#include <gtest/gtest.h>

namespace {

Program *instance = nullptr;

} // namespace

class ProgramEnvironment : public testing::Environment
{
public:
    void TearDown() override
    {
        if (instance)
            instance->destroy();
    }
};

Program &Program::Get()
{
    if (!instance) {
        instance = new Program;
        testing::AddGlobalTestEnvironment(new ProgramEnvironment);
    }
    return *instance;
}

Program::Program()
{
    InstallVolumeSource(&volumes);
    main = new TMainForm;
    MainForm = main;
    info = new TFormInfo(main);
    FormInfo = info;
    gesamt = new TGESAMT(main);
    GESAMT = gesamt;
    settings = new Tanordnung(main);
    anordnung = settings;
}

void Program::destroy()
{
    delete main; // the dialogs are its children
    MainForm = nullptr;
    FormInfo = nullptr;
    GESAMT = nullptr;
    anordnung = nullptr;
    InstallVolumeSource(nullptr);
}

void Program::StandardDrives()
{
    volumes = FakeVolumeSource();
    volumes.setDriveGB(u'C', 931, 400);
    volumes.setDriveGB(u'D', 1863, 1400);
    volumes.setDrive(u'E', int64_t{512} << 20, int64_t{100} << 20); // 512 MiB: no window
}

void Program::Start()
{
    if (!main->isVisible()) {
        main->show();
        main->activateWindow();
        (void)QTest::qWaitForWindowActive(main);
    }
}

void Program::Ready()
{
    if (!main->isVisible()) {
        StandardDrives();
        Start();
    }
    if (main->MDIChildCount() != 2) {
        StandardDrives();
        main->AktualisierenClick(main);
    }
    WaitFor([this] { return main->MDIChildCount() == 2; });
}

void Program::CloseDriveWindows()
{
    for (int i = main->MDIChildCount() - 1; i >= 0; --i)
        main->Frame()->Close(main->MDIChildren(i));
    WaitFor([this] { return main->MDIChildCount() == 0; });
}
