#pragma once

#include <QObject>

// Reads the number separators from the host now and again whenever the application is told
// that the regional settings changed. Texts already on screen keep their separators until they
// are formatted again.
class SeparatorWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SeparatorWatcher(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
