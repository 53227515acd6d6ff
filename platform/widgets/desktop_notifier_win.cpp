#include "desktop_notifier.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Windows shows a balloon or toast for how long it chooses; the icon stays a little longer so
// that the message is not taken away with it.
constexpr int shownFor = 10000;
constexpr int iconStays = 30000;

class TrayNotifier : public DesktopNotifier
{
public:
    TrayNotifier()
    {
        hide.setSingleShot(true);
        hide.setInterval(iconStays);
        connect(&hide, &QTimer::timeout, &icon, &QSystemTrayIcon::hide);
    }

    // Windows has no notice to replace: the icon shows one message at a time, the latest.
    void Notify(const QString &key, const QString &title, const QString &text,
                Urgency urgency) override
    {
        // Told once control is back in the event loop, as the bus's answer is on Linux.
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QMetaObject::invokeMethod(
                this, [this, key] { emit Failed(key); }, Qt::QueuedConnection);
            return;
        }
        icon.setIcon(QApplication::windowIcon());
        icon.setToolTip(QStringLiteral("Volumo"));
        icon.show();
        icon.showMessage(title, text,
                         urgency == Urgency::Critical ? QSystemTrayIcon::Critical
                                                      : QSystemTrayIcon::Warning,
                         shownFor);
        hide.start();
        QMetaObject::invokeMethod(
            this, [this, key] { emit Shown(key); }, Qt::QueuedConnection);
    }

private:
    QSystemTrayIcon icon{this};
    QTimer hide{this};
};

} // namespace

std::unique_ptr<DesktopNotifier> CreateHostNotifier(std::chrono::milliseconds timeout)
{
    // The shell takes the message at once and never answers: there is nothing to wait for.
    (void)timeout;
    return std::make_unique<TrayNotifier>();
}
