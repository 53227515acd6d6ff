#pragma once

#include <QObject>

#include <memory>

// Tells the program when the host's volumes may have changed: on Linux every change of the
// mount table, on Windows a volume arriving or removed. Costs nothing while nothing changes:
// the event loop waits on the host for it, no timer asks.
class VolumeWatcher : public QObject
{
    Q_OBJECT

public:
    explicit VolumeWatcher(QObject *parent = nullptr);
    ~VolumeWatcher() override;

signals:
    // Once or many times per change: a burst of mounts is a burst of these.
    void Changed();

private:
    struct Host;
    std::unique_ptr<Host> host;
};
