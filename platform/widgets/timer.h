#pragma once

#include <QTimer>

// A timer whose tick runs on the GUI thread every Interval milliseconds while it is enabled.
class TTimer : public QTimer
{
    Q_OBJECT

public:
    explicit TTimer(int interval, QObject *parent = nullptr) : QTimer(parent)
    {
        setInterval(interval);
    }

    bool Enabled() const { return isActive(); }
    void SetEnabled(bool on)
    {
        if (on && !isActive())
            start();
        else if (!on)
            stop();
    }
};
