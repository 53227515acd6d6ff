#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Hands links ("MAILTO:..." or a web address) to the programs the user has chosen for them,
// never waiting for one: Failed comes when the hand-over fails, at once or whenever the opener
// ends with a failure, however late. An opener that is still busy, or never ends (some wait for
// the browser they started), has not failed.
class LinkOpener : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts handing the link over and returns at once.
    virtual void Open(const QString &link) = 0;

signals:
    void Failed(const QString &link);
};

// The host's opener: xdg-open on Linux, started directly with the link as its one argument and
// never through a shell; the shell's open operation on Windows.
std::unique_ptr<LinkOpener> CreateHostLinkOpener();
