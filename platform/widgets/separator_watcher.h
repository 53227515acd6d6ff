#pragma once

#include <QObject>

#include <memory>

class QAbstractNativeEventFilter;

// Reads the number separators from the host now and again whenever the host announces that the
// regional settings changed: on Linux a locale change of the application, on Windows the
// WM_SETTINGCHANGE every top-level window receives. Texts already on screen keep their
// separators until they are formatted again.
class SeparatorWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SeparatorWatcher(QObject *parent = nullptr);
    ~SeparatorWatcher() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // On Windows: Qt makes no event of WM_SETTINGCHANGE, so it is taken from the native
    // messages. Installed on the application by the constructor, removed by the destructor.
    std::unique_ptr<QAbstractNativeEventFilter> nativeMessages;
};
