#include "Program.h"

#include "About.h"
#include "Anordn.h"
#include "Gesview.h"
#include "Main.h"
#include "application.h"
#include "fonts.h"
#include "form_screen.h"
#include "separator_watcher.h"
#include "volume_follower.h"

// The pictures live in a static library, whose resources are not registered on their own.
static void registerPictures()
{
    Q_INIT_RESOURCE(volumo);
}

Program::Program(VolumeSource &volumes, VolumeWatcher *changes)
    : screen(std::make_unique<FormScreen>()), installed(volumes),
      separators(std::make_unique<SeparatorWatcher>())
{
    registerPictures();
    Application->SetTitle(QStringLiteral("Volumo"));
    QApplication::setApplicationName(QStringLiteral("Volumo"));
    InstallFontSubstitutes();
    Settings = RunSettings{};
    TickerPos = 0;

    main = std::make_unique<TMainForm>();
    new TFormInfo(main.get());
    new TGESAMT(main.get());
    new Tanordnung(main.get());
    if (changes)
        follower = std::make_unique<VolumeFollower>(*changes, *main);
}

Program::~Program()
{
    follower.reset();
    main.reset();
    // Windows closed by the last refresh, and anything else handed to the event loop to delete,
    // go with the program rather than with the next one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Program::Show()
{
    main->show();
    // Ask for the focus too: without a window manager nothing else would give it.
    main->activateWindow();
}
