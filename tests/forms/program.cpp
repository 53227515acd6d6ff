#include "program.h"

#include "../gui_helpers.h"
#include "About.h"
#include "Anordn.h"
#include "Childwin.h"
#include "Gesview.h"
#include "Main.h"
#include "mdi_frame.h"

#include <QLabel>
#include <gtest/gtest.h>

std::unique_ptr<DesktopNotifier> ProgramUnderTest::recorded(Notices kind)
{
    if (kind == Notices::Desktop)
        return nullptr; // the program's own
    auto made = std::make_unique<RecordingNotifier>();
    notices = made.get();
    return made;
}

ProgramUnderTest::ProgramUnderTest(VolumeWatcher *changes, Notices kind)
    : program(volumes, changes, recorded(kind)), follower(program.Follower()),
      sampler(program.Sampler()), main(&program.Main()), info(FormInfo), gesamt(GESAMT),
      settings(anordnung)
{}

void ProgramUnderTest::StandardDrives()
{
    volumes = FakeVolumeSource();
    volumes.setDriveGB(u'C', 931, 400);
    volumes.setDriveGB(u'D', 1863, 1400);
    volumes.setDrive(u'E', int64_t{512} << 20, int64_t{100} << 20); // 512 MiB: no window
}

void ProgramUnderTest::Start()
{
    if (!main->isVisible()) {
        program.Show();
        (void)QTest::qWaitForWindowActive(main);
    }
}

void ProgramUnderTest::Ready()
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

void ProgramUnderTest::CloseDriveWindows()
{
    for (int i = main->MDIChildCount() - 1; i >= 0; --i)
        main->Frame()->Close(main->MDIChildren(i));
    WaitFor([this] { return main->MDIChildCount() == 0; });
}

void ProgramUnderTest::Refresh()
{
    main->AktualisierenClick(main->Aktualisieren);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QStringList ProgramUnderTest::Captions() const
{
    QStringList names;
    for (int i = 0; i < main->MDIChildCount(); ++i)
        names << main->MDIChildren(i)->windowTitle();
    return names;
}

QStringList ProgramUnderTest::Figures(const TMDIChild *child)
{
    return {child->LabelMBBelegt->text(), child->LabelProzentBelegt->text(),
            child->LabelMBFrei->text(),   child->LabelProzentFrei->text(),
            child->LabelMBGesamt->text(), child->LabelProzentGesamt->text()};
}
