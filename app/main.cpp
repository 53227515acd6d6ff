#include "Program.h"
#include "application.h"
#include "host_volume_source.h"
#include "machines.h"
#include "prometheus_connection.h"
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

// The Prometheus server the command line names (--prometheus URL, or --prometheus=URL), or why it
// cannot be used. A password never belongs on a command line, where every user of the machine
// can read it.
struct CommandLineServer
{
    bool named = false;
    PrometheusConnection connection;
    QString problem;
};

CommandLineServer serverOf(const QStringList &arguments)
{
    CommandLineServer server;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString address;
        if (arguments[i] == QStringLiteral("--prometheus"))
            address = i + 1 < arguments.size() ? arguments[i + 1] : QString();
        else if (arguments[i].startsWith(QStringLiteral("--prometheus=")))
            address = arguments[i].mid(13);
        else
            continue;
        server.named = true;
        const ParsedAddress parsed = ParsePrometheusAddress(address);
        server.connection = parsed.connection;
        server.problem = parsed.problem;
        if (server.problem.isEmpty() && !parsed.connection.password.isEmpty())
            server.problem = QStringLiteral(
                "ein Kennwort gehört nicht auf die Befehlszeile, wo jeder Benutzer des Rechners es "
                "lesen kann; bitte \u201EDatei\u201C > \u201ERechner verbinden\u2026\u201C "
                "oder eine Token-Datei verwenden.");
        break;
    }
    return server;
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

    const CommandLineServer server = serverOf(QCoreApplication::arguments());
    if (!server.problem.isEmpty()) {
        std::fprintf(stderr, "volumo: --prometheus: %s\n", qUtf8Printable(server.problem));
        return 2;
    }
    const std::unique_ptr<VolumeSource> volumes = CreateHostVolumeSource();
    VolumeWatcher changes;
    Program program(*volumes, &changes);
    if (server.named)
        program.Fleet().Connect(server.connection);
    else
        program.Fleet().ConnectRemembered();
    program.Show();
    return QApplication::exec();
}
