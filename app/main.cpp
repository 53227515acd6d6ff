#include "Program.h"
#include "application.h"
#include "host_volume_source.h"
#include "volume_watcher.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Windows has its desktop whatever the environment says; elsewhere a display must be named.
bool displayNamed()
{
#ifdef Q_OS_WIN
    return true;
#else
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
}

// While the toolkit starts, its complaints about a display it cannot reach are held back; if it
// gives up, one plain line says why instead of a trace of plugin messages.
bool starting = true;

void startupMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (starting) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "volumo: keine grafische Anzeige erreichbar (DISPLAY=%s).\n",
                         qgetenv("DISPLAY").constData());
            std::_Exit(1);
        }
        return;
    }
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayNamed()) {
        std::fprintf(stderr, "volumo: keine grafische Anzeige gefunden: weder DISPLAY noch "
                             "WAYLAND_DISPLAY ist gesetzt.\n");
        return 1;
    }

    qInstallMessageHandler(startupMessages);
    TApplication application(argc, argv);
    starting = false;
    qInstallMessageHandler(nullptr);

    const std::unique_ptr<VolumeSource> volumes = CreateHostVolumeSource();
    VolumeWatcher changes;
    Program program(*volumes, &changes);
    program.Show();
    return QApplication::exec();
}
