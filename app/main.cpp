#include "Program.h"
#include "application.h"
#include "host_volume_source.h"
#include "machines.h"
#include "prometheus_connection.h"
#include "volume_watcher.h"

#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <optional>

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

// What the command line asks for: a Prometheus server to read other machines from
// (--prometheus URL), and one of its machines to show at once (--rechner INSTANCE, as the server
// names it); each also as --option=value. A password never belongs on a command line, where
// every user of the machine can read it.
struct CommandLine
{
    std::optional<PrometheusConnection> server;
    QString machine;
    QString problem;
};

CommandLine commandLineOf(const QStringList &arguments)
{
    CommandLine wanted;
    for (qsizetype i = 1; i < arguments.size() && wanted.problem.isEmpty(); ++i) {
        QString option = arguments[i];
        QString value;
        if (const qsizetype equals = option.indexOf(u'='); equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (option == QStringLiteral("--prometheus")) {
            const ParsedAddress parsed = ParsePrometheusAddress(value);
            wanted.problem = parsed.problem;
            if (wanted.problem.isEmpty() && !parsed.connection.password.isEmpty())
                wanted.problem = QStringLiteral(
                    "Ein Kennwort gehört nicht auf die Befehlszeile, wo jeder Benutzer des "
                    "Rechners "
                    "es lesen kann; bitte \u201EDatei\u201C > \u201ERechner verbinden\u2026\u201C "
                    "oder eine Token-Datei verwenden.");
            wanted.server = parsed.connection;
        } else if (option == QStringLiteral("--rechner")) {
            wanted.machine = value;
        } else {
            wanted.problem = QStringLiteral("Unbekannte Angabe %1; möglich sind --prometheus URL "
                                            "und --rechner NAME.")
                                 .arg(option);
        }
    }
    if (wanted.problem.isEmpty() && !wanted.machine.isEmpty() && !wanted.server)
        wanted.problem = QStringLiteral("--rechner braucht --prometheus.");
    return wanted;
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

    const CommandLine wanted = commandLineOf(QCoreApplication::arguments());
    if (!wanted.problem.isEmpty()) {
        // Said where a program started from a terminal says it, and where one started from a
        // desktop's menu or Explorer can.
        std::fprintf(stderr, "volumo: %s\n", qUtf8Printable(wanted.problem));
        QMessageBox::critical(nullptr, QStringLiteral("Fehler"), wanted.problem);
        return 2;
    }
    const std::unique_ptr<VolumeSource> volumes = CreateHostVolumeSource();
    VolumeWatcher changes;
    Program program(*volumes, &changes);
    if (wanted.server) {
        program.Fleet().Connect(*wanted.server);
        if (!wanted.machine.isEmpty())
            program.Fleet().Show(wanted.machine);
    } else {
        program.Fleet().ConnectRemembered();
    }
    program.Show();
    return QApplication::exec();
}
