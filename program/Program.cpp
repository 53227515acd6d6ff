#include "Program.h"

#include "About.h"
#include "Anordn.h"
#include "Gesview.h"
#include "Main.h"
#include "Rechner.h"
#include "Verbinden.h"
#include "application.h"
#include "desktop_notifier.h"
#include "fonts.h"
#include "form_screen.h"
#include "link_opener.h"
#include "machines.h"
#include "separator_watcher.h"
#include "volume_follower.h"
#include "volume_sampler.h"

#include <QIcon>
#include <QMenuBar>
#include <QSettings>

// The pictures live in a static library, whose resources are not registered on their own.
static void registerPictures()
{
    Q_INIT_RESOURCE(volumo);
}

Program::Program(VolumeSource &volumes, VolumeWatcher *changes,
                 std::unique_ptr<DesktopNotifier> notifier)
    : volumes(&volumes), screen(std::make_unique<FormScreen>()),
      separators(std::make_unique<SeparatorWatcher>()), opener(CreateHostLinkOpener()),
      notifier(std::move(notifier))
{
    registerPictures();
    Application->SetTitle(QStringLiteral("Volumo"));
    QApplication::setApplicationName(QStringLiteral("Volumo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/volumo.png")));
    InstallFontSubstitutes();
    Settings = RunSettings{};
    TickerPos = 0;

    main = std::make_unique<TMainForm>();
    // Drop-down menus are windows of their own and take no face from a form: every menu gets
    // the face of the menu bar.
    QApplication::setFont(main->menuBar()->font(), "QMenu");
    (new TFormInfo(main.get()))->SetOpener(opener.get());
    new TGESAMT(main.get());
    new Tanordnung(main.get());
    main->Verbinden = new TVerbinden(main.get());
    main->AlleRechnerDialog = new TAlleRechner(main.get());
    UseVolumes(volumes);
    if (changes) {
        if (!this->notifier)
            this->notifier = CreateHostNotifier();
        follower = std::make_unique<VolumeFollower>(*changes, *main);
        sampler = std::make_unique<VolumeSampler>(*main, this->notifier.get());
        QObject::connect(sampler.get(), &VolumeSampler::MountsChanged, follower.get(),
                         &VolumeFollower::Recheck);
    }
    settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Volumo"), QStringLiteral("Volumo"));
    machines = std::make_unique<Machines>(
        *main, volumes, *settings, [this](VolumeSource &source) { UseVolumes(source); },
        [this] {
            if (follower)
                follower->Recheck();
        });
}

Program::~Program()
{
    machines.reset();
    sampler.reset();
    follower.reset();
    // What the program set, it clears: nothing of the forms may reach past the program's end.
    FormInfo->SetOpener(nullptr);
    GESAMT->SetVolumes(nullptr);
    main->SetVolumes(nullptr);
    main.reset();
    // Windows closed by the last refresh, and anything else handed to the event loop to delete,
    // go with the program rather than with the next one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Program::UseVolumes(VolumeSource &source)
{
    volumes = &source;
    main->SetVolumes(volumes);
    GESAMT->SetVolumes(volumes);
}

void Program::Show()
{
    main->show();
    // Ask for the focus too: without a window manager nothing else would give it.
    main->activateWindow();
}
