#include "volume_watcher.h"

#include "device_change.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>

#include <windows.h>

#include <functional>

namespace {

// Qt makes no event of WM_DEVICECHANGE, which every top-level window receives: it is taken from
// the native messages and goes on to Qt unchanged.
class DeviceChangeFilter : public QAbstractNativeEventFilter
{
public:
    explicit DeviceChangeFilter(std::function<void()> changed) : changed(std::move(changed)) {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (IsVolumeDeviceChange(msg->message, static_cast<uintptr_t>(msg->wParam),
                                 reinterpret_cast<const void *>(msg->lParam)))
            changed();
        return false;
    }

private:
    std::function<void()> changed;
};

} // namespace

struct VolumeWatcher::Host
{
    std::unique_ptr<DeviceChangeFilter> filter;
};

VolumeWatcher::VolumeWatcher(QObject *parent) : QObject(parent), host(std::make_unique<Host>())
{
    host->filter = std::make_unique<DeviceChangeFilter>([this] { emit Changed(); });
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installNativeEventFilter(host->filter.get());
}

VolumeWatcher::~VolumeWatcher()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeNativeEventFilter(host->filter.get());
}
