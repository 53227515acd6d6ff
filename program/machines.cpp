#include "machines.h"

#include "Main.h"
#include "Rechner.h"
#include "Verbinden.h"
#include "application.h"
#include "prometheus_answer.h"
#include "prometheus_client.h"
#include "remote_volume_source.h"

#include <QDateTime>
#include <QSettings>

namespace {

// The menu offers this many machines at most: a fleet of thousands is the overview's.
constexpr size_t menuMachines = 40;

QString clockTime(const std::optional<FleetTime> &time)
{
    if (!time)
        return QStringLiteral("–");
    return QDateTime::fromMSecsSinceEpoch(time->time_since_epoch().count())
        .toString(QStringLiteral("HH:mm:ss"));
}

QString plain(const std::string &text, size_t limit = 60)
{
    return QString::fromStdString(PlainLine(text, limit));
}

} // namespace

Machines::Machines(TMainForm &main, VolumeSource &host, QSettings &settings,
                   std::function<void(VolumeSource &)> use, std::function<void()> changed)
    : main(main), host(host), settings(settings), use(std::move(use)), changed(std::move(changed))
{
    connect(&main, &TMainForm::MachineChosen, this,
            [this](const QString &instance) { RunHandler([&] { Show(instance); }); });
    connect(&main, &TMainForm::ConnectionChosen, this,
            [this](const PrometheusConnection &connection) {
                RunHandler([&] { Connect(connection); });
            });
    if (main.AlleRechnerDialog)
        connect(main.AlleRechnerDialog, &TAlleRechner::MachineChosen, this,
                [this](const QString &instance) { RunHandler([&] { Show(instance); }); });
}

Machines::~Machines()
{
    // The forms must not be left with a source that goes with this.
    if (remote)
        use(host);
}

QString Machines::Shown() const
{
    return remote ? QString::fromStdString(remote->Instance()) : QString();
}

void Machines::Connect(const PrometheusConnection &connection, bool remember)
{
    if (remember) {
        SavePrometheusConnection(settings, connection);
        settings.sync();
    }
    if (main.Verbinden)
        main.Verbinden->ShowConnection(connection);
    client = std::make_unique<PrometheusClient>(connection);
    connect(client.get(), &PrometheusClient::SnapshotChanged, this,
            EventHandler([this] { snapshotChanged(); }));
    client->Start();
    snapshotChanged();
}

void Machines::ConnectRemembered()
{
    const PrometheusConnection remembered = LoadPrometheusConnection(settings);
    if (remembered.url.isEmpty())
        return;
    if (main.Verbinden)
        main.Verbinden->ShowConnection(remembered);
    // A password is never stored: where one is needed, the dialog asks for it.
    if (!remembered.user.isEmpty())
        return;
    Connect(remembered, false);
}

void Machines::Show(const QString &instance)
{
    if (instance.isEmpty() || !client) {
        use(host);
        remote.reset();
    } else {
        auto next = std::make_unique<RemoteVolumeSource>(instance.toStdString());
        next->SetSnapshot(client->Snapshot());
        use(*next);
        remote = std::move(next);
    }
    // Before the main window is on the screen, its first activation refreshes.
    if (main.isVisible())
        main.AktualisierenClick(main.Aktualisieren);
    snapshotChanged();
}

void Machines::snapshotChanged()
{
    const std::shared_ptr<const FleetSnapshot> snapshot =
        client ? client->Snapshot() : std::make_shared<FleetSnapshot>();
    if (remote)
        remote->SetSnapshot(snapshot);
    std::vector<TMainForm::MachineEntry> entries;
    for (const Machine &machine : snapshot->machines) {
        if (entries.size() == menuMachines)
            break;
        QString text = plain(MachineName(machine)).replace(u'&', QStringLiteral("&&"));
        if (!machine.up)
            text += QStringLiteral(" (nicht erreichbar)");
        else if (machine.stale)
            text += QStringLiteral(" (veraltet)");
        entries.push_back({QString::fromStdString(machine.instance), text});
    }
    main.ShowMachines(entries, Shown());
    if (main.AlleRechnerDialog)
        main.AlleRechnerDialog->ShowFleet(snapshot);
    showState();
    // Another machine's volumes may have come or gone with its figures.
    if (remote && changed)
        changed();
}

void Machines::showState()
{
    if (!remote) {
        main.ShowMachine({}, {});
        return;
    }
    const QString name = QString::fromStdString(remote->machine());
    const std::shared_ptr<const FleetSnapshot> snapshot = client->Snapshot();
    const Machine *machine = remote->Current();
    QString condition;
    if (snapshot->old) {
        condition = plain(snapshot->problem, 200) +
                    QStringLiteral(" Die Werte sind von %1.").arg(clockTime(snapshot->fetchedAt));
    } else if (!machine) {
        condition = QStringLiteral("%1 ist dem Server nicht bekannt.").arg(name);
    } else if (!machine->up) {
        condition = QStringLiteral("%1 ist nicht erreichbar, zuletzt gesehen um %2.")
                        .arg(name, clockTime(machine->lastSeen));
    } else if (machine->stale) {
        condition = QStringLiteral("Die Werte von %1 sind veraltet, von %2.")
                        .arg(name, clockTime(machine->lastSeen));
    }
    main.ShowMachine(name, condition);
}
