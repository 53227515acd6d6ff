#include "Main.h"
#include "host_volume_source.h"
#include "separator_watcher.h"

#include <QApplication>
#include <QByteArray>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

namespace {

bool displayAvailable()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// While the toolkit starts, its complaints about a display it cannot reach are kept back; if it
// then gives up, one plain line says why instead of a trace of plugin messages.
bool starting = true;

void startupMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (starting && type == QtFatalMsg) {
        std::fprintf(stderr, "volumo: keine grafische Anzeige erreichbar (%s).\n",
                     qgetenv("DISPLAY").isEmpty() ? "Wayland" : qgetenv("DISPLAY").constData());
        std::_Exit(1);
    }
    if (starting && type != QtFatalMsg && type != QtCriticalMsg)
        return;
    std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fprintf(stderr, "volumo: keine grafische Anzeige gefunden: weder DISPLAY noch "
                             "WAYLAND_DISPLAY ist gesetzt.\n");
        return 1;
    }

    qInstallMessageHandler(startupMessages);
    QApplication application(argc, argv);
    starting = false;
    qInstallMessageHandler(nullptr);
    QApplication::setApplicationName(QStringLiteral("Volumo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Volumo"));

    const std::unique_ptr<VolumeSource> volumes = CreateHostVolumeSource();
    InstallVolumeSource(volumes.get());
    SeparatorWatcher separators;

    TMainForm mainForm;
    MainForm = &mainForm;
    mainForm.show();
    const int result = QApplication::exec();
    MainForm = nullptr;
    InstallVolumeSource(nullptr);
    return result;
}
