#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

// Tells the user something on the desktop, outside the program's windows, and never waits for
// the desktop: Shown comes once it has taken the notice, Failed when it cannot (no notification
// service, one that refuses, or one that has not answered within the timeout).
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    enum class Urgency { Normal, Critical };

    using QObject::QObject;

    // Starts showing the notice and returns at once. A notice under the same key as an earlier
    // one (a volume's root) takes that one's place where the desktop allows it.
    virtual void Notify(const QString &key, const QString &title, const QString &text,
                        Urgency urgency) = 0;

signals:
    void Shown(const QString &key);
    void Failed(const QString &key);
};

// The host's notices: on Linux the freedesktop notification service on the session bus, which
// has `timeout` to answer; on Windows the message of an icon in the notification area, shown
// while the message is.
std::unique_ptr<DesktopNotifier>
CreateHostNotifier(std::chrono::milliseconds timeout = std::chrono::seconds(5));
