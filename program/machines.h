#pragma once

#include "prometheus_connection.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class PrometheusClient;
class QSettings;
class RemoteVolumeSource;
class TMainForm;
class VolumeSource;

// The machines whose volumes the windows can show: this one, and every machine a Prometheus
// server knows once one is connected. The forms see another machine as one more volume source,
// answered from the server's last snapshot; the menu "Rechner", the main window's title and
// status bar tell which machine is shown and how its figures stand. The connection is
// remembered in `settings` for the next start, without its password.
class Machines : public QObject
{
    Q_OBJECT

public:
    // `use` makes a source the one the forms show; `changed` is told when another machine's
    // windows may have to change.
    Machines(TMainForm &main, VolumeSource &host, QSettings &settings,
             std::function<void(VolumeSource &)> use, std::function<void()> changed);
    ~Machines() override;

    // Connects to the server, and remembers it where asked to.
    void Connect(const PrometheusConnection &connection, bool remember = true);
    // Connects to the remembered server, where nothing needs a password that is not stored.
    void ConnectRemembered();
    // Shows this machine (an empty instance) or another one, at once refreshed.
    void Show(const QString &instance);

    PrometheusClient *Client() const { return client.get(); }
    // The instance shown; empty: this machine.
    QString Shown() const;

private:
    void snapshotChanged();
    void showState();

    TMainForm &main;
    VolumeSource &host;
    QSettings &settings;
    std::function<void(VolumeSource &)> use;
    std::function<void()> changed;
    std::unique_ptr<PrometheusClient> client;
    // The other machine shown, where one is.
    std::unique_ptr<RemoteVolumeSource> remote;
};
