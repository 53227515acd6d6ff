#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QHash>
#include <QVariantMap>

namespace {

// The servers in use take the text as markup: a mount path's "&" or "<" would be read as one.
QString escaped(QString text)
{
    return text.replace(u'&', QStringLiteral("&amp;"))
        .replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

class FreedesktopNotifier : public DesktopNotifier
{
public:
    explicit FreedesktopNotifier(std::chrono::milliseconds timeout) : timeout(timeout) {}

    void Notify(const QString &key, const QString &title, const QString &text,
                Urgency urgency) override
    {
        // Bus and service answer on the bus's own thread; nothing here waits for them, and a
        // missing service is an error reply at once.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        const QVariantMap hints{
            {QStringLiteral("urgency"),
             QVariant::fromValue(static_cast<uchar>(urgency == Urgency::Critical ? 2 : 1))},
            {QStringLiteral("desktop-entry"), QStringLiteral("example.volumo.Volumo")},
        };
        call << QStringLiteral("Volumo") << ids.value(key) << QStringLiteral("volumo") << title
             << escaped(text) << QStringList() << hints << -1;
        const QDBusPendingCall pending =
            QDBusConnection::sessionBus().asyncCall(call, static_cast<int>(timeout.count()));
        auto *watcher = new QDBusPendingCallWatcher(pending, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, key](QDBusPendingCallWatcher *finished) {
                    finished->deleteLater();
                    const QDBusPendingReply<uint> reply = *finished;
                    if (reply.isError()) {
                        emit Failed(key);
                        return;
                    }
                    ids.insert(key, reply.value());
                    emit Shown(key);
                });
    }

private:
    std::chrono::milliseconds timeout;
    // The service's number for each key's last notice, which the next one replaces.
    QHash<QString, uint> ids;
};

} // namespace

std::unique_ptr<DesktopNotifier> CreateHostNotifier(std::chrono::milliseconds timeout)
{
    return std::make_unique<FreedesktopNotifier>(timeout);
}
