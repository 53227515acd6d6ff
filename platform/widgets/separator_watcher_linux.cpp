#include "separator_watcher.h"

#include "number_separators.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>

SeparatorWatcher::SeparatorWatcher(QObject *parent) : QObject(parent)
{
    SetNumberSeparators(ReadHostSeparators());
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

SeparatorWatcher::~SeparatorWatcher() = default;

bool SeparatorWatcher::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::LocaleChange && watched == QCoreApplication::instance())
        SettingsChanged(u"intl");
    return QObject::eventFilter(watched, event);
}
