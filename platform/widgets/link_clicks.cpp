#include "link_clicks.h"

#include <QMouseEvent>
#include <QWidget>

LinkClicks::LinkClicks(QWidget *link, std::function<void()> onClick)
    : QObject(link), link(link), onClick(std::move(onClick))
{
    link->installEventFilter(this);
}

bool LinkClicks::eventFilter(QObject *watched, QEvent *event)
{
    const auto left = [event] {
        return static_cast<const QMouseEvent *>(event)->button() == Qt::LeftButton;
    };
    if (watched != link)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (!left())
            break;
        pressed = true;
        return true;
    case QEvent::MouseButtonDblClick:
        if (!left())
            break;
        // It comes with the second press of a double click, whose release opens nothing.
        pressed = false;
        return true;
    case QEvent::MouseButtonRelease: {
        if (!left())
            break;
        // The release goes to the widget pressed, wherever the pointer went meanwhile.
        const QPoint at = static_cast<const QMouseEvent *>(event)->position().toPoint();
        const bool click = pressed && link->rect().contains(at);
        pressed = false;
        if (click)
            onClick();
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
