#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Runs a handler once per left click on a widget, as a link on the desktop opens: when the
// press and the release are both on it. The second click of a double click does nothing more.
class LinkClicks : public QObject
{
public:
    LinkClicks(QWidget *link, std::function<void()> onClick);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *link;
    std::function<void()> onClick;
    bool pressed = false;
};
