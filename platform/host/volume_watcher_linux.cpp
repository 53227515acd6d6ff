#include "volume_watcher.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

// A table of its own: the kernel flags a change once per open table and the poll that sees it
// clears it, so sharing the volume source's would hide changes from the source's own check.
struct VolumeWatcher::Host
{
    Host() : table(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}
    ~Host()
    {
        if (table >= 0)
            ::close(table);
    }
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    int table;
};

VolumeWatcher::VolumeWatcher(QObject *parent) : QObject(parent), host(std::make_unique<Host>())
{
    if (host->table < 0)
        return; // no table, no changes to follow: the refresh command still works
    // A changed table raises POLLPRI, which Qt reports as an exception; the event loop's own
    // poll clears it, so each change is reported once and nothing is read here.
    auto *notifier = new QSocketNotifier(host->table, QSocketNotifier::Exception, this);
    connect(notifier, &QSocketNotifier::activated, this, &VolumeWatcher::Changed);
}

VolumeWatcher::~VolumeWatcher() = default;
