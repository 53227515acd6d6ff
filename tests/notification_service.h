#pragma once

// A session bus of the test's own and a notification service on it that notes every notice it
// is sent, so that a test sees exactly what reached the desktop, and never the user's desktop.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Starts a D-Bus daemon of its own and makes it this process's session bus; stops it when it
// goes, or when the process ends in any way. It activates no services, so no real notification
// service turns up on it. Made before the application object (which may connect to the session
// bus) and before any other thread.
class PrivateSessionBus
{
public:
    PrivateSessionBus()
    {
        // Without a bus of our own the tests must not reach the user's.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        const QString config = folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!folder.isValid() || !file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("<busconfig><type>session</type>"
                                  "<listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow send_destination=\"*\"/>"
                                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                                  "</busconfig>")
                       .arg(folder.path())
                       .toUtf8());
        file.close();
        const std::string configArgument = "--config-file=" + config.toStdString();
        int address[2];
        if (pipe(address) != 0)
            return;
        daemon = fork();
        if (daemon == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(address[1], STDOUT_FILENO);
            close(address[0]);
            close(address[1]);
            // Its complaints (an fd limit it may not raise) are no test's business.
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            execlp("dbus-daemon", "dbus-daemon", configArgument.c_str(), "--nofork",
                   "--print-address=1", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(address[1]);
        // The address comes once the bus listens; nothing at all if the daemon did not start.
        std::string line;
        char c = 0;
        while (read(address[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(address[0]);
        if (daemon > 0 && !line.empty())
            setenv("DBUS_SESSION_BUS_ADDRESS", line.c_str(), 1);
    }
    ~PrivateSessionBus()
    {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            waitpid(daemon, nullptr, 0);
        }
    }
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    static constexpr const char *Missing =
        "no D-Bus daemon could be started (package dbus-daemon; scripts/install-deps test "
        "installs it)";

private:
    QTemporaryDir folder;
    pid_t daemon = -1;
};

// One call of Notify as the service received it.
struct ReceivedNotice
{
    QString app;
    uint replaces = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// Owns org.freedesktop.Notifications on the session bus, on a connection of its own, for as
// long as it lives. It answers each Notify with the next number from 1 on, or never.
class NotificationService : public QDBusVirtualObject
{
public:
    enum class Answer { AtOnce, Never };

    explicit NotificationService(Answer answer = Answer::AtOnce)
        : answer(answer), connection(QDBusConnection::connectToBus(
                              QDBusConnection::SessionBus, QStringLiteral("notification-service")))
    {
        registered = connection.registerService(name) &&
                     connection.registerVirtualObject(
                         QStringLiteral("/org/freedesktop/Notifications"), this);
    }
    ~NotificationService() override
    {
        connection.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        connection.unregisterService(name);
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    }

    bool Registered() const { return registered; }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &bus) override
    {
        if (message.member() != QStringLiteral("Notify") || message.arguments().size() != 8) {
            bus.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
            return true;
        }
        const QList<QVariant> a = message.arguments();
        notices.push_back({a[0].toString(), a[1].toUInt(), a[2].toString(), a[3].toString(),
                           a[4].toString(), a[5].toStringList(),
                           qdbus_cast<QVariantMap>(a[6].value<QDBusArgument>()), a[7].toInt()});
        if (answer == Answer::AtOnce)
            bus.send(message.createReply(QVariant::fromValue(static_cast<uint>(notices.size()))));
        return true;
    }

    std::vector<ReceivedNotice> notices;

private:
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    Answer answer;
    QDBusConnection connection;
    bool registered = false;
};
